// Drawing a raw Sprite turned by a whole-degree angle, as a tank tilted to its slope: the
// picture's rows become line segments between its turned left and right edges, each walked
// with an error term while a 10-bit fraction spreads the row's bytes along it.

#include "game/TrigTable.h"
#include "gfx/Sprite.h"

#include <cstddef>
#include <cstdint>

namespace {

// Corners further out than this cannot come near any Image; dropping such a picture keeps the
// sums below from overflowing.
const int64_t kFarAway = INT32_MAX / 4;

int64_t ArithmeticShift8( int64_t value ) {
    // Toward minus infinity, as a right shift of a two's complement value.
    return value >= 0 ? value / 256 : -( ( -value + 255 ) / 256 );
}

bool IsFarAway( int64_t x, int64_t y ) {
    return x > kFarAway || x < -kFarAway || y > kFarAway || y < -kFarAway;
}

} // namespace

void Sprite::DrawRotated( Image &destination, int x, int y, int cx, int cy, int angle ) const {
    if ( encoded || data == nullptr || width <= 0 || height <= 0 ) {
        return;
    }
    const int64_t cs = g_trigTable.Cosine( angle );
    const int64_t sn = g_trigTable.Sine( angle );
    const int64_t l = -static_cast<int64_t>( cx ), t = -static_cast<int64_t>( cy );
    const int64_t r = static_cast<int64_t>( width ) - 1 - cx, b = static_cast<int64_t>( height ) - 1 - cy;
    const int64_t centreX = static_cast<int64_t>( x ) + cx, centreY = static_cast<int64_t>( y ) + cy;

    const int64_t topLeftX = centreX + ArithmeticShift8( cs * l + sn * t );
    const int64_t topLeftY = centreY + ArithmeticShift8( -sn * l + cs * t );
    const int64_t topRightX = centreX + ArithmeticShift8( cs * r + sn * t );
    const int64_t topRightY = centreY + ArithmeticShift8( -sn * r + cs * t );
    const int64_t bottomLeftX = centreX + ArithmeticShift8( cs * l + sn * b );
    const int64_t bottomLeftY = centreY + ArithmeticShift8( -sn * l + cs * b );
    const int64_t bottomRightX = topRightX + bottomLeftX - topLeftX;
    const int64_t bottomRightY = topRightY + bottomLeftY - topLeftY;
    if ( IsFarAway( topLeftX, topLeftY ) || IsFarAway( topRightX, topRightY ) ||
         IsFarAway( bottomLeftX, bottomLeftY ) || IsFarAway( bottomRightX, bottomRightY ) ) {
        return;
    }

    // Rows are spread over the left edge by height, not height - 1, so the last row stops one
    // step short of the bottom-left corner.
    const int64_t edgeX = bottomLeftX - topLeftX;
    const int64_t edgeY = bottomLeftY - topLeftY;
    for ( int i = 0; i < height; i++ ) {
        const int64_t ox = ( edgeX * i ) / height;
        const int64_t oy = ( edgeY * i ) / height;
        DrawRotatedRow( destination, i, static_cast<int>( topLeftX + ox ), static_cast<int>( topLeftY + oy ),
                        static_cast<int>( topRightX + ox ), static_cast<int>( topRightY + oy ) );
    }
}

void Sprite::DrawRotatedRow( Image &destination, int row, int x0, int y0, int x1, int y1 ) const {
    if ( encoded || data == nullptr || row < 0 || row >= height || destination.GetPixels() == nullptr ) {
        return;
    }
    Rect clip = destination.GetClipRect();
    clip.Intersect( destination.GetBounds() );
    const int64_t clipLeft = clip.left, clipTop = clip.top, clipRight = clip.right, clipBottom = clip.bottom;
    if ( clipRight < clipLeft || clipBottom < clipTop ) {
        return;
    }
    if ( ( x0 < clipLeft && x1 < clipLeft ) || ( x0 > clipRight && x1 > clipRight ) ||
         ( y0 < clipTop && y1 < clipTop ) || ( y0 > clipBottom && y1 > clipBottom ) ) {
        return;
    }

    int64_t dx = static_cast<int64_t>( x1 ) - x0;
    int64_t dy = static_cast<int64_t>( y1 ) - y0;
    const int64_t sx = dx < 0 ? -1 : 1;
    const int64_t sy = dy < 0 ? -1 : 1;
    dx = dx < 0 ? -dx : dx;
    dy = dy < 0 ? -dy : dy;

    const bool xMajor = dx > dy;
    const int64_t major = xMajor ? dx : dy;
    const int64_t minor = xMajor ? dy : dx;
    const int64_t n = major + 1;
    const int64_t step = ( ( static_cast<int64_t>( width ) - n ) * 1024 ) / n;

    uint8_t *pixels = destination.GetPixels();
    const int64_t pitch = destination.GetPitch();
    const uint8_t *const source = data + static_cast<std::ptrdiff_t>( row ) * width;
    int64_t index = 0;
    int64_t px = x0, py = y0;
    int64_t error = 0;
    int64_t fraction = 0;

    auto plot = [&]() {
        const uint8_t value = source[index];
        if ( value != 0 && px >= clipLeft && px <= clipRight && py >= clipTop && py <= clipBottom ) {
            pixels[py * pitch + px] = value;
        }
    };

    for ( int64_t k = 0; k < n; k++ ) {
        // A row squeezed onto its segment never runs out of bytes; this only guards against a
        // segment longer than the row.
        if ( index >= width ) {
            break;
        }
        error += minor;
        if ( error > major ) {
            // The byte is plotted on both sides of a minor step so that neighbouring pixels always
            // share an edge and no gaps open between turned rows.
            error -= major;
            plot();
            if ( xMajor ) {
                py += sy;
            } else {
                px += sx;
            }
        }
        plot();
        if ( xMajor ) {
            px += sx;
        } else {
            py += sy;
        }
        index++;
        fraction += step;
        if ( fraction >= 1024 ) {
            fraction -= 1024;
            index++;
        }
    }
}
