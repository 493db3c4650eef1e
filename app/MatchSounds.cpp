#include "app/MatchSounds.h"

#include "audio/WorldSounds.h"
#include "host/HostSound.h"

namespace {

int AllHits( const Match &match ) {
    int hits = 0;
    for ( int player = 0; player < match.GetPlayerCount(); ++player ) {
        hits += match.GetScore( player );
    }
    return hits;
}

} // namespace

MatchSounds::MatchSounds() : hits( 0 ), winner( Match::NO_PLAYER ) {
}

MatchSounds::~MatchSounds() {
}

void MatchSounds::Reset( const Match &match ) {
    hits = AllHits( match );
    winner = match.GetWinner();
}

// A hit is heard where the crater that scored it is; one clang for however many tanks it
// touched.
void MatchSounds::Observe( const Match &match, WorldSounds &sounds ) {
    const int nowHits = AllHits( match );
    if ( nowHits > hits ) {
        if ( match.GetCraterCount() > 0 ) {
            sounds.PlayAt( SOUND_HIT, match.GetCraterX( 0 ), match.GetCraterY( 0 ), HOST_VOLUME_FULL );
        } else {
            sounds.Play( SOUND_HIT, HOST_VOLUME_FULL );
        }
    }
    if ( match.GetWinner() != winner && match.GetWinner() != Match::NO_PLAYER ) {
        sounds.Play( SOUND_WINNER, HOST_VOLUME_FULL );
    }
    hits = nowHits;
    winner = match.GetWinner();
}
