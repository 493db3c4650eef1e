#include "gfx/Image.h"
#include "gfx/ImageDrawingMath.h"

namespace {

// The line's arithmetic runs in 128 bits where its values may need them, and in 64 where every
// coordinate is small enough that no product can pass 63 bits: the same exact integers either
// way, without the 128-bit multiplications and divisions (calls to the compiler's helpers in
// the browser's 32-bit code) for the lines the game draws.
const int SMALL_LINE = 1 << 24;

inline int IsSmall( int value ) {
    return value >= -SMALL_LINE && value <= SMALL_LINE;
}

template <typename Number> Number LargerOf( Number a, Number b ) {
    return a > b ? a : b;
}

template <typename Number> Number SmallerOf( Number a, Number b ) {
    return a < b ? a : b;
}

// One clipping move: offset * along / across, the product first and the division truncating
// toward zero. `within32` drops to 0 when a value leaves the range of the game's 32-bit steps.
template <typename Number> Number ClipMove( Number offset, Number along, Number across, int &within32 ) {
    const Number product = offset * along;
    const Number move = product / across;
    within32 &= Fits32( offset ) && Fits32( product ) && Fits32( move );
    return move;
}

// Moves one end of a line onto the clip rectangle along the unclipped direction (dx, dy).
// The truncating divisions can leave it just outside, and a line that misses the rectangle
// ends up with both ends outside; the stepping copes with both.
template <typename Number>
void ClipLineEnd( Number &x, Number &y, Number dx, Number dy, const Rect &clip, int &within32 ) {
    if ( x < clip.left ) {
        y += ClipMove<Number>( clip.left - x, dy, dx, within32 );
        x = clip.left;
    }
    if ( y < clip.top ) {
        x += ClipMove<Number>( clip.top - y, dx, dy, within32 );
        y = clip.top;
    }
    if ( x > clip.right ) {
        y -= ClipMove<Number>( x - clip.right, dy, dx, within32 );
        x = clip.right;
    }
    if ( y > clip.bottom ) {
        x -= ClipMove<Number>( y - clip.bottom, dx, dy, within32 );
        y = clip.bottom;
    }
    within32 &= Fits32( x ) && Fits32( y );
}

// Whether stepping from (ax, ay) to (bx, by) keeps the differences, the error term (at most the
// two distances together) and the position one step past the end inside 32 bits.
template <typename Number> int SteppingFits32( Number ax, Number ay, Number bx, Number by ) {
    const Number adx = bx >= ax ? bx - ax : ax - bx;
    const Number ady = by >= ay ? by - ay : ay - by;
    return Fits32( adx + ady + 1 ) && Fits32( bx + 1 ) && Fits32( bx - 1 ) && Fits32( by + 1 ) &&
           Fits32( by - 1 );
}

// The offsets k >= 0 for which start + sign * k lies in [low, high].
template <typename Number>
void OffsetsWithin( Number start, Number sign, Number low, Number high, Number &first, Number &last ) {
    first = sign > 0 ? low - start : start - high;
    last = sign > 0 ? high - start : start - low;
}

// A stepped line, seen along its major and minor directions. Pixel i (0 to major) lies i steps
// along and MinorAt( i ) steps across: the minor coordinate moves after a pixel once the error,
// growing by `minor` a pixel, passes `major`, so it stops one step short at the end.
template <typename Number> struct SteppedLine {
    Number major;
    Number minor;
    int diagonal;

    Number MinorAt( Number i ) const {
        if ( diagonal ) {
            return i;
        }
        return i * minor < 1 ? 0 : ( i * minor - 1 ) / major;
    }
    // The first pixel at least m steps across, or one past the last pixel when there is none.
    Number FirstAtMinor( Number m ) const {
        if ( m <= 0 ) {
            return 0;
        }
        if ( diagonal ) {
            return m;
        }
        return minor == 0 ? major + 1 : ( m * major + minor ) / minor;
    }
};

// Steps the line from (ax, ay) to (bx, by), the major coordinate every pixel and the minor one
// when the error passes the major distance, and writes the pixels that fall inside the clip
// rectangle. They form one run of the steps, found directly, so a line whose ends lie far
// outside costs no more than its visible part.
template <typename Number>
void StepLine( Image &image, Number ax, Number ay, Number bx, Number by, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    const Number adx = bx >= ax ? bx - ax : ax - bx;
    const Number ady = by >= ay ? by - ay : ay - by;
    const int xMajor = adx >= ady;
    const SteppedLine<Number> line = { xMajor ? adx : ady, xMajor ? ady : adx, adx == ady };
    const Number stepX = bx >= ax ? 1 : -1;
    const Number stepY = by >= ay ? 1 : -1;

    Number first, last, firstX, lastX, firstY, lastY;
    OffsetsWithin<Number>( ax, stepX, clip.left, clip.right, firstX, lastX );
    OffsetsWithin<Number>( ay, stepY, clip.top, clip.bottom, firstY, lastY );
    if ( xMajor ) {
        first = LargerOf<Number>( firstX, line.FirstAtMinor( firstY ) );
        last = SmallerOf<Number>( lastX, line.FirstAtMinor( lastY + 1 ) - 1 );
    } else {
        first = LargerOf<Number>( firstY, line.FirstAtMinor( firstX ) );
        last = SmallerOf<Number>( lastY, line.FirstAtMinor( lastX + 1 ) - 1 );
    }
    first = LargerOf<Number>( first, 0 );
    last = SmallerOf<Number>( last, line.major );
    if ( first > last ) {
        return;
    }

    const Number across = line.MinorAt( first );
    const Wide x = Wide( ax + stepX * ( xMajor ? first : across ) );
    const Wide y = Wide( ay + stepY * ( xMajor ? across : first ) );
    const Wide major = Wide( line.major ), minor = Wide( line.minor );
    Wide error = line.diagonal ? 0 : Wide( first * line.minor - across * line.major );
    const Wide alongStep = xMajor ? Wide( stepX ) : Wide( stepY ) * image.GetPitch();
    const Wide acrossStep = xMajor ? Wide( stepY ) * image.GetPitch() : Wide( stepX );
    Wide offset = y * image.GetPitch() + x;
    for ( Wide count = Wide( last - first ); count >= 0; count-- ) {
        image.GetPixels()[offset] = colour;
        offset += alongStep;
        if ( line.diagonal ) {
            offset += acrossStep;
        } else {
            error += minor;
            if ( error > major ) {
                error -= major;
                offset += acrossStep;
            }
        }
    }
}

// Clips a line that has both a width and a height and steps it, in `Number`'s arithmetic.
template <typename Number> void DrawLineIn( Image &image, int x1, int y1, int x2, int y2, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    const Number dx = Number( x2 ) - x1;
    const Number dy = Number( y2 ) - y1;
    int within32 = Fits32( dx ) && Fits32( dy );
    Number ax = x1, ay = y1, bx = x2, by = y2;
    ClipLineEnd( ax, ay, dx, dy, clip, within32 );
    ClipLineEnd( bx, by, dx, dy, clip, within32 );
    within32 &= SteppingFits32( ax, ay, bx, by );
    if ( within32 ) {
        StepLine( image, ax, ay, bx, by, colour );
    } else {
        // Where 32-bit steps would wrap, the clipping's rounding has no sound meaning; the line
        // is the one stepped from end to end, cut to the clip rectangle.
        StepLine<Number>( image, x1, y1, x2, y2, colour );
    }
}

} // namespace

void Image::DrawLine( int x1, int y1, int x2, int y2, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) ) {
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
    // Both ends and the clip rectangle within 2^24: the differences stay within 2^25, every
    // clipped end between the ends, so every product within 2^50.
    if ( IsSmall( x1 ) && IsSmall( y1 ) && IsSmall( x2 ) && IsSmall( y2 ) && IsSmall( clip.left ) &&
         IsSmall( clip.top ) && IsSmall( clip.right ) && IsSmall( clip.bottom ) ) {
        DrawLineIn<int64_t>( *this, x1, y1, x2, y2, colour );
    } else {
        DrawLineIn<Exact>( *this, x1, y1, x2, y2, colour );
    }
}
