#include "replay/ReplayReader.h"

#include "host/HostFile.h"
#include "host/HostText.h"
#include "replay/ReplayKeys.h"
#include "replay/ReplayStream.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

ReplayReader::ReplayReader()
    : file( nullptr ), stream( nullptr ), bytes( nullptr ), size( 0 ), offset( 0 ), recordsOffset( 0 ),
      bufferStart( 0 ), bufferEnd( 0 ), ruleCount( 0 ), frameCount( 0 ), matchCount( 0 ),
      lastMatchFrame( -1 ), lastWindFrame( 0 ), lastBlockFrames( 0 ), finished( 0 ), totalFrames( 0 ),
      totalMatches( 0 ), totalFinished( 0 ) {
    error[0] = '\0';
    gameVersion[0] = '\0';
    std::memset( pictureChecksums, 0, sizeof( pictureChecksums ) );
    std::memset( rules, 0, sizeof( rules ) );
}

ReplayReader::~ReplayReader() {
    Close();
}

void ReplayReader::Close() {
    HostFileClose( file );
    file = nullptr;
    stream = nullptr;
    bytes = nullptr;
    size = 0;
}

int ReplayReader::Fail( const char *format, long long value ) {
    std::snprintf( error, sizeof( error ), format, value );
    return 0;
}

int ReplayReader::Open( const char *fileName ) {
    Close();
    file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        std::snprintf( error, sizeof( error ), "%s", HostFileGetOpenError() );
        return 0;
    }
    size = HostFileGetSize( file );
    if ( size > REPLAY_MAX_FILE_SIZE ) {
        const long long fileSize = size;
        Close();
        return Fail( "%lld bytes is longer than any recording", fileSize );
    }
    return Start();
}

int ReplayReader::OpenBytes( const uint8_t *newBytes, size_t newSize ) {
    Close();
    bytes = newBytes;
    size = int64_t( newSize );
    return Start();
}

int ReplayReader::OpenStream( ReplayStream *source ) {
    Close();
    stream = source;
    // No longer than a file may be; a stream that goes on past that is not a recording.
    size = REPLAY_MAX_FILE_SIZE;
    offset = 0;
    bufferStart = bufferEnd = 0;
    error[0] = '\0';
    if ( !ReadHeader() ) {
        return 0;
    }
    recordsOffset = offset;
    frameCount = 0;
    matchCount = 0;
    lastMatchFrame = -1;
    lastWindFrame = 0;
    lastBlockFrames = 0;
    finished = 0;
    totalFrames = INT32_MAX;
    totalMatches = 0;
    totalFinished = 0;
    return 1;
}

// The header, then every record to the end, then back to the first record.
int ReplayReader::Start() {
    offset = 0;
    bufferStart = bufferEnd = 0;
    error[0] = '\0';
    if ( !ReadHeader() ) {
        return 0;
    }
    recordsOffset = offset;
    if ( !Rewind() ) {
        return 0;
    }
    ReplayChunk chunk;
    int got;
    while ( ( got = Next( chunk ) ) > 0 ) {
    }
    if ( got < 0 ) {
        return 0;
    }
    if ( matchCount == 0 ) {
        return Fail( "holds no match" );
    }
    totalFrames = frameCount;
    totalMatches = matchCount;
    totalFinished = finished;
    return Rewind();
}

int ReplayReader::Rewind() {
    if ( file != nullptr && !HostFileSeek( file, recordsOffset ) ) {
        return Fail( "cannot be read" );
    }
    offset = recordsOffset;
    bufferStart = bufferEnd = 0;
    frameCount = 0;
    matchCount = 0;
    lastMatchFrame = -1;
    lastWindFrame = 0;
    lastBlockFrames = 0;
    finished = 0;
    return 1;
}

// Exactly `count` bytes, or 0 when the file ends first.
int ReplayReader::Take( void *destination, size_t count ) {
    if ( int64_t( count ) > size - offset ) {
        return 0;
    }
    uint8_t *to = static_cast<uint8_t *>( destination );
    if ( bytes != nullptr ) {
        std::memcpy( to, bytes + offset, count );
        offset += int64_t( count );
        return 1;
    }
    while ( count > 0 ) {
        if ( bufferStart == bufferEnd && !Refill() ) {
            return 0;
        }
        const size_t part =
            count < size_t( bufferEnd - bufferStart ) ? count : size_t( bufferEnd - bufferStart );
        std::memcpy( to, buffer + bufferStart, part );
        bufferStart += int( part );
        offset += int64_t( part );
        to += part;
        count -= part;
    }
    return 1;
}

// The buffer anew from the file or the stream; 0 at its end.
int ReplayReader::Refill() {
    const int64_t got =
        stream != nullptr ? stream->Read( buffer, BUFFER_SIZE ) : HostFileRead( file, buffer, BUFFER_SIZE );
    if ( got <= 0 ) {
        return 0;
    }
    bufferStart = 0;
    bufferEnd = int( got );
    return 1;
}

