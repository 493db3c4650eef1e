// The relay's work for one room, without the network: a second of a four-player match as the
// players' games send it (keys every frame, as the lockstep's input delay has them, and each
// player's checksum), read, checked, forwarded and written for every other member. Compared with
// copying one 640 x 480 frame in the same run.

#include "net/NetMessage.h"
#include "net/RelayRoom.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

const size_t FRAME_BYTES = 640 * 480;
const int SECONDS_A_ROOM = 600; // a fresh room every ten minutes of play

void BM_Memcpy_Frame( benchmark::State &state ) {
    std::vector<uint8_t> source( FRAME_BYTES, 3 ), target( FRAME_BYTES, 0 );
    for ( auto _ : state ) {
        std::memcpy( target.data(), source.data(), FRAME_BYTES );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( FRAME_BYTES ) );
}

std::vector<uint8_t> Header() {
    std::vector<uint8_t> header;
    for ( char letter : REPLAY_MAGIC ) {
        header.push_back( uint8_t( letter ) );
    }
    const uint8_t rest[] = { 1, 0, 5, '1', '.', '0', '.', '0', 1, 0, 0, 0, 2,
                             0, 0, 0, 3,   0,   0,   0,   4,   0, 0, 0, 0 };
    header.insert( header.end(), rest, rest + sizeof( rest ) );
    return header;
}

void Feed( RelayRoom &room, int connection, const NetMessage &message, size_t &bytesOut ) {
    const std::vector<uint8_t> bytes = message.Write( NET_FROM_CLIENT );
    NetMessage read;
    if ( !read.Read( bytes.data(), bytes.size(), NET_FROM_CLIENT ) || !room.Receive( connection, read ) ) {
        std::abort();
    }
    for ( const NetDelivery &delivery : room.TakeOutbox() ) {
        bytesOut += delivery.bytes.size();
    }
}

void NewRoom( RelayRoom &room ) {
    room = RelayRoom();
    room.Create( "ABC234", 4, Header(), 0, "P1" );
    for ( int seat = 1; seat < 4; seat++ ) {
        room.Join( seat, NET_PLAY, "P", Header() );
    }
    NetMessage start;
    start.type = NET_MATCH_START;
    size_t ignored = 0;
    Feed( room, 0, start, ignored );
    room.TakeOutbox();
}

void BM_RelayRoom_SecondOfFourPlayers( benchmark::State &state ) {
    RelayRoom room;
    NetMessage keys;
    keys.type = NET_KEYS;
    keys.frames = 1;
    keys.runs = { { 0, 1 } };
    NetMessage checksum;
    checksum.type = NET_CHECKSUM;
    checksum.checksum = 0x1234;
    size_t bytesOut = 0;
    int second = SECONDS_A_ROOM;
    uint32_t frame = 0;
    for ( auto _ : state ) {
        if ( second == SECONDS_A_ROOM ) {
            state.PauseTiming();
            NewRoom( room );
            frame = 0;
            second = 0;
            state.ResumeTiming();
        }
        for ( int i = 0; i < REPLAY_BLOCK_FRAMES; i++ ) {
            keys.frame = frame++;
            keys.runs[0].keys = uint16_t( ( frame / 20 ) % 3 ); // held a third of a second
            Feed( room, 0, keys, bytesOut );
        }
        checksum.frame = frame;
        for ( int seat = 0; seat < 4; seat++ ) {
            Feed( room, seat, checksum, bytesOut );
        }
        second++;
    }
    benchmark::DoNotOptimize( bytesOut );
    state.SetItemsProcessed( int64_t( state.iterations() ) ); // seconds of play
    state.counters["history_bytes"] = double( room.GetHistoryBytes() );
    state.counters["room_bytes"] = double( sizeof( RelayRoom ) );
}

} // namespace

BENCHMARK( BM_Memcpy_Frame );
BENCHMARK( BM_RelayRoom_SecondOfFourPlayers );
