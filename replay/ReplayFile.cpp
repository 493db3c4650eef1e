#include "replay/ReplayFile.h"

#include "replay/ReplayReader.h"

#include <cstring>
#include <new>

ReplayFile::ReplayFile() {
    Clear();
}

ReplayFile::~ReplayFile() {
}

void ReplayFile::Clear() {
    error.clear();
    gameVersion.clear();
    std::memset( pictureChecksums, 0, sizeof( pictureChecksums ) );
    rules.clear();
    matchStarts.clear();
    winds.clear();
    blocks.clear();
    runs.clear();
    frameCount = 0;
    finished = 0;
}

int ReplayFile::Load( const char *fileName ) {
    Clear();
    ReplayReader *reader = new ( std::nothrow ) ReplayReader;
    if ( reader == nullptr ) {
        error = "out of memory";
        return 0;
    }
    const int loaded = reader->Open( fileName ) && Collect( *reader );
    if ( !loaded ) {
        error = reader->GetError();
    }
    delete reader;
    return loaded;
}

int ReplayFile::Parse( const uint8_t *bytes, size_t size ) {
    Clear();
    ReplayReader *reader = new ( std::nothrow ) ReplayReader;
    if ( reader == nullptr ) {
        error = "out of memory";
        return 0;
    }
    const int parsed = reader->OpenBytes( bytes, size ) && Collect( *reader );
    if ( !parsed ) {
        error = reader->GetError();
    }
    delete reader;
    return parsed;
}

// Every chunk the reader gives, one after the other.
int ReplayFile::Collect( ReplayReader &reader ) {
    gameVersion = reader.GetGameVersion();
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        pictureChecksums[i] = reader.GetPictureChecksum( i );
    }
    for ( int i = 0; i < reader.GetRuleCount(); i++ ) {
        rules.push_back( reader.GetRule( i ) );
    }
    ReplayChunk chunk;
    int got;
    while ( ( got = reader.Next( chunk ) ) > 0 ) {
        matchStarts.insert( matchStarts.end(), chunk.starts, chunk.starts + chunk.startCount );
        winds.insert( winds.end(), chunk.winds, chunk.winds + chunk.windCount );
        if ( chunk.hasBlock ) {
            ReplayBlock block = chunk.block;
            block.firstRun = int( runs.size() );
            blocks.push_back( block );
            runs.insert( runs.end(), chunk.runs, chunk.runs + block.runCount );
        }
    }
    frameCount = reader.GetFrameCount();
    finished = reader.GetFinished();
    return got == 0 ? 1 : 0;
}
