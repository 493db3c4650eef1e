#include "host/FrameConversion.h"

void BuildPaletteLookup( const HostPaletteEntry *palette, const PixelLayout &layout, uint32_t lookup[256] ) {
    for ( int index = 0; index < 256; ++index ) {
        uint32_t pixel = layout.opaqueBits;
        if ( palette ) {
            const HostPaletteEntry &entry = palette[index];
            pixel |= static_cast<uint32_t>( entry.red ) << layout.redShift;
            pixel |= static_cast<uint32_t>( entry.green ) << layout.greenShift;
            pixel |= static_cast<uint32_t>( entry.blue ) << layout.blueShift;
        }
        lookup[index] = pixel;
    }
}

void ConvertFrame( const uint8_t *pixels, int pitch, int width, int height, const uint32_t lookup[256],
                   void *destination, int destinationPitch ) {
    uint8_t *destinationRow = static_cast<uint8_t *>( destination );
    for ( int y = 0; y < height; ++y ) {
        const uint8_t *source = pixels + static_cast<ptrdiff_t>( y ) * pitch;
        uint32_t *target = reinterpret_cast<uint32_t *>( destinationRow );
        // Four at a time: the loop is bound by the lookups, and unrolling lets them overlap.
        int x = 0;
        for ( ; x + 4 <= width; x += 4 ) {
            target[x] = lookup[source[x]];
            target[x + 1] = lookup[source[x + 1]];
            target[x + 2] = lookup[source[x + 2]];
            target[x + 3] = lookup[source[x + 3]];
        }
        for ( ; x < width; ++x ) {
            target[x] = lookup[source[x]];
        }
        destinationRow += destinationPitch;
    }
}
