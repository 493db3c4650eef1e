#ifndef KELTO_LANDS_LANDNOISE_H
#define KELTO_LANDS_LANDNOISE_H

#include <cstdint>

// Smooth integer noise for the lands: a line of heights along the land's width and a field
// over a picture, both from lattice values eased between with a smoothstep in fixed point.

// Value noise along x in [-amplitude, amplitude], the lattice `wavelength` pixels apart.
int LandNoise1( int x, int wavelength, int amplitude, uint32_t seed );

// Adds `octaves` of LandNoise1 to every entry of `line` (one per column), each half as long
// and half as strong as the one before.
void LandAddOctaves( int *line, int count, int wavelength, int amplitude, int octaves, uint32_t seed );

// Value noise over the plane in [0, 255], the lattice `cell` pixels apart.
int LandNoise2( int x, int y, int cell, uint32_t seed );

// A 4 x 4 ordered dither threshold in [0, 255]: neighbouring ramp entries mix without bands.
int LandDither( int x, int y );

#endif
