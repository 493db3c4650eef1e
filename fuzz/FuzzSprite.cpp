// Fuzzes the Sprite: a small picture and a region come from the input, the Sprite is built raw
// and encoded (and converted each way), and then drawn plainly and turned at fuzzed places,
// angles and clip rectangles into Images with a guard band. Raw and encoded drawing must give
// the same pixels, exactly the picture's opaque pixels inside the clip; the encoding must be
// the documented one; turned drawing must stay inside the clip and draw only opaque bytes.

#include "fuzz/FuzzSupport.h"

#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

enum SpriteOp { OP_DRAW, OP_ROTATE, OP_ROTATE_ABOUT_MIDDLE, OP_SET_CLIP, OP_COUNT };

const int MAX_OPS = 24;

// The game's table: 360 steps to the turn, 256 for 1.0.
const TrigTable kTrig( 360, 256 );

// The region of the picture the Sprite holds, cut to the picture.
struct Region {
    int left, top, width, height;
};

uint8_t SourcePixel( const Image &source, const Region &region, int u, int v ) {
    return source.GetPixels()[( region.top + v ) * source.GetPitch() + region.left + u];
}

void PutCount( std::vector<uint8_t> &out, int count ) {
    out.push_back( uint8_t( count ) );
    out.push_back( uint8_t( count >> 8 ) );
}

// The run-length form, written the plain way: per row, a skip count, then (unless the row has
// ended) a run count and the run's pixels, until the row's width is used up.
std::vector<uint8_t> ReferenceEncoding( const Image &source, const Region &region ) {
    std::vector<uint8_t> out;
    for ( int v = 0; v < region.height; v++ ) {
        int u = 0;
        while ( u < region.width ) {
            int skip = 0;
            while ( u + skip < region.width && SourcePixel( source, region, u + skip, v ) == 0 ) {
                skip++;
            }
            PutCount( out, skip );
            u += skip;
            int run = 0;
            while ( u + run < region.width && SourcePixel( source, region, u + run, v ) != 0 ) {
                run++;
            }
            if ( run > 0 ) {
                PutCount( out, run );
                for ( int i = 0; i < run; i++ ) {
                    out.push_back( SourcePixel( source, region, u + i, v ) );
                }
            }
            u += run;
        }
    }
    return out;
}

std::vector<uint8_t> Bytes( const Sprite &sprite ) {
    if ( sprite.GetData() == nullptr ) {
        return std::vector<uint8_t>();
    }
    return std::vector<uint8_t>( sprite.GetData(), sprite.GetData() + sprite.GetDataSize() );
}

void CheckBuiltAlike( const Sprite &raw, const Sprite &encoded, const Image &source, const Region &region ) {
    FUZZ_CHECK( raw.GetWidth() == region.width && raw.GetHeight() == region.height,
                "raw Sprite is %d x %d, region %d x %d", raw.GetWidth(), raw.GetHeight(), region.width,
                region.height );
    FUZZ_CHECK( encoded.GetWidth() == region.width && encoded.GetHeight() == region.height,
                "encoded Sprite is %d x %d, region %d x %d", encoded.GetWidth(), encoded.GetHeight(),
                region.width, region.height );
    std::vector<uint8_t> rawWanted;
    for ( int v = 0; v < region.height; v++ ) {
        for ( int u = 0; u < region.width; u++ ) {
            rawWanted.push_back( SourcePixel( source, region, u, v ) );
        }
    }
    FUZZ_CHECK( Bytes( raw ) == rawWanted, "raw Sprite data differ from the region's pixels" );
    FUZZ_CHECK( Bytes( encoded ) == ReferenceEncoding( source, region ),
                "encoded Sprite data (%d bytes) differ from the run-length form of the region",
                encoded.GetDataSize() );
}

