#ifndef KELTO_LANDS_LANDPAINTER_H
#define KELTO_LANDS_LANDPAINTER_H

#include <cstdint>

class Image;

// Colours a land shaped by LandShape (1 ground, 0 air) in the theme's ramps: the top layer
// (grass, sand or snow) where the ground is open to the sky, earth under it and rock deeper,
// an accent on ground under overhangs, and shadow on the undersides. Air stays 0; no ground
// pixel is ever 0. 1, or 0 without memory for its work.
int LandPaint( int style, uint32_t seed, Image &land );

#endif
