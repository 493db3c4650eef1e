#include "ai/AimSearch.h"

#include "game/Bomb.h"
#include "game/Tank.h"
#include "game/Weapons.h"

#include <cmath>

namespace {

// The barrel's reach above and below the hull, as the tank allows it.
const int BARREL_LOWEST = -15;
const int BARREL_HIGHEST = 45;
const int POWER_HIGHEST = 500;
// Below this a bomb hardly leaves the tank: never worth a turn.
const int POWER_LOWEST = 20;

// The coarse grid, then the fine search around the best few of it.
const int COARSE_BARREL_STEP = 3;
const int COARSE_POWER_STEP = 16;
const int FINE_BARREL_REACH = 2;
const int FINE_POWER_REACH = 15;

// A shot is scored by the plain bomb's crater, so that misses compare alike whatever the weapon.
const int64_t RX2 = int64_t( Bomb::CRATER_RX ) * Bomb::CRATER_RX;
const int64_t RY2 = int64_t( Bomb::CRATER_RY ) * Bomb::CRATER_RY;
const int64_t NO_CRATER = INT64_MAX / 4;
// A crater on the shooter's own tank is never worth firing: it scores below every shot that
// spares it, and is only fired when nothing else comes down at all.
const int64_t OWN_TANK = NO_CRATER / 2;

// Per level: the first shot's error in degrees of elevation and in pixels that the charge's
// error carries the crater from the best one, and how much of both is left after each shot
// at the same target. Measuring the charge's error where it lands makes a level miss by as
// much near as far.
struct LevelError {
    double degrees;
    double pixels;
    double shrink;
};
const LevelError LEVEL_ERRORS[] = {
    { 4.0, 180.0, 0.7 }, // easy: misses by far at first, hits after three or four shots
    { 2.0, 80.0, 0.55 }, // normal: close at once, hits within a shot or two
    { 0.0, 0.0, 0.0 },   // hard: the best shot found
};
// The charge's error grows by this share of the charge per trial.
const int POWER_ERROR_STEPS = 50;

int Clamp( int value, int low, int high ) {
    return value < low ? low : ( value > high ? high : value );
}

// The hull angle after turning to the given side: a turn flips it by half a circle.
int BodyFacing( int bodyAngle, int facesLeft ) {
    if ( Tank::FacesLeftAt( bodyAngle ) == facesLeft ) {
        return bodyAngle;
    }
    return facesLeft ? bodyAngle + 180 : bodyAngle - 180;
}

// Mixes the seed into evenly spread bits (the finaliser of splitmix64).
uint64_t Mix( uint64_t value ) {
    value += 0x9e3779b97f4a7c15ull;
    value = ( value ^ ( value >> 30 ) ) * 0xbf58476d1ce4e5b9ull;
    value = ( value ^ ( value >> 27 ) ) * 0x94d049bb133111ebull;
    return value ^ ( value >> 31 );
}

// A factor from -1.25 to -0.75 or 0.75 to 1.25, taken from 16 bits of `bits`.
double SignedFactor( uint64_t bits ) {
    const double size = 0.75 + 0.5 * double( bits & 0x7fff ) / 32767.0;
    return ( bits & 0x8000 ) != 0 ? -size : size;
}

// How far (squared) a shot's crater lies from the best one's; a shot out of play is as far as can be.
int64_t Away( const Shot &shot, const Shot &best ) {
    if ( !shot.strikes ) {
        return NO_CRATER;
    }
    const int64_t dx = shot.craterX - best.craterX;
    const int64_t dy = shot.craterY - best.craterY;
    return dx * dx + dy * dy;
}

} // namespace

AimSearch::AimSearch()
    : weapon( WEAPON_BOMB ), rx2( RX2 ), ry2( RY2 ), tankWidth( 0 ), tankHeight( 0 ), flights( 0 ),
      updatesFlown( 0 ), job( Done ), fromX( 0 ), fromY( 0 ), fromAngle( 0 ), atX( 0 ), atY( 0 ),
      sideFacesLeft( 0 ), sideStage( Coarse ), nextBarrel( 0 ), nextPower( 0 ), barrelLow( 0 ), powerLow( 0 ),
      powerHigh( 0 ), candidate( 0 ), wantedSquared( 0 ), longer( 1 ), degrees( 0 ), powerStep( 1 ),
      step( 0 ) {
}

AimSearch::~AimSearch() {
}

