#ifndef KELTO_AI_COMPUTERPLAYER_H
#define KELTO_AI_COMPUTERPLAYER_H

#include "ai/AimSearch.h"

#include <cstdint>

class Tank;
class World;

// One tank played by the computer. In its turn it presses the game's keys as a person
// would, one update at a time: it waits until its tank stands and every bomb is down, thinks
// for half a second (aiming takes a few milliseconds; the pause lets a person follow), turns
// to face the side it chose, raises or lowers the barrel one degree per update, holds Space
// for the charge it chose and lets go. Every step reads the tank as it is, so a fall or a
// turn by someone else's keys is simply caught up with.
class ComputerPlayer {
public:
    // Half a second of standing still before the first key.
    static constexpr int THINKING_UPDATES = 30;
    // How long it drives toward its target when no shot from where it stands reaches it.
    static constexpr int DRIVING_UPDATES = 90;
    // Gives up waiting for the land to settle after this long and plays on.
    static constexpr int PATIENCE_UPDATES = 1200;

    ComputerPlayer();
    virtual ~ComputerPlayer();

    void SetLevel( int value ) { level = value; }
    int GetLevel() const { return level; }

    // Forgets the aim of the last turn, and with a new match also the shots at each target.
    void BeginTurn();
    void Forget();

    // Writes this update's keys for `tank` into `keys` (the game's keys are all up on
    // entry). `targets` are the other tanks in order of preference, `count` of them.
    void Press( World &world, Tank &tank, Tank *const *targets, int count, uint8_t *keys );

    const Shot &GetPlan() const { return plan; }
    const Tank *GetTarget() const { return target; }
    int GetShotsAtTarget() const { return shotsAtTarget; }

private:
    enum { Waiting, Thinking, Driving, Acting, Done };

    int IsSettled( World &world, const Tank &tank ) const;
    void Plan( World &world, const Tank &tank, Tank *const *targets, int count );
    void Act( const Tank &tank, uint8_t *keys );

    int level;
    int phase;
    int countdown; // updates left to think, drive or wait
    int hasDriven; // this turn
    Shot plan;
    int planX; // where the tank stood when it aimed
    int planY;
    const Tank *target; // not owned; the tank aimed at last
    int shotsAtTarget;  // shots fired at it so far
};

#endif
