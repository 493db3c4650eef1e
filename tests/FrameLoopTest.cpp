#include "app/App.h"
#include "game/Globals.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "platform/Display.h"
#include "tests/support/HeadlessScope.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What happened, in order: "F<n>" for the n-th frame, or the name of a message the window
// procedure received.
std::vector<std::string> events;
int frames = 0;
int framesWhileInactive = 0;
int lostAfterActivation = -1; // whether a surface was still lost once an activation was handled

// A runaway loop ends itself instead of hanging the test; the exit code tells.
const int FRAME_BUDGET = 500;
const int RUNAWAY_EXIT_CODE = 99;

std::string Name( uint32_t message, uintptr_t wParam ) {
    switch ( message ) {
    case WM_ACTIVATEAPP:
        return wParam ? "ACTIVATE" : "DEACTIVATE";
    case WM_KEYDOWN:
        return wParam == VK_ESCAPE ? "ESCAPE" : "KEY";
    case WM_CLOSE:
        return "CLOSE";
    case WM_DESTROY:
        return "DESTROY";
    default:
        return "OTHER";
    }
}

intptr_t RecordingWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    events.push_back( Name( message, wParam ) );
    intptr_t result = MainWindowProc( window, message, wParam, lParam );
    // Looked at before any frame could restore the back buffer through its own lock.
    if ( message == WM_ACTIVATEAPP && wParam != 0 && g_display.GetDirectDraw() != nullptr ) {
        lostAfterActivation = g_display.GetPrimarySurface()->IsLost() != HOST_OK ||
                              g_display.GetBackSurface()->IsLost() != HOST_OK;
    }
    return result;
}

// Draws the frame number into the first pixel so the presented picture tells which frame
// reached the screen.
void CountingFrame( void * ) {
    frames++;
    events.push_back( "F" + std::to_string( frames ) );
    if ( !g_appActive ) {
        framesWhileInactive++;
    }
    Image &image = g_display.LockBackBuffer();
    if ( image.GetPixels() != nullptr ) {
        image.GetPixels()[0] = uint8_t( frames );
    }
    g_display.UnlockBackBuffer();
    if ( frames >= FRAME_BUDGET ) {
        HostPostQuitMessage( RUNAWAY_EXIT_CODE );
    }
}

// The loop works on the process-wide display, which comes up once and then serves every test;
// each test gets a fresh backend, window and message queue.
class FrameLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        events.clear();
        frames = 0;
        framesWhileInactive = 0;
        lostAfterActivation = -1;
        g_appActive = 1;
        window = MakeTestWindow( RecordingWindowProc );
        ASSERT_NE( window, nullptr );
        if ( g_display.GetDirectDraw() == nullptr ) {
            ASSERT_EQ( g_display.Init( window, 1, 640, 480, 8 ), 1 ) << g_display.GetLastError();
        }
        ASSERT_EQ( g_display.GetPrimarySurface()->IsLost(), HOST_OK );
    }

    void TearDown() override { g_appActive = 1; }

    int IndexOf( const std::string &event ) const {
        for ( size_t i = 0; i < events.size(); i++ ) {
            if ( events[i] == event ) {
                return int( i );
            }
        }
        return -1;
    }

    HeadlessScope scope;
    HostWindow *window = nullptr;
};

} // namespace

// Runs first, while the process-wide display does not exist yet.
TEST( FrameLoopStartup, ActivationBeforeTheDisplayExistsOnlySetsTheFlag ) {
    ASSERT_EQ( g_display.GetDirectDraw(), nullptr ) << "this test must run before the display comes up";
    HeadlessScope scope;
    EXPECT_EQ( MainWindowProc( nullptr, WM_ACTIVATEAPP, 0, 0 ), 0 );
    EXPECT_EQ( g_appActive, 0 );
    EXPECT_EQ( MainWindowProc( nullptr, WM_ACTIVATEAPP, 1, 0 ), 0 );
    EXPECT_EQ( g_appActive, 1 );
    EXPECT_EQ( g_display.GetDirectDraw(), nullptr );
}

