#include "host/FrameConversion.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined( __GNUC__ ) && defined( __x86_64__ )
#define FRAME_CONVERSION_VBMI 1
#include <immintrin.h>
#define VBMI_CODE __attribute__( ( target( "avx512f,avx512bw,avx512vbmi" ) ) )
#endif

static int allowByteShuffles = 1;

void FrameConversionAllowByteShuffles( int allow ) {
    allowByteShuffles = allow;
}

void BuildPaletteLookup( const HostPaletteEntry *palette, const PixelLayout &layout, uint32_t lookup[256] ) {
    for ( int index = 0; index < 256; ++index ) {
        uint32_t pixel = layout.opaqueBits;
        if ( palette ) {
            const HostPaletteEntry &entry = palette[index];
            pixel |= static_cast<uint32_t>( entry.red ) << layout.redShift;
            pixel |= static_cast<uint32_t>( entry.green ) << layout.greenShift;
            pixel |= static_cast<uint32_t>( entry.blue ) << layout.blueShift;
        }
        lookup[index] = pixel;
    }
}

// The plain conversion, and the one for machines without byte shuffles.
static void ConvertRow( const uint8_t *source, uint32_t *target, int width, const uint32_t lookup[256] ) {
    // Four at a time: the loop is bound by the lookups, and unrolling lets them overlap.
    int x = 0;
    for ( ; x + 4 <= width; x += 4 ) {
        target[x] = lookup[source[x]];
        target[x + 1] = lookup[source[x + 1]];
        target[x + 2] = lookup[source[x + 2]];
        target[x + 3] = lookup[source[x + 3]];
    }
    for ( ; x < width; ++x ) {
        target[x] = lookup[source[x]];
    }
}

