#include "host/HostInput.h"

#include "host/HostBackend.h"

#include <cstring>
#include <new>

static const int KEYBOARD_STATE_SIZE = 256;

HostKeyboardDevice::HostKeyboardDevice() : refCount( 1 ), acquired( 0 ), formatSet( 0 ) {
}

HostKeyboardDevice::~HostKeyboardDevice() {
}

uint32_t HostKeyboardDevice::AddRef() {
    return ++refCount;
}

uint32_t HostKeyboardDevice::Release() {
    uint32_t remaining = --refCount;
    if ( remaining == 0 ) {
        delete this;
    }
    return remaining;
}

HostResult HostKeyboardDevice::SetDataFormat( int keyboardStateSize ) {
    if ( keyboardStateSize != KEYBOARD_STATE_SIZE ) {
        return DDERR_INVALIDPARAMS;
    }
    formatSet = 1;
    return HOST_OK;
}

HostResult HostKeyboardDevice::SetCooperativeLevel( HostWindow *, uint32_t ) {
    return HOST_OK;
}

HostResult HostKeyboardDevice::Acquire() {
    HostBackend *backend = HostGetBackend();
    if ( !formatSet ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( backend == nullptr ) {
        return DDERR_GENERIC;
    }
    HostResult result = backend->AcquireKeyboard();
    if ( result == HOST_OK ) {
        acquired = 1;
    }
    return result;
}

HostResult HostKeyboardDevice::Unacquire() {
    acquired = 0;
    return HOST_OK;
}

// The caller's array changes only on a successful read: after an error it keeps the last
// state, which is what a game polling every frame wants.
HostResult HostKeyboardDevice::GetDeviceState( int size, void *data ) {
    HostBackend *backend = HostGetBackend();
    if ( size != KEYBOARD_STATE_SIZE || data == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( !acquired || backend == nullptr ) {
        return DIERR_NOTACQUIRED;
    }
    uint8_t keys[KEYBOARD_STATE_SIZE];
    HostResult result = backend->ReadKeys( keys );
    if ( result != HOST_OK ) {
        // Lost or taken away: the device must be acquired again before it reads.
        acquired = 0;
        return result;
    }
    std::memcpy( data, keys, sizeof( keys ) );
    return HOST_OK;
}

HostInput::HostInput() : refCount( 1 ) {
}

HostInput::~HostInput() {
}

uint32_t HostInput::AddRef() {
    return ++refCount;
}

uint32_t HostInput::Release() {
    uint32_t remaining = --refCount;
    if ( remaining == 0 ) {
        delete this;
    }
    return remaining;
}

HostResult HostInput::CreateDevice( HostKeyboardDevice **out, void * ) {
    if ( out == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    *out = new ( std::nothrow ) HostKeyboardDevice();
    return *out != nullptr ? HOST_OK : DDERR_OUTOFMEMORY;
}

HostResult HostInputCreate( HostInstance *, uint32_t, HostInput **out, void * ) {
    if ( out == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if ( HostGetBackend() == nullptr ) {
        return DDERR_GENERIC;
    }
    *out = new ( std::nothrow ) HostInput();
    return *out != nullptr ? HOST_OK : DDERR_OUTOFMEMORY;
}