// Builds one Sprite of each form, both directly and through the conversions, and checks them
// against the picture. Returns 1 when the Sprites hold pixels.
int BuildAndCheck( const Image &source, const Rect &regionRect, Sprite &raw, Sprite &encoded ) {
    int rawResult = raw.Build( source, regionRect, 0 );
    int encodedResult = encoded.Build( source, regionRect, 1 );
    FUZZ_CHECK( rawResult == encodedResult, "raw Build gave %d, encoded Build %d", rawResult, encodedResult );
    FUZZ_CHECK( raw.Build( source, regionRect, 0 ) == 0 || rawResult == 0, "a built Sprite was built again" );
    if ( rawResult == 0 ) {
        return 0;
    }
    Rect cut = regionRect;
    cut.Intersect( source.GetBounds() );
    Region region = { cut.left, cut.top, cut.right - cut.left + 1, cut.bottom - cut.top + 1 };
    if ( region.width <= 0 || region.height <= 0 ) {
        return 1;
    }
    CheckBuiltAlike( raw, encoded, source, region );

    Sprite toEncoded, toRaw;
    toEncoded.Build( source, regionRect, 0 );
    toRaw.Build( source, regionRect, 1 );
    FUZZ_CHECK( toEncoded.ConvertToEncoded() == 1 && toRaw.ConvertToRaw() == 1, "a conversion failed" );
    FUZZ_CHECK( toEncoded.ConvertToEncoded() == 0 && toRaw.ConvertToRaw() == 0,
                "a conversion was done twice" );
    FUZZ_CHECK( toEncoded.GetEncoded() == 1 && toRaw.GetEncoded() == 0, "a conversion kept the old form" );
    CheckBuiltAlike( toRaw, toEncoded, source, region );
    return 1;
}

void ReadClip( FuzzReader &in, GuardedImage &first, GuardedImage &second ) {
    int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
    first.image.SetClipRect( x1, y1, x2, y2 );
    second.image.SetClipRect( x1, y1, x2, y2 );
}

// Raw and encoded drawing at the same place give the same pixels: the Sprite's opaque pixels
// where they fall inside the clip rectangle, nothing else.
void DrawBoth( FuzzReader &in, const Sprite &raw, const Sprite &encoded, GuardedImage &rawTarget,
               GuardedImage &encodedTarget ) {
    int x = in.Coordinate(), y = in.Coordinate();
    rawTarget.Snapshot();
    encodedTarget.Snapshot();
    raw.Draw( rawTarget.image, x, y );
    encoded.Draw( encodedTarget.image, x, y );
    const uint8_t *data = raw.GetData();
    int width = raw.GetWidth(), height = raw.GetHeight();
    CheckPixels( rawTarget, "Draw (raw)", [&]( int px, int py ) {
        int64_t u = int64_t( px ) - x, v = int64_t( py ) - y;
        if ( data == nullptr || u < 0 || u >= width || v < 0 || v >= height ) {
            return -1;
        }
        uint8_t pixel = data[v * width + u];
        return pixel == 0 ? -1 : int( pixel );
    } );
    encodedTarget.CheckOnlyClipChanged( "Draw (encoded)" );
    FUZZ_CHECK( rawTarget.GetBlock() == encodedTarget.GetBlock(),
                "raw and encoded drawing at (%d, %d) differ", x, y );
}

// Turned drawing done the plain way, in 64 bits: the three turned corners, then every source
// row stepped along its segment with an error term and a 10-bit source fraction, each pixel
// plotted when opaque and inside the clip rectangle (a step of the minor axis plots twice).
class ReferenceTurn {
public:
    ReferenceTurn( const Sprite &sprite, GuardedImage &target ) : sprite( sprite ), target( target ) {}

    void Draw( int x, int y, int cx, int cy, int angle ) {
        int64_t width = sprite.GetWidth(), height = sprite.GetHeight();
        if ( sprite.GetEncoded() || sprite.GetData() == nullptr || width <= 0 || height <= 0 ) {
            return;
        }
        int64_t cs = kTrig.Cosine( angle ), sn = kTrig.Sine( angle );
        int64_t l = -int64_t( cx ), t = -int64_t( cy ), r = width - 1 - cx, b = height - 1 - cy;
        int64_t centreX = int64_t( x ) + cx, centreY = int64_t( y ) + cy;
        int64_t topLeftX = centreX + Shift( cs * l + sn * t ), topLeftY = centreY + Shift( -sn * l + cs * t );
        int64_t topRightX = centreX + Shift( cs * r + sn * t ),
                topRightY = centreY + Shift( -sn * r + cs * t );
        int64_t bottomLeftX = centreX + Shift( cs * l + sn * b ),
                bottomLeftY = centreY + Shift( -sn * l + cs * b );
        int64_t edgeX = bottomLeftX - topLeftX, edgeY = bottomLeftY - topLeftY;
        for ( int64_t i = 0; i < height; i++ ) {
            int64_t ox = edgeX * i / height, oy = edgeY * i / height;
            Row( i, topLeftX + ox, topLeftY + oy, topRightX + ox, topRightY + oy );
        }
    }

private:
    static int64_t Shift( int64_t value ) { return value >= 0 ? value / 256 : -( ( -value + 255 ) / 256 ); }