int ReplayReader::Unsigned( uint32_t &value, int count ) {
    uint8_t field[4];
    if ( !Take( field, size_t( count ) ) ) {
        return 0;
    }
    value = 0;
    for ( int i = 0; i < count; i++ ) {
        value |= uint32_t( field[i] ) << ( 8 * i );
    }
    return 1;
}

int ReplayReader::AtEnd() {
    if ( stream != nullptr && offset < size && bufferStart == bufferEnd ) {
        // A stream's end is known only once it says so, which may take a wait.
        return !Refill();
    }
    return offset >= size;
}

int ReplayReader::ReadHeader() {
    char magic[sizeof( REPLAY_MAGIC )];
    if ( !Take( magic, sizeof( magic ) ) || std::memcmp( magic, REPLAY_MAGIC, sizeof( magic ) ) != 0 ) {
        return Fail( "not a Kelto recording" );
    }
    uint32_t version = 0;
    if ( !Unsigned( version, 2 ) ) {
        return Fail( "truncated in its header" );
    }
    if ( version < 1 || version > uint32_t( REPLAY_FORMAT_VERSION ) ) {
        std::snprintf( error, sizeof( error ), "recording format %u; this game reads format %d",
                       unsigned( version ), REPLAY_FORMAT_VERSION );
        return 0;
    }
    uint32_t length = 0;
    if ( !Unsigned( length, 1 ) ) {
        return Fail( "truncated in its header" );
    }
    if ( length == 0 || length > uint32_t( REPLAY_MAX_VERSION_LENGTH ) ) {
        return Fail( "game version of %lld bytes", length );
    }
    if ( !Take( gameVersion, length ) ) {
        return Fail( "truncated in its header" );
    }
    gameVersion[length] = '\0';
    // The version is text: a NUL inside it would cut the name a refusal shows.
    if ( std::memchr( gameVersion, '\0', length ) != nullptr ) {
        return Fail( "game version holds a NUL byte" );
    }
    // An older format's game was played by rules this one no longer has: named, not played.
    if ( version != uint32_t( REPLAY_FORMAT_VERSION ) ) {
        char shown[HOST_TEXT_SIZE];
        std::snprintf( error, sizeof( error ),
                       "recorded by kelto %s under older rules (format %u); this game plays format %d",
                       HostEscapeText( gameVersion, length, shown ), unsigned( version ),
                       REPLAY_FORMAT_VERSION );
        return 0;
    }
    for ( uint32_t &checksum : pictureChecksums ) {
        if ( !Unsigned( checksum, 4 ) ) {
            return Fail( "truncated in its header" );
        }
    }
    uint32_t count = 0;
    if ( !Unsigned( count, 1 ) ) {
        return Fail( "truncated in its header" );
    }
    if ( count > uint32_t( REPLAY_MAX_RULES ) ) {
        return Fail( "%lld rules is more than any game has", count );
    }
    for ( uint32_t i = 0; i < count; i++ ) {
        uint32_t rule = 0;
        if ( !Unsigned( rule, 4 ) ) {
            return Fail( "truncated in its header" );
        }
        rules[i] = int32_t( rule );
    }
    ruleCount = int( count );
    return 1;
}

int ReplayReader::Next( ReplayChunk &chunk ) {
    chunk.startCount = 0;
    chunk.windCount = 0;
    chunk.hasBlock = 0;
    while ( !AtEnd() ) {
        const int64_t start = offset;
        if ( finished ) {
            return Fail( "goes on after its end, at byte %lld", (long long)start ) - 1;
        }
        uint32_t tag = 0;
        Unsigned( tag, 1 );
        if ( tag == REPLAY_TAG_MATCH ) {
            if ( !ReadMatchStart( chunk ) ) {
                return -1;
            }
        } else if ( tag == REPLAY_TAG_WIND ) {
            if ( !ReadWind( chunk ) ) {
                return -1;
            }
        } else if ( tag == REPLAY_TAG_KEYS ) {
            return ReadKeys( chunk ) ? 1 : -1;
        } else if ( tag == REPLAY_TAG_END ) {
            if ( !ReadEnd() ) {
                return -1;
            }
        } else {
            return Fail( "unknown record at byte %lld", (long long)start ) - 1;
        }
    }
    return chunk.startCount > 0 || chunk.windCount > 0 ? 1 : 0;
}

