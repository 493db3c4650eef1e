#ifndef KELTO_HUD_TEXTSTRIP_H
#define KELTO_HUD_TEXTSTRIP_H

#include "hud/Font.h"
#include "hud/TextLine.h"

#include <cstdint>
#include <cstring>

class Image;

// One line of the view's text kept drawn between frames: a name, a score, the words of a
// readout. Most of the view's text reads the same frame after frame, so once a line has been
// asked for twice running it is kept as the bytes it leaves and the bytes it sets, and laid
// over the screen a row at a time instead of glyph by glyph (see hud/MaskedStores.h). The picture is always
// the font's own: a line that changes, a line the clip rectangle cuts and a line too long to keep are drawn
// by the font as before.
class TextStrip {
public:
    static constexpr int ROWS = Font::GLYPH_HEIGHT + 1; // the glyphs' rows and the shadow's last one
    static constexpr int MAX_STRIDE = 320;              // five blocks of a mask, 64 bytes each
    // The longest line kept: its glyphs, its shadow and the font's rows of eight fit a stride.
    static constexpr int MAX_LENGTH = ( MAX_STRIDE - 2 ) / Font::ADVANCE;

    TextStrip();
    virtual ~TextStrip();

    // As Font::Draw at scale 1. Here, so that the length of the view's fixed words is counted
    // when the game is built rather than every frame.
    void Draw( Image &target, int x, int y, const char *text, uint8_t colour, uint8_t shadow ) {
        DrawLength( target, x, y, text, int( std::strlen( text ) ), colour, shadow );
    }
    // A line put together this frame, by the length it knows.
    void Draw( Image &target, int x, int y, const TextLine &line, uint8_t colour, uint8_t shadow ) {
        DrawLength( target, x, y, line.Get(), line.GetLength(), colour, shadow );
    }

    // 1 while the line is kept: a Draw of it wholly inside the clip rectangle lays it.
    int GetKept() const { return kept; }

private:
    TextStrip( const TextStrip & ) = delete;
    TextStrip &operator=( const TextStrip & ) = delete;

    // `text` holds `length` characters and its end.
    void DrawLength( Image &target, int x, int y, const char *text, int length, uint8_t colour,
                     uint8_t shadow );
    int Remember( const char *text, int length, uint8_t colour, uint8_t shadow );
    int Keep();
    void Lay( Image &target, int x, int y ) const;

    char text[MAX_LENGTH + 1];
    int length; // of `text`: a line of another length is another line without reading it
    uint8_t colour;
    uint8_t shadow;
    int width;  // the columns the line covers, its shadow included
    int stride; // bytes from one row of `leave` or `set` to the next: whole blocks of a mask
    int kept;   // the rows below hold the line
    uint64_t masks[ROWS * MAX_STRIDE / 64]; // a bit for each byte under the line, 64 a word
    uint8_t leave[ROWS * MAX_STRIDE];       // 0xFF where the screen shows through, 0 under the line
    uint8_t set[ROWS * MAX_STRIDE];         // the line's colour, its shadow's, or 0
};

#endif