    void Row( int64_t row, int64_t x0, int64_t y0, int64_t x1, int64_t y1 ) {
        int64_t width = sprite.GetWidth();
        int64_t dx = x1 - x0, dy = y1 - y0;
        int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
        int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
        int xMajor = adx > ady;
        int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
        int64_t n = major + 1, step = ( width - n ) * 1024 / n;
        int64_t px = x0, py = y0, source = row * width, error = 0, fraction = 0;
        for ( int64_t k = 0; k < n; k++ ) {
            error += minor;
            if ( error > major ) {
                error -= major;
                Plot( px, py, source, row );
                ( xMajor ? py : px ) += xMajor ? sy : sx;
            }
            Plot( px, py, source, row );
            ( xMajor ? px : py ) += xMajor ? sx : sy;
            source++;
            fraction += step;
            if ( fraction >= 1024 ) {
                fraction -= 1024;
                source++;
            }
        }
    }

    void Plot( int64_t px, int64_t py, int64_t source, int64_t row ) {
        const Rect &clip = target.image.GetClipRect();
        if ( px < clip.left || px > clip.right || py < clip.top || py > clip.bottom ) {
            return;
        }
        FUZZ_CHECK( source < ( row + 1 ) * sprite.GetWidth(), "a turned row ran past its source row" );
        uint8_t pixel = sprite.GetData()[source];
        if ( pixel != 0 ) {
            target.Origin()[py * target.pitch + px] = pixel;
        }
    }

    const Sprite &sprite;
    GuardedImage &target;
};

// Turned drawing gives exactly the plainly computed picture, writes only inside the clip
// rectangle, and inside the clip exactly what it writes with no clipping at all.
void DrawTurned( FuzzReader &in, const Sprite &sprite, GuardedImage &target, int aboutMiddle ) {
    int x = in.Coordinate(), y = in.Coordinate();
    int cx = sprite.GetWidth() >> 1, cy = sprite.GetHeight() >> 1;
    if ( !aboutMiddle ) {
        cx = in.Small( -64, 191 );
        cy = in.Small( -64, 191 );
    }
    int angle = in.Coordinate();
    int extraPitch = target.pitch - target.width - 2 * GuardedImage::GUARD;
    GuardedImage whole( target.width, target.height, extraPitch );
    GuardedImage reference( target.width, target.height, extraPitch );
    whole.CopyFrom( target );
    reference.CopyFrom( target );
    reference.image.SetClipRect( target.image.GetClipRect() );
    target.Snapshot();
    sprite.DrawRotated( target.image, x, y, cx, cy, angle, kTrig );
    sprite.DrawRotated( whole.image, x, y, cx, cy, angle, kTrig );
    CheckClippedLikeWhole( target, whole, "DrawRotated" );
    ReferenceTurn( sprite, reference ).Draw( x, y, cx, cy, angle );
    FUZZ_CHECK( target.GetBlock() == reference.GetBlock(),
                "DrawRotated at (%d, %d) about (%d, %d) by %d degrees differs from the stepped rows", x, y,
                cx, cy, angle );
}

void WriteSeeds( const char *directory );

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    if ( const char *directory = FuzzSeedDirectory( *argc, *argv ) ) {
        WriteSeeds( directory );
        std::exit( 0 );
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    FuzzReader in( data, size );
    int pictureWidth = in.Small( 1, 24 ), pictureHeight = in.Small( 1, 24 );
    int transparentBelow = in.Byte();
    Image source( pictureWidth, pictureHeight );
    for ( int y = 0; y < pictureHeight; y++ ) {
        for ( int x = 0; x < pictureWidth; x++ ) {
            uint8_t value = in.Byte();
            source.GetPixels()[y * source.GetPitch() + x] = value < transparentBelow ? 0 : value;
        }
    }
    int x1 = in.Coordinate(), y1 = in.Coordinate(), x2 = in.Coordinate(), y2 = in.Coordinate();
    Rect region( x1, y1, x2, y2 );
    int width = in.Small( 0, 48 ), height = in.Small( 0, 48 ), extraPitch = in.Small( 0, 7 );

    Sprite raw, encoded;
    BuildAndCheck( source, region, raw, encoded );
    GuardedImage rawTarget( width, height, extraPitch ), encodedTarget( width, height, extraPitch );
    for ( int i = 0; i < MAX_OPS && in.Remaining() > 0; i++ ) {
        int op = in.Byte() % OP_COUNT;
        if ( op == OP_DRAW ) {
            DrawBoth( in, raw, encoded, rawTarget, encodedTarget );
        } else if ( op == OP_SET_CLIP ) {
            ReadClip( in, rawTarget, encodedTarget );
        } else {
            DrawTurned( in, raw, rawTarget, op == OP_ROTATE_ABOUT_MIDDLE );
            // Turning is meant for raw Sprites; an encoded one must at least stay in bounds.
            encodedTarget.Snapshot();
            encoded.DrawRotated( encodedTarget.image, 0, 0, 0, 0, 0, kTrig );
            encodedTarget.CheckOnlyClipChanged( "DrawRotated (encoded Sprite)" );
            encodedTarget.CopyFrom( rawTarget );
        }
    }
    return 0;
}

