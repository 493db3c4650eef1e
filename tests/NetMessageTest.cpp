#include "net/NetMessage.h"
#include "net/RoomCodes.h"
#include "tests/support/NetBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Keys( uint32_t frame, int frames, std::vector<std::pair<uint32_t, int>> runs ) {
    NetBytes bytes;
    bytes.U8( 'K' ).U32( frame ).U8( uint32_t( frames ) ).U8( uint32_t( runs.size() ) );
    for ( const auto &run : runs ) {
        bytes.U16( run.first ).U8( uint32_t( run.second ) );
    }
    return bytes.bytes;
}

// One valid message of every type, from the side that sends it.
struct Valid {
    const char *what;
    std::vector<uint8_t> bytes;
    NetSide side;
};

// The relay's welcome: seat, seats, the room's code and its recording header.
std::vector<uint8_t> Welcome( uint32_t seat, uint32_t seats ) {
    const std::vector<uint8_t> header = NetRecordingHeader();
    return NetBytes()
        .U8( 'W' )
        .U8( seat )
        .U8( seats )
        .Text( "ABC234" )
        .U16( uint32_t( header.size() ) )
        .Raw( header )
        .bytes;
}

std::vector<Valid> ValidMessages() {
    std::vector<uint8_t> alternating;
    std::vector<std::pair<uint32_t, int>> runs;
    for ( int i = 0; i < 60; i++ ) {
        runs.push_back( { uint32_t( i % 2 ? 0x80 : 0x01 ), 1 } );
    }
    return {
        { "create", NetHello( 0, 4, "", "Ann" ), NET_FROM_CLIENT },
        { "join", NetHello( 1, 0, "ABC234", "Bob" ), NET_FROM_CLIENT },
        { "watch", NetHello( 2, 0, "ZZZZZZ", std::string( 16, '~' ) ), NET_FROM_CLIENT },
        { "longest header",
          NetHello( 0, 2, "", "A",
                    NetRecordingHeader( std::string( 32, 'v' ), std::vector<int32_t>( 16, -1 ) ) ),
          NET_FROM_CLIENT },
        { "join taking the room's game", NetHello( 1, 0, "ABC234", "Bob", {} ), NET_FROM_CLIENT },
        { "welcome", Welcome( 3, 4 ), NET_FROM_RELAY },
        { "spectator welcome", Welcome( 255, 2 ), NET_FROM_RELAY },
        { "player", NetBytes().U8( 'P' ).U8( 3 ).Text( "Cy" ).bytes, NET_FROM_RELAY },
        { "match start", NetBytes().U8( 'S' ).U32( 0 ).U32( 0x7FFFFFFF ).U32( 0 ).U32( 1 ).U32( 2 ).bytes,
          NET_FROM_CLIENT },
        { "one frame", Keys( 0, 1, { { 0, 1 } } ), NET_FROM_CLIENT },
        { "a second of runs", Keys( 60, 60, runs ), NET_FROM_CLIENT },
        { "keys to the last frame", Keys( INT32_MAX - 60, 60, { { 0xFF, 60 } } ), NET_FROM_CLIENT },
        { "turn", NetBytes().U8( 'T' ).U32( 7 ).U8( 3 ).bytes, NET_FROM_CLIENT },
        { "checksum", NetBytes().U8( 'C' ).U32( 60 ).U32( 0xDEADBEEF ).bytes, NET_FROM_CLIENT },
        { "wind at start-up", NetBytes().U8( 'G' ).U32( 0 ).U32( 0 ).bytes, NET_FROM_CLIENT },
        { "strongest wind left", NetBytes().U8( 'G' ).U32( 7 ).U32( uint32_t( -100 ) ).bytes,
          NET_FROM_CLIENT },
        { "strongest wind right", NetBytes().U8( 'G' ).U32( INT32_MAX ).U32( 100 ).bytes, NET_FROM_RELAY },
        { "out of sync", NetBytes().U8( 'O' ).U32( 120 ).U8( 255 ).bytes, NET_FROM_RELAY },
        { "leave", NetBytes().U8( 'L' ).bytes, NET_FROM_CLIENT },
        { "seat left", NetBytes().U8( 'L' ).U8( 255 ).bytes, NET_FROM_RELAY },
        { "error", NetBytes().U8( 'E' ).Text( std::string( 120, 'x' ) ).bytes, NET_FROM_RELAY },
    };
}

