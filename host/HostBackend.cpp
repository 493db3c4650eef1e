#include "host/HostBackend.h"

// The backend beneath the window, the screen and the keyboard; null until the program or a
// test picks one.
static HostBackend *currentBackend = nullptr;

void HostSetBackend( HostBackend *backend ) {
    currentBackend = backend;
}

HostBackend *HostGetBackend() {
    return currentBackend;
}

int HostTakeLastInput() {
    return currentBackend != nullptr ? currentBackend->TakeLastInput() : -1;
}

int HostReadPointer( HostPointerState &state ) {
    if ( currentBackend == nullptr ) {
        state = HostPointerState{ 0, 0, 0, 0, 0, 0 };
        return 0;
    }
    return currentBackend->ReadPointer( state );
}
