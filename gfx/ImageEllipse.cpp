#include "gfx/Image.h"
#include "gfx/ImageDrawingMath.h"

#include <cstdint>

// The ellipse's walk takes a step for every row near its top and every column near its side,
// about as many as its smaller radius; beyond this limit on the smaller radius it is refused.
// Only a picture over two million pixels across could show such an ellipse's curve.
static const Exact ELLIPSE_LIMIT = Exact( 1 ) << 20;

// The offsets o >= 0 from a centre c for which c + o or c - o lies in [low, high]: two runs.
struct MirroredOffsets {
    Exact aFirst, aLast, bFirst, bLast;

    MirroredOffsets( Exact c, Exact low, Exact high )
        : aFirst( low - c ), aLast( high - c ), bFirst( c - high ), bLast( c - low ) {}

    // The largest such offset not above o, or -1 when there is none.
    Exact AtOrBelow( Exact o ) const {
        Exact best = -1;
        if ( aFirst <= o && aLast >= 0 ) {
            best = Larger( best, Smaller( aLast, o ) );
        }
        if ( bFirst <= o && bLast >= 0 ) {
            best = Larger( best, Smaller( bLast, o ) );
        }
        return best;
    }
};

// What the ellipse's walk hands on: runs of points on one row (first region) or in one column
// (second region), in the walk's order.
class EllipsePlotter {
public:
    virtual ~EllipsePlotter() {}
    virtual void Row( Exact x0, Exact x1, Exact y ) = 0;
    virtual void Column( Exact x, Exact yHigh, Exact yLow ) = 0;
};

// The number of steps of a run: the first j in [1, cap] at which `ends` holds, or cap. `ends`
// must hold from some j on; the search doubles, then halves, so a long run costs a few dozen
// evaluations.
template <typename Ends> static Exact RunLength( Exact cap, Ends ends ) {
    Exact below = 0, at = 1;
    while ( at < cap && !ends( at ) ) {
        below = at;
        at = Smaller( cap, 2 * at );
    }
    while ( at - below > 1 ) {
        const Exact middle = below + ( at - below ) / 2;
        if ( ends( middle ) ) {
            at = middle;
        } else {
            below = middle;
        }
    }
    return at;
}

// The midpoint walk shared by the filled and the outlined ellipse, in exact arithmetic, from
// the top and bottom rows towards the centre. A tie (d = 0) keeps y in the first region and x
// in the second. Steps that repeat the same choice are taken together by the sums of their
// terms, which leaves every value as the single steps would.
static void WalkEllipse( Exact rx, Exact ry, EllipsePlotter &plotter ) {
    const Exact a2 = rx * rx;
    const Exact b2 = ry * ry;
    const Exact xEnd = ( rx < 0 ? -rx : rx ) + 1;
    Exact x = 0;
    Exact y = ry;
    Exact d = b2 - a2 * ry + ( a2 >> 2 );
    Exact px = 0;
    Exact py = 2 * a2 * ry;
    while ( px < py ) {
        if ( d > 0 ) {
            plotter.Row( x, x, y );
            y -= 1;
            py -= 2 * a2;
            d -= py;
            x += 1;
            px += 2 * b2;
            d += b2 + px;
            continue;
        }
        // Along the row while d stays at or below 0; d grows every step, and passes 0 before
        // x passes the radius.
        const Exact steps = RunLength( Larger( 1, xEnd - x ), [&]( Exact j ) {
            return px + 2 * b2 * j >= py || d + j * ( px + b2 * ( j + 2 ) ) > 0;
        } );
        plotter.Row( x, x + steps - 1, y );
        d += steps * ( px + b2 * ( steps + 2 ) );
        px += 2 * b2 * steps;
        x += steps;
    }
    d += ( 3 * ( a2 - b2 ) ) / 2 - ( px + py ) / 2;
    while ( y >= 0 ) {
        if ( d < 0 ) {
            plotter.Column( x, y, y );
            x += 1;
            px += 2 * b2;
            d += px;
            y -= 1;
            py -= 2 * a2;
            d += a2 - py;
            continue;
        }
        // Down the column while d stays at or above 0; d falls every step above the centre row.
        const Exact steps =
            RunLength( y + 1, [&]( Exact j ) { return j > y || d + j * ( a2 * ( j + 2 ) - py ) < 0; } );
        plotter.Column( x, y, y - steps + 1 );
        d += steps * ( a2 * ( steps + 2 ) - py );
        py -= 2 * a2 * steps;
        y -= steps;
    }
}

// The span of half-width `half` around cx on row y, cut to the clip rectangle; its ends may lie
// beyond the range of an int (an ellipse centred near the limits).
static void FillSpan( Image &image, Exact cx, Exact half, Exact y, uint8_t colour ) {
    const Rect &clip = image.GetClipRect();
    const Exact left = Larger( cx - half, clip.left );
    const Exact right = Smaller( cx + half, clip.right );
    if ( left <= right && y >= clip.top && y <= clip.bottom ) {
        image.DrawHLine( int( left ), int( right ), int( y ), colour );
    }
}

