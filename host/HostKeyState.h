#ifndef KELTO_HOST_HOSTKEYSTATE_H
#define KELTO_HOST_HOSTKEYSTATE_H

#include "host/HostTypes.h"

#include <vector>

// The inputs a key state is made from: the keyboard's keys by DIK_ code, then a gamepad's
// buttons by the controller's button number, then the four halves of its left stick.
const int HOST_INPUT_PAD_BUTTON = 256;
const int HOST_INPUT_PAD_BUTTON_COUNT = 32;
const int HOST_INPUT_STICK_LEFT = HOST_INPUT_PAD_BUTTON + HOST_INPUT_PAD_BUTTON_COUNT;
const int HOST_INPUT_STICK_RIGHT = HOST_INPUT_STICK_LEFT + 1;
const int HOST_INPUT_STICK_UP = HOST_INPUT_STICK_LEFT + 2;
const int HOST_INPUT_STICK_DOWN = HOST_INPUT_STICK_LEFT + 3;
const int HOST_INPUT_COUNT = HOST_INPUT_STICK_LEFT + 4;

// The keyboard state the game reads, made by a backend from its key and gamepad events, so
// that every backend remaps keys and keeps quick taps the same way. A game key that is bound
// is down while any of its inputs is, and no longer follows its own key; every other key is
// its own. A press let go again before the next read still reads as down, once.
class HostKeyState {
public:
    HostKeyState();
    virtual ~HostKeyState();

    // Binds `gameKey` (a DIK_ code) to `inputs`, replacing what it had; with none, the key is
    // its own again.
    void Bind( int gameKey, const std::vector<int> &inputs );
    int IsBound( int input, int gameKey ) const;

    void Press( int input );
    void Release( int input );
    // The left stick on one axis (-32768 to 32767): beyond `deadZone` from the centre its half
    // on that side is pressed.
    void MoveStick( int vertical, int value, int deadZone );
    // Lets go of everything at once (the focus went, the gamepad went): nothing stays held.
    void ReleaseAll();
    void ReleasePad();

    // The input pressed last since the last call (for binding a control by pressing it),
    // as it is, before any binding; -1 when none was.
    int TakeLastPress();

    // Fills the 256-byte state, high bit set while down, and forgets the taps it reported.
    void Read( uint8_t keys[256] );

private:
    struct Binding {
        int input;
        int gameKey;
    };

    std::vector<Binding> bindings;
    uint8_t bound[256]; // 1 for a game key that follows its bindings
    uint8_t down[HOST_INPUT_COUNT];
    uint8_t tapped[HOST_INPUT_COUNT]; // pressed since the last read
    int lastPress;                    // -1 when nothing was pressed since TakeLastPress
};

#endif
