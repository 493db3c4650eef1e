#include "platform/SurfaceLock.h"

#include "host/HostSurface.h"
#include "host/HostSurfaceDesc.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

namespace {

struct LockCase {
    const char *name;
    int busy;           // "still drawing" answers before the lock is granted
    int lost;           // 1: the surface has lost its memory
    int failedRestores; // restores that fail before one succeeds
    int lockedAlready;  // 1: the surface is held by its own earlier lock
    int maxRestores;
    HostResult result;
    int attempts;
    int restores;
};

// The one lock under the back buffer (3 restores) and the land tiles (none).
const LockCase kCases[] = {
    { "busy is waited out", 5, 0, 0, 0, 0, HOST_OK, 6, 0 },
    { "lost without restores gives up", 0, 1, 0, 0, 0, DDERR_SURFACELOST, 1, 0 },
    { "lost is restored and locked", 0, 1, 0, 0, 3, HOST_OK, 2, 1 },
    { "lost for good gives up after the restores", 0, 1, 1000, 0, 3, DDERR_SURFACELOST, 4, 3 },
    { "lost, a failed restore, then busy twice", 2, 1, 1, 0, 3, HOST_OK, 5, 2 },
    { "held by its own lock gives up at once", 0, 0, 0, 1, 3, DDERR_WASSTILLDRAWING, 1, 0 },
};

} // namespace

TEST( SurfaceLock, WaitsOutBusyRestoresLostAndGivesUpOnTheRest ) {
    for ( const LockCase &c : kCases ) {
        SCOPED_TRACE( c.name );
        TestScreen screen;
        ASSERT_NE( nullptr, screen.display.GetBackSurface() );
        HostSurface &surface = *screen.display.GetBackSurface();
        HostSurfaceDesc desc = {};
        if ( c.lockedAlready ) {
            ASSERT_EQ( HOST_OK, LockSurface( surface, desc, 0 ) );
        }
        if ( c.lost ) {
            surface.InjectLoss();
        }
        surface.InjectBusyLocks( c.busy );
        surface.InjectRestoreFailures( c.failedRestores );
        const int attempts = surface.GetLockAttempts();
        EXPECT_EQ( c.result, LockSurface( surface, desc, c.maxRestores ) );
        EXPECT_EQ( c.attempts, surface.GetLockAttempts() - attempts );
        EXPECT_EQ( c.restores, surface.GetRestoreCount() );
        if ( c.result == HOST_OK ) {
            EXPECT_EQ( surface.GetPixels(), desc.surface );
        }
        surface.Unlock( nullptr );
    }
}
