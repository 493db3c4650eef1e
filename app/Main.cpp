// The program's entry on a desktop: reads the options, brings up the SDL backend and hands
// over to the game's own entry function.

#include "app/App.h"
#include "app/DataFolder.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostBackend.h"
#include "host/sdl/SdlBackend.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// The running program's own file, for the installed data beside it.
static std::string ProgramPath( const char *argument0 ) {
    char path[4096];
    const ssize_t length = readlink( "/proc/self/exe", path, sizeof( path ) - 1 );
    if ( length <= 0 ) {
        return argument0 != nullptr ? argument0 : "";
    }
    path[length] = '\0';
    return path;
}

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

    g_options = options;

    // Found before the window opens, so that a game with no pictures never flashes a screen.
    DataFolder data;
    if ( !data.Find( options.data.c_str(), std::getenv( "KELTO_DATA" ), ProgramPath( argv[0] ).c_str() ) ) {
        std::fprintf( stderr, "kelto: cannot find the pictures; looked in %s\n", data.GetTried().c_str() );
        return 1;
    }
    GameSetDataFolder( data.GetPath() );

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
