#ifndef KELTO_REPLAY_REPLAYRECORDER_H
#define KELTO_REPLAY_REPLAYRECORDER_H

// Writes a game into a recording file as it is played (docs/replay-format.md). The keys of
// each frame are gathered into runs; every 60 frames the block is closed with the checksum
// of the game's state and written out and flushed, so the file on disk is always a valid
// recording of all but the last second, whatever ends the program.

#include "game/TankPlacement.h"
#include "replay/ReplayFile.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class ReplayRecorder {
public:
    ReplayRecorder();
    virtual ~ReplayRecorder();

    // Creates the file and writes its header; 1, or 0 with GetError saying why.
    int Create( const char *fileName, const char *gameVersion,
                const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT], const std::vector<int32_t> &rules );

    // The columns of a match that starts during the frame whose keys came last (frame 0 for
    // the first match, which starts before any frame).
    void AddMatchStart( const int columns[TANK_PLACEMENT_COUNT] );

    // The wind drawn for a new turn during the frame whose keys came last.
    void AddWind( int steps );

    // The keys the game reads in the current frame. Returns 1 when this frame fills the
    // block, which then waits for the state's checksum in EndBlock.
    int AddFrame( uint16_t keys );
    void EndBlock( uint32_t checksum );

    // Writes what is left (a short last block closed with `checksum`) and the end, and
    // closes the file; 1, or 0 with GetError when anything could not be written.
    int Finish( uint32_t checksum );

    int IsOpen() const { return file != nullptr; }
    int GetFrameCount() const { return frameCount; }
    // Frames added since the last block was written.
    int GetPendingFrames() const { return blockFrames; }
    const char *GetError() const { return error.c_str(); }

private:
    ReplayRecorder( const ReplayRecorder & ) = delete;
    ReplayRecorder &operator=( const ReplayRecorder & ) = delete;

    void Put( uint32_t value, int bytes );
    void WritePending();

    FILE *file; // owned
    std::vector<uint8_t> pending;
    std::vector<ReplayRun> blockRuns;
    int blockFrames;
    int frameCount;
    int currentFrame; // the frame whose keys came last; 0 before the first
    int writeFailed;
    std::string error;
};

#endif
