#ifndef KELTO_APP_MATCHSOUNDS_H
#define KELTO_APP_MATCHSOUNDS_H

#include "play/Match.h"

class WorldSounds;

// The match's news as sounds: a clang where a hit was scored, a fanfare for the winner. It
// compares the scores and the winner after each frame with those of the frame before.
class MatchSounds {
public:
    MatchSounds();
    virtual ~MatchSounds();

    // Takes the match as it stands (a new one, or the first) without a sound.
    void Reset( const Match &match );
    // After the match has looked at the frame.
    void Observe( const Match &match, WorldSounds &sounds );

private:
    int hits; // all players' scores together
    int winner;
};

#endif
