#include "gfx/Sprite.h"

#include "gfx/TurnedPictures.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#if defined( __wasm_simd128__ )
#include <wasm_simd128.h>
#endif

namespace {

// Encoded counts are 16 bits wide, so no encoded row can be wider than this.
const int kMaxEncodedWidth = 65535;

// The part of a Sprite that lands inside a destination's clip rectangle, worked out once per
// draw: where it goes, and how many of the picture's rows and columns lie outside it.
struct Window {
    int x;
    int y;
    int width;
    int height;
    int skipTop;
    int skipLeft;
};

// Works out the visible window of a width x height picture drawn at (x, y). Returns 0 when
// nothing is visible, also for a destination without pixels or with an empty clip rectangle.
int ClipToDestination( const Image &destination, int x, int y, int width, int height, Window &window ) {
    if ( destination.GetPixels() == nullptr || width <= 0 || height <= 0 ) {
        return 0;
    }
    // The clip rectangle is kept inside the bounds by SetClipRect; intersecting again costs
    // nothing per pixel and keeps a wrapped Image whose size changed afterwards safe.
    Rect clip = destination.GetClipRect();
    clip.Intersect( destination.GetBounds() );
    if ( clip.GetWidth() <= 0 || clip.GetHeight() <= 0 ) {
        return 0;
    }
    // 64 bits so that positions near the ends of the int range cannot overflow.
    const int64_t left = x, top = y;
    const int64_t right = left + width - 1, bottom = top + height - 1;
    if ( right < clip.left || left > clip.right || bottom < clip.top || top > clip.bottom ) {
        return 0;
    }
    const int64_t visibleLeft = left < clip.left ? clip.left : left;
    const int64_t visibleTop = top < clip.top ? clip.top : top;
    const int64_t visibleRight = right > clip.right ? clip.right : right;
    const int64_t visibleBottom = bottom > clip.bottom ? clip.bottom : bottom;
    window.x = static_cast<int>( visibleLeft );
    window.y = static_cast<int>( visibleTop );
    window.width = static_cast<int>( visibleRight - visibleLeft + 1 );
    window.height = static_cast<int>( visibleBottom - visibleTop + 1 );
    window.skipLeft = static_cast<int>( visibleLeft - left );
    window.skipTop = static_cast<int>( visibleTop - top );
    return 1;
}

uint8_t *RowAddress( const Image &image, int x, int y ) {
    return image.GetPixels() + static_cast<std::ptrdiff_t>( y ) * image.GetPitch() + x;
}

int ReadCount( const uint8_t *&at ) {
    const int count = at[0] | ( at[1] << 8 );
    at += 2;
    return count;
}

void WriteCount( uint8_t *&at, int count ) {
    at[0] = static_cast<uint8_t>( count & 0xFF );
    at[1] = static_cast<uint8_t>( ( count >> 8 ) & 0xFF );
    at += 2;
}

int CountTransparent( const uint8_t *row, int from, int width ) {
    int j = from;
    while ( j < width && row[j] == 0 ) {
        j++;
    }
    return j - from;
}

int CountOpaque( const uint8_t *row, int from, int width ) {
    int j = from;
    while ( j < width && row[j] != 0 ) {
        j++;
    }
    return j - from;
}

// Runs are short (a bomb is ten pixels wide): 8, 4, 2 and 1 byte moves beat a library call.
inline void CopyRun( uint8_t *to, const uint8_t *from, int count ) {
    while ( count >= 8 ) {
        std::memcpy( to, from, 8 );
        to += 8;
        from += 8;
        count -= 8;
    }
    if ( count & 4 ) {
        std::memcpy( to, from, 4 );
        to += 4;
        from += 4;
    }
    if ( count & 2 ) {
        std::memcpy( to, from, 2 );
        to += 2;
        from += 2;
    }
    if ( count & 1 ) {
        *to = *from;
    }
}

// Copies the non-zero bytes of a row, eight at a time: a byte whose value is non-zero gets its
// high bit set in `opaque`, which then widens to a whole-byte mask for a blend.
inline void CopyOpaqueBytes( uint8_t *to, const uint8_t *from, int count ) {
    const uint64_t low7 = 0x7F7F7F7F7F7F7F7FULL;
    const uint64_t high = 0x8080808080808080ULL;
    int c = 0;
#if defined( __wasm_simd128__ )
    // In a browser, sixteen at a time with the engine's own vectors: one compare finds the
    // transparent bytes and one select keeps the screen under them.
    for ( ; c + 16 <= count; c += 16 ) {
        const v128_t value = wasm_v128_load( from + c );
        const v128_t transparent = wasm_i8x16_eq( value, wasm_i8x16_splat( 0 ) );
        wasm_v128_store( to + c, wasm_v128_bitselect( wasm_v128_load( to + c ), value, transparent ) );
    }
#endif
    for ( ; c + 8 <= count; c += 8 ) {
        uint64_t value;
        std::memcpy( &value, from + c, 8 );
        if ( value == 0 ) {
            continue;
        }
        const uint64_t opaque = ( ( ( value & low7 ) + low7 ) | value ) & high;
        if ( opaque == high ) {
            std::memcpy( to + c, &value, 8 );
            continue;
        }
        const uint64_t mask = ( opaque >> 7 ) * 0xFF;
        uint64_t under;
        std::memcpy( &under, to + c, 8 );
        under = ( value & mask ) | ( under & ~mask );
        std::memcpy( to + c, &under, 8 );
    }
    for ( ; c < count; c++ ) {
        if ( from[c] != 0 ) {
            to[c] = from[c];
        }
    }
}

} // namespace

