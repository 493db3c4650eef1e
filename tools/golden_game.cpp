// Plays the golden game and records it: a few minutes of varied scripted play (driving both
// ways, aiming up and down, short and long charges, craters, tanks falling) on the pictures
// in the working directory, on the headless backend, with fixed tank columns. The recording
// is the replay that CI runs to guard the game's behaviour; scripts/record-golden.sh makes it
// again when the game changes on purpose.
//
// Usage: golden_game FILE [--frames N]   (default 7200, two minutes of play)
// Exits with the game's own exit code: 0, or 1 with one line on standard error.

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A small generator of our own, so that the play depends on nothing but this file.
class Script {
public:
    explicit Script( HeadlessBackend &backend ) : backend( backend ), state( 0x4B454C544FULL ), step( 0 ) {}

    // Holds the keys of the frame to come: one turn after another, each a wait for the
    // land to settle, a drive, an aim and a charge of its own length.
    void KeysFor( int frame ) {
        if ( frame >= turnEnd ) {
            PlanTurn( frame );
        }
        backend.ReleaseAllKeys();
        const int t = frame - turnStart;
        int at = wait;
        Hold( driveKey, t, at, drive );
        Hold( aimKey, t, at, aim );
        Hold( DIK_SPACE, t, at, charge );
    }

private:
    uint32_t Next( uint32_t range ) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return uint32_t( state >> 33 ) % range;
    }

    void Hold( int key, int t, int &at, int frames ) {
        if ( t >= at && t < at + frames ) {
            backend.SetKey( key, 1 );
        }
        at += frames;
    }

    void PlanTurn( int frame ) {
        step++;
        turnStart = frame;
        wait = 40 + int( Next( 80 ) );
        driveKey = Next( 2 ) ? DIK_RIGHT : DIK_LEFT;
        drive = int( Next( 90 ) );
        aimKey = Next( 3 ) ? DIK_UP : DIK_DOWN;
        aim = int( Next( 40 ) );
        // Every fifth shot is charged to the full, which fires by itself.
        charge = step % 5 == 0 ? 520 : 30 + int( Next( 330 ) );
        turnEnd = frame + wait + drive + aim + charge + 1;
    }

    HeadlessBackend &backend;
    uint64_t state;
    int step;
    int turnStart = 0;
    int turnEnd = 0;
    int wait = 0;
    int driveKey = 0;
    int drive = 0;
    int aimKey = 0;
    int aim = 0;
    int charge = 0;
};

} // namespace

int main( int argc, char **argv ) {
    int frames = 7200;
    if ( argc == 4 && std::strcmp( argv[2], "--frames" ) == 0 && std::atoi( argv[3] ) > 0 ) {
        frames = std::atoi( argv[3] );
    } else if ( argc != 2 ) {
        std::fputs( "usage: golden_game FILE [--frames N]\n", stderr );
        return 2;
    }
    g_options.record = argv[1];

    int exitCode = 1;
    {
        HeadlessBackend backend;
        backend.SetKeepFrames( 0 );
        Script script( backend );
        script.KeysFor( 0 );
        backend.PostAtFrame( frames, WM_KEYDOWN, VK_ESCAPE, 0 );
        backend.SetFrameHook( [&script]( int frame ) { script.KeysFor( frame ); } );
        HostSetBackend( &backend );
        GameSetSeed( 2026 );
        exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        HostSetBackend( nullptr );
    }
    return exitCode;
}
