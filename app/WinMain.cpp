#include "app/App.h"
#include "app/Game.h"
#include "game/Globals.h"
#include "game/World.h"
#include "host/HostWindow.h"
#include "platform/Display.h"

#include <cstdio>

static const char WINDOW_CLASS[] = "Kelto";

void WinMainFrame( void *world ) {
    GameFrame( *static_cast<World *>( world ) );
}

// Nothing can be played without the window and the screen, so their failure ends the program
// at once with a line that says which one failed.
int WinMainStart( HostInstance *instance, HostInstance *previousInstance, int showCommand, World &world ) {
    if ( previousInstance == nullptr ) {
        HostWindowClass windowClass = { 0, MainWindowProc, instance, WINDOW_CLASS };
        HostRegisterClass( &windowClass );
    }
    HostWindow *window = HostCreateWindow( 0, WINDOW_CLASS, "Kelto", WS_POPUP, instance );
    if ( window == nullptr ) {
        std::fprintf( stderr, "kelto: cannot open the window\n" );
        return 0;
    }
    HostShowWindow( window, showCommand );
    HostUpdateWindow( window );
    // A game nobody sees (a referee) holds no screens.
    const int displayUp =
        GameShowsNothing() ? g_display.InitUnseen( 640, 480 ) : g_display.Init( window, 1, 640, 480, 8 );
    if ( !displayUp ) {
        std::fprintf( stderr, "kelto: cannot bring up the display: %s\n", g_display.GetLastError() );
        return 0;
    }
    return GameStartup( instance, window, world );
}

int WinMainEnd( World &world ) {
    return GameEnd( world );
}

int WinMain( HostInstance *instance, HostInstance *previousInstance, const char *, int showCommand ) {
    World world;
    if ( !WinMainStart( instance, previousInstance, showCommand, world ) ) {
        return 1;
    }
    const int exitCode = RunFrameLoop( WinMainFrame, &world );
    const int endCode = WinMainEnd( world );
    return exitCode != 0 ? exitCode : endCode;
}
