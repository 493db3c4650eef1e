#ifndef KELTO_GFX_IMAGEDRAWINGMATH_H
#define KELTO_GFX_IMAGEDRAWINGMATH_H

#include "gfx/Rect.h"

#include <cstdint>

// Arithmetic shared by the drawing operations of an Image. Coordinates and radii are plain
// ints, but the clipping of a line multiplies two coordinate differences (33 bits each) and
// the ellipse's terms reach rx * rx * ry (95 bits): they are formed exactly, in 128 bits, so
// that values near the int limits give the pixels small ones would, never wrapped ones.
typedef __int128 Exact;
// Sums of coordinates (the ends of a span, x + w - 1 of a blit) and pixel offsets.
typedef int64_t Wide;

inline int IsEmptyClip( const Rect &clip ) {
    return clip.right < clip.left || clip.bottom < clip.top;
}

inline int Fits32( Exact value ) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

inline Exact Larger( Exact a, Exact b ) {
    return a > b ? a : b;
}

inline Exact Smaller( Exact a, Exact b ) {
    return a < b ? a : b;
}

#endif