TEST( NetMessage, EveryTypeReadsAndWritesBackTheSameBytes ) {
    for ( const Valid &valid : ValidMessages() ) {
        NetMessage message;
        ASSERT_TRUE( message.Read( valid.bytes.data(), valid.bytes.size(), valid.side ) )
            << valid.what << ": " << message.GetError();
        EXPECT_EQ( valid.bytes, message.Write( valid.side ) ) << valid.what;
    }
}

TEST( NetMessage, EveryCutAndEveryExtraByteIsRefused ) {
    for ( const Valid &valid : ValidMessages() ) {
        for ( size_t size = 0; size < valid.bytes.size(); size++ ) {
            // Exactly `size` bytes on the heap, so that a read past them is seen by the sanitizers.
            std::vector<uint8_t> cut( valid.bytes.begin(), valid.bytes.begin() + long( size ) );
            NetMessage message;
            EXPECT_FALSE( message.Read( cut.data(), cut.size(), valid.side ) )
                << valid.what << " cut to " << size;
            EXPECT_STRNE( "", message.GetError() );
        }
        std::vector<uint8_t> longer = valid.bytes;
        longer.push_back( 0 );
        NetMessage message;
        EXPECT_FALSE( message.Read( longer.data(), longer.size(), valid.side ) ) << valid.what;
        EXPECT_NE( std::string::npos, std::string( message.GetError() ).find( "after the end" ) )
            << valid.what;
    }
}

