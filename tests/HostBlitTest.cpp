#include "host/HostBlit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// The blit as a person would write it: one pixel at a time.
void ReferenceKeyed( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                     int width, int height, uint8_t keyLow, uint8_t keyHigh ) {
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            const uint8_t pixel = source[y * sourcePitch + x];
            if ( pixel < keyLow || pixel > keyHigh ) {
                destination[y * destinationPitch + x] = pixel;
            }
        }
    }
}

// Pixels drawn mostly from the edges of the key range and from long runs, so that blocks
// come out all transparent, all opaque and mixed, and every border value is met.
std::vector<uint8_t> MakeSource( std::mt19937 &random, size_t size, uint8_t keyLow, uint8_t keyHigh ) {
    const uint8_t edges[] = { keyLow,
                              keyHigh,
                              uint8_t( keyLow - 1 ),
                              uint8_t( keyHigh + 1 ),
                              uint8_t( keyLow + 1 ),
                              uint8_t( keyHigh - 1 ),
                              0,
                              255,
                              127,
                              128 };
    std::vector<uint8_t> bytes( size );
    size_t i = 0;
    while ( i < size ) {
        const int kind = int( random() % 4 );
        const size_t run = 1 + random() % 40;
        for ( size_t k = 0; k < run && i < size; k++, i++ ) {
            switch ( kind ) {
            case 0: // a transparent run
                bytes[i] = keyLow;
                break;
            case 1: // an opaque run
                bytes[i] = uint8_t( keyHigh + 1 );
                break;
            case 2:
                bytes[i] = edges[random() % ( sizeof edges )];
                break;
            default:
                bytes[i] = uint8_t( random() );
                break;
            }
        }
    }
    return bytes;
}

struct KeyRange {
    uint8_t low;
    uint8_t high;
};

const KeyRange KEY_RANGES[] = { { 0, 0 },   { 0, 255 },   { 255, 255 }, { 10, 20 }, { 200, 255 },
                                { 0, 127 }, { 128, 255 }, { 127, 128 }, { 1, 254 }, { 77, 77 } };

// Runs the blit and the reference on the same buffers (with bytes before the start and
// after every row that must survive) and compares every byte.
void CompareWithReference( std::mt19937 &random, int width, int height, int sourcePitch, int destinationPitch,
                           int sourceOffset, int destinationOffset, KeyRange key ) {
    const size_t sourceSize = size_t( sourceOffset + sourcePitch * height + 16 );
    const size_t destinationSize = size_t( destinationOffset + destinationPitch * height + 16 );
    const std::vector<uint8_t> source = MakeSource( random, sourceSize, key.low, key.high );
    std::vector<uint8_t> expected( destinationSize );
    for ( uint8_t &byte : expected ) {
        byte = uint8_t( random() );
    }
    std::vector<uint8_t> actual = expected;
    ReferenceKeyed( expected.data() + destinationOffset, destinationPitch, source.data() + sourceOffset,
                    sourcePitch, width, height, key.low, key.high );
    HostBlitKeyed( actual.data() + destinationOffset, destinationPitch, source.data() + sourceOffset,
                   sourcePitch, width, height, key.low, key.high );
    ASSERT_EQ( expected, actual ) << "width " << width << " height " << height << " key " << int( key.low )
                                  << ".." << int( key.high ) << " pitches " << sourcePitch << "/"
                                  << destinationPitch << " offsets " << sourceOffset << "/"
                                  << destinationOffset;
}

// The land laid over a backdrop, the long way: the backdrop copied, then the keyed blit.
void ReferenceKeyedOver( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                         const uint8_t *backdrop, int backdropPitch, int width, int height, uint8_t keyLow,
                         uint8_t keyHigh ) {
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            destination[y * destinationPitch + x] = backdrop[y * backdropPitch + x];
        }
    }
    ReferenceKeyed( destination, destinationPitch, source, sourcePitch, width, height, keyLow, keyHigh );
}

// The same comparison for the blit over a backdrop, whose rows have their own pitch and
// alignment too.
void CompareOverWithReference( std::mt19937 &random, int width, int height, int pitch, int offset,
                               KeyRange key ) {
    const size_t size = size_t( 64 + pitch * height + 64 );
    const std::vector<uint8_t> source = MakeSource( random, size, key.low, key.high );
    std::vector<uint8_t> backdrop( size + size_t( height ) + 16 );
    for ( uint8_t &byte : backdrop ) {
        byte = uint8_t( random() );
    }
    std::vector<uint8_t> expected( size );
    for ( uint8_t &byte : expected ) {
        byte = uint8_t( random() );
    }
    std::vector<uint8_t> actual = expected;
    const int sourceOffset = offset % 29, backdropOffset = offset % 7 + 3, backdropPitch = pitch + 1;
    ReferenceKeyedOver( expected.data() + offset, pitch, source.data() + sourceOffset, pitch,
                        backdrop.data() + backdropOffset, backdropPitch, width, height, key.low, key.high );
    HostBlitKeyedOver( actual.data() + offset, pitch, source.data() + sourceOffset, pitch,
                       backdrop.data() + backdropOffset, backdropPitch, width, height, key.low, key.high );
    ASSERT_EQ( expected, actual ) << "width " << width << " height " << height << " key " << int( key.low )
                                  << ".." << int( key.high ) << " pitch " << pitch << " offset " << offset;
}

} // namespace

