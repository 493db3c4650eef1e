#include "host/HostBlit.h"

#include "host/HostKeyedPieces.h"

#include <cstring>

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif
#if defined( __wasm_simd128__ )
#include <wasm_simd128.h>
#endif

// Where the compiler can build AVX2 and AVX-512 code for one function without building the
// whole game for it, the blit uses 32- or 64-byte vectors on machines that have them.
#if defined( __SSE2__ ) && defined( __GNUC__ ) && ( defined( __x86_64__ ) || defined( __i386__ ) )
#define HOST_BLIT_WIDE 1
#include <immintrin.h>
#define WIDE_CODE __attribute__( ( target( "avx2" ) ) )
#define WIDEST_CODE __attribute__( ( target( "avx512f,avx512bw" ) ) )
#endif

static int widestVectors = HOST_BLIT_AVX512;

void HostBlitAllowWideVectors( int widest ) {
    widestVectors = widest;
}

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
    if ( x < width && width >= 16 ) {
        // One last block ending at the row's end; overlapping pixels come out the same.
        BlitVector<single>( destination + width - 16, source + width - 16, key );
        x = width;
    }
    return x;
}
#endif

#if defined( HOST_BLIT_WIDE )
WIDE_CODE inline __m256i LoadWide( const uint8_t *at ) {
    return _mm256_loadu_si256( reinterpret_cast<const __m256i *>( at ) );
}

WIDE_CODE inline void StoreWide( uint8_t *at, __m256i value ) {
    _mm256_storeu_si256( reinterpret_cast<__m256i *>( at ), value );
}

template <bool single>
WIDE_CODE inline __m256i TransparentWide( __m256i pixels, __m256i low, __m256i range ) {
    if ( single ) {
        return _mm256_cmpeq_epi8( pixels, low );
    }
    const __m256i offset = _mm256_sub_epi8( pixels, low );
    return _mm256_cmpeq_epi8( _mm256_min_epu8( offset, range ), offset );
}

WIDE_CODE inline void BlendWide( uint8_t *destination, __m256i pixels, __m256i transparent ) {
    StoreWide( destination, _mm256_blendv_epi8( pixels, LoadWide( destination ), transparent ) );
}

// 128 pixels per test, then 32; returns how many pixels of the row it has done.
template <bool single>
WIDE_CODE int BlitWideVectors( uint8_t *destination, const uint8_t *source, int width, uint8_t keyLow,
                               uint8_t range ) {
    const __m256i low = _mm256_set1_epi8( char( keyLow ) );
    const __m256i spread = _mm256_set1_epi8( char( range ) );
    int x = 0;
    for ( ; x + 128 <= width; x += 128 ) {
        const uint8_t *from = source + x;
        uint8_t *to = destination + x;
        const __m256i p0 = LoadWide( from ), p1 = LoadWide( from + 32 ), p2 = LoadWide( from + 64 ),
                      p3 = LoadWide( from + 96 );
        const __m256i t0 = TransparentWide<single>( p0, low, spread ),
                      t1 = TransparentWide<single>( p1, low, spread ),
                      t2 = TransparentWide<single>( p2, low, spread ),
                      t3 = TransparentWide<single>( p3, low, spread );
        const __m256i all = _mm256_and_si256( _mm256_and_si256( t0, t1 ), _mm256_and_si256( t2, t3 ) );
        const __m256i any = _mm256_or_si256( _mm256_or_si256( t0, t1 ), _mm256_or_si256( t2, t3 ) );
        if ( _mm256_movemask_epi8( all ) == -1 ) {
            continue;
        }
        if ( _mm256_movemask_epi8( any ) == 0 ) {
            StoreWide( to, p0 );
            StoreWide( to + 32, p1 );
            StoreWide( to + 64, p2 );
            StoreWide( to + 96, p3 );
            continue;
        }
        BlendWide( to, p0, t0 );
        BlendWide( to + 32, p1, t1 );
        BlendWide( to + 64, p2, t2 );
        BlendWide( to + 96, p3, t3 );
    }
    for ( ; x + 32 <= width; x += 32 ) {
        const __m256i pixels = LoadWide( source + x );
        BlendWide( destination + x, pixels, TransparentWide<single>( pixels, low, spread ) );
    }
    if ( x < width && width >= 32 ) {
        // The rest of the row as one block ending at its last pixel. Pixels done already
        // come out the same again, since the source is not the destination.
        const __m256i pixels = LoadWide( source + width - 32 );
        BlendWide( destination + width - 32, pixels, TransparentWide<single>( pixels, low, spread ) );
        x = width;
    }
    return x;
}

