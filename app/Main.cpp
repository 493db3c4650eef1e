// The program's entry on a desktop: reads the options, brings up the SDL backend and hands
// over to the game's own entry function.

#include "app/App.h"
#include "app/Options.h"
#include "host/HostBackend.h"
#include "host/sdl/SdlBackend.h"

#include <cstdio>

int main( int argc, char **argv ) {
    Options &options = g_options;
    switch ( ParseOptions( argc, argv, options, stdout, stderr ) ) {
    case OPTIONS_EXIT_OK:
        return 0;
    case OPTIONS_INVALID:
        return 2;
    case OPTIONS_RUN:
        break;
    }

    SdlBackend backend( options.windowed == 1 );
    if ( !backend.Init() ) {
        std::fprintf( stderr, "kelto: no display available: %s\n", backend.GetError() );
        return 1;
    }
    HostSetBackend( &backend );
    const int exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
    // The game's process-wide objects outlive main; what they release after it returns must
    // not reach a backend that is gone.
    HostSetBackend( nullptr );
    return exitCode;
}
