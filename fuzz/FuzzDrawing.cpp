// Fuzzes every drawing operation of an Image with coordinates, radii and clip rectangles that
// reach the int limits. Nothing may be written outside the clip rectangle (the guard band
// around the Image and the pixels of the Image outside the clip are compared with a snapshot),
// the operations with a simple exact result (pixels, spans, rectangles, clearing, copying, lines
// with ends near the picture) must give exactly that result, and no call may take long
// (libFuzzer's -timeout).

#include "fuzz/FuzzSupport.h"

#include "gfx/Image.h"
#include "gfx/Rect.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

enum DrawingOp {
    OP_PUT_PIXEL,
    OP_HLINE,
    OP_VLINE,
    OP_LINE,
    OP_RECT,
    OP_RECT_FORM,
    OP_FILL_RECT,
    OP_FILL_RECT_FORM,
    OP_CLEAR,
    OP_ELLIPSE,
    OP_FILL_ELLIPSE,
    OP_BLIT,
    OP_SET_CLIP,
    OP_COUNT
};

const int MAX_OPS = 48;

// Inclusive 64-bit ranges, so that the expected results are computed without overflow.
bool Within( int64_t value, int64_t a, int64_t b ) {
    return value >= std::min( a, b ) && value <= std::max( a, b );
}

void CheckClipInsideBounds( const Image &image ) {
    const Rect &clip = image.GetClipRect();
    if ( clip.right < clip.left || clip.bottom < clip.top ) {
        return;
    }
    FUZZ_CHECK( clip.left >= 0 && clip.top >= 0 && clip.right < image.GetWidth() &&
                    clip.bottom < image.GetHeight(),
                "clip (%d, %d, %d, %d) reaches outside a %d x %d image", clip.left, clip.top, clip.right,
                clip.bottom, image.GetWidth(), image.GetHeight() );
}

// Ends this near keep every step of the game's clipping well inside 32 bits and the stepping
// short, so the line is checked pixel for pixel there.
const int64_t NEAR_LINE = 4096;

// The game's clipping of one end: products first, divisions truncating toward zero.
void ClipEnd( int64_t &x, int64_t &y, int64_t dx, int64_t dy, const Rect &clip ) {
    if ( x < clip.left ) {
        y += ( clip.left - x ) * dy / dx, x = clip.left;
    }
    if ( y < clip.top ) {
        x += dx * ( clip.top - y ) / dy, y = clip.top;
    }
    if ( x > clip.right ) {
        y -= ( x - clip.right ) * dy / dx, x = clip.right;
    }
    if ( y > clip.bottom ) {
        x -= dx * ( y - clip.bottom ) / dy, y = clip.bottom;
    }
}

// Lines with near ends are exactly the game's: nothing when both ends lie beyond one edge,
// spans when axis-parallel, and otherwise both ends clipped and the line stepped from them, the
// major coordinate advancing every pixel and the minor one whenever the error term exceeds the
// major distance, each pixel written only inside the clip. Far lines are checked for staying
// inside the clip (the tests compare them with the whole stepped line).
void CheckLine( GuardedImage &target, int64_t x1, int64_t y1, int64_t x2, int64_t y2, uint8_t colour ) {
    const Rect &clip = target.image.GetClipRect();
    const bool near =
        std::max( { std::abs( x1 ), std::abs( y1 ), std::abs( x2 ), std::abs( y2 ) } ) <= NEAR_LINE;
    const bool rejected = ( x1 < clip.left && x2 < clip.left ) || ( x1 > clip.right && x2 > clip.right ) ||
                          ( y1 < clip.top && y2 < clip.top ) || ( y1 > clip.bottom && y2 > clip.bottom );
    if ( !near || rejected || clip.right < clip.left || clip.bottom < clip.top ) {
        target.CheckOnlyClipChanged( "DrawLine" );
        return;
    }
    std::vector<uint8_t> covered( size_t( target.width ) * size_t( target.height ), 0 );
    if ( x1 != x2 && y1 != y2 ) {
        const int64_t dx = x2 - x1, dy = y2 - y1; // from the unclipped ends, for both
        ClipEnd( x1, y1, dx, dy, clip );
        ClipEnd( x2, y2, dx, dy, clip );
    }
    int64_t adx = std::abs( x2 - x1 ), ady = std::abs( y2 - y1 );
    int64_t sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    int64_t major = std::max( adx, ady ), minor = std::min( adx, ady ), error = 0;
    int64_t x = x1, y = y1;
    for ( int64_t i = 0; i <= major; i++ ) {
        if ( FuzzInClip( target.image, int( x ), int( y ) ) ) {
            covered[size_t( y ) * size_t( target.width ) + size_t( x )] = 1;
        }
        int minorStep = adx == ady;
        error += minor;
        if ( !minorStep && error > major ) {
            error -= major;
            minorStep = 1;
        }
        x += adx >= ady || minorStep ? sx : 0;
        y += ady >= adx || minorStep ? sy : 0;
    }
    CheckPixels( target, "DrawLine", [&]( int px, int py ) {
        return covered[size_t( py ) * size_t( target.width ) + size_t( px )] ? int( colour ) : -1;
    } );
}

