#ifndef KELTO_REPLAY_REPLAYRECORDER_H
#define KELTO_REPLAY_REPLAYRECORDER_H

// Writes a game into a recording file as it is played (docs/replay-format.md). The keys of
// each frame are gathered into runs; every 60 frames the block is closed with the checksum
// of the game's state and written straight to the file, so the file on disk is always a
// valid recording of all but the last second, whatever ends the program. A write that
// fails (a full disk) is cut back off the file, which then ends on its last whole record
// and plays; nothing more is written. Asks for no memory.

#include "game/TankPlacement.h"
#include "replay/ReplayFile.h"

#include <cstdint>
#include <vector>

struct HostFile;

class ReplayRecorder {
public:
    ReplayRecorder();
    virtual ~ReplayRecorder();

    // Creates the file (or takes over one that holds a recording) and writes its header; 1,
    // or 0 with GetError saying why. Any other file is left as it is.
    int Create( const char *fileName, const char *gameVersion,
                const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT], const int32_t *rules, int ruleCount );
    int Create( const char *fileName, const char *gameVersion,
                const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT], const std::vector<int32_t> &rules ) {
        return Create( fileName, gameVersion, pictureChecksums, rules.data(), int( rules.size() ) );
    }

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

    // Closes the file as it is, for a recording given up.
    void Abandon();

    int IsOpen() const { return file != nullptr; }
    int GetFrameCount() const { return frameCount; }
    // Frames added since the last block was written.
    int GetPendingFrames() const { return blockFrames; }
    // 1 once a write failed: the file keeps GetKeptFrames frames and takes no more.
    int GetWriteFailed() const { return writeFailed; }
    int GetKeptFrames() const { return keptFrames; }
    const char *GetError() const { return error; }

private:
    ReplayRecorder( const ReplayRecorder & ) = delete;
    ReplayRecorder &operator=( const ReplayRecorder & ) = delete;

    // The most one write holds: a match start and a wind in every frame of a block (and one
    // wind more before the first frame), the block, the end.
    static const int PENDING_SIZE = 4096;

    void Put( uint32_t value, int bytes );
    void PutBytes( const void *bytes, int count );
    void WritePending();
    void Fail( const char *reason );

    HostFile *file; // owned
    uint8_t pending[PENDING_SIZE];
    int pendingSize;
    ReplayRun blockRuns[REPLAY_BLOCK_FRAMES];
    int runCount;
    int blockFrames;
    int frameCount;
    int currentFrame; // the frame whose keys came last; 0 before the first
    int64_t written;  // bytes of whole records in the file
    int keptFrames;   // frames of the blocks in the file
    int writeFailed;
    char error[96];
};

#endif
