#include "app/App.h"

#include "app/Game.h"
#include "game/Globals.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "platform/Display.h"

int32_t g_appActive = 1;

// Brings back the memory of a surface the display took away; the next frame redraws it.
static void RestoreIfLost( HostSurface *surface ) {
    if ( surface != nullptr && surface->IsLost() == DDERR_SURFACELOST ) {
        surface->Restore();
    }
}

intptr_t MainWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    switch ( message ) {
    case WM_DESTROY:
        HostPostQuitMessage( 0 );
        break;
    case WM_ACTIVATEAPP:
        g_appActive = int32_t( wParam );
        // An activation can arrive while the window is being made, before the display exists.
        if ( wParam != 0 && g_display.GetDirectDraw() != nullptr ) {
            RestoreIfLost( g_display.GetPrimarySurface() );
            RestoreIfLost( g_display.GetBackSurface() );
        }
        break;
    case WM_KEYDOWN:
        // Escape closes the window, unless the game's menus take it (to pause, or to go back);
        // every other key reaches the game through the keyboard.
        if ( wParam == VK_ESCAPE && !GameTakesEscape() ) {
            HostPostMessage( window, WM_CLOSE, 0, 0 );
            return 0;
        }
        break;
    default:
        break;
    }
    return HostDefWindowProc( window, message, wParam, lParam );
}

// There is no clock: the flip's wait paces the game, one frame per flip.
static void RunFrame( void ( *frame )( void *context ), void *context ) {
    if ( frame != nullptr ) {
        frame( context );
    }
    HostSurface *primary = g_display.GetPrimarySurface();
    // A screen whose restore failed when the application came to the front would stay lost,
    // and no frame would be shown again until the next switch away and back.
    if ( primary != nullptr && primary->Flip( nullptr, DDFLIP_WAIT ) == DDERR_SURFACELOST ) {
        RestoreIfLost( primary );
        RestoreIfLost( g_display.GetBackSurface() );
    }
}

// Takes one waiting message and dispatches it; 0 when it was the quit message, or when no
// message source is left at all (nothing could ever end the loop properly), with the exit
// code in `exitCode`.
static int HandleOneMessage( int &exitCode ) {
    HostMessage message;
    const int got = HostGetMessage( &message, nullptr );
    if ( got == 0 ) {
        exitCode = int( message.wParam );
        return 0;
    }
    if ( got < 0 ) {
        exitCode = 1;
        return 0;
    }
    HostTranslateMessage( &message );
    HostDispatchMessage( &message );
    return 1;
}

int RunFrameLoop( void ( *frame )( void *context ), void *context ) {
    HostMessage message;
    int exitCode = 0;
    for ( ;; ) {
        if ( HostPeekMessage( &message, nullptr, PM_NOREMOVE ) ) {
            if ( !HandleOneMessage( exitCode ) ) {
                return exitCode;
            }
        } else if ( g_appActive || GameRunsUnseen() ) {
            RunFrame( frame, context );
        } else {
            HostWaitMessage();
        }
    }
}

int RunFrameLoopStep( void ( *frame )( void *context ), void *context, int frames, int &exitCode ) {
    HostMessage message;
    while ( HostPeekMessage( &message, nullptr, PM_NOREMOVE ) ) {
        if ( !HandleOneMessage( exitCode ) ) {
            return 0;
        }
    }
    for ( int i = 0; i < frames && ( g_appActive || GameRunsUnseen() ); i++ ) {
        RunFrame( frame, context );
    }
    return 1;
}