void AimSearch::Init( const Image *land, int bombWidth, int bombHeight, int tankWidth, int tankHeight ) {
    forecast.Init( land, bombWidth, bombHeight );
    this->tankWidth = tankWidth;
    this->tankHeight = tankHeight;
}

void AimSearch::SetConditions( int wind, int weapon ) {
    forecast.SetConditions( wind, weapon );
    this->weapon = weapon;
    const Weapon &row = WeaponOf( weapon );
    rx2 = int64_t( row.craterRx ) * row.craterRx;
    ry2 = int64_t( row.craterRy ) * row.craterRy;
}

int AimSearch::CraterReaches( int craterX, int craterY, int tankX, int tankY ) const {
    const int64_t dx = Clamp( craterX, tankX, tankX + tankWidth - 1 ) - craterX;
    const int64_t dy = Clamp( craterY, tankY, tankY + tankHeight - 1 ) - craterY;
    return dx * dx * ry2 + dy * dy * rx2 <= rx2 * ry2 ? 1 : 0;
}

Shot AimSearch::Try( int x, int y, int bodyAngle, int facesLeft, int barrel, int power, int targetX,
                     int targetY ) {
    Shot shot;
    shot.facesLeft = facesLeft;
    shot.barrel = barrel;
    shot.power = power;
    shot.weapon = weapon;
    const int body = BodyFacing( bodyAngle, facesLeft );
    const int direction = facesLeft ? body - barrel : body + barrel;
    flights++;
    shot.strikes = forecast.Fly( x, y, direction, power );
    updatesFlown += forecast.GetUpdates() > 1 ? forecast.GetUpdates() : 1;
    if ( !shot.strikes ) {
        shot.miss = NO_CRATER;
        return shot;
    }
    shot.craterX = forecast.GetCraterX();
    shot.craterY = forecast.GetCraterY();
    shot.covers = CraterReaches( shot.craterX, shot.craterY, targetX, targetY );
    const int64_t dx = shot.craterX - ( targetX + tankWidth / 2 );
    const int64_t dy = shot.craterY - ( targetY + tankHeight / 2 );
    shot.miss = dx * dx * RY2 + dy * dy * RX2;
    if ( CraterReaches( shot.craterX, shot.craterY, x, y ) ) {
        shot.covers = 0;
        shot.miss = OWN_TANK + shot.miss / 1024;
    }
    return shot;
}

Shot AimSearch::Search( int x, int y, int bodyAngle, int targetX, int targetY ) {
    BeginSearch( x, y, bodyAngle, targetX, targetY );
    while ( !Continue( INT64_MAX ) ) {
    }
    return result;
}

Shot AimSearch::Spoil( const Shot &best, int level, int shotsAtTarget, uint32_t seed, int x, int y,
                       int bodyAngle, int targetX, int targetY ) {
    BeginSpoil( best, level, shotsAtTarget, seed, x, y, bodyAngle, targetX, targetY );
    while ( !Continue( INT64_MAX ) ) {
    }
    return result;
}

int AimSearch::Continue( int64_t updates ) {
    for ( int64_t left = updates > 0 ? updates : 1; job != Done && left > 0; ) {
        const int64_t before = updatesFlown;
        if ( job == Spoiling ) {
            StepSpoil();
        } else {
            StepSide();
        }
        left -= updatesFlown - before;
    }
    return job == Done ? 1 : 0;
}

// Faces the target first; the other side only when no shot that way covers it.
void AimSearch::BeginSearch( int x, int y, int bodyAngle, int targetX, int targetY ) {
    flights = 0;
    fromX = x;
    fromY = y;
    fromAngle = bodyAngle;
    atX = targetX;
    atY = targetY;
    job = SearchToward;
    BeginSide( targetX < x ? 1 : 0 );
}

// A shot's landing moves smoothly with elevation and charge except where the land cuts the
// arc short, so a coarse grid finds the neighbourhoods worth searching finely. The grid runs
// from the top down, so that of equally good shots the higher arc wins: it forgives a degree
// more than a flat one.
void AimSearch::BeginSide( int facesLeft ) {
    sideFacesLeft = facesLeft;
    for ( Shot &shot : gridBest ) {
        shot = Shot();
        shot.miss = NO_CRATER;
    }
    sideStage = Coarse;
    nextBarrel = BARREL_HIGHEST;
    nextPower = POWER_LOWEST;
}

