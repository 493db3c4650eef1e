// Makes the game's four pictures: background.bmp, land.bmp, tank.bmp and bomb.bmp.
//
// Usage: make_assets [output directory]   (default "assets")
//
// Everything is drawn from fixed seeds with our own hash noise, so every run writes the same bytes.
// All four files carry the same 256-entry colour table; the game installs the background's table as
// the display palette, so the land, tank and bomb must use it too.
//
// Palette layout (index: use):
//     0        black; empty land (shows the background) and the sprites' transparent colour.
//              Never a visible land colour.
//     1 -  14  grey ramp, dark to light (tank wheels)
//    15        white: the tank's barrel line
//    16 -  47  sky, deep blue at the top to a pale horizon
//    48 -  63  clouds and distant snow, pale blue to white
//    64 -  79  far mountains, hazy blue-violet, dark to light
//    80 -  95  near hills, hazy blue-green, dark to light
//    96 - 111  grass, dark to bright green
//   112 - 143  earth, dark to light brown
//   144 - 175  rock, dark to light warm grey
//   176 - 191  tank hull, dark to light olive
//   192 - 199  tank tracks, near black to dark grey-brown
//   200 - 215  bomb shell, near black through steel to the highlight
//   216 - 231  flame, dark red through orange to yellow (spare, for explosions)
//   232 - 247  moss on cave floors and under overhangs, dark to light
//   248 - 255  blue-grey ramp (spare)

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------------
// Palette

struct Rgb {
    int r;
    int g;
    int b;
};

using Palette = std::array<Rgb, 256>;

// A run of palette entries that shade one material from dark (first) to light (first + count - 1).
struct Ramp {
    int first;
    int count;
};

constexpr double kPi = 3.14159265358979323846;

constexpr int kEmpty = 0;
constexpr int kWhite = 15;
constexpr Ramp kGrey{ 1, 14 };
constexpr Ramp kSky{ 16, 32 };
constexpr Ramp kCloud{ 48, 16 };
constexpr Ramp kFarHills{ 64, 16 };
constexpr Ramp kNearHills{ 80, 16 };
constexpr Ramp kGrass{ 96, 16 };
constexpr Ramp kEarth{ 112, 32 };
constexpr Ramp kRock{ 144, 32 };
constexpr Ramp kHull{ 176, 16 };
constexpr Ramp kTrack{ 192, 8 };
constexpr Ramp kShell{ 200, 16 };
constexpr Ramp kFlame{ 216, 16 };
constexpr Ramp kMoss{ 232, 16 };
constexpr Ramp kSpare{ 248, 8 };

Rgb Mix( Rgb a, Rgb b, double t ) {
    auto lerp = [t]( int p, int q ) { return static_cast<int>( std::lround( p + ( q - p ) * t ) ); };
    return { lerp( a.r, b.r ), lerp( a.g, b.g ), lerp( a.b, b.b ) };
}

// Spreads the ramp's entries evenly along a path through the given key colours.
void FillRamp( Palette &palette, Ramp ramp, const std::vector<Rgb> &keys ) {
    const int segments = static_cast<int>( keys.size() ) - 1;
    for ( int i = 0; i < ramp.count; ++i ) {
        const double pos = ramp.count > 1 ? double( i ) * segments / ( ramp.count - 1 ) : 0.0;
        const int segment = std::min( static_cast<int>( pos ), segments - 1 );
        palette[ramp.first + i] = Mix( keys[segment], keys[segment + 1], pos - segment );
    }
}

Palette MakePalette() {
    Palette palette{};
    palette[kEmpty] = { 0, 0, 0 };
    palette[kWhite] = { 255, 255, 255 };
    FillRamp( palette, kGrey, { { 24, 24, 26 }, { 225, 225, 230 } } );
    FillRamp( palette, kSky, { { 30, 56, 128 }, { 64, 112, 196 }, { 132, 176, 226 }, { 214, 230, 242 } } );
    FillRamp( palette, kCloud, { { 160, 186, 222 }, { 222, 232, 244 }, { 252, 252, 255 } } );
    FillRamp( palette, kFarHills, { { 72, 82, 132 }, { 120, 134, 180 }, { 184, 196, 226 } } );
    FillRamp( palette, kNearHills, { { 32, 62, 54 }, { 78, 114, 98 }, { 152, 180, 176 } } );
    FillRamp( palette, kGrass, { { 26, 62, 18 }, { 62, 124, 34 }, { 150, 204, 72 } } );
    FillRamp( palette, kEarth, { { 52, 32, 20 }, { 112, 74, 44 }, { 182, 136, 86 } } );
    FillRamp( palette, kRock, { { 38, 36, 38 }, { 96, 90, 86 }, { 176, 170, 158 } } );
    FillRamp( palette, kHull, { { 30, 38, 16 }, { 92, 104, 46 }, { 184, 194, 116 } } );
    FillRamp( palette, kTrack, { { 16, 16, 14 }, { 104, 98, 88 } } );
    FillRamp( palette, kShell, { { 14, 14, 18 }, { 70, 72, 82 }, { 150, 152, 162 }, { 244, 244, 236 } } );
    FillRamp( palette, kFlame, { { 96, 12, 6 }, { 214, 80, 16 }, { 255, 200, 60 }, { 255, 250, 200 } } );
    FillRamp( palette, kMoss, { { 22, 34, 16 }, { 56, 78, 30 }, { 112, 132, 58 } } );
    FillRamp( palette, kSpare, { { 40, 46, 62 }, { 150, 160, 184 } } );
    return palette;
}

