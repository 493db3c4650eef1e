#ifndef KELTO_GAME_TANK_H
#define KELTO_GAME_TANK_H

#include "game/Entity.h"

class Sprite;
class World;

// A player's tank: it falls onto the land, drives left and right over the ground tilting to
// the slope, raises and lowers its barrel, charges while Space is held and fires a bomb when
// Space is released.
class Tank : public Entity {
public:
    enum {
        Idle = 0,
        Active = 1,
        Charging = 2,
        Firing = 3,
        Falling = 4,
        Out = 5 // out of the match (destroyed, or gone off the land): neither moves nor is drawn
    };

    Tank();
    Tank( int x, int y, Sprite *sprite, World *world );
    virtual ~Tank();

    void Draw( Image &target ) override;
    void SkipDraw() override;
    void Update() override;

    void BeginTurn();
    int GetPower() const { return power; }
    int GetBodyAngle() const { return bodyAngle; }
    int GetBarrelAngle() const { return barrelAngle; }
    int GetResumeState() const { return resumeState; }
    int GetMoveFraction() const { return moveFraction; }
    int GetBarrelMax() const { return barrelMax; }
    int GetBarrelMin() const { return barrelMin; }
    int GetBarrelDirection() const;
    // 1 while the hull faces left: the one facing rule, for whoever needs to know which way a
    // tank (or a hull angle) points.
    int FacesLeft() const;
    static int FacesLeftAt( int bodyAngle );
    // The weapon its next shot is (game/Weapons.h); the plain bomb unless the rules choose.
    void SetWeapon( int value ) { weapon = value; }
    int GetWeapon() const { return weapon; }
    // 1 while the ground under the middle of its bottom edge holds it (with its picture and
    // World given).
    int IsOnGround() const;

    static constexpr int MAX_POWER = 500;
    static constexpr int SPEED = 100;
    static constexpr int BARREL_LENGTH = 70;
    static constexpr int BARREL_COLOUR = 15;

private:
    void UpdateIdle();
    void UpdateActive();
    void UpdateCharging();
    void Fire();
    void UpdateFalling();
    void Move( int speed );
    void FitToSlope();
    int LookAhead( int ahead ) const;
    int TraceRise( int side ) const;
    int AngleForTangent( int tangent ) const;
    int Pixel( int dx, int dy ) const; // the ground dx columns right of, dy rows below the probe point
    int IsSolid( int column, int row ) const;
    int IsKeyDown( int code ) const;
    int FacesLeftForDrawing() const;
    int IsDrawn() const;
    void ClampX();

    int power;
    int bodyAngle;
    int moveFraction; // 16.16 fixed point
    int barrelMax;
    int barrelMin;
    int barrelAngle;
    int weapon;
};

#endif
