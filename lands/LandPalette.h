#ifndef KELTO_LANDS_LANDPALETTE_H
#define KELTO_LANDS_LANDPALETTE_H

#include "host/HostTypes.h"

#include <cstdint>

// The colours of a generated land. Every theme keeps, entry for entry, the colours of the
// game's own pictures that the sprites and the view draw with: 0 (empty land, transparent),
// the grey ramp and white (1 to 15), the tank, track, shell and flame ramps (176 to 231), and
// the view's signal colours (248 to 255). The theme paints the rest: sky, clouds, far and
// near hills behind, the ground's top layer, earth, rock, and an accent under overhangs.

// A run of entries shading one material from dark (first) to light.
struct LandRamp {
    int first;
    int count;
};

const LandRamp LAND_SKY = { 16, 32 };
const LandRamp LAND_CLOUD = { 48, 16 };
const LandRamp LAND_FAR = { 64, 16 };
const LandRamp LAND_NEAR = { 80, 16 };
const LandRamp LAND_TOP = { 96, 16 };
const LandRamp LAND_EARTH = { 112, 32 };
const LandRamp LAND_ROCK = { 144, 32 };
const LandRamp LAND_ACCENT = { 232, 16 };

// The first and last entries a theme does not change, besides 0 to 15.
const int LAND_KEPT_FIRST = 176;
const int LAND_KEPT_LAST = 231;
const int LAND_SIGNAL_FIRST = 248;

// Fills the 256 entries for a theme (LandCode::Theme).
void LandMakePalette( int theme, HostPaletteEntry entries[256] );

// The ramp's entry for a shade in [0, 255], dithered between the two nearest entries.
uint8_t LandShade( LandRamp ramp, int shade, int x, int y );

#endif
