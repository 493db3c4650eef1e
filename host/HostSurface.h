#ifndef KELTO_HOST_HOSTSURFACE_H
#define KELTO_HOST_HOSTSURFACE_H

#include "host/HostSurfaceDesc.h"
#include "host/HostTypes.h"

class HostKeyedPieces;
class HostPalette;
class HostVideo;

// An 8-bit display surface held in ordinary memory: the primary surface with its back buffer,
// or an off-screen surface with a source colour key. It offers what the game asks of a display
// surface (lock, unlock, the keyed fast blit, flip, loss and restore) and, for tests, ways to
// make it fail as real display memory does: lost, busy, or refusing to be restored.
class HostSurface {
public:
    HostSurface( HostVideo *video, int width, int height, int pitch, uint32_t caps );
    virtual ~HostSurface();

    // Reference counting: the creator holds one reference; GetAttachedSurface adds one.
    uint32_t AddRef();
    uint32_t Release();

    HostResult Lock( const HostRect *rect, HostSurfaceDesc *desc, uint32_t flags, void *event );
    HostResult Unlock( void *rect );
    HostResult IsLost() const;
    HostResult Restore();

    // Copies `sourceRect` (exclusive right and bottom) of `source` to (x, y) of this surface;
    // with DDBLTFAST_SRCCOLORKEY the source's key range is skipped.
    HostResult BltFast( int x, int y, HostSurface *source, const HostRect *sourceRect, uint32_t flags );
    // The same blit laid over a backdrop in one pass: every pixel it writes is the source's
    // where opaque and the backdrop's where the key makes it transparent, as if the backdrop
    // had been copied there first. `backdrop` is the backdrop's pixel under this surface's
    // (0, 0), `backdropPitch` bytes a row; it must reach under the whole blit. A refused blit
    // writes nothing.
    HostResult BltFastOver( int x, int y, HostSurface *source, const HostRect *sourceRect, uint32_t flags,
                            const uint8_t *backdrop, int backdropPitch );

    // Primary surface only: exchanges the front and back buffer and shows the new front.
    HostResult Flip( HostSurface *target, uint32_t flags );
    HostResult GetAttachedSurface( uint32_t caps, HostSurface **out );
    HostResult SetPalette( HostPalette *palette );
    HostPalette *GetPalette() const { return palette; }

    void SetColorKey( uint32_t low, uint32_t high );
    int HasColorKey() const { return hasColorKey; }
    uint32_t GetColorKeyLow() const { return colorKeyLow; }
    uint32_t GetColorKeyHigh() const { return colorKeyHigh; }

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetPitch() const { return pitch; }
    int IsLocked() const { return locked; }
    // Counts every event that may have changed the pixels or the key (locks, blits into it,
    // flips, loss, restores, keys set): a picture made from the surface is stale once the
    // count has moved.
    uint32_t GetChangeCount() const { return changeCount; }
    uint32_t GetCaps() const { return caps; }

    // The pixels as they stand, for presenting and for tests; null while lost.
    const uint8_t *GetPixels() const { return lost ? nullptr : pixels; }

    // Fault injection, for tests: the surface loses its memory (its pixels become garbage and
    // every lock, blit and flip fails until Restore); the next `count` locks are refused as
    // busy; the next `count` restores fail.
    void InjectLoss();
    void InjectBusyLocks( int count );
    void InjectRestoreFailures( int count );
    int GetLockAttempts() const { return lockAttempts; }
    int GetRestoreCount() const { return restoreCount; }

private:
    friend class HostVideo; // builds the flipping chain

    // It owns its pixels and is shared by reference count, never copied.
    HostSurface( const HostSurface & ) = delete;
    HostSurface &operator=( const HostSurface & ) = delete;

    void AttachBackBuffer( HostSurface *back );
    void ExchangeWithBackBuffer();
    HostResult CheckBlitSides( const HostSurface *source ) const;
    HostKeyedPieces *FollowedPieces();
    HostResult Blit( int x, int y, HostSurface *source, const HostRect *sourceRect, uint32_t flags,
                     const uint8_t *backdrop, int backdropPitch );

    HostVideo *video; // not owned: the display object that made this surface
    uint32_t refCount;
    int width;
    int height;
    int pitch;
    uint32_t caps;
    uint8_t *pixels;         // owned: height rows of pitch bytes
    HostSurface *backBuffer; // primary surface only: owned reference to the attached back buffer
    HostPalette *palette;    // not owned
    HostKeyedPieces *pieces; // owned: made with the first colour key, null without memory
    int hasColorKey;
    uint32_t colorKeyLow;
    uint32_t colorKeyHigh;
    int locked;
    int lost;
    int busyLocks;
    int failingRestores;
    int lockAttempts;
    int restoreCount;
    uint32_t changeCount;
};

#endif
