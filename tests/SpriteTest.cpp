#include "gfx/Sprite.h"
#include "gfx/Image.h"
#include "gfx/TrigTable.h"

#include "tests/support/ShortOfMemory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <new>
#include <random>
#include <vector>

namespace {

const TrigTable kTrig( 360, 256 );

// An owned Image filled from `pixels`, top row first.
void Fill( Image &image, int width, int height, const std::vector<uint8_t> &pixels ) {
    ASSERT_EQ( 1, image.Create( width, height ) );
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            image.GetPixels()[y * image.GetPitch() + x] = pixels[y * width + x];
        }
    }
}

// A destination in memory owned by the test, with a pitch wider than the Image, as a locked
// surface has; the bytes between the rows must never be written.
struct WrappedDestination {
    WrappedDestination( int width, int height, int pitch, uint8_t background )
        : bytes( static_cast<size_t>( pitch ) * height, background ) {
        image.SetWidth( width );
        image.SetHeight( height );
        image.SetPitch( pitch );
        image.SetPixels( bytes.data() );
        image.SetClipRect( image.GetBounds() );
    }
    std::vector<uint8_t> bytes;
    Image image;
};

std::vector<uint8_t> RandomPicture( std::mt19937 &random, int width, int height ) {
    // Runs of transparent and opaque pixels of varied lengths, so that runs straddle every edge.
    std::vector<uint8_t> pixels( width * height );
    size_t i = 0;
    while ( i < pixels.size() ) {
        const bool opaque = random() % 2 == 0;
        const size_t run = 1 + random() % 12;
        for ( size_t k = 0; k < run && i < pixels.size(); k++, i++ ) {
            pixels[i] = opaque ? static_cast<uint8_t>( 1 + random() % 255 ) : 0;
        }
    }
    return pixels;
}

// What a transparent draw must leave: non-zero pixels copied where they fall inside the clip.
void ModelDraw( const std::vector<uint8_t> &picture, int width, int height, std::vector<uint8_t> &bytes,
                int pitch, const Rect &clip, int x, int y ) {
    for ( int v = 0; v < height; v++ ) {
        for ( int u = 0; u < width; u++ ) {
            const uint8_t value = picture[v * width + u];
            if ( value != 0 && clip.Contains( x + u, y + v ) ) {
                bytes[( y + v ) * pitch + x + u] = value;
            }
        }
    }
}

std::vector<uint8_t> SpriteBytes( const Sprite &sprite ) {
    return std::vector<uint8_t>( sprite.GetData(), sprite.GetData() + sprite.GetDataSize() );
}

} // namespace

TEST( SpriteEncoding, ExampleRowsEncodeByteForByte ) {
    const std::vector<std::vector<uint8_t>> rows = {
        { 0, 0, 7, 9, 0 }, { 3, 0, 0, 0, 0 }, { 4, 5, 6, 7, 8 }, { 0, 0, 0, 0, 0 } };
    const std::vector<std::vector<uint8_t>> encodings = {
        { 0x02, 0x00, 0x02, 0x00, 0x07, 0x09, 0x01, 0x00 },
        { 0x00, 0x00, 0x01, 0x00, 0x03, 0x04, 0x00 },
        { 0x00, 0x00, 0x05, 0x00, 0x04, 0x05, 0x06, 0x07, 0x08 },
        { 0x05, 0x00 },
    };
    std::vector<uint8_t> allPixels, allEncoded;
    for ( size_t i = 0; i < rows.size(); i++ ) {
        Image image;
        Fill( image, 5, 1, rows[i] );
        Sprite sprite;
        ASSERT_EQ( 1, sprite.Build( image, image.GetBounds(), 1 ) );
        EXPECT_EQ( encodings[i], SpriteBytes( sprite ) ) << "row " << i;
        allPixels.insert( allPixels.end(), rows[i].begin(), rows[i].end() );
        allEncoded.insert( allEncoded.end(), encodings[i].begin(), encodings[i].end() );
    }
    // Rows follow one another with no header and no terminator.
    Image image;
    Fill( image, 5, 4, allPixels );
    Sprite sprite;
    ASSERT_EQ( 1, sprite.Build( image, image.GetBounds(), 1 ) );
    EXPECT_EQ( 1, sprite.GetEncoded() );
    EXPECT_EQ( allEncoded, SpriteBytes( sprite ) );
}

