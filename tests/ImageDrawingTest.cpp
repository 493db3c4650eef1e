#include "gfx/Image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>
#include <vector>

typedef std::set<std::pair<int, int>> Pixels;

// Every pixel of the image that is not colour 0.
static Pixels SetPixels( const Image &image ) {
    Pixels found;
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            if ( image.GetPixels()[y * image.GetPitch() + x] != 0 ) {
                found.insert( { x, y } );
            }
        }
    }
    return found;
}

static Pixels Row( int y, int fromX, int toX ) {
    Pixels row;
    for ( int x = fromX <= toX ? fromX : toX; x <= ( fromX <= toX ? toX : fromX ); x++ ) {
        row.insert( { x, y } );
    }
    return row;
}

static Pixels Join( std::initializer_list<Pixels> parts ) {
    Pixels all;
    for ( const Pixels &part : parts ) {
        all.insert( part.begin(), part.end() );
    }
    return all;
}

static Pixels LinePixels( int x1, int y1, int x2, int y2, int width = 40, int height = 30 ) {
    Image image( width, height );
    image.Clear( 0 );
    image.DrawLine( x1, y1, x2, y2, 15 );
    return SetPixels( image );
}

// An Image over caller-owned memory whose rows are wider than the picture and which is framed
// by guard bytes, so that any write outside the clip rectangle shows.
struct GuardedImage {
    static constexpr int GUARD = 64;
    static constexpr uint8_t FILL = 0xEE;
    std::vector<uint8_t> memory;
    Image image;

    GuardedImage( int width, int height, int pitch ) : memory( size_t( pitch ) * height + 2 * GUARD, FILL ) {
        image.SetWidth( width );
        image.SetHeight( height );
        image.SetPitch( pitch );
        image.SetPixels( memory.data() + GUARD );
        image.SetClipRect( image.GetBounds() );
    }
    uint8_t At( int x, int y ) const { return memory[GUARD + size_t( y ) * image.GetPitch() + x]; }
    // Number of bytes that changed outside the clip rectangle.
    int ChangedOutsideClip() const {
        const Rect &clip = image.GetClipRect();
        int changed = 0;
        for ( size_t i = 0; i < memory.size(); i++ ) {
            int64_t offset = int64_t( i ) - GUARD;
            int y = offset >= 0 ? int( offset / image.GetPitch() ) : -1;
            int x = offset >= 0 ? int( offset % image.GetPitch() ) : -1;
            int inside = offset >= 0 && y < image.GetHeight() && clip.Contains( x, y );
            if ( !inside && memory[i] != FILL ) {
                changed++;
            }
        }
        return changed;
    }
};

TEST( ImageDrawing, SlantedLinesStopShortInTheMinorDirection ) {
    EXPECT_EQ( LinePixels( 0, 0, 4, 1 ), Row( 0, 0, 4 ) );
    EXPECT_EQ( LinePixels( 0, 0, 10, 3 ), Join( { Row( 0, 0, 3 ), Row( 1, 4, 6 ), Row( 2, 7, 10 ) } ) );
    EXPECT_EQ( LinePixels( 10, 3, 0, 0 ), Join( { Row( 3, 10, 7 ), Row( 2, 6, 4 ), Row( 1, 3, 0 ) } ) );
    // Steep lines: the same rule with the roles of x and y exchanged.
    Pixels steep;
    for ( int y = 0; y <= 10; y++ ) {
        steep.insert( { y <= 3 ? 0 : y <= 6 ? 1 : 2, y } );
    }
    EXPECT_EQ( LinePixels( 0, 0, 3, 10 ), steep );
}

TEST( ImageDrawing, DiagonalAndAxisLinesReachBothEnds ) {
    EXPECT_EQ( LinePixels( 0, 0, 3, 3 ), Pixels( { { 0, 0 }, { 1, 1 }, { 2, 2 }, { 3, 3 } } ) );
    EXPECT_EQ( LinePixels( 3, 0, 0, 3 ), Pixels( { { 3, 0 }, { 2, 1 }, { 1, 2 }, { 0, 3 } } ) );
    EXPECT_EQ( LinePixels( 0, 0, 1, 5 ),
               Pixels( { { 0, 0 }, { 0, 1 }, { 0, 2 }, { 0, 3 }, { 0, 4 }, { 0, 5 } } ) );
    EXPECT_EQ( LinePixels( 7, 9, 7, 2 ), [] {
        Pixels column;
        for ( int y = 2; y <= 9; y++ ) {
            column.insert( { 7, y } );
        }
        return column;
    }() );
    EXPECT_EQ( LinePixels( 12, 4, 5, 4 ), Row( 4, 5, 12 ) );
    EXPECT_EQ( LinePixels( 6, 6, 6, 6 ), Pixels( { { 6, 6 } } ) );
}

