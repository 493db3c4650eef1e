#include "lands/LandStarts.h"

#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "lands/LandArray.h"
#include "lands/LandRandom.h"

#include <cstddef>

namespace {

int IsGround( const Image &land, int x, int y ) {
    return land.GetPixels()[y * land.GetPitch() + x] != 0;
}

// The first ground row of column x at or below `from`; the land's height when none.
int FirstGround( const Image &land, int x, int from ) {
    for ( int y = from; y < land.GetHeight(); y++ ) {
        if ( IsGround( land, x, y ) ) {
            return y;
        }
    }
    return land.GetHeight();
}

int FarApart( const int *columns, int count, int x, int spacing ) {
    for ( int i = 0; i < count; i++ ) {
        const int distance = columns[i] > x ? columns[i] - x : x - columns[i];
        if ( distance < spacing ) {
            return 0;
        }
    }
    return 1;
}

} // namespace

int LandStarts::IsInside( int landWidth, int x, int tankWidth ) {
    return x >= tankWidth && x + 2 * tankWidth <= landWidth;
}

// Column x is open given the first ground row of every column from the top.
static int OpenOver( const Image &land, const int *tops, int x, int tankWidth, int tankHeight, int *restY ) {
    const int probe = x + tankWidth / 2;
    const int ground = tops[probe] >= tankHeight ? tops[probe] : FirstGround( land, probe, tankHeight );
    if ( ground >= land.GetHeight() ) {
        return 0;
    }
    const int top = ground - tankHeight;
    const int clearTo = top + tankHeight / 2;
    for ( int column = x; column < x + tankWidth; column++ ) {
        if ( tops[column] < clearTo ) {
            return 0;
        }
    }
    if ( restY != nullptr ) {
        *restY = top;
    }
    return 1;
}

// The first ground row of every column; an unusable array without memory.
static void FindTops( const Image &land, int *tops, int width ) {
    for ( int x = 0; x < width; x++ ) {
        tops[x] = FirstGround( land, x, 0 );
    }
}

int LandStarts::IsOpen( const Image &land, int x, int tankWidth, int tankHeight, int *restY ) {
    if ( land.GetPixels() == nullptr || tankWidth <= 0 || tankHeight <= 0 || x < 0 ||
         x + tankWidth > land.GetWidth() ) {
        return 0;
    }
    LandArray<int> tops( land.GetWidth() );
    if ( !tops.IsUsable() ) {
        return 0;
    }
    FindTops( land, tops.GetItems(), land.GetWidth() );
    return OpenOver( land, tops.GetItems(), x, tankWidth, tankHeight, restY );
}

int LandStarts::Choose( const Image &land, int tankWidth, int tankHeight, uint32_t draw,
                        int columns[COUNT] ) {
    const int width = land.GetWidth();
    if ( land.GetPixels() == nullptr || tankWidth <= 0 || tankHeight <= 0 ) {
        return 0;
    }
    // Kept in the program rather than asked for: choosing never fails for want of memory, so
    // a game short of it still starts the same.
    static int tops[BMP_MAX_SIDE];
    static int open[BMP_MAX_SIDE];
    if ( width > BMP_MAX_SIDE ) {
        return 0;
    }
    FindTops( land, tops, width );
    int openCount = 0;
    for ( int x = tankWidth; IsInside( width, x, tankWidth ); x++ ) {
        if ( OpenOver( land, tops, x, tankWidth, tankHeight, nullptr ) ) {
            open[openCount++] = x;
        }
    }
    if ( openCount == 0 ) {
        return 0;
    }
    const int spacing = 2 * tankWidth;
    LandRandom random( draw );
    int chosen[COUNT];
    // Places drawn at random first, for variety; then, from a random first place on, the
    // nearest open column far enough from those chosen, which finds four wherever four fit.
    for ( int attempt = 0; attempt < 64; attempt++ ) {
        int count = 0;
        for ( int i = 0; i < COUNT; i++ ) {
            const int x = open[random.Range( 0, openCount - 1 )];
            if ( FarApart( chosen, count, x, spacing ) ) {
                chosen[count++] = x;
            }
        }
        if ( count == COUNT ) {
            for ( int i = 0; i < COUNT; i++ ) {
                columns[i] = chosen[i];
            }
            return 1;
        }
    }
    const int offset = random.Range( 0, openCount - 1 );
    int count = 0;
    for ( int i = 0; i < openCount && count < COUNT; i++ ) {
        const int x = open[( i + offset ) % openCount];
        if ( FarApart( chosen, count, x, spacing ) ) {
            chosen[count++] = x;
        }
    }
    if ( count < COUNT ) {
        count = 0;
        for ( int i = 0; i < openCount && count < COUNT; i++ ) {
            if ( FarApart( chosen, count, open[i], spacing ) ) {
                chosen[count++] = open[i];
            }
        }
    }
    if ( count < COUNT ) {
        return 0;
    }
    for ( int i = 0; i < COUNT; i++ ) {
        columns[i] = chosen[i];
    }
    return 1;
}