// Flies the side's next shot: the next point of the coarse grid, keeping the best few, best
// first; then the next one round a candidate, keeping the best.
void AimSearch::StepSide() {
    Shot shot = Try( fromX, fromY, fromAngle, sideFacesLeft, nextBarrel, nextPower, atX, atY );
    if ( sideStage == Coarse ) {
        for ( int i = 0; i < CANDIDATES; i++ ) {
            if ( shot.miss < gridBest[i].miss ) {
                const Shot displaced = gridBest[i];
                gridBest[i] = shot;
                shot = displaced;
            }
        }
        nextPower += COARSE_POWER_STEP;
        if ( nextPower > POWER_HIGHEST ) {
            nextPower = POWER_LOWEST;
            nextBarrel -= COARSE_BARREL_STEP;
        }
        if ( nextBarrel < BARREL_LOWEST ) {
            found = gridBest[0];
            candidate = -1;
            NextCandidate();
        }
        return;
    }
    if ( shot.miss < found.miss ) {
        found = shot;
    }
    if ( ++nextPower > powerHigh ) {
        nextPower = powerLow;
        nextBarrel--;
    }
    if ( nextBarrel < barrelLow ) {
        NextCandidate();
    }
}

// The fine search round the next candidate of the grid, until one is no crater at all.
void AimSearch::NextCandidate() {
    candidate++;
    if ( candidate >= CANDIDATES || gridBest[candidate].miss == NO_CRATER ) {
        EndSide();
        return;
    }
    const Shot &around = gridBest[candidate];
    sideStage = Fine;
    barrelLow = Clamp( around.barrel - FINE_BARREL_REACH, BARREL_LOWEST, BARREL_HIGHEST );
    nextBarrel = Clamp( around.barrel + FINE_BARREL_REACH, BARREL_LOWEST, BARREL_HIGHEST );
    powerLow = Clamp( around.power - FINE_POWER_REACH, POWER_LOWEST, POWER_HIGHEST );
    powerHigh = Clamp( around.power + FINE_POWER_REACH, POWER_LOWEST, POWER_HIGHEST );
    nextPower = powerLow;
}

void AimSearch::EndSide() {
    if ( job == SearchToward && !found.covers ) {
        toward = found;
        job = SearchAway;
        BeginSide( !sideFacesLeft );
        return;
    }
    if ( job == SearchAway ) {
        result = found.miss < toward.miss ? found : toward;
    } else {
        result = found;
    }
    job = Done;
}

void AimSearch::BeginSpoil( const Shot &best, int level, int shotsAtTarget, uint32_t seed, int x, int y,
                            int bodyAngle, int targetX, int targetY ) {
    result = best;
    job = Done;
    if ( level < Easy || level >= Hard || !best.strikes ) {
        return;
    }
    const LevelError &error = LEVEL_ERRORS[level];
    const double left = std::pow( error.shrink, shotsAtTarget );
    const uint64_t bits = Mix( seed );
    const double wanted = error.pixels * left * SignedFactor( bits );
    longer = wanted > 0.0 ? 1 : -1;
    wantedSquared = int64_t( wanted * wanted );
    degrees = int( std::lround( error.degrees * left * std::fabs( SignedFactor( bits >> 16 ) ) ) );
    powerStep = best.power / POWER_ERROR_STEPS > 0 ? best.power / POWER_ERROR_STEPS : 1;
    spoilFrom = best;
    step = 0;
    fromX = x;
    fromY = y;
    fromAngle = bodyAngle;
    atX = targetX;
    atY = targetY;
    job = Spoiling;
}

// The next charge further from the best one, until the crater lands as far off as wanted.
void AimSearch::StepSpoil() {
    const Shot &from = spoilFrom;
    const int charge = Clamp( from.power + longer * step * powerStep, POWER_LOWEST, POWER_HIGHEST );
    // The elevation's error takes the side that carries the crater further from the best
    // one, so that it never cancels the charge's.
    const Shot raised =
        Try( fromX, fromY, fromAngle, from.facesLeft,
             Clamp( from.barrel + degrees, BARREL_LOWEST, BARREL_HIGHEST ), charge, atX, atY );
    const Shot lowered =
        Try( fromX, fromY, fromAngle, from.facesLeft,
             Clamp( from.barrel - degrees, BARREL_LOWEST, BARREL_HIGHEST ), charge, atX, atY );
    const int64_t raisedAway = Away( raised, from ), loweredAway = Away( lowered, from );
    result = raisedAway >= loweredAway ? raised : lowered;
    if ( ( raisedAway >= loweredAway ? raisedAway : loweredAway ) >= wantedSquared ||
         ++step > POWER_ERROR_STEPS ) {
        job = Done;
    }
}
