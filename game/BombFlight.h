#ifndef KELTO_GAME_BOMBFLIGHT_H
#define KELTO_GAME_BOMBFLIGHT_H

class Image;

// The path of one bomb: its launch point and velocity, the clock of its flight, where the
// clock puts it after each update and what the land picture makes of it there. The Bomb
// flies by it, and whoever must foresee a shot exactly (the computer's aim) runs the same
// steps over the land without touching the game.
class BombFlight {
public:
    // What the land makes of the bomb where it stands now.
    enum { FliesOn = 0, Strikes = 1, LeavesPlay = 2 };

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

    // The land's verdict on a bomb whose picture's middle is at (middleX, middleY).
    static int Meet( const Image &land, int middleX, int middleY );

private:
    int launchX;
    int launchY;
    int velocityX; // 1/256 pixel per time unit, positive = right
    int velocityY; // 1/256 pixel per time unit, positive = up
    float flightTime;
    int wind; // pixels per time unit squared, positive = right
};

#endif
