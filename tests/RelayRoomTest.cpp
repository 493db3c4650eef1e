#include "net/RelayRoom.h"
#include "tests/support/NetBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int ANN = 1, BOB = 2, CY = 3, EVE = 9; // connections: three players and a spectator

NetMessage Message( const std::vector<uint8_t> &bytes ) {
    NetMessage message;
    EXPECT_TRUE( message.Read( bytes.data(), bytes.size(), NET_FROM_CLIENT ) ) << message.GetError();
    return message;
}

NetMessage Keys( uint32_t frame, int frames, uint16_t keys = 1 ) {
    return Message( NetBytes()
                        .U8( 'K' )
                        .U32( frame )
                        .U8( uint32_t( frames ) )
                        .U8( 1 )
                        .U16( keys )
                        .U8( uint32_t( frames ) )
                        .bytes );
}

NetMessage Start( uint32_t frame ) {
    return Message( NetBytes().U8( 'S' ).U32( frame ).U32( 10 ).U32( 20 ).U32( 30 ).U32( 40 ).bytes );
}

NetMessage Turn( uint32_t frame, int seat ) {
    return Message( NetBytes().U8( 'T' ).U32( frame ).U8( uint32_t( seat ) ).bytes );
}

NetMessage Wind( uint32_t frame, int steps ) {
    return Message( NetBytes().U8( 'G' ).U32( frame ).U32( uint32_t( steps ) ).bytes );
}

NetMessage Checksum( uint32_t frame, uint32_t checksum ) {
    return Message( NetBytes().U8( 'C' ).U32( frame ).U32( checksum ).bytes );
}

// The messages one connection was sent, read back; `closed` when the room asked to close it.
struct Received {
    std::vector<NetMessage> messages;
    int closed = 0;
    std::string Types() const {
        std::string types;
        for ( const NetMessage &message : messages ) {
            types += char( message.type );
        }
        return types;
    }
};

Received For( const std::vector<NetDelivery> &outbox, int connection ) {
    Received received;
    for ( const NetDelivery &delivery : outbox ) {
        if ( delivery.connection != connection ) {
            continue;
        }
        received.closed |= delivery.close;
        if ( !delivery.bytes.empty() ) {
            NetMessage message;
            EXPECT_TRUE( message.Read( delivery.bytes.data(), delivery.bytes.size(), NET_FROM_RELAY ) )
                << message.GetError();
            received.messages.push_back( message );
        }
    }
    return received;
}

// A room of three seats with Ann, Bob and Cy seated and Eve watching, its match started.
class RelayRoomTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE( room.Create( "ABC234", 3, NetRecordingHeader(), ANN, "Ann" ) ) << room.GetError();
        ASSERT_TRUE( room.Join( BOB, NET_PLAY, "Bob", NetRecordingHeader() ) ) << room.GetError();
        ASSERT_TRUE( room.Join( CY, NET_PLAY, "Cy", NetRecordingHeader() ) ) << room.GetError();
        ASSERT_TRUE( room.Join( EVE, NET_WATCH, "Eve", NetRecordingHeader() ) ) << room.GetError();
        ASSERT_TRUE( room.Receive( ANN, Start( 0 ) ) ) << room.GetError();
        room.TakeOutbox();
    }

    void ExpectRefused( int connection, const NetMessage &message, const char *reason ) {
        EXPECT_FALSE( room.Receive( connection, message ) );
        EXPECT_NE( std::string::npos, std::string( room.GetError() ).find( reason ) ) << room.GetError();
        EXPECT_TRUE( room.TakeOutbox().empty() ) << "a refused message went out";
    }

    RelayRoom room;
};

