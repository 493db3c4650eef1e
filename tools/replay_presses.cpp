// Tells two recordings of computer matches apart by their choices rather than their frames:
// for each recording, a hash of its key presses with the frames where nothing is held left
// out, of the winds drawn and of the tanks' columns at each match's start. A computer that
// drives once its thinking is done presses the same keys a few frames later than one that
// thought in a single update; the frames then differ and these do not.
//
// Usage: replay_presses FILE...   Prints one line per file; exits 1 when a file is refused.

#include "replay/ReplayFile.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

uint32_t Mix( uint32_t hash, uint32_t value ) {
    return ( hash ^ value ) * 16777619u;
}

} // namespace

int main( int argc, char **argv ) {
    int refused = 0;
    for ( int i = 1; i < argc; i++ ) {
        ReplayFile file;
        if ( !file.Load( argv[i] ) ) {
            std::fprintf( stderr, "%s: %s\n", argv[i], file.GetError() );
            refused = 1;
            continue;
        }
        // Runs split at the blocks' edges are joined first, so that a shift moves no edge.
        std::vector<ReplayRun> held;
        for ( const ReplayRun &run : file.GetRuns() ) {
            if ( !held.empty() && held.back().keys == run.keys ) {
                held.back().length += run.length;
            } else {
                held.push_back( run );
            }
        }
        uint32_t presses = 2166136261u, winds = 2166136261u, starts = 2166136261u;
        int pressed = 0;
        for ( const ReplayRun &run : held ) {
            if ( run.keys != 0 ) {
                presses = Mix( Mix( presses, run.keys ), uint32_t( run.length ) );
                pressed += run.length;
            }
        }
        for ( const ReplayWind &wind : file.GetWinds() ) {
            winds = Mix( winds, uint32_t( wind.steps ) );
        }
        for ( const ReplayMatchStart &start : file.GetMatchStarts() ) {
            for ( int column : start.columns ) {
                starts = Mix( starts, uint32_t( column ) );
            }
        }
        std::printf( "%s: %d frames, %d with keys held, presses %08x, %zu winds %08x, %zu matches %08x\n",
                     argv[i], file.GetFrameCount(), pressed, presses, file.GetWinds().size(), winds,
                     file.GetMatchStarts().size(), starts );
    }
    return refused;
}
