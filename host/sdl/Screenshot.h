#ifndef KELTO_HOST_SDL_SCREENSHOT_H
#define KELTO_HOST_SDL_SCREENSHOT_H

// Saving the shown frame as the player asked with F12: the 8-bit picture with its palette,
// written as an indexed PNG by libpng, so the file holds exactly the game's pixels and colours.

#include "host/HostTypes.h"

#include <string>

// Where a new screenshot goes: $XDG_PICTURES_DIR, else ~/Pictures when it exists, else the
// working directory; named kelto-YYYYMMDD-HHMMSS.png after the local time, with -2, -3 ...
// added when that name is taken.
std::string ScreenshotChoosePath();

// Writes the picture into a new file; 1, or 0 when the file could not be written (nothing is
// left behind) or the name is taken, by a file of any kind.
int ScreenshotWritePng( const std::string &path, const uint8_t *pixels, int pitch, int width, int height,
                        const HostPaletteEntry *palette );

#endif
