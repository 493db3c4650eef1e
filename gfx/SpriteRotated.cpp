// Drawing a raw Sprite turned by a whole-degree angle, as a tank tilted to its slope: the
// picture's rows become line segments between its turned left and right edges, each walked
// with an error term while a 10-bit fraction spreads the row's bytes along it.

#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "host/HostBlit.h"

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

// One source row laid along a segment: the current destination position (as coordinates for
// the clip test and as an offset into the pixels), the steps along the major and minor axes,
// the error term's two lengths and the 10-bit fraction that spreads the row's bytes.
struct SegmentWalk {
    uint8_t *pixels;
    const uint8_t *source;
    int64_t width;
    int64_t x, y, offset;
    int64_t majorX, majorY, majorOffset;
    int64_t minorX, minorY, minorOffset;
    int64_t major, minor, n, step;
    int64_t left, top, right, bottom; // the clip rectangle
};

// A mirrored row is read from its last byte back to its first.
template <bool clipEachPixel, bool mirrored> void Walk( const SegmentWalk &walk ) {
    // Copied to locals: stores into the pixels could otherwise alias the walk's fields and force
    // them back to memory on every pixel.
    uint8_t *const pixels = walk.pixels;
    const uint8_t *const source = walk.source;
    const int64_t left = walk.left, top = walk.top, right = walk.right, bottom = walk.bottom;
    const int64_t major = walk.major, minor = walk.minor, step = walk.step, width = walk.width;
    int64_t x = walk.x, y = walk.y, offset = walk.offset;
    int64_t index = 0;
    int64_t error = 0;
    int64_t fraction = 0;
    auto plot = [&]() {
        const uint8_t value = source[mirrored ? width - 1 - index : index];
        if ( value != 0 && ( !clipEachPixel || ( x >= left && x <= right && y >= top && y <= bottom ) ) ) {
            pixels[offset] = value;
        }
    };
    for ( int64_t k = 0; k < walk.n; k++ ) {
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
            x += walk.minorX;
            y += walk.minorY;
            offset += walk.minorOffset;
        }
        plot();
        x += walk.majorX;
        y += walk.majorY;
        offset += walk.majorOffset;
        index++;
        fraction += step;
        if ( fraction >= 1024 ) {
            fraction -= 1024;
            index++;
        }
    }
}

// A level row (a tank on flat ground, the usual case) walks one byte to one pixel, left to
// right: the same pixels as the walk, a whole row at a time.
void DrawLevelRow( uint8_t *target, const uint8_t *source, int width, int mirrored ) {
    if ( !mirrored ) {
        HostBlitKeyed( target, width, source, width, width, 1, 0, 0 );
        return;
    }
    for ( int x = 0; x < width; x++ ) {
        const uint8_t value = source[width - 1 - x];
        if ( value != 0 ) {
            target[x] = value;
        }
    }
}

} // namespace

void Sprite::DrawRotated( Image &destination, int x, int y, int cx, int cy, int angle,
                          const TrigTable &trig ) const {
    DrawTurned( destination, x, y, cx, cy, angle, trig, 0 );
}

void Sprite::DrawRotatedMirrored( Image &destination, int x, int y, int cx, int cy, int angle,
                                  const TrigTable &trig ) const {
    DrawTurned( destination, x, y, cx, cy, angle, trig, 1 );
}

// A mirrored picture has the same turned box; only the bytes along each row come in the
// other order.
void Sprite::DrawTurned( Image &destination, int x, int y, int cx, int cy, int angle, const TrigTable &trig,
                         int mirrored ) const {
    if ( encoded || data == nullptr || width <= 0 || height <= 0 ) {
        return;
    }
    const int64_t cs = trig.Cosine( angle );
    const int64_t sn = trig.Sine( angle );
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
        const int leftX = static_cast<int>( topLeftX + ox ), leftY = static_cast<int>( topLeftY + oy );
        const int rightX = static_cast<int>( topRightX + ox ), rightY = static_cast<int>( topRightY + oy );
        DrawTurnedRow( destination, i, leftX, leftY, rightX, rightY, mirrored );
    }
}

void Sprite::DrawRotatedRow( Image &destination, int row, int x0, int y0, int x1, int y1 ) const {
    DrawTurnedRow( destination, row, x0, y0, x1, y1, 0 );
}

void Sprite::DrawTurnedRow( Image &destination, int row, int x0, int y0, int x1, int y1,
                            int mirrored ) const {
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

    SegmentWalk walk;
    walk.pixels = destination.GetPixels();
    walk.source = data + static_cast<std::ptrdiff_t>( row ) * width;
    walk.width = width;
    walk.x = x0;
    walk.y = y0;
    const int64_t pitch = destination.GetPitch();
    walk.offset = walk.y * pitch + walk.x;
    const bool xMajor = dx > dy;
    walk.major = xMajor ? dx : dy;
    walk.minor = xMajor ? dy : dx;
    walk.majorX = xMajor ? sx : 0;
    walk.majorY = xMajor ? 0 : sy;
    walk.minorX = xMajor ? 0 : sx;
    walk.minorY = xMajor ? sy : 0;
    walk.majorOffset = walk.majorY * pitch + walk.majorX;
    walk.minorOffset = walk.minorY * pitch + walk.minorX;
    walk.n = walk.major + 1;
    walk.step = ( ( static_cast<int64_t>( width ) - walk.n ) * 1024 ) / walk.n;
    walk.left = clip.left;
    walk.top = clip.top;
    walk.right = clip.right;
    walk.bottom = clip.bottom;

    // Every plotted pixel lies in the box spanned by the two ends, so a segment with both ends
    // inside the clip rectangle (the usual case) needs no test per pixel.
    const bool inside = clip.Contains( x0, y0 ) && clip.Contains( x1, y1 );
    if ( inside && walk.minor == 0 && walk.majorX == 1 && walk.n == walk.width ) {
        DrawLevelRow( walk.pixels + walk.offset, walk.source, width, mirrored );
        return;
    }
    if ( mirrored ) {
        inside ? Walk<false, true>( walk ) : Walk<true, true>( walk );
    } else {
        inside ? Walk<false, false>( walk ) : Walk<true, false>( walk );
    }
}
