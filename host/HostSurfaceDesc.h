#ifndef KELTO_HOST_HOSTSURFACEDESC_H
#define KELTO_HOST_HOSTSURFACEDESC_H

#include "host/HostTypes.h"

// What a display surface is made from, and what a lock of it reports: the members named by
// `flags` are read at creation; a granted lock fills `surface` and `pitch`.
struct HostSurfaceDesc {
    uint32_t size;  // bytes of this record; set by whoever fills it
    uint32_t flags; // DDSD_ bits: which members below are valid
    uint32_t width;
    uint32_t height;
    int32_t pitch;            // bytes from one row to the next, reported by a lock
    uint32_t backBufferCount; // DDSD_BACKBUFFERCOUNT
    void *surface;            // first pixel, reported by a lock
    uint32_t colorKeyLow;     // DDSD_CKSRCBLT: the range of indices a keyed blit skips
    uint32_t colorKeyHigh;
    uint32_t caps; // DDSCAPS_ bits
};

#endif
