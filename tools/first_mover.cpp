// Measures how often the first mover wins: computer-only matches at one level on the pictures
// in the working directory, on the headless backend, each match with new tank columns from the
// game's own random sequence, the winner's banner standing until the computer starts the next
// match itself. Prints one line: the level, the matches played, how many player 1 (the first
// to move) won, its share and the frames a match took on average. A match that has no winner
// within the bound is counted as undecided and ends the run.
//
// Usage: first_mover [--level easy|normal|hard] [--matches N] [--hits N] [--wind on|off] [--seed S]
// Defaults: normal, 20 matches, 5 hits, wind on, seed 1.

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "game/World.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "hud/Hud.h"
#include "settings/Settings.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Far beyond any real match: about 28 minutes of play at 60 frames a second.
const int FRAMES_PER_MATCH = 100000;

struct Run {
    std::string level = "normal";
    int matches = 20;
    int hits = 5;
    int wind = 1;
    unsigned seed = 1;
};

int ReadArguments( int argc, char **argv, Run &run ) {
    for ( int i = 1; i + 1 < argc; i += 2 ) {
        const char *name = argv[i];
        const char *value = argv[i + 1];
        if ( std::strcmp( name, "--level" ) == 0 ) {
            run.level = value;
        } else if ( std::strcmp( name, "--matches" ) == 0 && std::atoi( value ) > 0 ) {
            run.matches = std::atoi( value );
        } else if ( std::strcmp( name, "--hits" ) == 0 && std::atoi( value ) > 0 ) {
            run.hits = std::atoi( value );
        } else if ( std::strcmp( name, "--wind" ) == 0 ) {
            run.wind = std::strcmp( value, "off" ) != 0;
        } else if ( std::strcmp( name, "--seed" ) == 0 ) {
            run.seed = unsigned( std::strtoul( value, nullptr, 10 ) );
        } else {
            return 0;
        }
    }
    return argc % 2 == 1;
}

} // namespace

int main( int argc, char **argv ) {
    Run run;
    if ( !ReadArguments( argc, argv, run ) ) {
        std::fputs( "usage: first_mover [--level easy|normal|hard] [--matches N] [--hits N] [--wind on|off] "
                    "[--seed S]\n",
                    stderr );
        return 2;
    }
    g_options.hits = run.hits;
    g_options.players = 0;
    g_settings.players = 0;
    g_settings.level = run.level;
    g_settings.wind = run.wind;
    g_options.mute = 1;

    int played = 0, firstWon = 0, undecided = 0;
    long long frames = 0;
    int exitCode = 1;
    {
        HeadlessBackend backend;
        backend.SetKeepFrames( 0 );
        HostSetBackend( &backend );
        GameSetSeed( run.seed );
        World world;
        if ( WinMainStart( nullptr, nullptr, SW_SHOWDEFAULT, world ) ) {
            int matchFrames = 0;
            while ( played < run.matches ) {
                const int before = g_hud.GetMatch().GetWinner();
                WinMainFrame( &world );
                frames++;
                matchFrames++;
                const int winner = g_hud.GetMatch().GetWinner();
                if ( before == Match::NO_PLAYER && winner != Match::NO_PLAYER ) {
                    played++;
                    firstWon += winner == 0 ? 1 : 0;
                    matchFrames = 0;
                } else if ( winner == Match::NO_PLAYER && matchFrames > FRAMES_PER_MATCH ) {
                    // Nobody wins this one, and the run ends with it.
                    played++;
                    undecided++;
                    break;
                }
            }
            exitCode = WinMainEnd( world );
        }
        HostSetBackend( nullptr );
    }
    std::printf(
        "%s: %d matches to %d hits (wind %s), player 1 won %d (%.1f %%), %d undecided, %lld frames a "
        "match\n",
        run.level.c_str(), played, run.hits, run.wind ? "on" : "off", firstWon,
        played > 0 ? 100.0 * firstWon / played : 0.0, undecided, played > 0 ? frames / played : 0 );
    return exitCode;
}
