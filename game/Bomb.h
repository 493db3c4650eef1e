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
    virtual ~Bomb();

    void Draw( Image &target ) override;
    void Update() override;

    float GetFlightTime() const { return flight.GetTime(); }

    // The crater's half-width and half-height.
    static constexpr int CRATER_RX = 50;
    static constexpr int CRATER_RY = 30;

private:
    void Fly();
    void Explode();

    BombFlight flight;
};

#endif
