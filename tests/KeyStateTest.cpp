#include "host/HostKeyState.h"
#include "host/HostPointer.h"
#include "platform/Keyboard.h"
#include "support/HeadlessScope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const int DIK_A = 0x1E;
const int PAD_A = HOST_INPUT_PAD_BUTTON + 0;
const int PAD_BACK = HOST_INPUT_PAD_BUTTON + 4;
const int PAD_DPAD_LEFT = HOST_INPUT_PAD_BUTTON + 13;
const int DEAD_ZONE = 8000;

// One input event as a backend passes it on: press or release of a key or button, or the
// stick moved to a position on one axis.
struct Event {
    enum Kind { PRESS, RELEASE, STICK_X, STICK_Y } kind;
    int value;
};

// Events between two polls, and the keys the poll must find down (and no others).
struct Step {
    std::vector<Event> events;
    std::vector<int> down;
    const char *why;
};

// Plays each step into the headless backend's key state and polls as the game does.
void Play( const std::vector<Step> &steps, HostKeyState &keys, Keyboard &keyboard ) {
    for ( const Step &step : steps ) {
        for ( const Event &event : step.events ) {
            switch ( event.kind ) {
            case Event::PRESS:
                keys.Press( event.value );
                break;
            case Event::RELEASE:
                keys.Release( event.value );
                break;
            case Event::STICK_X:
            case Event::STICK_Y:
                keys.MoveStick( event.kind == Event::STICK_Y, event.value, DEAD_ZONE );
                break;
            }
        }
        const uint8_t *state = keyboard.Poll();
        std::vector<int> down;
        for ( int key = 0; key < 256; ++key ) {
            if ( state[key] & 0x80 ) {
                down.push_back( key );
            }
        }
        EXPECT_EQ( down, step.down ) << step.why;
    }
}

class KeyStateFixture : public ::testing::Test {
protected:
    KeyStateFixture() { keyboard.Init( nullptr, nullptr ); }

    HostKeyState &Keys() { return scope.Backend().GetKeyState(); }

    HeadlessScope scope;
    Keyboard keyboard;
};

} // namespace

TEST_F( KeyStateFixture, AQuickTapReadsDownOnceAndAHeldKeyStaysDown ) {
    Play( { { { { Event::PRESS, DIK_SPACE }, { Event::RELEASE, DIK_SPACE } },
              { DIK_SPACE },
              "tap between polls" },
            { {}, {}, "the tap is read once" },
            { { { Event::PRESS, DIK_LEFT } }, { DIK_LEFT }, "held" },
            { {}, { DIK_LEFT }, "still held" },
            { { { Event::RELEASE, DIK_LEFT }, { Event::PRESS, DIK_LEFT }, { Event::RELEASE, DIK_LEFT } },
              { DIK_LEFT },
              "let go and tapped again" },
            { {}, {}, "gone" } },
          Keys(), keyboard );
    // A tap before the focus went is not read after it.
    Keys().Press( DIK_UP );
    Keys().ReleaseAll();
    Play( { { {}, {}, "released all" } }, Keys(), keyboard );
}

TEST_F( KeyStateFixture, BoundKeysDriveTheGameKeyAndItsOwnKeyNoLonger ) {
    Keys().Bind( DIK_SPACE, { DIK_SPACE, DIK_RETURN } );
    Keys().Bind( DIK_LEFT, { DIK_A } );
    Play( { { { { Event::PRESS, DIK_RETURN } }, { DIK_RETURN, DIK_SPACE }, "Return fires and stays Return" },
            { { { Event::RELEASE, DIK_RETURN }, { Event::PRESS, DIK_LEFT } }, {}, "Left is no longer left" },
            { { { Event::PRESS, DIK_A } }, { DIK_A, DIK_LEFT }, "A drives left" },
            { { { Event::RELEASE, DIK_A }, { Event::RELEASE, DIK_LEFT } }, {}, "all up" } },
          Keys(), keyboard );
    Keys().Bind( DIK_LEFT, {} );
    Play( { { { { Event::PRESS, DIK_LEFT } }, { DIK_LEFT }, "unbound: Left is its own again" } }, Keys(),
          keyboard );
}

TEST_F( KeyStateFixture, GamepadButtonsAndTheStickPastItsDeadZoneAreTheArrowsAndFire ) {
    Keys().Bind( DIK_LEFT, { DIK_LEFT, PAD_DPAD_LEFT, HOST_INPUT_STICK_LEFT } );
    Keys().Bind( DIK_RIGHT, { DIK_RIGHT, HOST_INPUT_STICK_RIGHT } );
    Keys().Bind( DIK_DOWN, { DIK_DOWN, HOST_INPUT_STICK_DOWN } );
    Keys().Bind( DIK_SPACE, { DIK_SPACE, PAD_A } );
    Keys().Bind( DIK_ESCAPE, { DIK_ESCAPE, PAD_BACK } );
    EXPECT_TRUE( Keys().IsBound( PAD_BACK, DIK_ESCAPE ) );
    EXPECT_FALSE( Keys().IsBound( PAD_A, DIK_ESCAPE ) );
    Play(
        { { { { Event::PRESS, PAD_DPAD_LEFT }, { Event::PRESS, PAD_A } },
            { DIK_SPACE, DIK_LEFT },
            "buttons" },
          { { { Event::RELEASE, PAD_DPAD_LEFT }, { Event::RELEASE, PAD_A } }, {}, "buttons up" },
          { { { Event::STICK_X, -DEAD_ZONE }, { Event::STICK_Y, DEAD_ZONE } }, {}, "inside the dead zone" },
          { { { Event::STICK_X, DEAD_ZONE + 1 } }, { DIK_RIGHT }, "pushed right" },
          { { { Event::STICK_X, -32768 }, { Event::STICK_Y, 32767 } }, { DIK_LEFT, DIK_DOWN }, "down-left" },
          { { { Event::STICK_X, 0 }, { Event::STICK_Y, 0 } }, {}, "centred" } },
        Keys(), keyboard );
    // A pad pulled out while held lets go of its buttons, not of the keyboard's keys.
    Keys().Press( PAD_A );
    Keys().Press( DIK_UP );
    Keys().ReleasePad();
    Play( { { {}, { DIK_UP }, "pad gone" } }, Keys(), keyboard );
}

// The mouse read once a frame: a click between two reads is seen once, where it was, even
// when the pointer moved on; a pointer that did not move reads as still.
TEST( HostPointer, AClickIsReadOnceWhereItWasAndMovesOnlyWhenTheyHappen ) {
    HostPointer pointer;
    HostPointerState state;
    pointer.Read( state );
    EXPECT_EQ( state.moved + state.clicked + state.x + state.y, 0 );
    pointer.Move( 10, 20 );
    pointer.Click( 30, 40 );
    pointer.Move( 50, 60 );
    pointer.Read( state );
    const int first[] = { state.x, state.y, state.moved, state.clicked, state.clickX, state.clickY };
    const int firstWanted[] = { 50, 60, 1, 1, 30, 40 };
    EXPECT_TRUE( std::equal( first, first + 6, firstWanted ) );
    pointer.Read( state );
    EXPECT_EQ( state.moved, 0 );
    EXPECT_EQ( state.clicked, 0 );
    EXPECT_EQ( state.x, 50 );
    pointer.Move( 50, 60 ); // to where it is: no move
    pointer.Read( state );
    EXPECT_EQ( state.moved, 0 );
    pointer.Click( 50, 60 ); // a click without a move
    pointer.Read( state );
    EXPECT_EQ( state.moved, 0 );
    EXPECT_EQ( state.clicked, 1 );
}
