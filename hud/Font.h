#ifndef KELTO_HUD_FONT_H
#define KELTO_HUD_FONT_H

#include "gfx/Rect.h"

#include <cstdint>
#include <cstring>

class Image;

// The small bitmap font of the player's view: capitals, digits and a few signs, 5 x 7 pixels
// on a 6-pixel pitch, drawn with a shadow one pixel below and to the right so that it reads
// on sky and ground alike. Lower-case letters come out as capitals; a character the font
// lacks leaves a space.
class Font {
public:
    static constexpr int GLYPH_WIDTH = 5;
    static constexpr int GLYPH_HEIGHT = 7;
    static constexpr int ADVANCE = 6;

    // The width of the text in pixels at the given scale, without the shadow; of a text of
    // `length` characters.
    static int Measure( const char *text, int scale = 1 ) {
        return MeasureLength( static_cast<int>( std::strlen( text ) ), scale );
    }
    static int MeasureLength( int length, int scale = 1 ) {
        return length == 0 ? 0 : ( length * ADVANCE - 1 ) * scale;
    }
    // The screen the text covers at (x, y), shadow included.
    static Rect Box( int x, int y, const char *text, int scale = 1 );
    // Draws the shadow, then the text over it; each glyph pixel is a scale x scale block.
    static void Draw( Image &target, int x, int y, const char *text, uint8_t colour, uint8_t shadow,
                      int scale = 1 );

private:
    static int DrawShadowedRows( Image &target, int x, int y, const uint8_t *glyph, uint8_t colour,
                                 uint8_t shadow, int scale );
    static void DrawGlyph( Image &target, int x, int y, const uint8_t *glyph, uint8_t colour, int scale );
};

#endif
