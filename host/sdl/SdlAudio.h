#ifndef KELTO_HOST_SDL_SDLAUDIO_H
#define KELTO_HOST_SDL_SDLAUDIO_H

#include <cstddef>
#include <cstdint>

struct Mix_Chunk;

// The game's sounds through SDL_mixer: the audio device is opened when the first sound is
// loaded (so a game that never asks for sound never touches it), sounds are decoded once into
// the device's format, and each start takes a free one of a few voices with its own panning
// and volume. Without a device, or with every voice busy, a sound is simply not played.
class SdlAudio {
public:
    static const int VOICES = 6;
    static const int SAMPLE_RATE = 22050; // the rate our sounds are made at: no resampling
    static const int BUFFER_FRAMES = 512; // about 23 ms between a start and hearing it
    static const int MAX_SOUNDS = 32;

    SdlAudio();
    virtual ~SdlAudio();

    int Load( const uint8_t *bytes, size_t size );
    int Start( int sound, int pan, int volume, int loop );
    void Stop( int voice );
    void Close();

    int IsOpen() const { return opened; }

private:
    SdlAudio( const SdlAudio & ) = delete;
    SdlAudio &operator=( const SdlAudio & ) = delete;

    int Open();

    Mix_Chunk *chunks[MAX_SOUNDS]; // owned; sound n is chunks[n - 1]
    int chunkCount;
    int voiceOnChannel[VOICES]; // the voice number each channel was last started as
    int lastVoice;
    int opened;
    int tried; // the device is tried once; without one the game stays silent
};

#endif
