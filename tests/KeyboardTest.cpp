#include "platform/Keyboard.h"
#include "host/HostBackend.h"
#include "host/HostTypes.h"
#include "host/headless/HeadlessBackend.h"

#include <gtest/gtest.h>

namespace {

// The headless keyboard, counting how often the game takes it back.
class CountingBackend : public HeadlessBackend {
public:
    HostResult AcquireKeyboard() override {
        acquires++;
        return refuseAcquires ? DIERR_INPUTLOST : HeadlessBackend::AcquireKeyboard();
    }
    HostResult ReadKeys( uint8_t keys[256] ) override {
        const HostResult error = readError;
        readError = HOST_OK;
        return error != HOST_OK ? error : HeadlessBackend::ReadKeys( keys );
    }
    int acquires = 0;
    int refuseAcquires = 0;         // as while the window is not in front
    HostResult readError = HOST_OK; // the next read fails with this, once
};

class KeyboardFixture : public ::testing::Test {
protected:
    KeyboardFixture() : previous( HostGetBackend() ) { HostSetBackend( &backend ); }
    ~KeyboardFixture() override { HostSetBackend( previous ); }

    int CountDown( const uint8_t *keys ) {
        int down = 0;
        for ( int i = 0; i < 256; i++ ) {
            down += ( keys[i] & 0x80 ) != 0 ? 1 : 0;
        }
        return down;
    }

    CountingBackend backend;
    HostBackend *previous;
};

} // namespace

TEST_F( KeyboardFixture, NoKeyIsDownBeforeTheFirstPoll ) {
    backend.SetKey( DIK_SPACE, 1 );
    Keyboard keyboard;
    // Even without Init, polling must be safe and show nothing down.
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );
    keyboard.Init( nullptr, nullptr );
    backend.ReleaseAllKeys();
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );
}

TEST_F( KeyboardFixture, SpaceAndRightHeldTogetherShowInTheSamePoll ) {
    Keyboard keyboard;
    EXPECT_EQ( keyboard.Init( nullptr, nullptr ), 1 );
    backend.SetKey( DIK_SPACE, 1 );
    backend.SetKey( DIK_RIGHT, 1 );
    const uint8_t *keys = keyboard.Poll();
    EXPECT_NE( keys[DIK_SPACE] & 0x80, 0 );
    EXPECT_NE( keys[DIK_RIGHT] & 0x80, 0 );
    EXPECT_EQ( CountDown( keys ), 2 );
    // The array is the keyboard's own and follows the next poll.
    backend.SetKey( DIK_SPACE, 0 );
    EXPECT_EQ( keyboard.Poll(), keys );
    EXPECT_EQ( keys[DIK_SPACE] & 0x80, 0 );
    EXPECT_NE( keys[DIK_RIGHT] & 0x80, 0 );
}

TEST_F( KeyboardFixture, LostInputIsTakenBackAndReadInTheSamePoll ) {
    Keyboard keyboard;
    keyboard.Init( nullptr, nullptr );
    backend.SetKey( DIK_LEFT, 1 );
    const int acquiresAfterInit = backend.acquires;
    backend.InjectInputLoss( 1 );
    const uint8_t *keys = keyboard.Poll();
    EXPECT_NE( keys[DIK_LEFT] & 0x80, 0 );
    EXPECT_EQ( backend.acquires - acquiresAfterInit, 1 );
}

TEST_F( KeyboardFixture, LossThatPersistsGivesAllKeysUpAfterThreeReacquires ) {
    Keyboard keyboard;
    keyboard.Init( nullptr, nullptr );
    backend.SetKey( DIK_SPACE, 1 );
    ASSERT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );

    // Three re-acquires are enough when the fourth read works...
    int before = backend.acquires;
    backend.InjectInputLoss( Keyboard::MAX_REACQUIRES );
    EXPECT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );
    EXPECT_EQ( backend.acquires - before, Keyboard::MAX_REACQUIRES );

    // ...but one more loss and the poll gives up: Space no longer sticks down.
    before = backend.acquires;
    backend.InjectInputLoss( Keyboard::MAX_REACQUIRES + 1 );
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );
    EXPECT_EQ( backend.acquires - before, Keyboard::MAX_REACQUIRES );

    // A loss that never ends does not hang the poll either.
    backend.InjectInputLoss( 1000000 );
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );

    // Once the keyboard can be had again, the next poll takes it back and reads it.
    backend.InjectInputLoss( 0 );
    EXPECT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );
}

// A lost keyboard that refuses every re-acquire reads as unacquired from then on: that is
// the keyboard gone too, and a key held when it went must not stick down.
TEST_F( KeyboardFixture, KeyboardThatCannotBeTakenBackGivesAllKeysUp ) {
    Keyboard keyboard;
    keyboard.Init( nullptr, nullptr );
    backend.SetKey( DIK_SPACE, 1 );
    ASSERT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );

    backend.refuseAcquires = 1;
    backend.InjectInputLoss( 1 );
    const int before = backend.acquires;
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );
    EXPECT_EQ( backend.acquires - before, Keyboard::MAX_REACQUIRES );

    backend.refuseAcquires = 0;
    EXPECT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );
}

// Only a keyboard that is gone gives its keys up; a read failing for another reason keeps
// what the last poll saw.
TEST_F( KeyboardFixture, OtherReadErrorsKeepTheKeysOfTheLastPoll ) {
    Keyboard keyboard;
    keyboard.Init( nullptr, nullptr );
    backend.SetKey( DIK_SPACE, 1 );
    ASSERT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );

    backend.readError = DDERR_GENERIC;
    const int before = backend.acquires;
    EXPECT_NE( keyboard.Poll()[DIK_SPACE] & 0x80, 0 );
    EXPECT_EQ( backend.acquires, before );
}

TEST_F( KeyboardFixture, AKeyboardThatCannotBeOpenedLeavesTheKeysUp ) {
    HostSetBackend( nullptr );
    Keyboard keyboard;
    EXPECT_EQ( keyboard.Init( nullptr, nullptr ), 1 );
    HostSetBackend( &backend );
    backend.SetKey( DIK_UP, 1 );
    EXPECT_EQ( CountDown( keyboard.Poll() ), 0 );
}
