// Plays a land code for a given number of frames on the headless backend, as the real program
// runs it (the computer at every seat, the view over the scene), and writes the last frame as
// an 8-bit BMP file: to look at a land in play, with its tanks, its colours and the view. One
// code a run, since the display comes up once in a process.
//
// Usage: land_frames DIR FRAMES CODE   (run in the data folder)

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main( int argc, char **argv ) {
    if ( argc != 4 ) {
        std::fputs( "usage: land_frames DIR FRAMES CODE\n", stderr );
        return 2;
    }
    const std::string directory = argv[1];
    const int frames = std::atoi( argv[2] );
    for ( int i = 3; i < argc; i++ ) {
        HeadlessBackend backend;
        BmpPicture picture;
        backend.SetFrameHook( [&]( int frame ) {
            if ( frame == frames ) {
                picture.width = backend.GetFrameWidth();
                picture.height = backend.GetFrameHeight();
                picture.palette.assign( backend.GetFramePalette(), backend.GetFramePalette() + 256 );
                picture.pixels = backend.GetFrame();
                HostPostMessage( HostGetMainWindow(), WM_KEYDOWN, VK_ESCAPE, 0 );
            }
        } );
        HostSetBackend( &backend );
        GameSetSeed( 1 );
        g_options = Options();
        g_options.land = argv[i];
        g_options.players = 0;
        g_options.mute = 1;
        ApplyOptions( g_options, g_settings );
        const int exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        HostSetBackend( nullptr );
        const std::string path = directory + "/" + argv[i] + "-frame.bmp";
        if ( exitCode != 0 || picture.pixels.empty() || !WriteFileBytes( path, MakeBmp( picture ) ) ) {
            std::fprintf( stderr, "land_frames: %s: no frame written (exit %d)\n", argv[i], exitCode );
            return 1;
        }
        std::printf( "wrote %s\n", path.c_str() );
    }
    return 0;
}
