#ifndef KELTO_PLATFORM_DISPLAY_H
#define KELTO_PLATFORM_DISPLAY_H

#include "gfx/Image.h"
#include "host/HostSurfaceDesc.h"
#include "host/HostTypes.h"

class BmpFile;
class HostPalette;
class HostSurface;
class HostVideo;

// The screen: the display device, the 640 x 480 x 8 mode, the primary surface with its back
// buffer and the 256-colour palette. It lends the back buffer to the software renderer as an
// Image between a lock and an unlock, and hands out its device and surfaces to the land tiles,
// the World's blits, the flip and the restore of lost surfaces.
class Display {
public:
    Display();
    virtual ~Display();

    int Init( HostWindow *window, uint8_t fullScreen, int width, int height, int bitsPerPixel );
    // The screen of a game nobody sees (a referee's): its size and palette, but no device and
    // no surfaces, so that it holds no pixels; every lock lends an Image that draws nothing.
    int InitUnseen( int width, int height );
    // Gives the surfaces, the palette and the device back: the display is as before Init, and
    // another game in the same program can bring it up again.
    void Close();

    Image &LockBackBuffer();
    void UnlockBackBuffer();

    // The palette: read from a BMP file's colour table, then installed on the screen.
    int LoadPalette( const char *fileName );
    int LoadPalette( const BmpFile &file );
    // Or the 256 entries made by the game itself (a generated land's theme).
    void SetPaletteEntries( const HostPaletteEntry *entries );
    void ApplyPalette();
    const HostPaletteEntry *GetPaletteEntries() const { return paletteEntries; }

    HostVideo *GetDirectDraw() const { return directDraw; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    HostSurface *GetPrimarySurface() const { return primary; }
    HostSurface *GetBackSurface() const { return backBuffer; }
    HostPalette *GetPalette() const { return palette; }

    // Why the last Init returned 0, for the start-up message.
    const char *GetLastError() const { return lastError; }

private:
    Display( const Display & ) = delete;
    Display &operator=( const Display & ) = delete;

    int Fail( const char *reason );
    int CreateBackBuffer();
    void ClearBackBuffer();
    void LendNothing();

    // A back buffer that cannot be restored is given up after this many tries in one lock.
    static const int MAX_RESTORES_PER_LOCK = 3;

    HostWindow *window; // not owned
    uint8_t fullScreen;
    HostVideo *directDraw; // owned
    int width;
    int height;
    HostSurfaceDesc surfaceDesc;
    HostSurface *primary;    // owned
    HostSurface *backBuffer; // owned reference
    HostPalette *palette;    // owned
    HostPaletteEntry paletteEntries[256];
    Image backImage; // a view of the locked back buffer; never owns its pixels
    const char *lastError;
    char lastErrorText[64]; // holds lastError when it names sizes
    uint8_t lentNothing;    // the last lock gave out no pixels and an empty clip rectangle
};

#endif
