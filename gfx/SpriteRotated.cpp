// Drawing a raw Sprite turned by a whole-degree angle, as a tank tilted to its slope: the
// picture's rows become line segments between its turned left and right edges, each walked
// with an error term while a 10-bit fraction spreads the row's bytes along it.

#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "gfx/TurnedPictures.h"
#include "host/HostBlit.h"

#include <algorithm>
#include <new>

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

// The corners of a picture turned about (cx, cy), its unturned top-left pixel at (x, y).
struct TurnedCorners {
    int64_t topLeftX, topLeftY, topRightX, topRightY, bottomLeftX, bottomLeftY, bottomRightX, bottomRightY;

    TurnedCorners( int x, int y, int cx, int cy, int width, int height, int angle, const TrigTable &trig ) {
        const int64_t cs = trig.Cosine( angle );
        const int64_t sn = trig.Sine( angle );
        const int64_t l = -static_cast<int64_t>( cx ), t = -static_cast<int64_t>( cy );
        const int64_t r = static_cast<int64_t>( width ) - 1 - cx, b = static_cast<int64_t>( height ) - 1 - cy;
        const int64_t centreX = static_cast<int64_t>( x ) + cx, centreY = static_cast<int64_t>( y ) + cy;
        topLeftX = centreX + ArithmeticShift8( cs * l + sn * t );
        topLeftY = centreY + ArithmeticShift8( -sn * l + cs * t );
        topRightX = centreX + ArithmeticShift8( cs * r + sn * t );
        topRightY = centreY + ArithmeticShift8( -sn * r + cs * t );
        bottomLeftX = centreX + ArithmeticShift8( cs * l + sn * b );
        bottomLeftY = centreY + ArithmeticShift8( -sn * l + cs * b );
        bottomRightX = topRightX + bottomLeftX - topLeftX;
        bottomRightY = topRightY + bottomLeftY - topLeftY;
    }

    bool AnyFarAway() const {
        return IsFarAway( topLeftX, topLeftY ) || IsFarAway( topRightX, topRightY ) ||
               IsFarAway( bottomLeftX, bottomLeftY ) || IsFarAway( bottomRightX, bottomRightY );
    }

    int64_t Least( int64_t a, int64_t b, int64_t c, int64_t d ) const {
        return std::min( std::min( a, b ), std::min( c, d ) );
    }
    int64_t Most( int64_t a, int64_t b, int64_t c, int64_t d ) const {
        return std::max( std::max( a, b ), std::max( c, d ) );
    }
    int64_t Left() const { return Least( topLeftX, topRightX, bottomLeftX, bottomRightX ); }
    int64_t Right() const { return Most( topLeftX, topRightX, bottomLeftX, bottomRightX ); }
    int64_t Top() const { return Least( topLeftY, topRightY, bottomLeftY, bottomRightY ); }
    int64_t Bottom() const { return Most( topLeftY, topRightY, bottomLeftY, bottomRightY ); }
};

// Pictures turned into a box larger than this are drawn row by row each time.
const int64_t kLargestKeptPicture = 128 * 128;

int keepTurnedPictures = 1;

} // namespace

void SpriteKeepTurnedPictures( int keep ) {
    keepTurnedPictures = keep;
}

void Sprite::DrawRotated( Image &destination, int x, int y, int cx, int cy, int angle,
                          const TrigTable &trig ) const {
    DrawTurned( destination, x, y, cx, cy, angle, trig, 0 );
}

void Sprite::DrawRotatedMirrored( Image &destination, int x, int y, int cx, int cy, int angle,
                                  const TrigTable &trig ) const {
    DrawTurned( destination, x, y, cx, cy, angle, trig, 1 );
}

