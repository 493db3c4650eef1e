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
const int CANDIDATES = 6;

// A shot is scored by the plain bomb's crater, so that misses compare alike whatever the weapon.
const int64_t RX2 = int64_t( Bomb::CRATER_RX ) * Bomb::CRATER_RX;
const int64_t RY2 = int64_t( Bomb::CRATER_RY ) * Bomb::CRATER_RY;
const int64_t INSIDE = RX2 * RY2;
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
    : weapon( WEAPON_BOMB ), rx2( RX2 ), ry2( RY2 ), tankWidth( 0 ), tankHeight( 0 ), flights( 0 ) {
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
    flights = 0;
    const int towardLeft = targetX < x ? 1 : 0;
    const Shot toward = SearchSide( x, y, bodyAngle, towardLeft, targetX, targetY );
    if ( toward.covers ) {
        return toward;
    }
    const Shot away = SearchSide( x, y, bodyAngle, !towardLeft, targetX, targetY );
    return away.miss < toward.miss ? away : toward;
}

// A shot's landing moves smoothly with elevation and charge except where the land cuts the
// arc short, so a coarse grid finds the neighbourhoods worth searching finely.
Shot AimSearch::SearchSide( int x, int y, int bodyAngle, int facesLeft, int targetX, int targetY ) {
    Shot best[CANDIDATES];
    for ( Shot &shot : best ) {
        shot.miss = NO_CRATER;
    }
    // From the top down, so that of equally good shots the higher arc wins: it forgives a
    // degree more than a flat one.
    for ( int barrel = BARREL_HIGHEST; barrel >= BARREL_LOWEST; barrel -= COARSE_BARREL_STEP ) {
        for ( int power = POWER_LOWEST; power <= POWER_HIGHEST; power += COARSE_POWER_STEP ) {
            Shot shot = Try( x, y, bodyAngle, facesLeft, barrel, power, targetX, targetY );
            // Keep the best few, best first.
            for ( int i = 0; i < CANDIDATES; i++ ) {
                if ( shot.miss < best[i].miss ) {
                    const Shot displaced = best[i];
                    best[i] = shot;
                    shot = displaced;
                }
            }
        }
    }
    Shot found = best[0];
    for ( const Shot &candidate : best ) {
        if ( candidate.miss == NO_CRATER ) {
            break;
        }
        const int barrelLow = Clamp( candidate.barrel - FINE_BARREL_REACH, BARREL_LOWEST, BARREL_HIGHEST );
        const int barrelHigh = Clamp( candidate.barrel + FINE_BARREL_REACH, BARREL_LOWEST, BARREL_HIGHEST );
        const int powerLow = Clamp( candidate.power - FINE_POWER_REACH, POWER_LOWEST, POWER_HIGHEST );
        const int powerHigh = Clamp( candidate.power + FINE_POWER_REACH, POWER_LOWEST, POWER_HIGHEST );
        for ( int barrel = barrelHigh; barrel >= barrelLow; barrel-- ) {
            for ( int power = powerLow; power <= powerHigh; power++ ) {
                const Shot shot = Try( x, y, bodyAngle, facesLeft, barrel, power, targetX, targetY );
                if ( shot.miss < found.miss ) {
                    found = shot;
                }
            }
        }
    }
    return found;
}

Shot AimSearch::Spoil( const Shot &best, int level, int shotsAtTarget, uint32_t seed, int x, int y,
                       int bodyAngle, int targetX, int targetY ) {
    if ( level < Easy || level >= Hard || !best.strikes ) {
        return best;
    }
    const LevelError &error = LEVEL_ERRORS[level];
    const double left = std::pow( error.shrink, shotsAtTarget );
    const uint64_t bits = Mix( seed );
    const double wanted = error.pixels * left * SignedFactor( bits );
    const int longer = wanted > 0.0 ? 1 : -1;
    const int64_t wantedSquared = int64_t( wanted * wanted );
    const int degrees = int( std::lround( error.degrees * left * std::fabs( SignedFactor( bits >> 16 ) ) ) );
    const int powerStep = best.power / POWER_ERROR_STEPS > 0 ? best.power / POWER_ERROR_STEPS : 1;
    Shot spoilt = best;
    for ( int step = 0; step <= POWER_ERROR_STEPS; step++ ) {
        const int power = Clamp( best.power + longer * step * powerStep, POWER_LOWEST, POWER_HIGHEST );
        // The elevation's error takes the side that carries the crater further from the best
        // one, so that it never cancels the charge's.
        const Shot raised =
            Try( x, y, bodyAngle, best.facesLeft,
                 Clamp( best.barrel + degrees, BARREL_LOWEST, BARREL_HIGHEST ), power, targetX, targetY );
        const Shot lowered =
            Try( x, y, bodyAngle, best.facesLeft,
                 Clamp( best.barrel - degrees, BARREL_LOWEST, BARREL_HIGHEST ), power, targetX, targetY );
        const int64_t raisedAway = Away( raised, best ), loweredAway = Away( lowered, best );
        spoilt = raisedAway >= loweredAway ? raised : lowered;
        if ( ( raisedAway >= loweredAway ? raisedAway : loweredAway ) >= wantedSquared ) {
            break;
        }
    }
    return spoilt;
}
