#ifndef KELTO_HOST_WEB_WEBAUDIO_H
#define KELTO_HOST_WEB_WEBAUDIO_H

#include <cstddef>
#include <cstdint>

// The game's sounds in a browser, through Web Audio: each WAV file becomes an AudioBuffer
// once, and a started sound plays on one of a few voices through its own gain and stereo
// panner. The page resumes the audio at the first key press or click, as browsers require;
// until then sounds start silently and are dropped, never waited for.
class WebAudio {
public:
    static const int VOICES = 8;

    WebAudio();
    virtual ~WebAudio();

    // 16-bit or 8-bit PCM WAV in memory; a sound number above 0, or 0.
    int Load( const uint8_t *bytes, size_t size );
    int Start( int sound, int pan, int volume, int loop );
    void Stop( int voice );

private:
    int sounds;  // loaded so far
    int started; // voices started so far; a voice's number tells which start it was
};

// Finds the PCM samples of a WAV file: 1 and the format, or 0 for anything else. Plain C++,
// tested on every build.
struct WavPcm {
    int channels;
    int sampleRate;
    int bitsPerSample;
    const uint8_t *samples;
    size_t sampleBytes;
};
int WebParseWav( const uint8_t *bytes, size_t size, WavPcm &pcm );

#endif
