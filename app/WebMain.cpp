// The program's entry in a browser: reads the options the page passes (from its address; any
// option that sets up a match starts straight into play, as on a desktop),
// brings up the canvas backend and runs the game one step per animation frame, with the
// frames that the page's clock says are due (app/FrameClock.h).

#include "app/App.h"
#include "app/FrameClock.h"
#include "app/Game.h"
#include "app/Options.h"
#include "audio/SoundBank.h"
#include "audio/SoundMaker.h"
#include "game/Globals.h"
#include "game/World.h"
#include "host/HostBackend.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "host/web/WebBackend.h"
#include "lands/LandGenerator.h"
#include "platform/Display.h"
#include "settings/Settings.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

WebBackend backend;
World *world = nullptr; // owned; lives until the game ends
FrameClock frameClock;

// The reading of the page's clock at the last animation frame. A hidden tab gets none, so the
// page's ticker (a worker's, which the browser does not slow down) runs the frames of an online
// match instead, which must not stall the others.
double lastAnimationFrame = 0.0;
const double TICKER_AFTER_MILLISECONDS = 100.0;
const double FRAME_MILLISECONDS = 1000.0 / FrameClock::FRAME_RATE;
// The ticker catches up by the clock, at most this many frames a tick.
const int MOST_TICKED_FRAMES = 30;
int ticking = 0;
double tickerStart = 0.0;  // the clock's reading when the ticker took over
double tickerFrames = 0.0; // run by the ticker since

// For tests of online play (window.keltoTest, set before the page loads; never from the
// address): the computer plays this page's seat, and the game ends once the match is won, as the
// desktop's headless tool does, so that the two recordings end at the same frame.
int endWhenWon = 0;
int ending = 0;

void Frame( void *context ) {
    if ( ending ) {
        return;
    }
    WinMainFrame( context );
    if ( endWhenWon && GameMatchWon() && HostGetMainWindow() != nullptr ) {
        ending = HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 ) ? 1 : 0;
    }
}

void TakeTestHooks() {
    // clang-format off
    const int computerPlaysMe = EM_ASM_INT( { return window.keltoTest && window.keltoTest.computerPlaysMe ? 1 : 0; } );
    endWhenWon = EM_ASM_INT( { return window.keltoTest && window.keltoTest.endWhenWon ? 1 : 0; } );
    // clang-format on
    if ( computerPlaysMe ) {
        GameSetOnlineTest( 1, -1 );
    }
}

// The frames due, run; 0 once the game has ended.
int RunSteps( int frames ) {
    const double before = emscripten_get_now();
    int exitCode = 0;
    const int goesOn = RunFrameLoopStep( Frame, world, frames, exitCode );
    // The page shows how long a step takes the main thread, for measuring.
    // clang-format off
    EM_ASM( { if ( Module.keltoStep ) Module.keltoStep( $0, $1 ); }, frames, emscripten_get_now() - before );
    // clang-format on
    if ( goesOn ) {
        return 1;
    }
    WinMainEnd( *world );
    delete world;
    world = nullptr;
    HostSetBackend( nullptr );
    // clang-format off
    EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( $0 ); }, exitCode );
    // clang-format on
    return 0;
}

EM_BOOL Step( double now, void * ) {
    if ( world == nullptr ) {
        return EM_FALSE;
    }
    lastAnimationFrame = now;
    ticking = 0;
    const int frames = frameClock.Advance( now, g_appActive || GameRunsUnseen() );
    const int goesOn = RunSteps( frames );
    // An online match, joined or hosted from the menus too, starts the page's ticker, which
    // keeps it going in a hidden tab.
    if ( goesOn && GameRunsUnseen() ) {
        // clang-format off
        EM_ASM( { if ( Module.keltoOnline ) Module.keltoOnline(); } );
        // clang-format on
    }
    return goesOn ? EM_TRUE : EM_FALSE;
}

} // namespace

// The page's ticker, about every 16 ms: frames for an online match while no animation frame
// comes. The animation frames take over again as soon as they come back.
extern "C" EMSCRIPTEN_KEEPALIVE void KeltoTick() {
    const double now = emscripten_get_now();
    if ( world == nullptr || now - lastAnimationFrame < TICKER_AFTER_MILLISECONDS || !GameRunsUnseen() ) {
        ticking = 0;
        return;
    }
    if ( !ticking ) {
        ticking = 1;
        tickerStart = now;
        tickerFrames = 0.0;
    }
    // Unlike the animation frames' clock, which counts a stall as one frame, the ticker owes
    // every frame due: a slowed ticker must not leave this game behind the room.
    const double due = std::floor( ( now - tickerStart ) / FRAME_MILLISECONDS ) - tickerFrames;
    const int frames = due < MOST_TICKED_FRAMES ? int( due ) : MOST_TICKED_FRAMES;
    if ( frames <= 0 ) {
        return;
    }
    tickerFrames += frames;
    RunSteps( frames );
}