TEST( ImageDrawing, ClippedLinesKeepTheirSlopeAndMissedOnesDrawNothing ) {
    // Both ends are moved to (-5, 0): nothing of the line is left to draw.
    EXPECT_TRUE( LinePixels( -10, 5, 5, -10, 640, 480 ).empty() );
    // The far end is moved past the left edge by the clipping; the row drawn is cut there.
    EXPECT_EQ( LinePixels( 5, 29, 73, 30 ), Row( 29, 0, 5 ) );
    // Ends on opposite sides outside the picture: the line enters through the corner region.
    EXPECT_EQ( LinePixels( -10, -10, 50, 50 ), [] {
        Pixels diagonal;
        for ( int i = 0; i < 30; i++ ) {
            diagonal.insert( { i, i } );
        }
        return diagonal;
    }() );
    // A line that passes beside the picture altogether.
    EXPECT_TRUE( LinePixels( -20, 5, 5, -20 ).empty() );
}

TEST( ImageDrawing, HorizontalSpansAreOrderedAndClipped ) {
    Image a( 640, 480 ), b( 640, 480 );
    a.Clear( 0 );
    b.Clear( 0 );
    a.DrawHLine( 10, 5, 7, 3 );
    b.DrawHLine( 5, 10, 7, 3 );
    EXPECT_EQ( SetPixels( a ), SetPixels( b ) );
    a.Clear( 0 );
    a.DrawHLine( -20, 5, 3, 3 );
    EXPECT_EQ( SetPixels( a ), Row( 3, 0, 5 ) );
}

TEST( ImageDrawing, RectanglesAreCutToTheClipRectangle ) {
    Image image( 40, 30 );
    image.Clear( 0 );
    image.FillRect( -10, -10, 5, 5, 9 );
    Pixels square;
    for ( int y = 0; y <= 5; y++ ) {
        Pixels row = Row( y, 0, 5 );
        square.insert( row.begin(), row.end() );
    }
    EXPECT_EQ( SetPixels( image ), square );

    image.Clear( 0 );
    image.DrawRect( Rect( 30, 25, 2, 20 ), 4 );
    EXPECT_EQ( SetPixels( image ).size(), size_t( 2 * 29 + 2 * 4 ) );
    EXPECT_EQ( image.GetPixels()[20 * 40 + 2], 4 );
    EXPECT_EQ( image.GetPixels()[25 * 40 + 30], 4 );
    EXPECT_EQ( image.GetPixels()[22 * 40 + 10], 0 );

    // Clear fills only what the clip rectangle allows.
    image.Clear( 0 );
    image.SetClipRect( 10, 10, 12, 11 );
    image.Clear( 1 );
    EXPECT_EQ( SetPixels( image ), Join( { Row( 10, 10, 12 ), Row( 11, 10, 12 ) } ) );
}

// For each row, the leftmost and rightmost set pixel, with a check that the row is one span.
static std::vector<std::pair<int, int>> RowSpans( const Image &image ) {
    std::vector<std::pair<int, int>> spans( image.GetHeight(), { INT_MAX, INT_MIN } );
    for ( const auto &pixel : SetPixels( image ) ) {
        auto &span = spans[pixel.second];
        span.first = std::min( span.first, pixel.first );
        span.second = std::max( span.second, pixel.first );
    }
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = spans[y].first; x <= spans[y].second; x++ ) {
            EXPECT_NE( image.GetPixels()[y * image.GetPitch() + x], 0 ) << "gap at " << x << ", " << y;
        }
    }
    return spans;
}

