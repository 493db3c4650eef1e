#ifndef KELTO_HOST_HEADLESS_HEADLESSBACKEND_H
#define KELTO_HOST_HEADLESS_HEADLESSBACKEND_H

#include "host/HostBackend.h"
#include "host/HostKeyState.h"

#include <functional>
#include <string>
#include <vector>

// A backend without a screen, for tests: messages and key states come from a script, every
// presented frame is kept with its palette for inspection, surfaces can be given rows wider
// than their width, and the window, the mode and the keyboard can be made to fail.
class HeadlessBackend : public HostBackend {
public:
    HeadlessBackend();
    virtual ~HeadlessBackend();

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

    // A start or a stop of a sound, in the frame it happened (frames presented before it).
    // Any file loads as a sound; a sound is known by its file name.
    struct SoundEvent {
        int frame;
        int started; // 1 start, 0 stop
        std::string name;
        int pan;
        int volume;
        int loop;
        int voice;
    };
    const std::vector<SoundEvent> &GetSoundEvents() const { return soundEvents; }
    void ClearSoundEvents() { soundEvents.clear(); }

    // Script: post a message to the main window once `frame` frames have been presented.
    // While the game blocks for a message, time jumps to the next scripted one; with none
    // left, a blocked game is sent WM_CLOSE, so no test can hang.
    void PostAtFrame( int frame, uint32_t message, uintptr_t wParam, intptr_t lParam );

    // Called after each presented frame with the number of frames presented so far; lets a
    // test press keys, inject faults or post messages as the game runs.
    void SetFrameHook( std::function<void( int frame )> hook );

    // Key events go through the same key state as the real backend's: remapped by its
    // bindings, and a key pressed and let go between two reads reads as down once.
    void SetKey( int code, int down );
    HostKeyState &GetKeyState() { return keyState; }
    // The mouse, moved and clicked by the script in the picture's pixels.
    HostPointer &GetPointer() { return pointer; }
    void ReleaseAllKeys();
    void InjectInputLoss( int reads ); // the next `reads` key reads report the input lost

    void SetPitchPadding( int bytes ); // surfaces get rows this many bytes wider (default 32)
    void SetWindowFails( int fails );  // the next `fails` window openings are refused
    void SetModeFails( int fails );    // the next `fails` display modes are refused
    void SetPacing( int hertz );       // 0: frames are shown as fast as they come (the default)
    void SetKeepFrames( int keep );    // 0: presented frames are only counted, not kept
    // 1: each presented frame is converted to 32-bit pixels through its palette, as a desktop
    // window's present does, so that a whole frame can be measured; 0 (the default) skips it.
    void SetConvertFrames( int convert );
    const std::vector<uint32_t> &GetConvertedFrame() const { return converted; }

    int GetFrameCount() const { return frameCount; }
    int GetWindowOpen() const { return windowOpen; }
    int GetBlockingWaits() const { return blockingWaits; }
    int GetFrameWidth() const { return frameWidth; }
    int GetFrameHeight() const { return frameHeight; }
    // The last presented frame, rows packed (pitch = width), and its palette.
    const std::vector<uint8_t> &GetFrame() const { return frame; }
    const HostPaletteEntry *GetFramePalette() const { return framePalette; }
    uint8_t GetFramePixel( int x, int y ) const;

private:
    void KeepFrame( const uint8_t *pixels, int pitch, int width, int height,
                    const HostPaletteEntry *palette );
    void WaitForPacing();
    void ConvertPresented( const uint8_t *pixels, int pitch, int width, int height,
                           const HostPaletteEntry *palette );

    struct ScriptedMessage {
        int frame;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };

    std::vector<ScriptedMessage> script; // in the order posted
    static const int MAX_SOUNDS = 32;
    char soundNames[MAX_SOUNDS][32]; // sound n is soundNames[n - 1]; fixed, so loading never allocates
    int soundCount;
    std::vector<SoundEvent> soundEvents;
    std::function<void( int )> frameHook;
    HostKeyState keyState;
    HostPointer pointer;
    std::vector<uint8_t> frame;
    HostPaletteEntry framePalette[256];
    int frameWidth;
    int frameHeight;
    int frameCount;
    int windowOpen;
    int windowFails;
    int modeFails;
    int inputLossReads;
    int acquired;
    int pitchPadding;
    int pacingHertz;
    int keepFrames;
    int blockingWaits;
    int lastVoice;
    double nextFrameTime;
    std::vector<uint32_t> converted; // the last frame in 32-bit pixels, with SetConvertFrames
    uint32_t lookup[256];
    HostPaletteEntry lookupPalette[256];
    int lookupValid;
    int convertFrames;
};

#endif
