#include "replay/ReplayRecorder.h"

#include "host/HostFile.h"

#include <cstdio>
#include <cstring>

ReplayRecorder::ReplayRecorder()
    : file( nullptr ), pendingSize( 0 ), runCount( 0 ), blockFrames( 0 ), frameCount( 0 ), currentFrame( 0 ),
      written( 0 ), keptFrames( 0 ), writeFailed( 0 ) {
    error[0] = '\0';
}

ReplayRecorder::~ReplayRecorder() {
    HostFileClose( file );
}

void ReplayRecorder::Put( uint32_t value, int bytes ) {
    for ( int i = 0; i < bytes && pendingSize < PENDING_SIZE; i++ ) {
        pending[pendingSize++] = uint8_t( value >> ( 8 * i ) );
    }
}

void ReplayRecorder::PutBytes( const void *bytes, int count ) {
    const uint8_t *from = static_cast<const uint8_t *>( bytes );
    for ( int i = 0; i < count && pendingSize < PENDING_SIZE; i++ ) {
        pending[pendingSize++] = from[i];
    }
}

void ReplayRecorder::Fail( const char *reason ) {
    std::snprintf( error, sizeof( error ), "%s", reason );
    writeFailed = 1;
}

int ReplayRecorder::Create( const char *fileName, const char *gameVersion,
                            const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT], const int32_t *rules,
                            int ruleCount ) {
    HostFileClose( file );
    pendingSize = 0;
    runCount = 0;
    blockFrames = 0;
    frameCount = 0;
    currentFrame = 0;
    written = 0;
    keptFrames = 0;
    writeFailed = 0;
    error[0] = '\0';
    file = HostFileCreate( fileName, 0 );
    if ( file == nullptr ) {
        std::snprintf( error, sizeof( error ), "%s", HostFileGetOpenError() );
        return 0;
    }
    // A name given by mistake (a picture, a document) must not lose its file.
    char magic[sizeof( REPLAY_MAGIC )];
    if ( HostFileGetSize( file ) > 0 &&
         ( HostFileRead( file, magic, sizeof( magic ) ) != int64_t( sizeof( magic ) ) ||
           std::memcmp( magic, REPLAY_MAGIC, sizeof( magic ) ) != 0 ) ) {
        std::snprintf( error, sizeof( error ), "is not a recording; it is left as it is" );
        HostFileClose( file );
        file = nullptr;
        return 0;
    }
    if ( !HostFileTruncate( file, 0 ) ) {
        Fail( HostFileGetError( file ) );
        return 0;
    }
    size_t length = std::strlen( gameVersion );
    if ( length > size_t( REPLAY_MAX_VERSION_LENGTH ) ) {
        length = size_t( REPLAY_MAX_VERSION_LENGTH );
    }
    PutBytes( REPLAY_MAGIC, int( sizeof( REPLAY_MAGIC ) ) );
    Put( REPLAY_FORMAT_VERSION, 2 );
    Put( uint32_t( length ), 1 );
    PutBytes( gameVersion, int( length ) );
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        Put( pictureChecksums[i], 4 );
    }
    const int count = ruleCount < REPLAY_MAX_RULES ? ruleCount : REPLAY_MAX_RULES;
    Put( uint32_t( count ), 1 );
    for ( int i = 0; i < count; i++ ) {
        Put( uint32_t( rules[i] ), 4 );
    }
    WritePending();
    if ( writeFailed ) {
        // Nothing of the player's is lost: the file was a recording, or nothing.
        HostFileClose( file );
        file = nullptr;
        HostFileRemove( fileName );
        return 0;
    }
    return 1;
}

// Kept until the block it falls in is written, so that it reaches the disk with its keys.
// The first goes at once: header and first match are a recording of no frames, which plays.
void ReplayRecorder::AddMatchStart( const int columns[TANK_PLACEMENT_COUNT] ) {
    Put( REPLAY_TAG_MATCH, 1 );
    Put( uint32_t( currentFrame ), 4 );
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        Put( uint32_t( columns[i] ), 4 );
    }
    if ( frameCount == 0 ) {
        WritePending();
    }
}

void ReplayRecorder::AddWind( int steps ) {
    Put( REPLAY_TAG_WIND, 1 );
    Put( uint32_t( currentFrame ), 4 );
    Put( uint32_t( int32_t( steps ) ), 4 );
}

int ReplayRecorder::AddFrame( uint16_t keys ) {
    currentFrame = frameCount;
    if ( runCount > 0 && blockRuns[runCount - 1].keys == keys ) {
        blockRuns[runCount - 1].length += 1;
    } else if ( runCount < REPLAY_BLOCK_FRAMES ) {
        blockRuns[runCount++] = ReplayRun{ keys, 1 };
    }
    blockFrames += 1;
    frameCount += 1;
    return blockFrames == REPLAY_BLOCK_FRAMES ? 1 : 0;
}

void ReplayRecorder::EndBlock( uint32_t checksum ) {
    if ( blockFrames == 0 ) {
        return;
    }
    Put( REPLAY_TAG_KEYS, 1 );
    Put( uint32_t( frameCount - blockFrames ), 4 );
    Put( uint32_t( blockFrames ), 1 );
    Put( uint32_t( runCount ), 1 );
    for ( int i = 0; i < runCount; i++ ) {
        Put( blockRuns[i].keys, 2 );
        Put( uint32_t( blockRuns[i].length ), 1 );
    }
    Put( checksum, 4 );
    const int frames = blockFrames;
    runCount = 0;
    blockFrames = 0;
    WritePending();
    if ( !writeFailed ) {
        keptFrames += frames;
    }
}

// Written at once, past any buffer of ours: a crash then loses only the block being
// gathered. A write cut short by a full disk is taken back off the file.
void ReplayRecorder::WritePending() {
    if ( file != nullptr && !writeFailed && pendingSize > 0 ) {
        if ( HostFileWrite( file, pending, pendingSize ) ) {
            written += pendingSize;
        } else {
            Fail( HostFileGetError( file ) );
            HostFileTruncate( file, written );
        }
    }
    pendingSize = 0;
}

void ReplayRecorder::Abandon() {
    HostFileClose( file );
    file = nullptr;
}

int ReplayRecorder::Finish( uint32_t checksum ) {
    if ( file == nullptr ) {
        return 0;
    }
    EndBlock( checksum );
    Put( REPLAY_TAG_END, 1 );
    Put( uint32_t( frameCount ), 4 );
    WritePending();
    if ( !writeFailed && !HostFileSync( file ) ) {
        Fail( HostFileGetError( file ) );
    }
    HostFileClose( file );
    file = nullptr;
    return writeFailed ? 0 : 1;
}
