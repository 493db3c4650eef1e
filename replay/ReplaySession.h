#ifndef KELTO_REPLAY_REPLAYSESSION_H
#define KELTO_REPLAY_REPLAYSESSION_H

// The recording or the replay of one run of the game, as the game's frame sees it. Recording
// notes the key state the game reads each frame, the tank columns of every match start and,
// every 60 frames, the state's checksum. A replay reads the whole file first, refusing a bad
// one, then stands in for the keyboard and for the drawing of tank columns, and compares
// the state's checksum every 60 frames, stopping the game at the first difference. A
// timedemo is a replay run as fast as it goes, which ends with one line of figures.

#include "game/TankPlacement.h"
#include "play/Wind.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayRecorder.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ReplaySession : public TankColumnSource, public WindSource {
public:
    enum Mode { MODE_OFF, MODE_RECORD, MODE_REPLAY, MODE_TIMEDEMO };

    ReplaySession();
    virtual ~ReplaySession();

    // Before the first match's tanks are placed: creates the recording, or reads and checks
    // the replay against the game's version and pictures. `rules` are the options that
    // change play, kept in the recording. 1, or 0 after one line on standard error naming
    // the file and the reason. Installs the session as the tank column source, in front of
    // the one there was (which a recording still asks, and Finish puts back).
    int Start( Mode mode, const char *fileName, const char *gameVersion,
               const char *const pictureFiles[REPLAY_PICTURE_COUNT], const std::vector<int32_t> &rules );

    Mode GetMode() const { return mode; }
    // 1 while a replay or a timedemo supplies the keys: no other key source may change them.
    int IsPlayback() const { return mode == MODE_REPLAY || mode == MODE_TIMEDEMO; }
    // In a replay, the rules the game was recorded with.
    const std::vector<int32_t> &GetRecordedRules() const { return replay.GetRules(); }

    // In a replay the recorded keys stand in for `keys`; otherwise `keys` is given back.
    uint8_t *SupplyKeys( uint8_t *keys );
    // A recording notes the keys the game reads in this frame.
    void RecordKeys( const uint8_t *keys );
    // 1 when this frame closes a block of 60 and the state's checksum is due at EndFrame.
    int WantsChecksum() const;
    // After the frame's update: the checkpoint, and the end of a replay.
    void EndFrame( uint32_t checksum );

    // At the game's end, with the state's checksum: a recording writes its last frames and
    // its end, a timedemo prints its line. Uninstalls the session. Returns the exit code it
    // asks for: 0, or 1 after one line on standard error.
    int Finish( uint32_t checksum );

    void Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) override;
    int ChooseWind() override;

private:
    ReplaySession( const ReplaySession & ) = delete;
    ReplaySession &operator=( const ReplaySession & ) = delete;

    int Refuse( const char *reason );
    void Report( const char *reason );
    void Stop( const char *reason );
    void Diverge();
    int CheckPictures( const char *const pictureFiles[REPLAY_PICTURE_COUNT] );

    Mode mode;
    TankColumnSource *drawingSource; // not owned; who drew the columns before, null for rand()
    WindSource *windDrawingSource;   // not owned; who drew the winds before, null for rand()
    std::string fileName;
    std::string gameVersion;
    ReplayRecorder recorder;
    ReplayFile replay;
    uint8_t keyState[256];
    int frame;      // frames run so far
    int blockIndex; // the replay's block of the current frame
    int runIndex;   // its run
    int runLeft;    // frames left in that run
    int matchIndex; // the next recorded match start
    int windIndex;  // the next recorded wind
    int diverged;   // the frame at which the replay went its own way, or -1
    int exitCode;
    std::chrono::steady_clock::time_point startTime;
};

#endif
