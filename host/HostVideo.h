#ifndef KELTO_HOST_HOSTVIDEO_H
#define KELTO_HOST_HOSTVIDEO_H

#include "host/HostSurfaceDesc.h"
#include "host/HostTypes.h"

class HostPalette;
class HostSurface;

// The display device: takes the screen for a window, sets the 8-bit mode and makes the
// surfaces and the palette. Created by HostVideoCreate, ended by Release.
class HostVideo {
public:
    HostVideo();
    virtual ~HostVideo();

    uint32_t AddRef();
    uint32_t Release();

    HostResult SetCooperativeLevel( HostWindow *window, uint32_t flags );
    HostResult SetDisplayMode( int width, int height, int bitsPerPixel );
    HostResult CreateSurface( HostSurfaceDesc *desc, HostSurface **out, void *outer );
    HostResult CreatePalette( uint32_t flags, const HostPaletteEntry *entries, HostPalette **out,
                              void *outer );

    int GetModeWidth() const { return modeWidth; }
    int GetModeHeight() const { return modeHeight; }
    int IsFullScreen() const { return fullScreen; }

    // Called by the primary surface's flip: hands the new front buffer to the backend.
    void Present( const HostSurface &front );

private:
    HostResult CreatePrimary( HostSurfaceDesc *desc, HostSurface **out );

    uint32_t refCount;
    HostWindow *window; // not owned
    int fullScreen;
    int modeWidth;
    int modeHeight;
};

// Creates the display device of the current backend.
HostResult HostVideoCreate( void *driver, HostVideo **out, void *outer );

#endif
