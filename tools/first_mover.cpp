// Measures how often the first mover wins: computer-only matches at one level, on a new land
// every match (or the land of --land, a code or a picture), on the headless backend, each
// match with new tank columns from the game's own random sequence, the banner standing until
// the computer starts the next match itself. Prints one line: the level, the matches played,
// how many the first to move (the match's starter, who rotates) won, its share, the draws and the frames a
// match took on average. A match still going on after the bound is counted as undecided and ends the run.
//
// Usage: first_mover [--level easy|normal|hard] [--matches N] [--health N] [--wind on|off]
//                    [--land CODE|FILE] [--seed S]
// Defaults: normal, 20 matches, 100 health, wind on, a new land every match, seed 1.

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
    int health = 100;
    int wind = 1;
    std::string land;
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
        } else if ( std::strcmp( name, "--health" ) == 0 && std::atoi( value ) > 0 ) {
            run.health = std::atoi( value );
        } else if ( std::strcmp( name, "--land" ) == 0 ) {
            run.land = value;
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
        std::fputs(
            "usage: first_mover [--level easy|normal|hard] [--matches N] [--health N] [--wind on|off] "
            "[--land CODE|FILE] [--seed S]\n",
            stderr );
        return 2;
    }
    g_options.health = run.health;
    g_options.land = run.land;
    g_options.players = 0;
    g_settings.players = 0;
    g_settings.level = run.level;
    g_settings.wind = run.wind;
    g_options.mute = 1;

    int played = 0, firstWon = 0, drawn = 0, undecided = 0;
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
                const int before = g_hud.GetMatch().GetOutcome();
                WinMainFrame( &world );
                frames++;
                matchFrames++;
                const int outcome = g_hud.GetMatch().GetOutcome();
                if ( before == Match::Playing && outcome != Match::Playing ) {
                    played++;
                    // The starter rotates from match to match: the first mover is whoever started.
                    firstWon +=
                        outcome == Match::Won && g_hud.GetMatch().GetWinner() == g_hud.GetMatch().GetStarter()
                            ? 1
                            : 0;
                    drawn += outcome == Match::Drawn ? 1 : 0;
                    matchFrames = 0;
                } else if ( outcome == Match::Playing && matchFrames > FRAMES_PER_MATCH ) {
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
        "%s: %d matches at %d health (wind %s), the first mover won %d (%.1f %%), %d drawn, %d undecided, %lld "
        "frames a match\n",
        run.level.c_str(), played, run.health, run.wind ? "on" : "off", firstWon,
        played > 0 ? 100.0 * firstWon / played : 0.0, drawn, undecided, played > 0 ? frames / played : 0 );
    return exitCode;
}