TEST( ImageDrawing, CraterEllipseHasTheExpectedRows ) {
    Image image( 200, 100 );
    image.Clear( 0 );
    const int cx = 100, cy = 50;
    image.FillEllipse( cx, cy, 50, 30, 5 );
    auto spans = RowSpans( image );
    for ( int y = 0; y < 100; y++ ) {
        int dy = y - cy;
        if ( dy < -30 || dy > 30 ) {
            EXPECT_EQ( spans[y].first, INT_MAX ) << "row " << dy;
            continue;
        }
        int half = spans[y].second - cx;
        EXPECT_EQ( cx - spans[y].first, half ) << "row " << dy; // symmetric about the centre
        if ( dy >= -4 && dy <= 4 ) {
            EXPECT_EQ( half, 50 ) << "row " << dy;
        }
        if ( dy == -30 || dy == 30 ) {
            EXPECT_EQ( half, 9 ) << "row " << dy;
        }
        if ( dy == -20 || dy == 20 ) {
            EXPECT_EQ( half, 37 ) << "row " << dy;
        }
        // Within a pixel of where the true edge crosses the row's band.
        double outer = std::max( 0.0, std::abs( dy ) - 0.5 ), inner = std::abs( dy ) + 0.5;
        double widest = 50.0 * std::sqrt( 1.0 - outer * outer / 900.0 ) + 1.0;
        double narrowest = 50.0 * std::sqrt( std::max( 0.0, 1.0 - inner * inner / 900.0 ) ) - 1.0;
        EXPECT_LE( half, widest ) << "row " << dy;
        EXPECT_GE( half, narrowest ) << "row " << dy;
    }
}

// These radii make the decision term exactly 0 on one step (in the first region for 5 x 6,
// in the second for 3 x 5): a tie keeps y in the first and x in the second.
TEST( ImageDrawing, EllipseTiesKeepTheRowNarrow ) {
    const struct {
        int rx, ry;
        std::vector<int> halfWidths; // from the top row down to the centre row
    } cases[] = { { 5, 6, { 2, 3, 4, 4, 5, 5, 5 } }, { 3, 5, { 1, 2, 2, 3, 3, 3 } } };
    for ( const auto &c : cases ) {
        Image image( 20, 20 );
        image.Clear( 0 );
        image.FillEllipse( 10, 10, c.rx, c.ry, 1 );
        auto spans = RowSpans( image );
        for ( int i = 0; i <= c.ry; i++ ) {
            EXPECT_EQ( spans[10 - c.ry + i].second - 10, c.halfWidths[i] )
                << c.rx << " x " << c.ry << " row " << i;
            EXPECT_EQ( spans[10 + c.ry - i].second - 10, c.halfWidths[i] )
                << c.rx << " x " << c.ry << " row " << i;
        }
    }
}

TEST( ImageDrawing, DegenerateEllipses ) {
    Image image( 20, 20 );
    image.Clear( 0 );
    image.FillEllipse( 10, 10, 6, 0, 1 );
    EXPECT_EQ( SetPixels( image ), Pixels( { { 10, 10 } } ) );
    image.Clear( 0 );
    image.FillEllipse( 10, 10, 0, 0, 1 );
    EXPECT_EQ( SetPixels( image ), Pixels( { { 10, 10 } } ) );
    image.Clear( 0 );
    image.FillEllipse( 10, 10, 4, -3, 1 );
    EXPECT_TRUE( SetPixels( image ).empty() );

    Image positive( 20, 20 ), negative( 20, 20 );
    positive.Clear( 0 );
    negative.Clear( 0 );
    positive.FillEllipse( 10, 10, 6, 4, 1 );
    negative.FillEllipse( 10, 10, -6, 4, 1 );
    EXPECT_EQ( SetPixels( positive ), SetPixels( negative ) );
}

TEST( ImageDrawing, EllipseAcrossTheCornerIsCutNotSkipped ) {
    Image corner( 640, 480 ), free( 640, 480 );
    corner.Clear( 0 );
    free.Clear( 0 );
    corner.FillEllipse( 3, 3, 5, 5, 2 );
    free.FillEllipse( 103, 103, 5, 5, 2 );
    Pixels expected;
    for ( const auto &pixel : SetPixels( free ) ) {
        if ( pixel.first >= 100 && pixel.second >= 100 ) {
            expected.insert( { pixel.first - 100, pixel.second - 100 } );
        }
    }
    EXPECT_FALSE( expected.empty() );
    EXPECT_EQ( SetPixels( corner ), expected );
}

