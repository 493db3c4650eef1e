#include "ai/ComputerPlayer.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Sprite.h"
#include "host/HostTypes.h"
#include "play/Arsenal.h"

namespace {

const uint8_t DOWN = 0x80;

int AnyInState( const EntityList *list, int state ) {
    if ( list == nullptr ) {
        return 0;
    }
    EntityNode *node;
    for ( list->First( node ); !list->IsEnd( node ); list->Next( node, 1 ) ) {
        if ( list->Get( node )->GetState() == state ) {
            return 1;
        }
    }
    return 0;
}

// A crater made in the last update leaves tanks standing on nothing until their next update
// sees it: they are about to fall.
int AnyTankAboutToFall( const EntityList *tanks ) {
    if ( tanks == nullptr ) {
        return 0;
    }
    EntityNode *node;
    for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ) ) {
        const Tank *tank = static_cast<const Tank *>( tanks->Get( node ) );
        if ( tank->GetState() == Tank::Out ) {
            continue; // gone from the match, wherever it is
        }
        if ( tank->GetState() == Tank::Falling || ( tank->GetSprite() != nullptr && !tank->IsOnGround() ) ) {
            return 1;
        }
    }
    return 0;
}

// The same game state gives the same number, so a replay of the keys alone meets the same
// choices; nothing here draws on the C library's generator.
uint32_t SeedOf( const World &world, const Tank &tank, const Tank &target, int shotsAtTarget ) {
    uint32_t seed = 2166136261u;
    const int parts[] = { tank.GetX(),
                          tank.GetY(),
                          target.GetX(),
                          target.GetY(),
                          world.GetBombs() != nullptr ? world.GetBombs()->GetCount() : 0,
                          shotsAtTarget };
    for ( int part : parts ) {
        seed = ( seed ^ uint32_t( part ) ) * 16777619u;
    }
    return seed;
}

} // namespace

ComputerPlayer::ComputerPlayer()
    : arsenal( nullptr ), seat( 0 ), level( AimSearch::Normal ), phase( Waiting ), weaponKeyDown( 0 ),
      weaponKeyPresses( 0 ), countdown( PATIENCE_UPDATES ), hasDriven( 0 ), planX( 0 ), planY( 0 ),
      target( nullptr ), shotsAtTarget( 0 ) {
}

ComputerPlayer::~ComputerPlayer() {
}

void ComputerPlayer::BeginTurn() {
    phase = Waiting;
    weaponKeyDown = 0;
    weaponKeyPresses = 0;
    countdown = PATIENCE_UPDATES;
    hasDriven = 0;
    plan = Shot();
}

void ComputerPlayer::Forget() {
    BeginTurn();
    target = nullptr;
    shotsAtTarget = 0;
}

// Aiming needs still land and a standing target: a bomb still flying may yet blow a crater,
// and a falling tank is not where it will stand.
int ComputerPlayer::IsSettled( World &world, const Tank &tank ) const {
    return tank.GetState() == Tank::Active && !AnyInState( world.GetBombs(), Bomb::Flying ) &&
           !AnyTankAboutToFall( world.GetTanks() );
}

void ComputerPlayer::Press( World &world, Tank &tank, Tank *const *targets, int count, uint8_t *keys ) {
    switch ( phase ) {
    case Waiting:
        countdown--;
        if ( IsSettled( world, tank ) || ( countdown <= 0 && tank.GetState() == Tank::Active ) ) {
            Plan( world, tank, targets, count );
        }
        break;
    case Thinking:
        if ( --countdown <= 0 ) {
            phase = Acting;
        }
        break;
    case Driving:
        // Pressing toward the target turns the tank first if it faces away, then drives.
        if ( tank.GetState() == Tank::Active ) {
            keys[plan.facesLeft ? DIK_LEFT : DIK_RIGHT] = DOWN;
            if ( --countdown <= 0 ) {
                BeginTurn();
                hasDriven = 1;
            }
        }
        break;
    case Acting:
        Act( tank, keys );
        break;
    default:
        break;
    }
}

// Aims at the first target in order that a shot from here can reach; when none can be, it
// drives toward the first one once, then fires its nearest miss.
void ComputerPlayer::Plan( World &world, const Tank &tank, Tank *const *targets, int count ) {
    if ( count <= 0 || world.GetLandImage() == nullptr || tank.GetSprite() == nullptr ) {
        phase = Done; // nobody to shoot at: the turn stands still
        return;
    }
    AimSearch search;
    search.Init( world.GetLandImage(), g_bombSprite.GetWidth(), g_bombSprite.GetHeight(),
                 tank.GetSprite()->GetWidth(), tank.GetSprite()->GetHeight() );
    search.SetConditions( world.GetWind(), WEAPON_BOMB );
    const Tank *chosen = targets[0];
    Shot best =
        search.Search( tank.GetX(), tank.GetY(), tank.GetBodyAngle(), chosen->GetX(), chosen->GetY() );
    for ( int i = 1; i < count && !best.covers; i++ ) {
        const Shot other = search.Search( tank.GetX(), tank.GetY(), tank.GetBodyAngle(), targets[i]->GetX(),
                                          targets[i]->GetY() );
        if ( other.covers ) {
            best = other;
            chosen = targets[i];
        }
    }
    ChooseWeapon( world, tank, targets, count, search, best, chosen );
    if ( !best.covers && !hasDriven ) {
        plan.facesLeft = targets[0]->GetX() < tank.GetX() ? 1 : 0;
        phase = Driving;
        countdown = DRIVING_UPDATES;
        return;
    }
    if ( chosen != target ) {
        target = chosen;
        shotsAtTarget = 0;
    }
    plan = search.Spoil( best, level, shotsAtTarget, SeedOf( world, tank, *chosen, shotsAtTarget ),
                         tank.GetX(), tank.GetY(), tank.GetBodyAngle(), chosen->GetX(), chosen->GetY() );
    planX = tank.GetX();
    planY = tank.GetY();
    phase = Thinking;
    countdown = THINKING_UPDATES;
}

