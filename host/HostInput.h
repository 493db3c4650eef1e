#ifndef KELTO_HOST_HOSTINPUT_H
#define KELTO_HOST_HOSTINPUT_H

#include "host/HostTypes.h"

// The system keyboard, read as the up/down state of every key at once.
class HostKeyboardDevice {
public:
    HostKeyboardDevice();
    virtual ~HostKeyboardDevice();

    uint32_t AddRef();
    uint32_t Release();

    // The only format offered is the 256-byte keyboard state.
    HostResult SetDataFormat( int keyboardStateSize );
    HostResult SetCooperativeLevel( HostWindow *window, uint32_t flags );
    HostResult Acquire();
    HostResult Unacquire();

    // Fills `size` (256) bytes indexed by DIK_ code, high bit set while the key is down.
    HostResult GetDeviceState( int size, void *data );

private:
    uint32_t refCount;
    int acquired;
    int formatSet;
};

// The input system; makes the keyboard device.
class HostInput {
public:
    HostInput();
    virtual ~HostInput();

    uint32_t AddRef();
    uint32_t Release();

    HostResult CreateDevice( HostKeyboardDevice **out, void *outer );

private:
    uint32_t refCount;
};

HostResult HostInputCreate( HostInstance *instance, uint32_t version, HostInput **out, void *outer );

#endif
