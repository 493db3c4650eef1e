#include "ai/ShotForecast.h"

#include "game/BombFlight.h"
#include "game/Weapons.h"

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
    BombFlight flight( x, y, angle, power, wind );
    int digLeft = 0;
    for ( updates = 1; updates <= MAX_UPDATES; updates++ ) {
        flight.Step( craterX, craterY );
        const int verdict = BombFlight::Meet( *land, craterX + bombWidth / 2, craterY + bombHeight / 2 );
        if ( verdict == BombFlight::LeavesPlay ) {
            return 0;
        }
        if ( digLeft > 0 || ( verdict == BombFlight::Strikes && digUpdates > 0 ) ) {
            digLeft = digLeft > 0 ? digLeft : digUpdates;
            if ( --digLeft == 0 ) {
                return 1;
            }
        } else if ( verdict == BombFlight::Strikes ) {
            return 1;
        }
    }
    return 0;
}