// ---------------------------------------------------------------------------------------------
// Pictures, dithering and noise

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // top row first, one palette index per byte

    Picture( int w, int h ) : width( w ), height( h ), pixels( std::size_t( w ) * h, kEmpty ) {}
    std::uint8_t &At( int x, int y ) { return pixels[std::size_t( y ) * width + x]; }
    std::uint8_t At( int x, int y ) const { return pixels[std::size_t( y ) * width + x]; }
};

double Clamp01( double v ) {
    return std::min( 1.0, std::max( 0.0, v ) );
}

double SmoothStep( double edge0, double edge1, double v ) {
    const double t = Clamp01( ( v - edge0 ) / ( edge1 - edge0 ) );
    return t * t * ( 3.0 - 2.0 * t );
}

// 4 x 4 ordered dither thresholds in [0, 1): neighbouring ramp entries blend without banding.
double Bayer( int x, int y ) {
    static const int matrix[4][4] = { { 0, 8, 2, 10 }, { 12, 4, 14, 6 }, { 3, 11, 1, 9 }, { 15, 7, 13, 5 } };
    return ( matrix[y & 3][x & 3] + 0.5 ) / 16.0;
}

// The ramp entry for a shade in [0, 1], dithered between the two nearest entries.
std::uint8_t Shade( Ramp ramp, double shade, int x, int y ) {
    const double pos = Clamp01( shade ) * ( ramp.count - 1 );
    const int step = std::min( static_cast<int>( pos + Bayer( x, y ) ), ramp.count - 1 );
    return static_cast<std::uint8_t>( ramp.first + step );
}