TEST( ImageDrawing, EllipseOutlineRunsAlongTheFilledEdges ) {
    Image filled( 120, 80 ), outline( 120, 80 );
    filled.Clear( 0 );
    outline.Clear( 0 );
    filled.FillEllipse( 60, 40, 50, 30, 1 );
    outline.DrawEllipse( 60, 40, 50, 30, 1 );
    auto fillSpans = RowSpans( filled );
    Pixels outlinePixels = SetPixels( outline );
    for ( const auto &pixel : outlinePixels ) {
        EXPECT_GE( pixel.first, fillSpans[pixel.second].first );
        EXPECT_LE( pixel.first, fillSpans[pixel.second].second );
    }
    for ( int y = 10; y <= 70; y++ ) {
        EXPECT_TRUE( outlinePixels.count( { fillSpans[y].first, y } ) ) << "row " << y;
        EXPECT_TRUE( outlinePixels.count( { fillSpans[y].second, y } ) ) << "row " << y;
    }
}

TEST( ImageDrawing, LargeEllipsesStayTrueWhereNarrowArithmeticWouldWrap ) {
    // Radii of 3000 and 2000 overflow 32-bit terms; the part seen through a 64 x 64 picture
    // must still follow the true edge.
    Image image( 64, 64 );
    image.Clear( 0 );
    const int cx = 52 - 3000, cy = 32;
    image.FillEllipse( cx, cy, 3000, 2000, 1 );
    auto spans = RowSpans( image );
    for ( int y = 0; y < 64; y++ ) {
        double dy = double( y - cy ) / 2000.0;
        double edge = cx + 3000.0 * std::sqrt( 1.0 - dy * dy );
        EXPECT_EQ( spans[y].first, 0 ) << "row " << y;
        EXPECT_NEAR( spans[y].second, edge, 1.0 ) << "row " << y;
    }
}

TEST( ImageDrawing, BlitsClipOnEverySideIntoAWiderPitch ) {
    Image source( 20, 10 );
    for ( int y = 0; y < 10; y++ ) {
        for ( int x = 0; x < 20; x++ ) {
            source.GetPixels()[y * 20 + x] = uint8_t( 1 + x + 20 * y );
        }
    }
    const Rect region( 2, 1, 17, 8 ); // 16 x 8 pixels
    const int positions[][2] = { { -5, 3 },  { 25, 3 },  { 10, -4 }, { 10, 18 },
                                 { -7, -6 }, { 27, 19 }, { 8, 6 } };
    for ( const auto &at : positions ) {
        GuardedImage target( 32, 24, 40 );
        target.image.SetClipRect( 1, 2, 30, 21 );
        source.BlitTo( target.image, at[0], at[1], region );
        const Rect &clip = target.image.GetClipRect();
        for ( int y = 0; y < 24; y++ ) {
            for ( int x = 0; x < 32; x++ ) {
                int sx = x - at[0] + region.left, sy = y - at[1] + region.top;
                uint8_t expected = GuardedImage::FILL;
                if ( clip.Contains( x, y ) && region.Contains( sx, sy ) ) {
                    expected = uint8_t( 1 + sx + 20 * sy );
                }
                ASSERT_EQ( target.At( x, y ), expected )
                    << "blit at " << at[0] << ", " << at[1] << " pixel " << x << ", " << y;
            }
        }
        EXPECT_EQ( target.ChangedOutsideClip(), 0 );
    }
}

