#include "app/App.h"
#include "app/Game.h"
#include "game/Globals.h"
#include "game/World.h"
#include "host/HostWindow.h"
#include "platform/Display.h"

#include <cstdio>

static const char WINDOW_CLASS[] = "Kelto";

static void RunGameFrame( void *world ) {
    GameFrame( *static_cast<World *>( world ) );
}

// Nothing can be played without the window and the screen, so their failure ends the program
// at once with a line that says which one failed.
int WinMain( HostInstance *instance, HostInstance *previousInstance, const char *, int showCommand ) {
    if ( previousInstance == nullptr ) {
        HostWindowClass windowClass = { 0, MainWindowProc, instance, WINDOW_CLASS };
        HostRegisterClass( &windowClass );
    }
    HostWindow *window = HostCreateWindow( 0, WINDOW_CLASS, "Kelto", WS_POPUP, instance );
    if ( window == nullptr ) {
        std::fprintf( stderr, "kelto: cannot open the window\n" );
        return 1;
    }
    HostShowWindow( window, showCommand );
    HostUpdateWindow( window );
    if ( !g_display.Init( window, 1, 640, 480, 8 ) ) {
        std::fprintf( stderr, "kelto: cannot bring up the display: %s\n", g_display.GetLastError() );
        return 1;
    }
    World world;
    if ( !GameStartup( instance, window, world ) ) {
        return 1;
    }
    int exitCode = RunFrameLoop( RunGameFrame, &world );
    GameEnd( world );
    return exitCode;
}
