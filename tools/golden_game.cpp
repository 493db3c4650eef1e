// Plays the golden game and records it: two minutes of varied play on the pictures in the
// working directory, on the headless backend, with fixed tank columns. The first two tanks
// are played by a script at the keyboard (driving both ways, aiming up and down, short and
// full charges, now and then the next weapon with E), the other two by the game's computer
// players at their best, which hit and choose their weapons; a new wind blows every turn; tanks
// start with 40 health, so that tanks are destroyed and matches won; a won match is followed
// by a new one. The recording is the replay that CI runs to guard the game's behaviour;
// scripts/record-golden.sh makes it again when the game changes on purpose.
//
// Usage: golden_game FILE [--frames N] [--land CODE]   (default 7200 frames, two minutes of
// play, on the bundled pictures)
// Prints what the recording holds (matches won and drawn, tanks destroyed, health lost), so
// that whoever records it sees it guards the rules it should. Exits with the game's own exit
// code: 0, or 1 with one line on standard error.

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "game/World.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "hud/Hud.h"
#include "settings/Settings.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The person's side: a small generator of our own, so that the play depends on nothing but
// this file. One turn after another, each a wait for the land to settle, a drive, an aim and
// a charge of its own length.
class Script {
public:
    Script() : state( 0x4B454C544FULL ), step( 0 ) {}

    void KeysFor( int frame, uint8_t keys[256] ) {
        if ( frame >= turnEnd ) {
            PlanTurn( frame );
        }
        const int t = frame - turnStart;
        int at = wait;
        Hold( keys, DIK_E, t, at, nextWeapon );
        Hold( keys, driveKey, t, at, drive );
        Hold( keys, aimKey, t, at, aim );
        Hold( keys, DIK_SPACE, t, at, charge );
    }

private:
    uint32_t Next( uint32_t range ) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t( state >> 33 ) % range;
    }

    static void Hold( uint8_t keys[256], int key, int t, int &at, int frames ) {
        if ( t >= at && t < at + frames ) {
            keys[key] = 0x80;
        }
        at += frames;
    }

    void PlanTurn( int frame ) {
        step++;
        turnStart = frame;
        wait = 40 + int( Next( 80 ) );
        // Every third turn steps to the next weapon left: one press of E.
        nextWeapon = step % 3 == 0 ? 2 : 0;
        driveKey = Next( 2 ) ? DIK_RIGHT : DIK_LEFT;
        drive = int( Next( 90 ) );
        aimKey = Next( 3 ) ? DIK_UP : DIK_DOWN;
        aim = int( Next( 40 ) );
        // Every fifth shot is charged to the full, which fires by itself.
        charge = step % 5 == 0 ? 520 : 30 + int( Next( 330 ) );
        turnEnd = frame + wait + drive + aim + charge + 1;
    }

    uint64_t state;
    int step;
    int turnStart = 0;
    int turnEnd = 0;
    int wait = 0;
    int nextWeapon = 0;
    int driveKey = 0;
    int drive = 0;
    int aimKey = 0;
    int aim = 0;
    int charge = 0;
};

const int PEOPLE = 2;
// A won match: the banner stands a second, then Enter starts the next.
const int BANNER_WAIT = 60;

} // namespace

int main( int argc, char **argv ) {
    int frames = 7200;
    const char *code = nullptr;
    int usage = argc < 2 || argc % 2 != 0;
    for ( int i = 2; i + 1 < argc && !usage; i += 2 ) {
        if ( std::strcmp( argv[i], "--frames" ) == 0 && std::atoi( argv[i + 1] ) > 0 ) {
            frames = std::atoi( argv[i + 1] );
        } else if ( std::strcmp( argv[i], "--land" ) == 0 ) {
            code = argv[i + 1];
        } else {
            usage = 1;
        }
    }
    if ( usage ) {
        std::fputs( "usage: golden_game FILE [--frames N] [--land CODE]\n", stderr );
        return 2;
    }
    g_options.record = argv[1];
    g_options.health = 40;
    // The bundled pictures, which the script's drives and aims were made on, not a made land.
    g_options.land = GameDataPath( GAME_LAND_FILE );
    g_options.background = GameDataPath( GAME_BACKGROUND_FILE );
    g_options.players = PEOPLE;
    g_settings.players = PEOPLE; // the game seats its computer players by the settings
    g_options.level = "hard";
    g_settings.wind = 1;
    // On the bundled pictures, so that the replay checks them and the start-up's faults can be
    // tried on its files.
    g_options.land = GAME_LAND_FILE;
    g_options.background = GAME_BACKGROUND_FILE;
    // Or on the land of a code, so that a made land is replayed alike everywhere too.
    if ( code != nullptr ) {
        g_options.land = code;
        g_options.background.clear();
    }

    int exitCode = 1;
    {
        HeadlessBackend backend;
        backend.SetKeepFrames( 0 );
        HostSetBackend( &backend );
        GameSetSeed( 2026 );
        World world;
        if ( WinMainStart( nullptr, nullptr, SW_SHOWDEFAULT, world ) ) {
            Script script;
            int won = 0;
            int wins = 0, draws = 0, wrecks = 0, healthLost = 0;
            for ( int frame = 0; frame < frames; frame++ ) {
                uint8_t keys[256] = {};
                script.KeysFor( frame, keys );
                const Match &match = g_hud.GetMatch();
                won = match.GetOutcome() != Match::Playing ? won + 1 : 0;
                wins += won == 1 && match.GetOutcome() == Match::Won;
                draws += won == 1 && match.GetOutcome() == Match::Drawn;
                keys[DIK_RETURN] = won == BANNER_WAIT ? 0x80 : 0;
                for ( int code = 0; code < 256; code++ ) {
                    backend.SetKey( code, keys[code] & 0x80 );
                }
                int before = 0;
                for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
                    before += match.GetHealth( player );
                }
                WinMainFrame( &world );
                wrecks += match.GetWreckCount();
                for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
                    before -= match.GetHealth( player );
                }
                healthLost += before > 0 ? before : 0;
            }
            std::printf(
                "golden_game: %d frames, %d matches won, %d drawn, %d tanks destroyed, %d health lost\n",
                frames, wins, draws, wrecks, healthLost );
            exitCode = WinMainEnd( world );
        }
        HostSetBackend( nullptr );
    }
    return exitCode;
}
