#include "app/MatchSounds.h"

#include "audio/WorldSounds.h"
#include "host/HostSound.h"

namespace {

int AllHealth( const Match &match ) {
    int health = 0;
    for ( int player = 0; player < match.GetPlayerCount(); ++player ) {
        health += match.GetHealth( player );
    }
    return health;
}

} // namespace

MatchSounds::MatchSounds() : health( 0 ), outcome( Match::Playing ) {
}

MatchSounds::~MatchSounds() {
}

void MatchSounds::Reset( const Match &match ) {
    health = AllHealth( match );
    outcome = match.GetOutcome();
}

// A hurt tank is heard where the crater that hurt it is, one clang for however many tanks it
// touched; a destroyed tank's blast is heard where it stood (the last craters of the frame are
// the blasts).
void MatchSounds::Observe( const Match &match, WorldSounds &sounds ) {
    const int nowHealth = AllHealth( match );
    const int craters = match.GetCraterCount();
    if ( match.GetWreckCount() > 0 && craters > 0 ) {
        sounds.PlayAt( SOUND_DESTROYED, match.GetCraterX( craters - 1 ), match.GetCraterY( craters - 1 ),
                       HOST_VOLUME_FULL );
    } else if ( nowHealth < health ) {
        if ( craters > 0 ) {
            sounds.PlayAt( SOUND_HIT, match.GetCraterX( 0 ), match.GetCraterY( 0 ), HOST_VOLUME_FULL );
        } else {
            sounds.Play( SOUND_HIT, HOST_VOLUME_FULL );
        }
    }
    if ( match.GetOutcome() != outcome && match.GetOutcome() == Match::Won ) {
        sounds.Play( SOUND_WINNER, HOST_VOLUME_FULL );
    }
    health = nowHealth;
    outcome = match.GetOutcome();
}
