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
#include "game/World.h"
#include "host/HostBackend.h"
#include "host/headless/HeadlessBackend.h"
#include "host/web/WebBackend.h"
#include "lands/LandGenerator.h"
#include "settings/Settings.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <string>

namespace {

WebBackend backend;
World *world = nullptr; // owned; lives until the game ends
FrameClock frameClock;

EM_BOOL Step( double now, void * ) {
    const int frames = frameClock.Advance( now, g_appActive );
    const double before = emscripten_get_now();
    int exitCode = 0;
    const int goesOn = RunFrameLoopStep( WinMainFrame, world, frames, exitCode );
    // The page shows how long a step takes the main thread, for measuring.
    // clang-format off
    EM_ASM( { if ( Module.keltoStep ) Module.keltoStep( $0, $1 ); }, frames, emscripten_get_now() - before );
    // clang-format on
    if ( goesOn ) {
        return EM_TRUE;
    }
    WinMainEnd( *world );
    delete world;
    world = nullptr;
    HostSetBackend( nullptr );
    // clang-format off
    EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( $0 ); }, exitCode );
    // clang-format on
    return EM_FALSE;
}

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
    // same game, bit for bit, on another compiler and processor, in one blocking call.
    if ( !g_options.timedemo.empty() ) {
        HeadlessBackend headless;
        headless.SetKeepFrames( 0 );
        HostSetBackend( &headless );
        const int exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        HostSetBackend( nullptr );
        // clang-format off
        EM_ASM( { if ( Module.keltoEnded ) Module.keltoEnded( $0 ); }, exitCode );
        // clang-format on
        return exitCode;
    }
    // The same title, set-up and pause as on a desktop, without Quit (a page is left by the
    // browser); the settings on screen last as long as the page.
    GameUseMenus( 0 );
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
