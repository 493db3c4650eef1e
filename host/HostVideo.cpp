#include "host/HostVideo.h"

#include "host/HostBackend.h"
#include "host/HostPalette.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"

#include <new>

// Larger surfaces than this are a caller's mistake (a garbage size), not a picture.
static const int MAX_SURFACE_SIDE = 16384;

// Without a mode of its own the device shows the desktop, which the game treats as 640 x 480.
HostVideo::HostVideo()
    : refCount( 1 ), window( nullptr ), fullScreen( 0 ), modeWidth( 640 ), modeHeight( 480 ) {
}

HostVideo::~HostVideo() {
}

uint32_t HostVideo::AddRef() {
    return ++refCount;
}

uint32_t HostVideo::Release() {
    uint32_t remaining = --refCount;
    if ( remaining == 0 ) {
        delete this;
    }
    return remaining;
}

HostResult HostVideo::SetCooperativeLevel( HostWindow *newWindow, uint32_t flags ) {
    int wantsFullScreen = ( flags & DDSCL_FULLSCREEN ) != 0;
    // Taking the whole screen needs a window to take it for, and exclusive use of it.
    if ( wantsFullScreen && ( !HostIsWindow( newWindow ) || ( flags & DDSCL_EXCLUSIVE ) == 0 ) ) {
        return DDERR_INVALIDPARAMS;
    }
    window = newWindow;
    fullScreen = wantsFullScreen;
    return HOST_OK;
}

HostResult HostVideo::SetDisplayMode( int width, int height, int bitsPerPixel ) {
    HostBackend *backend = HostGetBackend();
    if ( width <= 0 || height <= 0 || width > MAX_SURFACE_SIDE || height > MAX_SURFACE_SIDE ||
         bitsPerPixel != 8 ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( backend == nullptr || !backend->SetDisplayMode( width, height, bitsPerPixel ) ) {
        return DDERR_GENERIC;
    }
    modeWidth = width;
    modeHeight = height;
    return HOST_OK;
}

// Makes one surface in ordinary memory with the backend's pitch; null if there is no memory.
static HostSurface *MakeSurface( HostVideo *video, int width, int height, uint32_t caps ) {
    HostBackend *backend = HostGetBackend();
    int pitch = backend != nullptr ? backend->GetSurfacePitch( width ) : width;
    if ( pitch < width ) {
        pitch = width;
    }
    HostSurface *surface = new ( std::nothrow ) HostSurface( video, width, height, pitch, caps );
    if ( surface != nullptr && surface->GetPixels() == nullptr ) {
        surface->Release();
        return nullptr;
    }
    return surface;
}

static int IsSaneSize( int64_t width, int64_t height ) {
    return width > 0 && height > 0 && width <= MAX_SURFACE_SIDE && height <= MAX_SURFACE_SIDE;
}

HostResult HostVideo::CreateSurface( HostSurfaceDesc *desc, HostSurface **out, void * ) {
    if ( desc == nullptr || out == nullptr || ( desc->flags & DDSD_CAPS ) == 0 ) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if ( desc->caps & DDSCAPS_PRIMARYSURFACE ) {
        return CreatePrimary( desc, out );
    }
    if ( ( desc->caps & DDSCAPS_OFFSCREENPLAIN ) == 0 ||
         ( desc->flags & ( DDSD_WIDTH | DDSD_HEIGHT ) ) != ( DDSD_WIDTH | DDSD_HEIGHT ) ||
         !IsSaneSize( desc->width, desc->height ) ) {
        return DDERR_INVALIDPARAMS;
    }
    HostSurface *surface = MakeSurface( this, int( desc->width ), int( desc->height ), desc->caps );
    if ( surface == nullptr ) {
        return DDERR_OUTOFMEMORY;
    }
    if ( desc->flags & DDSD_CKSRCBLT ) {
        surface->SetColorKey( desc->colorKeyLow, desc->colorKeyHigh );
    }
    *out = surface;
    return HOST_OK;
}

// The visible surface is the size of the mode. A flipping chain exists only in exclusive full
// screen, with exactly one back buffer, as the game uses it.
HostResult HostVideo::CreatePrimary( HostSurfaceDesc *desc, HostSurface **out ) {
    const uint32_t chainCaps = DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    int wantsChain = ( desc->caps & chainCaps ) != 0;
    if ( wantsChain && ( ( desc->caps & chainCaps ) != chainCaps || !fullScreen ||
                         ( desc->flags & DDSD_BACKBUFFERCOUNT ) == 0 || desc->backBufferCount != 1 ) ) {
        return DDERR_INVALIDPARAMS;
    }
    HostSurface *primary = MakeSurface( this, modeWidth, modeHeight, desc->caps );
    if ( primary == nullptr ) {
        return DDERR_OUTOFMEMORY;
    }
    if ( wantsChain ) {
        HostSurface *back = MakeSurface( this, modeWidth, modeHeight, DDSCAPS_BACKBUFFER | DDSCAPS_FLIP );
        if ( back == nullptr ) {
            primary->Release();
            return DDERR_OUTOFMEMORY;
        }
        primary->AttachBackBuffer( back );
    }
    *out = primary;
    return HOST_OK;
}

HostResult HostVideo::CreatePalette( uint32_t flags, const HostPaletteEntry *entries, HostPalette **out,
                                     void * ) {
    if ( out == nullptr || entries == nullptr || ( flags & DDPCAPS_8BIT ) == 0 ) {
        return DDERR_INVALIDPARAMS;
    }
    HostPalette *palette = new ( std::nothrow ) HostPalette();
    if ( palette == nullptr ) {
        return DDERR_OUTOFMEMORY;
    }
    palette->SetEntries( 0, 0, 256, entries );
    *out = palette;
    return HOST_OK;
}

void HostVideo::Present( const HostSurface &front ) {
    HostBackend *backend = HostGetBackend();
    if ( backend == nullptr || front.GetPixels() == nullptr ) {
        return;
    }
    const HostPaletteEntry *table = front.GetPalette() != nullptr ? front.GetPalette()->GetTable() : nullptr;
    backend->Present( front.GetPixels(), front.GetPitch(), front.GetWidth(), front.GetHeight(), table );
}

HostResult HostVideoCreate( void *, HostVideo **out, void * ) {
    if ( out == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if ( HostGetBackend() == nullptr ) {
        return DDERR_GENERIC;
    }
    *out = new ( std::nothrow ) HostVideo();
    return *out != nullptr ? HOST_OK : DDERR_OUTOFMEMORY;
}
