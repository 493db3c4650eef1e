#include "platform/SurfaceLock.h"

#include "host/HostSurface.h"

// A lock refused as busy this many times in a row is taken to be stuck, not busy.
static const int MAX_BUSY_LOCKS = 1 << 20;

HostResult LockSurface( HostSurface &surface, HostSurfaceDesc &desc, int maxRestores ) {
    int restores = 0;
    int busy = 0;
    for ( ;; ) {
        desc.size = sizeof( desc );
        const HostResult result = surface.Lock( nullptr, &desc, 0, nullptr );
        if ( result == HOST_OK ) {
            return result;
        }
        if ( result == DDERR_SURFACELOST && restores < maxRestores ) {
            restores++;
            surface.Restore();
            continue;
        }
        // A surface we hold locked ourselves is busy for good: only our own Unlock frees it.
        if ( result == DDERR_WASSTILLDRAWING && !surface.IsLocked() && ++busy < MAX_BUSY_LOCKS ) {
            continue;
        }
        return result;
    }
}
