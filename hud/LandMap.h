#ifndef KELTO_HUD_LANDMAP_H
#define KELTO_HUD_LANDMAP_H

#include "gfx/Image.h"
#include "gfx/Rect.h"

class HudColours;
class Match;
class World;

// A map of the whole land for a corner of the screen: one map pixel for a square block of
// land (8 x 8 on the game's 1280 x 960 land, larger blocks on lands too big for about
// 160 x 120), ground or sky, with the camera's view as a frame, every tank as a dot in its
// player's colour and bombs in flight as bright dots. The ground is kept ready between frames,
// inside its frame, and redrawn only where a crater changed it; kept a bit a pixel as well, it is
// laid on the screen a 64-byte line at a time, so a frame costs little more than the stores.
class LandMap {
public:
    static constexpr int MAX_WIDTH = 160;
    static constexpr int MAX_HEIGHT = 120;
    static constexpr int SMALLEST_BLOCK = 8;
    // The ground of a framed row as bits, 64 a word, with a word to spare past the row.
    static constexpr int ROW_WORDS = ( MAX_WIDTH + 2 + 63 ) / 64 + 1;
    // The screen's 64-byte lines a framed row touches at most, at any alignment.
    static constexpr int MAX_LINES = ( MAX_WIDTH + 2 + 63 + 63 ) / 64;

    LandMap();
    virtual ~LandMap();

    // Sizes the map for the land picture and draws all of it in its frame. 1, or 0 without
    // memory.
    int Build( const Image &land, uint8_t groundColour, uint8_t skyColour, uint8_t frameColour );
    // Draws again the blocks under an area of the land (a crater).
    void Refresh( const Image &land, const Rect &area );
    // The map with its frame, view, tanks and bombs, its top-left corner at (x, y).
    void Draw( Image &screen, int x, int y, const World &world, const Match &match,
               const HudColours &colours ) const;

    int GetWidth() const { return cells.GetWidth(); }
    int GetHeight() const { return cells.GetHeight(); }
    int GetBlock() const { return block; }
    // The map pixel of a land point.
    int ToMap( int landCoordinate ) const { return landCoordinate / block; }
    const Image *GetCells() const { return cells.GetPixels() != nullptr ? &cells : nullptr; }

private:
    LandMap( const LandMap & ) = delete;
    LandMap &operator=( const LandMap & ) = delete;

    void DrawCell( const Image &land, int column, int row );
    void DrawFramed( Image &screen, int x, int y ) const;
    void Cut( int skew ) const;
    void Dot( Image &screen, const Rect &box, int landX, int landY, int size, uint8_t colour ) const;

    Image *framed; // owned; the map's pixels, one a block, in a frame a pixel wide; null before Build
    Image cells;   // the map's pixels inside `framed`
    // The same map a bit a pixel, 1 for ground, a row for each of `framed`'s: what the view lays
    // on the screen, small enough to stay in the processor's nearest cache beside the screen's rows.
    uint64_t groundBits[( MAX_HEIGHT + 2 ) * ROW_WORDS];
    // `groundBits` cut into the screen's 64-byte lines for a map starting `cutSkew` bytes into
    // one, kept until the land changes or the map moves to another alignment (-1: none kept).
    mutable uint64_t cutBits[( MAX_HEIGHT + 2 ) * MAX_LINES];
    mutable uint64_t cutWithin[MAX_LINES];
    mutable uint64_t cutSides[MAX_LINES];
    mutable int cutLines;
    mutable int cutSkew;
    int block;
    uint8_t ground;
    uint8_t sky;
    uint8_t frame;
};

#endif
