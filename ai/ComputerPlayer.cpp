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

} // namespace

ComputerPlayer::ComputerPlayer()
    : arsenal( nullptr ), seat( 0 ), level( AimSearch::Normal ), phase( Waiting ), weaponKeyDown( 0 ),
      weaponKeyPresses( 0 ), countdown( PATIENCE_UPDATES ), hasDriven( 0 ), planX( 0 ), planY( 0 ),
      landCopy( nullptr ), landCopySize( 0 ), forecastPerUpdate( FORECAST_PER_UPDATE ), planTargets{},
      planUpdates( 0 ), target( nullptr ), shotsAtTarget( 0 ) {
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
    planner.Stop();
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
    case Planning:
        countdown--;
        Think();
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

// Begins to plan the shot where the tank stands now.
void ComputerPlayer::Plan( World &world, const Tank &tank, Tank *const *targets, int count ) {
    if ( count <= 0 || world.GetLandImage() == nullptr || tank.GetSprite() == nullptr ) {
        phase = Done; // nobody to shoot at: the turn stands still
        return;
    }
    PlanStart start;
    start.x = tank.GetX();
    start.y = tank.GetY();
    start.bodyAngle = tank.GetBodyAngle();
    start.tankWidth = tank.GetSprite()->GetWidth();
    start.tankHeight = tank.GetSprite()->GetHeight();
    start.bombWidth = g_bombSprite.GetWidth();
    start.bombHeight = g_bombSprite.GetHeight();
    start.wind = world.GetWind();
    start.level = level;
    start.hasDriven = hasDriven;
    start.heavyLeft = HasLeft( WEAPON_HEAVY );
    start.diggerLeft = HasLeft( WEAPON_DIGGER );
    start.count = count < PlanStart::MAX_TARGETS ? count : PlanStart::MAX_TARGETS;
    for ( int i = 0; i < start.count; i++ ) {
        planTargets[i] = targets[i];
        start.targetX[i] = targets[i]->GetX();
        start.targetY[i] = targets[i]->GetY();
        start.lastTarget = targets[i] == target ? i : start.lastTarget;
    }
    start.shotsAtLast = shotsAtTarget;
    start.bombCount = world.GetBombs() != nullptr ? world.GetBombs()->GetCount() : 0;
    // Copying the land is this update's share; the flights begin in the next.
    planner.Begin( *world.GetLandImage(), start, landCopy, landCopySize );
    planX = start.x;
    planY = start.y;
    planUpdates = 1;
    phase = Planning;
    countdown = THINKING_UPDATES;
}

// This update's share of the plan. A plan made drives at once, or waits out what is left of
// the thinking pause.
void ComputerPlayer::Think() {
    planUpdates++;
    if ( !planner.Continue( forecastPerUpdate ) ) {
        return;
    }
    if ( planner.GetOutcome() == ShotPlanner::Drive ) {
        plan.facesLeft = planner.GetDrivesLeft();
        phase = Driving;
        countdown = DRIVING_UPDATES;
        return;
    }
    const Tank *chosen = planTargets[planner.GetChosen()];
    if ( chosen != target ) {
        target = chosen;
        shotsAtTarget = 0;
    }
    plan = planner.GetShot();
    phase = countdown > 0 ? Thinking : Acting;
}

int ComputerPlayer::HasLeft( int weapon ) const {
    return arsenal != nullptr && arsenal->GetStock( seat, weapon ) != 0 ? 1 : 0;
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