void RunRectangleOp( FuzzReader &in, GuardedImage &target, int op ) {
    int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
    uint8_t colour = in.Byte();
    target.Snapshot();
    if ( op == OP_RECT || op == OP_RECT_FORM ) {
        if ( op == OP_RECT ) {
            target.image.DrawRect( x1, y1, x2, y2, colour );
        } else {
            target.image.DrawRect( Rect( x1, y1, x2, y2 ), colour );
        }
        CheckPixels( target, "DrawRect", [&]( int x, int y ) {
            bool onSide = ( x == x1 || x == x2 ) && Within( y, y1, y2 );
            bool onTopOrBottom = ( y == y1 || y == y2 ) && Within( x, x1, x2 );
            return onSide || onTopOrBottom ? int( colour ) : -1;
        } );
        return;
    }
    if ( op == OP_FILL_RECT ) {
        target.image.FillRect( x1, y1, x2, y2, colour );
    } else {
        target.image.FillRect( Rect( x1, y1, x2, y2 ), colour );
    }
    CheckPixels( target, "FillRect", [&]( int x, int y ) {
        return Within( x, x1, x2 ) && Within( y, y1, y2 ) ? int( colour ) : -1;
    } );
}

// Ellipses are cut by the clip rectangle point by point or span by span, so inside the clip
// they match the same ellipse drawn into a copy whose clip is the whole picture.
void RunEllipseOp( FuzzReader &in, GuardedImage &target, int op ) {
    int cx = in.Coordinate(), cy = in.Coordinate(), rx = in.Coordinate(), ry = in.Coordinate();
    uint8_t colour = in.Byte();
    GuardedImage whole( target.width, target.height, target.pitch - target.width - 2 * GuardedImage::GUARD );
    whole.CopyFrom( target );
    target.Snapshot();
    if ( op == OP_ELLIPSE ) {
        target.image.DrawEllipse( cx, cy, rx, ry, colour );
        whole.image.DrawEllipse( cx, cy, rx, ry, colour );
        CheckClippedLikeWhole( target, whole, "DrawEllipse" );
    } else {
        target.image.FillEllipse( cx, cy, rx, ry, colour );
        whole.image.FillEllipse( cx, cy, rx, ry, colour );
        CheckClippedLikeWhole( target, whole, "FillEllipse" );
    }
}

