#include "platform/Display.h"
#include "host/HostPalette.h"
#include "host/HostSurface.h"
#include "host/HostVideo.h"
#include "host/HostWindow.h"
#include "tests/support/HeadlessScope.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE( window, nullptr ); }

    HeadlessScope scope;
    HostWindow *window = MakeTestWindow();
};

void ExpectClip( const Image &image, int left, int top, int right, int bottom ) {
    EXPECT_EQ( image.GetClipRect().left, left );
    EXPECT_EQ( image.GetClipRect().top, top );
    EXPECT_EQ( image.GetClipRect().right, right );
    EXPECT_EQ( image.GetClipRect().bottom, bottom );
}

} // namespace

TEST_F( DisplayTest, NothingExistsBeforeInit ) {
    Display display;
    EXPECT_EQ( display.GetDirectDraw(), nullptr );
    EXPECT_EQ( display.GetPrimarySurface(), nullptr );
    EXPECT_EQ( display.GetBackSurface(), nullptr );
    // Locking a display that never came up lends an Image that draws nothing.
    Image &image = display.LockBackBuffer();
    EXPECT_EQ( image.GetPixels(), nullptr );
    EXPECT_LE( image.GetClipRect().GetWidth(), 0 );
    display.UnlockBackBuffer();
}

TEST_F( DisplayTest, FullScreenInitClearsTheBackBufferOfAWidePitch ) {
    scope.Backend().SetPitchPadding( 64 );
    Display display;
    ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 ) << display.GetLastError();
    ASSERT_NE( display.GetDirectDraw(), nullptr );
    EXPECT_EQ( display.GetWidth(), 640 );
    EXPECT_EQ( display.GetHeight(), 480 );
    HostSurface *primary = display.GetPrimarySurface();
    HostSurface *back = display.GetBackSurface();
    ASSERT_NE( primary, nullptr );
    ASSERT_NE( back, nullptr );
    EXPECT_EQ( primary->GetCaps() & ( DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX ),
               DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX );
    EXPECT_NE( display.GetPalette(), nullptr );

    // Every byte the Image covers is 0; the row padding beyond the width is not the game's.
    const uint8_t *pixels = back->GetPixels();
    ASSERT_EQ( back->GetPitch(), 704 );
    for ( int y = 0; y < 480; y++ ) {
        for ( int x = 0; x < 640; x++ ) {
            ASSERT_EQ( pixels[y * 704 + x], 0 ) << x << ", " << y;
        }
        ASSERT_NE( pixels[y * 704 + 640], 0 ) << "padding of row " << y;
    }

    Image &image = display.LockBackBuffer();
    EXPECT_EQ( image.GetWidth(), 640 );
    EXPECT_EQ( image.GetHeight(), 480 );
    EXPECT_EQ( image.GetPitch(), 704 );
    EXPECT_EQ( image.GetPixels(), back->GetPixels() );
    EXPECT_EQ( image.GetOwnsPixels(), 0 );
    ExpectClip( image, 0, 0, 639, 479 );
    EXPECT_EQ( back->IsLocked(), 1 );
    display.UnlockBackBuffer();
    EXPECT_EQ( back->IsLocked(), 0 );
}

TEST_F( DisplayTest, WindowedInitUsesAnOffscreenBackBuffer ) {
    Display display;
    ASSERT_EQ( display.Init( window, 0, 640, 480, 8 ), 1 ) << display.GetLastError();
    HostSurface *back = display.GetBackSurface();
    ASSERT_NE( back, nullptr );
    EXPECT_NE( back->GetCaps() & DDSCAPS_OFFSCREENPLAIN, 0u );
    EXPECT_EQ( back->GetWidth(), 640 );
    EXPECT_EQ( back->GetHeight(), 480 );
    EXPECT_EQ( back->GetPixels()[479 * back->GetPitch() + 639], 0 );
    EXPECT_EQ( display.GetPrimarySurface()->GetCaps() & DDSCAPS_FLIP, 0u );
}

TEST_F( DisplayTest, BusyBackBufferIsWaitedFor ) {
    Display display;
    ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 );
    HostSurface *back = display.GetBackSurface();
    int before = back->GetLockAttempts();
    back->InjectBusyLocks( 5 );
    Image &image = display.LockBackBuffer();
    EXPECT_EQ( image.GetPixels(), back->GetPixels() );
    EXPECT_EQ( back->GetLockAttempts() - before, 6 );
    display.UnlockBackBuffer();
}

