#include "replay/ReplayFile.h"

#include "host/HostFile.h"
#include "replay/ReplayKeys.h"

#include <cstdio>
#include <cstring>

// Little-endian fields read from the file's bytes, never past their end.
class ReplayFile::Reader {
public:
    Reader( const uint8_t *bytes, size_t size ) : bytes( bytes ), size( size ), offset( 0 ) {}

    int AtEnd() const { return offset == size; }
    size_t GetSize() const { return size; }
    size_t GetOffset() const { return offset; }

    int Bytes( void *destination, size_t count ) {
        if ( count > size - offset ) {
            return 0;
        }
        std::memcpy( destination, bytes + offset, count );
        offset += count;
        return 1;
    }
    int U8( uint32_t &value ) { return Unsigned( value, 1 ); }
    int U16( uint32_t &value ) { return Unsigned( value, 2 ); }
    int U32( uint32_t &value ) { return Unsigned( value, 4 ); }

private:
    int Unsigned( uint32_t &value, size_t count ) {
        if ( count > size - offset ) {
            return 0;
        }
        value = 0;
        for ( size_t i = 0; i < count; i++ ) {
            value |= uint32_t( bytes[offset + i] ) << ( 8 * i );
        }
        offset += count;
        return 1;
    }

    const uint8_t *bytes;
    size_t size;
    size_t offset;
};

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

int ReplayFile::Fail( const char *format, long long value ) {
    char line[160];
    std::snprintf( line, sizeof( line ), format, value );
    error = line;
    return 0;
}

int ReplayFile::Load( const char *fileName ) {
    Clear();
    HostFile *file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        return Fail( "cannot be opened" );
    }
    const int64_t size = HostFileGetSize( file );
    if ( size > REPLAY_MAX_FILE_SIZE ) {
        HostFileClose( file );
        return Fail( "%lld bytes is longer than any recording", size );
    }
    std::vector<uint8_t> bytes( size_t( size > 0 ? size : 0 ) );
    const int64_t read = bytes.empty() ? 0 : HostFileRead( file, bytes.data(), size );
    HostFileClose( file );
    if ( read != size ) {
        return Fail( "cannot be read" );
    }
    return Parse( bytes.data(), bytes.size() );
}

int ReplayFile::Parse( const uint8_t *bytes, size_t size ) {
    Clear();
    Reader reader( bytes, size );
    if ( !ParseHeader( reader ) ) {
        return 0;
    }
    while ( !reader.AtEnd() ) {
        const size_t start = reader.GetOffset();
        if ( finished ) {
            return Fail( "goes on after its end, at byte %lld", (long long)start );
        }
        uint32_t tag = 0;
        reader.U8( tag );
        int ok = 0;
        if ( tag == REPLAY_TAG_MATCH ) {
            ok = ParseMatchStart( reader );
        } else if ( tag == REPLAY_TAG_KEYS ) {
            ok = ParseKeys( reader );
        } else if ( tag == REPLAY_TAG_WIND ) {
            ok = ParseWind( reader );
        } else if ( tag == REPLAY_TAG_END ) {
            ok = ParseEnd( reader );
        } else {
            return Fail( "unknown record at byte %lld", (long long)start );
        }
        if ( !ok ) {
            return 0;
        }
    }
    if ( matchStarts.empty() ) {
        return Fail( "holds no match" );
    }
    return 1;
}

int ReplayFile::ParseHeader( Reader &reader ) {
    char magic[sizeof( REPLAY_MAGIC )];
    if ( !reader.Bytes( magic, sizeof( magic ) ) ||
         std::memcmp( magic, REPLAY_MAGIC, sizeof( magic ) ) != 0 ) {
        return Fail( "not a Kelto recording" );
    }
    uint32_t version = 0;
    if ( !reader.U16( version ) ) {
        return Fail( "truncated in its header" );
    }
    if ( version != uint32_t( REPLAY_FORMAT_VERSION ) ) {
        char line[96];
        std::snprintf( line, sizeof( line ), "recording format %u; this game reads format %d",
                       unsigned( version ), REPLAY_FORMAT_VERSION );
        error = line;
        return 0;
    }
    uint32_t length = 0;
    char text[REPLAY_MAX_VERSION_LENGTH];
    if ( !reader.U8( length ) ) {
        return Fail( "truncated in its header" );
    }
    if ( length == 0 || length > uint32_t( REPLAY_MAX_VERSION_LENGTH ) ) {
        return Fail( "game version of %lld bytes", length );
    }
    if ( !reader.Bytes( text, length ) ) {
        return Fail( "truncated in its header" );
    }
    gameVersion.assign( text, length );
    for ( uint32_t &checksum : pictureChecksums ) {
        if ( !reader.U32( checksum ) ) {
            return Fail( "truncated in its header" );
        }
    }
    uint32_t count = 0;
    if ( !reader.U8( count ) ) {
        return Fail( "truncated in its header" );
    }
    if ( count > uint32_t( REPLAY_MAX_RULES ) ) {
        return Fail( "%lld rules is more than any game has", count );
    }
    for ( uint32_t i = 0; i < count; i++ ) {
        uint32_t rule = 0;
        if ( !reader.U32( rule ) ) {
            return Fail( "truncated in its header" );
        }
        rules.push_back( int32_t( rule ) );
    }
    return 1;
}