TEST( SpriteEncoding, CountsAreLittleEndianSixteenBits ) {
    std::vector<uint8_t> row( 300, 0 );
    for ( int x = 260; x < 300; x++ ) {
        row[x] = 9;
    }
    Image image;
    Fill( image, 300, 1, row );
    Sprite sprite;
    ASSERT_EQ( 1, sprite.Build( image, image.GetBounds(), 1 ) );
    const std::vector<uint8_t> bytes = SpriteBytes( sprite );
    ASSERT_EQ( 44u, bytes.size() );
    EXPECT_EQ( 0x04, bytes[0] ); // 260 = 0x0104
    EXPECT_EQ( 0x01, bytes[1] );
    EXPECT_EQ( 40, bytes[2] );
    EXPECT_EQ( 0, bytes[3] );
}

TEST( SpriteBuilding, RegionIsCutToTheSourceAndRawRowsAreCopied ) {
    std::vector<uint8_t> pixels( 10 * 8 );
    for ( size_t i = 0; i < pixels.size(); i++ ) {
        pixels[i] = static_cast<uint8_t>( i );
    }
    Image image;
    Fill( image, 10, 8, pixels );
    Sprite sprite;
    ASSERT_EQ( 1, sprite.Build( image, Rect( 6, 5, 20, 30 ), 0 ) );
    EXPECT_EQ( 4, sprite.GetWidth() );
    EXPECT_EQ( 3, sprite.GetHeight() );
    EXPECT_EQ( 12, sprite.GetDataSize() );
    const std::vector<uint8_t> expected = { 56, 57, 58, 59, 66, 67, 68, 69, 76, 77, 78, 79 };
    EXPECT_EQ( expected, SpriteBytes( sprite ) );

    Sprite whole;
    ASSERT_EQ( 1, whole.Build( image, Rect( -5, -5, 100, 100 ), 0 ) );
    EXPECT_EQ( 10, whole.GetWidth() );
    EXPECT_EQ( 8, whole.GetHeight() );
    EXPECT_EQ( pixels, SpriteBytes( whole ) );
}

TEST( SpriteBuilding, RefusedBuildsLeaveTheSpriteEmptyOrUnchanged ) {
    Image image;
    Fill( image, 10, 8, std::vector<uint8_t>( 80, 5 ) );

    Sprite outside;
    EXPECT_EQ( 0, outside.Build( image, Rect( 20, 0, 30, 5 ), 0 ) );
    EXPECT_EQ( 0, outside.Build( image, Rect( 0, -9, 5, -1 ), 1 ) );
    EXPECT_EQ( 0, outside.GetWidth() );
    EXPECT_EQ( 0, outside.GetHeight() );
    EXPECT_EQ( nullptr, outside.GetData() );

    Image noPixels;
    noPixels.SetWidth( 10 );
    noPixels.SetHeight( 10 );
    Sprite fromNothing;
    EXPECT_EQ( 0, fromNothing.Build( noPixels, Rect( 0, 0, 9, 9 ), 0 ) );
    EXPECT_EQ( nullptr, fromNothing.GetData() );

    Sprite built;
    ASSERT_EQ( 1, built.Build( image, Rect( 0, 0, 3, 3 ), 0 ) );
    const uint8_t *data = built.GetData();
    EXPECT_EQ( 0, built.Build( image, Rect( 0, 0, 9, 7 ), 1 ) );
    EXPECT_EQ( 4, built.GetWidth() );
    EXPECT_EQ( data, built.GetData() );
    EXPECT_EQ( 0, built.GetEncoded() );
}

