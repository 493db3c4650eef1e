#include "ai/ShotForecast.h"

#include "game/BombFlight.h"

ShotForecast::ShotForecast()
    : land( nullptr ), bombWidth( 0 ), bombHeight( 0 ), craterX( 0 ), craterY( 0 ), updates( 0 ) {
}

ShotForecast::~ShotForecast() {
}

void ShotForecast::Init( const Image *land, int bombWidth, int bombHeight ) {
    this->land = land;
    this->bombWidth = bombWidth;
    this->bombHeight = bombHeight;
}

int ShotForecast::Fly( int x, int y, int angle, int power ) {
    if ( land == nullptr ) {
        return 0;
    }
    BombFlight flight( x, y, angle, power );
    for ( updates = 1; updates <= MAX_UPDATES; updates++ ) {
        flight.Step( craterX, craterY );
        const int verdict = BombFlight::Meet( *land, craterX + bombWidth / 2, craterY + bombHeight / 2 );
        if ( verdict == BombFlight::Strikes ) {
            return 1;
        }
        if ( verdict == BombFlight::LeavesPlay ) {
            return 0;
        }
    }
    return 0;
}
