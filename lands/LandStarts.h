#ifndef KELTO_LANDS_LANDSTARTS_H
#define KELTO_LANDS_LANDSTARTS_H

#include <cstdint>

class Image;

// Where tanks can start on a land. A tank starts on the top edge and falls; a column is open
// when the tank comes to rest there on ground (not on the bottom edge) with nothing but air
// above the upper half of its box, all the way up: a bomb can come down on it from the sky,
// so no start place is ever walled in. Starts are at least two tank widths apart and a tank
// width from either side.
class LandStarts {
public:
    static constexpr int COUNT = 4;

    // 1 when column x (the tank's left edge) is open for a tank of that size; `restY` gets
    // the top row of the tank at rest.
    static int IsOpen( const Image &land, int x, int tankWidth, int tankHeight, int *restY );
    // 1 when x is far enough from both sides of a land `landWidth` wide.
    static int IsInside( int landWidth, int x, int tankWidth );
    // Chooses COUNT open columns apart, in an order and places drawn from `draw`; 1, or 0
    // leaving `columns` unchanged when the land has no COUNT of them.
    static int Choose( const Image &land, int tankWidth, int tankHeight, uint32_t draw, int columns[COUNT] );
};

#endif
