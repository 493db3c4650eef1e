#include "platform/Display.h"

#include "host/HostPalette.h"
#include "host/HostSurface.h"
#include "host/HostVideo.h"
#include "platform/SurfaceLock.h"

#include <cstdio>
#include <cstring>

Display::Display()
    : window( nullptr ), fullScreen( 0 ), directDraw( nullptr ), width( 0 ), height( 0 ), primary( nullptr ),
      backBuffer( nullptr ), palette( nullptr ), backImage(), lastError( "" ), lentNothing( 0 ) {
    std::memset( &surfaceDesc, 0, sizeof( surfaceDesc ) );
    std::memset( paletteEntries, 0, sizeof( paletteEntries ) );
    lastErrorText[0] = '\0';
}

Display::~Display() {
    Close();
}

// Children before the device. Our device does not own its palette, so it is released here
// too, after the primary surface that may still point at it.
void Display::Close() {
    if ( directDraw != nullptr ) {
        if ( backBuffer != nullptr ) {
            backBuffer->Release();
        }
        if ( primary != nullptr ) {
            primary->Release();
        }
        if ( palette != nullptr ) {
            palette->Release();
        }
        directDraw->Release();
    }
    directDraw = nullptr;
    primary = nullptr;
    backBuffer = nullptr;
    palette = nullptr;
    window = nullptr;
    fullScreen = 0;
    width = 0;
    height = 0;
    lentNothing = 0;
    backImage.SetPixels( nullptr );
    std::memset( paletteEntries, 0, sizeof( paletteEntries ) );
}

int Display::Fail( const char *reason ) {
    lastError = reason;
    return 0;
}

int Display::Init( HostWindow *newWindow, uint8_t newFullScreen, int newWidth, int newHeight,
                   int bitsPerPixel ) {
    if ( directDraw != nullptr ) {
        return Fail( "the display is up already" );
    }
    window = newWindow;
    width = newWidth;
    height = newHeight;
    fullScreen = newFullScreen;
    if ( HostVideoCreate( nullptr, &directDraw, nullptr ) != HOST_OK ) {
        return Fail( "cannot create the display device" );
    }
    uint32_t level = fullScreen == 1 ? DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FULLSCREEN : DDSCL_NORMAL;
    if ( directDraw->SetCooperativeLevel( window, level ) != HOST_OK ) {
        return Fail( "cannot take the screen for the window" );
    }
    if ( fullScreen == 1 && directDraw->SetDisplayMode( width, height, bitsPerPixel ) != HOST_OK ) {
        std::snprintf( lastErrorText, sizeof( lastErrorText ), "cannot set %d x %d x %d", width, height,
                       bitsPerPixel );
        return Fail( lastErrorText );
    }
    std::memset( &surfaceDesc, 0, sizeof( surfaceDesc ) );
    surfaceDesc.size = sizeof( surfaceDesc );
    surfaceDesc.flags = DDSD_CAPS;
    surfaceDesc.caps = DDSCAPS_PRIMARYSURFACE;
    surfaceDesc.backBufferCount = 1;
    if ( fullScreen == 1 ) {
        surfaceDesc.flags |= DDSD_BACKBUFFERCOUNT;
        surfaceDesc.caps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    }
    const HostResult created = directDraw->CreateSurface( &surfaceDesc, &primary, nullptr );
    if ( created != HOST_OK ) {
        // A machine short of memory is told as such, as everywhere else at start-up.
        return Fail( created == DDERR_OUTOFMEMORY ? "out of memory" : "cannot create the primary surface" );
    }
    if ( !CreateBackBuffer() ) {
        return Fail( "cannot create the back buffer" );
    }
    backImage.SetWidth( width );
    backImage.SetHeight( height );
    backImage.SetClipRect( backImage.GetBounds() );
    ClearBackBuffer();
    if ( directDraw->CreatePalette( DDPCAPS_8BIT, paletteEntries, &palette, nullptr ) != HOST_OK ) {
        return Fail( "cannot create the palette" );
    }
    lastError = "";
    return 1;
}

int Display::InitUnseen( int newWidth, int newHeight ) {
    if ( directDraw != nullptr || newWidth <= 0 || newHeight <= 0 ) {
        return Fail( "cannot bring up a display nobody sees" );
    }
    width = newWidth;
    height = newHeight;
    lastError = "";
    return 1;
}

// Full screen: the second buffer of the flipping chain. Windowed: a plain off-screen surface
// of the display's size (the host layer has no clipper to attach to the primary surface).
int Display::CreateBackBuffer() {
    if ( fullScreen == 1 ) {
        return primary->GetAttachedSurface( DDSCAPS_BACKBUFFER, &backBuffer ) == HOST_OK;
    }
    surfaceDesc.flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    surfaceDesc.caps = DDSCAPS_OFFSCREENPLAIN;
    surfaceDesc.width = uint32_t( width );
    surfaceDesc.height = uint32_t( height );
    return directDraw->CreateSurface( &surfaceDesc, &backBuffer, nullptr ) == HOST_OK;
}

// The first frame starts from colour 0; the padding past each row's width is not ours.
void Display::ClearBackBuffer() {
    Image &image = LockBackBuffer();
    if ( image.GetPixels() != nullptr ) {
        for ( int y = 0; y < image.GetHeight(); y++ ) {
            std::memset( image.GetPixels() + size_t( y ) * size_t( image.GetPitch() ), 0,
                         size_t( image.GetWidth() ) );
        }
    }
    UnlockBackBuffer();
}

// Lends an Image that draws nothing: no pixels and an empty clip rectangle.
void Display::LendNothing() {
    Rect nothing;
    nothing.right = -1;
    nothing.bottom = -1;
    backImage.SetPixels( nullptr );
    backImage.SetClipRect( nothing );
    lentNothing = 1;
}

// Waits out a busy back buffer and brings a lost one back; one that cannot be had (never
// created, stuck, or refusing to be restored) is lent as an Image that draws nothing, so the
// frame is skipped instead of the game hanging.
Image &Display::LockBackBuffer() {
    if ( backBuffer == nullptr ) {
        LendNothing();
        return backImage;
    }
    if ( LockSurface( *backBuffer, surfaceDesc, MAX_RESTORES_PER_LOCK ) != HOST_OK ) {
        LendNothing();
        return backImage;
    }
    backImage.SetPixels( static_cast<uint8_t *>( surfaceDesc.surface ) );
    backImage.SetPitch( surfaceDesc.pitch );
    if ( lentNothing ) {
        backImage.SetClipRect( backImage.GetBounds() );
        lentNothing = 0;
    }
    return backImage;
}

void Display::UnlockBackBuffer() {
    if ( backBuffer != nullptr ) {
        backBuffer->Unlock( nullptr );
    }
}
