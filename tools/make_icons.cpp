// Makes the program's icons from the game's own tank: a round badge of sky and ground with
// the tank standing on it and its barrel raised, in the game's colours, drawn with whole-pixel
// scaling so that it keeps the game's crisp look. Writes kelto-48.png, kelto-128.png and
// kelto-256.png (RGBA, transparent outside the badge) through libpng.
//
// Usage: make_icons [assets directory] [output directory]   (default "assets" "assets/icons")

#include "gfx/Bmp.h"
#include "gfx/Image.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Palette ranges of the game's pictures (see make_assets): sky, grass, earth, barrel.
const int SKY_FIRST = 16, SKY_COUNT = 32;
const int GRASS_LIGHT = 108;
const int EARTH_FIRST = 112, EARTH_COUNT = 32;
const int BARREL = 15;

struct Icon {
    int size;
    std::vector<uint8_t> rgba;

    void Put( int x, int y, const HostPaletteEntry &colour ) {
        if ( x < 0 || y < 0 || x >= size || y >= size ) {
            return;
        }
        uint8_t *pixel = &rgba[( size_t( y ) * size + x ) * 4];
        pixel[0] = colour.red;
        pixel[1] = colour.green;
        pixel[2] = colour.blue;
        pixel[3] = 255;
    }
};

int WritePng( const std::string &fileName, const Icon &icon ) {
    FILE *file = std::fopen( fileName.c_str(), "wb" );
    if ( file == nullptr ) {
        return 0;
    }
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32( icon.size );
    image.height = png_uint_32( icon.size );
    image.format = PNG_FORMAT_RGBA;
    const int written = png_image_write_to_stdio( &image, file, 0, icon.rgba.data(), 0, nullptr );
    return std::fclose( file ) == 0 && written != 0;
}

// The badge: a disc whose upper part is the sky's gradient and whose lowest quarter is
// ground, grass on top of earth.
void DrawBadge( Icon &icon, const HostPaletteEntry *palette, int groundY ) {
    const double radius = icon.size / 2.0 - 0.5;
    for ( int y = 0; y < icon.size; y++ ) {
        for ( int x = 0; x < icon.size; x++ ) {
            const double dx = x + 0.5 - icon.size / 2.0, dy = y + 0.5 - icon.size / 2.0;
            if ( dx * dx + dy * dy > radius * radius ) {
                continue;
            }
            int index = SKY_FIRST + y * SKY_COUNT / icon.size;
            if ( y >= groundY ) {
                const int depth = y - groundY;
                index = depth < icon.size / 32 + 1
                            ? GRASS_LIGHT
                            : EARTH_FIRST + EARTH_COUNT / 2 - depth * EARTH_COUNT / 2 / icon.size;
            }
            icon.Put( x, y, palette[index] );
        }
    }
}

// The tank scaled by a whole factor, its wheels on the ground line, and a barrel at 45
// degrees from the top of its turret.
void DrawTank( Icon &icon, const Image &tank, const HostPaletteEntry *palette, int scale, int groundY ) {
    const int left = ( icon.size - tank.GetWidth() * scale ) / 2;
    const int top = groundY - tank.GetHeight() * scale;
    const int barrelLength = tank.GetWidth() * scale / 2;
    const int turretX = left + tank.GetWidth() * scale / 2, turretY = top + tank.GetHeight() * scale / 4;
    for ( int step = 0; step < barrelLength; step++ ) {
        for ( int thick = 0; thick < scale + 1; thick++ ) {
            icon.Put( turretX + step + thick / 2, turretY - step + ( thick + 1 ) / 2, palette[BARREL] );
        }
    }
    for ( int y = 0; y < tank.GetHeight() * scale; y++ ) {
        for ( int x = 0; x < tank.GetWidth() * scale; x++ ) {
            const uint8_t index = tank.GetPixels()[( y / scale ) * tank.GetPitch() + x / scale];
            if ( index != 0 ) {
                icon.Put( left + x, top + y, palette[index] );
            }
        }
    }
}

} // namespace

int main( int argc, char **argv ) {
    const std::string assets = argc > 1 ? argv[1] : "assets";
    const std::string output = argc > 2 ? argv[2] : "assets/icons";
    const std::string tankFile = assets + "/tank.bmp";
    Image tank( 1, 1 );
    HostPaletteEntry palette[256];
    if ( !tank.LoadBmp( tankFile.c_str() ) || !ReadBmpPalette( tankFile.c_str(), palette ) ) {
        std::fprintf( stderr, "make_icons: %s: %s\n", tankFile.c_str(), BmpGetLastError() );
        return 1;
    }
    for ( int size : { 48, 128, 256 } ) {
        Icon icon = { size, std::vector<uint8_t>( size_t( size ) * size * 4, 0 ) };
        const int scale = std::max( 1, size * 85 / 100 / tank.GetWidth() );
        const int groundY = size * 3 / 4;
        DrawBadge( icon, palette, groundY );
        DrawTank( icon, tank, palette, scale, groundY );
        const std::string fileName = output + "/kelto-" + std::to_string( size ) + ".png";
        if ( !WritePng( fileName, icon ) ) {
            std::fprintf( stderr, "make_icons: cannot write %s\n", fileName.c_str() );
            return 1;
        }
        std::printf( "wrote %s\n", fileName.c_str() );
    }
    return 0;
}
