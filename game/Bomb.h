#ifndef KELTO_GAME_BOMB_H
#define KELTO_GAME_BOMB_H

#include "game/BombFlight.h"
#include "game/Entity.h"

class Sprite;
class World;

// The shell a tank fires: it flies on a ballistic arc computed in closed form from its launch
// point, velocity and flight time, and where the middle of its picture meets solid land it
// blows an elliptical crater out of every land tile and the land picture.
class Bomb : public Entity {
public:
    enum {
        Flying = 0,
        Exploded = 1,
        Gone = 2 // left the land picture at a side or the bottom: no crater, not drawn
    };

    Bomb();
    Bomb( int x, int y, int angle, int power, Sprite *sprite, World *world );
    // A shot of the given weapon (game/Weapons.h) in the given wind (pixels per time unit
    // squared, positive = right).
    Bomb( int x, int y, int angle, int power, int weapon, int wind, Sprite *sprite, World *world );
    virtual ~Bomb();

    void Draw( Image &target ) override;
    void Update() override;

    float GetFlightTime() const { return flight.GetTime(); }
    const BombFlight &GetFlight() const { return flight; }
    int GetWeapon() const { return weapon; }
    // Updates left to bore through the ground (a digger that has met it); 0 otherwise.
    int GetDigLeft() const { return digLeft; }

    // The crater's half-width and half-height.
    static constexpr int CRATER_RX = 50;
    static constexpr int CRATER_RY = 30;

private:
    Bomb( const BombFlight &flight, int weapon, Sprite *sprite, World *world );

    void Fly();
    void Dig( int verdict );
    void Split();
    void Explode();
    void Carve( int centreX, int centreY, int rx, int ry );
    void Heap( int centreX, int centreY, int rx, int ry );

    BombFlight flight;
    int weapon;
    int digLeft;
};

#endif
