#include "host/HostBlit.h"

#include <cstring>

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

void HostBlitCopy( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                   int width, int height ) {
    if ( width <= 0 || height <= 0 ) {
        return;
    }
    if ( destinationPitch == width && sourcePitch == width ) {
        std::memcpy( destination, source, size_t( width ) * size_t( height ) );
        return;
    }
    for ( int row = 0; row < height; row++ ) {
        std::memcpy( destination, source, size_t( width ) );
        destination += destinationPitch;
        source += sourcePitch;
    }
}

namespace {

// Eight pixels at a time in an ordinary register, for the part of a row too short for a
// vector and for machines without one. Every byte is tested at once: a byte is transparent
// when (pixel - keyLow) mod 256 <= keyHigh - keyLow, the same range test the vector path
// makes, done with carries kept inside each byte.
const uint64_t LOW_SEVEN_BITS = 0x7F7F7F7F7F7F7F7Full;
const uint64_t HIGH_BITS = 0x8080808080808080ull;
const uint64_t ONES = 0x0101010101010101ull;

inline uint64_t LoadWord( const uint8_t *at ) {
    uint64_t word;
    std::memcpy( &word, at, sizeof word );
    return word;
}

inline void StoreWord( uint8_t *at, uint64_t word ) {
    std::memcpy( at, &word, sizeof word );
}

// a - b in every byte, without borrowing from the next byte.
inline uint64_t SubtractBytes( uint64_t a, uint64_t b ) {
    return ( ( a | HIGH_BITS ) - ( b & LOW_SEVEN_BITS ) ) ^ ( ( a ^ ~b ) & HIGH_BITS );
}

// The high bit of every byte in which a < b (unsigned); the other bits are 0.
inline uint64_t LessBytes( uint64_t a, uint64_t b ) {
    // The subtraction below cannot borrow across bytes; its high bit tells whether the low
    // seven bits of a are at least those of b, the top bits decide the rest.
    const uint64_t lowCompare = ( a | HIGH_BITS ) - ( b & LOW_SEVEN_BITS );
    return ( ( ~a & b ) | ( ~( a ^ b ) & ~lowCompare ) ) & HIGH_BITS;
}

struct WordKey {
    uint64_t low;   // keyLow in every byte
    uint64_t range; // keyHigh - keyLow in every byte
};

// The high bit of every transparent byte.
inline uint64_t TransparentBytes( uint64_t pixels, const WordKey &key ) {
    return ~LessBytes( key.range, SubtractBytes( pixels, key.low ) ) & HIGH_BITS;
}

inline void BlitWord( uint8_t *destination, const uint8_t *source, const WordKey &key ) {
    const uint64_t pixels = LoadWord( source );
    const uint64_t transparent = TransparentBytes( pixels, key );
    if ( transparent == HIGH_BITS ) {
        return;
    }
    if ( transparent == 0 ) {
        StoreWord( destination, pixels );
        return;
    }
    const uint64_t keep = ( transparent >> 7 ) * 0xFF;
    StoreWord( destination, ( LoadWord( destination ) & keep ) | ( pixels & ~keep ) );
}

#if defined( __SSE2__ )
struct VectorKey {
    __m128i low;
    __m128i range;
    int single; // keyLow == keyHigh: one comparison is enough
};

// All ones in every transparent byte.
inline __m128i TransparentLanes( __m128i pixels, const VectorKey &key ) {
    if ( key.single ) {
        return _mm_cmpeq_epi8( pixels, key.low );
    }
    const __m128i offset = _mm_sub_epi8( pixels, key.low );
    return _mm_cmpeq_epi8( _mm_min_epu8( offset, key.range ), offset );
}

inline void BlitVector( uint8_t *destination, const uint8_t *source, const VectorKey &key ) {
    const __m128i pixels = _mm_loadu_si128( reinterpret_cast<const __m128i *>( source ) );
    const __m128i transparent = TransparentLanes( pixels, key );
    const int mask = _mm_movemask_epi8( transparent );
    __m128i *target = reinterpret_cast<__m128i *>( destination );
    if ( mask == 0xFFFF ) {
        return;
    }
    if ( mask == 0 ) {
        _mm_storeu_si128( target, pixels );
        return;
    }
    const __m128i kept = _mm_and_si128( transparent, _mm_loadu_si128( target ) );
    _mm_storeu_si128( target, _mm_or_si128( kept, _mm_andnot_si128( transparent, pixels ) ) );
}
#endif

} // namespace

void HostBlitKeyed( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                    int width, int height, uint8_t keyLow, uint8_t keyHigh ) {
    if ( width <= 0 || height <= 0 ) {
        return;
    }
    if ( keyLow > keyHigh ) {
        // An empty range: nothing is transparent.
        HostBlitCopy( destination, destinationPitch, source, sourcePitch, width, height );
        return;
    }
    const uint8_t range = uint8_t( keyHigh - keyLow );
    const WordKey wordKey = { ONES * keyLow, ONES * range };
#if defined( __SSE2__ )
    const VectorKey vectorKey = { _mm_set1_epi8( char( keyLow ) ), _mm_set1_epi8( char( range ) ),
                                  keyLow == keyHigh };
#endif
    for ( int row = 0; row < height; row++ ) {
        int x = 0;
#if defined( __SSE2__ )
        for ( ; x + 16 <= width; x += 16 ) {
            BlitVector( destination + x, source + x, vectorKey );
        }
#endif
        for ( ; x + 8 <= width; x += 8 ) {
            BlitWord( destination + x, source + x, wordKey );
        }
        for ( ; x < width; x++ ) {
            const uint8_t pixel = source[x];
            if ( uint8_t( pixel - keyLow ) > range ) {
                destination[x] = pixel;
            }
        }
        destination += destinationPitch;
        source += sourcePitch;
    }
}