TEST_F( RelayRoomTest, SeatsGoInJoinOrderAndNewcomersLearnWhoIsSeated ) {
    EXPECT_EQ( 0, room.GetSeatOf( ANN ) );
    EXPECT_EQ( 1, room.GetSeatOf( BOB ) );
    EXPECT_EQ( 2, room.GetSeatOf( CY ) );
    EXPECT_EQ( NET_SPECTATOR, room.GetSeatOf( EVE ) );
    EXPECT_EQ( -1, room.GetSeatOf( 42 ) );

    RelayRoom fresh;
    ASSERT_TRUE( fresh.Create( "ABC234", 2, NetRecordingHeader(), ANN, "Ann" ) );
    ASSERT_TRUE( fresh.Join( BOB, NET_PLAY, "Bob", NetRecordingHeader() ) );
    const std::vector<NetDelivery> outbox = fresh.TakeOutbox();
    const Received bob = For( outbox, BOB );
    ASSERT_EQ( "WP", bob.Types() );
    EXPECT_EQ( 1, bob.messages[0].seat );
    EXPECT_EQ( 2, bob.messages[0].seats );
    EXPECT_EQ( "ABC234", bob.messages[0].code );
    EXPECT_EQ( 0, bob.messages[1].seat );
    EXPECT_EQ( "Ann", bob.messages[1].name );
    const Received ann = For( outbox, ANN );
    ASSERT_EQ( "WP", ann.Types() ); // her own welcome, then Bob
    EXPECT_EQ( "Bob", ann.messages[1].name );

    EXPECT_FALSE( fresh.Join( CY, NET_PLAY, "Cy", NetRecordingHeader() ) );
    EXPECT_STREQ( "room ABC234 is full", fresh.GetError() );
    EXPECT_FALSE( fresh.Join( BOB, NET_WATCH, "Bob", NetRecordingHeader() ) );
    EXPECT_FALSE( fresh.Create( "ABC234", 5, NetRecordingHeader(), ANN, "Ann" ) );
}

TEST_F( RelayRoomTest, AnotherGameIsRefusedAndSpectatorsAreCounted ) {
    EXPECT_FALSE( room.Join( 20, NET_WATCH, "Old", NetRecordingHeader( "0.9.0" ) ) );
    EXPECT_NE( std::string::npos, std::string( room.GetError() ).find( "runs another game" ) );
    EXPECT_FALSE( room.Join( 20, NET_WATCH, "Rules", NetRecordingHeader( "1.0.0", { 0, 6 } ) ) );
    // Eve and seven more make eight; the ninth is one too many. One comes without a header, to
    // play the room's game, and its welcome brings the room's header.
    room.TakeOutbox();
    ASSERT_TRUE( room.Join( 20, NET_WATCH, "Fan", {} ) ) << room.GetError();
    const std::vector<NetDelivery> sent = room.TakeOutbox();
    ASSERT_FALSE( sent.empty() );
    NetMessage welcome;
    ASSERT_TRUE( welcome.Read( sent[0].bytes.data(), sent[0].bytes.size(), NET_FROM_RELAY ) )
        << welcome.GetError();
    EXPECT_EQ( welcome.type, NET_WELCOME );
    EXPECT_EQ( welcome.header, NetRecordingHeader() );
    for ( int i = 1; i < RELAY_MAX_SPECTATORS - 1; i++ ) {
        ASSERT_TRUE( room.Join( 20 + i, NET_WATCH, "Fan", NetRecordingHeader() ) ) << i;
    }
    EXPECT_FALSE( room.Join( 40, NET_WATCH, "Fan", NetRecordingHeader() ) );
    EXPECT_NE( std::string::npos, std::string( room.GetError() ).find( "8 spectators" ) );
    // After the start a stranger cannot take a seat.
    room.Leave( CY );
    EXPECT_FALSE( room.Join( 41, NET_PLAY, "Dan", NetRecordingHeader() ) );
    EXPECT_NE( std::string::npos, std::string( room.GetError() ).find( "has begun" ) );
}