std::uint32_t Hash( int x, int y, std::uint32_t seed ) {
    std::uint32_t h = seed ^ ( std::uint32_t( x ) * 0x9E3779B1u ) ^ ( std::uint32_t( y ) * 0x85EBCA77u );
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// White noise in [0, 1).
double Random01( int x, int y, std::uint32_t seed ) {
    return ( Hash( x, y, seed ) >> 8 ) / 16777216.0;
}

// Smoothly interpolated lattice noise in [0, 1).
double ValueNoise( double x, double y, std::uint32_t seed ) {
    const double fx = std::floor( x );
    const double fy = std::floor( y );
    const int ix = static_cast<int>( fx );
    const int iy = static_cast<int>( fy );
    const double tx = SmoothStep( 0.0, 1.0, x - fx );
    const double ty = SmoothStep( 0.0, 1.0, y - fy );
    const double top =
        Random01( ix, iy, seed ) + ( Random01( ix + 1, iy, seed ) - Random01( ix, iy, seed ) ) * tx;
    const double bottom = Random01( ix, iy + 1, seed ) +
                          ( Random01( ix + 1, iy + 1, seed ) - Random01( ix, iy + 1, seed ) ) * tx;
    return top + ( bottom - top ) * ty;
}

// Octaves of value noise, each half as strong and twice as fine; result in [0, 1).
double Fbm( double x, double y, std::uint32_t seed, int octaves ) {
    double sum = 0.0;
    double amplitude = 1.0;
    double total = 0.0;
    for ( int i = 0; i < octaves; ++i ) {
        sum += ValueNoise( x, y, seed + 977u * i ) * amplitude;
        total += amplitude;
        amplitude *= 0.5;
        x *= 2.0;
        y *= 2.0;
    }
    return sum / total;
}

// Sharp crests where the noise crosses its middle: mountain ridges and rock cracks.
double Ridged( double x, double y, std::uint32_t seed, int octaves ) {
    return 1.0 - std::fabs( Fbm( x, y, seed, octaves ) * 2.0 - 1.0 );
}

// ---------------------------------------------------------------------------------------------
// BMP writing: 8 bits per pixel, uncompressed, bottom row first, full colour table.

void PutU16( std::vector<std::uint8_t> &out, unsigned v ) {
    out.push_back( v & 0xFF );
    out.push_back( ( v >> 8 ) & 0xFF );
}

void PutU32( std::vector<std::uint8_t> &out, std::uint32_t v ) {
    PutU16( out, v & 0xFFFF );
    PutU16( out, v >> 16 );
}

std::vector<std::uint8_t> EncodeBmp( const Picture &picture, const Palette &palette ) {
    const std::uint32_t stride = ( picture.width + 3 ) & ~3u;
    const std::uint32_t dataOffset = 14 + 40 + 256 * 4;
    const std::uint32_t imageSize = stride * picture.height;
    std::vector<std::uint8_t> out;
    out.reserve( dataOffset + imageSize );
    // BITMAPFILEHEADER
    PutU16( out, 0x4D42 );
    PutU32( out, dataOffset + imageSize );
    PutU16( out, 0 );
    PutU16( out, 0 );
    PutU32( out, dataOffset );
    // BITMAPINFOHEADER
    PutU32( out, 40 );
    PutU32( out, picture.width );
    PutU32( out, picture.height );
    PutU16( out, 1 );
    PutU16( out, 8 );
    PutU32( out, 0 );
    PutU32( out, imageSize );
    PutU32( out, 2835 ); // 72 dots per inch
    PutU32( out, 2835 );
    PutU32( out, 256 );
    PutU32( out, 256 );
    for ( const Rgb &c : palette ) {
        out.push_back( static_cast<std::uint8_t>( c.b ) );
        out.push_back( static_cast<std::uint8_t>( c.g ) );
        out.push_back( static_cast<std::uint8_t>( c.r ) );
        out.push_back( 0 );
    }
    for ( int y = picture.height - 1; y >= 0; --y ) {
        const std::uint8_t *row = &picture.pixels[std::size_t( y ) * picture.width];
        out.insert( out.end(), row, row + picture.width );
        out.insert( out.end(), stride - picture.width, 0 );
    }
    return out;
}

bool WriteBmp( const std::string &path, const Picture &picture, const Palette &palette ) {
    const std::vector<std::uint8_t> bytes = EncodeBmp( picture, palette );
    std::FILE *file = std::fopen( path.c_str(), "wb" );
    if ( !file ) {
        return false;
    }
    const bool written = std::fwrite( bytes.data(), 1, bytes.size(), file ) == bytes.size();
    return std::fclose( file ) == 0 && written;
}

// ---------------------------------------------------------------------------------------------
// Background: sky, clouds, far mountains and near hills, 960 x 720 so that it scrolls at half the
// land's speed behind the 1280 x 960 land on a 640 x 480 screen.

constexpr int kBackgroundWidth = 960;
constexpr int kBackgroundHeight = 720;
constexpr int kHorizonY = 520;

// The mountain crest. Few octaves give the big peaks' shape, more give the jagged line itself.
double FarRidgeY( double x, int octaves ) {
    const double peaks = Ridged( x / 260.0, 3.5, 101u, octaves );
    return 485.0 - 270.0 * std::pow( peaks, 2.2 ) - 25.0 * std::sin( x / 140.0 );
}

// Rolling wooded hills: a broad swell with small rounded treetops along the crest.
double NearRidgeY( int x ) {
    const double treetops = 7.0 * std::fabs( std::sin( x / 5.0 + 3.0 * ValueNoise( x / 20.0, 1.5, 203u ) ) );
    return 540.0 - 120.0 * Fbm( x / 210.0, 7.25, 202u, 4 ) + 18.0 * std::sin( x / 95.0 ) - treetops;
}

std::uint8_t SkyPixel( int x, int y ) {
    const double height = 1.0 - Clamp01( double( y ) / kHorizonY );
    // Clouds thin out toward the horizon and above the top of the picture.
    const double band = SmoothStep( 0.15, 0.45, height ) * ( 1.0 - SmoothStep( 0.85, 1.0, height ) );
    const double cloud = Fbm( x / 170.0, y / 55.0, 303u, 5 ) * band;
    const double cover = SmoothStep( 0.5, 0.62, cloud );
    if ( cover > Bayer( x, y ) ) {
        // Lit from above: the cloud is brighter where there is less cloud just over it.
        const double over = Fbm( x / 170.0, ( y - 6 ) / 55.0, 303u, 5 ) * band;
        return Shade( kCloud, 0.55 + 0.9 * ( cloud - over ) + 0.35 * cover, x, y );
    }
    return Shade( kSky, 0.1 + 0.9 * ( 1.0 - height ) * ( 1.0 - height * 0.2 ), x, y );
}

std::uint8_t FarHillPixel( int x, int y, double ridgeY ) {
    // Snow on the highest peaks; haze lightens the foot of the range.
    const double below = y - ridgeY;
    // The sun is to the left. The slopes below the crest are a field of smaller ridges; each is lit
    // on its left face and shaded on its right.
    auto relief = [y]( double px ) { return Ridged( px / 70.0 + y / 260.0, y / 55.0, 406u, 4 ); };
    const double light = Clamp01( 0.5 + 4.5 * ( relief( x - 2.0 ) - relief( x + 2.0 ) ) );
    const double snowLine = ( 310.0 - ridgeY ) * 0.6 + 30.0 * ( Fbm( x / 6.0, y / 50.0, 404u, 2 ) - 0.5 );
    if ( ridgeY < 310.0 && below < snowLine ) {
        return Shade( kCloud, 0.3 + 0.5 * light + 0.2 * Random01( x, y, 405u ), x, y );
    }
    const double haze = SmoothStep( 220.0, kHorizonY + 40.0, y );
    return Shade( kFarHills, 0.1 + 0.4 * light + 0.45 * haze, x, y );
}

std::uint8_t NearHillPixel( int x, int y, double ridgeY ) {
    const double below = y - ridgeY;
    // Woods: clumps of dark crowns with lit tops, hazier near the crest.
    const double crowns = Fbm( x / 7.0, y / 5.0, 505u, 3 );
    const double woods = Fbm( x / 60.0, y / 40.0, 506u, 2 );
    const double haze = 1.0 - SmoothStep( 0.0, 160.0, below );
    return Shade( kNearHills, 0.1 + 0.4 * haze + 0.35 * crowns + 0.3 * ( woods - 0.5 ), x, y );
}

Picture MakeBackground() {
    Picture picture( kBackgroundWidth, kBackgroundHeight );
    for ( int x = 0; x < picture.width; ++x ) {
        const double farRidge = FarRidgeY( x, 5 );
        const double nearRidge = NearRidgeY( x );
        for ( int y = 0; y < picture.height; ++y ) {
            if ( y >= nearRidge ) {
                picture.At( x, y ) = NearHillPixel( x, y, nearRidge );
            } else if ( y >= farRidge ) {
                picture.At( x, y ) = FarHillPixel( x, y, farRidge );
            } else {
                picture.At( x, y ) = SkyPixel( x, y );
            }
        }
    }
    return picture;
}

// ---------------------------------------------------------------------------------------------
// Land: hills and valleys over the whole width, overhangs and caves, solid ground along the bottom.

constexpr int kLandWidth = 1280;
constexpr int kLandHeight = 960;
constexpr int kBedrockRows = 40; // never carved, so nothing falls out of the land
constexpr double kHighestSurface = 250.0;
constexpr double kLowestSurface = 800.0;

// The ground line before overhangs and caves are cut: broad hills, smaller bumps and rough detail.
double SurfaceY( double x ) {
    const double u = x / kLandWidth * 2.0 * kPi;
    double y = 540.0;
    y -= 170.0 * std::sin( u * 1.5 + 0.6 );
    y -= 90.0 * std::sin( u * 3.3 + 2.1 );
    y -= 30.0 * std::sin( u * 7.7 + 0.4 );
    y -= 160.0 * ( Fbm( x / 110.0, 0.5, 606u, 4 ) - 0.5 );
    return std::min( kLowestSurface, std::max( kHighestSurface, y ) );
}

// Bending the columns sideways near the surface turns steep slopes into overhangs.
bool IsUnderSurface( int x, int y ) {
    const double warp = 70.0 * ( Fbm( x / 70.0, y / 45.0, 707u, 3 ) - 0.5 );
    return y >= SurfaceY( x + warp );
}

// Our own small generator for the cave layout: xorshift32, fixed seed.
class Random {
public:
    explicit Random( std::uint32_t seed ) : state( seed ? seed : 1u ) {}
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    double Uniform( double low, double high ) { return low + ( high - low ) * ( Next() >> 8 ) / 16777216.0; }

private:
    std::uint32_t state;
};

// Empties a round spot, but never into the bedrock and never through the roof left above caves.
void CarveDisc( Picture &land, double cx, double cy, double radius, double roof ) {
    const int x0 = std::max( 0, static_cast<int>( cx - radius ) );
    const int x1 = std::min( land.width - 1, static_cast<int>( cx + radius ) + 1 );
    const int y0 = std::max( 0, static_cast<int>( cy - radius ) );
    const int y1 = std::min( land.height - kBedrockRows - 1, static_cast<int>( cy + radius ) + 1 );
    for ( int y = y0; y <= y1; ++y ) {
        for ( int x = x0; x <= x1; ++x ) {
            const double ragged = radius * ( 0.85 + 0.3 * ValueNoise( x / 5.0, y / 5.0, 808u ) );
            if ( std::hypot( x - cx, y - cy ) <= ragged && y - SurfaceY( x ) >= roof ) {
                land.At( x, y ) = kEmpty;
            }
        }
    }
}

// A tunnel that wanders from a start point, now and then swelling into a chamber.
void CarveTunnel( Picture &land, Random &random ) {
    double x = random.Uniform( 40.0, land.width - 40.0 );
    double y = SurfaceY( x ) + random.Uniform( 40.0, 220.0 );
    double heading = random.Uniform( 0.0, 2.0 * kPi );
    const int steps = static_cast<int>( random.Uniform( 40.0, 110.0 ) );
    const double roof = random.Uniform( 8.0, 20.0 );
    for ( int step = 0; step < steps; ++step ) {
        const double radius = 7.0 + 5.0 * ValueNoise( step / 9.0, x / 50.0, 909u );
        CarveDisc( land, x, y, radius, roof );
        if ( random.Uniform( 0.0, 1.0 ) < 0.025 ) {
            CarveDisc( land, x, y, random.Uniform( 18.0, 30.0 ), roof );
        }
        // Mostly sideways: caves that run across the hills rather than straight down.
        heading += random.Uniform( -0.5, 0.5 );
        heading = std::atan2( std::sin( heading ) * 0.92, std::cos( heading ) );
        x += 4.0 * std::cos( heading );
        y += 4.0 * std::sin( heading );
    }
}

void CarveCaves( Picture &land ) {
    Random random( 0xC0FFEEu );
    for ( int i = 0; i < 11; ++i ) {
        CarveTunnel( land, random );
    }
}

// Drops every solid piece that does not rest on the ground at the bottom, so no island floats.
void KeepGroundAttachedToBottom( Picture &land ) {
    std::vector<std::uint8_t> attached( land.pixels.size(), 0 );
    std::vector<int> stack;
    auto visit = [&]( int x, int y ) {
        const std::size_t i = std::size_t( y ) * land.width + x;
        if ( land.pixels[i] != kEmpty && !attached[i] ) {
            attached[i] = 1;
            stack.push_back( static_cast<int>( i ) );
        }
    };
    for ( int x = 0; x < land.width; ++x ) {
        visit( x, land.height - 1 );
    }
    while ( !stack.empty() ) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % land.width;
        const int y = i / land.width;
        if ( x > 0 )
            visit( x - 1, y );
        if ( x + 1 < land.width )
            visit( x + 1, y );
        if ( y > 0 )
            visit( x, y - 1 );
        if ( y + 1 < land.height )
            visit( x, y + 1 );
    }
    for ( std::size_t i = 0; i < land.pixels.size(); ++i ) {
        if ( !attached[i] ) {
            land.pixels[i] = kEmpty;
        }
    }
}