// One row with 64-byte vectors: the key test gives a bit mask of the opaque pixels, and a masked
// store writes exactly those, so the destination is never read and the row's end needs no
// other path.
WIDEST_CODE inline __mmask64 OpaqueMask( __m512i pixels, __m512i low, __m512i range, int single ) {
    if ( single ) {
        return _mm512_cmpneq_epi8_mask( pixels, low );
    }
    return _mm512_cmpgt_epu8_mask( _mm512_sub_epi8( pixels, low ), range );
}

WIDEST_CODE void BlitWidestRow( uint8_t *destination, const uint8_t *source, int width, uint8_t keyLow,
                                uint8_t range ) {
    const __m512i low = _mm512_set1_epi8( char( keyLow ) );
    const __m512i spread = _mm512_set1_epi8( char( range ) );
    const int single = range == 0;
    int x = 0;
    for ( ; x + 64 <= width; x += 64 ) {
        const __m512i pixels = _mm512_loadu_si512( source + x );
        _mm512_mask_storeu_epi8( destination + x, OpaqueMask( pixels, low, spread, single ), pixels );
    }
    if ( x < width ) {
        const __mmask64 rest = ~0ull >> ( 64 - ( width - x ) );
        const __m512i pixels = _mm512_maskz_loadu_epi8( rest, source + x );
        _mm512_mask_storeu_epi8( destination + x, OpaqueMask( pixels, low, spread, single ) & rest, pixels );
    }
}

// The widest vectors both the machine and the caller allow.
int WidestVectors() {
    static const int available = __builtin_cpu_supports( "avx512bw" ) ? HOST_BLIT_AVX512
                                 : __builtin_cpu_supports( "avx2" )   ? HOST_BLIT_AVX2
                                                                      : HOST_BLIT_SSE2;
    return available < widestVectors ? available : widestVectors;
}
#endif

// Over a backdrop: one row, source where opaque, backdrop where transparent, the destination
// only written. A block whose source is opaque throughout leaves the backdrop unread.
inline void OverPlain( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
                       uint8_t keyLow, uint8_t range ) {
    for ( int x = 0; x < width; x++ ) {
        const uint8_t pixel = source[x];
        destination[x] = uint8_t( pixel - keyLow ) > range ? pixel : backdrop[x];
    }
}

#if defined( __SSE2__ )
template <bool single>
inline void OverVector( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop,
                        const VectorKey &key ) {
    const __m128i pixels = Load( source );
    const __m128i transparent = TransparentLanes<single>( pixels, key );
    if ( _mm_movemask_epi8( transparent ) == 0 ) {
        Store( destination, pixels );
        return;
    }
    const __m128i under = _mm_and_si128( transparent, Load( backdrop ) );
    Store( destination, _mm_or_si128( under, _mm_andnot_si128( transparent, pixels ) ) );
}

// Rows of 16 pixels or more; the last block ends at the row's end and may go over pixels
// done already, which come out the same since the destination is never read.
template <bool single>
void OverVectorRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
                    const VectorKey &key ) {
    int x = 0;
    for ( ; x + 16 <= width; x += 16 ) {
        OverVector<single>( destination + x, source + x, backdrop + x, key );
    }
    if ( x < width ) {
        const int last = width - 16;
        OverVector<single>( destination + last, source + last, backdrop + last, key );
    }
}
#endif

#if defined( __wasm_simd128__ )
// The browser's own vectors for the pass that lays the land over the background. The SSE2
// path above runs in a browser too, through Emscripten's translation, but tests every 16
// pixels and blends in three steps; here every block takes the backdrop in one select,
// without a test: asking whether a block has any transparent pixel costs a browser more than
// the selects it would save under the ground.
template <bool single> inline v128_t TransparentWasm( v128_t pixels, v128_t low, v128_t range ) {
    if ( single ) {
        return wasm_i8x16_eq( pixels, low );
    }
    return wasm_u8x16_le( wasm_i8x16_sub( pixels, low ), range );
}

