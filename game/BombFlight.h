#ifndef KELTO_GAME_BOMBFLIGHT_H
#define KELTO_GAME_BOMBFLIGHT_H

#include "gfx/Image.h"

// The path of one bomb: its launch point and velocity, the clock of its flight, where the
// clock puts it after each update and what the land picture makes of it there. The Bomb
// flies by it, and whoever must foresee a shot exactly (the computer's aim) runs the same
// steps over the land without touching the game.
class BombFlight {
public:
    // What the land makes of the bomb where it stands now.
    enum { FliesOn = 0, Strikes = 1, LeavesPlay = 2 };
    // 40 updates make one time unit of flight. The step is added in double precision and the
    // sum kept as a float, so the clock carries a float's rounding from step to step.
    static constexpr double FLIGHT_TIME_STEP = 0.025;
    // Half the gravity, in pixels per time unit squared.
    static constexpr double HALF_GRAVITY = 50.0;

    BombFlight();
    BombFlight( int x, int y, int angle, int power );
    // A flight pushed sideways by the wind, `wind` pixels per time unit squared (positive =
    // right), constant for the whole flight like the gravity.
    BombFlight( int x, int y, int angle, int power, int wind );
    // A flight from raw launch velocities (1/256 pixel per time unit), for the pieces a
    // bomb breaks into in the air.
    static BombFlight FromVelocity( int x, int y, int velocityX, int velocityY, int wind );
    virtual ~BombFlight();

    // One update: the bomb's top-left corner at the current clock, then the clock moves on.
    void Step( int &x, int &y );
    // The bomb's top-left corner at the clock `time`, as Step gives it when its clock reads
    // `time`: a forecast that knows the clock's values ahead works out many updates at once.
    void PositionAt( float time, int &x, int &y ) const;
    float GetTime() const { return flightTime; }
    int GetLaunchX() const { return launchX; }
    int GetLaunchY() const { return launchY; }
    int GetVelocityX() const { return velocityX; }
    int GetVelocityY() const { return velocityY; }
    int GetWind() const { return wind; }
    // 1 once the clock has passed the top of the arc: the bomb no longer climbs.
    int IsFalling() const;
    // The velocity at the current clock, in 1/256 pixel per time unit (y positive = up).
    int GetVelocityXNow() const;
    int GetVelocityYNow() const;

    // The land's verdict on a bomb whose picture's middle is at (middleX, middleY). Defined
    // below, so that the computer's forecast, which asks it millions of times a turn, inlines it.
    static int Meet( const Image &land, int middleX, int middleY );

private:
    int launchX;
    int launchY;
    int velocityX; // 1/256 pixel per time unit, positive = right
    int velocityY; // 1/256 pixel per time unit, positive = up
    float flightTime;
    int wind; // pixels per time unit squared, positive = right
};

// Past either side or the bottom the bomb can never come back onto the land: it leaves
// play without a crater. Above the top it is still on its way and comes down again, so it
// flies on, untested until it is back over the picture.
inline int BombFlight::Meet( const Image &land, int middleX, int middleY ) {
    if ( middleX < 0 || middleX >= land.GetWidth() || middleY >= land.GetHeight() ) {
        return LeavesPlay;
    }
    if ( middleY < 0 || land.GetPixels() == nullptr ) {
        return FliesOn;
    }
    return land.GetPixels()[middleY * land.GetPitch() + middleX] != 0 ? Strikes : FliesOn;
}

// The position comes from the launch values every time, so no error builds up in it; only
// the clock is accumulated. Defined here for the forecast, like Meet.
inline void BombFlight::PositionAt( float time, int &x, int &y ) const {
    const double t = time;
    // The wind pushes like the gravity, sideways: half the push times t squared. Without wind
    // the term is exactly zero, and the sum is the windless one to the last bit.
    const int dx = static_cast<int>( ( velocityX * t ) / 256.0 + ( 0.5 * wind * t ) * t );
    const int dy = static_cast<int>( ( velocityY * t ) / 256.0 - ( HALF_GRAVITY * t ) * t );
    x = launchX + dx;
    y = launchY - dy;
}

#endif
