#include "gfx/Rect.h"

#include <gtest/gtest.h>

static void ExpectRect( const Rect &rect, int left, int top, int right, int bottom ) {
    EXPECT_EQ( rect.left, left );
    EXPECT_EQ( rect.top, top );
    EXPECT_EQ( rect.right, right );
    EXPECT_EQ( rect.bottom, bottom );
}

TEST( Rect, DefaultCoversExactlyThePixelAtTheOrigin ) {
    Rect rect;
    ExpectRect( rect, 0, 0, 0, 0 );
    EXPECT_EQ( rect.GetWidth(), 1 );
    EXPECT_EQ( rect.GetHeight(), 1 );
}

TEST( Rect, CornersInAnyOrderSpanTheSameRectangle ) {
    ExpectRect( Rect( 5, 7, 2, 3 ), 2, 3, 5, 7 );
    ExpectRect( Rect( 2, 3, 5, 7 ), 2, 3, 5, 7 );
    ExpectRect( Rect( 2, 7, 5, 3 ), 2, 3, 5, 7 );
    EXPECT_EQ( Rect( 5, 7, 2, 3 ).GetWidth(), 4 );
    EXPECT_EQ( Rect( 5, 7, 2, 3 ).GetHeight(), 5 );
}

TEST( Rect, CopiesAndAssignmentsCarryAllFourCorners ) {
    Rect original( -3, -4, 10, 20 );
    Rect copy( original );
    ExpectRect( copy, -3, -4, 10, 20 );
    Rect assigned;
    assigned = original;
    ExpectRect( assigned, -3, -4, 10, 20 );
}

TEST( Rect, SharedEdgeOverlapsButAdjacentDoesNot ) {
    Rect rect( 0, 0, 9, 9 );
    EXPECT_EQ( rect.Overlaps( Rect( 9, 0, 19, 9 ) ), 1 );
    EXPECT_EQ( rect.Overlaps( Rect( 0, 9, 9, 19 ) ), 1 );
    EXPECT_EQ( rect.Overlaps( Rect( 10, 0, 19, 9 ) ), 0 );
    EXPECT_EQ( rect.Overlaps( Rect( -10, 0, -1, 9 ) ), 0 );
    EXPECT_EQ( rect.Overlaps( Rect( 0, 10, 9, 19 ) ), 0 );
    EXPECT_EQ( rect.Overlaps( Rect( 0, -10, 9, -1 ) ), 0 );
    EXPECT_EQ( rect.Overlaps( Rect( 3, 3, 4, 4 ) ), 1 );
}

TEST( Rect, AllFourCornersAreInsideAndOnePixelBeyondIsNot ) {
    Rect rect( 2, 3, 5, 7 );
    EXPECT_EQ( rect.Contains( 2, 3 ), 1 );
    EXPECT_EQ( rect.Contains( 5, 3 ), 1 );
    EXPECT_EQ( rect.Contains( 2, 7 ), 1 );
    EXPECT_EQ( rect.Contains( 5, 7 ), 1 );
    EXPECT_EQ( rect.Contains( 1, 5 ), 0 );
    EXPECT_EQ( rect.Contains( 6, 5 ), 0 );
    EXPECT_EQ( rect.Contains( 3, 2 ), 0 );
    EXPECT_EQ( rect.Contains( 3, 8 ), 0 );
}

TEST( Rect, IntersectKeepsTheCommonPart ) {
    Rect rect( 0, 0, 9, 9 );
    rect.Intersect( Rect( 5, -5, 20, 6 ) );
    ExpectRect( rect, 5, 0, 9, 6 );

    Rect inner( 2, 2, 4, 4 );
    inner.Intersect( Rect( 0, 0, 9, 9 ) );
    ExpectRect( inner, 2, 2, 4, 4 );
}

TEST( Rect, DisjointIntersectionIsEmptyUntilNormalized ) {
    Rect rect( 0, 0, 9, 9 );
    rect.Intersect( Rect( 20, 20, 29, 29 ) );
    ExpectRect( rect, 20, 20, 9, 9 );
    EXPECT_EQ( rect.GetWidth(), -10 );
    EXPECT_EQ( rect.GetHeight(), -10 );
    for ( int y = -5; y < 35; y++ ) {
        for ( int x = -5; x < 35; x++ ) {
            ASSERT_EQ( rect.Contains( x, y ), 0 ) << x << ", " << y;
        }
    }
    rect.Normalize();
    ExpectRect( rect, 9, 9, 20, 20 );
}
