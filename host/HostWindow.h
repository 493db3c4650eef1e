#ifndef KELTO_HOST_HOSTWINDOW_H
#define KELTO_HOST_HOSTWINDOW_H

// The window and its message queue: one window, messages handled one at a time by the
// window procedure, as the game's frame loop expects.

#include "host/HostTypes.h"

struct HostMessage {
    HostWindow *window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

typedef intptr_t ( *HostWindowProc )( HostWindow *window, uint32_t message, uintptr_t wParam,
                                      intptr_t lParam );

struct HostWindowClass {
    uint32_t style;
    HostWindowProc windowProc;
    HostInstance *instance;
    const char *className;
};

int HostRegisterClass( const HostWindowClass *windowClass );
HostWindow *HostCreateWindow( uint32_t exStyle, const char *className, const char *caption, uint32_t style,
                              HostInstance *instance );
int HostShowWindow( HostWindow *window, int showCommand );
int HostUpdateWindow( HostWindow *window );
int HostDestroyWindow( HostWindow *window );
int HostIsWindow( HostWindow *window );

int HostPeekMessage( HostMessage *message, HostWindow *window, uint32_t removeFlags );
int HostGetMessage( HostMessage *message, HostWindow *window );
int HostTranslateMessage( const HostMessage *message );
intptr_t HostDispatchMessage( const HostMessage *message );
int HostWaitMessage();
int HostPostMessage( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam );
void HostPostQuitMessage( int exitCode );
intptr_t HostDefWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam );

// The one window, or null; the backends post their events to it.
HostWindow *HostGetMainWindow();

// Forgets every window, class and message: tests start each run from nothing.
void HostResetWindows();

#endif