// The land's solid pixels (1) and empty ones (0), before colouring; the open ground is the same
// land before the caves are cut, which the soil follows.
struct LandShape {
    Picture land{ kLandWidth, kLandHeight };
    Picture openGround{ kLandWidth, kLandHeight };
};

LandShape MakeLandShape() {
    LandShape shape;
    Picture &land = shape.land;
    for ( int y = 0; y < land.height; ++y ) {
        for ( int x = 0; x < land.width; ++x ) {
            const bool bedrock = y >= land.height - kBedrockRows;
            land.At( x, y ) = bedrock || IsUnderSurface( x, y ) ? 1 : kEmpty;
        }
    }
    // Dropping the floating pieces before the caves as well leaves the final shape as it was, since
    // carving only empties pixels and a piece that floats before it still floats after it.
    KeepGroundAttachedToBottom( land );
    shape.openGround = land;
    CarveCaves( land );
    KeepGroundAttachedToBottom( land );
    return shape;
}

// What the colouring needs to know about one solid pixel.
struct Ground {
    double depth;   // distance to the open ground's surface, in pixels
    int runDepth;   // rows below the nearest empty pixel above
    int shelter;    // distance to the nearest sheltered air (caves, under overhangs), capped
    bool openToSky; // nothing solid above it in its column
};

