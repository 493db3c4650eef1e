#include "gfx/Image.h"
#include "gfx/ImageDrawingMath.h"

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>

static uint8_t *PixelAddress( uint8_t *pixels, int pitch, Wide x, Wide y ) {
    return pixels + static_cast<ptrdiff_t>( y ) * pitch + static_cast<ptrdiff_t>( x );
}

void FillBytes( void *destination, uint8_t value, int count ) {
    if ( destination == nullptr || count <= 0 ) {
        return;
    }
    std::memset( destination, value, static_cast<size_t>( count ) );
}

void CopyBytes( void *destination, const void *source, int count ) {
    if ( destination == nullptr || source == nullptr || count <= 0 ) {
        return;
    }
    std::memcpy( destination, source, static_cast<size_t>( count ) );
}

void Image::PutPixel( int x, int y, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) || !clipRect.Contains( x, y ) ) {
        return;
    }
    *PixelAddress( pixels, pitch, x, y ) = colour;
}

void Image::DrawHLine( int x1, int x2, int y, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) ) {
        return;
    }
    if ( x1 > x2 ) {
        int swap = x1;
        x1 = x2;
        x2 = swap;
    }
    if ( x2 < clipRect.left || x1 > clipRect.right || y < clipRect.top || y > clipRect.bottom ) {
        return;
    }
    if ( x1 < clipRect.left ) {
        x1 = clipRect.left;
    }
    if ( x2 > clipRect.right ) {
        x2 = clipRect.right;
    }
    FillBytes( PixelAddress( pixels, pitch, x1, y ), colour, x2 - x1 + 1 );
}

void Image::DrawVLine( int x, int y1, int y2, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) ) {
        return;
    }
    if ( y1 > y2 ) {
        int swap = y1;
        y1 = y2;
        y2 = swap;
    }
    if ( x < clipRect.left || x > clipRect.right || y2 < clipRect.top || y1 > clipRect.bottom ) {
        return;
    }
    if ( y2 > clipRect.bottom ) {
        y2 = clipRect.bottom;
    }
    if ( y1 < clipRect.top ) {
        y1 = clipRect.top;
    }
    uint8_t *pixel = PixelAddress( pixels, pitch, x, y1 );
    for ( int y = y1; y <= y2; y++ ) {
        *pixel = colour;
        pixel += pitch;
    }
}

void Image::DrawRect( const Rect &rect, uint8_t colour ) {
    DrawRect( rect.left, rect.top, rect.right, rect.bottom, colour );
}

void Image::DrawRect( int x1, int y1, int x2, int y2, uint8_t colour ) {
    DrawVLine( x1, y1, y2, colour );
    DrawVLine( x2, y1, y2, colour );
    DrawHLine( x1, x2, y1, colour );
    DrawHLine( x1, x2, y2, colour );
}

void Image::FillRect( const Rect &rect, uint8_t colour ) {
    FillRect( rect.left, rect.top, rect.right, rect.bottom, colour );
}

void Image::FillRect( int x1, int y1, int x2, int y2, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) ) {
        return;
    }
    Rect area( x1, y1, x2, y2 );
    if ( !area.Overlaps( clipRect ) ) {
        return;
    }
    area.Intersect( clipRect );
    uint8_t *row = PixelAddress( pixels, pitch, area.left, area.top );
    const int count = area.GetWidth();
    for ( int rowsLeft = area.GetHeight(); rowsLeft > 0; rowsLeft-- ) {
        FillBytes( row, colour, count );
        row += pitch;
    }
}

void Image::Clear( uint8_t colour ) {
    FillRect( GetBounds(), colour );
}

void Image::BlitTo( Image &destination, int x, int y, const Rect &source ) const {
    const Rect &clip = destination.GetClipRect();
    if ( pixels == nullptr || destination.GetPixels() == nullptr || IsEmptyClip( clip ) ) {
        return;
    }
    Rect area = source;
    area.Intersect( GetBounds() );
    if ( area.right < area.left || area.bottom < area.top ) {
        return;
    }
    Wide w = Wide( area.right ) - area.left + 1;
    Wide h = Wide( area.bottom ) - area.top + 1;
    Wide sourceX = area.left, sourceY = area.top;
    Wide toX = x, toY = y;
    if ( toX + w - 1 < clip.left || toX > clip.right || toY + h - 1 < clip.top || toY > clip.bottom ) {
        return;
    }
    if ( toX < clip.left ) {
        sourceX += clip.left - toX;
        w -= clip.left - toX;
        toX = clip.left;
    }
    if ( toX + w - 1 > clip.right ) {
        w = clip.right - toX + 1;
    }
    if ( toY < clip.top ) {
        sourceY += clip.top - toY;
        h -= clip.top - toY;
        toY = clip.top;
    }
    if ( toY + h - 1 > clip.bottom ) {
        h = clip.bottom - toY + 1;
    }
    const uint8_t *from = PixelAddress( pixels, pitch, sourceX, sourceY );
    uint8_t *to = PixelAddress( destination.GetPixels(), destination.GetPitch(), toX, toY );
    // Whole rows on both sides, with no gap between them (a whole screen kept and laid back):
    // one copy. A browser pays for each copy it is asked for, whatever its length.
    if ( w == pitch && w == destination.GetPitch() && w * h <= INT_MAX ) {
        CopyBytes( to, from, int( w * h ) );
        return;
    }
    for ( Wide row = 0; row < h; row++ ) {
        CopyBytes( to, from, int( w ) );
        from += pitch;
        to += destination.GetPitch();
    }
}
