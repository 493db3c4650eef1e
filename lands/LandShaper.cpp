#include "lands/LandShaper.h"

#include "gfx/Image.h"
#include "lands/LandArray.h"
#include "lands/LandCode.h"
#include "lands/LandNoise.h"
#include "lands/LandRandom.h"

#include <cstddef>

namespace {

const uint8_t GROUND = 1;

int Clamp( int value, int low, int high ) {
    return value < low ? low : value > high ? high : value;
}

// A share of the land's height, but no more than `most`: on a very tall land the ground keeps
// the slopes of the game's own size, so that tanks still find room to stand.
int Share( int height, int percent, int most ) {
    const int share = height * percent / 100;
    return share < most ? share : most;
}

// Ground in column x from row `top` (inclusive) to `bottom` (exclusive).
void FillColumn( Image &land, int x, int top, int bottom ) {
    top = Clamp( top, 0, land.GetHeight() );
    bottom = Clamp( bottom, 0, land.GetHeight() );
    uint8_t *pixel = land.GetPixels() + x;
    const int pitch = land.GetPitch();
    for ( int y = top; y < bottom; y++ ) {
        pixel[y * pitch] = GROUND;
    }
}

void FillBelow( Image &land, const LandArray<int> &surface ) {
    for ( int x = 0; x < land.GetWidth(); x++ ) {
        FillColumn( land, x, surface[x], land.GetHeight() );
    }
}

int ShapeHills( Image &land, uint32_t seed, LandRandom &random ) {
    const int w = land.GetWidth();
    const int h = land.GetHeight();
    LandArray<int> surface( w, h * 55 / 100 );
    if ( !surface.IsUsable() ) {
        return 0;
    }
    LandAddOctaves( surface.GetItems(), w, 560, Share( h, 20, 192 ), 4, seed );
    for ( int x = 0; x < w; x++ ) {
        surface[x] = Clamp( surface[x], h * 22 / 100, h * 88 / 100 );
    }
    FillBelow( land, surface );
    // Pockets well under the ground: found by digging, never in a tank's way down.
    const int pockets = w / 320 + random.Range( 0, 2 );
    for ( int i = 0; i < pockets; i++ ) {
        const int x = random.Range( 60, w - 60 );
        const int rx = random.Range( 20, 60 );
        const int ry = random.Range( 10, 26 );
        int deepest = 0;
        for ( int column = Clamp( x - rx, 0, w - 1 ); column <= Clamp( x + rx, 0, w - 1 ); column++ ) {
            deepest = surface[column] > deepest ? surface[column] : deepest;
        }
        const int y = random.Range( deepest + ry + 40, h - ry - 20 );
        if ( y + ry < h - 20 ) {
            land.FillEllipse( x, y, rx, ry, 0 );
        }
    }
    return 1;
}

int ShapeIslands( Image &land, uint32_t seed, LandRandom &random ) {
    const int w = land.GetWidth();
    const int h = land.GetHeight();
    const int count = w / 230 > 4 ? w / 230 : 4;
    const int slot = w / count;
    for ( int i = 0; i < count; i++ ) {
        const int left = i * slot + random.Range( slot / 12, slot / 5 );
        const int right = ( i + 1 ) * slot - random.Range( slot / 12, slot / 5 );
        const int base = random.Range( h * 25 / 100, h * 58 / 100 );
        const int thickness = random.Range( h * 12 / 100, h * 26 / 100 );
        const int half = ( right - left ) / 2 > 1 ? ( right - left ) / 2 : 1;
        for ( int x = left; x <= right && x < w; x++ ) {
            // u runs from -256 at the left end to 256 at the right.
            const int u = ( ( 2 * x - left - right ) * 128 ) / half;
            const int edge = 256 - ( u * u ) / 256; // 256 in the middle, 0 at the ends
            const int top = base + LandNoise1( x, 90, 14, seed + 11u ) + ( ( 256 - edge ) * 40 ) / 256;
            const int bottom = base + 8 + ( thickness * edge ) / 256 + LandNoise1( x, 24, 10, seed + 12u );
            if ( bottom > top + 4 ) {
                FillColumn( land, x, top, bottom );
            }
        }
    }
    return 1;
}

int ShapeCavern( Image &land, uint32_t seed, LandRandom &random ) {
    const int w = land.GetWidth();
    const int h = land.GetHeight();
    LandArray<int> floor( w, h * 74 / 100 );
    LandArray<int> roof( w, h * 24 / 100 );
    if ( !floor.IsUsable() || !roof.IsUsable() ) {
        return 0;
    }
    LandAddOctaves( floor.GetItems(), w, 420, Share( h, 9, 86 ), 3, seed + 21u );
    LandAddOctaves( roof.GetItems(), w, 300, Share( h, 7, 67 ), 3, seed + 22u );
    // Stalactites hang from the roof.
    for ( int x = random.Range( 10, 60 ); x < w; x += random.Range( 40, 110 ) ) {
        const int half = random.Range( 4, 12 );
        const int depth = random.Range( 15, h * 8 / 100 );
        for ( int dx = -half; dx <= half; dx++ ) {
            if ( x + dx >= 0 && x + dx < w ) {
                roof[x + dx] += depth - ( depth * ( dx < 0 ? -dx : dx ) ) / ( half + 1 );
            }
        }
    }
    for ( int x = 0; x < w; x++ ) {
        floor[x] = Clamp( floor[x], h * 55 / 100, h * 90 / 100 );
        roof[x] = Clamp( roof[x], h * 8 / 100, floor[x] - h * 15 / 100 );
    }
    // Shafts through the roof, one to each part of the width, and a pillar between some.
    const int count = w / 260 > 4 ? w / 260 : 4;
    const int slot = w / count;
    for ( int i = 0; i < count; i++ ) {
        const int centre = i * slot + slot / 2 + random.Range( -slot / 6, slot / 6 );
        int half = random.Range( 42, 64 );
        if ( half > slot / 2 - 10 ) {
            half = slot / 2 - 10;
        }
        // The floor under a shaft is levelled out, so that a tank dropped in finds it.
        const int level = floor[Clamp( centre, 0, w - 1 )];
        for ( int x = centre - half; x <= centre + half; x++ ) {
            if ( x >= 0 && x < w ) {
                roof[x] = 0;
                floor[x] = level + ( floor[x] - level ) / 4;
            }
        }
        if ( i > 0 && random.Range( 0, 1 ) == 1 ) {
            const int pillar = i * slot + random.Range( -8, 8 );
            const int pillarHalf = random.Range( 12, 24 );
            for ( int x = pillar - pillarHalf; x <= pillar + pillarHalf; x++ ) {
                if ( x >= 0 && x < w && roof[x] > 0 ) {
                    roof[x] = floor[x];
                }
            }
        }
    }
    for ( int x = 0; x < w; x++ ) {
        FillColumn( land, x, 0, roof[x] );
    }
    FillBelow( land, floor );
    return 1;
}

int ShapeCliffs( Image &land, uint32_t seed, LandRandom &random ) {
    const int w = land.GetWidth();
    const int h = land.GetHeight();
    LandArray<int> surface( w, 0 );
    LandArray<int> lipTop( w, 0 );
    LandArray<int> lipBottom( w, 0 );
    if ( !surface.IsUsable() || !lipTop.IsUsable() || !lipBottom.IsUsable() ) {
        return 0;
    }
    int level = random.Range( h * 30 / 100, h * 78 / 100 );
    int start = 0;
    while ( start < w ) {
        int end = start + random.Range( 110, 260 );
        if ( end >= w - 60 ) {
            end = w;
        }
        for ( int x = start; x < end; x++ ) {
            surface[x] = level + LandNoise1( x, 60, 5, seed + 31u );
        }
        if ( end >= w ) {
            break;
        }
        int next = random.Range( h * 28 / 100, h * 80 / 100 );
        if ( ( next > level ? next - level : level - next ) < h * 8 / 100 ) {
            next = level > h / 2 ? level - h * 16 / 100 : level + h * 16 / 100;
        }
        // The cliff between the two plateaus: a steep slope a few pixels wide.
        const int spread = random.Range( 2, 10 );
        for ( int x = end - spread; x < end + spread && x < w; x++ ) {
            if ( x >= start ) {
                surface[x] = level + ( ( next - level ) * ( x - end + spread ) ) / ( 2 * spread );
            }
        }
        // Sometimes the higher plateau's edge juts out over the lower one.
        if ( random.Range( 0, 1 ) == 1 ) {
            const int length = random.Range( 12, 36 );
            const int thick = random.Range( 12, 26 );
            const int top = next < level ? next : level;
            for ( int i = 0; i < length; i++ ) {
                const int x = next < level ? end - spread - 1 - i : end + spread + i;
                if ( x >= 0 && x < w ) {
                    lipTop[x] = top + ( i * thick ) / ( 2 * length );
                    lipBottom[x] = top + thick - ( i * thick ) / ( 2 * length );
                }
            }
        }
        level = next;
        start = end + spread;
    }
    FillBelow( land, surface );
    for ( int x = 0; x < w; x++ ) {
        if ( lipBottom[x] > lipTop[x] ) {
            FillColumn( land, x, lipTop[x], lipBottom[x] );
        }
    }
    return 1;
}

} // namespace

int LandShape( int style, uint32_t seed, Image &land ) {
    if ( land.GetPixels() == nullptr ) {
        return 0;
    }
    land.Clear( 0 );
    LandRandom random( seed ^ uint32_t( style + 1 ) * 0x2545F491u );
    switch ( style ) {
    case LandCode::ISLANDS:
        return ShapeIslands( land, seed, random );
    case LandCode::CAVERN:
        return ShapeCavern( land, seed, random );
    case LandCode::CLIFFS:
        return ShapeCliffs( land, seed, random );
    default:
        return ShapeHills( land, seed, random );
    }
}
