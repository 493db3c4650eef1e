#include "gfx/Image.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>

// Coordinates and radii are plain ints, but sums and products of them (the clipping of a
// line, the terms of the ellipse, x + w - 1 of a blit) are formed in 64 bits so that values
// near the int limits give the same pixels as small ones would, never wrapped ones.
typedef int64_t Wide;

// No game call comes anywhere near this; beyond it a line or an ellipse is refused, which
// keeps every call to a few million steps at most and every term well inside 64 bits.
static const Wide DRAW_LIMIT = Wide( 1 ) << 20;

static int IsEmpty( const Rect &clip ) {
    return clip.right < clip.left || clip.bottom < clip.top;
}

static uint8_t *PixelAddress( uint8_t *pixels, int pitch, Wide x, Wide y ) {
    return pixels + static_cast<ptrdiff_t>( y ) * pitch + static_cast<ptrdiff_t>( x );
}

static Wide Absolute( Wide value ) {
    return value < 0 ? -value : value;
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
    if ( pixels == nullptr || IsEmpty( clipRect ) || !clipRect.Contains( x, y ) ) {
        return;
    }
    *PixelAddress( pixels, pitch, x, y ) = colour;
}

void Image::DrawHLine( int x1, int x2, int y, uint8_t colour ) {
    if ( pixels == nullptr || IsEmpty( clipRect ) ) {
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
    if ( pixels == nullptr || IsEmpty( clipRect ) ) {
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

// Moves one end of a line onto the clip rectangle along the unclipped direction (dx, dy).
// The truncating divisions can leave it just outside, and a line that misses the rectangle
// ends up with both ends outside; the stepping copes with both.
static void ClipLineEnd( Wide &x, Wide &y, Wide dx, Wide dy, const Rect &clip ) {
    if ( x < clip.left ) {
        y += ( clip.left - x ) * dy / dx;
        x = clip.left;
    }
    if ( y < clip.top ) {
        x += dx * ( clip.top - y ) / dy;
        y = clip.top;
    }
    if ( x > clip.right ) {
        y -= ( x - clip.right ) * dy / dx;
        x = clip.right;
    }
    if ( y > clip.bottom ) {
        x -= dx * ( y - clip.bottom ) / dy;
        y = clip.bottom;
    }
}

void Image::DrawLine( int x1, int y1, int x2, int y2, uint8_t colour ) {
    if ( pixels == nullptr || IsEmpty( clipRect ) ) {
        return;
    }
    const Rect &clip = clipRect;
    if ( ( x1 < clip.left && x2 < clip.left ) || ( x1 > clip.right && x2 > clip.right ) ||
         ( y1 < clip.top && y2 < clip.top ) || ( y1 > clip.bottom && y2 > clip.bottom ) ) {
        return;
    }
    if ( x1 == x2 ) {
        DrawVLine( x1, y1, y2, colour );
        return;
    }
    if ( y1 == y2 ) {
        DrawHLine( x1, x2, y1, colour );
        return;
    }
    // Refuse absurd slanted lines (see DRAW_LIMIT); axis-parallel ones were exact above.
    if ( Absolute( x1 ) > DRAW_LIMIT || Absolute( y1 ) > DRAW_LIMIT || Absolute( x2 ) > DRAW_LIMIT ||
         Absolute( y2 ) > DRAW_LIMIT ) {
        return;
    }
    const Wide dx = Wide( x2 ) - x1;
    const Wide dy = Wide( y2 ) - y1;
    Wide ax = x1, ay = y1, bx = x2, by = y2;
    ClipLineEnd( ax, ay, dx, dy, clip );
    ClipLineEnd( bx, by, dx, dy, clip );

    const Wide adx = Absolute( bx - ax );
    const Wide ady = Absolute( by - ay );
    const Wide stepX = bx >= ax ? 1 : -1;
    const Wide stepY = by >= ay ? 1 : -1;
    const Wide major = adx >= ady ? adx : ady;
    const Wide minor = adx >= ady ? ady : adx;
    Wide error = 0;
    Wide x = ax, y = ay;
    for ( Wide i = 0; i <= major; i++ ) {
        if ( x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom ) {
            *PixelAddress( pixels, pitch, x, y ) = colour;
        }
        // The minor coordinate moves only once the error exceeds the major distance, so a
        // slanted line stops one step short of its end in that direction.
        int minorStep = adx == ady;
        if ( !minorStep ) {
            error += minor;
            if ( error > major ) {
                error -= major;
                minorStep = 1;
            }
        }
        if ( adx >= ady ) {
            x += stepX;
            y += minorStep ? stepY : 0;
        } else {
            y += stepY;
            x += minorStep ? stepX : 0;
        }
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
    if ( pixels == nullptr || IsEmpty( clipRect ) ) {
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

// The span from x1 to x2 on row y, clipped like DrawHLine but taking ends that may lie
// beyond the range of an int (an ellipse centred near the limits).
static void FillSpan( Image &image, Wide x1, Wide x2, Wide y, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    if ( x1 > x2 ) {
        Wide swap = x1;
        x1 = x2;
        x2 = swap;
    }
    if ( x2 < clip.left || x1 > clip.right || y < clip.top || y > clip.bottom ) {
        return;
    }
    image.DrawHLine( int( x1 < clip.left ? clip.left : x1 ), int( x2 > clip.right ? clip.right : x2 ),
                     int( y ), colour );
}

static void PlotPoint( Image &image, Wide x, Wide y, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    if ( x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom ) {
        image.PutPixel( int( x ), int( y ), colour );
    }
}

// The midpoint walk shared by the filled and the outlined ellipse: calls `plot` with the
// centre and the current (x, y) offsets, row by row from the top and bottom towards the
// centre. A tie (d = 0) keeps y in the first region and x in the second.
template <typename Plot>
static void WalkEllipse( const Rect &clip, Wide cx, Wide cy, Wide rx, Wide ry, Plot plot ) {
    const Wide spanX = Absolute( rx );
    const Wide spanY = Absolute( ry );
    if ( cx + spanX < clip.left || cx - spanX > clip.right || cy + spanY < clip.top ||
         cy - spanY > clip.bottom ) {
        return;
    }
    const Wide a2 = rx * rx;
    const Wide b2 = ry * ry;
    Wide x = 0;
    Wide y = ry;
    Wide d = b2 - a2 * ry + ( a2 >> 2 );
    Wide px = 0;
    Wide py = 2 * a2 * ry;
    while ( px < py ) {
        plot( x, y );
        if ( d > 0 ) {
            y -= 1;
            py -= 2 * a2;
            d -= py;
        }
        x += 1;
        px += 2 * b2;
        d += b2 + px;
    }
    d += ( 3 * ( a2 - b2 ) ) / 2 - ( px + py ) / 2;
    while ( y >= 0 ) {
        plot( x, y );
        if ( d < 0 ) {
            x += 1;
            px += 2 * b2;
            d += px;
        }
        y -= 1;
        py -= 2 * a2;
        d += a2 - py;
    }
}

void Image::FillEllipse( int cx, int cy, int rx, int ry, uint8_t colour ) {
    // Radii beyond DRAW_LIMIT are refused: the walk is as long as the radii.
    if ( pixels == nullptr || IsEmpty( clipRect ) || Absolute( rx ) > DRAW_LIMIT ||
         Absolute( ry ) > DRAW_LIMIT ) {
        return;
    }
    // The walk visits a row again and again as x grows, each span wider than the last; only
    // the widest one of each row is written, which sets exactly the same pixels.
    Wide rowX = 0, rowY = 0;
    int pending = 0;
    auto flush = [&]() {
        FillSpan( *this, cx + rowX, cx - rowX, cy + rowY, colour );
        if ( rowY != 0 ) {
            FillSpan( *this, cx + rowX, cx - rowX, cy - rowY, colour );
        }
    };
    WalkEllipse( clipRect, cx, cy, rx, ry, [&]( Wide x, Wide y ) {
        if ( pending && y != rowY ) {
            flush();
        }
        rowX = x;
        rowY = y;
        pending = 1;
    } );
    if ( pending ) {
        flush();
    }
}

void Image::DrawEllipse( int cx, int cy, int rx, int ry, uint8_t colour ) {
    // Radii beyond DRAW_LIMIT are refused: the walk is as long as the radii.
    if ( pixels == nullptr || IsEmpty( clipRect ) || Absolute( rx ) > DRAW_LIMIT ||
         Absolute( ry ) > DRAW_LIMIT ) {
        return;
    }
    WalkEllipse( clipRect, cx, cy, rx, ry, [&]( Wide x, Wide y ) {
        PlotPoint( *this, cx + x, cy + y, colour );
        PlotPoint( *this, cx - x, cy + y, colour );
        PlotPoint( *this, cx + x, cy - y, colour );
        PlotPoint( *this, cx - x, cy - y, colour );
    } );
}

void Image::BlitTo( Image &destination, int x, int y, const Rect &source ) const {
    const Rect &clip = destination.GetClipRect();
    if ( pixels == nullptr || destination.GetPixels() == nullptr || IsEmpty( clip ) ) {
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
    for ( Wide row = 0; row < h; row++ ) {
        CopyBytes( to, from, int( w ) );
        from += pitch;
        to += destination.GetPitch();
    }
}
