#include "game/BombFlight.h"

#include "game/Globals.h"
#include "gfx/Image.h"
#include "gfx/TrigTable.h"

// 40 updates make one time unit of flight. The step is added in double precision and the
// sum kept as a float, so the clock carries a float's rounding from step to step.
static const double FLIGHT_TIME_STEP = 0.025;
// Half the gravity, in pixels per time unit squared.
static const double HALF_GRAVITY = 50.0;

BombFlight::BombFlight() : launchX( 0 ), launchY( 0 ), velocityX( 0 ), velocityY( 0 ), flightTime( 0.0f ) {
}

BombFlight::BombFlight( int x, int y, int angle, int power )
    : launchX( x ), launchY( y ), velocityX( g_trigTable.Cosine( angle ) * power ),
      velocityY( g_trigTable.Sine( angle ) * power ), flightTime( 0.0f ) {
}

BombFlight::~BombFlight() {
}

// The position comes from the launch values every time, so no error builds up in it; only
// the clock is accumulated.
void BombFlight::Step( int &x, int &y ) {
    const double t = flightTime;
    const int dx = static_cast<int>( ( velocityX * t ) / 256.0 );
    const int dy = static_cast<int>( ( velocityY * t ) / 256.0 - ( HALF_GRAVITY * t ) * t );
    x = launchX + dx;
    y = launchY - dy;
    flightTime = static_cast<float>( flightTime + FLIGHT_TIME_STEP );
}

// Past either side or the bottom the bomb can never come back onto the land: it leaves
// play without a crater. Above the top it is still on its way and comes down again, so it
// flies on, untested until it is back over the picture.
int BombFlight::Meet( const Image &land, int middleX, int middleY ) {
    if ( middleX < 0 || middleX >= land.GetWidth() || middleY >= land.GetHeight() ) {
        return LeavesPlay;
    }
    if ( middleY < 0 || land.GetPixels() == nullptr ) {
        return FliesOn;
    }
    return land.GetPixels()[middleY * land.GetPitch() + middleX] != 0 ? Strikes : FliesOn;
}