TEST_F( FrameLoopTest, EscapeEndsTheLoopWithZeroThroughCloseDestroyAndQuit ) {
    scope.Backend().PostAtFrame( 3, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( frames, 3 );
    std::vector<std::string> expected = { "F1", "F2", "F3", "ESCAPE", "CLOSE", "DESTROY" };
    EXPECT_EQ( events, expected );
    EXPECT_EQ( HostIsWindow( window ), 0 );
    EXPECT_EQ( scope.Backend().GetWindowOpen(), 0 );
    EXPECT_EQ( scope.Backend().GetFrameCount(), 3 );
    EXPECT_EQ( scope.Backend().GetFramePixel( 0, 0 ), 3 );
}

TEST_F( FrameLoopTest, OtherKeysDoNotEndTheGame ) {
    scope.Backend().PostAtFrame( 1, WM_KEYDOWN, 'A', 0 );
    scope.Backend().PostAtFrame( 1, WM_KEYUP, VK_ESCAPE, 0 );
    scope.Backend().PostAtFrame( 5, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( frames, 5 );
}

TEST_F( FrameLoopTest, BurstOfMessagesIsDrainedBeforeTheNextFrame ) {
    HeadlessBackend &backend = scope.Backend();
    for ( int i = 0; i < 5; i++ ) {
        backend.PostAtFrame( 2, WM_CHAR, 'a' + i, 0 );
    }
    backend.PostAtFrame( 4, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    std::vector<std::string> expected = { "F1",    "F2", "OTHER", "OTHER",  "OTHER", "OTHER",
                                          "OTHER", "F3", "F4",    "ESCAPE", "CLOSE", "DESTROY" };
    EXPECT_EQ( events, expected );
}

TEST_F( FrameLoopTest, MessagesPostedWhileHandlingOneAreHandledBeforeTheNextFrame ) {
    // Escape posts WM_CLOSE from inside the procedure: no frame may slip in between.
    HostPostMessage( window, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( frames, 0 );
}

TEST_F( FrameLoopTest, NoFrameRunsWhileInactiveAndFramesResumeOnActivation ) {
    HeadlessBackend &backend = scope.Backend();
    backend.PostAtFrame( 2, WM_ACTIVATEAPP, 0, 0 );
    backend.PostAtFrame( 3, WM_ACTIVATEAPP, 1, 0 ); // arrives while the loop sleeps
    backend.PostAtFrame( 6, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( framesWhileInactive, 0 );
    EXPECT_EQ( backend.GetBlockingWaits(), 1 );
    std::vector<std::string> expected = { "F1", "F2", "DEACTIVATE", "ACTIVATE", "F3",     "F4",
                                          "F5", "F6", "ESCAPE",     "CLOSE",    "DESTROY" };
    EXPECT_EQ( events, expected );
}

TEST_F( FrameLoopTest, InactiveLoopWithNothingToComeEndsWhenTheWindowCloses ) {
    scope.Backend().PostAtFrame( 1, WM_ACTIVATEAPP, 0, 0 );
    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( frames, 1 );
    EXPECT_EQ( IndexOf( "CLOSE" ), int( events.size() ) - 2 );
}

TEST_F( FrameLoopTest, LostSurfacesAreRestoredOnReactivationAndTheGameGoesOn ) {
    HeadlessBackend &backend = scope.Backend();
    HostSurface *primary = g_display.GetPrimarySurface();
    HostSurface *back = g_display.GetBackSurface();
    int primaryRestores = primary->GetRestoreCount();
    int backRestores = back->GetRestoreCount();
    backend.SetFrameHook( [&]( int frame ) {
        if ( frame == 2 ) {
            primary->InjectLoss();
            HostPostMessage( HostGetMainWindow(), WM_ACTIVATEAPP, 0, 0 );
        }
    } );
    backend.PostAtFrame( 3, WM_ACTIVATEAPP, 1, 0 );
    backend.PostAtFrame( 6, WM_KEYDOWN, VK_ESCAPE, 0 );

    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( lostAfterActivation, 0 );
    EXPECT_EQ( primary->GetRestoreCount() - primaryRestores, 1 );
    EXPECT_EQ( back->GetRestoreCount() - backRestores, 1 );
    EXPECT_EQ( frames, 6 );
    EXPECT_EQ( framesWhileInactive, 0 );
    EXPECT_EQ( backend.GetFrameCount(), 6 );
    EXPECT_EQ( backend.GetFramePixel( 0, 0 ), 6 );
}

// Surfaces lost while the game is away come back when it comes back, not when it leaves.
TEST_F( FrameLoopTest, SurfacesLostWhileAwayAreRestoredOnActivation ) {
    HostSurface *primary = g_display.GetPrimarySurface();
    HostSurface *back = g_display.GetBackSurface();
    MainWindowProc( window, WM_ACTIVATEAPP, 0, 0 );
    primary->InjectLoss();
    back->InjectLoss();
    MainWindowProc( window, WM_ACTIVATEAPP, 1, 0 );
    EXPECT_EQ( primary->IsLost(), HOST_OK );
    EXPECT_EQ( back->IsLost(), HOST_OK );
    primary->Restore(); // a failure here must not leave the next tests a lost display
    back->Restore();
}

TEST_F( FrameLoopTest, ActivationRestoresNothingThatIsNotLost ) {
    HostSurface *primary = g_display.GetPrimarySurface();
    int restores = primary->GetRestoreCount();
    MainWindowProc( window, WM_ACTIVATEAPP, 1, 0 );
    EXPECT_EQ( primary->GetRestoreCount(), restores );
    EXPECT_EQ( g_appActive, 1 );
}

// A screen whose restore failed on re-activation stays lost; the next flip notices and brings
// it back, so frames reach the screen again without another switch away and back.
TEST_F( FrameLoopTest, ScreenThatFailedToRestoreComesBackAtTheNextFlip ) {
    HeadlessBackend &backend = scope.Backend();
    HostSurface *primary = g_display.GetPrimarySurface();
    backend.SetFrameHook( [&]( int frame ) {
        if ( frame == 2 ) {
            primary->InjectLoss();
            primary->InjectRestoreFailures( 1 );
            HostPostMessage( HostGetMainWindow(), WM_ACTIVATEAPP, 0, 0 );
            HostPostMessage( HostGetMainWindow(), WM_ACTIVATEAPP, 1, 0 );
        }
        if ( frame == 5 ) {
            HostPostMessage( HostGetMainWindow(), WM_KEYDOWN, VK_ESCAPE, 0 );
        }
    } );

    EXPECT_EQ( RunFrameLoop( CountingFrame, nullptr ), 0 );
    EXPECT_EQ( primary->IsLost(), HOST_OK );
    EXPECT_EQ( backend.GetFrameCount(), 5 );
    // Only the one frame whose flip found the screen lost went unseen.
    EXPECT_EQ( frames, 6 );
    EXPECT_EQ( backend.GetFramePixel( 0, 0 ), 6 );
}

// The browser's loop cannot block: each step drains the messages, then runs the frames that
// are due, none while inactive, and reports the quit message instead of waiting for it.
TEST_F( FrameLoopTest, StepsRunDueFramesOnlyWhileActiveAndStopAtQuit ) {
    int exitCode = -1;
    EXPECT_EQ( RunFrameLoopStep( CountingFrame, nullptr, 2, exitCode ), 1 );
    HostPostMessage( window, WM_ACTIVATEAPP, 0, 0 );
    EXPECT_EQ( RunFrameLoopStep( CountingFrame, nullptr, 3, exitCode ), 1 );
    HostPostMessage( window, WM_ACTIVATEAPP, 1, 0 );
    EXPECT_EQ( RunFrameLoopStep( CountingFrame, nullptr, 1, exitCode ), 1 );
    HostPostMessage( window, WM_KEYDOWN, VK_ESCAPE, 0 );
    EXPECT_EQ( RunFrameLoopStep( CountingFrame, nullptr, 5, exitCode ), 0 );
    EXPECT_EQ( exitCode, 0 );
    const std::vector<std::string> expected = { "F1", "F2",     "DEACTIVATE", "ACTIVATE",
                                                "F3", "ESCAPE", "CLOSE",      "DESTROY" };
    EXPECT_EQ( events, expected );
    EXPECT_EQ( scope.Backend().GetBlockingWaits(), 0 );
}
