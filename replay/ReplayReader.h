#ifndef KELTO_REPLAY_REPLAYREADER_H
#define KELTO_REPLAY_REPLAYREADER_H

// Reads a recording (docs/replay-format.md) a block at a time, so that playing a recording
// of any length holds one block in memory, never the whole file. Opening reads the header
// and checks every record to the end of the file before anything is played (a broken file
// is refused with its reason, not half played), then comes back to the first record; each
// later block is checked again as it is read, so a file changed meanwhile stops the replay
// instead of misleading it. Asks for no memory.

#include "replay/ReplayFile.h"

#include <cstddef>
#include <cstdint>

struct HostFile;
class ReplayStream;

// What comes before one block of keys and the block itself: the match starts recorded in
// it (at most one a frame), the winds drawn in it (at most one a frame, and one more before
// the first frame) and its runs.
struct ReplayChunk {
    ReplayMatchStart starts[REPLAY_BLOCK_FRAMES];
    int startCount;
    ReplayWind winds[REPLAY_BLOCK_FRAMES + 1];
    int windCount;
    int hasBlock; // 0 for match starts after the last block
    ReplayBlock block;
    ReplayRun runs[REPLAY_BLOCK_FRAMES]; // block.runCount of them; block.firstRun is 0
};

class ReplayReader {
public:
    ReplayReader();
    virtual ~ReplayReader();

    // Opens and checks the file, or the bytes (which must outlive the reader); 1, or 0 with
    // GetError saying what is wrong.
    int Open( const char *fileName );
    int OpenBytes( const uint8_t *bytes, size_t size );
    // Reads the header of a recording that arrives while it is played; its records are checked
    // one chunk at a time as they come, since there is no end to check first. Its frame count
    // is unknown (INT32_MAX) until Next finds the end of the stream.
    int OpenStream( ReplayStream *stream );
    void Close();

    // The next chunk in the file: 1, 0 at the end, -1 with GetError when the rest is broken.
    int Next( ReplayChunk &chunk );

    const char *GetError() const { return error; }
    const char *GetGameVersion() const { return gameVersion; }
    uint32_t GetPictureChecksum( int index ) const { return pictureChecksums[index]; }
    int GetRuleCount() const { return ruleCount; }
    int32_t GetRule( int index ) const { return rules[index]; }
    // The whole file's, as the check found them.
    int GetFrameCount() const { return totalFrames; }
    int GetMatchCount() const { return totalMatches; }
    // 1 when the recording was ended properly; a recording cut short by a crash has no end.
    int GetFinished() const { return totalFinished; }

private:
    ReplayReader( const ReplayReader & ) = delete;
    ReplayReader &operator=( const ReplayReader & ) = delete;

    static const int BUFFER_SIZE = 16384;

    int Start();
    int Rewind();
    int Fail( const char *format, long long value = 0 );
    int Take( void *destination, size_t count );
    int Refill();
    int Unsigned( uint32_t &value, int bytes );
    int AtEnd();
    int ReadHeader();
    int ReadMatchStart( ReplayChunk &chunk );
    int ReadWind( ReplayChunk &chunk );
    int ReadKeys( ReplayChunk &chunk );
    int ReadEnd();

    HostFile *file;        // owned; null when reading bytes
    ReplayStream *stream;  // not owned; null unless reading a stream
    const uint8_t *bytes;  // not owned; the whole recording when reading bytes
    int64_t size;          // of the file
    int64_t offset;        // of the next byte to be read
    int64_t recordsOffset; // where the first record starts
    uint8_t buffer[BUFFER_SIZE];
    int bufferStart; // the next unread byte in the buffer
    int bufferEnd;

    char error[320];
    char gameVersion[REPLAY_MAX_VERSION_LENGTH + 1];
    uint32_t pictureChecksums[REPLAY_PICTURE_COUNT];
    int32_t rules[REPLAY_MAX_RULES];
    int ruleCount;

    // Where the reading is: frames in the blocks read, the last match start, the last
    // block's length, whether the end was read.
    int frameCount;
    int matchCount;
    int lastMatchFrame;
    int lastWindFrame;
    int lastBlockFrames;
    int finished;

    int totalFrames;
    int totalMatches;
    int totalFinished;
};

#endif
