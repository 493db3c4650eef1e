#include "net/NetMessage.h"

#include "net/RoomCodes.h"
#include "replay/ReplayKeys.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

// Little-endian fields read from one message, never past its end.
class NetMessage::Reader {
public:
    Reader( const uint8_t *bytes, size_t size ) : bytes( bytes ), size( size ), offset( 0 ) {}

    size_t Left() const { return size - offset; }

    int Bytes( void *destination, size_t count ) {
        if ( count > Left() ) {
            return 0;
        }
        if ( count > 0 ) {
            std::memcpy( destination, bytes + offset, count );
        }
        offset += count;
        return 1;
    }
    int U8( uint32_t &value ) { return Unsigned( value, 1 ); }
    int U16( uint32_t &value ) { return Unsigned( value, 2 ); }
    int U32( uint32_t &value ) { return Unsigned( value, 4 ); }

private:
    int Unsigned( uint32_t &value, size_t count ) {
        if ( count > Left() ) {
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

namespace {

void PutU8( std::vector<uint8_t> &out, uint32_t value ) {
    out.push_back( uint8_t( value ) );
}

void PutU16( std::vector<uint8_t> &out, uint32_t value ) {
    PutU8( out, value );
    PutU8( out, value >> 8 );
}

void PutU32( std::vector<uint8_t> &out, uint32_t value ) {
    PutU16( out, value );
    PutU16( out, value >> 16 );
}

void PutText( std::vector<uint8_t> &out, const std::string &text ) {
    PutU8( out, uint32_t( text.size() ) );
    out.insert( out.end(), text.begin(), text.end() );
}

int Printable( const std::string &text ) {
    for ( char c : text ) {
        if ( c < ' ' || c > '~' ) {
            return 0;
        }
    }
    return 1;
}

} // namespace

NetMessage::NetMessage() {
    Clear();
}

NetMessage::~NetMessage() {
}

void NetMessage::Clear() {
    type = 0;
    version = NET_PROTOCOL_VERSION;
    role = 0;
    seats = 0;
    code.clear();
    name.clear();
    header.clear();
    seat = 0;
    frame = 0;
    std::memset( columns, 0, sizeof( columns ) );
    frames = 0;
    runs.clear();
    checksum = 0;
    windSteps = 0;
    reason.clear();
    error.clear();
}

int NetMessage::Fail( const char *format, ... ) {
    char line[160];
    va_list arguments;
    va_start( arguments, format );
    std::vsnprintf( line, sizeof( line ), format, arguments );
    va_end( arguments );
    error = line;
    return 0;
}

int NetMessage::ReadText( Reader &reader, std::string &text, int longest, const char *what ) {
    uint32_t length = 0;
    char buffer[256];
    if ( !reader.U8( length ) || !reader.Bytes( buffer, length ) ) {
        return Fail( "truncated in its %s", what );
    }
    if ( length > uint32_t( longest ) ) {
        return Fail( "%s of %u bytes is longer than %d", what, unsigned( length ), longest );
    }
    text.assign( buffer, length );
    return 1;
}

int NetMessage::ReadHello( Reader &reader ) {
    uint32_t value = 0;
    if ( !reader.U16( value ) ) {
        return Fail( "truncated hello" );
    }
    version = int( value );
    if ( version != NET_PROTOCOL_VERSION ) {
        return Fail( "protocol version %d; this relay speaks %d", version, NET_PROTOCOL_VERSION );
    }
    if ( !reader.U8( value ) ) {
        return Fail( "truncated hello" );
    }
    role = int( value );
    if ( !reader.U8( value ) ) {
        return Fail( "truncated hello" );
    }
    seats = int( value );
    if ( !ReadText( reader, code, NET_CODE_LENGTH, "room code" ) ||
         !ReadText( reader, name, NET_MAX_NAME_LENGTH, "name" ) ) {
        return 0;
    }
    return ReadHeader( reader );
}

int NetMessage::ReadHeader( Reader &reader ) {
    uint32_t value = 0;
    if ( !reader.U16( value ) ) {
        return Fail( "truncated before its recording header" );
    }
    if ( value > NET_MAX_HEADER_SIZE ) {
        return Fail( "recording header of %u bytes is longer than %d", unsigned( value ),
                     int( NET_MAX_HEADER_SIZE ) );
    }
    header.resize( value );
    if ( !reader.Bytes( header.data(), value ) ) {
        return Fail( "truncated in its recording header" );
    }
    return 1;
}

int NetMessage::ReadKeys( Reader &reader ) {
    uint32_t count = 0;
    uint32_t runCount = 0;
    if ( !reader.U32( frame ) || !reader.U8( count ) || !reader.U8( runCount ) ) {
        return Fail( "truncated keys" );
    }
    frames = int( count );
    if ( frames < 1 || frames > REPLAY_BLOCK_FRAMES ) {
        return Fail( "keys for %d frames", frames );
    }
    if ( runCount < 1 || runCount > count ) {
        return Fail( "%u runs of keys in %d frames", unsigned( runCount ), frames );
    }
    for ( uint32_t i = 0; i < runCount; i++ ) {
        uint32_t keys = 0;
        uint32_t length = 0;
        if ( !reader.U16( keys ) || !reader.U8( length ) ) {
            return Fail( "truncated keys" );
        }
        runs.push_back( ReplayRun{ uint16_t( keys ), int( length ) } );
    }
    return 1;
}

int NetMessage::Read( const uint8_t *bytes, size_t size, NetSide side ) {
    Clear();
    if ( size > NET_MAX_MESSAGE_SIZE ) {
        return Fail( "message of %zu bytes is longer than %zu", size, NET_MAX_MESSAGE_SIZE );
    }
    Reader reader( bytes, size );
    uint32_t value = 0;
    if ( !reader.U8( value ) ) {
        return Fail( "empty message" );
    }
    type = uint8_t( value );
    int ok = 1;
    switch ( type ) {
    case NET_HELLO:
        ok = ReadHello( reader );
        break;
    case NET_WELCOME:
        ok = reader.U8( value ) && ( seat = int( value ), reader.U8( value ) ) && ( seats = int( value ), 1 );
        ok = ok ? ReadText( reader, code, NET_CODE_LENGTH, "room code" ) : Fail( "truncated welcome" );
        ok = ok && ReadHeader( reader );
        break;
    case NET_PLAYER:
        ok = reader.U8( value )
                 ? ( seat = int( value ), ReadText( reader, name, NET_MAX_NAME_LENGTH, "name" ) )
                 : Fail( "truncated player" );
        break;
    case NET_MATCH_START:
        ok = reader.U32( frame );
        for ( uint32_t &column : columns ) {
            ok = ok && reader.U32( column );
        }
        ok = ok ? 1 : Fail( "truncated match start" );
        break;
    case NET_KEYS:
        ok = ReadKeys( reader );
        break;
    case NET_TURN:
        ok =
            reader.U32( frame ) && reader.U8( value ) ? ( seat = int( value ), 1 ) : Fail( "truncated turn" );
        break;
    case NET_CHECKSUM:
        ok = reader.U32( frame ) && reader.U32( checksum ) ? 1 : Fail( "truncated checksum" );
        break;
    case NET_WIND:
        ok = reader.U32( frame ) && reader.U32( value ) ? ( windSteps = int( int32_t( value ) ), 1 )
                                                        : Fail( "truncated wind" );
        break;
    case NET_OUT_OF_SYNC:
        ok = reader.U32( frame ) && reader.U8( value ) ? ( seat = int( value ), 1 )
                                                       : Fail( "truncated out of sync" );
        break;
    case NET_LEAVE:
        if ( side == NET_FROM_RELAY ) {
            ok = reader.U8( value ) ? ( seat = int( value ), 1 ) : Fail( "truncated leave" );
        }
        break;
    case NET_ERROR:
        ok = ReadText( reader, reason, NET_MAX_REASON_LENGTH, "reason" );
        break;
    default:
        return Fail( "unknown message type %u", unsigned( type ) );
    }
    if ( !ok ) {
        return 0;
    }
    if ( reader.Left() != 0 ) {
        return Fail( "%zu bytes after the end of a '%c' message", reader.Left(), char( type ) );
    }
    return CheckFields( side );
}

// The ranges every message must keep, whoever made it.
int NetMessage::CheckFields( NetSide side ) {
    switch ( type ) {
    case NET_HELLO: {
        if ( role > NET_WATCH ) {
            return Fail( "unknown role %d", role );
        }
        const int creating = role == NET_CREATE;
        if ( creating ? ( seats < NET_MIN_SEATS || seats > NET_MAX_SEATS ) : seats != 0 ) {
            return Fail( "%d seats asked for", seats );
        }
        if ( creating ? !code.empty() : !RoomCodes::IsValid( code ) ) {
            return Fail( "room code \"%.*s\" is not one", NET_CODE_LENGTH,
                         Printable( code ) ? code.c_str() : "?" );
        }
        if ( name.empty() || name.size() > size_t( NET_MAX_NAME_LENGTH ) || !Printable( name ) ) {
            return Fail( "a name is 1 to %d printable letters", NET_MAX_NAME_LENGTH );
        }
        // A player or spectator may leave the game to the room: it learns it from the welcome.
        std::string headerError;
        if ( !( !creating && header.empty() ) &&
             !NetCheckRecordingHeader( header.data(), header.size(), headerError ) ) {
            return Fail( "recording header: %s", headerError.c_str() );
        }
        return 1;
    }
    case NET_WELCOME: {
        if ( ( seat >= NET_MAX_SEATS && seat != NET_SPECTATOR ) || seats < NET_MIN_SEATS ||
             seats > NET_MAX_SEATS || !RoomCodes::IsValid( code ) ) {
            return Fail( "welcome to seat %d of %d in room \"%s\"", seat, seats,
                         Printable( code ) ? code.c_str() : "?" );
        }
        std::string headerError;
        if ( !NetCheckRecordingHeader( header.data(), header.size(), headerError ) ) {
            return Fail( "room's recording header: %s", headerError.c_str() );
        }
        return 1;
    }
    case NET_PLAYER:
        if ( seat < 0 || seat >= NET_MAX_SEATS || name.empty() || !Printable( name ) ) {
            return Fail( "player in seat %d", seat );
        }
        return 1;
    case NET_MATCH_START:
        for ( uint32_t column : columns ) {
            if ( column >= 0x80000000u ) {
                return Fail( "tank column %u", unsigned( column ) );
            }
        }
        return 1;
    case NET_KEYS: {
        if ( frames < 1 || frames > REPLAY_BLOCK_FRAMES || runs.empty() || runs.size() > size_t( frames ) ) {
            return Fail( "%zu runs of keys in %d frames", runs.size(), frames );
        }
        int covered = 0;
        for ( const ReplayRun &run : runs ) {
            if ( run.length < 1 || run.length > REPLAY_BLOCK_FRAMES ) {
                return Fail( "a run of keys %d frames long", run.length );
            }
            if ( run.keys & ~REPLAY_KEY_BITS ) {
                return Fail( "keys 0x%x that the game does not read", unsigned( run.keys ) );
            }
            covered += run.length;
        }
        if ( covered != frames ) {
            return Fail( "runs of keys covering %d of %d frames", covered, frames );
        }
        if ( frame > uint32_t( INT32_MAX ) - uint32_t( frames ) ) {
            return Fail( "keys for frame %u", unsigned( frame ) );
        }
        return 1;
    }
    case NET_TURN:
        return seat >= 0 && seat < NET_MAX_SEATS ? 1 : Fail( "turn to seat %d", seat );
    case NET_CHECKSUM:
        return frame > 0 && frame % REPLAY_BLOCK_FRAMES == 0
                   ? 1
                   : Fail( "checksum after frame %u, not a whole second", unsigned( frame ) );
    case NET_WIND:
        if ( windSteps < -REPLAY_MAX_WIND || windSteps > REPLAY_MAX_WIND ) {
            return Fail( "a wind of %d steps", windSteps );
        }
        return frame <= uint32_t( INT32_MAX ) ? 1 : Fail( "a wind at frame %u", unsigned( frame ) );
    case NET_OUT_OF_SYNC:
        return ( seat >= 0 && seat < NET_MAX_SEATS ) || seat == NET_NO_SEAT
                   ? 1
                   : Fail( "out of sync seat %d", seat );
    case NET_LEAVE:
        return side == NET_FROM_CLIENT || ( seat >= 0 && seat < NET_MAX_SEATS ) || seat == NET_SPECTATOR
                   ? 1
                   : Fail( "seat %d left", seat );
    case NET_ERROR:
        return reason.size() <= size_t( NET_MAX_REASON_LENGTH ) && Printable( reason ) ? 1
                                                                                       : Fail( "bad reason" );
    default:
        return Fail( "unknown message type %u", unsigned( type ) );
    }
}

std::vector<uint8_t> NetMessage::Write( NetSide side ) const {
    NetMessage checked( *this );
    std::vector<uint8_t> out;
    if ( !checked.CheckFields( side ) ) {
        return out;
    }
    PutU8( out, type );
    switch ( type ) {
    case NET_HELLO:
        PutU16( out, uint32_t( version ) );
        PutU8( out, uint32_t( role ) );
        PutU8( out, uint32_t( seats ) );
        PutText( out, code );
        PutText( out, name );
        PutU16( out, uint32_t( header.size() ) );
        out.insert( out.end(), header.begin(), header.end() );
        break;
    case NET_WELCOME:
        PutU8( out, uint32_t( seat ) );
        PutU8( out, uint32_t( seats ) );
        PutText( out, code );
        PutU16( out, uint32_t( header.size() ) );
        out.insert( out.end(), header.begin(), header.end() );
        break;
    case NET_PLAYER:
        PutU8( out, uint32_t( seat ) );
        PutText( out, name );
        break;
    case NET_MATCH_START:
        PutU32( out, frame );
        for ( uint32_t column : columns ) {
            PutU32( out, column );
        }
        break;
    case NET_KEYS:
        PutU32( out, frame );
        PutU8( out, uint32_t( frames ) );
        PutU8( out, uint32_t( runs.size() ) );
        for ( const ReplayRun &run : runs ) {
            PutU16( out, run.keys );
            PutU8( out, uint32_t( run.length ) );
        }
        break;
    case NET_TURN:
    case NET_OUT_OF_SYNC:
        PutU32( out, frame );
        PutU8( out, uint32_t( seat ) );
        break;
    case NET_CHECKSUM:
        PutU32( out, frame );
        PutU32( out, checksum );
        break;
    case NET_WIND:
        PutU32( out, frame );
        PutU32( out, uint32_t( int32_t( windSteps ) ) );
        break;
    case NET_LEAVE:
        if ( side == NET_FROM_RELAY ) {
            PutU8( out, uint32_t( seat ) );
        }
        break;
    case NET_ERROR:
        PutText( out, reason );
        break;
    }
    return out;
}

int NetCheckRecordingHeader( const uint8_t *bytes, size_t size, std::string &error ) {
    ReplayFile file;
    // The header alone, closed by the first match's start, is the shortest whole recording.
    std::vector<uint8_t> recording( bytes, bytes + size );
    const uint8_t start[21] = { REPLAY_TAG_MATCH };
    recording.insert( recording.end(), start, start + sizeof( start ) );
    if ( !file.Parse( recording.data(), recording.size() ) ) {
        error = file.GetError();
        return 0;
    }
    const size_t exact = sizeof( REPLAY_MAGIC ) + 2 + 1 + file.GetGameVersion().size() +
                         4 * REPLAY_PICTURE_COUNT + 1 + 4 * file.GetRules().size();
    if ( size != exact ) {
        error = "holds more than a header";
        return 0;
    }
    return 1;
}

std::vector<uint8_t> NetMakeRecordingHeader( const char *gameVersion,
                                             const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                                             const int32_t *rules, int ruleCount ) {
    std::vector<uint8_t> header( REPLAY_MAGIC, REPLAY_MAGIC + sizeof( REPLAY_MAGIC ) );
    PutU16( header, uint32_t( REPLAY_FORMAT_VERSION ) );
    std::string version( gameVersion );
    version.resize( std::min( version.size(), size_t( REPLAY_MAX_VERSION_LENGTH ) ) );
    PutText( header, version );
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        PutU32( header, pictureChecksums[i] );
    }
    const int count = std::min( std::max( ruleCount, 0 ), REPLAY_MAX_RULES );
    PutU8( header, uint32_t( count ) );
    for ( int i = 0; i < count; i++ ) {
        PutU32( header, uint32_t( rules[i] ) );
    }
    return header;
}

int NetReadHeaderRules( const std::vector<uint8_t> &header, std::vector<int32_t> &rules,
                        std::string &error ) {
    if ( !NetCheckRecordingHeader( header.data(), header.size(), error ) ) {
        return 0;
    }
    ReplayFile file;
    std::vector<uint8_t> recording( header );
    const uint8_t start[21] = { REPLAY_TAG_MATCH };
    recording.insert( recording.end(), start, start + sizeof( start ) );
    file.Parse( recording.data(), recording.size() );
    rules = file.GetRules();
    return 1;
}

uint32_t NetMatchSeedOf( uint32_t roomSeed, uint32_t frame ) {
    uint32_t hash = roomSeed;
    for ( int i = 0; i < 4; i++ ) {
        hash = ( hash ^ ( ( frame >> ( 8 * i ) ) & 0xFF ) ) * 16777619u;
    }
    return hash;
}

uint32_t NetSeedOf( const std::vector<uint8_t> &header ) {
    // FNV-1a: every byte counts, so that a new land (its seed is a rule) is a new draw.
    uint32_t hash = 2166136261u;
    for ( uint8_t byte : header ) {
        hash = ( hash ^ byte ) * 16777619u;
    }
    return hash;
}
