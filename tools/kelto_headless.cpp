// The game as the real program runs it, on the headless backend: the entry function reads the
// pictures from the working directory exactly as on a desktop (the land and the background
// too, as --land land.bmp --background background.bmp ask), but nothing is shown and no
// display is needed. The player drives, aims and fires every 200 frames; after the given
// number of frames Escape ends the game. For start-up tests and for running the game under valgrind.
// With --timedemo the game plays a recording instead, as `kelto --timedemo` does, so that a
// build without SDL replays the golden recording too.
//
// With --referee it is the referee of an online match: it plays the recording that arrives on
// its standard input as fast as it comes and prints "FRAME CHECKSUM" (decimal, hexadecimal)
// after every 60 frames, ending with its input; the relay holds the players' checksums
// against these.
//
// Usage: kelto_headless [--frames N | --timedemo FILE | --referee]   (default --frames 300)
// Exits with the game's own exit code: 0, or 1 with one line on standard error when the game
// cannot start (or a recording is refused or diverges).

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "replay/ReplayStream.h"

#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Which keys are held during which frames of every 200: a turn of play, repeated. The first
// tank falls from the top edge at one pixel per frame, so the first turns may pass in the air.
const int PLAY_CYCLE = 200;

struct HeldKey {
    int key;
    int firstFrame;
    int lastFrame;
};

const HeldKey PLAY[] = {
    { DIK_RIGHT, 10, 60 },
    { DIK_UP, 70, 85 },
    { DIK_SPACE, 100, 160 },
    { DIK_LEFT, 180, 190 },
};

void PressKeysFor( HeadlessBackend &backend, int frame ) {
    backend.ReleaseAllKeys();
    const int step = frame % PLAY_CYCLE;
    for ( const HeldKey &held : PLAY ) {
        if ( step >= held.firstFrame && step <= held.lastFrame ) {
            backend.SetKey( held.key, 1 );
        }
    }
}

// The match's stream as the relay writes it: whatever has come, waiting for more.
class StandardInput : public ReplayStream {
public:
    int64_t Read( void *destination, int64_t count ) override {
        for ( ;; ) {
            const ssize_t got = read( 0, destination, size_t( count ) );
            if ( got >= 0 || errno != EINTR ) {
                return got > 0 ? got : 0;
            }
        }
    }
};

} // namespace

int main( int argc, char **argv ) {
    int frames = 300;
    StandardInput standardInput;
    const int referee = argc == 2 && std::strcmp( argv[1], "--referee" ) == 0;
    if ( referee ) {
        GameSetRefereeStream( &standardInput );
    } else if ( argc == 3 && std::strcmp( argv[1], "--frames" ) == 0 && std::atoi( argv[2] ) > 0 ) {
        frames = std::atoi( argv[2] );
    } else if ( argc == 3 && std::strcmp( argv[1], "--timedemo" ) == 0 && argv[2][0] != '\0' ) {
        g_options.timedemo = argv[2];
    } else if ( argc != 1 ) {
        std::fputs( "usage: kelto_headless [--frames N | --timedemo FILE | --referee]\n", stderr );
        return 2;
    }

    int exitCode = 1;
    {
        HeadlessBackend backend;
        if ( g_options.timedemo.empty() && !referee ) {
            backend.PostAtFrame( frames, WM_KEYDOWN, VK_ESCAPE, 0 );
            backend.SetFrameHook( [&backend]( int frame ) { PressKeysFor( backend, frame ); } );
            // The same tanks every run, on the bundled pictures, so that a run can be repeated.
            GameSetSeed( 1 );
            g_options.land = GAME_LAND_FILE;
            g_options.background = GAME_BACKGROUND_FILE;
        } else {
            // The recording supplies the keys and the tanks, and ends the game.
            backend.SetKeepFrames( 0 );
        }
        HostSetBackend( &backend );
        exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        // The game's process-wide objects outlive main; what they release after it returns
        // must not reach a backend that is gone.
        HostSetBackend( nullptr );
    }
    return exitCode;
}