// Copies a fuzzed rectangle of `source` to a fuzzed place: every destination pixel in the clip
// rectangle whose source position falls in the source rectangle (cut to the source's bounds)
// takes that source pixel; every other stays as it was.
void RunBlit( FuzzReader &in, GuardedImage &source, GuardedImage &target ) {
    Rect region;
    region.left = in.Coordinate();
    region.top = in.Coordinate();
    region.right = in.Coordinate();
    region.bottom = in.Coordinate();
    int x = in.Coordinate(), y = in.Coordinate();
    int64_t left = std::max<int64_t>( region.left, 0 ), top = std::max<int64_t>( region.top, 0 );
    int64_t right = std::min<int64_t>( region.right, source.width - 1 );
    int64_t bottom = std::min<int64_t>( region.bottom, source.height - 1 );
    source.Snapshot();
    target.Snapshot();
    source.image.BlitTo( target.image, x, y, region );
    source.CheckUnchanged( "BlitTo (its source)" );
    CheckPixels( target, "BlitTo", [&]( int dx, int dy ) {
        int64_t sx = left + ( int64_t( dx ) - x ), sy = top + ( int64_t( dy ) - y );
        if ( sx < left || sx > right || sy < top || sy > bottom ) {
            return -1;
        }
        return int( source.Pixel( int( sx ), int( sy ) ) );
    } );
}

void RunOp( FuzzReader &in, GuardedImage &target, GuardedImage &source ) {
    int op = in.Byte() % OP_COUNT;
    if ( op == OP_PUT_PIXEL ) {
        int px = in.Coordinate(), py = in.Coordinate();
        uint8_t colour = in.Byte();
        target.Snapshot();
        target.image.PutPixel( px, py, colour );
        CheckPixels( target, "PutPixel",
                     [&]( int x, int y ) { return x == px && y == py ? int( colour ) : -1; } );
    } else if ( op == OP_HLINE ) {
        int x1 = in.Coordinate(), x2 = in.Coordinate(), ly = in.Coordinate();
        uint8_t colour = in.Byte();
        target.Snapshot();
        target.image.DrawHLine( x1, x2, ly, colour );
        CheckPixels( target, "DrawHLine",
                     [&]( int x, int y ) { return y == ly && Within( x, x1, x2 ) ? int( colour ) : -1; } );
    } else if ( op == OP_VLINE ) {
        int lx = in.Coordinate(), y1 = in.Coordinate(), y2 = in.Coordinate();
        uint8_t colour = in.Byte();
        target.Snapshot();
        target.image.DrawVLine( lx, y1, y2, colour );
        CheckPixels( target, "DrawVLine",
                     [&]( int x, int y ) { return x == lx && Within( y, y1, y2 ) ? int( colour ) : -1; } );
    } else if ( op == OP_LINE ) {
        int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
        uint8_t colour = in.Byte();
        target.Snapshot();
        target.image.DrawLine( x1, y1, x2, y2, colour );
        CheckLine( target, x1, y1, x2, y2, colour );
    } else if ( op <= OP_FILL_RECT_FORM ) {
        RunRectangleOp( in, target, op );
    } else if ( op == OP_CLEAR ) {
        uint8_t colour = in.Byte();
        target.Snapshot();
        target.image.Clear( colour );
        CheckPixels( target, "Clear", [&]( int, int ) { return int( colour ); } );
    } else if ( op <= OP_FILL_ELLIPSE ) {
        RunEllipseOp( in, target, op );
    } else if ( op == OP_BLIT ) {
        RunBlit( in, source, target );
    } else {
        int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
        target.image.SetClipRect( x1, y1, x2, y2 );
        CheckClipInsideBounds( target.image );
    }
}

// Seeds: a few short programs over a 40 x 30 picture, one per family of operations, and one
// that goes to the int limits.
void WriteHeader( FuzzWriter &w, int width, int height, int extraPitch ) {
    w.Small( 0, width );
    w.Small( 0, height );
    w.Small( 0, extraPitch );
    w.Small( 0, 20 ); // source of the copies
    w.Small( 0, 12 );
}