constexpr int kShadowReach = 5;

// Spreads the distances outward from the pixels where they are 0, in 3-4 chamfer steps (a third of
// a pixel each); a pixel starts at its cap when it is no seed.
void SpreadChamferDistances( const Picture &land, std::vector<int> &distance ) {
    auto relax = [&]( int x, int y, int dx, int dy, int cost ) {
        const int nx = x + dx;
        const int ny = y + dy;
        if ( nx >= 0 && nx < land.width && ny >= 0 && ny < land.height ) {
            int &here = distance[std::size_t( y ) * land.width + x];
            here = std::min( here, distance[std::size_t( ny ) * land.width + nx] + cost );
        }
    };
    for ( int y = 0; y < land.height; ++y ) {
        for ( int x = 0; x < land.width; ++x ) {
            relax( x, y, -1, 0, 3 );
            relax( x, y, 0, -1, 3 );
            relax( x, y, -1, -1, 4 );
            relax( x, y, 1, -1, 4 );
        }
    }
    for ( int y = land.height - 1; y >= 0; --y ) {
        for ( int x = land.width - 1; x >= 0; --x ) {
            relax( x, y, 1, 0, 3 );
            relax( x, y, 0, 1, 3 );
            relax( x, y, 1, 1, 4 );
            relax( x, y, -1, 1, 4 );
        }
    }
}