template <bool single>
inline void OverWasmBlock( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, v128_t low,
                           v128_t range ) {
    const v128_t pixels = wasm_v128_load( source );
    const v128_t transparent = TransparentWasm<single>( pixels, low, range );
    wasm_v128_store( destination, wasm_v128_bitselect( wasm_v128_load( backdrop ), pixels, transparent ) );
}

// Rows of 16 pixels or more; the last block ends at the row's end and may go over pixels
// done already, which come out the same since the destination is never read.
template <bool single>
void OverWasmRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width, v128_t low,
                  v128_t range ) {
    int x = 0;
    for ( ; x + 64 <= width; x += 64 ) {
        const uint8_t *from = source + x;
        const v128_t p0 = wasm_v128_load( from ), p1 = wasm_v128_load( from + 16 ),
                     p2 = wasm_v128_load( from + 32 ), p3 = wasm_v128_load( from + 48 );
        const v128_t t0 = TransparentWasm<single>( p0, low, range ),
                     t1 = TransparentWasm<single>( p1, low, range ),
                     t2 = TransparentWasm<single>( p2, low, range ),
                     t3 = TransparentWasm<single>( p3, low, range );
        uint8_t *to = destination + x;
        const uint8_t *under = backdrop + x;
        wasm_v128_store( to, wasm_v128_bitselect( wasm_v128_load( under ), p0, t0 ) );
        wasm_v128_store( to + 16, wasm_v128_bitselect( wasm_v128_load( under + 16 ), p1, t1 ) );
        wasm_v128_store( to + 32, wasm_v128_bitselect( wasm_v128_load( under + 32 ), p2, t2 ) );
        wasm_v128_store( to + 48, wasm_v128_bitselect( wasm_v128_load( under + 48 ), p3, t3 ) );
    }
    for ( ; x + 16 <= width; x += 16 ) {
        OverWasmBlock<single>( destination + x, source + x, backdrop + x, low, range );
    }
    if ( x < width ) {
        const int last = width - 16;
        OverWasmBlock<single>( destination + last, source + last, backdrop + last, low, range );
    }
}
#endif

#if defined( HOST_BLIT_WIDE )
template <bool single>
WIDE_CODE inline void OverWide( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop,
                                __m256i low, __m256i spread ) {
    const __m256i pixels = LoadWide( source );
    const __m256i transparent = TransparentWide<single>( pixels, low, spread );
    if ( _mm256_movemask_epi8( transparent ) == 0 ) {
        StoreWide( destination, pixels );
        return;
    }
    StoreWide( destination, _mm256_blendv_epi8( pixels, LoadWide( backdrop ), transparent ) );
}

// Rows of 32 pixels or more, the last block ending at the row's end.
template <bool single>
WIDE_CODE void OverWideRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
                            uint8_t keyLow, uint8_t range ) {
    const __m256i low = _mm256_set1_epi8( char( keyLow ) );
    const __m256i spread = _mm256_set1_epi8( char( range ) );
    int x = 0;
    for ( ; x + 32 <= width; x += 32 ) {
        OverWide<single>( destination + x, source + x, backdrop + x, low, spread );
    }
    if ( x < width ) {
        const int last = width - 32;
        OverWide<single>( destination + last, source + last, backdrop + last, low, spread );
    }
}

// Up to 64 pixels of a row; `pixels` says which.
template <bool single>
WIDEST_CODE inline void OverWidestPart( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop,
                                        __mmask64 pixels, __m512i low, __m512i spread ) {
    const __m512i from = _mm512_maskz_loadu_epi8( pixels, source );
    const __mmask64 opaque = OpaqueMask( from, low, spread, single );
    const __m512i under = _mm512_maskz_loadu_epi8( pixels & ~opaque, backdrop );
    _mm512_mask_storeu_epi8( destination, pixels, _mm512_mask_blend_epi8( opaque, under, from ) );
}