TEST( NetMessage, MalformedFieldsAreRefusedWithTheirReason ) {
    const std::vector<uint8_t> header = NetRecordingHeader();
    std::vector<uint8_t> headerPlusOne = header;
    headerPlusOne.push_back( 'E' );
    std::vector<uint8_t> strangeMagic = header;
    strangeMagic[0] = 'X';
    const struct {
        const char *what;
        std::vector<uint8_t> bytes;
        NetSide side;
        const char *reason;
    } cases[] = {
        { "nothing", {}, NET_FROM_CLIENT, "empty" },
        { "unknown type", { 'Z', 0, 0 }, NET_FROM_CLIENT, "unknown message type 90" },
        { "lower-case type", { 'k' }, NET_FROM_CLIENT, "unknown message type" },
        { "512 bytes", std::vector<uint8_t>( 512, 'L' ), NET_FROM_CLIENT, "511 bytes after the end" },
        { "513 bytes", std::vector<uint8_t>( 513, 'L' ), NET_FROM_CLIENT, "513 bytes is longer than 512" },
        { "protocol 2", NetBytes().U8( 'H' ).U16( 2 ).bytes, NET_FROM_CLIENT, "protocol version 2" },
        { "protocol 4", NetBytes().U8( 'H' ).U16( 4 ).bytes, NET_FROM_CLIENT, "protocol version 4" },
        { "create without a header", NetHello( 0, 2, "", "A", {} ), NET_FROM_CLIENT, "recording header:" },
        { "welcome without a header", NetBytes().U8( 'W' ).U8( 1 ).U8( 2 ).Text( "ABC234" ).U16( 0 ).bytes,
          NET_FROM_RELAY, "room's recording header" },
        { "role 3", NetHello( 3, 0, "ABC234", "A" ), NET_FROM_CLIENT, "unknown role 3" },
        { "room of 1", NetHello( 0, 1, "", "A" ), NET_FROM_CLIENT, "1 seats" },
        { "room of 5", NetHello( 0, 5, "", "A" ), NET_FROM_CLIENT, "5 seats" },
        { "seats to join", NetHello( 1, 2, "ABC234", "A" ), NET_FROM_CLIENT, "2 seats" },
        { "code to create", NetHello( 0, 2, "ABC234", "A" ), NET_FROM_CLIENT, "room code" },
        { "short code", NetHello( 1, 0, "ABC23", "A" ), NET_FROM_CLIENT, "room code" },
        { "long code", NetHello( 1, 0, "ABC2345", "A" ), NET_FROM_CLIENT, "room code of 7 bytes" },
        { "code with O", NetHello( 1, 0, "ABCO34", "A" ), NET_FROM_CLIENT, "room code" },
        { "lower-case code", NetHello( 1, 0, "abc234", "A" ), NET_FROM_CLIENT, "room code" },
        { "no name", NetHello( 1, 0, "ABC234", "" ), NET_FROM_CLIENT, "a name is" },
        { "name of 17", NetHello( 1, 0, "ABC234", std::string( 17, 'a' ) ), NET_FROM_CLIENT, "name of 17" },
        { "name with a newline", NetHello( 1, 0, "ABC234", "A\n" ), NET_FROM_CLIENT, "a name is" },
        { "name with a high byte", NetHello( 1, 0, "ABC234", "A\x80" ), NET_FROM_CLIENT, "a name is" },
        { "another program's header", NetHello( 0, 2, "", "A", strangeMagic ), NET_FROM_CLIENT,
          "not a Kelto recording" },
        { "header and a record", NetHello( 0, 2, "", "A", headerPlusOne ), NET_FROM_CLIENT,
          "recording header:" },
        { "header of 125",
          NetBytes()
              .U8( 'H' )
              .U16( uint32_t( NET_PROTOCOL_VERSION ) )
              .U8( 0 )
              .U8( 2 )
              .Text( "" )
              .Text( "A" )
              .U16( 125 )
              .bytes,
          NET_FROM_CLIENT, "125 bytes is longer than 124" },
        { "no frames", Keys( 0, 0, { { 0, 1 } } ), NET_FROM_CLIENT, "keys for 0 frames" },
        { "61 frames", Keys( 0, 61, { { 0, 61 } } ), NET_FROM_CLIENT, "keys for 61 frames" },
        { "no runs", Keys( 0, 2, {} ), NET_FROM_CLIENT, "0 runs" },
        { "more runs than frames", Keys( 0, 1, { { 0, 1 }, { 0, 1 } } ), NET_FROM_CLIENT, "2 runs" },
        { "runs short", Keys( 0, 3, { { 0, 1 }, { 1, 1 } } ), NET_FROM_CLIENT, "covering 2 of 3" },
        { "runs long", Keys( 0, 3, { { 0, 3 }, { 1, 1 } } ), NET_FROM_CLIENT, "covering 4 of 3" },
        { "empty run", Keys( 0, 2, { { 0, 2 }, { 1, 0 } } ), NET_FROM_CLIENT, "0 frames long" },
        { "key bit 10", Keys( 0, 1, { { 0x400, 1 } } ), NET_FROM_CLIENT, "0x400" },
        { "keys past the last frame", Keys( INT32_MAX - 59, 60, { { 0, 60 } } ), NET_FROM_CLIENT,
          "keys for frame" },
        { "turn to seat 4", NetBytes().U8( 'T' ).U32( 0 ).U8( 4 ).bytes, NET_FROM_CLIENT, "turn to seat 4" },
        { "checksum at 0", NetBytes().U8( 'C' ).U32( 0 ).U32( 1 ).bytes, NET_FROM_CLIENT, "frame 0" },
        { "checksum at 59", NetBytes().U8( 'C' ).U32( 59 ).U32( 1 ).bytes, NET_FROM_CLIENT, "frame 59" },
        { "checksum at 61", NetBytes().U8( 'C' ).U32( 61 ).U32( 1 ).bytes, NET_FROM_CLIENT, "frame 61" },
        { "wind of 101", NetBytes().U8( 'G' ).U32( 0 ).U32( 101 ).bytes, NET_FROM_CLIENT,
          "wind of 101 steps" },
        { "wind of -101", NetBytes().U8( 'G' ).U32( 0 ).U32( uint32_t( -101 ) ).bytes, NET_FROM_CLIENT,
          "wind of -101 steps" },
        { "wind of -2^31", NetBytes().U8( 'G' ).U32( 0 ).U32( 0x80000000u ).bytes, NET_FROM_RELAY,
          "wind of -2147483648 steps" },
        { "wind past the last frame", NetBytes().U8( 'G' ).U32( 0x80000000u ).U32( 0 ).bytes, NET_FROM_CLIENT,
          "a wind at frame 2147483648" },
        { "wind without its steps", NetBytes().U8( 'G' ).U32( 0 ).U16( 0 ).bytes, NET_FROM_CLIENT,
          "truncated wind" },
        { "column 2^31", NetBytes().U8( 'S' ).U32( 0 ).U32( 0x80000000u ).U32( 0 ).U32( 0 ).U32( 0 ).bytes,
          NET_FROM_CLIENT, "tank column 2147483648" },
        { "leave without a seat", { 'L' }, NET_FROM_RELAY, "truncated leave" },
        { "seat 4 left", NetBytes().U8( 'L' ).U8( 4 ).bytes, NET_FROM_RELAY, "seat 4 left" },
        { "welcome to seat 4", Welcome( 4, 4 ), NET_FROM_RELAY, "seat 4" },
        { "out of sync seat 4", NetBytes().U8( 'O' ).U32( 60 ).U8( 4 ).bytes, NET_FROM_RELAY, "seat 4" },
        { "reason of 121", NetBytes().U8( 'E' ).Text( std::string( 121, 'x' ) ).bytes, NET_FROM_RELAY,
          "reason of 121" },
    };
    for ( const auto &c : cases ) {
        NetMessage message;
        EXPECT_FALSE( message.Read( c.bytes.data(), c.bytes.size(), c.side ) ) << c.what;
        EXPECT_NE( std::string::npos, std::string( message.GetError() ).find( c.reason ) )
            << c.what << ": \"" << message.GetError() << "\"";
    }
}

