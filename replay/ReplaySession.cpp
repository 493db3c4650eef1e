#include "replay/ReplaySession.h"

#include "host/HostFile.h"
#include "host/HostText.h"
#include "host/HostWindow.h"
#include "replay/ReplayKeys.h"

#include <cstdio>
#include <cstring>

ReplaySession::ReplaySession()
    : mode( MODE_OFF ), drawingSource( nullptr ), windDrawingSource( nullptr ), gameVersion( "" ),
      refereeStream( nullptr ), frame( 0 ), runIndex( 0 ), runLeft( 0 ), startIndex( 0 ), windIndex( 0 ),
      diverged( -1 ), turnNoted( -2 ), recordingStopped( 0 ), exitCode( 0 ) {
    fileName[0] = '\0';
    std::memset( keyState, 0, sizeof( keyState ) );
    std::memset( &chunk, 0, sizeof( chunk ) );
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
    std::fprintf( stderr, "kelto: %s: %s\n", fileName, reason );
    mode = MODE_OFF;
    reader.Close();
    if ( GetTankColumnSource() == this ) {
        SetTankColumnSource( drawingSource );
    }
    drawingSource = nullptr;
    if ( GetWindSource() == this ) {
        SetWindSource( windDrawingSource );
    }
    windDrawingSource = nullptr;
    return 0;
}

int ReplaySession::Start( Mode newMode, const char *name, const char *version,
                          const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                          const char *const pictureNames[REPLAY_PICTURE_COUNT], const int32_t *rules,
                          int ruleCount ) {
    mode = MODE_OFF;
    if ( newMode == MODE_OFF ) {
        return 1;
    }
    std::snprintf( fileName, sizeof( fileName ), "%s", name != nullptr ? name : "" );
    gameVersion = version;
    frame = 0;
    runIndex = 0;
    runLeft = 0;
    startIndex = 0;
    windIndex = 0;
    diverged = -1;
    turnNoted = -2;
    recordingStopped = 0;
    exitCode = 0;
    std::memset( keyState, 0, sizeof( keyState ) );

    if ( newMode == MODE_RECORD ) {
        if ( !recorder.Create( fileName, version, pictureChecksums, rules, ruleCount ) ) {
            return Refuse( recorder.GetError() );
        }
    } else {
        const int opened =
            newMode == MODE_REFEREE ? reader.OpenStream( refereeStream ) : reader.Open( fileName );
        if ( !opened ) {
            return Refuse( reader.GetError() );
        }
        if ( pictureChecksums != nullptr && !CheckPictures( pictureChecksums, pictureNames ) ) {
            return 0;
        }
        if ( reader.Next( chunk ) < 0 ) {
            return Refuse( reader.GetError() );
        }
        runLeft = chunk.hasBlock ? chunk.runs[0].length : 0;
    }
    mode = newMode;
    EndRefereeWithoutBlock();
    if ( GetTankColumnSource() != this ) {
        drawingSource = GetTankColumnSource();
    }
    SetTankColumnSource( this );
    if ( IsPlayback() && reader.GetFrameCount() == 0 ) {
        // A recording without a frame: the game ends before its first.
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
    }
    if ( GetWindSource() != this ) {
        windDrawingSource = GetWindSource();
    }
    SetWindSource( this );
    return 1;
}

int ReplaySession::CheckPictures( const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                                  const char *const pictureNames[REPLAY_PICTURE_COUNT] ) {
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        if ( reader.GetPictureChecksum( i ) != pictureChecksums[i] ) {
            char reason[160];
            std::snprintf( reason, sizeof( reason ), "was recorded with another %s", pictureNames[i] );
            return Refuse( reason );
        }
    }
    return 1;
}

int ReplaySession::ConfirmStart() {
    if ( mode != MODE_RECORD || !recorder.GetWriteFailed() ) {
        return 1;
    }
    recorder.Abandon();
    HostFileRemove( fileName );
    return Refuse( recorder.GetError() );
}

