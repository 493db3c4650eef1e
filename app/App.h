#ifndef KELTO_APP_APP_H
#define KELTO_APP_APP_H

// The program's spine: the entry function with the window, the message and frame loop and
// the window procedure. The game's own start-up, frame and end are in app/Game.h.

#include "host/HostTypes.h"

class World;

// Runs the game; returns the exit code: the quit message's value (0), or 1 when the window,
// the display or the game's start-up could not be brought up (one line on standard error
// says which).
int WinMain( HostInstance *instance, HostInstance *previousInstance, const char *commandLine,
             int showCommand );

intptr_t MainWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam );

// The message and frame loop: handles one waiting message per pass; with none waiting runs
// `frame` (if any) and flips g_display while the application is active, and otherwise sleeps
// until a message arrives. Returns the quit message's value.
int RunFrameLoop( void ( *frame )( void *context ), void *context );

// The same loop for a host that cannot block (a browser tab), one step per call: handles
// every waiting message, then runs `frames` frames with a flip each while the application is
// active. 1 while the game goes on; 0 after the quit message, with its value in `exitCode`.
int RunFrameLoopStep( void ( *frame )( void *context ), void *context, int frames, int &exitCode );

// The entry function's halves, for a host whose loop is driven from outside: the window, the
// display and the game's start-up (1, or 0 after one line on standard error), and the game's
// end after the loop.
int WinMainStart( HostInstance *instance, HostInstance *previousInstance, int showCommand, World &world );
void WinMainEnd( World &world );
void WinMainFrame( void *world );

// 1 while the application is in front; frames run only then.
extern int32_t g_appActive;

#endif
