#ifndef KELTO_PLATFORM_KEYBOARD_H
#define KELTO_PLATFORM_KEYBOARD_H

#include "host/HostTypes.h"

#include <cstdint>

class HostInput;
class HostKeyboardDevice;

// The state of every key at once, read fresh each frame: 256 bytes indexed by DIK_ code,
// high bit set while the key is down.
class Keyboard {
public:
    Keyboard();
    virtual ~Keyboard();

    int Init( HostInstance *instance, HostWindow *window );
    uint8_t *Poll();

    // A lost keyboard is taken back at most this often in one Poll.
    static constexpr int MAX_REACQUIRES = 3;

private:
    Keyboard( const Keyboard & ) = delete;
    Keyboard &operator=( const Keyboard & ) = delete;

    void Release(); // lets go of the device, then the input system

    uint8_t keys[256];
    HostInput *directInput;     // owned
    HostKeyboardDevice *device; // owned
};

#endif
