#include "replay/ReplayRecorder.h"

#include <cerrno>
#include <cstring>

ReplayRecorder::ReplayRecorder()
    : file( nullptr ), blockFrames( 0 ), frameCount( 0 ), currentFrame( 0 ), writeFailed( 0 ) {
}

ReplayRecorder::~ReplayRecorder() {
    if ( file != nullptr ) {
        std::fclose( file );
    }
}

void ReplayRecorder::Put( uint32_t value, int bytes ) {
    for ( int i = 0; i < bytes; i++ ) {
        pending.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

int ReplayRecorder::Create( const char *fileName, const char *gameVersion,
                            const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                            const std::vector<int32_t> &rules ) {
    if ( file != nullptr ) {
        std::fclose( file );
    }
    pending.clear();
    blockRuns.clear();
    blockFrames = 0;
    frameCount = 0;
    currentFrame = 0;
    writeFailed = 0;
    error.clear();
    file = std::fopen( fileName, "wb" );
    if ( file == nullptr ) {
        error = std::strerror( errno );
        return 0;
    }
    size_t length = std::strlen( gameVersion );
    if ( length > size_t( REPLAY_MAX_VERSION_LENGTH ) ) {
        length = size_t( REPLAY_MAX_VERSION_LENGTH );
    }
    pending.insert( pending.end(), REPLAY_MAGIC, REPLAY_MAGIC + sizeof( REPLAY_MAGIC ) );
    Put( REPLAY_FORMAT_VERSION, 2 );
    Put( uint32_t( length ), 1 );
    pending.insert( pending.end(), gameVersion, gameVersion + length );
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        Put( pictureChecksums[i], 4 );
    }
    const size_t count =
        rules.size() < size_t( REPLAY_MAX_RULES ) ? rules.size() : size_t( REPLAY_MAX_RULES );
    Put( uint32_t( count ), 1 );
    for ( size_t i = 0; i < count; i++ ) {
        Put( uint32_t( rules[i] ), 4 );
    }
    WritePending();
    return writeFailed ? 0 : 1;
}

// Kept until the block it falls in is written, so that it reaches the disk with its keys.
void ReplayRecorder::AddMatchStart( const int columns[TANK_PLACEMENT_COUNT] ) {
    Put( REPLAY_TAG_MATCH, 1 );
    Put( uint32_t( currentFrame ), 4 );
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        Put( uint32_t( columns[i] ), 4 );
    }
}

void ReplayRecorder::AddWind( int steps ) {
    Put( REPLAY_TAG_WIND, 1 );
    Put( uint32_t( currentFrame ), 4 );
    Put( uint32_t( int32_t( steps ) ), 4 );
}

int ReplayRecorder::AddFrame( uint16_t keys ) {
    currentFrame = frameCount;
    if ( !blockRuns.empty() && blockRuns.back().keys == keys ) {
        blockRuns.back().length += 1;
    } else {
        blockRuns.push_back( ReplayRun{ keys, 1 } );
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
    Put( uint32_t( blockRuns.size() ), 1 );
    for ( const ReplayRun &run : blockRuns ) {
        Put( run.keys, 2 );
        Put( uint32_t( run.length ), 1 );
    }
    Put( checksum, 4 );
    blockRuns.clear();
    blockFrames = 0;
    WritePending();
}

// Flushed at once: a crash then loses only the block being gathered.
void ReplayRecorder::WritePending() {
    if ( file == nullptr || pending.empty() ) {
        return;
    }
    if ( !writeFailed && ( std::fwrite( pending.data(), 1, pending.size(), file ) != pending.size() ||
                           std::fflush( file ) != 0 ) ) {
        writeFailed = 1;
        error = std::strerror( errno );
    }
    pending.clear();
}

int ReplayRecorder::Finish( uint32_t checksum ) {
    if ( file == nullptr ) {
        return 0;
    }
    EndBlock( checksum );
    Put( REPLAY_TAG_END, 1 );
    Put( uint32_t( frameCount ), 4 );
    WritePending();
    if ( std::fclose( file ) != 0 && !writeFailed ) {
        writeFailed = 1;
        error = std::strerror( errno );
    }
    file = nullptr;
    return writeFailed ? 0 : 1;
}
