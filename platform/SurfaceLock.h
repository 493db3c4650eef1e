#ifndef KELTO_PLATFORM_SURFACELOCK_H
#define KELTO_PLATFORM_SURFACELOCK_H

#include "host/HostTypes.h"

class HostSurface;
struct HostSurfaceDesc;

// Locks a display surface for software drawing the one way the back buffer and the land tiles
// both need: "still drawing" is asked again until the blit is done, a lost surface is restored
// and asked again at most `maxRestores` times, and anything else gives up at once, so that the
// caller draws nothing this frame instead of waiting for ever. Returns HOST_OK with `desc`
// describing the locked memory, or the refusal that made it give up.
HostResult LockSurface( HostSurface &surface, HostSurfaceDesc &desc, int maxRestores );

#endif
