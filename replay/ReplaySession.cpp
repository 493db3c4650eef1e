#include "replay/ReplaySession.h"

#include "host/HostFile.h"
#include "host/HostWindow.h"
#include "replay/ReplayKeys.h"
#include "replay/StateChecksum.h"

#include <cstdio>
#include <cstring>

namespace {

// The checksum of a whole file's bytes; 1, or 0 when it cannot be read.
int FileChecksum( const char *fileName, uint32_t &checksum ) {
    HostFile *file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        return 0;
    }
    const int64_t size = HostFileGetSize( file );
    std::vector<uint8_t> bytes( size_t( size > 0 ? size : 0 ) );
    const int64_t read = bytes.empty() ? 0 : HostFileRead( file, bytes.data(), size );
    HostFileClose( file );
    if ( read != size ) {
        return 0;
    }
    checksum = StateChecksum::OfBytes( bytes.data(), bytes.size() );
    return 1;
}

} // namespace

ReplaySession::ReplaySession()
    : mode( MODE_OFF ), drawingSource( nullptr ), windDrawingSource( nullptr ), frame( 0 ), blockIndex( 0 ),
      runIndex( 0 ), runLeft( 0 ), matchIndex( 0 ), windIndex( 0 ), diverged( -1 ), exitCode( 0 ) {
    std::memset( keyState, 0, sizeof( keyState ) );
}

ReplaySession::~ReplaySession() {
    if ( GetTankColumnSource() == this ) {
        SetTankColumnSource( drawingSource );
    }
    if ( GetWindSource() == this ) {
        SetWindSource( windDrawingSource );
    }
}

int ReplaySession::Refuse( const char *reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", fileName.c_str(), reason );
    mode = MODE_OFF;
    return 0;
}

int ReplaySession::Start( Mode newMode, const char *name, const char *version,
                          const char *const pictureFiles[REPLAY_PICTURE_COUNT],
                          const std::vector<int32_t> &rules ) {
    mode = MODE_OFF;
    if ( newMode == MODE_OFF ) {
        return 1;
    }
    fileName = name != nullptr ? name : "";
    gameVersion = version;
    frame = 0;
    blockIndex = 0;
    runIndex = 0;
    runLeft = 0;
    matchIndex = 0;
    windIndex = 0;
    diverged = -1;
    exitCode = 0;
    std::memset( keyState, 0, sizeof( keyState ) );

    uint32_t pictures[REPLAY_PICTURE_COUNT];
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        if ( !FileChecksum( pictureFiles[i], pictures[i] ) ) {
            std::fprintf( stderr, "kelto: %s: cannot be read\n", pictureFiles[i] );
            return 0;
        }
    }
    if ( newMode == MODE_RECORD ) {
        if ( !recorder.Create( fileName.c_str(), version, pictures, rules ) ) {
            return Refuse( recorder.GetError() );
        }
    } else {
        if ( !replay.Load( fileName.c_str() ) ) {
            return Refuse( replay.GetError() );
        }
        for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
            if ( replay.GetPictureChecksum( i ) != pictures[i] ) {
                char reason[160];
                std::snprintf( reason, sizeof( reason ), "was recorded with another %s", pictureFiles[i] );
                return Refuse( reason );
            }
        }
        runLeft = replay.GetRuns().empty() ? 0 : replay.GetRuns()[0].length;
    }
    mode = newMode;
    if ( GetTankColumnSource() != this ) {
        drawingSource = GetTankColumnSource();
    }
    SetTankColumnSource( this );
    if ( GetWindSource() != this ) {
        windDrawingSource = GetWindSource();
    }
    SetWindSource( this );
    return 1;
}

uint8_t *ReplaySession::SupplyKeys( uint8_t *keys ) {
    if ( mode == MODE_OFF ) {
        return keys;
    }
    if ( frame == 0 ) {
        startTime = std::chrono::steady_clock::now();
    }
    frame += 1;
    if ( !IsPlayback() ) {
        return keys;
    }
    const std::vector<ReplayRun> &runs = replay.GetRuns();
    if ( runIndex >= int( runs.size() ) ) {
        ReplayKeysToState( 0, keyState );
        return keyState;
    }
    ReplayKeysToState( runs[runIndex].keys, keyState );
    runLeft -= 1;
    if ( runLeft == 0 && ++runIndex < int( runs.size() ) ) {
        runLeft = runs[runIndex].length;
    }
    return keyState;
}

void ReplaySession::RecordKeys( const uint8_t *keys ) {
    if ( mode == MODE_RECORD ) {
        recorder.AddFrame( ReplayKeysFromState( keys ) );
    }
}

int ReplaySession::WantsChecksum() const {
    if ( mode == MODE_RECORD ) {
        return recorder.GetPendingFrames() == REPLAY_BLOCK_FRAMES ? 1 : 0;
    }
    if ( IsPlayback() && blockIndex < int( replay.GetBlocks().size() ) ) {
        const ReplayBlock &block = replay.GetBlocks()[blockIndex];
        return frame == block.firstFrame + block.frames ? 1 : 0;
    }
    return 0;
}

