#include "hud/TextStrip.h"

#include "gfx/Image.h"
#include "hud/Font.h"

#include <cstring>
#include <new>

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

namespace {

const int ROWS = Font::GLYPH_HEIGHT + 1; // the glyphs' rows and the shadow's last one
const int INK = 2;
const int SHADE = 1;

// Sixteen bytes at a time while there are sixteen, then byte by byte. The strip's rows run on
// past the line, leaving the screen as it is, so where the clip rectangle has room the caller
// lays whole rows of the strip and no bytes are left over.
void LayRow( uint8_t *row, const uint8_t *leave, const uint8_t *set, int width ) {
    int x = 0;
#if defined( __SSE2__ )
    for ( ; x + 16 <= width; x += 16 ) {
        const __m128i screen = _mm_loadu_si128( reinterpret_cast<const __m128i *>( row + x ) );
        const __m128i left =
            _mm_and_si128( screen, _mm_loadu_si128( reinterpret_cast<const __m128i *>( leave + x ) ) );
        const __m128i laid =
            _mm_or_si128( left, _mm_loadu_si128( reinterpret_cast<const __m128i *>( set + x ) ) );
        _mm_storeu_si128( reinterpret_cast<__m128i *>( row + x ), laid );
    }
#endif
    for ( ; x < width; x++ ) {
        row[x] = uint8_t( ( row[x] & leave[x] ) | set[x] );
    }
}

} // namespace

TextStrip::TextStrip()
    : text{}, colour( 0 ), shadow( 0 ), width( 0 ), stride( 0 ), kept( 0 ), leave( nullptr ), set( nullptr ),
      capacity( 0 ) {
}

TextStrip::~TextStrip() {
    delete[] leave;
}

void TextStrip::Draw( Image &target, int x, int y, const char *newText, uint8_t newColour,
                      uint8_t newShadow ) {
    const int length = int( std::strlen( newText ) );
    if ( target.GetPixels() == nullptr || length == 0 ) {
        return;
    }
    if ( !Remember( newText, length, newColour, newShadow ) && !kept ) {
        kept = Keep();
    }
    const Rect &clip = target.GetClipRect();
    const int inside = x >= clip.left && y >= clip.top && x + length * Font::ADVANCE - 1 <= clip.right &&
                       y + ROWS - 1 <= clip.bottom;
    if ( kept && inside ) {
        Lay( target, x, y, x + stride - 1 <= clip.right ? stride : width );
    } else {
        Font::Draw( target, x, y, newText, newColour, newShadow );
    }
}

// 1 when the line is new (and now remembered, not yet kept), 0 when it is the one remembered.
int TextStrip::Remember( const char *newText, int length, uint8_t newColour, uint8_t newShadow ) {
    if ( length <= MAX_LENGTH && newColour == colour && newShadow == shadow &&
         std::memcmp( newText, text, size_t( length ) + 1 ) == 0 ) {
        return 0;
    }
    kept = 0;
    colour = newColour;
    shadow = newShadow;
    // A line too long to keep is remembered as none, so that it is never kept.
    const int remembered = length <= MAX_LENGTH ? length : 0;
    std::memcpy( text, newText, size_t( remembered ) );
    text[remembered] = '\0';
    return 1;
}

// The font draws the line once into a block of its own, in two marker colours over nothing,
// and each byte becomes what laying the line does to the screen there. 1, or 0 without memory
// or without a line.
int TextStrip::Keep() {
    const int length = int( std::strlen( text ) );
    if ( length == 0 ) {
        return 0;
    }
    width = length * Font::ADVANCE;
    // Room past the last glyph for the font's rows of eight, in whole vectors that leave the
    // screen as it is past the line.
    stride = ( width + 2 + 15 ) & ~15;
    const int bytes = 2 * ROWS * stride;
    if ( capacity < bytes ) {
        delete[] leave;
        leave = new ( std::nothrow ) uint8_t[bytes];
        capacity = leave != nullptr ? bytes : 0;
    }
    if ( leave == nullptr ) {
        return 0;
    }
    set = leave + ROWS * stride;
    std::memset( set, 0, size_t( ROWS * stride ) );
    Image marks;
    marks.SetPixels( set );
    marks.SetWidth( stride );
    marks.SetHeight( ROWS );
    marks.SetPitch( stride );
    marks.SetClipRect( marks.GetBounds() );
    Font::Draw( marks, 0, 0, text, INK, SHADE );
    for ( int i = 0; i < ROWS * stride; i++ ) {
        const uint8_t mark = set[i];
        leave[i] = mark == 0 ? 0xFF : 0;
        set[i] = mark == INK ? colour : mark == SHADE ? shadow : 0;
    }
    return 1;
}

void TextStrip::Lay( Image &target, int x, int y, int columns ) const {
    const int pitch = target.GetPitch();
    uint8_t *row = target.GetPixels() + y * pitch + x;
    for ( int line = 0; line < ROWS; line++, row += pitch ) {
        LayRow( row, leave + line * stride, set + line * stride, columns );
    }
}
