#ifndef KELTO_HOST_SDL_SCREENSHOT_H
#define KELTO_HOST_SDL_SCREENSHOT_H

// Saving the shown frame as the player asked with F12: the 8-bit picture with its palette,
// written as an indexed PNG by libpng, so the file holds exactly the game's pixels and colours.

#include "host/HostTypes.h"

#include <string>

// Where a new screenshot goes: in ScreenshotChooseFolder(), named kelto-YYYYMMDD-HHMMSS.png
// after the local time, with -2, -3 ... added when that name is taken.
std::string ScreenshotChoosePath();

// The first existing folder of: $XDG_PICTURES_DIR; the pictures folder the desktop set in
// user-dirs.dirs (a German desktop's ~/Bilder); ~/Pictures; else the working directory (".").
std::string ScreenshotChooseFolder();

// The pictures folder user-dirs.dirs names, read as xdg-user-dir reads it: the file in
// `configHome` (else in `home`/.config), its last XDG_PICTURES_DIR="..." line that is not a
// comment, with a leading $HOME replaced by `home`. Empty when there is no such file or line,
// or the path is relative, which the desktop's own tools pass over too.
std::string ScreenshotUserPicturesDir( const char *home, const char *configHome );

// Writes the picture into a new file; 1, or 0 when the file could not be written (nothing is
// left behind) or the name is taken, by a file of any kind.
int ScreenshotWritePng( const std::string &path, const uint8_t *pixels, int pitch, int width, int height,
                        const HostPaletteEntry *palette );

#endif