// A blit whose rows meet end to end on both sides goes as one copy: only when both pitches are
// the width copied, from the right first row, for the rows the clip leaves.
TEST( ImageDrawing, BlitsOfRowsThatMeetCopyAsRowByRow ) {
    struct Case {
        int sourcePitch, targetPitch, clipRight, clipBottom, regionTop, regionRight, toY;
    } cases[] = {
        { 20, 20, 19, 9, 0, 19, 0 }, // whole rows both sides: one copy
        { 20, 21, 19, 9, 0, 19, 0 }, // the target's rows have a gap
        { 21, 20, 19, 9, 0, 19, 0 }, // the source's rows have a gap
        { 20, 20, 19, 9, 0, 18, 0 }, // one column short of the source's width
        { 20, 20, 18, 9, 0, 19, 0 }, // one column short of the target's by the clip
        { 20, 20, 19, 6, 0, 19, 0 }, // the clip cuts the last rows
        { 20, 20, 19, 9, 3, 19, 1 }, // from the source's fourth row, one row down
    };
    for ( const Case &c : cases ) {
        GuardedImage source( 20, 10, c.sourcePitch );
        for ( int y = 0; y < 10; y++ ) {
            for ( int x = 0; x < c.sourcePitch; x++ ) {
                source.image.GetPixels()[y * c.sourcePitch + x] = uint8_t( x < 20 ? 1 + x + 20 * y : 0xEE );
            }
        }
        GuardedImage target( 20, 10, c.targetPitch );
        target.image.SetClipRect( 0, 0, c.clipRight, c.clipBottom );
        const Rect region( 0, c.regionTop, c.regionRight, 9 );
        source.image.BlitTo( target.image, 0, c.toY, region );
        int wrong = 0;
        for ( int y = 0; y < 10; y++ ) {
            for ( int x = 0; x < 20; x++ ) {
                const int sy = y - c.toY + region.top;
                const int copied = x <= c.clipRight && y <= c.clipBottom && region.Contains( x, sy );
                wrong += target.At( x, y ) != ( copied ? uint8_t( 1 + x + 20 * sy ) : GuardedImage::FILL );
            }
        }
        EXPECT_EQ( wrong, 0 ) << "pitches " << c.sourcePitch << " and " << c.targetPitch << ", clip to "
                              << c.clipRight << "," << c.clipBottom << ", region " << region.top << " to "
                              << region.right;
        EXPECT_EQ( target.ChangedOutsideClip(), 0 );
    }
}

TEST( ImageDrawing, BlitSourceIsCutToItsOwnPicture ) {
    Image source( 640, 480 ), target( 640, 480 );
    source.Clear( 7 );
    target.Clear( 0 );
    source.SetClipRect( 0, 0, 0, 0 ); // the source's clip rectangle plays no part
    source.BlitTo( target, 0, 0, Rect( 0, 0, 640, 480 ) );
    EXPECT_EQ( SetPixels( target ).size(), size_t( 640 * 480 ) );

    Image strip( 10, 1 ), into( 10, 1 );
    for ( int x = 0; x < 10; x++ ) {
        strip.GetPixels()[x] = uint8_t( 100 + x );
    }
    into.Clear( 0 );
    strip.BlitTo( into, -5, 0, strip.GetBounds() );
    EXPECT_EQ( into.GetPixels()[0], 105 );
    EXPECT_EQ( into.GetPixels()[4], 109 );
    EXPECT_EQ( into.GetPixels()[5], 0 );
}

TEST( ImageDrawing, NothingIsDrawnWithoutPixelsOrWithAnEmptyClip ) {
    Image empty;
    empty.PutPixel( 0, 0, 1 );
    empty.FillRect( -5, -5, 5, 5, 1 );
    empty.FillEllipse( 0, 0, 10, 10, 1 );
    empty.DrawLine( -5, -3, 5, 4, 1 );
    empty.Clear( 1 );
    Image source( 4, 4 );
    source.BlitTo( empty, 0, 0, source.GetBounds() );
    EXPECT_EQ( empty.GetPixels(), nullptr );

    GuardedImage target( 100, 50, 100 );
    target.image.SetClipRect( 200, 0, 300, 10 ); // lies wholly outside: empty
    target.image.Clear( 1 );
    target.image.FillRect( 0, 0, 400, 10, 1 );
    target.image.DrawHLine( 0, 400, 5, 1 );
    target.image.FillEllipse( 99, 5, 200, 20, 1 );
    source.Clear( 1 );
    source.BlitTo( target.image, 0, 0, source.GetBounds() );
    EXPECT_EQ( target.ChangedOutsideClip(), 0 );
}

