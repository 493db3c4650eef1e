#include "hud/TextStrip.h"

#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/MaskedStores.h"

#include <cstring>

#if defined( __wasm_simd128__ )
#include <wasm_simd128.h>
#endif

namespace {

const int INK = 2;
const int SHADE = 1;
const int BLOCK = 64; // bytes of a row under one mask

// The plain way, and the reference: eight bytes at a time while there are eight, then byte by
// byte.
void LayRow( uint8_t *row, const uint8_t *leave, const uint8_t *set, int width ) {
    int x = 0;
#if defined( __wasm_simd128__ )
    // The browser's 16 bytes at a time, where its 8-byte words would take twice the steps.
    for ( ; x + 16 <= width; x += 16 ) {
        const v128_t screen = wasm_v128_load( row + x );
        wasm_v128_store( row + x, wasm_v128_or( wasm_v128_and( screen, wasm_v128_load( leave + x ) ),
                                                wasm_v128_load( set + x ) ) );
    }
#endif
    for ( ; x + 8 <= width; x += 8 ) {
        uint64_t screen, left, put;
        std::memcpy( &screen, row + x, sizeof screen );
        std::memcpy( &left, leave + x, sizeof left );
        std::memcpy( &put, set + x, sizeof put );
        screen = ( screen & left ) | put;
        std::memcpy( row + x, &screen, sizeof screen );
    }
    for ( ; x < width; x++ ) {
        row[x] = uint8_t( ( row[x] & leave[x] ) | set[x] );
    }
}

} // namespace

TextStrip::TextStrip()
    : text{}, length( 0 ), colour( 0 ), shadow( 0 ), width( 0 ), stride( 0 ),
      kept( 0 ), masks{}, leave{}, set{} {
}

TextStrip::~TextStrip() {
}

void TextStrip::DrawLength( Image &target, int x, int y, const char *newText, int newLength,
                            uint8_t newColour, uint8_t newShadow ) {
    if ( target.GetPixels() == nullptr || newLength == 0 ) {
        return;
    }
    if ( !Remember( newText, newLength, newColour, newShadow ) && !kept ) {
        kept = Keep();
    }
    const Rect &clip = target.GetClipRect();
    const int inside = x >= clip.left && y >= clip.top && x + newLength * Font::ADVANCE - 1 <= clip.right &&
                       y + ROWS - 1 <= clip.bottom;
    if ( kept && inside ) {
        Lay( target, x, y );
    } else {
        Font::Draw( target, x, y, newText, newColour, newShadow );
    }
}

// 1 when the line is new (and now remembered, not yet kept), 0 when it is the one remembered.
// The remembered length is never past MAX_LENGTH, so a line too long to keep is always new.
int TextStrip::Remember( const char *newText, int newLength, uint8_t newColour, uint8_t newShadow ) {
    if ( newLength == length && newColour == colour && newShadow == shadow &&
         std::memcmp( newText, text, size_t( newLength ) ) == 0 ) {
        return 0;
    }
    kept = 0;
    colour = newColour;
    shadow = newShadow;
    // A line too long to keep is remembered as none, so that it is never kept.
    length = newLength <= MAX_LENGTH ? newLength : 0;
    std::memcpy( text, newText, size_t( length ) );
    text[length] = '\0';
    return 1;
}

// The font draws the line once into the strip's rows, in two marker colours over nothing,
// and each byte becomes what laying the line does to the screen there. 1, or 0 without a line.
int TextStrip::Keep() {
    if ( length == 0 ) {
        return 0;
    }
    width = length * Font::ADVANCE;
    // Room past the last glyph for the font's rows of eight, in whole blocks of a mask.
    stride = ( width + 2 + BLOCK - 1 ) / BLOCK * BLOCK;
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
        if ( i % BLOCK == 0 ) {
            masks[i / BLOCK] = 0;
        }
        masks[i / BLOCK] |= uint64_t( mark != 0 ) << ( i % BLOCK );
        leave[i] = mark == 0 ? 0xFF : 0;
        set[i] = mark == INK ? colour : mark == SHADE ? shadow : 0;
    }
    return 1;
}

void TextStrip::Lay( Image &target, int x, int y ) const {
    const int pitch = target.GetPitch();
    uint8_t *row = target.GetPixels() + y * pitch + x;
    if ( HudMaskedStores() ) {
        LayMasked( row, pitch, set, stride, masks, ROWS );
        return;
    }
    for ( int line = 0; line < ROWS; line++, row += pitch ) {
        LayRow( row, leave + line * stride, set + line * stride, width );
    }
}
