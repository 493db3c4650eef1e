// The lockstep stream as one client sees it, without a network: who adds keys when, how far
// ahead, what goes to the relay, who the game waits for, and what from the relay is refused.

#include "net/NetSession.h"
#include "host/HostSocket.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

NetMessage Welcome( int seat, int seats ) {
    NetMessage message;
    message.type = NET_WELCOME;
    message.seat = seat;
    message.seats = seats;
    message.code = "ABCDEF";
    return message;
}

NetMessage Player( int seat, const char *name ) {
    NetMessage message;
    message.type = NET_PLAYER;
    message.seat = seat;
    message.name = name;
    return message;
}

NetMessage Keys( uint32_t frame, std::vector<ReplayRun> runs ) {
    NetMessage message;
    message.type = NET_KEYS;
    message.frame = frame;
    message.frames = 0;
    for ( const ReplayRun &run : runs ) {
        message.frames += run.length;
    }
    message.runs = runs;
    return message;
}

NetMessage Turn( uint32_t frame, int seat ) {
    NetMessage message;
    message.type = NET_TURN;
    message.frame = frame;
    message.seat = seat;
    return message;
}

const uint32_t COLUMNS[TANK_PLACEMENT_COUNT] = { 10, 200, 400, 600 };

// Seat 0 of a room of two, both seated and the match started.
void StartHost( NetSession &session ) {
    ASSERT_TRUE( session.Receive( Welcome( 0, 2 ) ) );
    ASSERT_TRUE( session.Receive( Player( 1, "BO" ) ) );
    session.StartMatch( COLUMNS );
}

// Seat 1 of the same room, once the host's start arrived.
void StartGuest( NetSession &session ) {
    ASSERT_TRUE( session.Receive( Welcome( 1, 2 ) ) );
    ASSERT_TRUE( session.Receive( Player( 0, "AL" ) ) );
    NetMessage start;
    start.type = NET_MATCH_START;
    start.frame = 0;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        start.columns[i] = COLUMNS[i];
    }
    ASSERT_TRUE( session.Receive( start ) );
}

std::string Describe( const std::vector<NetMessage> &messages ) {
    std::string text;
    for ( const NetMessage &message : messages ) {
        text += char( message.type );
        text += std::to_string( message.frame );
        if ( message.type == NET_KEYS ) {
            text += "/" + std::to_string( message.frames );
            for ( const ReplayRun &run : message.runs ) {
                text += ":" + std::to_string( run.keys ) + "x" + std::to_string( run.length );
            }
        } else if ( message.type == NET_TURN ) {
            text += ">" + std::to_string( message.seat );
        } else if ( message.type == NET_CHECKSUM ) {
            text += "=" + std::to_string( message.checksum );
        }
        text += " ";
    }
    return text;
}

} // namespace

// A person's keys go in INPUT_DELAY frames ahead, the gap before the first with no key down; the
// computer's (no delay) go in for the frame being played; a frame already held is not added
// twice; every message the relay gets is one the relay can read.
TEST( NetLockstep, KeysGoInAheadByTheDelayAndOnlyOnce ) {
    struct Case {
        const char *name;
        std::vector<uint32_t> frames; // the frames Produce is called before, in order
        int delay;
        uint32_t streamFrames;
        const char *sent;
    };
    const Case cases[] = {
        { "person's first frame", { 0 }, NetSession::INPUT_DELAY, 7, "S0 K0/7:0x6:5x1 " },
        { "person's frames in a row", { 0, 1, 2 }, NetSession::INPUT_DELAY, 9, "S0 K0/9:0x6:5x3 " },
        { "person repeats a frame", { 0, 0, 1 }, NetSession::INPUT_DELAY, 8, "S0 K0/8:0x6:5x2 " },
        { "computer's frames", { 0, 1 }, 0, 2, "S0 K0/2:5x2 " },
        { "computer skipping ahead", { 0, 3 }, 0, 4, "S0 K0/4:5x1:0x2:5x1 " },
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( c.name );
        NetSession session;
        StartHost( session );
        for ( uint32_t frame : c.frames ) {
            session.Produce( frame, 0, 5, c.delay );
        }
        EXPECT_EQ( session.GetStreamFrames(), c.streamFrames );
        const std::vector<NetMessage> sent = session.TakeOutbox();
        EXPECT_EQ( Describe( sent ), c.sent );
        for ( const NetMessage &message : sent ) {
            NetMessage back;
            EXPECT_TRUE( back.Read( message.Write( NET_FROM_CLIENT ).data(),
                                    message.Write( NET_FROM_CLIENT ).size(), NET_FROM_CLIENT ) )
                << back.GetError();
        }
        EXPECT_TRUE( session.TakeOutbox().empty() );
    }
}

