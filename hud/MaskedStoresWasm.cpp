#include "hud/MaskedStores.h"

// The browser's ways: WebAssembly's 128-bit vectors have no masked store, so each 16 bytes are
// read, the selected ones replaced by a select, and written back. Only bytes between a row's
// first and last selected byte are read or written, which the caller's own writes vouch for;
// a row's last 16 bytes overlap the ones before rather than reach past its end.
#if defined( __wasm_simd128__ )

#include <wasm_simd128.h>

namespace {

const int BLOCK = 64; // bits of one mask word
const int LANES = 16; // bytes of one vector

// The 16 bits of `words` from bit `at` on; the words hold at least at + 16 bits.
inline uint32_t Bits16( const uint64_t *words, int at ) {
    const uint64_t *word = words + at / BLOCK;
    const int shift = at % BLOCK;
    uint64_t bits = word[0] >> shift;
    if ( shift > BLOCK - LANES ) {
        bits |= word[1] << ( BLOCK - shift );
    }
    return uint32_t( bits ) & 0xFFFF;
}

// Bit n of `bits` as byte n: all ones where it is set, none where not.
inline v128_t Spread( uint32_t bits ) {
    const v128_t pair = wasm_i16x8_splat( int16_t( bits ) );
    const v128_t bytes = wasm_i8x16_shuffle( pair, pair, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1 );
    const v128_t each = wasm_u8x16_make( 1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128 );
    return wasm_i8x16_eq( wasm_v128_and( bytes, each ), each );
}

inline int Bit( const uint64_t *words, int at ) {
    return int( ( words[at / BLOCK] >> ( at % BLOCK ) ) & 1 );
}

// One past the last bit set in `count` words, 0 when none is.
int EndOf( const uint64_t *words, int count ) {
    for ( int word = count - 1; word >= 0; word-- ) {
        if ( words[word] != 0 ) {
            return word * BLOCK + BLOCK - __builtin_clzll( words[word] );
        }
    }
    return 0;
}

// Where each 16 bytes of [first, end) start, end - first >= 16: every 16 bytes from the first,
// the last moved back to end at the row's end.
inline int NextAt( int at, int end ) {
    return at + LANES == end ? end : at + 2 * LANES > end ? end - LANES : at + LANES;
}

inline v128_t Select( const uint8_t *at, v128_t put, uint32_t bits ) {
    return bits == 0xFFFF ? put : wasm_v128_bitselect( put, wasm_v128_load( at ), Spread( bits ) );
}

} // namespace

void LayMasked( uint8_t *target, int pitch, const uint8_t *set, int stride, const uint64_t *masks,
                int rows ) {
    const int blocks = stride / BLOCK;
    for ( int row = 0; row < rows; row++, target += pitch, set += stride, masks += blocks ) {
        // The row's first byte is the line's first column, inside the clip: the row is safe to
        // read from there to its last selected byte.
        const int end = EndOf( masks, blocks );
        if ( end < LANES ) {
            for ( int x = 0; x < end; x++ ) {
                target[x] = Bit( masks, x ) ? set[x] : target[x];
            }
            continue;
        }
        for ( int at = 0; at < end; at = NextAt( at, end ) ) {
            const uint32_t bits = Bits16( masks, at );
            if ( bits != 0 ) {
                wasm_v128_store( target + at, Select( target + at, wasm_v128_load( set + at ), bits ) );
            }
        }
    }
}

void CopyMasked( uint8_t *target, int pitch, const uint8_t *source, int sourcePitch, int width, int rows ) {
    for ( int row = 0; row < rows; row++, target += pitch, source += sourcePitch ) {
        if ( width < LANES ) {
            for ( int x = 0; x < width; x++ ) {
                target[x] = source[x];
            }
            continue;
        }
        for ( int at = 0; at < width; at = NextAt( at, width ) ) {
            wasm_v128_store( target + at, wasm_v128_load( source + at ) );
        }
    }
}

#endif
