#include "gfx/Image.h"
#include "gfx/ImageDrawingMath.h"

// One clipping move: offset * along / across, the product first and the division truncating
// toward zero. `within32` drops to 0 when a value leaves the range of the game's 32-bit steps.
static Exact ClipMove( Exact offset, Exact along, Exact across, int &within32 ) {
    const Exact product = offset * along;
    const Exact move = product / across;
    within32 &= Fits32( offset ) && Fits32( product ) && Fits32( move );
    return move;
}

// Moves one end of a line onto the clip rectangle along the unclipped direction (dx, dy).
// The truncating divisions can leave it just outside, and a line that misses the rectangle
// ends up with both ends outside; the stepping copes with both.
static void ClipLineEnd( Exact &x, Exact &y, Exact dx, Exact dy, const Rect &clip, int &within32 ) {
    if ( x < clip.left ) {
        y += ClipMove( clip.left - x, dy, dx, within32 );
        x = clip.left;
    }
    if ( y < clip.top ) {
        x += ClipMove( clip.top - y, dx, dy, within32 );
        y = clip.top;
    }
    if ( x > clip.right ) {
        y -= ClipMove( x - clip.right, dy, dx, within32 );
        x = clip.right;
    }
    if ( y > clip.bottom ) {
        x -= ClipMove( y - clip.bottom, dx, dy, within32 );
        y = clip.bottom;
    }
    within32 &= Fits32( x ) && Fits32( y );
}

// Whether stepping from (ax, ay) to (bx, by) keeps the differences, the error term (at most the
// two distances together) and the position one step past the end inside 32 bits.
static int SteppingFits32( Exact ax, Exact ay, Exact bx, Exact by ) {
    const Exact adx = bx >= ax ? bx - ax : ax - bx;
    const Exact ady = by >= ay ? by - ay : ay - by;
    return Fits32( adx + ady + 1 ) && Fits32( bx + 1 ) && Fits32( bx - 1 ) && Fits32( by + 1 ) &&
           Fits32( by - 1 );
}

// The offsets k >= 0 for which start + sign * k lies in [low, high].
static void OffsetsWithin( Exact start, Exact sign, Exact low, Exact high, Exact &first, Exact &last ) {
    first = sign > 0 ? low - start : start - high;
    last = sign > 0 ? high - start : start - low;
}

// A stepped line, seen along its major and minor directions. Pixel i (0 to major) lies i steps
// along and MinorAt( i ) steps across: the minor coordinate moves after a pixel once the error,
// growing by `minor` a pixel, passes `major`, so it stops one step short at the end.
struct SteppedLine {
    Exact major;
    Exact minor;
    int diagonal;

    Exact MinorAt( Exact i ) const {
        if ( diagonal ) {
            return i;
        }
        return i * minor < 1 ? 0 : ( i * minor - 1 ) / major;
    }
    // The first pixel at least m steps across, or one past the last pixel when there is none.
    Exact FirstAtMinor( Exact m ) const {
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
static void StepLine( Image &image, Exact ax, Exact ay, Exact bx, Exact by, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    const Exact adx = bx >= ax ? bx - ax : ax - bx;
    const Exact ady = by >= ay ? by - ay : ay - by;
    const int xMajor = adx >= ady;
    const SteppedLine line = { xMajor ? adx : ady, xMajor ? ady : adx, adx == ady };
    const Exact stepX = bx >= ax ? 1 : -1;
    const Exact stepY = by >= ay ? 1 : -1;

    Exact first, last, firstX, lastX, firstY, lastY;
    OffsetsWithin( ax, stepX, clip.left, clip.right, firstX, lastX );
    OffsetsWithin( ay, stepY, clip.top, clip.bottom, firstY, lastY );
    if ( xMajor ) {
        first = Larger( firstX, line.FirstAtMinor( firstY ) );
        last = Smaller( lastX, line.FirstAtMinor( lastY + 1 ) - 1 );
    } else {
        first = Larger( firstY, line.FirstAtMinor( firstX ) );
        last = Smaller( lastY, line.FirstAtMinor( lastX + 1 ) - 1 );
    }
    first = Larger( first, 0 );
    last = Smaller( last, line.major );
    if ( first > last ) {
        return;
    }

    const Exact across = line.MinorAt( first );
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
    const Exact dx = Exact( x2 ) - x1;
    const Exact dy = Exact( y2 ) - y1;
    int within32 = Fits32( dx ) && Fits32( dy );
    Exact ax = x1, ay = y1, bx = x2, by = y2;
    ClipLineEnd( ax, ay, dx, dy, clip, within32 );
    ClipLineEnd( bx, by, dx, dy, clip, within32 );
    within32 &= SteppingFits32( ax, ay, bx, by );
    if ( within32 ) {
        StepLine( *this, ax, ay, bx, by, colour );
    } else {
        // Where 32-bit steps would wrap, the clipping's rounding has no sound meaning; the line
        // is the one stepped from end to end, cut to the clip rectangle.
        StepLine( *this, x1, y1, x2, y2, colour );
    }
}
