#ifndef KELTO_AI_AIMSEARCH_H
#define KELTO_AI_AIMSEARCH_H

#include "ai/ShotForecast.h"

#include <cstdint>

// One way to fire: the side the hull faces, the barrel's elevation and the charge, with the
// crater it makes as forecast.
struct Shot {
    int facesLeft = 0;
    int barrel = 0;
    int power = 0;
    int strikes = 0; // 0 when the bomb leaves play
    int craterX = 0;
    int craterY = 0;
    int covers = 0;   // the crater overlaps the target tank's picture
    int weapon = 0;   // what it fires (game/Weapons.h)
    int64_t miss = 0; // how far the crater's centre lands from the target's; 0 is dead centre
};

// The computer's aim: from where its tank stands it flies every reachable barrel elevation
// and charge over the current land (coarsely, then finely around the best) and keeps the
// shot whose crater comes down nearest the middle of the target tank. The weaker levels then
// spoil that shot by an error that shrinks with every shot at the same target.
class AimSearch {
public:
    enum { Easy = 0, Normal = 1, Hard = 2 };

    AimSearch();
    virtual ~AimSearch();

    // The land picture, the bomb's picture size and the tanks' picture size.
    void Init( const Image *land, int bombWidth, int bombHeight, int tankWidth, int tankHeight );
    // The wind the shots fly in and the weapon they are; calm and the bomb until set. The
    // crater scored is the weapon's.
    void SetConditions( int wind, int weapon );

    // The best shot from a tank with top-left (x, y) and hull angle `bodyAngle` at the tank
    // with top-left (targetX, targetY). Faces the target first; the other side only when no
    // shot that way covers it.
    Shot Search( int x, int y, int bodyAngle, int targetX, int targetY );

    // `best` with the level's error in elevation and charge, scaled down by each of the
    // `shotsAtTarget` shots already fired at this target; `seed` picks the error's sides.
    Shot Spoil( const Shot &best, int level, int shotsAtTarget, uint32_t seed, int x, int y, int bodyAngle,
                int targetX, int targetY );

    // Flies one shot and scores it against the target.
    Shot Try( int x, int y, int bodyAngle, int facesLeft, int barrel, int power, int targetX, int targetY );

    // 1 when the weapon's crater centred at (craterX, craterY) reaches the tank picture at
    // (tankX, tankY).
    int CraterReaches( int craterX, int craterY, int tankX, int tankY ) const;

    int GetFlights() const { return flights; }

private:
    Shot SearchSide( int x, int y, int bodyAngle, int facesLeft, int targetX, int targetY );

    ShotForecast forecast;
    int weapon;
    int64_t rx2; // the weapon's crater's half-axes squared
    int64_t ry2;
    int tankWidth;
    int tankHeight;
    int flights; // flown by the last Search, for the benchmark's report
};

#endif