TEST_F( RelayRoomTest, OnlyTheTurnsSeatSendsKeysForTheNextFrame ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 6 ) ) );
    std::vector<NetDelivery> outbox = room.TakeOutbox();
    EXPECT_EQ( "K", For( outbox, BOB ).Types() );
    EXPECT_EQ( "K", For( outbox, CY ).Types() );
    EXPECT_EQ( "K", For( outbox, EVE ).Types() );
    EXPECT_EQ( "", For( outbox, ANN ).Types() );
    EXPECT_EQ( 6u, room.GetStreamFrames() );

    ExpectRefused( BOB, Keys( 6, 1 ), "keys from seat 1, but it is seat 0's turn" );
    ExpectRefused( EVE, Keys( 6, 1 ), "a spectator sends nothing but leave" );
    ExpectRefused( ANN, Keys( 5, 1 ), "keys from frame 5; the next frame is 6" );
    ExpectRefused( ANN, Keys( 7, 1 ), "keys from frame 7; the next frame is 6" );
    ExpectRefused( BOB, Turn( 6, 1 ), "a turn passed by seat 1" );
    ExpectRefused( ANN, Turn( 5, 1 ), "a turn at frame 5" );
    ExpectRefused( ANN, Turn( 6, 3 ), "a turn to seat 3 of a room with 3 seats" );
    ExpectRefused( BOB, Start( 6 ), "only the host's seat 0" );
    ExpectRefused( ANN, Start( 7 ), "a match start at frame 7, with 6 frames played" );
    ExpectRefused( ANN, Message( NetHello( 1, 0, "ABC234", "Ann" ) ), "a second hello" );

    ASSERT_TRUE( room.Receive( ANN, Turn( 6, 2 ) ) );
    EXPECT_EQ( "T", For( room.TakeOutbox(), EVE ).Types() );
    EXPECT_EQ( 2, room.GetTurnSeat() );
    ExpectRefused( ANN, Keys( 6, 1 ), "keys from seat 0, but it is seat 2's turn" );
    EXPECT_TRUE( room.Receive( CY, Keys( 6, 1 ) ) );
    EXPECT_TRUE( room.Receive( ANN, Start( 6 ) ) ); // a new match during the last frame played
    room.TakeOutbox();
    ExpectRefused( ANN, Start( 6 ), "a match start at frame 6" );
}

// A player who left in its turn leaves the stream to the host's game, which takes the turn for
// its computer at the stream's next frame; nobody else may, and nobody may while the seat is
// taken.
TEST_F( RelayRoomTest, TheHostTakesTheTurnOfASeatLeftEmpty ) {
    ASSERT_TRUE( room.Receive( ANN, Turn( 0, 2 ) ) );
    room.TakeOutbox();
    ExpectRefused( ANN, Turn( 0, 0 ), "a turn passed by seat 0, but it is seat 2's turn" );
    ASSERT_TRUE( room.Receive( CY, Keys( 0, 4 ) ) );
    room.TakeOutbox();
    ExpectRefused( ANN, Turn( 4, 0 ), "a turn passed by seat 0, but it is seat 2's turn" );
    room.Leave( CY );
    room.TakeOutbox();
    ExpectRefused( BOB, Turn( 4, 1 ), "a turn passed by seat 1, but it is seat 2's turn" );
    ExpectRefused( ANN, Turn( 4, 1 ), "a turn passed by seat 0, but it is seat 2's turn" );
    ExpectRefused( ANN, Turn( 3, 0 ), "a turn at frame 3" );
    ASSERT_TRUE( room.Receive( ANN, Turn( 4, 0 ) ) ) << room.GetError();
    EXPECT_EQ( 0, room.GetTurnSeat() );
    EXPECT_TRUE( room.Receive( ANN, Keys( 4, 1 ) ) ) << room.GetError();
}

TEST_F( RelayRoomTest, KeysBeforeTheMatchAreRefused ) {
    RelayRoom fresh;
    ASSERT_TRUE( fresh.Create( "ABC234", 2, NetRecordingHeader(), ANN, "Ann" ) );
    EXPECT_FALSE( fresh.Receive( ANN, Keys( 0, 1 ) ) );
    EXPECT_STREQ( "keys before the match starts", fresh.GetError() );
    EXPECT_FALSE( fresh.Receive( ANN, Start( 1 ) ) );
    EXPECT_FALSE( fresh.Receive( BOB, Keys( 0, 1 ) ) );
    EXPECT_NE( std::string::npos, std::string( fresh.GetError() ).find( "not in room" ) );
}

