#ifndef KELTO_HOST_SDL_SDLKEYMAP_H
#define KELTO_HOST_SDL_SDLKEYMAP_H

// How SDL's keys become the codes the game was written against: the keyboard state is read
// by DIK_ code (set-1 scan code, 0x80 added for the extended keys), and key messages carry
// Windows virtual-key codes. Plain ints, so that this header stays free of SDL.

// One key of the keyboard state: an SDL scancode and its DIK_ code.
struct SdlDikKey {
    int scancode;
    int dik;
};

// Every SDL scancode that has a DIK_ code, each once; `count` receives the length.
const SdlDikKey *SdlGetDikKeys( int *count );

// The DIK_ code of an SDL scancode, or 0 when the key has none.
int SdlScancodeToDik( int scancode );

// The virtual-key code a WM_KEYDOWN carries for an SDL key (its keycode for letters and
// digits, which follow the layout, and its scancode for the rest), or 0 when it has none.
int SdlKeyToVirtualKey( int keycode, int scancode );

#endif
