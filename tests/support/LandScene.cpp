#include "tests/support/LandScene.h"

#include "host/HostWindow.h"
#include "tests/support/BmpWriter.h"

std::vector<uint8_t> MakeBmpFromImage( const Image &image ) {
    BmpPicture picture;
    picture.width = image.GetWidth();
    picture.height = image.GetHeight();
    for ( int i = 0; i < 256; i++ ) {
        picture.palette.push_back( HostPaletteEntry{ uint8_t( i ), uint8_t( i ), uint8_t( i ), 0 } );
    }
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        const uint8_t *row = image.GetPixels() + y * image.GetPitch();
        picture.pixels.insert( picture.pixels.end(), row, row + image.GetWidth() );
    }
    return MakeBmp( picture );
}

LandScene::LandScene() {
}

LandScene::~LandScene() {
}

int LandScene::Load( const Image &land, int backgroundWidth, int backgroundHeight ) {
    Image background( backgroundWidth, backgroundHeight );
    background.Clear( 7 );
    PutMemoryFile( "land.bmp", MakeBmpFromImage( land ) );
    PutMemoryFile( "background.bmp", MakeBmpFromImage( background ) );
    world.Load( &display, "land.bmp", "background.bmp" );
    return display.GetDirectDraw() != nullptr && world.GetLandImage()->GetWidth() == land.GetWidth() &&
                   world.GetLandImage()->GetHeight() == land.GetHeight()
               ? 1
               : 0;
}

int LandScene::LoadFlat( int width, int height, int groundTop, uint8_t ground ) {
    Image land( width, height );
    land.Clear( 0 );
    if ( groundTop < height ) {
        land.FillRect( 0, groundTop, width - 1, height - 1, ground );
    }
    return Load( land );
}

std::vector<uint8_t> MakeGroundBmp( int width, int height, uint8_t colour, int groundTop ) {
    Image image( width, height );
    image.Clear( colour );
    if ( groundTop > 0 && groundTop < height ) {
        image.FillRect( 0, 0, width - 1, groundTop - 1, 0 );
    }
    return MakeBmpFromImage( image );
}
