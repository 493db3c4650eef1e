#include "host/FrameConversion.h"

#include <cstddef>

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
    __m512i order;     // see ConvertRowVbmi
    int uniform[4];    // 1 where every entry has the same byte (the alpha, in our layouts)
    __m512i filled[4]; // that byte in every place
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
        tables.uniform[byte] = 1;
        for ( int index = 1; index < 256; ++index ) {
            tables.uniform[byte] &= bytes[byte][index] == bytes[byte][0];
        }
        tables.filled[byte] = _mm512_set1_epi8( char( bytes[byte][0] ) );
    }
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

VBMI_CODE inline __m512i LookUpByte( const ByteTables &tables, int byte, __m512i indices, __mmask64 high ) {
    if ( tables.uniform[byte] ) {
        return tables.filled[byte];
    }
    const __m512i *part = tables.part[byte];
    const __m512i low = _mm512_permutex2var_epi8( part[0], indices, part[1] );
    const __m512i upper = _mm512_permutex2var_epi8( part[2], indices, part[3] );
    return _mm512_mask_blend_epi8( high, low, upper );
}

// The four byte planes of 64 looked-up pixels interleaved into pixels and stored, only those
// `keep` selects. Interleaving works within 16-byte lanes, so the indices were first put in the
// order that makes each interleaved vector hold 16 consecutive pixels (see ConvertRowVbmi).
VBMI_CODE inline void StorePixels( uint32_t *target, __m512i b0, __m512i b1, __m512i b2, __m512i b3,
                                   __mmask64 keep ) {
    const __m512i low01 = _mm512_unpacklo_epi8( b0, b1 ), high01 = _mm512_unpackhi_epi8( b0, b1 );
    const __m512i low23 = _mm512_unpacklo_epi8( b2, b3 ), high23 = _mm512_unpackhi_epi8( b2, b3 );
    const __m512i pixels[4] = { _mm512_unpacklo_epi16( low01, low23 ), _mm512_unpackhi_epi16( low01, low23 ),
                                _mm512_unpacklo_epi16( high01, high23 ),
                                _mm512_unpackhi_epi16( high01, high23 ) };
    for ( int i = 0; i < 4; ++i ) {
        _mm512_mask_storeu_epi32( target + 16 * i, __mmask16( keep >> ( 16 * i ) ), pixels[i] );
    }
}

VBMI_CODE inline void ConvertBlock( const uint8_t *source, uint32_t *target, const ByteTables &tables,
                                    __mmask64 keep ) {
    const __m512i indices =
        _mm512_maskz_permutexvar_epi8( ~0ull, tables.order, _mm512_maskz_loadu_epi8( keep, source ) );
    const __mmask64 high = _mm512_movepi8_mask( indices );
    StorePixels( target, LookUpByte( tables, 0, indices, high ), LookUpByte( tables, 1, indices, high ),
                 LookUpByte( tables, 2, indices, high ), LookUpByte( tables, 3, indices, high ), keep );
}

// 64 pixels at a time, lane l, group g of four bytes taking pixels 16 g + 4 l to 16 g + 4 l + 3;
// the row's last block, when shorter, with masked loads and stores, so that no pixel is left to
// the plain loop and nothing past the row's end is read or written.
// The pixels are written through the caches, not past them: the present reads them again at
// once (SDL's texture copy), and in the SDL present path (BM_SdlUploadFrame_Frame, dummy and
// Xvfb drivers, every pixel changing) ordinary stores took 34 us a frame where streaming stores
// took 41 to 43 us; the conversion alone took 26 us against 40 us.
VBMI_CODE void ConvertRowVbmi( const uint8_t *source, uint32_t *target, int width,
                               const ByteTables &tables ) {
    int x = 0;
    for ( ; x + 64 <= width; x += 64 ) {
        ConvertBlock( source + x, target + x, tables, ~0ull );
    }
    if ( x < width ) {
        ConvertBlock( source + x, target + x, tables, ~0ull >> ( 64 - ( width - x ) ) );
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
        ByteTables tables;
        SplitLookup( lookup, tables );
        for ( int y = 0; y < height; ++y ) {
            ConvertRowVbmi( pixels + static_cast<ptrdiff_t>( y ) * pitch,
                            reinterpret_cast<uint32_t *>( destinationRow ), width, tables );
            destinationRow += destinationPitch;
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