int ComputerPlayer::HasLeft( int weapon ) const {
    return arsenal != nullptr && arsenal->GetStock( seat, weapon ) != 0 ? 1 : 0;
}

// The few heavy shells are not thrown away on shots that are meant to miss: hard fires one
// at once, normal once it has found its range, easy only when its aim has nearly closed in.
int ComputerPlayer::WantsHeavy( const Tank *chosen ) const {
    const int shots = chosen == target ? shotsAtTarget : 0;
    const int settledAfter[] = { 3, 1, 0 };
    return level >= AimSearch::Easy && level <= AimSearch::Hard && shots >= settledAfter[level] ? 1 : 0;
}

// A tank a bomb reaches takes a heavy shell, if one is left and the level wants it: the shell
// flies the bomb's own arc, so the bomb's best shot is tried again with the shell's crater,
// which must still spare the shooter. When no bomb reaches any target, the first one a digger
// reaches is dug out. The search is left set for the weapon chosen, whose error the level
// then spoils the shot by.
void ComputerPlayer::ChooseWeapon( const World &world, const Tank &tank, Tank *const *targets, int count,
                                   AimSearch &search, Shot &best, const Tank *&chosen ) const {
    if ( best.covers ) {
        if ( !HasLeft( WEAPON_HEAVY ) || !WantsHeavy( chosen ) ) {
            return;
        }
        search.SetConditions( world.GetWind(), WEAPON_HEAVY );
        const Shot heavy = search.Try( tank.GetX(), tank.GetY(), tank.GetBodyAngle(), best.facesLeft,
                                       best.barrel, best.power, chosen->GetX(), chosen->GetY() );
        if ( heavy.covers ) {
            best = heavy;
            return;
        }
    } else if ( HasLeft( WEAPON_DIGGER ) ) {
        search.SetConditions( world.GetWind(), WEAPON_DIGGER );
        for ( int i = 0; i < count; i++ ) {
            const Shot dug = search.Search( tank.GetX(), tank.GetY(), tank.GetBodyAngle(), targets[i]->GetX(),
                                            targets[i]->GetY() );
            if ( dug.covers ) {
                best = dug;
                chosen = targets[i];
                return;
            }
        }
    }
    search.SetConditions( world.GetWind(), WEAPON_BOMB );
}

// One key per update, read off the tank as it stands: turn, the weapon, then the barrel, then
// the charge.
// A tank that has fallen since it aimed aims again where it came to rest.
void ComputerPlayer::Act( const Tank &tank, uint8_t *keys ) {
    if ( tank.GetX() != planX || tank.GetY() != planY ) {
        phase = Waiting;
        countdown = PATIENCE_UPDATES;
        return;
    }
    switch ( tank.GetState() ) {
    case Tank::Active:
        if ( tank.FacesLeft() != plan.facesLeft ) {
            keys[plan.facesLeft ? DIK_LEFT : DIK_RIGHT] = DOWN;
        } else if ( tank.GetWeapon() != plan.weapon && weaponKeyPresses < 4 * WEAPON_CHOICES ) {
            // A weapon key steps once each time it goes down; a choice that never comes (the
            // game not taking the keys) is given up after going round a few times.
            weaponKeyDown = !weaponKeyDown;
            weaponKeyPresses++;
            keys[DIK_E] = weaponKeyDown ? DOWN : 0;
        } else if ( tank.GetBarrelAngle() < plan.barrel ) {
            keys[DIK_UP] = DOWN;
        } else if ( tank.GetBarrelAngle() > plan.barrel ) {
            keys[DIK_DOWN] = DOWN;
        } else {
            keys[DIK_SPACE] = DOWN;
        }
        break;
    case Tank::Charging:
        // Let go at the charge nearest the plan: it grows by more than one where it charges fast.
        if ( 2 * tank.GetPower() + g_gameRules.chargePerFrame < 2 * plan.power ) {
            keys[DIK_SPACE] = DOWN;
        } else {
            phase = Done;
            shotsAtTarget++;
        }
        break;
    case Tank::Firing: // the charge ran to its limit on its own
        phase = Done;
        shotsAtTarget++;
        break;
    default:
        break;
    }
}
