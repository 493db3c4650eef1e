#ifndef KELTO_LANDS_LANDGENERATOR_H
#define KELTO_LANDS_LANDGENERATOR_H

#include <cstdint>

class Image;
class LandCode;

// Makes the pictures of a generated land from its code, in memory, in the game's 8-bit
// palette (LandMakePalette gives the theme's colours): the same code and size give the same
// bytes on every machine. A picture is given either without pixels (it is then created) or
// with pixels of exactly the size asked for (they are then drawn over).
class LandGenerator {
public:
    static constexpr int DEFAULT_WIDTH = 1280;
    static constexpr int DEFAULT_HEIGHT = 960;
    // Half way between the land and the screen, so the background scrolls at half speed.
    static constexpr int DEFAULT_BACKGROUND_WIDTH = 960;
    static constexpr int DEFAULT_BACKGROUND_HEIGHT = 720;
    // The smallest land that holds four tanks apart and covers the screen; the largest is the
    // largest picture the game reads.
    static constexpr int MIN_WIDTH = 640;
    static constexpr int MIN_HEIGHT = 480;

    // 1 when a picture of width x height can be generated.
    static int Fits( int width, int height );
    // 1, or 0 for a size that does not fit, a picture of another size, or no memory.
    static int MakeLand( const LandCode &code, int width, int height, Image &land );
    static int MakeBackground( const LandCode &code, int width, int height, Image &background );
    // A picture's fingerprint (FNV-1a over its pixels row by row, the pitch's padding left
    // out): what the same code must make alike on every machine and in the browser.
    static uint32_t Fingerprint( const Image &picture );
};

#endif
