#include "host/FrameChanges.h"

#include <cstring>

int FindFrameChanges( const uint8_t *pixels, int pitch, uint8_t *shown, int width, int height,
                      FrameSpan *spans, int maxSpans ) {
    int count = 0;
    FrameSpan *open = nullptr; // the span of the run of changed rows going on, if any
    for ( int y = 0; y < height; ++y ) {
        const uint8_t *row = pixels + static_cast<size_t>( y ) * pitch;
        uint8_t *old = shown + static_cast<size_t>( y ) * width;
        if ( std::memcmp( row, old, width ) == 0 ) {
            open = nullptr;
            continue;
        }
        int left = 0;
        while ( row[left] == old[left] ) {
            ++left;
        }
        int right = width;
        while ( row[right - 1] == old[right - 1] ) {
            --right;
        }
        std::memcpy( old + left, row + left, right - left );
        if ( open != nullptr ) {
            open->bottom = y + 1;
            open->left = left < open->left ? left : open->left;
            open->right = right > open->right ? right : open->right;
            continue;
        }
        if ( count == maxSpans ) {
            // Too scattered to be worth drawing piece by piece: take the rest as it is.
            for ( int rest = y + 1; rest < height; ++rest ) {
                std::memcpy( shown + static_cast<size_t>( rest ) * width,
                             pixels + static_cast<size_t>( rest ) * pitch, width );
            }
            return -1;
        }
        open = &spans[count++];
        *open = FrameSpan{ y, y + 1, left, right };
    }
    return count;
}
