#include "lands/LandPalette.h"

#include "lands/LandCode.h"
#include "lands/LandNoise.h"

namespace {

struct Rgb {
    int red;
    int green;
    int blue;
};

// The entries of the game's own pictures that the tank, the bomb and the view use.
const Rgb GREYS[16] = { { 0, 0, 0 },       { 24, 24, 26 },    { 39, 39, 42 },    { 55, 55, 57 },
                        { 70, 70, 73 },    { 86, 86, 89 },    { 101, 101, 104 }, { 117, 117, 120 },
                        { 132, 132, 136 }, { 148, 148, 152 }, { 163, 163, 167 }, { 179, 179, 183 },
                        { 194, 194, 199 }, { 210, 210, 214 }, { 225, 225, 230 }, { 255, 255, 255 } };
const Rgb KEPT[LAND_KEPT_LAST - LAND_KEPT_FIRST + 1] = {
    // tank hull
    { 30, 38, 16 },
    { 38, 47, 20 },
    { 47, 56, 24 },
    { 55, 64, 28 },
    { 63, 73, 32 },
    { 71, 82, 36 },
    { 80, 91, 40 },
    { 88, 100, 44 },
    { 98, 110, 51 },
    { 110, 122, 60 },
    { 123, 134, 69 },
    { 135, 146, 79 },
    { 147, 158, 88 },
    { 159, 170, 97 },
    { 172, 182, 107 },
    { 184, 194, 116 },
    // tracks
    { 16, 16, 14 },
    { 29, 28, 25 },
    { 41, 39, 35 },
    { 54, 51, 46 },
    { 66, 63, 56 },
    { 79, 75, 67 },
    { 91, 86, 77 },
    { 104, 98, 88 },
    // bomb shell
    { 14, 14, 18 },
    { 25, 26, 31 },
    { 36, 37, 44 },
    { 48, 49, 56 },
    { 59, 60, 69 },
    { 70, 72, 82 },
    { 86, 88, 98 },
    { 102, 104, 114 },
    { 118, 120, 130 },
    { 134, 136, 146 },
    { 150, 152, 162 },
    { 169, 170, 177 },
    { 188, 189, 192 },
    { 206, 207, 206 },
    { 225, 226, 221 },
    { 244, 244, 236 },
    // flame
    { 96, 12, 6 },
    { 120, 26, 8 },
    { 143, 39, 10 },
    { 167, 53, 12 },
    { 190, 66, 14 },
    { 214, 80, 16 },
    { 222, 104, 25 },
    { 230, 128, 34 },
    { 239, 152, 42 },
    { 247, 176, 51 },
    { 255, 200, 60 },
    { 255, 210, 88 },
    { 255, 220, 116 },
    { 255, 230, 144 },
    { 255, 240, 172 },
    { 255, 250, 200 } };
// Exactly the colours the view asks for, so that it finds the same entries on every theme:
// the four players, its panel, the map's ground and sky, and its bright colour.
const Rgb SIGNALS[8] = { { 235, 50, 40 }, { 120, 190, 255 }, { 255, 225, 50 }, { 60, 220, 60 },
                         { 20, 24, 40 },  { 110, 80, 50 },   { 40, 70, 140 },  { 255, 250, 200 } };

// Key colours of one theme's ramps, dark to light, up to four keys each.
struct ThemeRamp {
    LandRamp ramp;
    int keyCount;
    Rgb keys[4];
};

const int THEME_RAMPS = 8;

const ThemeRamp THEMES[LandCode::THEME_COUNT][THEME_RAMPS] = {
    // Green: a clear day over grass, brown earth and grey rock.
    { { LAND_SKY, 3, { { 40, 80, 160 }, { 110, 160, 220 }, { 205, 225, 240 } } },
      { LAND_CLOUD, 2, { { 170, 190, 220 }, { 250, 250, 255 } } },
      { LAND_FAR, 3, { { 72, 82, 132 }, { 120, 134, 180 }, { 184, 196, 226 } } },
      { LAND_NEAR, 3, { { 32, 62, 54 }, { 78, 114, 98 }, { 152, 180, 176 } } },
      { LAND_TOP, 3, { { 26, 62, 18 }, { 62, 124, 34 }, { 150, 204, 72 } } },
      { LAND_EARTH, 3, { { 52, 32, 20 }, { 112, 74, 44 }, { 182, 136, 86 } } },
      { LAND_ROCK, 3, { { 38, 36, 38 }, { 96, 90, 86 }, { 176, 170, 158 } } },
      { LAND_ACCENT, 2, { { 22, 34, 16 }, { 112, 132, 58 } } } },
    // Desert: a hot hazy sky over sand, sandstone and red rock.
    { { LAND_SKY, 3, { { 70, 110, 180 }, { 150, 180, 210 }, { 240, 215, 170 } } },
      { LAND_CLOUD, 2, { { 220, 200, 170 }, { 255, 245, 225 } } },
      { LAND_FAR, 3, { { 130, 90, 90 }, { 180, 130, 115 }, { 225, 180, 150 } } },
      { LAND_NEAR, 3, { { 140, 90, 50 }, { 190, 135, 75 }, { 232, 185, 115 } } },
      { LAND_TOP, 3, { { 170, 120, 60 }, { 226, 184, 110 }, { 255, 232, 168 } } },
      { LAND_EARTH, 3, { { 96, 44, 26 }, { 170, 94, 48 }, { 222, 148, 88 } } },
      { LAND_ROCK, 3, { { 56, 28, 24 }, { 124, 66, 48 }, { 196, 136, 106 } } },
      { LAND_ACCENT, 2, { { 48, 32, 36 }, { 120, 88, 78 } } } },
    // Snow at dusk: a violet and orange sky over snow, frozen earth and blue rock.
    { { LAND_SKY, 4, { { 25, 20, 60 }, { 100, 56, 116 }, { 228, 130, 100 }, { 255, 196, 140 } } },
      { LAND_CLOUD, 2, { { 120, 80, 130 }, { 250, 180, 160 } } },
      { LAND_FAR, 3, { { 56, 56, 104 }, { 104, 96, 150 }, { 170, 150, 196 } } },
      { LAND_NEAR, 3, { { 30, 36, 64 }, { 66, 74, 112 }, { 120, 128, 170 } } },
      { LAND_TOP, 3, { { 140, 150, 196 }, { 206, 212, 238 }, { 248, 248, 255 } } },
      { LAND_EARTH, 3, { { 36, 36, 52 }, { 76, 72, 90 }, { 128, 122, 140 } } },
      { LAND_ROCK, 3, { { 32, 38, 58 }, { 78, 88, 118 }, { 148, 158, 188 } } },
      { LAND_ACCENT, 2, { { 80, 128, 180 }, { 196, 228, 250 } } } },
};

HostPaletteEntry Entry( const Rgb &c ) {
    HostPaletteEntry entry;
    entry.red = uint8_t( c.red );
    entry.green = uint8_t( c.green );
    entry.blue = uint8_t( c.blue );
    entry.flags = 0;
    return entry;
}

int Mix( int a, int b, int t256 ) {
    return ( a * ( 256 - t256 ) + b * t256 + 128 ) >> 8;
}

// Spreads the ramp's entries evenly along the path through its key colours.
void FillRamp( const ThemeRamp &theme, HostPaletteEntry *entries ) {
    const int segments = theme.keyCount - 1;
    const int count = theme.ramp.count;
    for ( int i = 0; i < count; i++ ) {
        const int position = ( i * segments * 256 ) / ( count - 1 );
        int segment = position >> 8;
        if ( segment > segments - 1 ) {
            segment = segments - 1;
        }
        const int t = position - segment * 256;
        const Rgb &a = theme.keys[segment];
        const Rgb &b = theme.keys[segment + 1];
        entries[theme.ramp.first + i] =
            Entry( Rgb{ Mix( a.red, b.red, t ), Mix( a.green, b.green, t ), Mix( a.blue, b.blue, t ) } );
    }
}

} // namespace