void WriteSeeds( const char *directory ) {
    FuzzWriter lines;
    WriteHeader( lines, 40, 30, 3 );
    lines.Byte( OP_PUT_PIXEL ), lines.Near( 3 ), lines.Near( 4 ), lines.Byte( 9 );
    lines.Byte( OP_HLINE ), lines.Near( 30 ), lines.Near( -5 ), lines.Near( 2 ), lines.Byte( 10 );
    lines.Byte( OP_VLINE ), lines.Near( 7 ), lines.Near( 40 ), lines.Near( -3 ), lines.Byte( 11 );
    lines.Byte( OP_LINE ), lines.Near( 0 ), lines.Near( 0 ), lines.Near( 10 ), lines.Near( 3 ),
        lines.Byte( 12 );
    lines.Byte( OP_LINE ), lines.Near( 5 ), lines.Near( 29 ), lines.Near( 73 ), lines.Near( 30 ),
        lines.Byte( 13 );
    FuzzWriteSeed( directory, "lines", lines.bytes );

    FuzzWriter rects;
    WriteHeader( rects, 40, 30, 0 );
    rects.Byte( OP_SET_CLIP ), rects.Near( 4 ), rects.Near( 3 ), rects.Near( 35 ), rects.Near( 25 );
    rects.Byte( OP_CLEAR ), rects.Byte( 1 );
    rects.Byte( OP_FILL_RECT ), rects.Near( -10 ), rects.Near( -10 ), rects.Near( 5 ), rects.Near( 5 ),
        rects.Byte( 2 );
    rects.Byte( OP_RECT ), rects.Near( 30 ), rects.Near( 20 ), rects.Near( 2 ), rects.Near( 8 ),
        rects.Byte( 3 );
    FuzzWriteSeed( directory, "rectangles", rects.bytes );

    FuzzWriter ellipses;
    WriteHeader( ellipses, 40, 30, 5 );
    ellipses.Byte( OP_FILL_ELLIPSE ), ellipses.Near( 20 ), ellipses.Near( 15 ), ellipses.Near( 50 ),
        ellipses.Near( 30 ), ellipses.Byte( 0 );
    ellipses.Byte( OP_ELLIPSE ), ellipses.Near( 3 ), ellipses.Near( 3 ), ellipses.Near( 5 ),
        ellipses.Near( 5 ), ellipses.Byte( 7 );
    FuzzWriteSeed( directory, "ellipses", ellipses.bytes );

    FuzzWriter blit;
    WriteHeader( blit, 40, 30, 1 );
    blit.Byte( OP_BLIT ), blit.Near( 0 ), blit.Near( 0 ), blit.Near( 40 ), blit.Near( 40 ), blit.Near( -5 ),
        blit.Near( 3 );
    FuzzWriteSeed( directory, "blit", blit.bytes );

    FuzzWriter limits;
    WriteHeader( limits, 40, 30, 2 );
    limits.Byte( OP_HLINE ), limits.Low( 0 ), limits.High( 0 ), limits.Near( 5 ), limits.Byte( 4 );
    limits.Byte( OP_LINE ), limits.Low( 3 ), limits.Near( 10 ), limits.High( 1 ), limits.Near( 12 ),
        limits.Byte( 5 );
    limits.Byte( OP_FILL_RECT ), limits.Low( 0 ), limits.Low( 0 ), limits.High( 0 ), limits.High( 0 ),
        limits.Byte( 6 );
    limits.Byte( OP_BLIT ), limits.Low( 0 ), limits.Low( 0 ), limits.High( 0 ), limits.High( 0 ),
        limits.High( 2 ), limits.Near( 0 );
    FuzzWriteSeed( directory, "limits", limits.bytes );
}

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    if ( const char *directory = FuzzSeedDirectory( *argc, *argv ) ) {
        WriteSeeds( directory );
        std::exit( 0 );
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    FuzzReader in( data, size );
    int width = in.Small( 0, 40 ), height = in.Small( 0, 40 ), extraPitch = in.Small( 0, 7 );
    int sourceWidth = in.Small( 0, 40 ), sourceHeight = in.Small( 0, 40 );
    GuardedImage target( width, height, extraPitch );
    GuardedImage source( sourceWidth, sourceHeight, 0 );
    for ( int i = 0; i < MAX_OPS && in.Remaining() > 0; i++ ) {
        RunOp( in, target, source );
    }
    return 0;
}
