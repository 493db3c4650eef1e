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

// The first bit set in `count` words, count * 64 when none is.
int FirstOf( const uint64_t *words, int count ) {
    for ( int word = 0; word < count; word++ ) {
        if ( words[word] != 0 ) {
            return word * BLOCK + __builtin_ctzll( words[word] );
        }
    }
    return count * BLOCK;
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

void LayFramedLines( uint8_t *line, int pitch, const uint64_t *bits, const uint64_t *within,
                     const uint64_t *sides, int lines, int rows, uint8_t zero, uint8_t one, uint8_t frame ) {
    const v128_t zeros = wasm_i8x16_splat( int8_t( zero ) );
    const v128_t ones = wasm_i8x16_splat( int8_t( one ) );
    const v128_t frames = wasm_i8x16_splat( int8_t( frame ) );
    const int first = FirstOf( within, lines );
    const int end = EndOf( within, lines );
    for ( int row = 0; row < rows; row++, line += pitch, bits += lines ) {
        const uint64_t *edges = row == 0 || row == rows - 1 ? within : sides;
        if ( end - first < LANES ) {
            for ( int x = first; x < end; x++ ) {
                line[x] = !Bit( within, x ) ? line[x] : Bit( edges, x ) ? frame : Bit( bits, x ) ? one : zero;
            }
            continue;
        }
        for ( int at = first; at < end; at = NextAt( at, end ) ) {
            const v128_t picture = wasm_v128_bitselect( ones, zeros, Spread( Bits16( bits, at ) ) );
            const v128_t framed = wasm_v128_bitselect( frames, picture, Spread( Bits16( edges, at ) ) );
            wasm_v128_store( line + at, Select( line + at, framed, Bits16( within, at ) ) );
        }
    }
}

#endif