TEST( SpriteBuilding, WithoutMemoryTheSizeIsKeptButNothingIsDrawn ) {
    Image picture;
    Fill( picture, 100, 50, std::vector<uint8_t>( 100 * 50, 6 ) );
    for ( uint8_t encode = 0; encode <= 1; encode++ ) {
        Sprite sprite;
        SetLargeAllocationsFail( true );
        const int built = sprite.Build( picture, picture.GetBounds(), encode );
        SetLargeAllocationsFail( false );
        EXPECT_EQ( 0, built );
        // A tank stands and drives by its picture's size even when the picture is missing.
        EXPECT_EQ( 100, sprite.GetWidth() );
        EXPECT_EQ( 50, sprite.GetHeight() );
        EXPECT_EQ( nullptr, sprite.GetData() );
        WrappedDestination destination( 120, 60, 120, 9 );
        sprite.Draw( destination.image, 0, 0 );
        sprite.DrawRotated( destination.image, 0, 0, 50, 25, 30, kTrig );
        EXPECT_EQ( std::vector<uint8_t>( 120 * 60, 9 ), destination.bytes );
        // Nothing was kept, so a later Build may still succeed.
        ASSERT_EQ( 1, sprite.Build( picture, picture.GetBounds(), encode ) );
        EXPECT_NE( nullptr, sprite.GetData() );
    }
}

TEST( SpriteBuilding, EncodedFormRefusesRowsBeyondSixteenBitCounts ) {
    Image wide;
    Fill( wide, 65536, 1, std::vector<uint8_t>( 65536, 3 ) );
    Sprite tooWide;
    EXPECT_EQ( 0, tooWide.Build( wide, wide.GetBounds(), 1 ) );
    EXPECT_EQ( 0, tooWide.GetWidth() );
    EXPECT_EQ( nullptr, tooWide.GetData() );

    Sprite widest;
    ASSERT_EQ( 1, widest.Build( wide, Rect( 1, 0, 65535, 0 ), 1 ) );
    EXPECT_EQ( 65535, widest.GetWidth() );
    EXPECT_EQ( 2 + 2 + 65535, widest.GetDataSize() );
    Sprite raw;
    EXPECT_EQ( 1, raw.Build( wide, wide.GetBounds(), 0 ) );
}

TEST( SpriteDrawing, TransparentPixelsLeaveTheDestinationAndOthersAreCopied ) {
    Image picture;
    Fill( picture, 3, 2, { 0, 4, 0, 5, 0, 6 } );
    for ( uint8_t encode = 0; encode <= 1; encode++ ) {
        Sprite sprite( picture, picture.GetBounds(), encode );
        WrappedDestination destination( 6, 4, 8, 9 );
        sprite.Draw( destination.image, 2, 1 );
        const std::vector<uint8_t> expected = {
            9, 9, 9, 9, 9, 9, 9, 9, //
            9, 9, 9, 4, 9, 9, 9, 9, //
            9, 9, 5, 9, 6, 9, 9, 9, //
            9, 9, 9, 9, 9, 9, 9, 9, //
        };
        EXPECT_EQ( expected, destination.bytes ) << "encoded " << int( encode );
    }
}