TEST( ImageDrawing, ExtremeSpansStillFillTheClip ) {
    Image image( 16, 8 );
    image.Clear( 0 );
    image.DrawHLine( INT_MIN, INT_MAX, 3, 1 );
    image.DrawVLine( 5, INT_MAX, INT_MIN, 1 );
    image.FillRect( INT_MIN, 6, INT_MAX, INT_MAX, 2 );
    EXPECT_EQ( SetPixels( image ).size(), size_t( 16 + 5 + 2 * 16 ) );
    image.Clear( 0 );
    // Far-off centres whose sums with the radii pass the int limits miss the picture.
    image.FillEllipse( INT_MAX - 10, 4, 50, 30, 1 );
    image.FillEllipse( INT_MIN + 10, 4, 50, 30, 1 );
    image.DrawEllipse( 4, INT_MAX, 30, 50, 1 );
    Image source( 8, 8 );
    source.Clear( 3 );
    source.BlitTo( image, INT_MAX, 0, source.GetBounds() );
    source.BlitTo( image, INT_MIN, INT_MIN, Rect( INT_MIN, INT_MIN, INT_MAX, INT_MAX ) );
    EXPECT_TRUE( SetPixels( image ).empty() );
    // A slanted line whose far ends lie a million pixels out still crosses the picture.
    image.DrawLine( -1000000, -1000000, 1000000, 1000000, 1 );
    EXPECT_EQ( SetPixels( image ).size(), size_t( 8 ) );
}

TEST( ImageDrawing, ExtremeValuesNeverWriteOutsideTheClip ) {
    const int values[] = { INT_MIN,
                           INT_MIN + 1,
                           -( 1 << 20 ) - 1,
                           -( 1 << 20 ),
                           -65536,
                           -1025,
                           -50,
                           -1,
                           0,
                           1,
                           7,
                           19,
                           20,
                           39,
                           1024,
                           1025,
                           65536,
                           1 << 20,
                           ( 1 << 20 ) + 1,
                           INT_MAX - 1,
                           INT_MAX };
    const int count = int( sizeof( values ) / sizeof( values[0] ) );
    GuardedImage target( 40, 30, 48 );
    target.image.SetClipRect( 3, 4, 35, 25 );
    Image source( 12, 9 );
    source.Clear( 6 );
    uint32_t seed = 12345;
    auto pick = [&] {
        seed = seed * 1103515245u + 12345u;
        return values[( seed >> 16 ) % count];
    };
    for ( int round = 0; round < 3000; round++ ) {
        int a = pick(), b = pick(), c = pick(), d = pick();
        target.image.DrawLine( a, b, c, d, 1 );
        target.image.DrawRect( a, b, c, d, 2 );
        target.image.FillRect( a, b, c, d, 3 );
        target.image.PutPixel( a, b, 4 );
        target.image.DrawHLine( a, b, c, 5 );
        target.image.DrawVLine( a, b, c, 5 );
        // Long walks are tried once each below, to keep the rounds quick.
        if ( std::abs( int64_t( c ) ) <= 1025 && std::abs( int64_t( d ) ) <= 1025 ) {
            target.image.FillEllipse( a, b, c, d, 7 );
            target.image.DrawEllipse( a, b, c, d, 8 );
        }
        source.BlitTo( target.image, a, b, Rect( c, d, pick(), pick() ) );
    }
    for ( int cx : { INT_MIN, -65536, 20, 65536, INT_MAX } ) {
        target.image.FillEllipse( cx, 15, 65536, 1 << 20, 9 );
        target.image.DrawEllipse( cx, 15, 1 << 20, -65536, 9 );
        target.image.FillEllipse( cx, 15, INT_MAX, INT_MIN, 9 ); // refused: beyond any picture
    }
    target.image.FillEllipse( 20, 15, 1 << 20, 1 << 20, 9 );
    EXPECT_EQ( target.ChangedOutsideClip(), 0 );
    EXPECT_EQ( target.At( 20, 15 ), 9 );
}

// A line stepped from (x1, y1) to (x2, y2) as the game steps it, each pixel written only when it
// lies inside `clip`.
static Pixels SteppedLine( int64_t x1, int64_t y1, int64_t x2, int64_t y2, const Rect &clip ) {
    Pixels line;
    const int64_t adx = std::abs( x2 - x1 ), ady = std::abs( y2 - y1 );
    const int64_t sx = x2 < x1 ? -1 : 1, sy = y2 < y1 ? -1 : 1;
    const int64_t major = std::max( adx, ady ), minor = std::min( adx, ady );
    int64_t error = 0, x = x1, y = y1;
    for ( int64_t i = 0; i <= major; i++ ) {
        if ( x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom ) {
            line.insert( { int( x ), int( y ) } );
        }
        bool minorStep = adx == ady;
        error += minor;
        if ( !minorStep && error > major ) {
            error -= major;
            minorStep = true;
        }
        x += adx >= ady || minorStep ? sx : 0;
        y += ady >= adx || minorStep ? sy : 0;
    }
    return line;
}

