#ifndef KELTO_HOST_FRAMECONVERSION_H
#define KELTO_HOST_FRAMECONVERSION_H

// The 8-bit frame on its way to a true-colour screen, a desktop window or a browser canvas:
// each palette index becomes the 32-bit pixel its colour stands for, through a 256-entry
// lookup made once per palette.

#include "host/HostTypes.h"

// Where the red, green and blue bytes go in a 32-bit pixel, and the bits always set (alpha).
struct PixelLayout {
    int redShift;
    int greenShift;
    int blueShift;
    uint32_t opaqueBits;
};

// Fills `lookup` from `palette`; a null palette makes every index black.
void BuildPaletteLookup( const HostPaletteEntry *palette, const PixelLayout &layout, uint32_t lookup[256] );

// Converts `width` x `height` indices, rows `pitch` bytes apart, into 32-bit pixels whose
// rows are `destinationPitch` bytes apart.
void ConvertFrame( const uint8_t *pixels, int pitch, int width, int height, const uint32_t lookup[256],
                   void *destination, int destinationPitch );

// Where the processor has AVX-512 byte shuffles (VBMI) the conversion looks up 64 pixels at a
// time with them; tests and benchmarks turn that off (0) to try the plain loop on the same
// machine. On (1) by default.
void FrameConversionAllowByteShuffles( int allow );

#endif