TEST_F( RelayRoomTest, ChecksumsAreComparedOnceEverySeatReported ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Keys( 60, 60 ) ) );
    room.TakeOutbox();
    const struct {
        const char *what;
        uint32_t ann, bob, cy;
        int outOfSync;
        int seat;
    } cases[] = {
        { "all agree", 7, 7, 7, 0, 0 },
        { "Cy differs", 7, 7, 8, 1, 2 },
        { "Ann differs", 9, 7, 7, 1, 0 },
        { "no two agree", 1, 2, 3, 1, NET_NO_SEAT },
    };
    for ( const auto &c : cases ) {
        RelayRoom copy = room;
        ASSERT_TRUE( copy.Receive( ANN, Checksum( 60, c.ann ) ) ) << copy.GetError();
        ASSERT_TRUE( copy.Receive( BOB, Checksum( 60, c.bob ) ) ) << copy.GetError();
        EXPECT_TRUE( copy.TakeOutbox().empty() ) << c.what << ": compared before Cy reported";
        ASSERT_TRUE( copy.Receive( CY, Checksum( 60, c.cy ) ) ) << copy.GetError();
        const std::vector<NetDelivery> outbox = copy.TakeOutbox();
        EXPECT_EQ( c.outOfSync, copy.IsOutOfSync() ) << c.what;
        for ( int connection : { ANN, BOB, CY, EVE } ) {
            const Received received = For( outbox, connection );
            ASSERT_EQ( c.outOfSync ? "O" : "", received.Types() ) << c.what << " to " << connection;
            if ( c.outOfSync ) {
                EXPECT_EQ( 60u, received.messages[0].frame );
                EXPECT_EQ( c.seat, received.messages[0].seat ) << c.what;
            }
        }
        if ( c.outOfSync ) {
            EXPECT_FALSE( copy.Receive( ANN, Keys( 120, 1 ) ) ) << c.what;
        }
    }
}

TEST_F( RelayRoomTest, WithARefereeTheSeatThatDiffersFromTheGameIsNamed ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Keys( 60, 60 ) ) );
    room.SetRefereed( 1 );
    room.TakeOutbox();
    // The referee's checksum comes before the players' (0), after them (1), or the referee is
    // given up before it comes (-1), and the majority decides again.
    const struct {
        const char *what;
        uint32_t ann, bob, cy, game;
        int refereeAt;
        int outOfSync;
        int seat;
    } cases[] = {
        { "all agree with the game", 7, 7, 7, 7, 0, 0, 0 },
        { "all agree, the game last", 7, 7, 7, 7, 1, 0, 0 },
        { "Cy differs from the game", 7, 7, 8, 7, 1, 1, 2 },
        { "two agree against the game", 8, 8, 7, 7, 0, 1, NET_NO_SEAT },
        { "all agree against the game", 8, 8, 8, 7, 1, 1, NET_NO_SEAT },
        { "only Bob is right", 5, 7, 9, 7, 0, 1, NET_NO_SEAT },
        { "given up: the majority names Cy", 7, 7, 8, 0, -1, 1, 2 },
        { "given up: all agree", 8, 8, 8, 0, -1, 0, 0 },
    };
    for ( const auto &c : cases ) {
        RelayRoom copy = room;
        if ( c.refereeAt == 0 ) {
            copy.ReceiveRefereeChecksum( 60, c.game );
        }
        ASSERT_TRUE( copy.Receive( ANN, Checksum( 60, c.ann ) ) ) << copy.GetError();
        ASSERT_TRUE( copy.Receive( BOB, Checksum( 60, c.bob ) ) ) << copy.GetError();
        ASSERT_TRUE( copy.Receive( CY, Checksum( 60, c.cy ) ) ) << copy.GetError();
        EXPECT_EQ( c.refereeAt == 0 ? c.outOfSync : 0, copy.IsOutOfSync() )
            << c.what << ": settled without the game";
        if ( c.refereeAt == 1 ) {
            copy.ReceiveRefereeChecksum( 60, c.game );
        } else if ( c.refereeAt < 0 ) {
            copy.SetRefereed( 0 );
        }
        const std::vector<NetDelivery> outbox = copy.TakeOutbox();
        EXPECT_EQ( c.outOfSync, copy.IsOutOfSync() ) << c.what;
        EXPECT_EQ( c.refereeAt >= 0 && !c.outOfSync ? 1u : 0u, copy.GetRefereeAgreed() ) << c.what;
        const Received received = For( outbox, EVE );
        ASSERT_EQ( c.outOfSync ? "O" : "", received.Types() ) << c.what;
        if ( c.outOfSync ) {
            EXPECT_EQ( 60u, received.messages[0].frame ) << c.what;
            EXPECT_EQ( c.seat, received.messages[0].seat ) << c.what;
        }
        // A late or repeated checksum of the game for a settled frame changes nothing.
        copy.ReceiveRefereeChecksum( 60, c.game + 1 );
        EXPECT_TRUE( copy.TakeOutbox().empty() ) << c.what;
    }
}

