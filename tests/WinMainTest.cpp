#include "app/App.h"
#include "host/HostWindow.h"
#include "tests/support/HeadlessScope.h"

#include <gtest/gtest.h>

// The game cannot be played without its window and screen: WinMain stops at once with one
// line that says what is missing, instead of running a loop that shows nothing.
TEST( WinMainStartup, MissingWindowEndsTheProgramWithAMessage ) {
    HeadlessScope scope;
    scope.Backend().SetWindowFails( 1 );
    testing::internal::CaptureStderr();
    EXPECT_EQ( WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT ), 1 );
    EXPECT_EQ( testing::internal::GetCapturedStderr(), "kelto: cannot open the window\n" );
    EXPECT_EQ( scope.Backend().GetFrameCount(), 0 );
}

TEST( WinMainStartup, RefusedDisplayModeEndsTheProgramWithTheReason ) {
    HeadlessScope scope;
    scope.Backend().SetModeFails( 1 );
    testing::internal::CaptureStderr();
    EXPECT_EQ( WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT ), 1 );
    EXPECT_EQ( testing::internal::GetCapturedStderr(),
               "kelto: cannot bring up the display: cannot set 640 x 480 x 8\n" );
    EXPECT_EQ( scope.Backend().GetFrameCount(), 0 );
}
