#ifndef KELTO_AI_SHOTFORECAST_H
#define KELTO_AI_SHOTFORECAST_H

class Image;

// Foresees where a shot comes down by flying it update by update over the land picture with
// the bomb's own flight rules, reading the land and changing nothing. A forecast agrees
// with the real bomb to the pixel and the update.
class ShotForecast {
public:
    // Longer than any flight over the land: up and down at full power and through the whole
    // height takes under 700 updates.
    static constexpr int MAX_UPDATES = 2000;

    ShotForecast();
    virtual ~ShotForecast();

    // The land picture the bombs meet and the size of the bomb's picture.
    void Init( const Image *land, int bombWidth, int bombHeight );
    // The wind the shots fly in and the weapon they are (game/Weapons.h); calm and the bomb
    // until set.
    void SetConditions( int wind, int weapon );

    // Flies a bomb launched at (x, y) with the barrel direction `angle` and charge `power`.
    // 1 when it goes off on the land: then GetCraterX/Y is the crater's centre and GetUpdates
    // the updates it flew, counting the one in which it was fired (a digger goes off where its
    // boring ends). 0 when it leaves play.
    int Fly( int x, int y, int angle, int power );

    int GetCraterX() const { return craterX; }
    int GetCraterY() const { return craterY; }
    int GetUpdates() const { return updates; }

private:
    const Image *land; // not owned
    int bombWidth;
    int bombHeight;
    int wind;
    int digUpdates; // the weapon's boring after it meets the ground
    int craterX;
    int craterY;
    int updates;
};

#endif
