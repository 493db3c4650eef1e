// Fuzzes the reader of the online game's messages and the relay room behind it: any bytes are
// either refused with a reason or read into a message that writes back to the very same bytes,
// and a room fed a stream of such messages from its members keeps its own rules (the stream
// only grows, no delivery goes to a stranger, every delivery is a message the relay may send).

#include "fuzz/FuzzSupport.h"
#include "net/NetMessage.h"
#include "net/RelayRoom.h"

namespace {

const int MEMBERS = 4; // connections 0 to 3: the creator, two players, a spectator

// The header of a game this build could play: the room sends it back in every welcome.
std::vector<uint8_t> Header() {
    const uint32_t pictures[REPLAY_PICTURE_COUNT] = { 1, 2, 3, 4 };
    const int32_t rules[] = { 0, 100, 2, 1 };
    return NetMakeRecordingHeader( "1.0.0", pictures, rules, int( sizeof( rules ) / sizeof( rules[0] ) ) );
}

void CheckOneMessage( const uint8_t *data, size_t size, NetSide side ) {
    NetMessage message;
    if ( message.Read( data, size, side ) ) {
        const std::vector<uint8_t> written = message.Write( side );
        FUZZ_CHECK( written.size() == size && std::equal( written.begin(), written.end(), data ),
                    "a '%c' message of %zu bytes writes back as %zu other bytes", char( message.type ), size,
                    written.size() );
    } else {
        FUZZ_CHECK( message.GetError()[0] != '\0', "refused without a reason" );
    }
}

// The input as messages: a byte for the sender, a byte for the length, then the message.
void RunRoom( const uint8_t *data, size_t size ) {
    RelayRoom room;
    if ( !room.Create( "ABC234", 3, Header(), 0, "Ann" ) || !room.Join( 1, NET_PLAY, "Bob", Header() ) ||
         !room.Join( 2, NET_PLAY, "Cy", Header() ) || !room.Join( 3, NET_WATCH, "Eve", Header() ) ) {
        FUZZ_CHECK( false, "the room would not seat its members: %s", room.GetError() );
    }
    int open[MEMBERS] = { 1, 1, 1, 1 };
    size_t offset = 0;
    while ( offset + 2 <= size ) {
        const int connection = data[offset] % MEMBERS;
        const size_t length = std::min( size_t( data[offset + 1] ), size - offset - 2 );
        const std::vector<uint8_t> bytes( data + offset + 2, data + offset + 2 + length );
        offset += 2 + length;
        if ( !open[connection] ) {
            continue;
        }
        const uint32_t framesBefore = room.GetStreamFrames();
        NetMessage message;
        if ( !message.Read( bytes.data(), bytes.size(), NET_FROM_CLIENT ) ||
             !room.Receive( connection, message ) ) {
            room.Leave( connection );
            open[connection] = 0;
        }
        FUZZ_CHECK( room.GetStreamFrames() >= framesBefore, "the stream went back" );
        FUZZ_CHECK( room.GetHistoryBytes() <= RELAY_MAX_HISTORY_BYTES, "history of %zu bytes",
                    room.GetHistoryBytes() );
        for ( const NetDelivery &delivery : room.TakeOutbox() ) {
            FUZZ_CHECK( delivery.connection >= 0 && delivery.connection < MEMBERS, "a delivery to %d",
                        delivery.connection );
            if ( delivery.close ) {
                open[delivery.connection] = 0;
            }
            if ( delivery.bytes.empty() ) {
                FUZZ_CHECK( delivery.close, "an empty message" );
                continue;
            }
            NetMessage sent;
            FUZZ_CHECK( sent.Read( delivery.bytes.data(), delivery.bytes.size(), NET_FROM_RELAY ),
                        "the room sent a message it cannot read: %s", sent.GetError() );
        }
    }
}

void WriteSeeds( const char *directory ) {
    FuzzWriter writer;
    const uint8_t start[] = { 'S', 0, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 40, 0, 0, 0 };
    writer.Byte( 0 );
    writer.Byte( sizeof( start ) );
    writer.bytes.insert( writer.bytes.end(), start, start + sizeof( start ) );
    for ( int second = 0; second < 2; second++ ) {
        const uint8_t keys[] = { 'K', uint8_t( second * 60 ), 0, 0, 0, 60, 2, 1, 0, 30, 2, 0, 30 };
        writer.Byte( 0 );
        writer.Byte( sizeof( keys ) );
        writer.bytes.insert( writer.bytes.end(), keys, keys + sizeof( keys ) );
    }
    for ( int seat = 0; seat < 3; seat++ ) {
        const uint8_t checksum[] = { 'C', 60, 0, 0, 0, uint8_t( seat == 2 ), 0, 0, 0 };
        writer.Byte( uint8_t( seat ) );
        writer.Byte( sizeof( checksum ) );
        writer.bytes.insert( writer.bytes.end(), checksum, checksum + sizeof( checksum ) );
    }
    const uint8_t turn[] = { 'T', 120, 0, 0, 0, 1 };
    writer.Byte( 0 );
    writer.Byte( sizeof( turn ) );
    writer.bytes.insert( writer.bytes.end(), turn, turn + sizeof( turn ) );
    FuzzWriteSeed( directory, "a-match", writer.bytes );
}

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    FuzzWriteSeedsIfAsked( *argc, *argv, WriteSeeds );
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    CheckOneMessage( data, size, NET_FROM_CLIENT );
    CheckOneMessage( data, size, NET_FROM_RELAY );
    RunRoom( data, size );
    return 0;
}