namespace {

// Seeds: a tank-like picture with transparent corners and a small round bomb, drawn across
// each edge of the clip, turned about the middle at the tank's angles, and at the int limits.
void WritePicture( FuzzWriter &w, int width, int height, uint8_t ( *pixel )( int x, int y ) ) {
    w.Small( 1, width );
    w.Small( 1, height );
    w.Byte( 1 ); // only 0 is transparent
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            w.Byte( pixel( x, y ) );
        }
    }
}

uint8_t TankPixel( int x, int y ) {
    bool corner = ( y < 2 && ( x < 3 || x > 12 ) ) || ( y == 7 && ( x == 0 || x == 15 ) );
    return corner ? 0 : uint8_t( 32 + x + 16 * ( y % 3 ) );
}

uint8_t BombPixel( int x, int y ) {
    int dx = x - 2, dy = y - 2;
    return dx * dx + dy * dy <= 4 ? uint8_t( 200 + x ) : 0;
}

void WriteRegionAndTarget( FuzzWriter &w, int right, int bottom ) {
    w.Near( 0 ), w.Near( 0 ), w.Near( right ), w.Near( bottom );
    w.Small( 0, 40 ), w.Small( 0, 30 ), w.Small( 0, 3 );
}

void WriteSeeds( const char *directory ) {
    FuzzWriter edges;
    WritePicture( edges, 16, 8, TankPixel );
    WriteRegionAndTarget( edges, 15, 7 );
    edges.Byte( OP_SET_CLIP ), edges.Near( 5 ), edges.Near( 4 ), edges.Near( 30 ), edges.Near( 20 );
    const int places[][2] = { { 2, 10 }, { 25, 10 }, { 12, 0 }, { 12, 17 }, { -20, 5 }, { 31, 21 } };
    for ( const auto &place : places ) {
        edges.Byte( OP_DRAW ), edges.Near( place[0] ), edges.Near( place[1] );
    }
    FuzzWriteSeed( directory, "tank-edges", edges.bytes );

    FuzzWriter turned;
    WritePicture( turned, 16, 8, TankPixel );
    WriteRegionAndTarget( turned, 15, 7 );
    const int angles[] = { 0, 45, 90, -30, 180, 359 };
    for ( int angle : angles ) {
        turned.Byte( OP_ROTATE_ABOUT_MIDDLE ), turned.Near( 10 ), turned.Near( 8 ),
            turned.Near( angle % 128 );
    }
    turned.Byte( OP_ROTATE ), turned.Near( -3 ), turned.Near( 20 ), turned.Small( -64, 0 ),
        turned.Small( -64, 4 ), turned.Near( 120 );
    FuzzWriteSeed( directory, "tank-turned", turned.bytes );

    FuzzWriter bomb;
    WritePicture( bomb, 5, 5, BombPixel );
    WriteRegionAndTarget( bomb, 9, 9 ); // larger than the picture: cut down to it
    bomb.Byte( OP_DRAW ), bomb.Near( -2 ), bomb.Near( -2 );
    bomb.Byte( OP_DRAW ), bomb.Near( 38 ), bomb.Near( 28 );
    bomb.Byte( OP_DRAW ), bomb.High( 1 ), bomb.Near( 3 );
    bomb.Byte( OP_DRAW ), bomb.Low( 1 ), bomb.Low( 1 );
    bomb.Byte( OP_ROTATE_ABOUT_MIDDLE ), bomb.High( 0 ), bomb.Low( 0 ), bomb.Any( INT32_MIN );
    FuzzWriteSeed( directory, "bomb-limits", bomb.bytes );
}

} // namespace