Sprite::Sprite()
    : ownsData( 0 ), encoded( 0 ), width( 0 ), height( 0 ), data( nullptr ), dataSize( 0 ),
      turned( nullptr ) {
}

Sprite::Sprite( const Image &source, Rect region, uint8_t encode ) : Sprite() {
    Build( source, region, encode );
}

Sprite::~Sprite() {
    if ( ownsData ) {
        delete[] data;
    }
    data = nullptr;
    delete turned;
}

void Sprite::MakeEmpty() {
    if ( turned != nullptr ) {
        turned->Forget();
    }
    if ( ownsData ) {
        delete[] data;
    }
    ownsData = 0;
    encoded = 0;
    width = 0;
    height = 0;
    data = nullptr;
    dataSize = 0;
}

int Sprite::Build( const Image &source, Rect region, uint8_t encode ) {
    if ( ownsData ) {
        return 0;
    }
    MakeEmpty();
    region.Intersect( source.GetBounds() );
    const int regionWidth = region.GetWidth();
    const int regionHeight = region.GetHeight();
    // A region outside the picture leaves nothing to copy; an empty Sprite is drawn as nothing.
    if ( source.GetPixels() == nullptr || regionWidth <= 0 || regionHeight <= 0 ) {
        return 0;
    }
    if ( encode && regionWidth > kMaxEncodedWidth ) {
        return 0;
    }
    // The size is taken before the block is allocated: a Sprite whose block could not be had
    // still tells its size to those who stand on it, it merely draws nothing.
    width = regionWidth;
    height = regionHeight;
    encoded = encode ? 1 : 0;
    const int64_t size = encoded ? MeasureEncoded( source, region ) : static_cast<int64_t>( width ) * height;
    if ( size <= 0 || size > INT32_MAX ) {
        return 0;
    }
    uint8_t *block = new ( std::nothrow ) uint8_t[size];
    if ( block == nullptr ) {
        return 0;
    }
    ownsData = 1;
    data = block;
    dataSize = static_cast<int>( size );
    if ( encoded ) {
        Encode( source, region );
    } else {
        for ( int r = 0; r < height; r++ ) {
            CopyBytes( data + static_cast<std::ptrdiff_t>( r ) * width,
                       RowAddress( source, region.left, region.top + r ), width );
        }
    }
    return 1;
}

// Size of the encoding of `region`: 2 bytes per skip count, n + 2 per opaque run of n pixels.
// Returns -1 when it would not fit an int.
int Sprite::MeasureEncoded( const Image &source, const Rect &region ) const {
    const int regionWidth = region.GetWidth();
    int64_t size = 0;
    for ( int r = region.top; r <= region.bottom; r++ ) {
        const uint8_t *row = RowAddress( source, region.left, r );
        int j = 0;
        while ( j < regionWidth ) {
            j += CountTransparent( row, j, regionWidth );
            size += 2;
            const int run = CountOpaque( row, j, regionWidth );
            if ( run > 0 ) {
                size += run + 2;
                j += run;
            }
        }
        if ( size > INT32_MAX ) {
            return -1;
        }
    }
    return static_cast<int>( size );
}

void Sprite::Encode( const Image &source, const Rect &region ) {
    uint8_t *at = data;
    for ( int r = region.top; r <= region.bottom; r++ ) {
        const uint8_t *row = RowAddress( source, region.left, r );
        int j = 0;
        while ( j < width ) {
            const int skip = CountTransparent( row, j, width );
            WriteCount( at, skip );
            j += skip;
            const int run = CountOpaque( row, j, width );
            if ( run > 0 ) {
                WriteCount( at, run );
                std::memcpy( at, row + j, run );
                at += run;
                j += run;
            }
        }
    }
}

