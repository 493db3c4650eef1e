#include "hud/MaskedStores.h"

#include <cstddef>

#if defined( __GNUC__ ) && defined( __x86_64__ )
#define HUD_MASKED 1
#include <immintrin.h>
#define MASKED_CODE __attribute__( ( target( "avx512f,avx512bw" ) ) )
#endif

namespace {

const int BLOCK = 64;

int allowMaskedStores = 1;

} // namespace

void HudAllowMaskedStores( int allow ) {
    allowMaskedStores = allow;
}

int HudFastWaysAllowed() {
    return allowMaskedStores;
}

#if defined( HUD_MASKED )

int HudMaskedStores() {
    static const int available =
        __builtin_cpu_supports( "avx512f" ) && __builtin_cpu_supports( "avx512bw" ) ? 1 : 0;
    return available && allowMaskedStores;
}

MASKED_CODE void LayMasked( uint8_t *target, int pitch, const uint8_t *set, int stride, const uint64_t *masks,
                            int rows ) {
    const int blocks = stride / BLOCK;
    for ( int row = 0; row < rows; row++, target += pitch, set += stride, masks += blocks ) {
        for ( int block = 0; block < blocks; block++ ) {
            const __m512i bytes = _mm512_loadu_si512( set + BLOCK * block );
            _mm512_mask_storeu_epi8( target + BLOCK * block, masks[block], bytes );
        }
    }
}

namespace {

MASKED_CODE inline void CopyPart( uint8_t *target, const uint8_t *source, int count ) {
    const __mmask64 mask = count >= BLOCK ? ~0ull : ( 1ull << count ) - 1;
    _mm512_mask_storeu_epi8( target, mask, _mm512_maskz_loadu_epi8( mask, source ) );
}

} // namespace

// A store that crosses two cache lines costs two: the target's lines are filled whole.
MASKED_CODE void CopyMasked( uint8_t *target, int pitch, const uint8_t *source, int sourcePitch, int width,
                             int rows ) {
    for ( int row = 0; row < rows; row++, target += pitch, source += sourcePitch ) {
        uint8_t *to = target;
        const uint8_t *from = source;
        int left = width;
        int head = int( ( BLOCK - reinterpret_cast<uintptr_t>( to ) % BLOCK ) % BLOCK );
        head = head < left ? head : left;
        if ( head > 0 ) {
            CopyPart( to, from, head );
            to += head;
            from += head;
            left -= head;
        }
        for ( ; left >= BLOCK; left -= BLOCK, to += BLOCK, from += BLOCK ) {
            _mm512_store_si512( to, _mm512_loadu_si512( from ) );
        }
        if ( left > 0 ) {
            CopyPart( to, from, left );
        }
    }
}

MASKED_CODE void LayFramedLines( uint8_t *line, int pitch, const uint64_t *bits, const uint64_t *within,
                                 const uint64_t *sides, int lines, int rows, uint8_t zero, uint8_t one,
                                 uint8_t frame ) {
    const __m512i zeros = _mm512_set1_epi8( char( zero ) );
    const __m512i ones = _mm512_set1_epi8( char( one ) );
    const __m512i frames = _mm512_set1_epi8( char( frame ) );
    for ( int row = 0; row < rows; row++, line += pitch, bits += lines ) {
        const uint64_t *edges = row == 0 || row == rows - 1 ? within : sides;
        for ( int part = 0; part < lines; part++ ) {
            const __m512i bytes = _mm512_mask_blend_epi8(
                edges[part], _mm512_mask_blend_epi8( bits[part], zeros, ones ), frames );
            if ( within[part] == ~0ull ) {
                _mm512_store_si512( line + BLOCK * part, bytes );
            } else {
                _mm512_mask_storeu_epi8( line + BLOCK * part, within[part], bytes );
            }
        }
    }
}

#else

int HudMaskedStores() {
    return 0;
}

void LayMasked( uint8_t *target, int pitch, const uint8_t *set, int stride, const uint64_t *masks,
                int rows ) {
    const int blocks = stride / BLOCK;
    for ( int row = 0; row < rows; row++, target += pitch, set += stride, masks += blocks ) {
        for ( int x = 0; x < stride; x++ ) {
            if ( ( masks[x / BLOCK] >> ( x % BLOCK ) ) & 1 ) {
                target[x] = set[x];
            }
        }
    }
}

void CopyMasked( uint8_t *target, int pitch, const uint8_t *source, int sourcePitch, int width, int rows ) {
    for ( int row = 0; row < rows; row++, target += pitch, source += sourcePitch ) {
        for ( int x = 0; x < width; x++ ) {
            target[x] = source[x];
        }
    }
}

void LayFramedLines( uint8_t *line, int pitch, const uint64_t *bits, const uint64_t *within,
                     const uint64_t *sides, int lines, int rows, uint8_t zero, uint8_t one, uint8_t frame ) {
    for ( int row = 0; row < rows; row++, line += pitch, bits += lines ) {
        const uint64_t *edges = row == 0 || row == rows - 1 ? within : sides;
        for ( int x = 0; x < lines * BLOCK; x++ ) {
            const uint64_t bit = 1ull << ( x % BLOCK );
            const int part = x / BLOCK;
            if ( within[part] & bit ) {
                line[x] = edges[part] & bit ? frame : bits[part] & bit ? one : zero;
            }
        }
    }
}

#endif
