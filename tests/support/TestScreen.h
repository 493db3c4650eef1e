#ifndef KELTO_TESTS_SUPPORT_TESTSCREEN_H
#define KELTO_TESTS_SUPPORT_TESTSCREEN_H

#include "host/HostWindow.h"
#include "platform/Display.h"
#include "tests/support/HeadlessScope.h"

// A window for a Display to take the screen for, on the current backend, with its messages
// going to `windowProc`.
HostWindow *MakeTestWindow( HostWindowProc windowProc = HostDefWindowProc,
                            const char *className = "KeltoTest" );

// A window and a 640 x 480 full-screen Display on a fresh headless backend, as the tests of
// the display, the land and the World need them. A test that watches the backend passes its
// own (it must outlive the screen); `pitchPadding` >= 0 widens every surface's rows.
class TestScreen {
public:
    explicit TestScreen( HeadlessBackend *watched = nullptr, int pitchPadding = -1 );
    virtual ~TestScreen();

    HeadlessBackend &Backend() { return *backend; }

    HeadlessScope scope;
    HeadlessBackend *backend; // not owned: the scope's own or the test's
    HostWindow *window;
    Display display;
};

#endif