void LandMakePalette( int theme, HostPaletteEntry entries[256] ) {
    if ( theme < 0 || theme >= LandCode::THEME_COUNT ) {
        theme = LandCode::GREEN;
    }
    for ( int i = 0; i < 256; i++ ) {
        entries[i] = Entry( Rgb{ 0, 0, 0 } );
    }
    for ( int i = 0; i < 16; i++ ) {
        entries[i] = Entry( GREYS[i] );
    }
    for ( int i = LAND_KEPT_FIRST; i <= LAND_KEPT_LAST; i++ ) {
        entries[i] = Entry( KEPT[i - LAND_KEPT_FIRST] );
    }
    for ( int i = 0; i < 8; i++ ) {
        entries[LAND_SIGNAL_FIRST + i] = Entry( SIGNALS[i] );
    }
    for ( const ThemeRamp &ramp : THEMES[theme] ) {
        FillRamp( ramp, entries );
    }
}

uint8_t LandShade( LandRamp ramp, int shade, int x, int y ) {
    if ( shade < 0 ) {
        shade = 0;
    }
    if ( shade > 255 ) {
        shade = 255;
    }
    int step = ( shade * ( ramp.count - 1 ) + LandDither( x, y ) ) >> 8;
    if ( step > ramp.count - 1 ) {
        step = ramp.count - 1;
    }
    return uint8_t( ramp.first + step );
}
