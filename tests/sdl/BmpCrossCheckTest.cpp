#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "tests/support/BmpWriter.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Our reader against SDL's own BMP loader, on the same bytes: well-formed bottom-up 8-bit
// pictures, whose indices stay inside their colour table, must give the same indices and the
// same colours.

namespace {

struct Case {
    int width;
    int height;
    uint32_t clrUsed; // 0: a full table of 256
};

BmpPicture RandomSpec( const Case &c, uint32_t seed ) {
    BmpPicture picture;
    picture.width = c.width;
    picture.height = c.height;
    picture.clrUsed = c.clrUsed;
    const uint32_t colours = c.clrUsed == 0 ? 256 : c.clrUsed;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for ( uint32_t i = 0; i < colours; i++ ) {
        picture.palette.push_back(
            HostPaletteEntry{ uint8_t( next() ), uint8_t( next() ), uint8_t( next() ), 0 } );
    }
    for ( int i = 0; i < c.width * c.height; i++ ) {
        picture.pixels.push_back( uint8_t( next() % colours ) );
    }
    return picture;
}

} // namespace

TEST( BmpCrossCheck, IndicesAndColoursMatchSdl ) {
    const Case cases[] = { { 1, 1, 2 },   { 3, 2, 2 },   { 13, 7, 16 },  { 16, 16, 16 }, { 37, 5, 100 },
                           { 64, 33, 0 }, { 257, 3, 0 }, { 5, 90, 256 }, { 640, 480, 0 } };
    uint32_t seed = 7;
    for ( const Case &c : cases ) {
        const std::string label = std::to_string( c.width ) + " x " + std::to_string( c.height ) + ", " +
                                  std::to_string( c.clrUsed ) + " colours";
        std::vector<uint8_t> bytes = MakeBmp( RandomSpec( c, seed++ ) );
        PutMemoryFile( "cross.bmp", bytes );

        Image ours( 1, 1 );
        ASSERT_EQ( ours.LoadBmp( "cross.bmp" ), 1 ) << label;
        HostPaletteEntry entries[256];
        ASSERT_EQ( ReadBmpPalette( "cross.bmp", entries ), 1 ) << label;

        SDL_Surface *theirs = SDL_LoadBMP_RW( SDL_RWFromConstMem( bytes.data(), int( bytes.size() ) ), 1 );
        ASSERT_NE( theirs, nullptr ) << label << ": " << SDL_GetError();
        ASSERT_EQ( theirs->format->BitsPerPixel, 8 ) << label;
        ASSERT_EQ( theirs->w, ours.GetWidth() ) << label;
        ASSERT_EQ( theirs->h, ours.GetHeight() ) << label;
        int mismatches = 0;
        for ( int y = 0; y < theirs->h; y++ ) {
            const uint8_t *row = static_cast<const uint8_t *>( theirs->pixels ) + y * theirs->pitch;
            for ( int x = 0; x < theirs->w; x++ ) {
                mismatches += row[x] != ours.GetPixels()[y * ours.GetPitch() + x];
            }
        }
        EXPECT_EQ( mismatches, 0 ) << label;

        const SDL_Palette *palette = theirs->format->palette;
        ASSERT_NE( palette, nullptr ) << label;
        const int colours = c.clrUsed == 0 ? 256 : int( c.clrUsed );
        ASSERT_GE( palette->ncolors, colours ) << label;
        for ( int i = 0; i < colours; i++ ) {
            EXPECT_EQ( entries[i].red, palette->colors[i].r ) << label << " colour " << i;
            EXPECT_EQ( entries[i].green, palette->colors[i].g ) << label << " colour " << i;
            EXPECT_EQ( entries[i].blue, palette->colors[i].b ) << label << " colour " << i;
        }
        SDL_FreeSurface( theirs );
    }
    HostClearMemoryFiles();
}
