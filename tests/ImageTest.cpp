#include "gfx/Image.h"

#include <gtest/gtest.h>

#include <vector>

static void ExpectRect( const Rect &rect, int left, int top, int right, int bottom ) {
    EXPECT_EQ( rect.left, left );
    EXPECT_EQ( rect.top, top );
    EXPECT_EQ( rect.right, right );
    EXPECT_EQ( rect.bottom, bottom );
}

TEST( Image, EmptyImageHasNoPixelsAndEmptyBounds ) {
    Image image;
    EXPECT_EQ( image.GetWidth(), 0 );
    EXPECT_EQ( image.GetHeight(), 0 );
    EXPECT_EQ( image.GetPitch(), 0 );
    EXPECT_EQ( image.GetPixels(), nullptr );
    EXPECT_EQ( image.GetOwnsPixels(), 0 );
    ExpectRect( image.GetBounds(), 0, 0, -1, -1 );
    ExpectRect( image.GetClipRect(), 0, 0, 0, 0 );
}

TEST( Image, CreateGivesAClearedBlockWithPitchEqualToWidth ) {
    Image image;
    ASSERT_EQ( image.Create( 100, 50 ), 1 );
    EXPECT_EQ( image.GetOwnsPixels(), 1 );
    EXPECT_EQ( image.GetPitch(), 100 );
    ExpectRect( image.GetBounds(), 0, 0, 99, 49 );
    ExpectRect( image.GetClipRect(), 0, 0, 99, 49 );
    ASSERT_NE( image.GetPixels(), nullptr );
    for ( int i = 0; i < 100 * 50; i++ ) {
        ASSERT_EQ( image.GetPixels()[i], 0 ) << i;
    }
}

TEST( Image, SizedConstructorCreates ) {
    Image image( 7, 3 );
    EXPECT_EQ( image.GetOwnsPixels(), 1 );
    EXPECT_EQ( image.GetWidth(), 7 );
    EXPECT_EQ( image.GetHeight(), 3 );
    ExpectRect( image.GetClipRect(), 0, 0, 6, 2 );
}

TEST( Image, CreateOnAnOwningImageIsRefusedAndChangesNothing ) {
    Image image( 10, 20 );
    uint8_t *pixels = image.GetPixels();
    image.SetClipRect( 1, 2, 3, 4 );
    EXPECT_EQ( image.Create( 30, 40 ), 0 );
    EXPECT_EQ( image.GetWidth(), 10 );
    EXPECT_EQ( image.GetHeight(), 20 );
    EXPECT_EQ( image.GetPitch(), 10 );
    EXPECT_EQ( image.GetPixels(), pixels );
    ExpectRect( image.GetClipRect(), 1, 2, 3, 4 );
}

TEST( Image, NonPositiveOrOverflowingSizesAreRefusedAndChangeNothing ) {
    uint8_t memory[64] = {};
    Image image;
    image.SetWidth( 8 );
    image.SetHeight( 4 );
    image.SetPitch( 16 );
    image.SetPixels( memory );
    image.SetClipRect( image.GetBounds() );
    const int sizes[][2] = { { 0, 10 },  { 10, 0 },        { -1, 10 },
                             { 10, -5 }, { 70000, 70000 }, { 0x7FFFFFFF, 2 } };
    for ( const auto &size : sizes ) {
        EXPECT_EQ( image.Create( size[0], size[1] ), 0 ) << size[0] << " x " << size[1];
        EXPECT_EQ( image.GetOwnsPixels(), 0 );
        EXPECT_EQ( image.GetWidth(), 8 );
        EXPECT_EQ( image.GetHeight(), 4 );
        EXPECT_EQ( image.GetPitch(), 16 );
        EXPECT_EQ( image.GetPixels(), memory );
        ExpectRect( image.GetClipRect(), 0, 0, 7, 3 );
    }
    Image refused( -3, 5 );
    EXPECT_EQ( refused.GetPixels(), nullptr );
    EXPECT_EQ( refused.GetOwnsPixels(), 0 );
}

TEST( Image, ClipRectangleIsCutToTheBounds ) {
    Image image( 100, 50 );
    image.SetClipRect( -10, -10, 10, 10 );
    ExpectRect( image.GetClipRect(), 0, 0, 10, 10 );
    image.SetClipRect( 10, 40, 5, 20 );
    ExpectRect( image.GetClipRect(), 5, 20, 10, 40 );
    image.SetClipRect( Rect( -5, 30, 500, 600 ) );
    ExpectRect( image.GetClipRect(), 0, 30, 99, 49 );
}

TEST( Image, ClipRectangleOutsideTheImageIsEmpty ) {
    Image image( 100, 50 );
    image.SetClipRect( 200, 0, 300, 10 );
    ExpectRect( image.GetClipRect(), 200, 0, 99, 10 );
    EXPECT_LE( image.GetClipRect().GetWidth(), 0 );

    // An inverted rectangle handed in as a Rect stays empty: it is not put back in order.
    Rect inverted;
    inverted.left = 30;
    inverted.right = 20;
    inverted.top = 5;
    inverted.bottom = 10;
    image.SetClipRect( inverted );
    ExpectRect( image.GetClipRect(), 30, 5, 20, 10 );
    EXPECT_LE( image.GetClipRect().GetWidth(), 0 );
}

TEST( Image, SizeSettersLeaveTheClipRectangleAlone ) {
    Image image( 100, 50 );
    image.SetClipRect( 10, 10, 20, 20 );
    image.SetWidth( 5 );
    image.SetHeight( 5 );
    ExpectRect( image.GetClipRect(), 10, 10, 20, 20 );
}

TEST( Image, WrappedMemoryOutlivesTheImageAndCreateGivesAnOwnBlock ) {
    std::vector<uint8_t> memory( 32 * 4, 0x5A );
    {
        Image image;
        image.SetWidth( 20 );
        image.SetHeight( 4 );
        image.SetPitch( 32 );
        image.SetPixels( memory.data() );
        EXPECT_EQ( image.GetOwnsPixels(), 0 );
    }
    for ( uint8_t byte : memory ) {
        ASSERT_EQ( byte, 0x5A );
    }

    Image image;
    image.SetPixels( memory.data() );
    image.SetPitch( 32 );
    ASSERT_EQ( image.Create( 3, 3 ), 1 );
    EXPECT_NE( image.GetPixels(), memory.data() );
    EXPECT_EQ( image.GetPitch(), 3 );
    EXPECT_EQ( image.GetOwnsPixels(), 1 );
}