TEST_F( RelayRoomTest, ChecksumsOutsideTheStreamOrRepeatedAreRefused ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    room.TakeOutbox();
    ExpectRefused( ANN, Checksum( 120, 1 ), "the keys reach frame 60" );
    ASSERT_TRUE( room.Receive( ANN, Checksum( 60, 1 ) ) );
    ExpectRefused( ANN, Checksum( 60, 1 ), "after one for frame 60" );
    ExpectRefused( EVE, Checksum( 60, 1 ), "a spectator" );

    // Ann may run 63 seconds of checksums ahead of Bob and Cy, not 64.
    const uint32_t limit = uint32_t( RELAY_MAX_PENDING_CHECKSUMS * REPLAY_BLOCK_FRAMES );
    for ( uint32_t frame = 120; frame <= limit; frame += 60 ) {
        ASSERT_TRUE( room.Receive( ANN, Keys( frame - 60, 60 ) ) );
    }
    ASSERT_TRUE( room.Receive( ANN, Checksum( limit - 60, 1 ) ) ) << room.GetError();
    room.TakeOutbox();
    ExpectRefused( ANN, Checksum( limit, 1 ), "64 seconds ahead" );
}

TEST_F( RelayRoomTest, APlayerWhoLeftIsNotWaitedForAndTakesTheSeatBack ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Checksum( 60, 5 ) ) );
    ASSERT_TRUE( room.Receive( BOB, Checksum( 60, 6 ) ) );
    room.TakeOutbox();
    ASSERT_TRUE( room.Receive( CY, Message( { 'L' } ) ) );
    std::vector<NetDelivery> outbox = room.TakeOutbox();
    EXPECT_TRUE( For( outbox, CY ).closed );
    const Received ann = For( outbox, ANN );
    ASSERT_EQ( "LO", ann.Types() ); // Cy left, then Ann's and Bob's checksums were compared
    EXPECT_EQ( 2, ann.messages[0].seat );
    EXPECT_EQ( NET_NO_SEAT, ann.messages[1].seat );

    // Cy comes back to the same seat and is shown the match so far.
    ASSERT_TRUE( room.Join( 30, NET_PLAY, "Cy", NetRecordingHeader() ) ) << room.GetError();
    EXPECT_EQ( 2, room.GetSeatOf( 30 ) );
    EXPECT_EQ( "WPPSK", For( room.TakeOutbox(), 30 ).Types() );
}

TEST_F( RelayRoomTest, TheHostLeavingBeforeTheMatchEndsTheRoom ) {
    RelayRoom fresh;
    ASSERT_TRUE( fresh.Create( "ABC234", 2, NetRecordingHeader(), ANN, "Ann" ) );
    ASSERT_TRUE( fresh.Join( BOB, NET_PLAY, "Bob", NetRecordingHeader() ) );
    ASSERT_TRUE( fresh.Join( EVE, NET_WATCH, "Eve", NetRecordingHeader() ) );
    fresh.TakeOutbox();
    fresh.Leave( ANN );
    const std::vector<NetDelivery> outbox = fresh.TakeOutbox();
    for ( int connection : { BOB, EVE } ) {
        const Received received = For( outbox, connection );
        ASSERT_EQ( "E", received.Types() );
        EXPECT_TRUE( received.closed );
        EXPECT_EQ( "the host left before the match started", received.messages[0].reason );
    }
    EXPECT_TRUE( fresh.IsClosed() );
    EXPECT_EQ( 0, fresh.GetMemberCount() );
    EXPECT_FALSE( fresh.Join( CY, NET_PLAY, "Cy", NetRecordingHeader() ) );

    // Once the match runs, the host is a seat like the others.
    room.Leave( ANN );
    EXPECT_EQ( "L", For( room.TakeOutbox(), BOB ).Types() );
    EXPECT_FALSE( room.IsClosed() );
}

