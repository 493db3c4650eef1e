#ifndef KELTO_HOST_HOSTBACKEND_H
#define KELTO_HOST_HOSTBACKEND_H

#include "host/HostPointer.h"
#include "host/HostTypes.h"

#include <cstddef>

// What a backend supplies beneath the host layer: a real window with its events, the
// showing of finished frames, and the keyboard. Everything else (message queue, surfaces,
// blits, palette, files) is shared by every backend. Exactly one backend is current.
class HostBackend {
public:
    virtual ~HostBackend() {}

    // Opens the one window; 1 or 0.
    virtual int OpenWindow( const char *caption ) = 0;
    virtual void CloseWindow() = 0;

    // Turns waiting native events into messages (HostPostMessage); with `wait` it blocks
    // until at least one message has been posted.
    virtual void PumpEvents( int wait ) = 0;

    // Accepts or refuses a display mode; 1 or 0.
    virtual int SetDisplayMode( int width, int height, int bitsPerPixel ) = 0;

    // The row pitch for a new surface `width` pixels wide.
    virtual int GetSurfacePitch( int width ) = 0;

    // Shows a finished 8-bit frame through its palette and waits as a flip waits.
    virtual void Present( const uint8_t *pixels, int pitch, int width, int height,
                          const HostPaletteEntry *palette ) = 0;

    // Reads the state of all keys, indexed by DIK_ code; HOST_OK, DIERR_INPUTLOST or
    // DIERR_NOTACQUIRED. Acquire takes the keyboard (back).
    virtual HostResult ReadKeys( uint8_t keys[256] ) = 0;
    virtual HostResult AcquireKeyboard() = 0;

    // The key or gamepad input (host/HostKeyState.h) pressed last since the last call, before
    // any binding; -1 when none was, or on a backend that cannot tell.
    virtual int TakeLastInput() { return -1; }

    // The mouse since the last read (host/HostPointer.h); 0, with `state` all zero, on a
    // backend without one.
    virtual int ReadPointer( HostPointerState &state ) {
        state = HostPointerState{ 0, 0, 0, 0, 0, 0 };
        return 0;
    }

    // Sound (host/HostSound.h). A backend without it keeps these: nothing loads, nothing
    // plays, and the game runs silent.
    virtual int LoadSound( const char *, const uint8_t *, size_t ) { return 0; }
    virtual int StartSound( int, int, int, int ) { return 0; }
    virtual void StopSound( int ) {}
};

void HostSetBackend( HostBackend *backend );
// The current backend's TakeLastInput; -1 without a backend.
int HostTakeLastInput();
// The current backend's ReadPointer; 0, with `state` all zero, without a backend.
int HostReadPointer( HostPointerState &state );
HostBackend *HostGetBackend();

#endif
