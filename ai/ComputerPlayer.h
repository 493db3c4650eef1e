#ifndef KELTO_AI_COMPUTERPLAYER_H
#define KELTO_AI_COMPUTERPLAYER_H

#include "ai/AimSearch.h"
#include "ai/ShotPlanner.h"

#include <cstddef>
#include <cstdint>

class Arsenal;
class Tank;
class World;

// One tank played by the computer. In its turn it presses the game's keys as a person
// would, one update at a time: it waits until its tank stands and every bomb is down, thinks
// for half a second (the pause lets a person follow; its aim is worked out in the first
// updates of it, a bounded share in each, so that no update shows a hitch; when no shot
// reaches anyone it drives as soon as it knows), turns
// to face the side it chose, steps to the weapon it chose with the weapon keys, raises or
// lowers the barrel one degree per update, holds Space for the charge it chose and lets go.
// It reckons with the wind exactly, since its forecast flies the bomb's own flight in it;
// with weapons to choose from it takes a heavy shell for a tank it can reach in the open (once
// its aim has settled), a digger for one no bomb reaches, and never a shot whose crater
// would reach its own tank. Every step reads the tank as it is, so a fall or a
// turn by someone else's keys is simply caught up with.
class ComputerPlayer {
public:
    // Half a second of standing still before the first key.
    static constexpr int THINKING_UPDATES = 30;
    // How long it drives toward its target when no shot from where it stands reaches it.
    static constexpr int DRIVING_UPDATES = 90;
    // Gives up waiting for the land to settle after this long and plays on.
    static constexpr int PATIENCE_UPDATES = 1200;
    // The bomb updates its forecast flies in one update of the game (whole flights, so up to
    // one flight more): about a tenth of a millisecond of a desktop's processor. A plan
    // takes a few updates, the first copying the land: the largest seen in play 20, the
    // benchmark's hardest turn (three targets nothing reaches, searched both ways with the
    // bomb and the digger) 30, inside the pause. One that outlasted it would act the update
    // after it is made.
    static constexpr int FORECAST_PER_UPDATE = 40000;

    ComputerPlayer();
    virtual ~ComputerPlayer();

    void SetLevel( int value ) { level = value; }
    // Where it copies the land to plan on (`size` bytes, not owned); without room for it,
    // it plans on the World's own land.
    void SetLandCopy( uint8_t *pixels, size_t size ) {
        landCopy = pixels;
        landCopySize = size;
    }
    // The bomb updates forecast per game update; FORECAST_PER_UPDATE unless set.
    void SetForecastPerUpdate( int64_t value ) { forecastPerUpdate = value; }
    int GetLevel() const { return level; }
    // The weapons its seat has left (`seat` in `arsenal`); null: the bomb only.
    void SetArsenal( const Arsenal *value, int seatValue ) {
        arsenal = value;
        seat = seatValue;
    }

    // Forgets the aim of the last turn, and with a new match also the shots at each target.
    void BeginTurn();
    void Forget();

    // Writes this update's keys for `tank` into `keys` (the game's keys are all up on
    // entry). `targets` are the other tanks in order of preference, `count` of them.
    void Press( World &world, Tank &tank, Tank *const *targets, int count, uint8_t *keys );

    const Shot &GetPlan() const { return plan; }
    // Bomb updates forecast for the last plan, and the game updates it took.
    int64_t GetPlanForecast() const { return planner.GetUpdatesFlown(); }
    int GetPlanUpdates() const { return planUpdates; }
    const Tank *GetTarget() const { return target; }
    int GetShotsAtTarget() const { return shotsAtTarget; }

private:
    enum { Waiting, Planning, Thinking, Driving, Acting, Done };

    int IsSettled( World &world, const Tank &tank ) const;
    void Plan( World &world, const Tank &tank, Tank *const *targets, int count );
    void Think();
    int HasLeft( int weapon ) const;
    void Act( const Tank &tank, uint8_t *keys );

    const Arsenal *arsenal; // not owned; null for the bomb only
    int seat;
    int level;
    int phase;
    int weaponKeyDown;    // a weapon key was pressed in the last update: let go before the next
    int weaponKeyPresses; // this turn
    int countdown;        // updates left to think, drive or wait
    int hasDriven;        // this turn
    Shot plan;
    int planX; // where the tank stood when it aimed
    int planY;
    ShotPlanner planner;
    uint8_t *landCopy; // not owned
    size_t landCopySize;
    int64_t forecastPerUpdate;
    const Tank *planTargets[PlanStart::MAX_TARGETS]; // not owned; the targets in the planner's order
    int planUpdates;
    const Tank *target; // not owned; the tank aimed at last
    int shotsAtTarget;  // shots fired at it so far
};

#endif
