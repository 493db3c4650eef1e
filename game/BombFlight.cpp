#include "game/BombFlight.h"

#include "game/Globals.h"
#include "gfx/Image.h"
#include "gfx/TrigTable.h"

// 40 updates make one time unit of flight. The step is added in double precision and the
// sum kept as a float, so the clock carries a float's rounding from step to step.
static const double FLIGHT_TIME_STEP = 0.025;
// Half the gravity, in pixels per time unit squared.
static const double HALF_GRAVITY = 50.0;

BombFlight::BombFlight()
    : launchX( 0 ), launchY( 0 ), velocityX( 0 ), velocityY( 0 ), flightTime( 0.0f ), wind( 0 ) {
}

BombFlight::BombFlight( int x, int y, int angle, int power )
    : launchX( x ), launchY( y ), velocityX( g_trigTable.Cosine( angle ) * power ),
      velocityY( g_trigTable.Sine( angle ) * power ), flightTime( 0.0f ), wind( 0 ) {
}

BombFlight::BombFlight( int x, int y, int angle, int power, int wind ) : BombFlight( x, y, angle, power ) {
    this->wind = wind;
}

BombFlight BombFlight::FromVelocity( int x, int y, int velocityX, int velocityY, int wind ) {
    BombFlight flight( x, y, 0, 0, wind );
    flight.velocityX = velocityX;
    flight.velocityY = velocityY;
    return flight;
}

BombFlight::~BombFlight() {
}

// The position comes from the launch values every time, so no error builds up in it; only
// the clock is accumulated.
void BombFlight::Step( int &x, int &y ) {
    const double t = flightTime;
    // The wind pushes like the gravity, sideways: half the push times t squared. Without wind
    // the term is exactly zero, and the sum is the windless one to the last bit.
    const int dx = static_cast<int>( ( velocityX * t ) / 256.0 + ( 0.5 * wind * t ) * t );
    const int dy = static_cast<int>( ( velocityY * t ) / 256.0 - ( HALF_GRAVITY * t ) * t );
    x = launchX + dx;
    y = launchY - dy;
    flightTime = static_cast<float>( flightTime + FLIGHT_TIME_STEP );
}

// The arc's top is where the climb, vy / 256 - 2 * 50 t, reaches zero.
int BombFlight::IsFalling() const {
    return velocityY / 256.0 - 2.0 * HALF_GRAVITY * static_cast<double>( flightTime ) <= 0.0 ? 1 : 0;
}

int BombFlight::GetVelocityXNow() const {
    return static_cast<int>( velocityX + 256.0 * wind * static_cast<double>( flightTime ) );
}

int BombFlight::GetVelocityYNow() const {
    return static_cast<int>( velocityY - 256.0 * 2.0 * HALF_GRAVITY * static_cast<double>( flightTime ) );
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
