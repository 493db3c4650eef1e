#ifndef KELTO_LAND_LANDTILE_H
#define KELTO_LAND_LANDTILE_H

#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "host/HostSurfaceDesc.h"

class Display;
class HostSurface;

// A rectangular piece of the landscape held in an off-screen surface, so that the land is
// copied to the screen by the display's keyed blit rather than by software every frame.
// Between Lock and Unlock the tile lends its surface memory as an Image, for loading, for
// carving craters and for refilling after a loss.
class LandTile {
public:
    LandTile();
    LandTile( Display *display, int width, int height, int keyLow, int keyHigh );
    virtual ~LandTile();

    int Create( Display *display, int width, int height, int keyLow, int keyHigh );
    int Resize( int width, int height );

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    Rect GetBounds() const { return Rect( 0, 0, width - 1, height - 1 ); }
    HostSurface *GetSurface() const { return surface; }

    // A lost surface, or none at all, yields the Image with no pixels and an empty clip
    // rectangle, so that drawing into it does nothing.
    Image &Lock();
    void Unlock();

    int LoadBmp( const char *fileName );

private:
    LandTile( const LandTile & ) = delete;
    LandTile &operator=( const LandTile & ) = delete;

    int MakeSurface( int newWidth, int newHeight );
    void DescribeSurface( int newWidth, int newHeight );
    Image &LockFailed();

    Display *display; // not owned
    int width;
    int height;
    HostSurfaceDesc surfaceDesc;
    HostSurface *surface; // owned
    Image image;          // a view of the surface memory while locked
};

#endif