// A key message holds at most a recording block's 60 frames: 119, 120 and 121 frames at once.
TEST( NetLockstep, LongRunsOfFramesAreSentInBlocksOfSixty ) {
    const struct {
        uint32_t frames;
        const char *sent;
    } cases[] = {
        { 60, "K0/60:1x60 " },
        { 119, "K0/60:1x60 K60/59:1x59 " },
        { 120, "K0/60:1x60 K60/60:1x60 " },
        { 121, "K0/60:1x60 K60/60:1x60 K120/1:1x1 " },
    };
    for ( const auto &c : cases ) {
        NetSession session;
        StartHost( session );
        session.TakeOutbox();
        for ( uint32_t frame = 0; frame < c.frames; frame++ ) {
            ASSERT_TRUE( session.Wants( frame, 0 ) );
            session.Produce( frame, 0, 1, 0 );
        }
        EXPECT_EQ( Describe( session.TakeOutbox() ), c.sent ) << c.frames;
    }
}

// The holder whose game passes the turn hands the stream over at the stream's next frame, keeps
// the keys it sent, and adds no more; the relay's keys from the new holder then fill the stream.
TEST( NetLockstep, PassingTheTurnHandsTheStreamOver ) {
    NetSession session;
    StartHost( session );
    for ( uint32_t frame = 0; frame <= 10; frame++ ) {
        session.Produce( frame, 0, 3, NetSession::INPUT_DELAY );
    }
    session.Produce( 11, 1, 3, NetSession::INPUT_DELAY );
    session.Produce( 12, 0, 3, NetSession::INPUT_DELAY );
    EXPECT_EQ( Describe( session.TakeOutbox() ), "S0 K0/17:0x6:3x11 T17>1 " );
    EXPECT_EQ( session.GetStreamSeat(), 1 );
    EXPECT_EQ( session.GetWaitingFor(), 1 );
    EXPECT_FALSE( session.Wants( 12, 0 ) );
    uint16_t keys = 0;
    EXPECT_TRUE( session.KeysOf( 16, keys ) );
    EXPECT_EQ( keys, 3 );
    EXPECT_FALSE( session.KeysOf( 17, keys ) );
    ASSERT_TRUE( session.Receive( Keys( 17, { { 9, 2 } } ) ) );
    EXPECT_TRUE( session.KeysOf( 18, keys ) );
    EXPECT_EQ( keys, 9 );
    EXPECT_FALSE( session.KeysOf( 19, keys ) );
    EXPECT_TRUE( session.TakeOutbox().empty() );
}

// A new holder whose game is still behind the frame the stream came to it at neither hands it
// back (its game has not seen the turn start) nor adds keys it would have to skip; once there,
// it adds its keys a delay ahead of the frame it plays, the frames between with no key down.
TEST( NetLockstep, ABehindNewHolderWaitsForItsOwnTurn ) {
    NetSession session;
    StartGuest( session );
    ASSERT_TRUE( session.Receive( Keys( 0, { { 4, 20 } } ) ) );
    ASSERT_TRUE( session.Receive( Turn( 20, 1 ) ) );
    EXPECT_FALSE( session.Wants( 13, NetSession::INPUT_DELAY ) );
    session.Produce( 12, 0, 7, NetSession::INPUT_DELAY );
    session.Produce( 13, 1, 7, NetSession::INPUT_DELAY );
    session.Produce( 19, 0, 7, NetSession::INPUT_DELAY );
    EXPECT_EQ( session.GetStreamFrames(), 20u );
    EXPECT_EQ( session.GetStreamSeat(), 1 );
    EXPECT_TRUE( session.Wants( 20, 0 ) );
    session.Produce( 20, 1, 7, NetSession::INPUT_DELAY );
    EXPECT_EQ( Describe( session.TakeOutbox() ), "K20/7:0x6:7x1 " );
    EXPECT_EQ( session.GetWaitingFor(), 1 );
}

// Keys and turns are taken only at the stream's next frame: one before it, or one after it,
// would be a different match here than in the other games.
TEST( NetLockstep, KeysAndTurnsOutOfOrderAreRefused ) {
    const struct {
        NetMessage message;
        int taken;
    } cases[] = {
        { Keys( 9, { { 1, 1 } } ), 0 },
        { Keys( 10, { { 1, 1 } } ), 1 },
        { Keys( 11, { { 1, 1 } } ), 0 },
        { Turn( 9, 0 ), 0 },
        { Turn( 10, 0 ), 1 },
        { Turn( 11, 0 ), 0 },
    };
    for ( const auto &c : cases ) {
        NetSession session;
        StartGuest( session );
        ASSERT_TRUE( session.Receive( Keys( 0, { { 0, 10 } } ) ) );
        EXPECT_EQ( session.Receive( c.message ), c.taken ) << char( c.message.type ) << c.message.frame;
        EXPECT_EQ( std::string( session.GetError() ).empty(), c.taken == 1 );
    }
}