#if defined( FRAME_CONVERSION_VBMI )
namespace {

// The lookup split into its four bytes, each a table of 256 bytes in four 64-byte vectors:
// a byte shuffle across two vectors looks up 64 indices below 128 at once, another those
// above, and the top bit of the index picks between them.
struct ByteTables {
    __m512i part[4][4];
    __m512i order;    // see LookUpBlock
    __m512i topBytes; // the top byte of entry 0 in every place
    int topUniform;   // 1 where every entry has the same top byte (the alpha, in our layouts)
};

VBMI_CODE void SplitLookup( const uint32_t lookup[256], ByteTables &tables ) {
    alignas( 64 ) uint8_t bytes[4][256];
    for ( int index = 0; index < 256; ++index ) {
        for ( int byte = 0; byte < 4; ++byte ) {
            bytes[byte][index] = static_cast<uint8_t>( lookup[index] >> ( 8 * byte ) );
        }
    }
    for ( int byte = 0; byte < 4; ++byte ) {
        for ( int quarter = 0; quarter < 4; ++quarter ) {
            tables.part[byte][quarter] = _mm512_load_si512( bytes[byte] + 64 * quarter );
        }
    }
    tables.topUniform = 1;
    for ( int index = 1; index < 256; ++index ) {
        tables.topUniform &= bytes[3][index] == bytes[3][0];
    }
    tables.topBytes = _mm512_set1_epi8( char( bytes[3][0] ) );
    alignas( 64 ) uint8_t order[64];
    for ( int lane = 0; lane < 4; ++lane ) {
        for ( int group = 0; group < 4; ++group ) {
            for ( int byte = 0; byte < 4; ++byte ) {
                order[16 * lane + 4 * group + byte] = static_cast<uint8_t>( 16 * group + 4 * lane + byte );
            }
        }
    }
    tables.order = _mm512_load_si512( order );
}

// The tables of the last lookup converted with, kept per thread: splitting costs about as much
// as converting a tenth of the frame, and the SDL present converts a frame in several pieces
// with one lookup that changes only with the palette.
struct SplitCache {
    ByteTables tables;
    uint32_t lookup[256];
    int valid = 0;
};

VBMI_CODE const ByteTables &TablesFor( const uint32_t lookup[256] ) {
    static thread_local SplitCache cache;
    if ( !cache.valid || std::memcmp( cache.lookup, lookup, sizeof( cache.lookup ) ) != 0 ) {
        SplitLookup( lookup, cache.tables );
        std::memcpy( cache.lookup, lookup, sizeof( cache.lookup ) );
        cache.valid = 1;
    }
    return cache.tables;
}

#define VBMI_INLINE VBMI_CODE __attribute__( ( always_inline ) ) inline

VBMI_INLINE __m512i LookUpByte( const __m512i part[4], __m512i indices, __mmask64 high ) {
    const __m512i low = _mm512_permutex2var_epi8( part[0], indices, part[1] );
    const __m512i upper = _mm512_permutex2var_epi8( part[2], indices, part[3] );
    return _mm512_mask_blend_epi8( high, low, upper );
}

// 64 pixels looked up and stored through `store` (a full or a masked store), 16 consecutive
// ones a vector. Interleaving the four byte planes works within 16-byte lanes, so the indices
// are first put in the order (lane l, group g of four bytes taking pixels 16 g + 4 l to
// 16 g + 4 l + 3) that makes each interleaved vector hold 16 consecutive pixels.
template <int TOP_UNIFORM, typename Store>
VBMI_INLINE void ConvertBlock( __m512i source, const ByteTables &tables, Store store ) {
    // (the masked form, as the unmasked one's header reads an undefined value GCC warns about)
    const __m512i indices = _mm512_maskz_permutexvar_epi8( ~0ull, tables.order, source );
    const __mmask64 high = _mm512_movepi8_mask( indices );
    const __m512i b0 = LookUpByte( tables.part[0], indices, high );
    const __m512i b1 = LookUpByte( tables.part[1], indices, high );
    const __m512i b2 = LookUpByte( tables.part[2], indices, high );
    const __m512i b3 = TOP_UNIFORM ? tables.topBytes : LookUpByte( tables.part[3], indices, high );
    const __m512i low01 = _mm512_unpacklo_epi8( b0, b1 ), high01 = _mm512_unpackhi_epi8( b0, b1 );
    const __m512i low23 = _mm512_unpacklo_epi8( b2, b3 ), high23 = _mm512_unpackhi_epi8( b2, b3 );
    store( 0, _mm512_unpacklo_epi16( low01, low23 ) );
    store( 1, _mm512_unpackhi_epi16( low01, low23 ) );
    store( 2, _mm512_unpacklo_epi16( high01, high23 ) );
    store( 3, _mm512_unpackhi_epi16( high01, high23 ) );
}

// The conversion is bound by the caches, not the shuffles: it takes within a few percent of
// reading its indices and writing its lines with no lookup at all (BM_StoreLines_Frame32), and
// cheaper shuffles (blend-free masked permutes, a reorder by whole dwords, the row's first pixels
// as one masked block instead of the plain loop) each measured within 2 to 4 % of the code below.
//
// A row in three parts, so that every full block's four stores each fill one cache line: the
// pixels before the target's first 64-byte boundary by the plain loop, then whole blocks, then
// the rest as one block with masked loads and stores, reading and writing nothing past the
// row's end. Masked and line-splitting stores cost this processor about as much again as the
// conversion's shuffles, and the target rows rarely start on a line (SDL's textures at 16
// bytes past one).
// The pixels are written through the caches, not past them: the present reads them again at
// once (SDL's texture copy), and in the SDL present path (BM_SdlUploadFrame_Frame, dummy and
// Xvfb drivers, every pixel changing) ordinary stores took 34 us a frame where streaming stores
// took 41 to 43 us; the conversion alone took 26 us against 40 us.
template <int TOP_UNIFORM>
VBMI_INLINE void ConvertRowVbmi( const uint8_t *source, uint32_t *target, int width,
                                 const uint32_t lookup[256], const ByteTables &tables ) {
    const uintptr_t address = reinterpret_cast<uintptr_t>( target );
    int head = address % 4 == 0 ? static_cast<int>( ( 64 - address % 64 ) % 64 / 4 ) : 0;
    head = head < width ? head : width;
    ConvertRow( source, target, head, lookup );
    int x = head;
    for ( ; x + 64 <= width; x += 64 ) {
        uint32_t *block = target + x;
        ConvertBlock<TOP_UNIFORM>( _mm512_loadu_si512( source + x ), tables,
                                   [block]( int i, __m512i pixels )
                                       VBMI_CODE { _mm512_storeu_si512( block + 16 * i, pixels ); } );
    }
    if ( x < width ) {
        const __mmask64 keep = ~0ull >> ( 64 - ( width - x ) );
        uint32_t *block = target + x;
        ConvertBlock<TOP_UNIFORM>( _mm512_maskz_loadu_epi8( keep, source + x ), tables,
                                   [block, keep]( int i, __m512i pixels ) VBMI_CODE {
                                       _mm512_mask_storeu_epi32( block + 16 * i,
                                                                 __mmask16( keep >> ( 16 * i ) ), pixels );
                                   } );
    }
}

// The tables are copied here so that they stay in registers: through the reference, every
// store of a pixel might have changed them.
template <int TOP_UNIFORM>
VBMI_CODE void ConvertFrameVbmi( const uint8_t *pixels, int pitch, int width, int height,
                                 const uint32_t lookup[256], const ByteTables &shared, uint8_t *destination,
                                 int destinationPitch ) {
    const ByteTables tables = shared;
    for ( int y = 0; y < height; ++y ) {
        ConvertRowVbmi<TOP_UNIFORM>( pixels + static_cast<ptrdiff_t>( y ) * pitch,
                                     reinterpret_cast<uint32_t *>( destination ), width, lookup, tables );
        destination += destinationPitch;
    }
}

int HasByteShuffles() {
    static const int available =
        __builtin_cpu_supports( "avx512bw" ) && __builtin_cpu_supports( "avx512vbmi" ) ? 1 : 0;
    return available;
}

} // namespace
#endif

void ConvertFrame( const uint8_t *pixels, int pitch, int width, int height, const uint32_t lookup[256],
                   void *destination, int destinationPitch ) {
    uint8_t *destinationRow = static_cast<uint8_t *>( destination );
#if defined( FRAME_CONVERSION_VBMI )
    if ( allowByteShuffles && HasByteShuffles() ) {
        const ByteTables &tables = TablesFor( lookup );
        if ( tables.topUniform ) {
            ConvertFrameVbmi<1>( pixels, pitch, width, height, lookup, tables, destinationRow,
                                 destinationPitch );
        } else {
            ConvertFrameVbmi<0>( pixels, pitch, width, height, lookup, tables, destinationRow,
                                 destinationPitch );
        }
        return;
    }
#endif
    for ( int y = 0; y < height; ++y ) {
        ConvertRow( pixels + static_cast<ptrdiff_t>( y ) * pitch,
                    reinterpret_cast<uint32_t *>( destinationRow ), width, lookup );
        destinationRow += destinationPitch;
    }
}
