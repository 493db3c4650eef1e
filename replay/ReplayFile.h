#ifndef KELTO_REPLAY_REPLAYFILE_H
#define KELTO_REPLAY_REPLAYFILE_H

// A recorded game as read back from its file (docs/replay-format.md): who recorded it, on
// which pictures and rules, the tank columns of every match start, the wind of every turn, and
// the keys of every
// frame in blocks of 60 frames, each block closed by the checksum of the game's state after
// its last frame. This is the whole recording in memory, for tools, tests and fuzzers; the
// game plays a recording through ReplayReader, a block at a time, which reads and checks
// the file the same way.

#include "game/TankPlacement.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

const char REPLAY_MAGIC[8] = { 'K', 'E', 'L', 'T', 'O', 'R', 'E', 'C' };
// 2: the default game's rules of turns, health and the last tank standing (rule 1 is the start
// health), the wind of every turn and the weapons' keys. A recording of format 1 was played by
// the rules of hits and is refused by name.
const int REPLAY_FORMAT_VERSION = 2;
const int REPLAY_BLOCK_FRAMES = 60; // one second of play between checksums
const int REPLAY_PICTURE_COUNT = 4; // background, land, tank, bomb
const int REPLAY_MAX_VERSION_LENGTH = 32;
const int REPLAY_MAX_RULES = 16;
// Far beyond any real recording (weeks of play); a longer file is not a recording.
const int64_t REPLAY_MAX_FILE_SIZE = 64 * 1024 * 1024;

const uint8_t REPLAY_TAG_MATCH = 'S';
const uint8_t REPLAY_TAG_KEYS = 'K';
const uint8_t REPLAY_TAG_END = 'E';
const uint8_t REPLAY_TAG_WIND = 'W';
// Stronger than any wind the game draws; a file with a stronger one is not a recording.
const int REPLAY_MAX_WIND = 100;

class ReplayReader;

struct ReplayMatchStart {
    int frame; // the frame during which the match started; 0 for the first
    int columns[TANK_PLACEMENT_COUNT];
};

// The wind drawn for a new turn, in steps, during the frame whose keys came last (0 for one
// drawn before the first frame).
struct ReplayWind {
    int frame;
    int steps;
};

// `length` frames in a row with the same keys held.
struct ReplayRun {
    uint16_t keys;
    int length;
};

struct ReplayBlock {
    int firstFrame;
    int frames;
    uint32_t checksum; // the state after the block's last frame
    int firstRun;      // index into the runs
    int runCount;
};

class ReplayFile {
public:
    ReplayFile();
    virtual ~ReplayFile();

    // Reads and checks a whole file; 1, or 0 with GetError saying what is wrong.
    int Load( const char *fileName );
    int Parse( const uint8_t *bytes, size_t size );

    const char *GetError() const { return error.c_str(); }
    const std::string &GetGameVersion() const { return gameVersion; }
    uint32_t GetPictureChecksum( int index ) const { return pictureChecksums[index]; }
    const std::vector<int32_t> &GetRules() const { return rules; }
    const std::vector<ReplayMatchStart> &GetMatchStarts() const { return matchStarts; }
    const std::vector<ReplayWind> &GetWinds() const { return winds; }
    const std::vector<ReplayBlock> &GetBlocks() const { return blocks; }
    const std::vector<ReplayRun> &GetRuns() const { return runs; }
    int GetFrameCount() const { return frameCount; }
    // 1 when the recording was ended properly; a recording cut short by a crash has no end.
    int GetFinished() const { return finished; }

private:
    void Clear();
    int Collect( ReplayReader &reader );

    std::string error;
    std::string gameVersion;
    uint32_t pictureChecksums[REPLAY_PICTURE_COUNT];
    std::vector<int32_t> rules;
    std::vector<ReplayMatchStart> matchStarts;
    std::vector<ReplayWind> winds;
    std::vector<ReplayBlock> blocks;
    std::vector<ReplayRun> runs;
    int frameCount;
    int finished;
};

#endif
