#include "land/LandTile.h"

#include "gfx/BmpFile.h"
#include "host/HostSurface.h"
#include "host/HostVideo.h"
#include "platform/Display.h"
#include "platform/SurfaceLock.h"

LandTile::LandTile() : display( nullptr ), width( 0 ), height( 0 ), surface( nullptr ) {
    FillBytes( &surfaceDesc, 0, sizeof surfaceDesc );
}

LandTile::LandTile( Display *display, int width, int height, int keyLow, int keyHigh ) : LandTile() {
    Create( display, width, height, keyLow, keyHigh );
}

LandTile::~LandTile() {
    if ( surface != nullptr ) {
        surface->Release();
        surface = nullptr;
    }
}

int LandTile::Create( Display *newDisplay, int newWidth, int newHeight, int keyLow, int keyHigh ) {
    if ( newDisplay == nullptr || surface != nullptr ) {
        return 0;
    }
    if ( newWidth <= 0 || newWidth > newDisplay->GetWidth() ) {
        return 0;
    }
    if ( newHeight <= 0 || newHeight > newDisplay->GetHeight() ) {
        return 0;
    }
    display = newDisplay;

    // No pixel format and no memory location: the surface takes the display's 8-bit format
    // and lives wherever the platform likes.
    FillBytes( &surfaceDesc, 0, sizeof surfaceDesc );
    surfaceDesc.size = sizeof surfaceDesc;
    surfaceDesc.flags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_CKSRCBLT;
    surfaceDesc.width = uint32_t( newWidth );
    surfaceDesc.height = uint32_t( newHeight );
    surfaceDesc.colorKeyLow = uint32_t( keyLow );
    surfaceDesc.colorKeyHigh = uint32_t( keyHigh );
    surfaceDesc.caps = DDSCAPS_OFFSCREENPLAIN;
    return MakeSurface( newWidth, newHeight );
}

int LandTile::Resize( int newWidth, int newHeight ) {
    if ( surface == nullptr ) {
        return 0;
    }
    if ( newWidth <= 0 || newWidth > display->GetWidth() || newHeight <= 0 ||
         newHeight > display->GetHeight() ) {
        return 0;
    }
    // Always a new surface, even for the same size: the old pixels are gone either way.
    surface->Release();
    surface = nullptr;
    surfaceDesc.width = uint32_t( newWidth );
    surfaceDesc.height = uint32_t( newHeight );
    return MakeSurface( newWidth, newHeight );
}

int LandTile::MakeSurface( int newWidth, int newHeight ) {
    HostVideo *video = display->GetDirectDraw();
    if ( video == nullptr || video->CreateSurface( &surfaceDesc, &surface, nullptr ) != HOST_OK ) {
        surface = nullptr;
        return 0;
    }
    DescribeSurface( newWidth, newHeight );
    return 1;
}

void LandTile::DescribeSurface( int newWidth, int newHeight ) {
    width = newWidth;
    height = newHeight;
    image.SetWidth( newWidth );
    image.SetHeight( newHeight );
    // Provisional: every lock reports the real pitch.
    image.SetPitch( newWidth );
    image.SetPixels( nullptr );
    image.SetClipRect( image.GetBounds() );
}

Image &LandTile::Lock() {
    if ( surface == nullptr ) {
        return LockFailed();
    }
    HostSurfaceDesc lockDesc;
    FillBytes( &lockDesc, 0, sizeof lockDesc );
    // A lost tile is not restored here: its memory would come back without the land, so the
    // World's draw restores and refills it, and until then nothing gets drawn.
    if ( LockSurface( *surface, lockDesc, 0 ) != HOST_OK ) {
        return LockFailed();
    }
    image.SetPixels( static_cast<uint8_t *>( lockDesc.surface ) );
    image.SetPitch( lockDesc.pitch );
    image.SetClipRect( image.GetBounds() );
    return image;
}

Image &LandTile::LockFailed() {
    // Empty across and down, so that no drawing operation can reach the missing pixels.
    Rect nothing;
    nothing.right = -1;
    nothing.bottom = -1;
    image.SetPixels( nullptr );
    image.SetClipRect( nothing );
    return image;
}

void LandTile::Unlock() {
    if ( surface != nullptr ) {
        surface->Unlock( nullptr );
    }
}

int LandTile::LoadBmp( const char *fileName ) {
    BmpFile file;
    if ( !file.Load( fileName ) ) {
        return 0;
    }
    if ( surface == nullptr ) {
        return 0;
    }
    // The rows go straight into the surface, so it must have exactly the picture's size.
    if ( file.GetWidth() != width || file.GetHeight() != height ) {
        if ( !Resize( file.GetWidth(), file.GetHeight() ) ) {
            return 0;
        }
    }
    Image &locked = Lock();
    if ( locked.GetPixels() == nullptr ) {
        return 0;
    }
    const int result = file.CopyRows( locked.GetPixels(), locked.GetPitch() );
    Unlock();
    return result;
}