// A checksum goes after frames 60, 120, ... as the recording closes its blocks: frame 59 (the
// 60th) reports frame 60, its neighbours report nothing.
TEST( NetLockstep, ChecksumsGoAfterEverySixtyFrames ) {
    NetSession session;
    StartGuest( session );
    for ( uint32_t frame : { 0u, 58u, 59u, 60u, 118u, 119u, 120u } ) {
        session.Played( frame, 1000 + frame );
    }
    EXPECT_EQ( Describe( session.TakeOutbox() ), "C60=1059 C120=1119 " );
}

// Before the start the game waits for the first empty seat, then for the host's start; names
// come from the relay, the own one from the game, "PLAYER N" for a seat without one; the
// relay's out of sync and its errors stop the match.
TEST( NetLockstep, WaitingNamesAndTheRelaysVerdicts ) {
    NetSession session;
    ASSERT_TRUE( session.Receive( Welcome( 0, 3 ) ) );
    session.SetOwnName( "AL" );
    EXPECT_EQ( session.GetWaitingFor(), 1 );
    EXPECT_FALSE( session.IsRoomFull() );
    ASSERT_TRUE( session.Receive( Player( 2, "CY" ) ) );
    EXPECT_EQ( session.GetWaitingFor(), 1 );
    ASSERT_TRUE( session.Receive( Player( 1, "BO" ) ) );
    EXPECT_TRUE( session.IsRoomFull() );
    EXPECT_EQ( session.GetName( 0 ), "AL" );
    EXPECT_EQ( session.GetName( 2 ), "CY" );
    EXPECT_EQ( session.GetName( 3 ), "PLAYER 4" );
    NetMessage leave;
    leave.type = NET_LEAVE;
    leave.seat = 2;
    ASSERT_TRUE( session.Receive( leave ) );
    EXPECT_FALSE( session.IsRoomFull() );
    EXPECT_EQ( session.GetWaitingFor(), 2 );
    // Nothing is added before the start.
    session.Produce( 0, 0, 1, 0 );
    EXPECT_EQ( session.GetStreamFrames(), 0u );

    NetMessage outOfSync;
    outOfSync.type = NET_OUT_OF_SYNC;
    outOfSync.frame = 120;
    outOfSync.seat = 2;
    session.StartMatch( COLUMNS );
    session.Produce( 0, 0, 1, 0 );
    ASSERT_TRUE( session.Receive( outOfSync ) );
    EXPECT_TRUE( session.IsOutOfSync() );
    EXPECT_EQ( session.GetOutOfSyncFrame(), 120u );
    EXPECT_EQ( session.GetOutOfSyncSeat(), 2 );
    session.Produce( 1, 0, 1, 0 );
    EXPECT_EQ( session.GetStreamFrames(), 1u );

    NetMessage error;
    error.type = NET_ERROR;
    error.reason = "too many messages";
    EXPECT_FALSE( session.Receive( error ) );
    EXPECT_STREQ( session.GetError(), "the relay ended the match: too many messages" );
}

// Addresses as the player types them after --join: the port at its limits, and what is not one.
TEST( NetLockstep, RelayAddressesAreSplitOrRefused ) {
    const struct {
        const char *url;
        int ok;
        const char *host;
        int port;
        const char *path;
    } cases[] = {
        { "ws://127.0.0.1:7531/ABCDEF", 1, "127.0.0.1", 7531, "/ABCDEF" },
        { "ws://relay.example:1/X", 1, "relay.example", 1, "/X" },
        { "ws://relay.example:65535", 1, "relay.example", 65535, "/" },
        { "ws://relay.example/ABCDEF", 1, "relay.example", 80, "/ABCDEF" },
        { "wss://relay.example/ABCDEF", 1, "relay.example", 443, "/ABCDEF" },
        { "wss://relay.example:7531/X", 1, "relay.example", 7531, "/X" },
        { "wss://:7531/X", 0, "", 0, "" },
        { "wsss://relay.example/X", 0, "", 0, "" },
        { "ws:/relay.example/X", 0, "", 0, "" },
        { "ws://relay.example:0/X", 0, "", 0, "" },
        { "ws://relay.example:65536/X", 0, "", 0, "" },
        { "ws://relay.example:/X", 0, "", 0, "" },
        { "ws://relay.example:12a/X", 0, "", 0, "" },
        { "ws:///X", 0, "", 0, "" },
        { "http://relay.example/X", 0, "", 0, "" },
        { "", 0, "", 0, "" },
    };
    for ( const auto &c : cases ) {
        std::string host;
        std::string path;
        int port = 0;
        EXPECT_EQ( HostSocket::SplitUrl( c.url, host, port, path ), c.ok ) << c.url;
        if ( c.ok ) {
            EXPECT_EQ( host, c.host );
            EXPECT_EQ( port, c.port );
            EXPECT_EQ( path, c.path );
        }
    }
}

