// The program's entry on a desktop: reads the few options, brings up the SDL backend and
// hands over to the game's own entry function.

#include "app/App.h"
#include "host/HostBackend.h"
#include "host/sdl/SdlBackend.h"

#include <cstdio>
#include <cstring>

#ifndef KELTO_VERSION
#define KELTO_VERSION "unknown"
#endif

namespace {

const char USAGE[] = "Usage: kelto [--windowed] [--help] [--version]\n"
                     "Runs the game on the pictures background.bmp, land.bmp, tank.bmp and bomb.bmp\n"
                     "in the working directory. Arrows drive and aim, Space charges and fires,\n"
                     "Escape quits.\n"
                     "  --windowed  play in a window instead of full screen\n"
                     "  --help      show this text\n"
                     "  --version   show the version\n";

} // namespace

int main( int argc, char **argv ) {
    int windowed = 0;
    for ( int i = 1; i < argc; ++i ) {
        if ( std::strcmp( argv[i], "--windowed" ) == 0 ) {
            windowed = 1;
        } else if ( std::strcmp( argv[i], "--help" ) == 0 ) {
            std::fputs( USAGE, stdout );
            return 0;
        } else if ( std::strcmp( argv[i], "--version" ) == 0 ) {
            std::puts( "kelto " KELTO_VERSION );
            return 0;
        } else {
            std::fprintf( stderr, "kelto: unknown option '%s'\n%s", argv[i], USAGE );
            return 2;
        }
    }

    SdlBackend backend( windowed );
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
