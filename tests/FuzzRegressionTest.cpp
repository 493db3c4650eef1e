// Inputs the fuzz targets found faults with, cut down to the smallest case that shows each.

#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "gfx/Sprite.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

// An Image wrapped over the middle of a block, so that writes beside it can be seen.
struct WrappedImage {
    WrappedImage( int width, int height, int pitch )
        : block( size_t( pitch ) * size_t( height + 4 ) + 8, 0x5A ) {
        image.SetWidth( width );
        image.SetHeight( height );
        image.SetPitch( pitch );
        image.SetPixels( &block[size_t( pitch ) * 2 + 4] );
        image.SetClipRect( image.GetBounds() );
    }
    int Untouched() const {
        for ( uint8_t byte : block ) {
            if ( byte != 0x5A ) {
                return 0;
            }
        }
        return 1;
    }
    std::vector<uint8_t> block;
    Image image;
};

} // namespace

// FuzzDrawing: Clear on a 0 x 0 Image wrote the pixel above it. The bounds of an Image without
// columns or rows were built with corners ordered, which turned (0, 0, -1, -1) into the
// 2 x 2 rectangle (-1, -1, 0, 0).
TEST( FuzzRegression, BoundsOfAnImageWithoutPixelsAreEmpty ) {
    Image empty;
    Rect bounds = empty.GetBounds();
    EXPECT_LT( bounds.right, bounds.left );
    EXPECT_LT( bounds.bottom, bounds.top );

    WrappedImage noColumns( 0, 3, 8 );
    Rect clip = noColumns.image.GetClipRect();
    EXPECT_LT( clip.right, clip.left );
}

TEST( FuzzRegression, DrawingIntoAnImageWithoutColumnsWritesNothing ) {
    WrappedImage noColumns( 0, 5, 8 );
    noColumns.image.Clear( 7 );
    noColumns.image.PutPixel( 0, 1, 7 );
    noColumns.image.PutPixel( -1, 1, 7 );
    noColumns.image.FillRect( -10, -10, 10, 10, 7 );
    noColumns.image.DrawLine( -1, 0, 0, 4, 7 );
    EXPECT_TRUE( noColumns.Untouched() );

    WrappedImage noRows( 6, 0, 8 );
    noRows.image.Clear( 7 );
    noRows.image.FillEllipse( 0, 0, 3, 3, 7 );
    EXPECT_TRUE( noRows.Untouched() );
}

// FuzzSprite: a Sprite drawn into a destination without columns wrote into the memory
// beside it, through the same two-column clip rectangle.
TEST( FuzzRegression, SpriteDrawnIntoAnImageWithoutColumnsWritesNothing ) {
    Image picture( 3, 2 );
    picture.Clear( 9 );
    Sprite raw, encoded;
    ASSERT_TRUE( raw.Build( picture, picture.GetBounds(), 0 ) );
    ASSERT_TRUE( encoded.Build( picture, picture.GetBounds(), 1 ) );
    WrappedImage noColumns( 0, 6, 8 );
    raw.Draw( noColumns.image, -1, 2 );
    encoded.Draw( noColumns.image, 0, 0 );
    EXPECT_TRUE( noColumns.Untouched() );
}
