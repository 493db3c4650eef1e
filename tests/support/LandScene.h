#ifndef KELTO_TESTS_SUPPORT_LANDSCENE_H
#define KELTO_TESTS_SUPPORT_LANDSCENE_H

#include "game/World.h"
#include "gfx/Image.h"
#include "tests/support/TestScreen.h"

#include <cstdint>
#include <vector>

// A whole playing field on the headless backend for the game's tests: a window, a 640 x 480
// display, and a World loaded from a land picture the test draws (as "land.bmp", with a grey
// "background.bmp" beside it), so that tanks and bombs meet real tiles and a real land
// picture.
class LandScene : public TestScreen {
public:
    LandScene();
    virtual ~LandScene();

    // Writes `land` and a background of the given size as memory files and loads the World
    // from them; 1 when the display is up and the World holds the land picture.
    int Load( const Image &land, int backgroundWidth = 960, int backgroundHeight = 720 );

    // Loads a land of `width` x `height`, empty above row `groundTop` and `ground` from there
    // down: the flat field most tanks and bombs are tried on.
    int LoadFlat( int width, int height, int groundTop, uint8_t ground );

    HostWindow *GetWindow() const { return window; }

    World world;
};

// The picture as an 8-bit BMP file with a grey palette.
std::vector<uint8_t> MakeBmpFromImage( const Image &image );

// A picture of one colour, as a BMP file; with `groundTop` inside it, empty (0) above that
// row: a flat land.
std::vector<uint8_t> MakeGroundBmp( int width, int height, uint8_t colour, int groundTop = 0 );

#endif
