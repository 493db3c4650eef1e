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
// A search or a spoiling may be flown all at once or a part at a time (Begin..., then
// Continue until it says done): the flights and the answer are the same either way.
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

    // Search and Spoil a part at a time: Begin one, then Continue until it returns 1; the
    // answer is then GetResult. Continue flies whole flights until `updates` bomb updates have
    // been flown in it (at least one flight) or the work is done.
    void BeginSearch( int x, int y, int bodyAngle, int targetX, int targetY );
    void BeginSpoil( const Shot &best, int level, int shotsAtTarget, uint32_t seed, int x, int y,
                     int bodyAngle, int targetX, int targetY );
    int Continue( int64_t updates );
    const Shot &GetResult() const { return result; }

    // Flies one shot and scores it against the target.
    Shot Try( int x, int y, int bodyAngle, int facesLeft, int barrel, int power, int targetX, int targetY );

    // 1 when the weapon's crater centred at (craterX, craterY) reaches the tank picture at
    // (tankX, tankY).
    int CraterReaches( int craterX, int craterY, int tankX, int tankY ) const;

    int GetFlights() const { return flights; }
    // Bomb updates forecast since Init, every flight counted at least once: the measure of
    // the work done, by which it is shared out.
    int64_t GetUpdatesFlown() const { return updatesFlown; }

private:
    enum { Done, SearchToward, SearchAway, Spoiling };
    enum { Coarse, Fine };
    // The coarse grid's best shots searched finely.
    static constexpr int CANDIDATES = 6;

    void BeginSide( int facesLeft );
    void StepSide();
    void NextCandidate();
    void EndSide();
    void StepSpoil();

    ShotForecast forecast;
    int weapon;
    int64_t rx2; // the weapon's crater's half-axes squared
    int64_t ry2;
    int tankWidth;
    int tankHeight;
    int flights; // flown by the last Search, for the benchmark's report
    int64_t updatesFlown;

    // The work begun last and where it stands.
    int job;
    Shot result;
    int fromX, fromY, fromAngle; // the shooter's tank
    int atX, atY;                // the target's
    // A side's search: its grid and the best few of it, then the fine search round each.
    int sideFacesLeft;
    int sideStage;
    int nextBarrel, nextPower; // the next shot to fly
    int barrelLow, powerLow, powerHigh;
    int candidate;
    Shot gridBest[CANDIDATES];
    Shot found;
    Shot toward; // the best shot facing the target, while the other side is searched
    // The spoiling: the best shot, the error wanted and the next charge's step.
    Shot spoilFrom;
    int64_t wantedSquared;
    int longer;
    int degrees;
    int powerStep;
    int step;
};

#endif