// Only the host's game takes the stream from a seat, and only from an empty one: not while its
// player is there, not before the start, and never for a joiner's game.
TEST( NetLockstep, TheHostTakesTheStreamOnlyFromAnEmptySeat ) {
    NetMessage leave;
    leave.type = NET_LEAVE;
    leave.seat = 1;

    NetSession host;
    ASSERT_TRUE( host.Receive( Welcome( 0, 2 ) ) );
    ASSERT_TRUE( host.Receive( Player( 1, "BO" ) ) );
    EXPECT_FALSE( host.TakeEmptySeatsTurn() ); // not started
    host.StartMatch( COLUMNS );
    host.Produce( 0, 0, 2, 0 );
    host.Produce( 1, 1, 2, 0 );
    EXPECT_FALSE( host.TakeEmptySeatsTurn() ); // seat 1 is there
    ASSERT_TRUE( host.Receive( Keys( 1, { { 8, 3 } } ) ) );
    ASSERT_TRUE( host.Receive( leave ) );
    EXPECT_TRUE( host.TakeEmptySeatsTurn() );
    EXPECT_FALSE( host.TakeEmptySeatsTurn() ); // it holds the stream already
    EXPECT_EQ( host.GetStreamSeat(), 0 );
    EXPECT_FALSE( host.Wants( 3, 0 ) );
    EXPECT_TRUE( host.Wants( 4, 0 ) );
    EXPECT_EQ( Describe( host.TakeOutbox() ), "S0 K0/1:2x1 T1>1 T4>0 " );

    NetSession guest;
    StartGuest( guest );
    NetMessage hostLeft = leave;
    hostLeft.seat = 0;
    ASSERT_TRUE( guest.Receive( hostLeft ) );
    EXPECT_FALSE( guest.TakeEmptySeatsTurn() );
}

// A later match's start goes out after the keys of the frame it started in, which the relay
// must hold first, and before what follows.
TEST( NetLockstep, ALaterMatchStartFollowsTheKeysOfItsFrame ) {
    NetSession session;
    StartHost( session );
    session.Produce( 0, 0, 5, 0 );
    session.Produce( 1, 0, 5, 0 );
    session.StartMatchAt( 1, COLUMNS );
    session.Produce( 2, 0, 6, 0 );
    EXPECT_EQ( Describe( session.TakeOutbox() ), "S0 K0/2:5x2 S1 K2/1:6x1 " );
}

// A spectator plays the stream as a player does, and sends nothing: not its keys, not a turn,
// not a checksum.
TEST( NetLockstep, ASpectatorPlaysTheStreamAndSendsNothing ) {
    NetSession session;
    ASSERT_TRUE( session.Receive( Welcome( NET_SPECTATOR, 2 ) ) );
    ASSERT_TRUE( session.Receive( Player( 0, "AL" ) ) );
    ASSERT_TRUE( session.Receive( Player( 1, "BO" ) ) );
    NetSession host;
    StartHost( host );
    host.Produce( 0, 0, 5, 0 );
    for ( const NetMessage &message : host.TakeOutbox() ) {
        ASSERT_TRUE( session.Receive( message ) ) << session.GetError();
    }
    uint16_t keys = 0;
    ASSERT_TRUE( session.KeysOf( 0, keys ) );
    EXPECT_EQ( 5, keys );
    EXPECT_FALSE( session.Wants( 1, 0 ) );
    for ( uint32_t frame = 0; frame < 60; frame++ ) {
        session.Produce( frame, 1, 7, NetSession::INPUT_DELAY );
        session.Produce( frame, NET_SPECTATOR, 7, 0 );
        session.Played( frame, 1 );
    }
    EXPECT_EQ( Describe( session.TakeOutbox() ), "" );
    EXPECT_EQ( 1u, session.GetStreamFrames() );
    EXPECT_EQ( "AL", session.GetName( session.GetWaitingFor() ) );
}
