#ifndef KELTO_AI_SHOTPLANNER_H
#define KELTO_AI_SHOTPLANNER_H

#include "ai/AimSearch.h"
#include "gfx/Image.h"

#include <cstddef>
#include <cstdint>

// Where the computer's tank and its targets stood, and what it had, when it began to plan.
struct PlanStart {
    static constexpr int MAX_TARGETS = 4;

    int x = 0; // the shooter's tank: top-left and hull angle
    int y = 0;
    int bodyAngle = 0;
    int tankWidth = 0;
    int tankHeight = 0;
    int bombWidth = 0;
    int bombHeight = 0;
    int wind = 0;
    int level = AimSearch::Normal;
    int hasDriven = 0;  // this turn: it fires its nearest miss rather than drive again
    int heavyLeft = 0;  // the seat has heavy shells left
    int diggerLeft = 0; // and diggers
    int count = 0;      // targets, in order of preference
    int targetX[MAX_TARGETS] = {};
    int targetY[MAX_TARGETS] = {};
    int lastTarget = -1; // which of them it aimed at last, or -1
    int shotsAtLast = 0; // the shots fired at that one so far
    int bombCount = 0;   // bombs in the World, for the level's error
};

// The computer's choice for one turn, worked out a bounded number of bomb updates of forecast
// at a time, so that its thinking spreads over the half-second it waits: the first target in
// order a shot reaches, the weapon, the best shot and the level's error in it; or, when no
// shot reaches anyone, to drive toward the first target. It plans on its own copy of the land
// and of where the tanks stood when it began, so the choice is the one it would make with all
// its thinking done in that first update.
class ShotPlanner {
public:
    enum { Idle, Planning, Shoot, Drive };

    ShotPlanner();
    virtual ~ShotPlanner();

    // Copies `land` into `copy` (`copySize` bytes, kept by the caller so that its memory is
    // taken once, before play) and plans on the copy; without room for it, on `land` itself.
    void Begin( const Image &land, const PlanStart &start, uint8_t *copy, size_t copySize );
    // Plans on for about `updates` bomb updates of forecast (whole flights); 1 when the
    // choice is made.
    int Continue( int64_t updates );
    // Forgets the plan under way.
    void Stop() { outcome = Idle; }

    int GetOutcome() const { return outcome; }
    // With Shoot: the shot, with the level's error, and which target it is aimed at.
    const Shot &GetShot() const { return shot; }
    int GetChosen() const { return chosen; }
    // With Drive: toward the left.
    int GetDrivesLeft() const { return start.targetX[0] < start.x ? 1 : 0; }
    // Bomb updates forecast since the plan began.
    int64_t GetUpdatesFlown() const { return search.GetUpdatesFlown() - flownBefore; }

private:
    enum { Aiming, Digging, Spoiling };

    void CopyLand( const Image &from, uint8_t *copy, size_t copySize );
    void BeginAim( int target );
    void Next();
    void ChooseWeapon();
    void Decide();
    void BeginSpoil();
    int WantsHeavy() const;

    Image land; // a view of the caller's copy
    PlanStart start;
    AimSearch search;
    int outcome;
    int stage;
    int target; // the one being searched
    int chosen; // the one the best shot so far is at
    Shot shot;  // the best so far, then the one to fire
    int64_t flownBefore;
};

#endif