// The walk visits a row again and again as x grows, each span wider than the last; only the
// widest one of each row is written, which sets exactly the same pixels. Rows outside the clip
// rectangle are passed over.
class SpanPlotter : public EllipsePlotter {
public:
    SpanPlotter( Image &image, Exact cx, Exact cy, uint8_t colour )
        : image( image ), cx( cx ), cy( cy ), colour( colour ),
          rows( cy, image.GetClipRect().top, image.GetClipRect().bottom ), rowX( 0 ), rowY( 0 ),
          pending( 0 ) {}
    virtual ~SpanPlotter() {}

    void Row( Exact, Exact x1, Exact y ) override { Note( x1, y ); }
    void Column( Exact x, Exact yHigh, Exact yLow ) override {
        for ( Exact y = rows.AtOrBelow( yHigh ); y >= yLow && y >= 0; y = rows.AtOrBelow( y - 1 ) ) {
            Note( x, y );
        }
    }
    void Flush() {
        if ( !pending ) {
            return;
        }
        FillSpan( image, cx, rowX, cy + rowY, colour );
        if ( rowY != 0 ) {
            FillSpan( image, cx, rowX, cy - rowY, colour );
        }
        pending = 0;
    }

private:
    void Note( Exact x, Exact y ) {
        if ( pending && y != rowY ) {
            Flush();
        }
        rowX = x;
        rowY = y;
        pending = 1;
    }

    Image &image;
    Exact cx, cy;
    uint8_t colour;
    MirroredOffsets rows;
    Exact rowX, rowY;
    int pending;
};

// Stores the four mirrored points of every step that fall inside the clip rectangle; the runs
// are cut to the rows and columns the clip rectangle shows.
class PointPlotter : public EllipsePlotter {
public:
    PointPlotter( Image &image, Exact cx, Exact cy, uint8_t colour )
        : image( image ), cx( cx ), cy( cy ), colour( colour ),
          columns( cx, image.GetClipRect().left, image.GetClipRect().right ),
          rows( cy, image.GetClipRect().top, image.GetClipRect().bottom ) {}
    virtual ~PointPlotter() {}

    void Row( Exact x0, Exact x1, Exact y ) override {
        if ( y < 0 || rows.AtOrBelow( y ) != y ) {
            return;
        }
        for ( Exact x = columns.AtOrBelow( x1 ); x >= x0 && x >= 0; x = columns.AtOrBelow( x - 1 ) ) {
            Plot( x, y );
        }
    }
    void Column( Exact x, Exact yHigh, Exact yLow ) override {
        if ( columns.AtOrBelow( x ) != x ) {
            return;
        }
        for ( Exact y = rows.AtOrBelow( yHigh ); y >= yLow && y >= 0; y = rows.AtOrBelow( y - 1 ) ) {
            Plot( x, y );
        }
    }

private:
    void Plot( Exact x, Exact y ) {
        PlotPoint( cx + x, cy + y );
        PlotPoint( cx - x, cy + y );
        PlotPoint( cx + x, cy - y );
        PlotPoint( cx - x, cy - y );
    }
    void PlotPoint( Exact x, Exact y ) {
        const Rect &clip = image.GetClipRect();
        if ( x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom ) {
            image.PutPixel( int( x ), int( y ), colour );
        }
    }

    Image &image;
    Exact cx, cy;
    uint8_t colour;
    MirroredOffsets columns;
    MirroredOffsets rows;
};

// Whether the ellipse can be drawn: it must reach the clip rectangle, and its smaller radius
// must stay within ELLIPSE_LIMIT (see there).
static int EllipseWanted( const Rect &clip, Exact cx, Exact cy, Exact rx, Exact ry ) {
    const Exact spanX = rx < 0 ? -rx : rx;
    const Exact spanY = ry < 0 ? -ry : ry;
    if ( cx + spanX < clip.left || cx - spanX > clip.right || cy + spanY < clip.top ||
         cy - spanY > clip.bottom ) {
        return 0;
    }
    return ( spanX < spanY ? spanX : spanY ) <= ELLIPSE_LIMIT;
}

void Image::FillEllipse( int cx, int cy, int rx, int ry, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) || !EllipseWanted( clipRect, cx, cy, rx, ry ) ) {
        return;
    }
    SpanPlotter plotter( *this, cx, cy, colour );
    WalkEllipse( rx, ry, plotter );
    plotter.Flush();
}

void Image::DrawEllipse( int cx, int cy, int rx, int ry, uint8_t colour ) {
    if ( pixels == nullptr || IsEmptyClip( clipRect ) || !EllipseWanted( clipRect, cx, cy, rx, ry ) ) {
        return;
    }
    PointPlotter plotter( *this, cx, cy, colour );
    WalkEllipse( rx, ry, plotter );
}