void Sprite::Draw( Image &destination, int x, int y ) const {
    if ( data == nullptr ) {
        return;
    }
    if ( encoded ) {
        DrawEncoded( destination, x, y );
    } else {
        DrawRaw( destination, x, y );
    }
}

void Sprite::DrawRaw( Image &destination, int x, int y ) const {
    DrawBlock( destination, x, y, data, width, height );
}

// A width x height block of pixels, 0 transparent, its rows one after another.
void Sprite::DrawBlock( Image &destination, int x, int y, const uint8_t *pixels, int width, int height ) {
    Window window;
    if ( !ClipToDestination( destination, x, y, width, height, window ) ) {
        return;
    }
    const uint8_t *from = pixels + static_cast<std::ptrdiff_t>( window.skipTop ) * width + window.skipLeft;
    uint8_t *to = RowAddress( destination, window.x, window.y );
    const int pitch = destination.GetPitch();
    for ( int r = 0; r < window.height; r++ ) {
        CopyOpaqueBytes( to, from, window.width );
        from += width;
        to += pitch;
    }
}

void Sprite::DrawEncoded( Image &destination, int x, int y ) const {
    Window window;
    if ( !ClipToDestination( destination, x, y, width, height, window ) ) {
        return;
    }
    const uint8_t *at = data;
    // Rows above the window: consume their counts and jump over their pixels.
    for ( int r = 0; r < window.skipTop; r++ ) {
        int column = 0;
        while ( column < width ) {
            column += ReadCount( at );
            if ( column >= width ) {
                break;
            }
            const int run = ReadCount( at );
            at += run;
            column += run;
        }
    }
    const int windowLeft = window.skipLeft;
    const int windowRight = window.skipLeft + window.width; // one past the last visible column
    uint8_t *to = RowAddress( destination, window.x, window.y );
    const int pitch = destination.GetPitch();
    for ( int r = 0; r < window.height; r++ ) {
        int column = 0;
        while ( column < width ) {
            column += ReadCount( at );
            if ( column >= width ) {
                break;
            }
            const int run = ReadCount( at );
            // The part of this run inside the window, entered part-way or cut short at an edge.
            const int start = column > windowLeft ? column : windowLeft;
            const int end = column + run < windowRight ? column + run : windowRight;
            if ( start < end ) {
                CopyRun( to + ( start - windowLeft ), at + ( start - column ), end - start );
            }
            at += run;
            column += run;
        }
        to += pitch;
    }
}

uint8_t Sprite::ConvertToEncoded() {
    if ( encoded || !ownsData || width > kMaxEncodedWidth ) {
        return 0;
    }
    Image scratch;
    if ( !scratch.Create( width, height ) ) {
        return 0;
    }
    scratch.Clear( 0 );
    DrawRaw( scratch, 0, 0 );
    const int size = MeasureEncoded( scratch, scratch.GetBounds() );
    if ( size <= 0 ) {
        return 0;
    }
    // The new block is allocated before the old one is freed, so a failure keeps the picture.
    uint8_t *block = new ( std::nothrow ) uint8_t[size];
    if ( block == nullptr ) {
        return 0;
    }
    delete[] data;
    data = block;
    dataSize = size;
    encoded = 1;
    if ( turned != nullptr ) {
        turned->Forget();
    }
    Encode( scratch, scratch.GetBounds() );
    return 1;
}

uint8_t Sprite::ConvertToRaw() {
    if ( !encoded || !ownsData ) {
        return 0;
    }
    Image scratch;
    if ( !scratch.Create( width, height ) ) {
        return 0;
    }
    scratch.Clear( 0 );
    DrawEncoded( scratch, 0, 0 );
    const int64_t size = static_cast<int64_t>( width ) * height;
    uint8_t *block = new ( std::nothrow ) uint8_t[size];
    if ( block == nullptr ) {
        return 0;
    }
    for ( int r = 0; r < height; r++ ) {
        CopyBytes( block + static_cast<std::ptrdiff_t>( r ) * width, RowAddress( scratch, 0, r ), width );
    }
    delete[] data;
    data = block;
    dataSize = static_cast<int>( size );
    encoded = 0;
    if ( turned != nullptr ) {
        turned->Forget();
    }
    return 1;
}