TEST_F( RelayRoomTest, LateSpectatorsSeeTheStreamInSecondsUntilItIsTooLong ) {
    // Keys a frame at a time join into one record of up to 60 frames, as in a recording.
    for ( uint32_t frame = 0; frame < 61; frame++ ) {
        ASSERT_TRUE( room.Receive( ANN, Keys( frame, 1, uint16_t( frame < 30 ? 1 : 2 ) ) ) );
    }
    ASSERT_TRUE( room.Join( 20, NET_WATCH, "Late", NetRecordingHeader() ) );
    const Received late = For( room.TakeOutbox(), 20 );
    ASSERT_EQ( "WPPPSKK", late.Types() );
    const NetMessage &first = late.messages[5];
    EXPECT_EQ( 0u, first.frame );
    EXPECT_EQ( 60, first.frames );
    ASSERT_EQ( 2u, first.runs.size() );
    EXPECT_EQ( 30, first.runs[0].length );
    EXPECT_EQ( 60u, late.messages[6].frame );
    EXPECT_EQ( 1, late.messages[6].frames );

    // Whole seconds of changing keys: 187 bytes each after the 21 of the start and the 7 + 3 + 10
    // already kept; the last second that fits keeps the door open, one more closes it.
    NetMessage second60;
    second60.type = NET_KEYS;
    second60.frames = 60;
    for ( int i = 0; i < 60; i++ ) {
        second60.runs.push_back( { uint16_t( i % 2 ), 1 } );
    }
    uint32_t frame = 61;
    while ( room.GetHistoryBytes() + 187 <= RELAY_MAX_HISTORY_BYTES ) {
        second60.frame = frame;
        ASSERT_TRUE( room.Receive( ANN, second60 ) );
        frame += 60;
    }
    EXPECT_TRUE( room.Join( 21, NET_WATCH, "Just", NetRecordingHeader() ) );
    second60.frame = frame;
    ASSERT_TRUE( room.Receive( ANN, second60 ) );
    room.TakeOutbox();
    EXPECT_FALSE( room.Join( 22, NET_WATCH, "Too late", NetRecordingHeader() ) );
    EXPECT_NE( std::string::npos, std::string( room.GetError() ).find( "too long to watch" ) );
    EXPECT_EQ( 0u, room.GetHistoryBytes() );
}