void ReplaySession::NoteTurn( int tank ) {
    if ( mode != MODE_REFEREE || tank == turnNoted ) {
        return;
    }
    turnNoted = tank;
    // Flushed with the checksum that follows within 60 frames.
    std::printf( "%d turn %d\n", frame, tank );
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
    if ( !chunk.hasBlock || runIndex >= chunk.block.runCount ) {
        ReplayKeysToState( 0, keyState );
        return keyState;
    }
    ReplayKeysToState( chunk.runs[runIndex].keys, keyState );
    runLeft -= 1;
    if ( runLeft == 0 && ++runIndex < chunk.block.runCount ) {
        runLeft = chunk.runs[runIndex].length;
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
    if ( IsPlayback() && chunk.hasBlock ) {
        return frame == chunk.block.firstFrame + chunk.block.frames ? 1 : 0;
    }
    return 0;
}

// A full disk stops the recording, not the game: said once, when it happens.
void ReplaySession::CheckRecorder( int ending ) {
    if ( recorder.GetWriteFailed() && !recordingStopped ) {
        recordingStopped = 1;
        std::fprintf( stderr, "kelto: %s: recording stopped: %s; the file keeps the first %d frames%s\n",
                      fileName, recorder.GetError(), recorder.GetKeptFrames(),
                      ending ? "" : ", and the game goes on" );
        exitCode = 1;
    }
}

// The next block and the match starts before it; past the last, an empty chunk.
void ReplaySession::NextChunk() {
    const int got = reader.Next( chunk );
    runIndex = 0;
    startIndex = 0;
    windIndex = 0;
    runLeft = got > 0 && chunk.hasBlock ? chunk.runs[0].length : 0;
    if ( got < 0 ) {
        chunk.startCount = 0;
        chunk.windCount = 0;
        chunk.hasBlock = 0;
        Stop( reader.GetError() );
    } else if ( got == 0 ) {
        chunk.startCount = 0;
        chunk.windCount = 0;
        chunk.hasBlock = 0;
    }
    EndRefereeWithoutBlock();
}

// A referee's stream that has no more keys has ended, and so has the referee's game (a match
// start after the last keys changes nothing it could play).
void ReplaySession::EndRefereeWithoutBlock() {
    if ( mode == MODE_REFEREE && !chunk.hasBlock ) {
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
    }
}

void ReplaySession::EndFrame( uint32_t checksum ) {
    if ( mode == MODE_RECORD ) {
        if ( WantsChecksum() ) {
            recorder.EndBlock( checksum );
            CheckRecorder( 0 );
        }
        return;
    }
    if ( !IsPlayback() ) {
        return;
    }
    const int blockDone = WantsChecksum();
    if ( blockDone && mode == MODE_REFEREE ) {
        std::printf( "%d %08x\n", frame, unsigned( checksum ) );
        std::fflush( stdout );
    } else if ( blockDone && chunk.block.checksum != checksum && diverged < 0 ) {
        diverged = frame;
    }
    // A match the recording started in this frame and the game did not.
    if ( startIndex < chunk.startCount && chunk.starts[startIndex].frame < frame && diverged < 0 ) {
        diverged = frame;
    }
    // Likewise a wind the recording drew in this frame and the game did not.
    if ( windIndex < chunk.windCount && chunk.winds[windIndex].frame < frame && diverged < 0 ) {
        diverged = frame;
    }
    if ( diverged >= 0 ) {
        Diverge();
        return;
    }
    if ( blockDone ) {
        NextChunk();
    }
    if ( IsPlayback() && frame >= reader.GetFrameCount() ) {
        // The end of the recording: the game closes as if Escape had been pressed.
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
    }
}

void ReplaySession::Report( const char *reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", fileName, reason );
    exitCode = 1;
}

// Ends the game at once, after the line that says why, with the exit code 1.
void ReplaySession::Stop( const char *reason ) {
    Report( reason );
    mode = MODE_OFF;
    HostPostQuitMessage( exitCode );
}

// The version comes from the file: it is shown escaped, so that it cannot break the line.
void ReplaySession::Diverge() {
    char reason[HOST_TEXT_SIZE + 96];
    const char *recorded = reader.GetGameVersion();
    if ( std::strcmp( recorded, gameVersion ) != 0 ) {
        char shown[HOST_TEXT_SIZE];
        std::snprintf( reason, sizeof( reason ), "replay diverges at frame %d (recorded by kelto %s)",
                       diverged, HostEscapeText( recorded, std::strlen( recorded ), shown ) );
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
    const int fileFrame = frame > 0 ? frame - 1 : 0;
    if ( startIndex >= chunk.startCount || chunk.starts[startIndex].frame != fileFrame ) {
        if ( diverged < 0 ) {
            diverged = frame;
        }
        return;
    }
    const ReplayMatchStart &start = chunk.starts[startIndex++];
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
    const int fileFrame = frame > 0 ? frame - 1 : 0;
    if ( windIndex >= chunk.windCount || chunk.winds[windIndex].frame != fileFrame ) {
        if ( diverged < 0 ) {
            diverged = frame;
        }
        return 0;
    }
    return chunk.winds[windIndex++].steps;
}

int ReplaySession::Finish( uint32_t checksum ) {
    if ( mode == MODE_RECORD ) {
        recorder.Finish( checksum );
        CheckRecorder( 1 );
    }
    if ( mode == MODE_TIMEDEMO && frame >= reader.GetFrameCount() ) {
        const int frames = reader.GetFrameCount();
        const double seconds =
            std::chrono::duration<double>( std::chrono::steady_clock::now() - startTime ).count();
        std::printf( "%s: %d frames, %.3f seconds, %.0f frames per second, state checksum %08x\n", fileName,
                     frames, frames > 0 ? seconds : 0.0, frames > 0 && seconds > 0.0 ? frames / seconds : 0.0,
                     unsigned( checksum ) );
        std::fflush( stdout );
    }
    reader.Close();
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
