#include "play/Arsenal.h"

#include "game/EntityList.h"
#include "game/Tank.h"
#include "game/World.h"
#include "host/HostTypes.h"

namespace {

const uint8_t HELD_PREVIOUS = 1;
const uint8_t HELD_NEXT = 2;

uint8_t HeldOf( const uint8_t *keys ) {
    if ( keys == nullptr ) {
        return 0;
    }
    return uint8_t( ( ( keys[DIK_Q] & 0x80 ) != 0 ? HELD_PREVIOUS : 0 ) |
                    ( ( keys[DIK_E] & 0x80 ) != 0 ? HELD_NEXT : 0 ) );
}

} // namespace

Arsenal::Arsenal()
    : shots( SHOTS_OF_TABLE ), previousHeld( 0 ), firingPlayer( -1 ), firingWeapon( WEAPON_BOMB ) {
    NewMatch();
}

Arsenal::~Arsenal() {
}

void Arsenal::NewMatch() {
    for ( int player = 0; player < PLAYERS; player++ ) {
        for ( int weapon = 0; weapon < WEAPON_CHOICES; weapon++ ) {
            const int own = WeaponOf( weapon ).stock;
            // The bomb never runs out, whatever the match's stock.
            stock[player][weapon] = shots == SHOTS_OF_TABLE || own == WEAPON_UNLIMITED ? own : shots;
        }
    }
    firingPlayer = -1;
}

void Arsenal::SetShots( int shots ) {
    if ( shots < SHOTS_OF_TABLE ) {
        shots = SHOTS_OF_TABLE;
    }
    this->shots = shots > SHOTS_MOST ? SHOTS_MOST : shots;
}

int Arsenal::GetStock( int player, int weapon ) const {
    if ( player < 0 || player >= PLAYERS || weapon < 0 || weapon >= WEAPON_CHOICES ) {
        return 0;
    }
    return stock[player][weapon];
}

int Arsenal::NextInStock( int player, int weapon, int step ) const {
    for ( int i = 1; i <= WEAPON_CHOICES; i++ ) {
        const int candidate = ( ( weapon + step * i ) % WEAPON_CHOICES + WEAPON_CHOICES ) % WEAPON_CHOICES;
        if ( GetStock( player, candidate ) != 0 ) {
            return candidate;
        }
    }
    return WEAPON_BOMB;
}

int Arsenal::PlayerOf( const World &world, const Tank *tank ) {
    const EntityList *tanks = world.GetTanks();
    if ( tanks == nullptr || tank == nullptr ) {
        return -1;
    }
    EntityNode *node;
    int place = 0;
    for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ), place++ ) {
        if ( tanks->Get( node ) == tank ) {
            return place;
        }
    }
    return -1;
}

// A key counts when it goes down, so holding it steps once; the choice is made while the tank
// aims, not while it charges.
void Arsenal::BeforeUpdate( World &world, const uint8_t *keys ) {
    const uint8_t held = HeldOf( keys );
    const uint8_t pressed = uint8_t( held & ~previousHeld );
    previousHeld = held;
    firingPlayer = -1;
    Tank *tank = static_cast<Tank *>( world.GetCurrentTank() );
    const int player = PlayerOf( world, tank );
    if ( player < 0 || player >= PLAYERS ) {
        return;
    }
    if ( tank->GetState() == Tank::Active && ( pressed & HELD_PREVIOUS ) != 0 ) {
        tank->SetWeapon( NextInStock( player, tank->GetWeapon(), -1 ) );
    }
    if ( tank->GetState() == Tank::Active && ( pressed & HELD_NEXT ) != 0 ) {
        tank->SetWeapon( NextInStock( player, tank->GetWeapon(), 1 ) );
    }
    if ( tank->GetState() == Tank::Firing ) {
        firingPlayer = player;
        firingWeapon = tank->GetWeapon();
    }
}

void Arsenal::AfterUpdate( World &world ) {
    if ( firingPlayer < 0 ) {
        return;
    }
    int &left = stock[firingPlayer][firingWeapon >= 0 && firingWeapon < WEAPON_CHOICES ? firingWeapon : 0];
    if ( left > 0 ) {
        left--;
    }
    EntityNode *node;
    const EntityList *tanks = world.GetTanks();
    Tank *tank = nullptr;
    int place = 0;
    for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ), place++ ) {
        if ( place == firingPlayer ) {
            tank = static_cast<Tank *>( tanks->Get( node ) );
        }
    }
    if ( tank != nullptr && GetStock( firingPlayer, tank->GetWeapon() ) == 0 ) {
        tank->SetWeapon( WEAPON_BOMB );
    }
    firingPlayer = -1;
}
