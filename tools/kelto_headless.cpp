// The game as the real program runs it, on the headless backend: the entry function reads the
// pictures from the working directory exactly as on a desktop (the land and the background
// too, as --land land.bmp --background background.bmp ask), but nothing is shown and no
// display is needed. The player drives, aims and fires every 200 frames; after the given
// number of frames Escape ends the game. For start-up tests and for running the game under valgrind.
// With --timedemo the game plays a recording instead, as `kelto --timedemo` does, so that a
// build without SDL replays the golden recording too.
//
// With --online it plays an online match as `kelto --host`, `kelto --join` or `kelto --watch`
// would, the computer at its own keys where asked, and ends when the match is won (the Nth
// with --matches N, Enter pressed after each before) or stops (out of sync), or after N frames
// at the most. It says at its end how far behind the stream its game was at the most.
//
// With --referee it is the referee of an online match: it plays the recording that arrives on
// its standard input as fast as it comes and prints "FRAME CHECKSUM" (decimal, hexadecimal)
// after every 60 frames, ending with its input; the relay holds the players' checksums
// against these. With --referees it is the relay's forking referee: it forks a referee as above
// for each room the relay asks for on its standard input (a socket bringing the room's two
// pipes), so that the rooms' referees share what every game loads alike.
//
// Usage: kelto_headless [--frames N [GAME OPTIONS] | --timedemo FILE | --referee | --referees]
//        (default --frames 300)
//        kelto_headless --online [--frames N] [--computer-plays-me] [--split-at FRAME] [--seed N]
//                        [--frame-ms N] [--matches N] [--false-turn FRAME]
//                        -- GAME OPTIONS
// The game's own options after --frames N play that game instead, with no key pressed, e.g. a
// computer-only match recorded for comparison: --frames 5000 --players 0 --level hard --record hard.krec
// Exits with the game's own exit code: 0, or 1 with one line on standard error when the game
// cannot start (or a recording is refused or diverges).

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostTypes.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "replay/ReplayStream.h"

#include <unistd.h>

#include <cerrno>

#if KELTO_IN_GAME_RELAY
#include "relay/InGameRelay.h"
#include "relay/RefereeForkServer.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

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

// An online match on the headless backend; 2 for a command line it cannot take.
int PlayOnline( int argc, char **argv ) {
    int frames = 200000;
    int computerPlaysMe = 0;
    int splitAt = -1;
    int frameMilliseconds = 1;
    int matches = 1;
    int i = 2;
    for ( ; i < argc && std::strcmp( argv[i], "--" ) != 0; i++ ) {
        if ( std::strcmp( argv[i], "--computer-plays-me" ) == 0 ) {
            computerPlaysMe = 1;
        } else if ( std::strcmp( argv[i], "--frames" ) == 0 && i + 1 < argc &&
                    std::atoi( argv[i + 1] ) > 0 ) {
            frames = std::atoi( argv[++i] );
        } else if ( std::strcmp( argv[i], "--split-at" ) == 0 && i + 1 < argc ) {
            splitAt = std::atoi( argv[++i] );
        } else if ( std::strcmp( argv[i], "--false-turn" ) == 0 && i + 1 < argc ) {
            GameSetFalseTurnAt( std::atoi( argv[++i] ) );
        } else if ( std::strcmp( argv[i], "--matches" ) == 0 && i + 1 < argc &&
                    std::atoi( argv[i + 1] ) > 0 ) {
            matches = std::atoi( argv[++i] );
        } else if ( std::strcmp( argv[i], "--frame-ms" ) == 0 && i + 1 < argc &&
                    std::atoi( argv[i + 1] ) > 0 ) {
            frameMilliseconds = std::atoi( argv[++i] );
        } else if ( std::strcmp( argv[i], "--seed" ) == 0 && i + 1 < argc ) {
            // Games started in the same second must not draw alike by chance.
            GameSetSeed( unsigned( std::atoi( argv[++i] ) ) );
        } else {
            std::fprintf( stderr, "kelto_headless: %s?\n", argv[i] );
            return 2;
        }
    }
    std::vector<const char *> game = { argv[0] };
    for ( i++; i < argc; i++ ) {
        game.push_back( argv[i] );
    }
    if ( ParseOptions( int( game.size() ), game.data(), g_options, stdout, stderr ) != OPTIONS_RUN ) {
        return 2;
    }
    GameSetOnlineTest( computerPlaysMe, splitAt );
#if KELTO_IN_GAME_RELAY
    InGameRelay relay;
    if ( g_options.host && g_options.relay.empty() ) {
        // A tool for tests: its relay listens on the loopback alone.
        if ( !relay.Start( "127.0.0.1" ) ) {
            std::fprintf( stderr, "kelto_headless: cannot start the relay: %s\n", relay.GetError() );
            return 1;
        }
        g_options.relay = "ws://127.0.0.1:" + std::to_string( relay.GetPort() );
    }
#endif
    int exitCode = 1;
    {
        HeadlessBackend backend;
        backend.SetKeepFrames( 0 );
        backend.PostAtFrame( frames, WM_KEYDOWN, VK_ESCAPE, 0 );
        int closing = 0;
        int won = 0;
        int wasWon = 0;
        int mostBehind = 0;
        backend.SetFrameHook( [&]( int frame ) {
            mostBehind = std::max( mostBehind, GameOnlineFramesBehind() );
            if ( GameMatchWon() && !wasWon ) {
                won++;
                std::printf( "kelto_headless: the match is won after %u frames\n", GameOnlineFrame() );
                std::fflush( stdout );
            }
            wasWon = GameMatchWon();
            // Enter, pressed and let go, starts the next match once the banner has been seen.
            backend.SetKey( DIK_RETURN, wasWon && won < matches && frame % 20 < 10 );
            // The last match won or a stopped one ends the run, as a player would close the game.
            if ( !closing && ( ( wasWon && won >= matches ) || GameOnlineStopped() ) &&
                 HostGetMainWindow() != nullptr ) {
                closing = HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 ) ? 1 : 0;
            }
            // The games of the room share the machine: no game spins at full speed waiting, and
            // the stream stays within the relay's rate.
            std::this_thread::sleep_for( std::chrono::milliseconds( frameMilliseconds ) );
        } );
        HostSetBackend( &backend );
        exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        HostSetBackend( nullptr );
        std::printf( "kelto_headless: at most %d frames behind the stream\n", mostBehind );
    }
    return exitCode;
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