// Every turned row lies in the box of the turned corners wherever the picture is drawn, and
// later rows cover earlier ones the same way, so the picture turned once into a box of its own
// and copied over its transparent 0s puts down the very pixels the rows would.
void Sprite::DrawTurned( Image &destination, int x, int y, int cx, int cy, int angle, const TrigTable &trig,
                         int mirrored ) const {
    if ( encoded || data == nullptr || width <= 0 || height <= 0 || destination.GetPixels() == nullptr ) {
        return;
    }
    if ( TurnedCorners( x, y, cx, cy, width, height, angle, trig ).AnyFarAway() ) {
        return;
    }
    TurnedPictures::Picture picture;
    if ( !TurnedPicture( cx, cy, angle, trig, mirrored, picture ) ) {
        DrawTurnedRows( destination, x, y, cx, cy, angle, trig, mirrored );
        return;
    }
    // The sums are corners of the turned box, which lie near the destination.
    DrawBlock( destination, static_cast<int>( static_cast<int64_t>( x ) + picture.offsetX ),
               static_cast<int>( static_cast<int64_t>( y ) + picture.offsetY ), picture.pixels, picture.width,
               picture.height );
}

// The picture turned, kept or made now; 0 when it is too large to keep or without memory.
int Sprite::TurnedPicture( int cx, int cy, int angle, const TrigTable &trig, int mirrored,
                           TurnedPictures::Picture &picture ) const {
    if ( !keepTurnedPictures ) {
        return 0;
    }
    const TurnedPictures::Turn turn = { angle,           mirrored,      cx, cy, trig.GetSteps(),
                                        trig.GetScale(), trig.IsReady() };
    if ( turned != nullptr && turned->Find( turn, picture ) ) {
        return 1;
    }
    const TurnedCorners corners( 0, 0, cx, cy, width, height, angle, trig );
    if ( corners.AnyFarAway() ) {
        return 0;
    }
    const int64_t boxWidth = corners.Right() - corners.Left() + 1;
    const int64_t boxHeight = corners.Bottom() - corners.Top() + 1;
    if ( boxWidth * boxHeight > kLargestKeptPicture ) {
        return 0;
    }
    if ( turned == nullptr ) {
        // Room for the picture turned any way by a table of unit scale; a larger box is drawn
        // row by row.
        const int64_t side = int64_t( width ) + height + 3;
        turned = new ( std::nothrow ) TurnedPictures;
        if ( turned != nullptr && !turned->Create( int( std::min( side * side, kLargestKeptPicture ) ) ) ) {
            delete turned;
            turned = nullptr;
        }
    }
    const int offsetX = int( corners.Left() ), offsetY = int( corners.Top() );
    uint8_t *pixels = turned != nullptr
                          ? turned->Make( turn, int( boxWidth ), int( boxHeight ), offsetX, offsetY )
                          : nullptr;
    if ( pixels == nullptr ) {
        return 0;
    }
    Image box;
    box.SetPixels( pixels );
    box.SetWidth( int( boxWidth ) );
    box.SetHeight( int( boxHeight ) );
    box.SetPitch( int( boxWidth ) );
    box.SetClipRect( 0, 0, int( boxWidth ) - 1, int( boxHeight ) - 1 );
    DrawTurnedRows( box, -offsetX, -offsetY, cx, cy, angle, trig, mirrored );
    return turned->Find( turn, picture );
}

// Rows are spread over the left edge by height, not height - 1, so the last row stops one step
// short of the bottom-left corner.
void Sprite::DrawTurnedRows( Image &destination, int x, int y, int cx, int cy, int angle,
                             const TrigTable &trig, int mirrored ) const {
    const TurnedCorners corners( x, y, cx, cy, width, height, angle, trig );
    const int64_t edgeX = corners.bottomLeftX - corners.topLeftX;
    const int64_t edgeY = corners.bottomLeftY - corners.topLeftY;
    for ( int i = 0; i < height; i++ ) {
        const int64_t ox = ( edgeX * i ) / height;
        const int64_t oy = ( edgeY * i ) / height;
        const int leftX = static_cast<int>( corners.topLeftX + ox ),
                  leftY = static_cast<int>( corners.topLeftY + oy );
        const int rightX = static_cast<int>( corners.topRightX + ox ),
                  rightY = static_cast<int>( corners.topRightY + oy );
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