namespace {

// The sounds are made here rather than downloaded: the page's download stays small, and the
// game finds them where the desktop has its files.
void MakeSounds() {
    SoundMaker maker;
    for ( int i = 0; i < SOUND_COUNT; ++i ) {
        const SoundName name = SoundName( i );
        if ( !maker.Make( name ) ||
             !maker.WriteFile( std::string( "/" ) + SoundBank::GetFileName( name ) ) ) {
            std::fprintf( stderr, "kelto: cannot make %s; it stays silent\n",
                          SoundBank::GetFileName( name ) );
        }
    }
}

// One run of the timedemo, on a headless screen of its own that goes with it, whose rows are
// as far apart as the page's own screen's.
int RunTimedemo( const char *said ) {
    std::printf( "timedemo, %s\n", said );
    HeadlessBackend headless;
    headless.SetKeepFrames( 0 );
    headless.SetPitchPadding( backend.GetSurfacePitch( 640 ) - 640 );
    HostSetBackend( &headless );
    const int exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
    g_display.Close();
    HostSetBackend( nullptr );
    return exitCode;
}

// A browser compiles the game's code quickly at first, and its busiest functions again,
// better, on other threads while the game runs: the first run of a page measures that work as
// well as the game, and the second runs the code a player has after the first second of play.
// The desktop has only the second kind, so both are printed, each said for what it is.
void RunTimedemos( void * ) {
    int exitCode = RunTimedemo( "cold: the first run, while the browser still compiles the code" );
    if ( exitCode == 0 ) {
        exitCode = RunTimedemo( "warm: the same run again, with the code compiled" );
    }
    // clang-format off
    EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( $0 ); }, exitCode );
    // clang-format on
}

// The timedemo waits this long after the page's own start-up, so as not to time the
// browser's work of loading the page (its pictures, its code, the sounds made) as the game's.
const int TIMEDEMO_SETTLE_MILLISECONDS = 1000;

} // namespace

int main( int argc, char **argv ) {
    const OptionsResult options = ParseOptions( argc, argv, g_options, stdout, stderr );
    if ( options != OPTIONS_RUN ) {
        // The page shows what was said (the usage, or why an option was refused) in place of
        // the game, as the desktop prints it.
        const int exitCode = options == OPTIONS_EXIT_OK ? 0 : 2;
        std::fflush( stdout );
        std::fflush( stderr );
        // clang-format off
        EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( $0, 1 ); }, exitCode );
        // clang-format on
        return exitCode;
    }
    // A page has no settings file: the settings' defaults, with the page's options over them.
    ApplyOptions( g_options, g_settings );
    MakeSounds();
    // A timedemo runs the recorded game unseen and as fast as it goes, as on a desktop: the
    // same game, bit for bit, on another compiler and processor, in one blocking call (twice;
    // see RunTimedemos), once the page has settled.
    if ( !g_options.timedemo.empty() ) {
        emscripten_async_call( RunTimedemos, nullptr, TIMEDEMO_SETTLE_MILLISECONDS );
        return 0;
    }
    // The same title, set-up and pause as on a desktop, without Quit (a page is left by the
    // browser); the settings on screen last as long as the page.
    GameUseMenus( 0 );
    TakeTestHooks();
    if ( !backend.Init( "#screen" ) ) {
        std::fprintf( stderr, "kelto: the page has no canvas to draw on\n" );
        return 1;
    }
    HostSetBackend( &backend );
    world = new World;
    if ( !WinMainStart( nullptr, nullptr, SW_SHOWDEFAULT, *world ) ) {
        // clang-format off
        EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( 1 ); } );
        // clang-format on
        return 1;
    }
    // A made land's fingerprint, for the page to check that a code makes the same land in a
    // browser as on a desktop; taken before the first frame, so no crater is in it yet.
    if ( !GameLandCode().empty() ) {
        const uint32_t land = LandGenerator::Fingerprint( *world->GetLandImage() );
        // clang-format off
        EM_ASM( { if ( Module.keltoLand ) Module.keltoLand( $0 >>> 0 ); }, land );
        // clang-format on
    }
    emscripten_request_animation_frame_loop( Step, nullptr );
    return 0;
}
