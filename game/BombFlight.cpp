#include "game/BombFlight.h"

#include "game/Globals.h"
#include "gfx/Image.h"
#include "gfx/TrigTable.h"

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

void BombFlight::Step( int &x, int &y ) {
    PositionAt( flightTime, x, y );
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
