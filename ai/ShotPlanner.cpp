#include "ai/ShotPlanner.h"

#include "game/Weapons.h"

#include <cstring>

namespace {

// The same game state gives the same number, so a replay of the keys alone meets the same
// choices; nothing here draws on the C library's generator.
uint32_t SeedOf( const PlanStart &start, int target, int shotsAtTarget ) {
    uint32_t seed = 2166136261u;
    const int parts[] = { start.x,         start.y,      start.targetX[target], start.targetY[target],
                          start.bombCount, shotsAtTarget };
    for ( int part : parts ) {
        seed = ( seed ^ uint32_t( part ) ) * 16777619u;
    }
    return seed;
}

} // namespace

ShotPlanner::ShotPlanner() : outcome( Idle ), stage( Aiming ), target( 0 ), chosen( 0 ), flownBefore( 0 ) {
}

ShotPlanner::~ShotPlanner() {
}

void ShotPlanner::Begin( const Image &from, const PlanStart &value, uint8_t *copy, size_t copySize ) {
    start = value;
    start.count =
        start.count < 0 ? 0 : ( start.count > PlanStart::MAX_TARGETS ? PlanStart::MAX_TARGETS : start.count );
    CopyLand( from, copy, copySize );
    search.Init( &land, start.bombWidth, start.bombHeight, start.tankWidth, start.tankHeight );
    search.SetConditions( start.wind, WEAPON_BOMB );
    flownBefore = search.GetUpdatesFlown();
    stage = Aiming;
    chosen = 0;
    shot = Shot();
    outcome = start.count > 0 ? Planning : Idle;
    if ( outcome == Planning ) {
        BeginAim( 0 );
    }
}

// The land a bomb meets may change under the thinking (it never does today): the plan keeps
// the picture it began with. Without the memory for it, it reads the land as it stands.
void ShotPlanner::CopyLand( const Image &from, uint8_t *copy, size_t copySize ) {
    const int width = from.GetWidth(), height = from.GetHeight();
    const size_t size = size_t( width > 0 ? width : 0 ) * size_t( height > 0 ? height : 0 );
    land.SetWidth( width );
    land.SetHeight( height );
    if ( copy == nullptr || size > copySize || from.GetPixels() == nullptr ) {
        land.SetPitch( from.GetPitch() );
        land.SetPixels( from.GetPixels() );
        return;
    }
    for ( int row = 0; row < height; row++ ) {
        std::memcpy( copy + size_t( row ) * size_t( width ), from.GetPixels() + row * from.GetPitch(),
                     size_t( width ) );
    }
    land.SetPitch( width );
    land.SetPixels( copy );
}

void ShotPlanner::BeginAim( int which ) {
    target = which;
    search.BeginSearch( start.x, start.y, start.bodyAngle, start.targetX[which], start.targetY[which] );
}

int ShotPlanner::Continue( int64_t updates ) {
    for ( int64_t left = updates > 0 ? updates : 1; outcome == Planning && left > 0; ) {
        const int64_t before = search.GetUpdatesFlown();
        if ( search.Continue( left ) ) {
            Next();
        }
        left -= search.GetUpdatesFlown() - before;
    }
    return outcome == Planning ? 0 : 1;
}

// Takes the answer of the search just done and begins the next one: the targets in order
// until a shot covers one, then the weapon, then the level's error.
void ShotPlanner::Next() {
    const Shot &found = search.GetResult();
    switch ( stage ) {
    case Aiming:
        if ( target == 0 || found.covers ) {
            shot = found;
            chosen = target;
        }
        if ( target + 1 < start.count && !shot.covers ) {
            BeginAim( target + 1 );
        } else {
            ChooseWeapon();
        }
        break;
    case Digging:
        if ( found.covers ) {
            shot = found;
            chosen = target;
            BeginSpoil();
        } else if ( target + 1 < start.count ) {
            BeginAim( target + 1 );
        } else {
            search.SetConditions( start.wind, WEAPON_BOMB );
            Decide();
        }
        break;
    default:
        shot = found;
        outcome = Shoot;
        break;
    }
}

// A tank a bomb reaches takes a heavy shell, if one is left and the level wants it: the shell
// flies the bomb's own arc, so the bomb's best shot is tried again with the shell's crater,
// which must still spare the shooter. When no bomb reaches any target, the first one a digger
// reaches is dug out. The search is left set for the weapon chosen, whose error the level
// then spoils the shot by.
void ShotPlanner::ChooseWeapon() {
    if ( shot.covers ) {
        if ( start.heavyLeft && WantsHeavy() ) {
            search.SetConditions( start.wind, WEAPON_HEAVY );
            const Shot heavy = search.Try( start.x, start.y, start.bodyAngle, shot.facesLeft, shot.barrel,
                                           shot.power, start.targetX[chosen], start.targetY[chosen] );
            if ( heavy.covers ) {
                shot = heavy;
                BeginSpoil();
                return;
            }
            search.SetConditions( start.wind, WEAPON_BOMB );
        }
        BeginSpoil();
        return;
    }
    if ( start.diggerLeft ) {
        search.SetConditions( start.wind, WEAPON_DIGGER );
        stage = Digging;
        BeginAim( 0 );
        return;
    }
    Decide();
}

// Out of reach of every shot, it drives toward the first target once, then fires its
// nearest miss.
void ShotPlanner::Decide() {
    if ( !shot.covers && !start.hasDriven ) {
        outcome = Drive;
        return;
    }
    BeginSpoil();
}

void ShotPlanner::BeginSpoil() {
    const int shots = chosen == start.lastTarget ? start.shotsAtLast : 0;
    stage = Spoiling;
    search.BeginSpoil( shot, start.level, shots, SeedOf( start, chosen, shots ), start.x, start.y,
                       start.bodyAngle, start.targetX[chosen], start.targetY[chosen] );
}

// The few heavy shells are not thrown away on shots that are meant to miss: hard fires one
// at once, normal once it has found its range, easy only when its aim has nearly closed in.
int ShotPlanner::WantsHeavy() const {
    const int shots = chosen == start.lastTarget ? start.shotsAtLast : 0;
    const int settledAfter[] = { 3, 1, 0 };
    return start.level >= AimSearch::Easy && start.level <= AimSearch::Hard &&
                   shots >= settledAfter[start.level]
               ? 1
               : 0;
}
