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
};

// All ones in every transparent byte. With a single key index one comparison does it.
template <bool single> inline __m128i TransparentLanes( __m128i pixels, const VectorKey &key ) {
    if ( single ) {
        return _mm_cmpeq_epi8( pixels, key.low );
    }
    const __m128i offset = _mm_sub_epi8( pixels, key.low );
    return _mm_cmpeq_epi8( _mm_min_epu8( offset, key.range ), offset );
}

inline __m128i Load( const uint8_t *at ) {
    return _mm_loadu_si128( reinterpret_cast<const __m128i *>( at ) );
}

inline void Store( uint8_t *at, __m128i value ) {
    _mm_storeu_si128( reinterpret_cast<__m128i *>( at ), value );
}

// Source where opaque, destination where transparent.
inline void Blend( uint8_t *destination, __m128i pixels, __m128i transparent ) {
    const __m128i kept = _mm_and_si128( transparent, Load( destination ) );
    Store( destination, _mm_or_si128( kept, _mm_andnot_si128( transparent, pixels ) ) );
}

template <bool single>
inline void BlitVector( uint8_t *destination, const uint8_t *source, const VectorKey &key ) {
    const __m128i pixels = Load( source );
    const __m128i transparent = TransparentLanes<single>( pixels, key );
    const int mask = _mm_movemask_epi8( transparent );
    if ( mask == 0xFFFF ) {
        return;
    }
    if ( mask == 0 ) {
        Store( destination, pixels );
        return;
    }
    Blend( destination, pixels, transparent );
}

// 64 pixels at a time: land is mostly long stretches of sky or of earth, so one test
// usually settles four vectors at once.
template <bool single>
inline void BlitFourVectors( uint8_t *destination, const uint8_t *source, const VectorKey &key ) {
    const __m128i p0 = Load( source ), p1 = Load( source + 16 ), p2 = Load( source + 32 ),
                  p3 = Load( source + 48 );
    const __m128i t0 = TransparentLanes<single>( p0, key ), t1 = TransparentLanes<single>( p1, key ),
                  t2 = TransparentLanes<single>( p2, key ), t3 = TransparentLanes<single>( p3, key );
    const __m128i all = _mm_and_si128( _mm_and_si128( t0, t1 ), _mm_and_si128( t2, t3 ) );
    const __m128i any = _mm_or_si128( _mm_or_si128( t0, t1 ), _mm_or_si128( t2, t3 ) );
    if ( _mm_movemask_epi8( all ) == 0xFFFF ) {
        return;
    }
    if ( _mm_movemask_epi8( any ) == 0 ) {
        Store( destination, p0 );
        Store( destination + 16, p1 );
        Store( destination + 32, p2 );
        Store( destination + 48, p3 );
        return;
    }
    Blend( destination, p0, t0 );
    Blend( destination + 16, p1, t1 );
    Blend( destination + 32, p2, t2 );
    Blend( destination + 48, p3, t3 );
}

template <bool single>
int BlitVectors( uint8_t *destination, const uint8_t *source, int width, const VectorKey &key ) {
    int x = 0;
    for ( ; x + 64 <= width; x += 64 ) {
        BlitFourVectors<single>( destination + x, source + x, key );
    }
    for ( ; x + 16 <= width; x += 16 ) {
        BlitVector<single>( destination + x, source + x, key );
    }
    return x;
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
    const VectorKey vectorKey = { _mm_set1_epi8( char( keyLow ) ), _mm_set1_epi8( char( range ) ) };
#endif
    for ( int row = 0; row < height; row++ ) {
        int x = 0;
#if defined( __SSE2__ )
        x = range == 0 ? BlitVectors<true>( destination, source, width, vectorKey )
                       : BlitVectors<false>( destination, source, width, vectorKey );
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
