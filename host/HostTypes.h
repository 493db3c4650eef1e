#ifndef KELTO_HOST_HOSTTYPES_H
#define KELTO_HOST_HOSTTYPES_H

// The small vocabulary that the host layer shares with the game: result codes, message
// numbers, key codes and the flags of the display calls. The numbers are the ones the classic
// desktop interfaces use, so the game's code reads the same on every backend.

#include <cstddef>
#include <cstdint>

typedef int32_t HostResult;

const HostResult HOST_OK = 0;
const HostResult DDERR_SURFACELOST = static_cast<HostResult>( 0x887601C2u );
const HostResult DDERR_WASSTILLDRAWING = static_cast<HostResult>( 0x8876021Cu );
const HostResult DDERR_GENERIC = static_cast<HostResult>( 0x80004005u );
const HostResult DDERR_INVALIDPARAMS = static_cast<HostResult>( 0x80070057u );
const HostResult DDERR_OUTOFMEMORY = static_cast<HostResult>( 0x8007000Eu );
const HostResult DDERR_NOTFOUND = static_cast<HostResult>( 0x887600FFu );
const HostResult DIERR_INPUTLOST = static_cast<HostResult>( 0x8007001Eu );
const HostResult DIERR_NOTACQUIRED = static_cast<HostResult>( 0x8007000Cu );

// Window messages.
const unsigned WM_NULL = 0x0000;
const unsigned WM_DESTROY = 0x0002;
const unsigned WM_CLOSE = 0x0010;
const unsigned WM_QUIT = 0x0012;
const unsigned WM_ACTIVATEAPP = 0x001C;
const unsigned WM_KEYDOWN = 0x0100;
const unsigned WM_KEYUP = 0x0101;
const unsigned WM_CHAR = 0x0102;

// Virtual key codes carried by WM_KEYDOWN (only Escape is read by the game).
const unsigned VK_ESCAPE = 27;

// Message peeking.
const unsigned PM_NOREMOVE = 0x0000;
const unsigned PM_REMOVE = 0x0001;

// Window style.
const unsigned WS_POPUP = 0x80000000u;
const int SW_SHOWDEFAULT = 10;

// Cooperative levels of the display.
const unsigned DDSCL_FULLSCREEN = 0x0001;
const unsigned DDSCL_ALLOWREBOOT = 0x0002;
const unsigned DDSCL_EXCLUSIVE = 0x0010;
const unsigned DDSCL_NORMAL = 0x0008;

// Which members of a surface description are valid.
const unsigned DDSD_CAPS = 0x00000001;
const unsigned DDSD_HEIGHT = 0x00000002;
const unsigned DDSD_WIDTH = 0x00000004;
const unsigned DDSD_BACKBUFFERCOUNT = 0x00000020;
const unsigned DDSD_CKSRCBLT = 0x00010000;

// Surface capabilities.
const unsigned DDSCAPS_BACKBUFFER = 0x00000004;
const unsigned DDSCAPS_COMPLEX = 0x00000008;
const unsigned DDSCAPS_FLIP = 0x00000010;
const unsigned DDSCAPS_OFFSCREENPLAIN = 0x00000040;
const unsigned DDSCAPS_PRIMARYSURFACE = 0x00000200;

// Flip, lock, fast blit and palette flags.
const unsigned DDFLIP_WAIT = 0x00000001;
const unsigned DDLOCK_WAIT = 0x00000001;
const unsigned DDBLTFAST_NOCOLORKEY = 0x00000000;
const unsigned DDBLTFAST_SRCCOLORKEY = 0x00000001;
const unsigned DDBLTFAST_WAIT = 0x00000010;
const unsigned DDPCAPS_8BIT = 0x00000004;

// Keyboard cooperative levels.
const unsigned DISCL_NONEXCLUSIVE = 0x00000002;
const unsigned DISCL_FOREGROUND = 0x00000004;

// Keyboard codes: set-1 scan codes, 0x80 added for the extended keys.
const int DIK_ESCAPE = 0x01;
const int DIK_BACK = 0x0E; // Backspace
const int DIK_Q = 0x10;
const int DIK_E = 0x12;
const int DIK_RETURN = 0x1C;
const int DIK_M = 0x32;
const int DIK_SPACE = 0x39;
const int DIK_F1 = 0x3B;
const int DIK_NUMPADENTER = 0x9C;
const int DIK_UP = 0xC8;
const int DIK_LEFT = 0xCB;
const int DIK_RIGHT = 0xCD;
const int DIK_DOWN = 0xD0;

// One entry of a 256-colour palette, in the order the display takes it.
struct HostPaletteEntry {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t flags;
};

// A rectangle with exclusive right and bottom edges, as the fast blit takes its source.
struct HostRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

class HostSurface;
struct HostWindow;
struct HostInstance;

#endif