// The game's clipping of both ends (products first, divisions truncating), then the stepping.
static Pixels GameClippedLine( int64_t x1, int64_t y1, int64_t x2, int64_t y2, const Rect &clip ) {
    const int64_t dx = x2 - x1, dy = y2 - y1;
    auto clipEnd = [&]( int64_t &x, int64_t &y ) {
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
    };
    clipEnd( x1, y1 );
    clipEnd( x2, y2 );
    return SteppedLine( x1, y1, x2, y2, clip );
}

// A line whose ends lie far outside draws what the game's own clipping gives wherever its 32-bit
// steps hold (its rounding included, which can differ from the whole line), and the whole
// stepped line cut to the clip rectangle where those steps would wrap.
TEST( ImageDrawing, FarLinesAreClippedAsTheGameDoesOrCutFromTheWholeLine ) {
    const Rect clip( 3, 4, 35, 25 );
    const struct {
        int x1, y1, x2, y2;
        bool gameSteps; // every product and sum of the game's clipping fits 32 bits
    } cases[] = {
        { -22089, -8738, 25866, 10215, true },
        { -42807, 5331, 44355, -5468, true }, // the whole line shows 16 pixels, the game 9
        { -121958, 171356, 130064, -182628, false },
        { 174777, -143089, -191695, 156954, false },
        { 2021147, 1181698, -1985582, -1160929, false },
        { -( 1 << 20 ) - 7, 9, ( 1 << 20 ) + 3, 20, false },
        { 20, -3000000, 24, 3000000, false },
        // Ends at 2^24, the last the 64-bit arithmetic takes, and one past it.
        { -( 1 << 24 ), 9, 1 << 24, 20, true },
        { -( 1 << 24 ) - 1, 9, ( 1 << 24 ) + 1, 20, true },
        { 20, -( 1 << 24 ), 24, 1 << 24, true },
        { 20, -( 1 << 24 ) - 1, 24, ( 1 << 24 ) + 1, true },
        { -( 1 << 24 ), -( 1 << 24 ), 1 << 24, ( 1 << 24 ) - 5, false },
        { -( 1 << 24 ) - 1, -( 1 << 24 ) - 1, ( 1 << 24 ) + 1, ( 1 << 24 ) - 5, false },
    };
    for ( const auto &c : cases ) {
        GuardedImage target( 40, 30, 48 );
        target.image.SetClipRect( clip );
        std::fill( target.memory.begin() + GuardedImage::GUARD, target.memory.end() - GuardedImage::GUARD,
                   0 );
        target.image.DrawLine( c.x1, c.y1, c.x2, c.y2, 1 );
        const Pixels expected = c.gameSteps ? GameClippedLine( c.x1, c.y1, c.x2, c.y2, clip )
                                            : SteppedLine( c.x1, c.y1, c.x2, c.y2, clip );
        EXPECT_FALSE( expected.empty() );
        EXPECT_EQ( SetPixels( target.image ), expected )
            << c.x1 << ", " << c.y1 << " to " << c.x2 << ", " << c.y2;
    }
    // From one int limit to the other, too long to step here: the diagonal, and lines so flat
    // or steep that their minor coordinate moves only at the very end.
    EXPECT_EQ( LinePixels( INT_MIN, INT_MIN, INT_MAX, INT_MAX ), [] {
        Pixels diagonal;
        for ( int i = 0; i < 30; i++ ) {
            diagonal.insert( { i, i } );
        }
        return diagonal;
    }() );
    EXPECT_EQ( LinePixels( INT_MAX, 10, INT_MIN, 11 ), Row( 10, 0, 39 ) );
    EXPECT_EQ( LinePixels( 20, INT_MIN, 21, INT_MAX ).size(), size_t( 30 ) );
}