// The first record is the first match's start, at frame 0; every later one falls within the
// block of keys that follows it.
int ReplayReader::ReadMatchStart( ReplayChunk &chunk ) {
    ReplayMatchStart start;
    uint32_t frame = 0;
    if ( !Unsigned( frame, 4 ) ) {
        return Fail( "truncated at byte %lld", (long long)size );
    }
    for ( int &column : start.columns ) {
        uint32_t value = 0;
        if ( !Unsigned( value, 4 ) ) {
            return Fail( "truncated at byte %lld", (long long)size );
        }
        if ( value > uint32_t( INT32_MAX ) ) {
            return Fail( "has a tank column of %lld", (long long)value );
        }
        column = int( value );
    }
    const int64_t lowest = matchCount == 0 ? 0 : int64_t( frameCount );
    const int64_t highest = matchCount == 0 ? 0 : int64_t( frameCount ) + REPLAY_BLOCK_FRAMES - 1;
    if ( int64_t( frame ) < lowest || int64_t( frame ) > highest ||
         ( matchCount > 0 && int64_t( frame ) <= lastMatchFrame ) ||
         chunk.startCount >= REPLAY_BLOCK_FRAMES ) {
        return Fail( "match start at frame %lld is out of order", (long long)frame );
    }
    start.frame = int( frame );
    chunk.starts[chunk.startCount++] = start;
    lastMatchFrame = int( frame );
    matchCount += 1;
    return 1;
}

// A wind falls within the block of keys that follows it, after the first match has started
// and not before the wind drawn last; no wind is stronger than REPLAY_MAX_WIND either way.
int ReplayReader::ReadWind( ReplayChunk &chunk ) {
    uint32_t frame = 0;
    uint32_t steps = 0;
    if ( !Unsigned( frame, 4 ) || !Unsigned( steps, 4 ) ) {
        return Fail( "truncated at byte %lld", (long long)size );
    }
    const int64_t lowest = frameCount > lastWindFrame ? int64_t( frameCount ) : int64_t( lastWindFrame );
    if ( matchCount == 0 || int64_t( frame ) < lowest ||
         int64_t( frame ) > int64_t( frameCount ) + REPLAY_BLOCK_FRAMES - 1 ||
         chunk.windCount >= REPLAY_BLOCK_FRAMES + 1 ) {
        return Fail( "wind at frame %lld is out of order", (long long)frame );
    }
    const int32_t value = int32_t( steps );
    if ( value < -REPLAY_MAX_WIND || value > REPLAY_MAX_WIND ) {
        return Fail( "has a wind of %lld", (long long)value );
    }
    chunk.winds[chunk.windCount++] = ReplayWind{ int( frame ), int( value ) };
    lastWindFrame = int( frame );
    return 1;
}

int ReplayReader::ReadKeys( ReplayChunk &chunk ) {
    if ( matchCount == 0 ) {
        return Fail( "has keys before its first match" );
    }
    if ( lastBlockFrames != 0 && lastBlockFrames != REPLAY_BLOCK_FRAMES ) {
        return Fail( "goes on after a short block, at frame %lld", frameCount );
    }
    uint32_t first = 0;
    uint32_t frames = 0;
    uint32_t count = 0;
    if ( !Unsigned( first, 4 ) || !Unsigned( frames, 1 ) || !Unsigned( count, 1 ) ) {
        return Fail( "truncated at byte %lld", (long long)size );
    }
    if ( first != uint32_t( frameCount ) ) {
        return Fail( "skips from frame %lld", frameCount );
    }
    if ( frames == 0 || frames > uint32_t( REPLAY_BLOCK_FRAMES ) || count == 0 || count > frames ) {
        return Fail( "has a block of absurd length at frame %lld", frameCount );
    }
    ReplayBlock &block = chunk.block;
    block.firstFrame = frameCount;
    block.frames = int( frames );
    block.firstRun = 0;
    block.runCount = int( count );
    uint32_t covered = 0;
    for ( uint32_t i = 0; i < count; i++ ) {
        uint32_t keys = 0;
        uint32_t length = 0;
        if ( !Unsigned( keys, 2 ) || !Unsigned( length, 1 ) ) {
            return Fail( "truncated at byte %lld", (long long)size );
        }
        if ( keys & ~uint32_t( REPLAY_KEY_BITS ) ) {
            return Fail( "holds keys this game does not know, at frame %lld", frameCount + covered );
        }
        if ( length == 0 || covered + length > frames ) {
            return Fail( "has a run of absurd length at frame %lld", frameCount + covered );
        }
        chunk.runs[i] = ReplayRun{ uint16_t( keys ), int( length ) };
        covered += length;
    }
    if ( covered != frames ) {
        return Fail( "has a block of absurd length at frame %lld", frameCount );
    }
    if ( !Unsigned( block.checksum, 4 ) ) {
        return Fail( "truncated at byte %lld", (long long)size );
    }
    chunk.hasBlock = 1;
    lastBlockFrames = int( frames );
    frameCount += int( frames );
    return 1;
}

int ReplayReader::ReadEnd() {
    uint32_t frames = 0;
    if ( !Unsigned( frames, 4 ) ) {
        return Fail( "truncated at byte %lld", (long long)size );
    }
    if ( frames != uint32_t( frameCount ) ) {
        return Fail( "ends claiming %lld frames", (long long)frames );
    }
    finished = 1;
    return 1;
}