TEST( SpriteDrawing, RawAndEncodedMatchTheModelAtEveryPositionAroundTheClip ) {
    std::mt19937 random( 20240611 );
    const Rect clip( 9, 7, 31, 22 );
    for ( int picture = 0; picture < 8; picture++ ) {
        const int width = 1 + random() % 24;
        const int height = 1 + random() % 10;
        const std::vector<uint8_t> pixels = RandomPicture( random, width, height );
        Image source;
        Fill( source, width, height, pixels );
        Sprite raw( source, source.GetBounds(), 0 );
        Sprite encoded( source, source.GetBounds(), 1 );
        ASSERT_EQ( 1, encoded.GetEncoded() );
        for ( int y = clip.top - height - 1; y <= clip.bottom + 1; y++ ) {
            for ( int x = clip.left - width - 1; x <= clip.right + 1; x++ ) {
                WrappedDestination a( 44, 32, 51, 200 );
                WrappedDestination b( 44, 32, 51, 200 );
                a.image.SetClipRect( clip );
                b.image.SetClipRect( clip );
                std::vector<uint8_t> expected = a.bytes;
                ModelDraw( pixels, width, height, expected, 51, clip, x, y );
                raw.Draw( a.image, x, y );
                encoded.Draw( b.image, x, y );
                ASSERT_EQ( expected, a.bytes ) << "raw " << width << "x" << height << " at " << x << "," << y;
                ASSERT_EQ( expected, b.bytes )
                    << "encoded " << width << "x" << height << " at " << x << "," << y;
            }
        }
    }
}

TEST( SpriteDrawing, NothingIsDrawnWhereThereIsNothingToDrawInto ) {
    Image picture;
    Fill( picture, 4, 4, std::vector<uint8_t>( 16, 7 ) );
    Sprite raw( picture, picture.GetBounds(), 0 );
    Sprite encoded( picture, picture.GetBounds(), 1 );
    Sprite empty;

    WrappedDestination emptyClip( 20, 20, 20, 1 );
    emptyClip.image.SetClipRect( 200, 0, 300, 10 );
    WrappedDestination open( 20, 20, 20, 1 );
    const std::vector<uint8_t> untouched = open.bytes;
    for ( const Sprite *sprite : { &raw, &encoded } ) {
        sprite->Draw( emptyClip.image, 5, 5 );
        // Positions so far out that the far corner does not fit an int.
        sprite->Draw( open.image, INT_MAX - 1, INT_MAX - 1 );
        sprite->Draw( open.image, INT_MIN, INT_MIN );
        // One pixel beyond each edge.
        sprite->Draw( open.image, -4, 5 );
        sprite->Draw( open.image, 20, 5 );
        sprite->Draw( open.image, 5, -4 );
        sprite->Draw( open.image, 5, 20 );
    }
    empty.Draw( open.image, 5, 5 );
    EXPECT_EQ( untouched, emptyClip.bytes );
    EXPECT_EQ( untouched, open.bytes );

    Image noPixels;
    noPixels.SetWidth( 20 );
    noPixels.SetHeight( 20 );
    noPixels.SetPitch( 20 );
    noPixels.SetClipRect( noPixels.GetBounds() );
    raw.Draw( noPixels, 0, 0 );
    encoded.Draw( noPixels, 0, 0 );
}

TEST( SpriteConversion, FormsRoundTripAndMatchDirectBuilds ) {
    std::mt19937 random( 7 );
    const std::vector<uint8_t> pixels = RandomPicture( random, 17, 9 );
    Image source;
    Fill( source, 17, 9, pixels );
    Sprite direct( source, source.GetBounds(), 1 );
    Sprite sprite( source, source.GetBounds(), 0 );

    EXPECT_EQ( 0, sprite.ConvertToRaw() );
    ASSERT_EQ( 1, sprite.ConvertToEncoded() );
    EXPECT_EQ( 1, sprite.GetEncoded() );
    EXPECT_EQ( SpriteBytes( direct ), SpriteBytes( sprite ) );
    EXPECT_EQ( 0, sprite.ConvertToEncoded() );

    ASSERT_EQ( 1, sprite.ConvertToRaw() );
    EXPECT_EQ( 0, sprite.GetEncoded() );
    EXPECT_EQ( 17 * 9, sprite.GetDataSize() );
    EXPECT_EQ( pixels, SpriteBytes( sprite ) );

    Sprite empty;
    EXPECT_EQ( 0, empty.ConvertToEncoded() );
    EXPECT_EQ( 0, empty.ConvertToRaw() );
}
