#include "lands/LandGenerator.h"

#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "lands/LandBackdrop.h"
#include "lands/LandCode.h"
#include "lands/LandPainter.h"
#include "lands/LandShaper.h"

#include <cstddef>

namespace {

int Prepare( Image &picture, int width, int height ) {
    if ( !LandGenerator::Fits( width, height ) ) {
        return 0;
    }
    if ( picture.GetPixels() == nullptr ) {
        return picture.Create( width, height );
    }
    return picture.GetOwnsPixels() && picture.GetWidth() == width && picture.GetHeight() == height &&
           picture.GetPitch() == width;
}

} // namespace

int LandGenerator::Fits( int width, int height ) {
    return width >= MIN_WIDTH && height >= MIN_HEIGHT && width <= BMP_MAX_SIDE && height <= BMP_MAX_SIDE;
}

int LandGenerator::MakeLand( const LandCode &code, int width, int height, Image &land ) {
    if ( !Prepare( land, width, height ) ) {
        return 0;
    }
    return LandShape( code.GetStyle(), code.GetSeed(), land ) &&
           LandPaint( code.GetStyle(), code.GetSeed(), land );
}

int LandGenerator::MakeBackground( const LandCode &code, int width, int height, Image &background ) {
    if ( !Prepare( background, width, height ) ) {
        return 0;
    }
    return LandPaintBackdrop( code.GetTheme(), code.GetSeed(), background );
}

uint32_t LandGenerator::Fingerprint( const Image &picture ) {
    uint32_t hash = 2166136261u;
    for ( int y = 0; y < picture.GetHeight(); y++ ) {
        const uint8_t *row = picture.GetPixels() + size_t( y ) * size_t( picture.GetPitch() );
        for ( int x = 0; x < picture.GetWidth(); x++ ) {
            hash = ( hash ^ row[x] ) * 16777619u;
        }
    }
    return hash;
}