// A referee is heard by its checksums alone: its sounds are neither loaded nor kept (in a match
// of hours, a list growing with every shot), and the game makes no surfaces for it to show.
class RefereeBackend : public HeadlessBackend {
public:
    int LoadSound( const char *, const uint8_t *, size_t ) override { return 0; }
};

// 1 in a room's referee, forked with its pipes in place; 0 in the forking referee once the
// relay has gone; -1 where this build has no relay.
int ForkReferees() {
#if KELTO_IN_GAME_RELAY
    RefereeForkServer server;
    return server.Serve( 0 );
#else
    std::fputs( "kelto_headless: this build has no relay to fork referees for\n", stderr );
    return -1;
#endif
}

} // namespace

int main( int argc, char **argv ) {
    if ( argc >= 2 && std::strcmp( argv[1], "--online" ) == 0 ) {
        return PlayOnline( argc, argv );
    }
    int frames = 300;
    int pressKeys = 1;
    StandardInput standardInput;
    const int forking = argc == 2 && std::strcmp( argv[1], "--referees" ) == 0;
    if ( forking ) {
        // Read once here, before any fork: the rooms that play on them share their pages.
        GameShareBundledPictures();
    }
    const int forked = forking ? ForkReferees() : 0;
    if ( forking && forked <= 0 ) {
        return forked < 0 ? 1 : 0;
    }
    const int referee = forking || ( argc == 2 && std::strcmp( argv[1], "--referee" ) == 0 );
    if ( referee ) {
        GameSetRefereeStream( &standardInput );
    } else if ( argc >= 3 && std::strcmp( argv[1], "--frames" ) == 0 && std::atoi( argv[2] ) > 0 ) {
        frames = std::atoi( argv[2] );
        pressKeys = argc == 3;
        // The game's options follow; the program's name stands before them as the parser expects.
        if ( ParseOptions( argc - 2, argv + 2, g_options, stdout, stderr ) != OPTIONS_RUN ) {
            return 2;
        }
        ApplyOptions( g_options, g_settings );
    } else if ( argc == 3 && std::strcmp( argv[1], "--timedemo" ) == 0 && argv[2][0] != '\0' ) {
        g_options.timedemo = argv[2];
    } else if ( argc != 1 ) {
        std::fputs( "usage: kelto_headless [--frames N [GAME OPTIONS] | --timedemo FILE | --referee | "
                    "--referees]\n",
                    stderr );
        return 2;
    }

    int exitCode = 1;
    {
        const std::unique_ptr<HeadlessBackend> made( referee ? new RefereeBackend : new HeadlessBackend );
        HeadlessBackend &backend = *made;
        if ( g_options.timedemo.empty() && !referee ) {
            backend.PostAtFrame( frames, WM_KEYDOWN, VK_ESCAPE, 0 );
            if ( pressKeys ) {
                backend.SetFrameHook( [&backend]( int frame ) { PressKeysFor( backend, frame ); } );
            }
            // The same tanks every run, on the bundled pictures, so that a run can be repeated.
            GameSetSeed( 1 );
            if ( g_options.land.empty() ) {
                g_options.land = GAME_LAND_FILE;
                g_options.background = GAME_BACKGROUND_FILE;
            }
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