TEST_F( DisplayTest, LostBackBufferIsRestoredByTheLock ) {
    Display display;
    ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 );
    HostSurface *back = display.GetBackSurface();
    back->InjectLoss();
    Image &image = display.LockBackBuffer();
    EXPECT_EQ( back->IsLost(), HOST_OK );
    EXPECT_EQ( back->GetRestoreCount(), 1 );
    ASSERT_NE( image.GetPixels(), nullptr );
    EXPECT_EQ( image.GetPixels(), back->GetPixels() );
    ExpectClip( image, 0, 0, 639, 479 );
    display.UnlockBackBuffer();
}

TEST_F( DisplayTest, BackBufferThatCannotBeRestoredLendsNothingUntilItComesBack ) {
    Display display;
    ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 );
    HostSurface *back = display.GetBackSurface();
    back->InjectLoss();
    back->InjectRestoreFailures( 1000 );
    Image &image = display.LockBackBuffer();
    EXPECT_EQ( image.GetPixels(), nullptr );
    EXPECT_LE( image.GetClipRect().GetWidth(), 0 );
    EXPECT_EQ( image.GetWidth(), 640 );
    EXPECT_EQ( back->GetRestoreCount(), 3 );
    display.UnlockBackBuffer();

    back->InjectRestoreFailures( 0 );
    Image &again = display.LockBackBuffer();
    EXPECT_EQ( again.GetPixels(), back->GetPixels() );
    ExpectClip( again, 0, 0, 639, 479 );
    display.UnlockBackBuffer();
}

TEST_F( DisplayTest, InitFailuresSayWhatFailed ) {
    {
        Display display;
        scope.Backend().SetModeFails( 1 );
        EXPECT_EQ( display.Init( window, 1, 640, 480, 8 ), 0 );
        EXPECT_EQ( std::string( display.GetLastError() ), "cannot set 640 x 480 x 8" );
        // What was made stays for the destructor to release.
        EXPECT_NE( display.GetDirectDraw(), nullptr );
        EXPECT_EQ( display.GetPrimarySurface(), nullptr );
    }
    {
        Display display;
        EXPECT_EQ( display.Init( nullptr, 1, 640, 480, 8 ), 0 );
        EXPECT_EQ( std::string( display.GetLastError() ), "cannot take the screen for the window" );
    }
    {
        Display display;
        EXPECT_EQ( display.Init( window, 1, 640, 480, 24 ), 0 );
        EXPECT_EQ( std::string( display.GetLastError() ), "cannot set 640 x 480 x 24" );
    }
    {
        Display display;
        ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 );
        HostSurface *primary = display.GetPrimarySurface();
        EXPECT_EQ( display.Init( window, 1, 640, 480, 8 ), 0 );
        EXPECT_EQ( display.GetPrimarySurface(), primary );
    }
    HostSetBackend( nullptr );
    Display display;
    EXPECT_EQ( display.Init( window, 1, 640, 480, 8 ), 0 );
    EXPECT_EQ( std::string( display.GetLastError() ), "cannot create the display device" );
    EXPECT_EQ( display.GetDirectDraw(), nullptr );
    HostSetBackend( &scope.Backend() );
}

// The browser's timedemo plays the replay twice in one program: the second game must find the
// screen as the first did, and the first game's screen must not be held on to.
TEST_F( DisplayTest, CloseGivesEverythingBackAndTheDisplayComesUpAgain ) {
    Display display;
    display.Close(); // never up: nothing to give back
    ASSERT_EQ( display.Init( window, 1, 640, 480, 8 ), 1 ) << display.GetLastError();
    HostVideo *device = display.GetDirectDraw();
    HostSurface *primary = display.GetPrimarySurface();
    HostPalette *palette = display.GetPalette();
    device->AddRef();
    primary->AddRef();
    palette->AddRef();
    display.Close();
    // Exactly one reference each was the display's.
    EXPECT_EQ( palette->Release(), 0u );
    EXPECT_EQ( primary->Release(), 0u );
    EXPECT_EQ( device->Release(), 0u );
    EXPECT_EQ( display.GetDirectDraw(), nullptr );
    EXPECT_EQ( display.GetPrimarySurface(), nullptr );
    EXPECT_EQ( display.GetBackSurface(), nullptr );
    EXPECT_EQ( display.GetPalette(), nullptr );
    EXPECT_EQ( display.GetWidth(), 0 );
    EXPECT_EQ( display.LockBackBuffer().GetPixels(), nullptr );
    display.UnlockBackBuffer();
    display.Close(); // twice is harmless

    ASSERT_EQ( display.Init( window, 0, 320, 200, 8 ), 1 ) << display.GetLastError();
    Image &image = display.LockBackBuffer();
    ASSERT_NE( image.GetPixels(), nullptr );
    EXPECT_EQ( image.GetWidth(), 320 );
    EXPECT_EQ( image.GetHeight(), 200 );
    ExpectClip( image, 0, 0, 319, 199 );
    display.UnlockBackBuffer();
}