// Distance from every pixel to the nearest empty pixel that has ground above it; the walls of caves
// and the undersides of overhangs are shaded by it.
std::vector<int> ShelterDistances( const Picture &land ) {
    std::vector<int> distance( land.pixels.size(), 3 * kShadowReach );
    for ( int x = 0; x < land.width; ++x ) {
        bool roofed = false;
        for ( int y = 0; y < land.height; ++y ) {
            const bool empty = land.At( x, y ) == kEmpty;
            roofed = roofed || !empty;
            if ( empty && roofed ) {
                distance[std::size_t( y ) * land.width + x] = 0;
            }
        }
    }
    SpreadChamferDistances( land, distance );
    for ( int &d : distance ) {
        d = std::min( kShadowReach, d / 3 );
    }
    return distance;
}

// Distance in pixels from every pixel to the air over the open ground. Soil and rock meet at a depth
// measured this way, so their boundary runs along the ground, around overhangs and down cliffs,
// instead of dropping in vertical cuts where a column's first solid pixel jumps.
std::vector<double> SurfaceDepths( const Picture &openGround ) {
    std::vector<int> distance( openGround.pixels.size(), 3 * ( kLandWidth + kLandHeight ) );
    for ( std::size_t i = 0; i < distance.size(); ++i ) {
        if ( openGround.pixels[i] == kEmpty ) {
            distance[i] = 0;
        }
    }
    SpreadChamferDistances( openGround, distance );
    std::vector<double> depth( distance.size() );
    for ( std::size_t i = 0; i < distance.size(); ++i ) {
        depth[i] = distance[i] / 3.0;
    }
    return depth;
}

std::uint8_t GrassPixel( int x, int y, const Ground &g, int grassRows ) {
    const double blade = Random01( x, y, 1001u );
    const double streak = Random01( x, 0, 1003u ); // blades run down their column
    const double patch = Fbm( x / 40.0, y / 40.0, 1002u, 2 );
    const double shade = 0.95 - 0.6 * g.runDepth / grassRows + 0.3 * ( streak - 0.5 ) +
                         0.15 * ( blade - 0.5 ) + 0.3 * ( patch - 0.5 );
    return Shade( kGrass, shade, x, y );
}

std::uint8_t MossPixel( int x, int y, const Ground &g ) {
    return Shade( kMoss, 0.7 - 0.25 * g.runDepth + 0.3 * ( Random01( x, y, 1101u ) - 0.5 ), x, y );
}

std::uint8_t EarthPixel( int x, int y, const Ground &g, double rockDepth ) {
    // Pebbles: small rounded specks of rock in the soil.
    const double pebble = Fbm( x / 3.5, y / 2.5, 1201u, 2 );
    if ( pebble > 0.8 && g.depth > 8 ) {
        return Shade( kRock, 0.35 + 1.5 * ( pebble - 0.8 ) + 0.15 * Random01( x, y, 1202u ), x, y );
    }
    const double layers = Fbm( x / 90.0, y / 9.0, 1203u, 3 );
    const double clumps = Fbm( x / 6.0, y / 5.0, 1205u, 2 );
    const double grain = Random01( x, y, 1204u );
    const double darkening = 0.35 * g.depth / rockDepth;
    const double shade =
        0.7 - darkening + 0.35 * ( layers - 0.5 ) + 0.4 * ( clumps - 0.5 ) + 0.2 * ( grain - 0.5 );
    return Shade( kEarth, shade, x, y );
}

// Light on a boulder embedded in the rock, or a negative number when (x, y) is on none. Boulders are
// scattered one per grid cell at most, each at a random spot of the cell with a random size.
double BoulderLight( int x, int y ) {
    constexpr int kCell = 28;
    const int cellX = x / kCell;
    const int cellY = y / kCell;
    for ( int j = cellY - 1; j <= cellY + 1; ++j ) {
        for ( int i = cellX - 1; i <= cellX + 1; ++i ) {
            if ( Random01( i, j, 1310u ) < 0.6 ) {
                continue;
            }
            const double cx = ( i + Random01( i, j, 1311u ) ) * kCell;
            const double cy = ( j + Random01( i, j, 1312u ) ) * kCell;
            const double radius = 3.0 + 6.0 * Random01( i, j, 1313u );
            const double dx = ( x - cx ) / radius;
            const double dy = ( y - cy ) / ( radius * 0.75 );
            if ( dx * dx + dy * dy <= 1.0 ) {
                return Clamp01( 0.55 - 0.35 * dx - 0.45 * dy );
            }
        }
    }
    return -1.0;
}

