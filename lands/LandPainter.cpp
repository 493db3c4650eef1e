#include "lands/LandPainter.h"

#include "gfx/Image.h"
#include "lands/LandArray.h"
#include "lands/LandCode.h"
#include "lands/LandNoise.h"
#include "lands/LandPalette.h"
#include "lands/LandRandom.h"

#include <cstddef>

namespace {

// What each column knows of the ground above the row being painted.
struct Column {
    int depth; // rows of ground since the last air, 0 in the air
    int hadGround;
    int openRun;   // the ground run being painted is the first from the top
    int topRows;   // how deep the top layer goes here
    int earthRows; // where the earth gives way to rock
};

uint8_t GroundPixel( const Column &c, int x, int y, int below, uint32_t seed ) {
    const uint32_t grain = LandRandom::Hash( x, y, seed );
    const int jitter = int( grain & 31u ) - 16;
    int shadow = 0;
    if ( below == 1 ) {
        shadow = 70;
    } else if ( below == 2 ) {
        shadow = 35;
    }
    if ( c.openRun && c.depth <= c.topRows ) {
        return LandShade( LAND_TOP, 235 - ( c.depth * 150 ) / c.topRows + jitter - shadow, x, y );
    }
    if ( !c.openRun && c.depth <= 2 ) {
        return LandShade( LAND_ACCENT, 170 - c.depth * 40 + jitter - shadow, x, y );
    }
    if ( c.depth < c.earthRows ) {
        // Gently tilted layers, each a little lighter or darker than the next.
        const int band = ( y * 4 + x / 24 ) / 28;
        const int layer = int( LandRandom::Hash( band, 7, seed ) & 63u ) - 32;
        return LandShade( LAND_EARTH, 170 - ( c.depth * 70 ) / c.earthRows + layer + jitter - shadow, x, y );
    }
    const int blotch = ( LandNoise2( x, y, 36, seed + 5u ) - 128 ) / 3 + ( int( grain >> 8 & 63u ) - 32 );
    return LandShade( LAND_ROCK, 130 + blotch + jitter - shadow, x, y );
}

} // namespace

int LandPaint( int style, uint32_t seed, Image &land ) {
    uint8_t *pixels = land.GetPixels();
    if ( pixels == nullptr ) {
        return 0;
    }
    const int w = land.GetWidth();
    const int h = land.GetHeight();
    const int pitch = land.GetPitch();
    // Cliffs and caverns show more bare rock than hills and islands.
    const int earthBase = style == LandCode::CLIFFS || style == LandCode::CAVERN ? 40 : 110;
    LandArray<Column> columns( w );
    if ( !columns.IsUsable() ) {
        return 0;
    }
    for ( int x = 0; x < w; x++ ) {
        Column &c = columns[x];
        c.depth = 0;
        c.hadGround = 0;
        c.openRun = 0;
        c.topRows = 6 + LandNoise1( x, 30, 3, seed + 1u );
        c.earthRows = earthBase + LandNoise1( x, 180, earthBase / 2, seed + 2u );
    }
    for ( int y = 0; y < h; y++ ) {
        uint8_t *row = pixels + y * pitch;
        for ( int x = 0; x < w; x++ ) {
            Column &c = columns[x];
            if ( row[x] == 0 ) {
                c.depth = 0;
                continue;
            }
            if ( c.depth == 0 ) {
                c.openRun = !c.hadGround;
                c.hadGround = 1;
            }
            c.depth++;
            // Rows below are still shape (0 or 1): air one or two rows down is an underside.
            int below = 0;
            if ( y + 1 < h && row[x + pitch] == 0 ) {
                below = 1;
            } else if ( y + 2 < h && row[x + 2 * pitch] == 0 ) {
                below = 2;
            }
            row[x] = GroundPixel( c, x, y, below, seed );
        }
    }
    return 1;
}