// The first record is the first match's start, at frame 0; every later one falls within the
// block of keys that follows it.
int ReplayFile::ParseMatchStart( Reader &reader ) {
    ReplayMatchStart start;
    uint32_t frame = 0;
    if ( !reader.U32( frame ) ) {
        return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
    }
    for ( int &column : start.columns ) {
        uint32_t value = 0;
        if ( !reader.U32( value ) ) {
            return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
        }
        if ( value > uint32_t( INT32_MAX ) ) {
            return Fail( "has a tank column of %lld", (long long)value );
        }
        column = int( value );
    }
    const int64_t lowest = matchStarts.empty() ? 0 : int64_t( frameCount );
    const int64_t highest = matchStarts.empty() ? 0 : int64_t( frameCount ) + REPLAY_BLOCK_FRAMES - 1;
    if ( int64_t( frame ) < lowest || int64_t( frame ) > highest ||
         ( !matchStarts.empty() && int64_t( frame ) <= matchStarts.back().frame ) ) {
        return Fail( "match start at frame %lld is out of order", (long long)frame );
    }
    start.frame = int( frame );
    matchStarts.push_back( start );
    return 1;
}

// A wind falls within the block of keys that follows it, after the first match has started
// and not before the wind drawn last.
int ReplayFile::ParseWind( Reader &reader ) {
    uint32_t frame = 0;
    uint32_t steps = 0;
    if ( !reader.U32( frame ) || !reader.U32( steps ) ) {
        return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
    }
    const int64_t lowest = winds.empty() ? int64_t( frameCount ) : int64_t( winds.back().frame );
    if ( matchStarts.empty() || int64_t( frame ) < lowest || int64_t( frame ) < int64_t( frameCount ) ||
         int64_t( frame ) > int64_t( frameCount ) + REPLAY_BLOCK_FRAMES - 1 ) {
        return Fail( "wind at frame %lld is out of order", (long long)frame );
    }
    const int32_t value = int32_t( steps );
    if ( value < -REPLAY_MAX_WIND || value > REPLAY_MAX_WIND ) {
        return Fail( "has a wind of %lld", (long long)value );
    }
    winds.push_back( ReplayWind{ int( frame ), int( value ) } );
    return 1;
}

int ReplayFile::ParseKeys( Reader &reader ) {
    if ( matchStarts.empty() ) {
        return Fail( "has keys before its first match" );
    }
    if ( !blocks.empty() && blocks.back().frames != REPLAY_BLOCK_FRAMES ) {
        return Fail( "goes on after a short block, at frame %lld", frameCount );
    }
    uint32_t first = 0;
    uint32_t frames = 0;
    uint32_t count = 0;
    if ( !reader.U32( first ) || !reader.U8( frames ) || !reader.U8( count ) ) {
        return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
    }
    if ( first != uint32_t( frameCount ) ) {
        return Fail( "skips from frame %lld", frameCount );
    }
    if ( frames == 0 || frames > uint32_t( REPLAY_BLOCK_FRAMES ) || count == 0 || count > frames ) {
        return Fail( "has a block of absurd length at frame %lld", frameCount );
    }
    ReplayBlock block;
    block.firstFrame = frameCount;
    block.frames = int( frames );
    block.firstRun = int( runs.size() );
    block.runCount = int( count );
    uint32_t covered = 0;
    for ( uint32_t i = 0; i < count; i++ ) {
        uint32_t keys = 0;
        uint32_t length = 0;
        if ( !reader.U16( keys ) || !reader.U8( length ) ) {
            return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
        }
        if ( keys & ~uint32_t( REPLAY_KEY_BITS ) ) {
            return Fail( "holds keys this game does not know, at frame %lld", frameCount + covered );
        }
        if ( length == 0 || covered + length > frames ) {
            return Fail( "has a run of absurd length at frame %lld", frameCount + covered );
        }
        runs.push_back( ReplayRun{ uint16_t( keys ), int( length ) } );
        covered += length;
    }
    if ( covered != frames ) {
        return Fail( "has a block of absurd length at frame %lld", frameCount );
    }
    if ( !reader.U32( block.checksum ) ) {
        return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
    }
    blocks.push_back( block );
    frameCount += int( frames );
    return 1;
}

int ReplayFile::ParseEnd( Reader &reader ) {
    uint32_t frames = 0;
    if ( !reader.U32( frames ) ) {
        return Fail( "truncated at byte %lld", (long long)reader.GetSize() );
    }
    if ( frames != uint32_t( frameCount ) ) {
        return Fail( "ends claiming %lld frames", (long long)frames );
    }
    finished = 1;
    return 1;
}
