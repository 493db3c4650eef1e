#include "ai/ShotForecast.h"

#include "game/BombFlight.h"
#include "game/Weapons.h"

namespace {

// The flight's clock before each of its updates: the same for every bomb, so it is worked out
// once by the flight itself, and a forecast's updates no longer wait for each other's clocks.
struct FlightClock {
    float times[ShotForecast::MAX_UPDATES];

    FlightClock() {
        BombFlight flight;
        int x, y;
        for ( float &time : times ) {
            time = flight.GetTime();
            flight.Step( x, y );
        }
    }
};

} // namespace

ShotForecast::ShotForecast()
    : land( nullptr ), bombWidth( 0 ), bombHeight( 0 ), wind( 0 ), digUpdates( 0 ), craterX( 0 ),
      craterY( 0 ), updates( 0 ) {
}

ShotForecast::~ShotForecast() {
}

void ShotForecast::Init( const Image *land, int bombWidth, int bombHeight ) {
    this->land = land;
    this->bombWidth = bombWidth;
    this->bombHeight = bombHeight;
}

void ShotForecast::SetConditions( int wind, int weapon ) {
    this->wind = wind;
    digUpdates = WeaponOf( weapon ).digUpdates;
}

// The bomb's own steps and verdicts; a digger, once it has met the ground, bores on through
// whatever it meets for the rest of its boring, as the bomb does.
int ShotForecast::Fly( int x, int y, int angle, int power ) {
    if ( land == nullptr ) {
        return 0;
    }
    static const FlightClock clock;
    const BombFlight flight( x, y, angle, power, wind );
    const Image &ground = *land;
    const int halfWidth = bombWidth / 2, halfHeight = bombHeight / 2, boring = digUpdates;
    int digLeft = 0, bombX = 0, bombY = 0, update = 1;
    int strikes = 0;
    for ( ; update <= MAX_UPDATES; update++ ) {
        flight.PositionAt( clock.times[update - 1], bombX, bombY );
        const int verdict = BombFlight::Meet( ground, bombX + halfWidth, bombY + halfHeight );
        if ( verdict == BombFlight::LeavesPlay ) {
            break;
        }
        if ( digLeft > 0 || ( verdict == BombFlight::Strikes && boring > 0 ) ) {
            digLeft = digLeft > 0 ? digLeft : boring;
            if ( --digLeft == 0 ) {
                strikes = 1;
                break;
            }
        } else if ( verdict == BombFlight::Strikes ) {
            strikes = 1;
            break;
        }
    }
    // Kept in locals while flying, so that nothing the loop writes could be the land's size.
    craterX = bombX;
    craterY = bombY;
    updates = update;
    return strikes;
}
