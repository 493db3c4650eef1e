#ifndef KELTO_PLAY_WIND_H
#define KELTO_PLAY_WIND_H

// The wind of the default game: a new one blows at the start of every turn, from none to
// strong either way, and pushes every bomb fired in that turn sideways. It is drawn from the
// game's own pseudo-random sequence through a source that a recording notes and a replay
// gives back, as the tank columns are.

#include <cstdint>

class World;

// Gives the wind of a new turn, in steps from -WIND_MAX_STEPS to WIND_MAX_STEPS.
class WindSource {
public:
    virtual ~WindSource() {}
    virtual int ChooseWind() = 0;
};

// Makes `source` choose the winds from now on; null goes back to the game's own drawing.
// Not owned.
void SetWindSource( WindSource *source );
WindSource *GetWindSource();

// The game's own drawing: a sequence of its own, started by SeedWind from the game's
// pseudo-random sequence once at start-up. It is kept apart from rand() because the designed
// tanks draw with rand() (their probe pixel), so a frame drawn under a pause would otherwise
// change every wind that follows it.
void SeedWind( uint32_t seed );
int DrawWindSteps();

class Wind {
public:
    // The strongest wind, in steps either way, and the push of one step in pixels per time
    // unit squared (the gravity is 100): the strongest carries a half-charge shot some 180
    // pixels downwind.
    static constexpr int MAX_STEPS = 10;
    static constexpr int PUSH_PER_STEP = 3;

    Wind();
    virtual ~Wind();

    // A new match: the next turn, whichever tank has it, gets a new wind.
    void NewMatch();
    // Once per update after the World's: when the turn has passed to another tank, a new
    // wind is drawn and set on the World, and 1 is returned.
    int Observe( World &world );

    // The wind's strength in steps (negative = to the left), as the readout shows it.
    static int StepsOf( int push ) { return push / PUSH_PER_STEP; }

private:
    const void *turnTank; // the tank whose turn the last wind was drawn for; never read
};

#endif
