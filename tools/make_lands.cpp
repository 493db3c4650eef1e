// Writes generated lands as pictures, to look at them: for each code, the land, its background
// and a preview (the land over its background stretched behind it), as 8-bit BMP files in the
// theme's colours.
//
// Usage: make_lands [output directory] [CODE...]   (default "lands", one land of each style
//                                                   in each theme)

#include "gfx/Image.h"
#include "lands/LandCode.h"
#include "lands/LandGenerator.h"
#include "lands/LandPalette.h"
#include "tests/support/BmpWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

BmpPicture Picture( const Image &image, const HostPaletteEntry *palette ) {
    BmpPicture picture;
    picture.width = image.GetWidth();
    picture.height = image.GetHeight();
    picture.palette.assign( palette, palette + 256 );
    picture.pixels.assign( image.GetPixels(),
                           image.GetPixels() + size_t( image.GetWidth() ) * image.GetHeight() );
    return picture;
}

BmpPicture Preview( const Image &land, const Image &background, const HostPaletteEntry *palette ) {
    BmpPicture picture = Picture( land, palette );
    for ( int y = 0; y < land.GetHeight(); y++ ) {
        for ( int x = 0; x < land.GetWidth(); x++ ) {
            uint8_t &pixel = picture.pixels[size_t( y ) * land.GetWidth() + x];
            if ( pixel == 0 ) {
                const int bx = x * background.GetWidth() / land.GetWidth();
                const int by = y * background.GetHeight() / land.GetHeight();
                pixel = background.GetPixels()[by * background.GetPitch() + bx];
            }
        }
    }
    return picture;
}

int Write( const std::string &path, const BmpPicture &picture ) {
    if ( !WriteFileBytes( path, MakeBmp( picture ) ) ) {
        std::fprintf( stderr, "make_lands: cannot write %s\n", path.c_str() );
        return 0;
    }
    std::printf( "wrote %s\n", path.c_str() );
    return 1;
}

} // namespace

int main( int argc, char **argv ) {
    const std::string directory = argc > 1 ? argv[1] : "lands";
    std::error_code error;
    std::filesystem::create_directories( directory, error );
    std::vector<std::string> codes;
    for ( int i = 2; i < argc; i++ ) {
        codes.push_back( argv[i] );
    }
    if ( codes.empty() ) {
        for ( int style = 0; style < LandCode::STYLE_COUNT; style++ ) {
            for ( int theme = 0; theme < LandCode::THEME_COUNT; theme++ ) {
                char text[LandCode::TEXT_SIZE];
                LandCode( style, theme, 0x1234ABCDu + uint32_t( style ) ).Format( text, sizeof( text ) );
                codes.push_back( text );
            }
        }
    }
    for ( const std::string &text : codes ) {
        LandCode code;
        if ( !code.Parse( text.c_str() ) ) {
            std::fprintf( stderr, "make_lands: %s: not a land code\n", text.c_str() );
            return 2;
        }
        Image land;
        Image background;
        if ( !LandGenerator::MakeLand( code, LandGenerator::DEFAULT_WIDTH, LandGenerator::DEFAULT_HEIGHT,
                                       land ) ||
             !LandGenerator::MakeBackground( code, LandGenerator::DEFAULT_BACKGROUND_WIDTH,
                                             LandGenerator::DEFAULT_BACKGROUND_HEIGHT, background ) ) {
            std::fprintf( stderr, "make_lands: %s: out of memory\n", text.c_str() );
            return 1;
        }
        HostPaletteEntry palette[256];
        LandMakePalette( code.GetTheme(), palette );
        const std::string base = directory + "/" + text;
        if ( !Write( base + "-land.bmp", Picture( land, palette ) ) ||
             !Write( base + "-background.bmp", Picture( background, palette ) ) ||
             !Write( base + "-preview.bmp", Preview( land, background, palette ) ) ) {
            return 1;
        }
    }
    return 0;
}
