#include "gfx/Image.h"

#include <cstddef>
#include <cstdint>
#include <new>

Image::Image() : ownsPixels( 0 ), width( 0 ), height( 0 ), pitch( 0 ), pixels( nullptr ), clipRect() {
}

Image::Image( int width, int height ) : Image() {
    Create( width, height );
}

// Owned blocks come from new[], here and in the BMP loader, and only they are freed.
Image::~Image() {
    if ( ownsPixels ) {
        delete[] pixels;
    }
}

int Image::Create( int newWidth, int newHeight ) {
    if ( ownsPixels ) {
        return 0;
    }
    // Every pixel must be reachable by an int offset, so the block stays below 2 GiB.
    if ( newWidth <= 0 || newHeight <= 0 || int64_t( newWidth ) * int64_t( newHeight ) > INT32_MAX ) {
        return 0;
    }
    // A new block starts at colour 0 (empty), so a picture never shows leftover memory.
    pixels = new ( std::nothrow ) uint8_t[size_t( newWidth ) * size_t( newHeight )]();
    if ( pixels == nullptr ) {
        return 0;
    }
    ownsPixels = 1;
    width = newWidth;
    height = newHeight;
    pitch = newWidth;
    SetClipRect( GetBounds() );
    return 1;
}

Rect Image::GetBounds() const {
    Rect bounds;
    bounds.right = width - 1;
    bounds.bottom = height - 1;
    return bounds;
}

void Image::SetClipRect( const Rect &rect ) {
    clipRect = rect;
    clipRect.Intersect( GetBounds() );
}

void Image::SetClipRect( int left, int top, int right, int bottom ) {
    SetClipRect( Rect( left, top, right, bottom ) );
}
