#ifndef KELTO_REPLAY_REPLAYSESSION_H
#define KELTO_REPLAY_REPLAYSESSION_H

// The recording or the replay of one run of the game, as the game's frame sees it. Recording
// notes the key state the game reads each frame, the tank columns of every match start, the
// wind of every turn and, every 60 frames, the state's checksum. A replay checks the whole
// file first, refusing a bad one, then reads it a block at a time, standing in for the
// keyboard and for the drawing of tank columns and winds, and compares the state's checksum every 60 frames,
// stopping the game at the first difference. A timedemo is a replay run as fast as it goes, which ends with
// one line of figures. Nothing here asks for memory.

#include "game/TankPlacement.h"
#include "play/Wind.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayReader.h"
#include "replay/ReplayRecorder.h"
#include "replay/ReplayStream.h"

#include <chrono>
#include <cstdint>

class ReplaySession : public TankColumnSource, public WindSource {
public:
    // A referee plays the stream of an online match as it arrives, as fast as it comes, and
    // prints the state's checksum after every 60 frames instead of comparing it: it is the
    // truth the players' checksums are held against.
    enum Mode { MODE_OFF, MODE_RECORD, MODE_REPLAY, MODE_TIMEDEMO, MODE_REFEREE };

    ReplaySession();
    virtual ~ReplaySession();

    // Before the first match's tanks are placed: creates the recording, or reads and checks
    // the replay against the game's version and the checksums of the pictures the game was
    // started with (`pictureNames` name them in a refusal). `rules` are the options that
    // change play, kept in the recording. 1, or 0 after one line on standard error naming
    // the file and the reason. Installs the session as the tank column source and the wind
    // source, in front of the ones there were (which a recording still asks, and Finish puts
    // back).
    // A replay started without checksums (null) checks its pictures later, with CheckPictures,
    // once the game knows from the recording's rules which pictures to read.
    int Start( Mode mode, const char *fileName, const char *gameVersion,
               const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
               const char *const pictureNames[REPLAY_PICTURE_COUNT], const int32_t *rules, int ruleCount );
    // Where a referee's recording comes from (not owned), before Start with MODE_REFEREE.
    void SetRefereeStream( ReplayStream *stream ) { refereeStream = stream; }
    // A replay's pictures against the recording's checksums: 1, or 0 after one line naming
    // the first picture that differs (the replay must not start).
    int CheckPictures( const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                       const char *const pictureNames[REPLAY_PICTURE_COUNT] );

    Mode GetMode() const { return mode; }
    // 1 while a replay or a timedemo supplies the keys: no other key source may change them.
    int IsPlayback() const { return mode == MODE_REPLAY || mode == MODE_TIMEDEMO || mode == MODE_REFEREE; }
    // In a replay, the rules the game was recorded with.
    int GetRecordedRuleCount() const { return reader.GetRuleCount(); }
    int32_t GetRecordedRule( int index ) const { return reader.GetRule( index ); }

    // Before the frame's keys: whose tank's turn the frame plays (-1 for none, as in a won
    // match). A referee prints "FRAME turn TANK" whenever it changes, so that the relay can
    // hold the stream's turns against the game's.
    void NoteTurn( int tank );
    // In a replay the recorded keys stand in for `keys`; otherwise `keys` is given back.
    uint8_t *SupplyKeys( uint8_t *keys );
    // A recording notes the keys the game reads in this frame.
    void RecordKeys( const uint8_t *keys );
    // 1 when this frame closes a block of 60 and the state's checksum is due at EndFrame.
    int WantsChecksum() const;
    // After the frame's update: the checkpoint, and the end of a replay.
    void EndFrame( uint32_t checksum );

    // After the first match's tanks are placed: 1, or 0 after one line when a recording
    // could not keep even its start (the file is removed and the game must not start).
    int ConfirmStart();

    // Gives up a replay before it starts, with one line naming the file and `reason`.
    int Refuse( const char *reason );

    // At the game's end, with the state's checksum: a recording writes its last frames and
    // its end, a timedemo prints its line. Uninstalls the session. Returns the exit code it
    // asks for: 0, or 1 after one line on standard error.
    int Finish( uint32_t checksum );

    void Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) override;
    int ChooseWind() override;

private:
    ReplaySession( const ReplaySession & ) = delete;
    ReplaySession &operator=( const ReplaySession & ) = delete;

    void Report( const char *reason );
    void Stop( const char *reason );
    void Diverge();
    void NextChunk();
    void EndRefereeWithoutBlock();
    void CheckRecorder( int ending );

    Mode mode;
    TankColumnSource *drawingSource; // not owned; who drew the columns before, null for rand()
    WindSource *windDrawingSource;   // not owned; who drew the winds before, null for rand()
    char fileName[4096];
    const char *gameVersion; // not owned: the game's own, a literal
    ReplayRecorder recorder;
    ReplayReader reader;
    ReplayStream *refereeStream; // not owned
    ReplayChunk chunk;           // the replay's block of the current frame and the match starts before it
    uint8_t keyState[256];
    int frame;            // frames run so far
    int runIndex;         // the chunk's run of the current frame
    int runLeft;          // frames left in that run
    int startIndex;       // the chunk's next match start
    int windIndex;        // the chunk's next wind
    int diverged;         // the frame at which the replay went its own way, or -1
    int turnNoted;        // the tank whose turn the referee printed last; -2 before the first
    int recordingStopped; // the recorder's failure was said
    int exitCode;
    std::chrono::steady_clock::time_point startTime;
};

#endif
