#include "ai/ComputerPlayers.h"

#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "host/HostTypes.h"

#include <cstring>
#include <new>

namespace {

const uint8_t DOWN = 0x80;

// The keys a tank reads; only these are taken out of a person's hands.
const int GAME_KEYS[] = { DIK_SPACE, DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_Q, DIK_E };

int64_t DistanceSquared( const Entity &a, const Entity &b ) {
    const int64_t dx = a.GetX() - b.GetX();
    const int64_t dy = a.GetY() - b.GetY();
    return dx * dx + dy * dy;
}

} // namespace

ComputerPlayers::ComputerPlayers()
    : world( nullptr ), people( SEATS ), level( AimSearch::Normal ), computerSeats{}, lastTurn( nullptr ),
      wonUpdates( 0 ), landCopy( nullptr ), landCopySize( 0 ) {
    std::memset( keys, 0, sizeof( keys ) );
}

ComputerPlayers::~ComputerPlayers() {
    delete[] landCopy;
}

void ComputerPlayers::Create( World *world, int people, int level ) {
    this->world = world;
    this->people = people < 0 ? 0 : ( people > SEATS ? SEATS : people );
    this->level = level;
    ReserveLandCopy();
    for ( int seat = 0; seat < SEATS; seat++ ) {
        players[seat].SetLevel( level );
        computerSeats[seat] = seat >= this->people ? 1 : 0;
    }
    NewMatch();
}

// Without the memory, the computer plans on the World's land itself, which nothing changes
// while it thinks.
void ComputerPlayers::ReserveLandCopy() {
    const Image *land = world != nullptr ? world->GetLandImage() : nullptr;
    const size_t size = land != nullptr && land->GetWidth() > 0 && land->GetHeight() > 0
                            ? size_t( land->GetWidth() ) * size_t( land->GetHeight() )
                            : 0;
    if ( size > landCopySize ) {
        delete[] landCopy;
        landCopy = new ( std::nothrow ) uint8_t[size];
        landCopySize = landCopy != nullptr ? size : 0;
    }
    for ( ComputerPlayer &player : players ) {
        player.SetLandCopy( landCopy, landCopySize );
    }
}

void ComputerPlayers::SetArsenal( const Arsenal *arsenal ) {
    for ( int seat = 0; seat < SEATS; seat++ ) {
        players[seat].SetArsenal( arsenal, seat );
    }
}

void ComputerPlayers::SetSeat( int seat, int computer, int seatLevel ) {
    if ( seat < 0 || seat >= SEATS ) {
        return;
    }
    computerSeats[seat] = computer ? 1 : 0;
    players[seat].SetLevel( seatLevel );
    people = 0;
    for ( int other = 0; other < SEATS; other++ ) {
        people += computerSeats[other] ? 0 : 1;
    }
}

void ComputerPlayers::SetForecastPerUpdate( int64_t value ) {
    for ( ComputerPlayer &player : players ) {
        player.SetForecastPerUpdate( value );
    }
}

void ComputerPlayers::NewMatch() {
    for ( ComputerPlayer &player : players ) {
        player.Forget();
    }
    lastTurn = nullptr;
    wonUpdates = 0;
}

void ComputerPlayers::Forget() {
    NewMatch();
    world = nullptr;
}

int ComputerPlayers::LevelFromName( const char *name ) {
    if ( name != nullptr && std::strcmp( name, "easy" ) == 0 ) {
        return AimSearch::Easy;
    }
    if ( name != nullptr && std::strcmp( name, "hard" ) == 0 ) {
        return AimSearch::Hard;
    }
    return AimSearch::Normal;
}

int ComputerPlayers::IsComputer( int seat ) const {
    return seat >= 0 && seat < SEATS ? computerSeats[seat] : 0;
}

// The World passes the turn at the start of its update, before any tank reads the keys: a
// current tank whose turn is over hands this update to the next one in the list. Where the
// match passes the turn itself, after the shot has landed, the current tank keeps it.
Entity *ComputerPlayers::TankOfThisUpdate( int &seat ) const {
    const EntityList *tanks = world->GetTanks();
    const Entity *current = world->GetCurrentTank();
    if ( tanks == nullptr || current == nullptr ) {
        return nullptr;
    }
    EntityNode *node;
    tanks->First( node );
    seat = 0;
    while ( !tanks->IsEnd( node ) && tanks->Get( node ) != current ) {
        tanks->Next( node, 1 );
        seat++;
    }
    if ( current->GetState() == 0 && !g_gameRules.rulesPassTurn ) {
        tanks->Next( node, 1 );
        seat++;
        if ( tanks->IsEnd( node ) ) {
            tanks->First( node );
            seat = 0;
        }
    }
    return tanks->IsEnd( node ) ? nullptr : tanks->Get( node );
}

int ComputerPlayers::GetSeatOfThisUpdate() const {
    int seat = -1;
    if ( world == nullptr || TankOfThisUpdate( seat ) == nullptr ) {
        return -1;
    }
    return seat;
}

// People's tanks first, nearest first; then the computer's, nearest first.
int ComputerPlayers::GatherTargets( const Entity *shooter, Tank **targets ) const {
    int count = 0;
    for ( int wantComputer = 0; wantComputer <= 1; wantComputer++ ) {
        const int first = count;
        EntityNode *node;
        int seat = 0;
        for ( world->GetTanks()->First( node ); !world->GetTanks()->IsEnd( node );
              world->GetTanks()->Next( node, 1 ), seat++ ) {
            Entity *tank = world->GetTanks()->Get( node );
            // A tank out of the match is no target.
            if ( tank == shooter || count >= SEATS || IsComputer( seat ) != wantComputer ||
                 tank->GetState() == Tank::Out ) {
                continue;
            }
            // Insertion by distance keeps equal distances in list order.
            int at = count++;
            while ( at > first &&
                    DistanceSquared( *shooter, *targets[at - 1] ) > DistanceSquared( *shooter, *tank ) ) {
                targets[at] = targets[at - 1];
                at--;
            }
            targets[at] = static_cast<Tank *>( tank );
        }
    }
    return count;
}

uint8_t *ComputerPlayers::CopyKeyboard( const uint8_t *keyboard ) {
    if ( keyboard != nullptr ) {
        std::memcpy( keys, keyboard, sizeof( keys ) );
    } else {
        std::memset( keys, 0, sizeof( keys ) );
    }
    return keys;
}

uint8_t *ComputerPlayers::Keys( uint8_t *keyboard, int matchWon ) {
    if ( world == nullptr || people >= SEATS ) {
        return keyboard;
    }
    // A won match waits for a person's key; with nobody there the computer presses Enter.
    if ( matchWon ) {
        if ( people > 0 || ++wonUpdates < DEMO_BANNER_UPDATES ) {
            return keyboard;
        }
        wonUpdates = 0;
        CopyKeyboard( keyboard )[DIK_RETURN] = DOWN;
        return keys;
    }
    wonUpdates = 0;
    int seat = 0;
    Entity *tank = TankOfThisUpdate( seat );
    if ( tank == nullptr || !IsComputer( seat ) ) {
        lastTurn = tank;
        return keyboard;
    }
    ComputerPlayer &player = players[seat];
    if ( tank != lastTurn ) {
        player.BeginTurn();
        lastTurn = tank;
    }
    CopyKeyboard( keyboard );
    for ( int key : GAME_KEYS ) {
        keys[key] = 0;
    }
    Tank *targets[SEATS];
    const int count = GatherTargets( tank, targets );
    player.Press( *world, *static_cast<Tank *>( tank ), targets, count, keys );
    return keys;
}