std::uint8_t RockPixel( int x, int y ) {
    const double grain = Random01( x, y, 1303u );
    const double boulder = BoulderLight( x, y );
    if ( boulder >= 0.0 ) {
        return Shade( kRock, 0.2 + 0.7 * boulder + 0.1 * ( grain - 0.5 ), x, y );
    }
    // Gently tilted strata with a rough, blotchy surface.
    const double strata = Fbm( x / 160.0, ( y + 0.15 * x ) / 16.0, 1301u, 3 );
    const double body = Fbm( x / 10.0, y / 7.0, 1302u, 3 );
    const double shade = 0.45 + 0.5 * ( strata - 0.5 ) + 0.45 * ( body - 0.5 ) + 0.12 * ( grain - 0.5 );
    return Shade( kRock, shade, x, y );
}

// Steps a colour toward the dark end of its own ramp.
std::uint8_t Darken( std::uint8_t pixel, int steps ) {
    for ( Ramp ramp : { kEarth, kRock, kGrass, kMoss } ) {
        if ( pixel >= ramp.first && pixel < ramp.first + ramp.count ) {
            return static_cast<std::uint8_t>( std::max( ramp.first, pixel - steps ) );
        }
    }
    return pixel;
}

std::uint8_t GroundPixel( int x, int y, const Ground &g ) {
    const int grassRows = 5 + static_cast<int>( 5.0 * Fbm( x / 25.0, 0.5, 1401u, 2 ) );
    const double rockDepth = 70.0 + 100.0 * Fbm( x / 120.0, y / 60.0, 1402u, 3 ) +
                             16.0 * ( Fbm( x / 7.0, y / 7.0, 1403u, 2 ) - 0.5 );
    std::uint8_t pixel;
    if ( g.openToSky && g.runDepth < grassRows ) {
        pixel = GrassPixel( x, y, g, grassRows );
    } else if ( !g.openToSky && g.runDepth < 2 ) {
        pixel = MossPixel( x, y, g );
    } else if ( g.depth < rockDepth ) {
        pixel = EarthPixel( x, y, g, rockDepth );
    } else {
        pixel = RockPixel( x, y );
    }
    return Darken( pixel, 3 * ( kShadowReach - g.shelter ) );
}

void ColourColumn( Picture &land, const std::vector<int> &shelter, const std::vector<double> &depth, int x ) {
    int top = -1;
    int runTop = 0;
    for ( int y = 0; y < land.height; ++y ) {
        if ( land.At( x, y ) == kEmpty ) {
            runTop = y + 1;
            continue;
        }
        if ( top < 0 ) {
            top = y;
        }
        const std::size_t i = std::size_t( y ) * land.width + x;
        const Ground g{ depth[i], y - runTop, shelter[i], runTop == top };
        land.At( x, y ) = GroundPixel( x, y, g );
    }
}

Picture MakeLand() {
    LandShape shape = MakeLandShape();
    Picture &land = shape.land;
    const std::vector<int> shelter = ShelterDistances( land );
    const std::vector<double> depth = SurfaceDepths( shape.openGround );
    for ( int x = 0; x < land.width; ++x ) {
        ColourColumn( land, shelter, depth, x );
    }
    return land;
}

// ---------------------------------------------------------------------------------------------
// Tank: 35 x 20, facing right, turned by the game about (17, 10). The barrel is drawn by the game
// as a line from that middle point, so the turret dome sits over it.

constexpr int kTankWidth = 35;
constexpr int kTankHeight = 20;

void DrawTracks( Picture &tank ) {
    // A stadium from row 13 to the bottom row, with treads on its outline.
    const double cy = 16.0;
    const double radius = 3.5;
    const double left = 1.0 + radius;
    const double right = kTankWidth - 1.0 - radius;
    for ( int y = 12; y < kTankHeight; ++y ) {
        for ( int x = 0; x < kTankWidth; ++x ) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            const double nearestX = std::min( right, std::max( left, px ) );
            const double d = std::hypot( px - nearestX, py - cy - 0.5 );
            if ( d > radius + 0.35 ) {
                continue;
            }
            const bool outline = d > radius - 1.0;
            const bool tread = ( x + ( y > cy ? 1 : 0 ) ) % 2 == 0;
            tank.At( x, y ) = static_cast<std::uint8_t>( kTrack.first + ( outline ? ( tread ? 4 : 1 ) : 0 ) );
        }
    }
}

void DrawWheel( Picture &tank, double cx, double cy, double radius ) {
    for ( int y = 0; y < kTankHeight; ++y ) {
        for ( int x = 0; x < kTankWidth; ++x ) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double d = std::hypot( dx, dy );
            if ( d > radius ) {
                continue;
            }
            // Lit from the upper left; a dark hub in the middle.
            const double light = 0.55 - 0.25 * ( dx + dy ) / radius;
            tank.At( x, y ) = d < 0.8 ? kGrey.first + 1 : Shade( kGrey, light, x, y );
        }
    }
}