// The host's game sends each wind it drew once it has played into the frame: the room takes it
// from seat 0 alone, for a frame the stream holds (or the start-up's, frame 0), never before the
// last one, and at most two at frame 0.
TEST_F( RelayRoomTest, OnlyTheHostSendsWindsForFramesTheStreamHoldsInOrder ) {
    const struct {
        int connection;
        uint32_t frame;
        int steps;
        const char *refused; // null: taken and passed on
    } cases[] = {
        { BOB, 0, 1, "a wind from seat 1; only the host's seat 0" },
        { EVE, 0, 1, "a spectator sends nothing but leave" },
        { ANN, 1, 1, "a wind at frame 1, with 0 frames played" },
        { ANN, 0, -100, nullptr }, // the start-up's, before any keys
        { ANN, 0, 100, nullptr },  // and one in the first frame
        { ANN, 0, 0, "a wind at frame 0, after one at frame 0" },
        { -1, 0, 0, nullptr }, // keys for frames 0 to 9 and a turn to Bob
        { ANN, 10, 0, "a wind at frame 10, with 10 frames played" },
        { ANN, 9, 5, nullptr }, // the last frame the stream holds, while it is Bob's turn
        { BOB, 9, 5, "a wind from seat 1" },
        { ANN, 9, 5, "a wind at frame 9, after one at frame 9" },
        { ANN, 8, 5, "a wind at frame 8, after one at frame 9" },
    };
    for ( const auto &c : cases ) {
        if ( c.connection < 0 ) {
            ASSERT_TRUE( room.Receive( ANN, Keys( 0, 10 ) ) );
            ASSERT_TRUE( room.Receive( ANN, Turn( 10, 1 ) ) );
            room.TakeOutbox();
            continue;
        }
        if ( c.refused != nullptr ) {
            ExpectRefused( c.connection, Wind( c.frame, c.steps ), c.refused );
            continue;
        }
        ASSERT_TRUE( room.Receive( c.connection, Wind( c.frame, c.steps ) ) ) << c.frame << room.GetError();
        const std::vector<NetDelivery> outbox = room.TakeOutbox();
        for ( int connection : { BOB, CY, EVE } ) {
            const Received received = For( outbox, connection );
            ASSERT_EQ( "G", received.Types() ) << c.frame;
            EXPECT_EQ( c.frame, received.messages[0].frame );
            EXPECT_EQ( c.steps, received.messages[0].windSteps );
        }
        EXPECT_EQ( "", For( outbox, ANN ).Types() );
    }
    EXPECT_EQ( 3u, room.GetWindCount() );

    // A late spectator sees the winds in the stream where they came.
    ASSERT_TRUE( room.Join( 20, NET_WATCH, "Late", NetRecordingHeader() ) );
    EXPECT_EQ( "WPPPSGGKTG", For( room.TakeOutbox(), 20 ).Types() );

    // The host back in its seat draws the three winds again: passed on to no one, and its next
    // one is held to the order again.
    room.Leave( ANN );
    room.TakeOutbox();
    ASSERT_TRUE( room.Join( 30, NET_PLAY, "Ann", NetRecordingHeader() ) );
    room.TakeOutbox();
    for ( uint32_t frame : { 0u, 0u, 9u } ) {
        ASSERT_TRUE( room.Receive( 30, Wind( frame, 1 ) ) ) << room.GetError();
        EXPECT_TRUE( room.TakeOutbox().empty() ) << frame;
    }
    EXPECT_EQ( 3u, room.GetWindCount() );
    ExpectRefused( 30, Wind( 9, 1 ), "a wind at frame 9, after one at frame 9" );
    ASSERT_TRUE( room.Receive( BOB, Keys( 10, 1 ) ) );
    ASSERT_TRUE( room.Receive( 30, Wind( 10, 1 ) ) ) << room.GetError();
    EXPECT_EQ( "G", For( room.TakeOutbox(), BOB ).Types() );
    EXPECT_EQ( 4u, room.GetWindCount() );

    // No wind before the match starts.
    RelayRoom fresh;
    ASSERT_TRUE( fresh.Create( "ABC234", 2, NetRecordingHeader(), ANN, "Ann" ) );
    EXPECT_FALSE( fresh.Receive( ANN, Wind( 0, 0 ) ) );
    EXPECT_STREQ( "a wind before the match starts", fresh.GetError() );
}

} // namespace

