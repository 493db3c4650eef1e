#include "host/HostBlit.h"
#include "host/HostKeyedPieces.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A land-like surface of 64-pixel cells, each all key (sky), all opaque (ground) or one of
// them with a single pixel of the other at a chosen place, so that pieces of every kind meet.
// Its padding past the width holds the other kind, which no piece may take in.
struct PieceSurface {
    int width;
    int height;
    int pitch;
    std::vector<uint8_t> pixels;
};

PieceSurface MakePieceSurface( std::mt19937 &random, int width, int height, KeyRange key ) {
    PieceSurface surface = { width, height, width + 22, {} };
    const uint8_t sky = key.low, ground = uint8_t( key.high + 1 );
    surface.pixels.assign( size_t( surface.pitch * height ), sky );
    for ( int y = 0; y < height; y++ ) {
        uint8_t *row = surface.pixels.data() + y * surface.pitch;
        for ( int x = 0; x < width; x += 64 ) {
            const int cell = std::min( 64, width - x );
            const int kind = int( random() % 4 );
            std::fill( row + x, row + x + cell, kind % 2 == 0 ? sky : ground );
            if ( kind >= 2 ) {
                const int odd[] = { 0, cell - 1, int( random() % unsigned( cell ) ) };
                row[x + odd[random() % 3]] = kind % 2 == 0 ? ground : sky;
            }
        }
        std::fill( row + width, row + surface.pitch, uint8_t( ( y % 2 ) ? sky : ground ) );
    }
    return surface;
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

// One pixel at a piece's side, at the key range's ends or just outside them decides the
// piece's kind; the short last piece of a row counts only its own pixels.
TEST_P( HostBlitKeyedPaths, PiecesAreSortedByEveryPixelUpToTheirSides ) {
    const int width = 650, pitch = 672; // ten whole pieces and one of 10 pixels
    struct Case {
        KeyRange key;
        uint8_t base;  // every pixel of the row...
        int at;        // ...but this one
        uint8_t value; // which is this
        uint8_t baseKind;
        uint8_t pieceKind; // the kind of the piece holding `at`
    };
    const uint8_t T = HostKeyedPieces::TRANSPARENT, O = HostKeyedPieces::OPAQUE, M = HostKeyedPieces::MIXED;
    const Case cases[] = {
        { { 0, 0 }, 0, 63, 1, T, M },          { { 0, 0 }, 0, 64, 1, T, M },
        { { 0, 0 }, 0, 0, 255, T, M },         { { 0, 0 }, 0, 649, 7, T, M },
        { { 0, 0 }, 5, 640, 0, O, M },         { { 10, 20 }, 10, 300, 20, T, T },
        { { 10, 20 }, 20, 300, 21, T, M },     { { 10, 20 }, 10, 127, 9, T, M },
        { { 10, 20 }, 21, 128, 9, O, O },      { { 10, 20 }, 9, 128, 10, O, M },
        { { 0, 255 }, 0, 200, 255, T, T },     { { 255, 255 }, 254, 3, 255, O, M },
        { { 200, 255 }, 199, 600, 200, O, M }, { { 5, 4 }, 5, 100, 4, O, O },
    };
    for ( const Case &each : cases ) {
        std::vector<uint8_t> pixels( size_t( pitch ),
                                     uint8_t( each.baseKind == T ? each.key.high + 1 : each.key.low ) );
        std::fill( pixels.begin(), pixels.begin() + width, each.base );
        pixels[size_t( each.at )] = each.value;
        HostKeyedPieces pieces;
        ASSERT_EQ( 1, pieces.Create( width, 1 ) );
        pieces.Follow( 1, pixels.data(), pitch, each.key.low, each.key.high );
        const int perRow = pieces.GetPiecesPerRow();
        ASSERT_EQ( 11, perRow );
        const uint8_t *kinds = pieces.Row( 0, 0, perRow );
        const uint64_t ends = pieces.GetStretchEnds( 0 );
        for ( int piece = 0; piece < perRow; piece++ ) {
            const uint8_t expected = piece == each.at / 64 ? each.pieceKind : each.baseKind;
            EXPECT_EQ( expected, kinds[piece] )
                << "key " << int( each.key.low ) << ".." << int( each.key.high ) << " pixel " << each.at
                << " = " << int( each.value ) << " piece " << piece;
            // A stretch ends where the next piece is of another kind, and at the row's end.
            const int endsHere = piece + 1 == perRow || kinds[piece] != kinds[piece + 1];
            EXPECT_EQ( uint64_t( endsHere ), ( ends >> piece ) & 1 ) << "piece " << piece;
        }
        EXPECT_EQ( 0u, ends >> perRow );
    }
}

// The blit over a backdrop reading by pieces gives the backdrop copied then the keyed blit,
// for windows whose sides fall one off either side of a piece's, at the surface's last
// column and row, and for one pixel.
TEST_P( HostBlitKeyedPaths, OverABackdropByPiecesMatchesTheBackdropCopiedThenTheKeyedBlit ) {
    std::mt19937 random( 2718 );
    struct Window {
        int left, top, width, height;
    };
    const Window windows[] = { { 0, 0, 650, 9 },  { 1, 2, 649, 7 },   { 63, 0, 2, 3 },   { 64, 1, 64, 4 },
                               { 65, 0, 127, 9 }, { 127, 3, 130, 6 }, { 600, 8, 50, 1 }, { 649, 0, 1, 9 },
                               { 0, 8, 1, 1 },    { 5, 0, 640, 9 },   { 191, 4, 65, 5 } };
    for ( const KeyRange &key : KEY_RANGES ) {
        PieceSurface surface = MakePieceSurface( random, 650, 9, key );
        HostKeyedPieces pieces;
        ASSERT_EQ( 1, pieces.Create( surface.width, surface.height ) );
        pieces.Follow( 1, surface.pixels.data(), surface.pitch, key.low, key.high );
        // Each window sorts the pieces it shows, next to those earlier ones sorted; then, the
        // picture changed, the same again from the right, over pieces an older picture sorted.
        for ( int pass = 0; pass < 2 * int( sizeof windows / sizeof *windows ); pass++ ) {
            const int count = int( sizeof windows / sizeof *windows );
            if ( pass == count ) {
                surface = MakePieceSurface( random, 650, 9, key );
                pieces.Follow( 2, surface.pixels.data(), surface.pitch, key.low, key.high );
            }
            const Window &window = windows[pass < count ? pass : 2 * count - 1 - pass];
            const int pitch = 700, offset = int( random() % 64 ), backdropPitch = 703;
            std::vector<uint8_t> backdrop( size_t( backdropPitch * 10 ) );
            for ( uint8_t &byte : backdrop ) {
                byte = uint8_t( random() );
            }
            std::vector<uint8_t> expected( size_t( offset + pitch * 10 ) );
            for ( uint8_t &byte : expected ) {
                byte = uint8_t( random() );
            }
            std::vector<uint8_t> actual = expected;
            const uint8_t *from = surface.pixels.data() + window.top * surface.pitch + window.left;
            ReferenceKeyedOver( expected.data() + offset, pitch, from, surface.pitch, backdrop.data() + 1,
                                backdropPitch, window.width, window.height, key.low, key.high );
            HostBlitKeyedOver( actual.data() + offset, pitch, from, surface.pitch, backdrop.data() + 1,
                               backdropPitch, window.width, window.height, key.low, key.high, &pieces,
                               window.left, window.top );
            ASSERT_EQ( expected, actual )
                << "key " << int( key.low ) << ".." << int( key.high ) << " window " << window.left << ","
                << window.top << " " << window.width << "x" << window.height;
        }
    }
}

// Pieces are sorted once for what the surface holds, only those asked for and the gap up to
// those known; a new change count, key or memory forgets them all.
TEST( HostKeyedPieces, PiecesAreSortedOnceUntilTheSurfaceMoves ) {
    std::vector<uint8_t> pixels( 640 * 4, 0 ), other( 640 * 4, 0 );
    HostKeyedPieces pieces;
    ASSERT_EQ( 1, pieces.Create( 640, 4 ) );
    EXPECT_EQ( 0, pieces.IsFollowing() );
    pieces.Follow( 7, pixels.data(), 640, 0, 0 );
    ASSERT_EQ( 1, pieces.IsFollowing() );
    struct Ask {
        int first, end;
        uint32_t sorted; // pieces sorted by the asking
    };
    const Ask asks[] = { { 4, 6, 2 }, { 4, 6, 0 },  { 5, 6, 0 }, { 3, 5, 1 },
                         { 8, 9, 3 }, { 0, 10, 4 }, { 0, 1, 0 } };
    for ( const Ask &ask : asks ) {
        const uint32_t before = pieces.GetPiecesSorted();
        EXPECT_NE( nullptr, pieces.Row( 2, ask.first, ask.end ) );
        EXPECT_EQ( ask.sorted, pieces.GetPiecesSorted() - before ) << ask.first << ".." << ask.end;
    }
    EXPECT_EQ( nullptr, pieces.KnownRow( 1, 0, 1 ) );
    EXPECT_EQ( HostKeyedPieces::TRANSPARENT, pieces.KnownRow( 2, 0, 10 )[1] );
    pixels[2 * 640 + 100] = 9;
    pieces.Follow( 7, pixels.data(), 640, 0, 0 );
    EXPECT_NE( nullptr, pieces.KnownRow( 2, 1, 2 ) ) << "the same change count keeps every piece";
    struct Move {
        const char *what;
        uint32_t changes;
        const uint8_t *memory;
        uint8_t keyLow, keyHigh;
        uint8_t kind; // of row 2's second piece afterwards
    };
    const Move moves[] = { { "a change", 8, pixels.data(), 0, 0, HostKeyedPieces::MIXED },
                           { "a key", 8, pixels.data(), 9, 9, HostKeyedPieces::MIXED },
                           { "a wider key", 8, pixels.data(), 0, 9, HostKeyedPieces::TRANSPARENT },
                           { "other memory", 8, other.data(), 0, 9, HostKeyedPieces::TRANSPARENT } };
    for ( const Move &move : moves ) {
        pieces.Follow( move.changes, move.memory, 640, move.keyLow, move.keyHigh );
        EXPECT_EQ( nullptr, pieces.KnownRow( 2, 1, 2 ) ) << move.what;
        EXPECT_EQ( move.kind, pieces.Row( 2, 1, 2 )[1] ) << move.what;
    }
    EXPECT_EQ( 0, pieces.Create( 64 * 64 + 1, 1 ) ) << "more pieces a row than a mask holds";
    EXPECT_EQ( 1, pieces.Create( 64 * 64, 1 ) );
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
