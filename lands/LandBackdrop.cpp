#include "lands/LandBackdrop.h"

#include "gfx/Image.h"
#include "lands/LandArray.h"
#include "lands/LandCode.h"
#include "lands/LandNoise.h"
#include "lands/LandPalette.h"
#include "lands/LandRandom.h"

#include <cstddef>

namespace {

struct Sun {
    int x;
    int y;
    int radius;
};

uint8_t SkyPixel( int theme, int x, int y, int horizon, const Sun &sun, uint32_t seed ) {
    const int dx = x - sun.x;
    const int dy = y - sun.y;
    const int distance2 = dx * dx + dy * dy;
    if ( distance2 <= sun.radius * sun.radius ) {
        return LandShade( LAND_CLOUD, 255, x, y );
    }
    // Clouds in a band above the middle of the sky, stretched sideways.
    if ( y < horizon * 3 / 4 && y > horizon / 10 ) {
        const int cloud = LandNoise2( x, y * 3, 90, seed + 41u );
        if ( cloud > 168 ) {
            const int over = LandNoise2( x, ( y - 6 ) * 3, 90, seed + 41u );
            return LandShade( LAND_CLOUD, 120 + ( cloud - over ) * 6 + ( cloud - 168 ), x, y );
        }
    }
    int shade = ( y * 255 ) / horizon;
    // A glow around the sun at dusk.
    if ( theme == LandCode::SNOW && distance2 < 16 * sun.radius * sun.radius ) {
        shade += 40 - ( distance2 * 40 ) / ( 16 * sun.radius * sun.radius );
    }
    return LandShade( LAND_SKY, shade, x, y );
}

uint8_t FarPixel( int theme, int x, int y, int ridge, int horizon, uint32_t seed ) {
    const int below = y - ridge;
    const int relief = ( LandNoise2( x, y, 14, seed + 51u ) - 128 ) / 3;
    const int haze = ( y * 150 ) / ( horizon + 1 );
    if ( theme != LandCode::DESERT && ridge < horizon * 55 / 100 &&
         below < ( horizon * 55 / 100 - ridge ) / 2 ) {
        return LandShade( LAND_CLOUD, 150 + relief, x, y );
    }
    return LandShade( LAND_FAR, 30 + haze / 2 + relief, x, y );
}

uint8_t NearPixel( int x, int y, int ridge, uint32_t seed ) {
    const int below = y - ridge;
    const int crowns = ( LandNoise2( x, y, 6, seed + 61u ) - 128 ) / 2;
    const int fade = below < 160 ? 100 - ( below * 100 ) / 160 : 0;
    return LandShade( LAND_NEAR, 70 + fade + crowns, x, y );
}

} // namespace

int LandPaintBackdrop( int theme, uint32_t seed, Image &background ) {
    uint8_t *pixels = background.GetPixels();
    if ( pixels == nullptr ) {
        return 0;
    }
    const int w = background.GetWidth();
    const int h = background.GetHeight();
    const int horizon = h * 72 / 100;
    LandRandom random( seed ^ 0xB4C4D00Du );
    LandArray<int> far( w, h * 44 / 100 );
    LandArray<int> near( w, h * 64 / 100 );
    if ( !far.IsUsable() || !near.IsUsable() ) {
        return 0;
    }
    LandAddOctaves( far.GetItems(), w, 260, h * 14 / 100, 4, seed + 52u );
    LandAddOctaves( near.GetItems(), w, 200, h * 6 / 100, 3, seed + 62u );
    for ( int x = 0; x < w; x++ ) {
        if ( theme == LandCode::DESERT ) {
            // Mesas: the far range cut flat at a few heights.
            const int cut = h * 36 / 100 + ( ( x / 160 ) % 3 ) * h * 3 / 100;
            far[x] = far[x] < cut ? cut : far[x];
        } else if ( theme == LandCode::GREEN ) {
            // Treetops along the near crest.
            near[x] -= int( LandRandom::Hash( x / 5, 3, seed ) % 7u );
        }
    }
    Sun sun;
    sun.x = random.Range( w / 6, w * 5 / 6 );
    sun.y = theme == LandCode::SNOW ? horizon * 55 / 100 : random.Range( h / 10, h / 4 );
    sun.radius = theme == LandCode::SNOW ? h / 14 : h / 30;
    for ( int y = 0; y < h; y++ ) {
        uint8_t *row = pixels + y * background.GetPitch();
        for ( int x = 0; x < w; x++ ) {
            if ( y >= near[x] ) {
                row[x] = NearPixel( x, y, near[x], seed );
            } else if ( y >= far[x] ) {
                row[x] = FarPixel( theme, x, y, far[x], horizon, seed );
            } else {
                row[x] = SkyPixel( theme, x, y, horizon, sun, seed );
            }
        }
    }
    return 1;
}