void ReplaySession::EndFrame( uint32_t checksum ) {
    if ( mode == MODE_RECORD ) {
        if ( WantsChecksum() ) {
            recorder.EndBlock( checksum );
        }
        return;
    }
    if ( !IsPlayback() ) {
        return;
    }
    if ( WantsChecksum() ) {
        if ( replay.GetBlocks()[blockIndex].checksum != checksum && diverged < 0 ) {
            diverged = frame;
        }
        blockIndex += 1;
    }
    // A match the recording started in this frame and the game did not.
    const std::vector<ReplayMatchStart> &starts = replay.GetMatchStarts();
    if ( matchIndex < int( starts.size() ) && starts[matchIndex].frame < frame && diverged < 0 ) {
        diverged = frame;
    }
    // Likewise a wind the recording drew in this frame and the game did not.
    const std::vector<ReplayWind> &winds = replay.GetWinds();
    if ( windIndex < int( winds.size() ) && winds[windIndex].frame < frame && diverged < 0 ) {
        diverged = frame;
    }
    if ( diverged >= 0 ) {
        Diverge();
    } else if ( frame >= replay.GetFrameCount() ) {
        // The end of the recording: the game closes as if Escape had been pressed.
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
    }
}

void ReplaySession::Report( const char *reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", fileName.c_str(), reason );
    exitCode = 1;
}

// Ends the game at once, after the line that says why, with the exit code 1.
void ReplaySession::Stop( const char *reason ) {
    Report( reason );
    mode = MODE_OFF;
    HostPostQuitMessage( exitCode );
}

void ReplaySession::Diverge() {
    char reason[128];
    if ( replay.GetGameVersion() != gameVersion ) {
        std::snprintf( reason, sizeof( reason ), "replay diverges at frame %d (recorded by kelto %s)",
                       diverged, replay.GetGameVersion().c_str() );
    } else {
        std::snprintf( reason, sizeof( reason ), "replay diverges at frame %d", diverged );
    }
    Stop( reason );
}

// A recording notes the columns drawn, by whoever draws them; a replay gives back the ones
// noted for this frame.
void ReplaySession::Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) {
    if ( drawingSource != nullptr ) {
        drawingSource->Choose( landWidth, columns );
    } else {
        DrawTankColumns( landWidth, columns );
    }
    if ( mode == MODE_RECORD ) {
        recorder.AddMatchStart( columns );
        return;
    }
    if ( !IsPlayback() ) {
        return;
    }
    const std::vector<ReplayMatchStart> &starts = replay.GetMatchStarts();
    const int fileFrame = frame > 0 ? frame - 1 : 0;
    if ( matchIndex >= int( starts.size() ) || starts[matchIndex].frame != fileFrame ) {
        if ( diverged < 0 ) {
            diverged = frame;
        }
        return;
    }
    const ReplayMatchStart &start = starts[matchIndex++];
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        if ( start.columns[i] >= landWidth ) {
            char reason[96];
            std::snprintf( reason, sizeof( reason ), "tank column %d is outside the %d-pixel land",
                           start.columns[i], landWidth );
            Stop( reason );
            return;
        }
        columns[i] = start.columns[i];
    }
}

// A recording notes the wind drawn, by whoever draws it; a replay gives back the one noted
// next, which must have been drawn in this frame.
int ReplaySession::ChooseWind() {
    if ( !IsPlayback() ) {
        const int steps = windDrawingSource != nullptr ? windDrawingSource->ChooseWind() : DrawWindSteps();
        if ( mode == MODE_RECORD ) {
            recorder.AddWind( steps );
        }
        return steps;
    }
    const std::vector<ReplayWind> &winds = replay.GetWinds();
    const int fileFrame = frame > 0 ? frame - 1 : 0;
    if ( windIndex >= int( winds.size() ) || winds[windIndex].frame != fileFrame ) {
        if ( diverged < 0 ) {
            diverged = frame;
        }
        return 0;
    }
    return winds[windIndex++].steps;
}

int ReplaySession::Finish( uint32_t checksum ) {
    if ( mode == MODE_RECORD && !recorder.Finish( checksum ) ) {
        char reason[160];
        std::snprintf( reason, sizeof( reason ), "cannot be written: %s", recorder.GetError() );
        Report( reason );
    }
    if ( mode == MODE_TIMEDEMO && frame >= replay.GetFrameCount() ) {
        const double seconds =
            std::chrono::duration<double>( std::chrono::steady_clock::now() - startTime ).count();
        std::printf( "%s: %d frames, %.3f seconds, %.0f frames per second, state checksum %08x\n",
                     fileName.c_str(), frame, seconds, seconds > 0.0 ? frame / seconds : 0.0,
                     unsigned( checksum ) );
        std::fflush( stdout );
    }
    if ( GetTankColumnSource() == this ) {
        SetTankColumnSource( drawingSource );
    }
    if ( GetWindSource() == this ) {
        SetWindSource( windDrawingSource );
    }
    drawingSource = nullptr;
    windDrawingSource = nullptr;
    mode = MODE_OFF;
    return exitCode;
}
