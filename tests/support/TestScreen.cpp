#include "tests/support/TestScreen.h"

HostWindow *MakeTestWindow( HostWindowProc windowProc, const char *className ) {
    HostWindowClass windowClass = {};
    windowClass.windowProc = windowProc;
    windowClass.className = className;
    HostRegisterClass( &windowClass );
    HostWindow *window = HostCreateWindow( 0, className, "Kelto", WS_POPUP, nullptr );
    HostShowWindow( window, SW_SHOWDEFAULT );
    return window;
}

TestScreen::TestScreen( HeadlessBackend *watched, int pitchPadding )
    : backend( watched != nullptr ? watched : &scope.Backend() ), window( nullptr ) {
    HostSetBackend( backend );
    if ( pitchPadding >= 0 ) {
        backend->SetPitchPadding( pitchPadding );
    }
    window = MakeTestWindow();
    display.Init( window, 1, 640, 480, 8 );
}

TestScreen::~TestScreen() {
}