// Every test of the keyed blit runs with the widest vectors the machine has, with AVX2 at most
// and with the SSE2 and word paths alone.
class HostBlitKeyedPaths : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { HostBlitAllowWideVectors( GetParam() ); }
    void TearDown() override { HostBlitAllowWideVectors( HOST_BLIT_AVX512 ); }
};

TEST_P( HostBlitKeyedPaths, MatchesPixelByPixelReferenceForEveryWidthKeyAndAlignment ) {
    std::mt19937 random( 1234 );
    for ( const KeyRange &key : KEY_RANGES ) {
        for ( int width = 1; width <= 300; width++ ) {
            const int height = 1 + int( random() % 5 );
            const int sourcePitch = width + int( random() % 19 );
            const int destinationPitch = width + int( random() % 19 );
            const int sourceOffset = int( random() % 32 );
            const int destinationOffset = int( random() % 32 );
            CompareWithReference( random, width, height, sourcePitch, destinationPitch, sourceOffset,
                                  destinationOffset, key );
        }
    }
}

TEST_P( HostBlitKeyedPaths, MatchesReferenceOnAFullTileWithWiderRows ) {
    std::mt19937 random( 99 );
    CompareWithReference( random, 640, 480, 643, 657, 3, 5, KeyRange{ 0, 0 } );
    CompareWithReference( random, 641, 37, 641, 641, 1, 0, KeyRange{ 30, 200 } );
}

// Widths around every vector size and block (one under, at, one over), at every alignment
// of the destination against a 64-byte line, and a whole screen.
TEST_P( HostBlitKeyedPaths, OverABackdropMatchesTheBackdropCopiedThenTheKeyedBlit ) {
    std::mt19937 random( 4321 );
    const int widths[] = { 1, 2, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 200, 639, 640 };
    for ( const KeyRange &key : KEY_RANGES ) {
        for ( int width : widths ) {
            const int offset = int( random() % 64 );
            CompareOverWithReference( random, width, 1 + int( random() % 3 ), width + int( random() % 70 ),
                                      offset, key );
        }
    }
    for ( int offset = 0; offset < 64; offset++ ) {
        CompareOverWithReference( random, 100, 2, 130, offset, KeyRange{ 0, 0 } );
    }
    CompareOverWithReference( random, 640, 480, 640, 16, KeyRange{ 0, 0 } );
}

INSTANTIATE_TEST_SUITE_P( WidestAndNarrow, HostBlitKeyedPaths,
                          ::testing::Values( HOST_BLIT_AVX512, HOST_BLIT_AVX2, HOST_BLIT_SSE2 ) );

TEST( HostBlitKeyed, KeyZeroLeavesTheDestinationUnderIndexZero ) {
    const uint8_t source[20] = { 0, 1, 0, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0 };
    uint8_t destination[20];
    for ( int i = 0; i < 20; i++ ) {
        destination[i] = uint8_t( 100 + i );
    }
    HostBlitKeyed( destination, 20, source, 20, 20, 1, 0, 0 );
    const uint8_t expected[20] = { 100, 1,   102, 2,   3,   105, 106, 107, 108, 109,
                                   110, 111, 112, 113, 114, 115, 116, 117, 255, 119 };
    for ( int i = 0; i < 20; i++ ) {
        EXPECT_EQ( expected[i], destination[i] ) << "pixel " << i;
    }
}

TEST( HostBlitKeyed, EmptyKeyRangeCopiesEverything ) {
    std::vector<uint8_t> source( 33 * 3 ), destination( 33 * 3, 9 );
    for ( size_t i = 0; i < source.size(); i++ ) {
        source[i] = uint8_t( i * 37 );
    }
    HostBlitKeyed( destination.data(), 33, source.data(), 33, 33, 3, 5, 4 );
    EXPECT_EQ( source, destination );
}

TEST( HostBlitKeyed, NothingIsTouchedForAnEmptyArea ) {
    uint8_t source[4] = { 1, 2, 3, 4 };
    uint8_t destination[4] = { 9, 9, 9, 9 };
    HostBlitKeyed( destination, 4, source, 4, 0, 1, 0, 0 );
    HostBlitKeyed( destination, 4, source, 4, 4, 0, 0, 0 );
    HostBlitCopy( destination, 4, source, 4, 0, 1 );
    HostBlitCopy( destination, 4, source, 4, -3, 1 );
    for ( uint8_t byte : destination ) {
        EXPECT_EQ( 9, byte );
    }
}

TEST( HostBlitCopy, CopiesEveryRowAndNothingBesideIt ) {
    std::mt19937 random( 7 );
    for ( int width = 1; width <= 40; width++ ) {
        const int sourcePitch = width + int( random() % 5 );
        const int destinationPitch = width + int( random() % 5 );
        const int height = 1 + int( random() % 4 );
        std::vector<uint8_t> source( size_t( sourcePitch * height ) );
        for ( uint8_t &byte : source ) {
            byte = uint8_t( random() );
        }
        std::vector<uint8_t> destination( size_t( destinationPitch * height + 8 ), 0xEE );
        std::vector<uint8_t> expected = destination;
        for ( int y = 0; y < height; y++ ) {
            for ( int x = 0; x < width; x++ ) {
                expected[size_t( y * destinationPitch + x )] = source[size_t( y * sourcePitch + x )];
            }
        }
        HostBlitCopy( destination.data(), destinationPitch, source.data(), sourcePitch, width, height );
        ASSERT_EQ( expected, destination ) << "width " << width;
    }
}
