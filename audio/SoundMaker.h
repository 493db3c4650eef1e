#ifndef KELTO_AUDIO_SOUNDMAKER_H
#define KELTO_AUDIO_SOUNDMAKER_H

#include "audio/SoundBank.h"

#include <cstdint>
#include <string>
#include <vector>

// Makes one of the game's sounds as a 22050 Hz, 16-bit mono WAV file, by our own synthesis:
// noise, sine sweeps and soft pulse waves through one-pole filters and exponential envelopes,
// with fixed-seed noise, so every run makes the same bytes. tools/make_sounds writes them into
// the assets; the browser build makes them at start-up rather than download them.
class SoundMaker {
public:
    SoundMaker();
    virtual ~SoundMaker();

    // Makes the sound; 1, or 0 (and no sound) for a name outside the bank.
    int Make( SoundName name );

    // Writes the sound made last as the file `path`, replacing what it held; 1 or 0.
    int WriteFile( const std::string &path ) const;

    const std::vector<uint8_t> &GetWav() const { return wav; }
    double GetSeconds() const { return seconds; }

private:
    std::vector<uint8_t> wav; // the whole WAV file; empty until Make succeeds
    double seconds;
};

#endif
