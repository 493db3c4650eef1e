#ifndef KELTO_FUZZ_STARTUPFUZZING_H
#define KELTO_FUZZ_STARTUPFUZZING_H

// What the two start-up fuzz targets share: one input split into the game's four pictures,
// the whole start-up on them with a few frames of play on the headless backend, and the
// rules it must keep: it starts exactly when every picture is readable and of a size the
// game takes, and a started game stands on a whole land with four tanks on it.
//
// Input: three little-endian 32-bit lengths (each cut to what is left), then the background,
// the land and the tank picture of those lengths, then the bomb picture (the rest).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The four pictures of one input; bytes[i] belongs to STARTUP_PICTURE_NAMES[i].
struct StartupPictures {
    std::vector<uint8_t> bytes[4];
};

extern const char *const STARTUP_PICTURE_NAMES[4];

StartupPictures SplitStartupInput( const uint8_t *data, size_t size );
std::vector<uint8_t> JoinStartupInput( const StartupPictures &pictures );

// Runs start-up from the data folder `folder` (ending in '/', or empty), where each picture
// is found as a memory file or on the disk, then `frames` frames holding the keys chosen by
// `keys`; checks the rules. The game's display is brought up on the first call.
void FuzzStartupOnce( const std::string &folder, int frames, uint8_t keys );

// Seeds: good pictures of the game's shapes, and the same with each picture broken.
void WriteStartupSeeds( const char *directory, uint8_t prefix, bool withPrefix );

#endif
