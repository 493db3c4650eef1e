#ifndef KELTO_HOST_FRAMECHANGES_H
#define KELTO_HOST_FRAMECHANGES_H

// What changed in the frame since the last one shown: with a still camera only the tanks'
// probe pixels and whatever moves differ, so only those pieces need converting and drawing.

#include "host/HostTypes.h"

// Rows [top, bottom) and columns [left, right) of the frame.
struct FrameSpan {
    int top;
    int bottom;
    int left;
    int right;
};

// Compares the frame (`pitch` bytes a row) with `shown` (packed rows, the last frame shown)
// and brings `shown` up to date. Each run of changed rows becomes one span, as wide as its
// changed columns. Returns the number of spans, or -1 when there are more than `maxSpans`
// (then the whole frame counts as changed).
int FindFrameChanges( const uint8_t *pixels, int pitch, uint8_t *shown, int width, int height,
                      FrameSpan *spans, int maxSpans );

#endif
