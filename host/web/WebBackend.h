#ifndef KELTO_HOST_WEB_WEBBACKEND_H
#define KELTO_HOST_WEB_WEBBACKEND_H

#include "host/HostBackend.h"
#include "host/HostKeyState.h"
#include "host/web/WebAudio.h"

#include <cstdint>
#include <string>
#include <vector>

// The browser's canvas and keyboard, through Emscripten's HTML5 API: the 8-bit frame shown
// through its palette on the page's 640 x 480 canvas, key events (while the canvas has the
// focus, and never the browser's own keys) turned into the 256-byte DIK_ keyboard state and
// into key messages, and a window that loses focus or a tab that is hidden making the game
// inactive, as switching away does on a desktop. The browser calls back between animation
// frames, so events become messages as they happen; a tab cannot block, so PumpEvents never
// waits and the frame loop is driven one step per animation frame (app/WebMain.cpp).
class WebBackend : public HostBackend {
public:
    WebBackend();
    virtual ~WebBackend();

    // Registers the event callbacks on the page; `canvas` is the canvas's CSS selector.
    // 1 or 0.
    int Init( const char *canvas );

    int OpenWindow( const char *caption ) override;
    void CloseWindow() override;
    void PumpEvents( int wait ) override;
    int SetDisplayMode( int width, int height, int bitsPerPixel ) override;
    int GetSurfacePitch( int width ) override;
    void Present( const uint8_t *pixels, int pitch, int width, int height,
                  const HostPaletteEntry *palette ) override;
    HostResult ReadKeys( uint8_t keys[256] ) override;
    HostResult AcquireKeyboard() override;
    int TakeLastInput() override;
    int ReadPointer( HostPointerState &state ) override;
    int LoadSound( const char *fileName, const uint8_t *bytes, size_t size ) override;
    int StartSound( int sound, int pan, int volume, int loop ) override;
    void StopSound( int voice ) override;

    // From the page's events: a key by its KeyboardEvent.code and keyCode (a key let go that
    // the game never saw pressed is not its); focus and visibility. 1 when the game took the
    // key.
    int HandleKey( const char *code, unsigned keyCode, int down, int repeat );
    void HandleActive( int focused, int visible );
    // The mouse over the canvas, in the canvas's own pixels; a point off it is dropped.
    void HandlePointer( int x, int y, int click );

    int GetActive() const { return focused && visible; }
    int GetPresentedFrames() const { return presentedFrames; }

private:
    // More changed pieces than this, and the whole frame is converted.
    static const int MAX_FRAME_SPANS = 16;

    void PostToWindow( uint32_t message, uintptr_t wParam, intptr_t lParam );
    void ConvertChanges( const uint8_t *pixels, int pitch, int width, int height );

    WebAudio audio;
    HostKeyState keyState;      // quick taps read as down once, as on the desktop
    HostPointer pointer;        // quick clicks too
    std::string canvasSelector; // the canvas the mouse is heard on
    int canvasWidth;            // its pixels, from SetDisplayMode
    int canvasHeight;
    std::vector<uint32_t> rgba; // the frame in the canvas's byte order
    std::vector<uint8_t> shown; // the 8-bit frame rgba holds; empty when it must be made whole
    uint32_t lookup[256];
    HostPaletteEntry lookupPalette[256];
    int lookupValid;
    int focused;
    int visible;
    uint8_t held[256];    // the keys the game saw pressed and not yet let go
    int keyboardAcquired; // lost with the focus until the game takes it back
    int windowOpen;
    int presentedFrames;
};

#endif
