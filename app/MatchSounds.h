#ifndef KELTO_APP_MATCHSOUNDS_H
#define KELTO_APP_MATCHSOUNDS_H

#include "play/Match.h"

class WorldSounds;

// The match's news as sounds: a clang where a tank was hurt, a blast where one was destroyed,
// a fanfare for the winner. It compares the health and the outcome after each frame with
// those of the frame before.
class MatchSounds {
public:
    MatchSounds();
    virtual ~MatchSounds();

    // Takes the match as it stands (a new one, or the first) without a sound.
    void Reset( const Match &match );
    // After the match has looked at the frame.
    void Observe( const Match &match, WorldSounds &sounds );

private:
    int health; // all players' health together
    int outcome;
};

#endif
