#ifndef KELTO_HOST_SDL_SDLBACKEND_H
#define KELTO_HOST_SDL_SDLBACKEND_H

#include "host/HostBackend.h"
#include "host/HostKeyState.h"
#include "host/sdl/SdlAudio.h"

union SDL_Event;

// The real screen and keyboard, through SDL2: one window (borderless full screen on the
// desktop's own mode, or a resizable window), the 640 x 480 8-bit frame shown through its
// palette, scaled as the player chose (host/sdl/PictureScaling.h), at a steady 60 frames a
// second whatever the display's refresh; SDL's events become the window messages the game
// expects, and its key and gamepad events make the 256-byte DIK_ keyboard state through the
// player's bindings. Alt+Enter and F11 switch between full screen and the window, F12 saves
// the shown frame as a PNG; the game never sees those three. Sounds play through SDL_mixer
// (SdlAudio), silently where there is no audio device. With KELTO_STATS=1
// in the environment it tells on standard error, when the window closes, how many frames it
// showed and at what rate.
class SdlBackend : public HostBackend {
public:
    // Frames per second of wall time; the game counts all motion in frames.
    static const int FRAME_RATE = 60;

    explicit SdlBackend( int windowed );
    virtual ~SdlBackend();

    // Brings up SDL's video (and its gamepads when they are on); 1, or 0 when there is no
    // display (GetError says why).
    int Init();

    // SCALE_FIT, SCALE_INTEGER or SCALE_SMOOTH (the default).
    void SetScaleMode( int mode );
    // Gamepads on or off (off by default), and the stick's dead zone in percent of its travel.
    void SetGamepad( int enabled, int deadZonePercent );
    // The bindings and the state of every key and button.
    HostKeyState &GetKeyState();
    void ToggleFullScreen();
    int IsFullScreen() const { return fullScreen; }
    // Saves the last shown frame as a PNG and prints its path on standard output; 1 or 0.
    int SaveScreenshot();
    const char *GetError() const;

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
    int LoadSound( const char *name, const uint8_t *bytes, size_t size ) override;
    int StartSound( int sound, int pan, int volume, int loop ) override;
    void StopSound( int voice ) override;

    // The two halves of Present, apart for measuring: converting the frame into the texture,
    // and drawing the texture into the window and showing it.
    int UploadFrame( const uint8_t *pixels, int pitch, int width, int height,
                     const HostPaletteEntry *palette );
    void ShowFrame();

    // 0: Present returns as soon as the frame is shown (for measuring); 1 (the default).
    void SetPacing( int enabled ) { pacing = enabled; }

    int GetPresentedFrames() const { return presentedFrames; }

    // The renderer that draws the window and why it was chosen ("software, as nothing
    // accelerated is there"); empty without a window. KELTO_STATS reports it too.
    const char *GetRendererChoice();

private:
    struct Native;

    int PostToWindow( uint32_t message, uintptr_t wParam, intptr_t lParam );
    int HandleEvent( const SDL_Event &event );
    int HandleWindowEvent( int windowEvent );
    int HandleKeyEvent( const SDL_Event &event );
    int HandleShortcut( const SDL_Event &event );
    int HandlePadEvent( const SDL_Event &event );
    void PointAt( int windowX, int windowY, int click );
    void WindowedSize( int &width, int &height );
    void DrawPicture( int outputWidth, int outputHeight );
    int CreateTexture( int width, int height );
    void ForgetPicture( int texturesLost );
    void WaitForDeadline();
    void ReportStatistics();

    Native *native; // owned: SDL's window, renderer, texture and the frame's colour lookup
    SdlAudio audio;
    int windowed;
    int fullScreen; // the window's state now, switched by Alt+Enter and F11
    int scaleMode;
    int gamepad;
    int padDeadZone; // in the stick's own units
    int sdlStarted;
    int closePosted;      // WM_CLOSE goes to the window once, however SDL says it
    int hasFocus;         // from SDL's focus events; the window starts in front
    int keyboardAcquired; // cleared when focus goes, set again by AcquireKeyboard
    int pacing;
    int presentedFrames;
};

#endif
