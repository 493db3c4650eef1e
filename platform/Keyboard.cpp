#include "platform/Keyboard.h"

#include "host/HostInput.h"

#include <cstring>

static const int KEY_STATE_SIZE = 256;
static const uint32_t INPUT_VERSION = 0x0300;

static int NeedsAcquire( HostResult result ) {
    return result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED ? 1 : 0;
}

Keyboard::Keyboard() : directInput( nullptr ), device( nullptr ) {
    std::memset( keys, 0, sizeof( keys ) );
}

Keyboard::~Keyboard() {
    Release();
}

// Opening the keyboard never stops the game: without it the key state simply stays as it
// is (all keys up), so Init reports 1 whatever happens.
int Keyboard::Init( HostInstance *instance, HostWindow *window ) {
    Release();
    if ( HostInputCreate( instance, INPUT_VERSION, &directInput, nullptr ) != HOST_OK ) {
        directInput = nullptr;
        return 1;
    }
    if ( directInput == nullptr ) {
        return 1;
    }
    if ( directInput->CreateDevice( &device, nullptr ) != HOST_OK ) {
        device = nullptr;
        return 1;
    }
    if ( device == nullptr ) {
        return 1;
    }
    device->SetDataFormat( KEY_STATE_SIZE );
    device->SetCooperativeLevel( window, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND );
    device->Acquire();
    return 1;
}

// A keyboard that is lost (another program took it, or the window went to the back) is
// taken back and read again, also when an earlier loss left it unacquired. It is not chased
// for ever: after a few re-acquires the frame goes on with every key up, so that neither
// the frame hangs nor a key held when the keyboard went away stays down; a keyboard that
// refuses to be taken back ends unacquired rather than lost, and counts as gone just the
// same. Any other error keeps the state of the last good read.
uint8_t *Keyboard::Poll() {
    if ( device == nullptr ) {
        return keys;
    }
    uint8_t fresh[KEY_STATE_SIZE];
    HostResult result = device->GetDeviceState( KEY_STATE_SIZE, fresh );
    for ( int reacquires = 0; NeedsAcquire( result ) && reacquires < MAX_REACQUIRES; reacquires++ ) {
        device->Acquire();
        result = device->GetDeviceState( KEY_STATE_SIZE, fresh );
    }
    if ( result == HOST_OK ) {
        std::memcpy( keys, fresh, sizeof( keys ) );
    } else if ( NeedsAcquire( result ) ) {
        std::memset( keys, 0, sizeof( keys ) );
    }
    return keys;
}

void Keyboard::Release() {
    if ( device != nullptr ) {
        device->Unacquire();
        device->Release();
        device = nullptr;
    }
    if ( directInput != nullptr ) {
        directInput->Release();
        directInput = nullptr;
    }
}