namespace {

// The next match starts during a frame of the stream, with keys every game plays alike; the host
// says so after playing into it, for the referee and for spectators who come later.
TEST_F( RelayRoomTest, LaterMatchesStartFromTheHostDuringAFrameTheStreamHolds ) {
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Keys( 60, 40 ) ) );
    room.TakeOutbox();
    const struct {
        int connection;
        uint32_t frame;
        const char *refused; // null: taken and passed on
    } cases[] = {
        { BOB, 50, "a match start from seat 1" },
        { ANN, 0, "a match start at frame 0, with 100 frames played" },
        { ANN, 100, "a match start at frame 100, with 100 frames played" },
        { ANN, 99, nullptr }, // the last frame the stream holds
        { ANN, 99, "a match start at frame 99" },
        { ANN, 98, "a match start at frame 98" },
    };
    for ( const auto &c : cases ) {
        if ( c.refused != nullptr ) {
            ExpectRefused( c.connection, Start( c.frame ), c.refused );
            continue;
        }
        const uint32_t taken = room.GetTakenCount();
        ASSERT_TRUE( room.Receive( c.connection, Start( c.frame ) ) ) << room.GetError();
        EXPECT_EQ( taken + 1, room.GetTakenCount() );
        const std::vector<NetDelivery> outbox = room.TakeOutbox();
        for ( int connection : { BOB, CY, EVE } ) {
            const Received received = For( outbox, connection );
            ASSERT_EQ( "S", received.Types() );
            EXPECT_EQ( c.frame, received.messages[0].frame );
        }
    }
    EXPECT_EQ( 2u, room.GetMatchCount() );
    ASSERT_TRUE( room.Join( 20, NET_WATCH, "Late", NetRecordingHeader() ) );
    EXPECT_EQ( "WPPPSKKS", For( room.TakeOutbox(), 20 ).Types() );

    // The host back in its seat starts the second match again as it plays through the stream:
    // passed on to no one and not taken; its next match is its own again.
    room.Leave( ANN );
    ASSERT_TRUE( room.Join( 30, NET_PLAY, "Ann", NetRecordingHeader() ) );
    room.TakeOutbox();
    const uint32_t taken = room.GetTakenCount();
    ASSERT_TRUE( room.Receive( 30, Start( 99 ) ) ) << room.GetError();
    EXPECT_TRUE( room.TakeOutbox().empty() );
    EXPECT_EQ( taken, room.GetTakenCount() );
    ASSERT_TRUE( room.Receive( 30, Keys( 100, 20 ) ) );
    room.TakeOutbox();
    ASSERT_TRUE( room.Receive( 30, Start( 110 ) ) ) << room.GetError();
    EXPECT_EQ( "S", For( room.TakeOutbox(), BOB ).Types() );
    EXPECT_EQ( 3u, room.GetMatchCount() );
}

// With a referee, every turn passed is held against the turns its game played: a false one
// stops the room for everyone, once the referee has played past it, naming who passed it.
TEST_F( RelayRoomTest, AFalseTurnStopsARefereedRoomOnceTheGamePlayedPastIt ) {
    room.SetRefereed( 1 );
    room.ReceiveRefereeTurn( 0, 0 );
    room.ReceiveRefereeTurn( 60, 1 );
    ASSERT_TRUE( room.Receive( ANN, Keys( 0, 60 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Keys( 60, 6 ) ) );
    ASSERT_TRUE( room.Receive( ANN, Turn( 66, 1 ) ) ); // the turn's change, a whole delay late
    ASSERT_TRUE( room.Receive( BOB, Keys( 66, 54 ) ) );
    ASSERT_TRUE( room.Receive( BOB, Turn( 120, 2 ) ) ); // Cy's tank has not had its turn
    ASSERT_TRUE( room.Receive( CY, Turn( 120, 1 ) ) );
    ASSERT_TRUE( room.Receive( BOB, Keys( 120, 60 ) ) );
    room.TakeOutbox();
    room.ReceiveRefereeChecksum( 60, 1 );
    room.ReceiveRefereeChecksum( 120, 2 );
    EXPECT_FALSE( room.IsOutOfSync() ) << "frame 120 is not played yet";
    EXPECT_TRUE( room.TakeOutbox().empty() );
    room.ReceiveRefereeChecksum( 180, 3 );
    ASSERT_TRUE( room.IsOutOfSync() );
    EXPECT_EQ( "seat 1 passed the turn to seat 2 at frame 120, in tank 1's turn", room.GetOutOfSyncReason() );
    const std::vector<NetDelivery> outbox = room.TakeOutbox();
    for ( int connection : { ANN, BOB, CY, EVE } ) {
        const Received received = For( outbox, connection );
        ASSERT_EQ( "O", received.Types() );
        EXPECT_EQ( 120u, received.messages[0].frame );
        EXPECT_EQ( 1, received.messages[0].seat );
    }
    ExpectRefused( BOB, Keys( 180, 1 ), "out of sync" );
}

} // namespace