// The first pixels up to a 64-byte boundary of the destination, so that every whole block
// after them is stored in one cache line. A block opaque throughout leaves the backdrop
// unread.
template <bool single>
WIDEST_CODE void OverWidestRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop,
                                int width, uint8_t keyLow, uint8_t range ) {
    const __m512i low = _mm512_set1_epi8( char( keyLow ) );
    const __m512i spread = _mm512_set1_epi8( char( range ) );
    int x = int( ( 64 - ( reinterpret_cast<uintptr_t>( destination ) & 63 ) ) & 63 );
    if ( x >= width ) {
        OverWidestPart<single>( destination, source, backdrop, ~0ull >> ( 64 - width ), low, spread );
        return;
    }
    if ( x > 0 ) {
        OverWidestPart<single>( destination, source, backdrop, ~0ull >> ( 64 - x ), low, spread );
    }
    for ( ; x + 64 <= width; x += 64 ) {
        __m512i pixels = _mm512_loadu_si512( source + x );
        const __mmask64 opaque = OpaqueMask( pixels, low, spread, single );
        if ( opaque != ~__mmask64( 0 ) ) {
            pixels = _mm512_mask_blend_epi8( opaque, _mm512_loadu_si512( backdrop + x ), pixels );
        }
        _mm512_store_si512( destination + x, pixels );
    }
    if ( x < width ) {
        OverWidestPart<single>( destination + x, source + x, backdrop + x, ~0ull >> ( 64 - ( width - x ) ),
                                low, spread );
    }
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
#if defined( HOST_BLIT_WIDE )
    const int widest = WidestVectors();
    if ( widest == HOST_BLIT_AVX512 ) {
        for ( int row = 0; row < height; row++ ) {
            BlitWidestRow( destination, source, width, keyLow, range );
            destination += destinationPitch;
            source += sourcePitch;
        }
        return;
    }
    const int wide = widest == HOST_BLIT_AVX2;
#endif
    for ( int row = 0; row < height; row++ ) {
        int x = 0;
#if defined( HOST_BLIT_WIDE )
        if ( wide ) {
            x = range == 0 ? BlitWideVectors<true>( destination, source, width, keyLow, range )
                           : BlitWideVectors<false>( destination, source, width, keyLow, range );
        }
#endif
#if defined( __SSE2__ )
        x += range == 0 ? BlitVectors<true>( destination + x, source + x, width - x, vectorKey )
                        : BlitVectors<false>( destination + x, source + x, width - x, vectorKey );
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

namespace {

// Rows this far ahead are asked for while one is drawn: after the present has filled the
// caches with the converted frame, the land, the background and the screen all come from
// further out, in short rows the processor's own prefetching does not foresee.
const int AHEAD = 4;
const int PIECE = HostKeyedPieces::PIECE_WIDTH;

struct OverKey {
    uint8_t low;
    uint8_t range;
    int widest; // HOST_BLIT_SSE2, _AVX2 or _AVX512: the widest vectors allowed and had
};

// Calls `stretch( kind, from, to )` for each stretch [from, to) of the row's pixels
// [0, width) whose pieces are all of one kind; pixel 0 lies `sourceLeft` pixels into the
// surface's row, whose pieces start at every multiple of 64. `ends` has a bit set for each
// piece that ends a stretch, the row's last one among them.
template <typename Stretch>
inline void ForEachStretch( const uint8_t *kinds, uint64_t ends, int sourceLeft, int width,
                            Stretch stretch ) {
    int x = 0;
    while ( x < width ) {
        const int piece = ( sourceLeft + x ) / PIECE;
        int end = ( piece + 1 + __builtin_ctzll( ends >> piece ) ) * PIECE - sourceLeft;
        if ( end > width ) {
            end = width;
        }
        stretch( kinds[piece], x, end );
        x = end;
    }
}

inline void Fetch( const uint8_t *at, int bytes, int forWriting ) {
    for ( int x = 0; x < bytes; x += 64 ) {
        if ( forWriting ) {
            __builtin_prefetch( at + x, 1, 3 );
        } else {
            __builtin_prefetch( at + x, 0, 3 );
        }
    }
}

// Asks for what a row will read and write: where its pieces are known, only the side each
// one shows.
inline void FetchRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
                      const uint8_t *kinds, uint64_t ends, int sourceLeft ) {
    if ( kinds == nullptr ) {
        Fetch( source, width, 0 );
        Fetch( backdrop, width, 0 );
        Fetch( destination, width, 1 );
        return;
    }
    ForEachStretch( kinds, ends, sourceLeft, width, [&]( uint8_t kind, int from, int to ) {
        if ( kind != HostKeyedPieces::TRANSPARENT ) {
            Fetch( source + from, to - from, 0 );
        }
        if ( kind != HostKeyedPieces::OPAQUE ) {
            Fetch( backdrop + from, to - from, 0 );
        }
        Fetch( destination + from, to - from, 1 );
    } );
}

// One stretch of a row over the backdrop with the widest vectors allowed that fit in it.
template <bool single>
void OverStretch( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
                  const OverKey &key ) {
#if defined( __wasm_simd128__ )
    if ( width >= 16 ) {
        OverWasmRow<single>( destination, source, backdrop, width, wasm_i8x16_splat( int8_t( key.low ) ),
                             wasm_i8x16_splat( int8_t( key.range ) ) );
        return;
    }
#endif
#if defined( HOST_BLIT_WIDE )
    if ( key.widest == HOST_BLIT_AVX512 ) {
        OverWidestRow<single>( destination, source, backdrop, width, key.low, key.range );
        return;
    }
    if ( key.widest == HOST_BLIT_AVX2 && width >= 32 ) {
        OverWideRow<single>( destination, source, backdrop, width, key.low, key.range );
        return;
    }
#endif
#if defined( __SSE2__ )
    if ( width >= 16 ) {
        const VectorKey vectorKey = { _mm_set1_epi8( char( key.low ) ), _mm_set1_epi8( char( key.range ) ) };
        OverVectorRow<single>( destination, source, backdrop, width, vectorKey );
        return;
    }
#endif
    OverPlain( destination, source, backdrop, width, key.low, key.range );
}

// One row: each stretch of transparent pieces is the backdrop's, each of opaque pieces the
// source's, read alone; the mixed ones are keyed.
template <bool single>
void OverRow( uint8_t *destination, const uint8_t *source, const uint8_t *backdrop, int width,
              const uint8_t *kinds, uint64_t ends, int sourceLeft, const OverKey &key ) {
    if ( kinds == nullptr ) {
        OverStretch<single>( destination, source, backdrop, width, key );
        return;
    }
    ForEachStretch( kinds, ends, sourceLeft, width, [&]( uint8_t kind, int from, int to ) {
        if ( kind == HostKeyedPieces::TRANSPARENT ) {
            std::memcpy( destination + from, backdrop + from, size_t( to - from ) );
        } else if ( kind == HostKeyedPieces::OPAQUE ) {
            std::memcpy( destination + from, source + from, size_t( to - from ) );
        } else {
            OverStretch<single>( destination + from, source + from, backdrop + from, to - from, key );
        }
    } );
}

template <bool single>
void OverRows( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
               const uint8_t *backdrop, int backdropPitch, int width, int height, const OverKey &key,
               HostKeyedPieces *pieces, int sourceLeft, int sourceTop ) {
    const int first = sourceLeft / PIECE, end = ( sourceLeft + width + PIECE - 1 ) / PIECE;
    for ( int row = 0; row < height; row++ ) {
        if ( row + AHEAD < height ) {
            const int y = sourceTop + row + AHEAD;
            const uint8_t *ahead = pieces != nullptr ? pieces->KnownRow( y, first, end ) : nullptr;
            FetchRow( destination + AHEAD * destinationPitch, source + AHEAD * sourcePitch,
                      backdrop + AHEAD * backdropPitch, width, ahead,
                      ahead != nullptr ? pieces->GetStretchEnds( y ) : 0, sourceLeft );
        }
        const uint8_t *here = pieces != nullptr ? pieces->Row( sourceTop + row, first, end ) : nullptr;
        OverRow<single>( destination, source, backdrop, width, here,
                         here != nullptr ? pieces->GetStretchEnds( sourceTop + row ) : 0, sourceLeft, key );
        destination += destinationPitch;
        source += sourcePitch;
        backdrop += backdropPitch;
    }
}

// The kind of one piece from how many of its pixels are opaque.
inline uint8_t KindOf( int opaque, int pixels ) {
    return opaque == 0        ? HostKeyedPieces::TRANSPARENT
           : opaque == pixels ? HostKeyedPieces::OPAQUE
                              : HostKeyedPieces::MIXED;
}

// The plain way, which compilers vectorise well enough for a row sorted once per crater.
void SortPiecesPlain( const uint8_t *row, int width, uint8_t keyLow, uint8_t range, uint8_t *kinds ) {
    for ( int x = 0; x < width; x += PIECE ) {
        const int pixels = width - x < PIECE ? width - x : PIECE;
        int opaque = 0;
        for ( int i = 0; i < pixels; i++ ) {
            opaque += uint8_t( row[x + i] - keyLow ) > range;
        }
        *kinds++ = KindOf( opaque, pixels );
    }
}

#if defined( HOST_BLIT_WIDE )
WIDEST_CODE void SortPiecesWidest( const uint8_t *row, int width, uint8_t keyLow, uint8_t range,
                                   uint8_t *kinds ) {
    const __m512i low = _mm512_set1_epi8( char( keyLow ) );
    const __m512i spread = _mm512_set1_epi8( char( range ) );
    const int single = range == 0;
    for ( int x = 0; x < width; x += PIECE ) {
        const int pixels = width - x < PIECE ? width - x : PIECE;
        const __mmask64 inside = ~0ull >> ( PIECE - pixels );
        const __mmask64 opaque =
            OpaqueMask( _mm512_maskz_loadu_epi8( inside, row + x ), low, spread, single ) & inside;
        *kinds++ = KindOf( __builtin_popcountll( opaque ), pixels );
    }
}
#endif

} // namespace

void HostBlitSortPieces( const uint8_t *row, int width, uint8_t keyLow, uint8_t keyHigh, uint8_t *kinds ) {
    if ( width <= 0 ) {
        return;
    }
    if ( keyLow > keyHigh ) {
        // An empty range: nothing is transparent.
        for ( int x = 0; x < width; x += PIECE ) {
            *kinds++ = HostKeyedPieces::OPAQUE;
        }
        return;
    }
    const uint8_t range = uint8_t( keyHigh - keyLow );
#if defined( HOST_BLIT_WIDE )
    if ( WidestVectors() == HOST_BLIT_AVX512 ) {
        SortPiecesWidest( row, width, keyLow, range, kinds );
        return;
    }
#endif
    SortPiecesPlain( row, width, keyLow, range, kinds );
}

void HostBlitKeyedOver( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                        const uint8_t *backdrop, int backdropPitch, int width, int height, uint8_t keyLow,
                        uint8_t keyHigh ) {
    HostBlitKeyedOver( destination, destinationPitch, source, sourcePitch, backdrop, backdropPitch, width,
                       height, keyLow, keyHigh, nullptr, 0, 0 );
}

void HostBlitKeyedOver( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                        const uint8_t *backdrop, int backdropPitch, int width, int height, uint8_t keyLow,
                        uint8_t keyHigh, HostKeyedPieces *pieces, int sourceLeft, int sourceTop ) {
    if ( width <= 0 || height <= 0 ) {
        return;
    }
    if ( keyLow > keyHigh ) {
        // An empty range: nothing is transparent.
        HostBlitCopy( destination, destinationPitch, source, sourcePitch, width, height );
        return;
    }
    OverKey key = { keyLow, uint8_t( keyHigh - keyLow ), HOST_BLIT_SSE2 };
#if defined( HOST_BLIT_WIDE )
    key.widest = WidestVectors();
#endif
    if ( key.range == 0 ) {
        OverRows<true>( destination, destinationPitch, source, sourcePitch, backdrop, backdropPitch, width,
                        height, key, pieces, sourceLeft, sourceTop );
    } else {
        OverRows<false>( destination, destinationPitch, source, sourcePitch, backdrop, backdropPitch, width,
                         height, key, pieces, sourceLeft, sourceTop );
    }
}