// An ellipse walked one step at a time as the game walks it, each step's spans (or four points)
// written where they fall inside `clip`.
static Pixels WalkedEllipse( int64_t cx, int64_t cy, int64_t rx, int64_t ry, bool fill, const Rect &clip ) {
    Pixels drawn;
    auto put = [&]( int64_t x, int64_t y ) {
        if ( x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom ) {
            drawn.insert( { int( x ), int( y ) } );
        }
    };
    // The spans of a row share their centre, so the widest one covers all the others.
    std::vector<int64_t> widest( clip.bottom + 1, -1 );
    auto plot = [&]( int64_t x, int64_t y ) {
        for ( int64_t row : { cy + y, cy - y } ) {
            if ( !fill ) {
                put( cx + x, row ), put( cx - x, row );
            } else if ( row >= clip.top && row <= clip.bottom ) {
                widest[row] = std::max( widest[row], x );
            }
        }
    };
    const int64_t a2 = rx * rx, b2 = ry * ry;
    int64_t x = 0, y = ry, d = b2 - a2 * ry + ( a2 >> 2 ), px = 0, py = 2 * a2 * ry;
    for ( ; px < py; x++, px += 2 * b2, d += b2 + px ) {
        plot( x, y );
        if ( d > 0 ) {
            y--, py -= 2 * a2, d -= py;
        }
    }
    d += ( 3 * ( a2 - b2 ) ) / 2 - ( px + py ) / 2;
    for ( ; y >= 0; y--, py -= 2 * a2, d += a2 - py ) {
        plot( x, y );
        if ( d < 0 ) {
            x++, px += 2 * b2, d += px;
        }
    }
    for ( int64_t row = clip.top; row <= clip.bottom; row++ ) {
        const int64_t from = std::max<int64_t>( cx - widest[row], clip.left );
        for ( int64_t column = from;
              widest[row] >= 0 && column <= std::min<int64_t>( cx + widest[row], clip.right ); column++ ) {
            put( column, row );
        }
    }
    return drawn;
}

// Long runs of the walk are taken in one go and rows and columns outside the clip are passed
// over; the pixels must stay those of the plain walk, for small, degenerate, far and long ones.
TEST( ImageDrawing, EllipsesMatchThePlainWalkAtEveryScale ) {
    const Rect clip( 3, 4, 35, 25 );
    const struct {
        int cx, cy, rx, ry;
    } cases[] = {
        { 19, 14, 15, 10 },
        { 19, 14, 10, 15 },
        { 19, 14, 5, 6 },
        { 19, 14, 3, 5 },
        { 19, 14, 50, 30 },
        { 19, 14, -12, 7 },
        { 19, 14, 0, 9 },
        { 19, 14, 9, 0 },
        { 19, 14, 4, -3 },
        { -2990, 14, 3000, 2000 },
        { 19, 14, 3000000, 3 },
        { 19, 14, 2, 3000000 },
        { 19, 200020, 150000, 200000 },
        { 2000030, 14, 2000000, 100 },
    };
    for ( const auto &c : cases ) {
        for ( bool fill : { true, false } ) {
            GuardedImage target( 40, 30, 48 );
            target.image.SetClipRect( clip );
            std::fill( target.memory.begin() + GuardedImage::GUARD, target.memory.end() - GuardedImage::GUARD,
                       0 );
            if ( fill ) {
                target.image.FillEllipse( c.cx, c.cy, c.rx, c.ry, 1 );
            } else {
                target.image.DrawEllipse( c.cx, c.cy, c.rx, c.ry, 1 );
            }
            EXPECT_EQ( SetPixels( target.image ), WalkedEllipse( c.cx, c.cy, c.rx, c.ry, fill, clip ) )
                << ( fill ? "filled " : "outline " ) << c.cx << ", " << c.cy << " radii " << c.rx << ", "
                << c.ry;
        }
    }
    // Any length is drawn while the smaller radius stays within 2^20; rounder ones are refused.
    Image image( 40, 30 );
    image.Clear( 0 );
    image.FillEllipse( 19, 14, INT_MAX, 1, 1 );
    EXPECT_EQ( SetPixels( image ), Join( { Row( 13, 0, 39 ), Row( 14, 0, 39 ), Row( 15, 0, 39 ) } ) );
    image.Clear( 0 );
    image.FillEllipse( 19, 14, ( 1 << 20 ) + 1, ( 1 << 20 ) + 1, 1 );
    EXPECT_TRUE( SetPixels( image ).empty() );
}
