#ifndef KELTO_APP_APP_H
#define KELTO_APP_APP_H

// The program's spine: the entry function with the window, the message and frame loop and
// the window procedure. The game's own start-up, frame and end are in app/Game.h.

#include "host/HostTypes.h"

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

// 1 while the application is in front; frames run only then.
extern int32_t g_appActive;

#endif