TEST( NetMessage, TheWriterRefusesFieldsItsReaderWouldRefuse ) {
    NetMessage keys;
    keys.type = NET_KEYS;
    keys.frames = 2;
    keys.runs = { { 1, 1 } };
    EXPECT_TRUE( keys.Write( NET_FROM_CLIENT ).empty() );
    keys.runs.push_back( { 2, 1 } );
    EXPECT_EQ( 1u + 4 + 1 + 1 + 2 * 3, keys.Write( NET_FROM_CLIENT ).size() );
    NetMessage unknown;
    unknown.type = 'Q';
    EXPECT_TRUE( unknown.Write( NET_FROM_RELAY ).empty() );
}

TEST( RoomCodes, OnlyUnmistakableCodesOfSixAreCodes ) {
    const struct {
        const char *code;
        int valid;
    } cases[] = {
        { "ABC234", 1 },  { "ZZZZZZ", 1 }, { "222222", 1 }, { "99HJKX", 1 }, { "ABC23", 0 },
        { "ABC2345", 0 }, { "", 0 },       { "ABCO34", 0 }, { "ABC034", 0 }, { "ABCI34", 0 },
        { "ABC134", 0 },  { "abc234", 0 }, { "ABC 34", 0 }, { "ABC-34", 0 },
    };
    for ( const auto &c : cases ) {
        EXPECT_EQ( c.valid, RoomCodes::IsValid( c.code ) ) << c.code;
    }
    EXPECT_FALSE( RoomCodes::IsValid( std::string( "ABC\0"
                                                   "34",
                                                   6 ) ) );
}

TEST( RoomCodes, CodesInUseAreNeverGivenTwiceAndComeBackWhenReleased ) {
    RoomCodes codes;
    codes.Seed( 0 );
    std::set<std::string> seen;
    std::set<char> letters;
    std::vector<std::string> order;
    for ( int i = 0; i < 2000; i++ ) {
        const std::string code = codes.Take();
        order.push_back( code );
        ASSERT_TRUE( RoomCodes::IsValid( code ) ) << code;
        ASSERT_TRUE( seen.insert( code ).second ) << code;
        letters.insert( code.begin(), code.end() );
    }
    EXPECT_EQ( 2000, codes.GetCount() );
    // Every letter of the alphabet turns up, the first and last included.
    EXPECT_EQ( 32u, letters.size() );
    const std::string first = *seen.begin();
    EXPECT_TRUE( codes.IsInUse( first ) );
    codes.Release( first );
    EXPECT_FALSE( codes.IsInUse( first ) );
    EXPECT_EQ( 1999, codes.GetCount() );

    RoomCodes again;
    again.Seed( 0 );
    RoomCodes other;
    other.Seed( 1 );
    // A seed gives its own codes, the same every time.
    EXPECT_EQ( order[0], again.Take() );
    EXPECT_EQ( order[1], again.Take() );
    EXPECT_NE( order[0], other.Take() );
}

} // namespace