void DrawHull( Picture &tank ) {
    // A lit deck, a sloped glacis at each end and a darker side skirt over the tracks.
    for ( int y = 8; y <= 13; ++y ) {
        const int inset = std::max( 0, 11 - y );
        const int left = 1 + inset;
        const int right = kTankWidth - 2 - inset;
        for ( int x = left; x <= right; ++x ) {
            double shade = y == 8 ? 0.95 : 0.78 - 0.1 * ( y - 9 );
            if ( x == left || x == right ) {
                shade = y <= 10 ? 0.85 : 0.35; // glacis edges catch the light, skirt ends do not
            }
            tank.At( x, y ) = Shade( kHull, shade, x, y );
        }
    }
    // A seam between deck and skirt, with rivets along the skirt.
    for ( int x = 2; x <= kTankWidth - 3; ++x ) {
        tank.At( x, 11 ) = kHull.first + 4;
    }
    for ( int x = 5; x <= kTankWidth - 6; x += 4 ) {
        tank.At( x, 12 ) = kHull.first + 12;
    }
}

void DrawTurret( Picture &tank ) {
    const double cx = kTankWidth / 2.0;
    const double cy = 8.5;
    for ( int y = 2; y <= 8; ++y ) {
        for ( int x = 0; x < kTankWidth; ++x ) {
            const double dx = ( x + 0.5 - cx ) / 8.0;
            const double dy = ( y + 0.5 - cy ) / 6.0;
            // A squarish superellipse: a low, broad dome rather than a cone.
            const double d = std::pow( std::fabs( dx ), 2.6 ) + std::pow( std::fabs( dy ), 2.6 );
            if ( d > 1.0 ) {
                continue;
            }
            // Lit from the upper left.
            const double light = 0.62 - 0.35 * dx - 0.35 * dy - 0.2 * d;
            tank.At( x, y ) = Shade( kHull, light, x, y );
        }
    }
    // A hatch on the crown and a dark ring where the turret meets the deck.
    for ( int x = 14; x <= 20; ++x ) {
        tank.At( x, 2 ) = static_cast<std::uint8_t>( kHull.first + ( x == 14 ? 14 : x == 20 ? 7 : 11 ) );
    }
    for ( int x = 11; x <= 23; ++x ) {
        tank.At( x, 8 ) = kHull.first + 3;
    }
}

Picture MakeTank() {
    Picture tank( kTankWidth, kTankHeight );
    DrawTracks( tank );
    for ( double cx : { 5.5, 11.5, 17.5, 23.5, 29.5 } ) {
        DrawWheel( tank, cx, 16.5, 2.6 );
    }
    DrawHull( tank );
    DrawTurret( tank );
    return tank;
}

// ---------------------------------------------------------------------------------------------
// Bomb: a 10 x 10 dark round shell with a highlight to the upper left.

Picture MakeBomb() {
    constexpr int kSize = 10;
    Picture bomb( kSize, kSize );
    const double centre = kSize / 2.0;
    const double radius = kSize / 2.0 - 0.2;
    for ( int y = 0; y < kSize; ++y ) {
        for ( int x = 0; x < kSize; ++x ) {
            const double dx = ( x + 0.5 - centre ) / radius;
            const double dy = ( y + 0.5 - centre ) / radius;
            const double d2 = dx * dx + dy * dy;
            if ( d2 > 1.0 ) {
                continue;
            }
            // Diffuse light on a sphere from the upper left plus a tight specular spot.
            const double dz = std::sqrt( 1.0 - d2 );
            const double diffuse = std::max( 0.0, ( -dx - dy + dz ) / std::sqrt( 3.0 ) );
            const double spot = std::pow( std::max( 0.0, -0.45 * dx - 0.45 * dy + 0.77 * dz ), 24.0 );
            bomb.At( x, y ) = Shade( kShell, 0.08 + 0.5 * diffuse + 0.6 * spot, x, y );
        }
    }
    return bomb;
}

} // namespace

int main( int argc, char **argv ) {
    const std::string directory = argc > 1 ? argv[1] : "assets";
    std::error_code error;
    std::filesystem::create_directories( directory, error );

    const Palette palette = MakePalette();
    const struct {
        const char *name;
        Picture picture;
    } files[] = { { "background.bmp", MakeBackground() },
                  { "land.bmp", MakeLand() },
                  { "tank.bmp", MakeTank() },
                  { "bomb.bmp", MakeBomb() } };
    for ( const auto &file : files ) {
        const std::string path = directory + "/" + file.name;
        if ( !WriteBmp( path, file.picture, palette ) ) {
            std::fprintf( stderr, "make_assets: cannot write %s\n", path.c_str() );
            return 1;
        }
        std::printf( "wrote %s (%d x %d)\n", path.c_str(), file.picture.width, file.picture.height );
    }
    return 0;
}
