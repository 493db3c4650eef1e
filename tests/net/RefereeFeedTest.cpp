// A room's stream turned into a recording for its referee: keys regrouped into blocks of 60
// frames, match starts and winds placed before the block that holds them, blocks given only once the
// host's game has played past them. Every output is read back by the recordings' own reader.

#include "relay/RefereeFeed.h"
#include "tests/support/NetBytes.h"

#include <gtest/gtest.h>

namespace {

NetMessage Keys( uint32_t frame, const std::vector<ReplayRun> &runs ) {
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

NetMessage Start( uint32_t frame, uint32_t firstColumn ) {
    NetMessage message;
    message.type = NET_MATCH_START;
    message.frame = frame;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        message.columns[i] = firstColumn + uint32_t( 100 * i );
    }
    return message;
}

NetMessage Wind( uint32_t frame, int steps ) {
    NetMessage message;
    message.type = NET_WIND;
    message.frame = frame;
    message.windSteps = steps;
    return message;
}

// A header the reader takes: the rules' count is the game's own.
std::vector<uint8_t> Header() {
    return NetRecordingHeader( "1.0.0", std::vector<int32_t>( 8, 0 ) );
}

TEST( RefereeFeed, BlocksAreGivenWholeOnceTheHostHasPlayedThem ) {
    RefereeFeed feed;
    feed.Start( Header() );
    ASSERT_TRUE( feed.Add( Start( 0, 10 ) ) );
    // 150 frames in three messages whose runs cross the blocks' edges.
    ASSERT_TRUE( feed.Add( Keys( 0, { { 1, 45 }, { 2, 30 } } ) ) );
    ASSERT_TRUE( feed.Add( Keys( 75, { { 2, 40 }, { 4, 10 } } ) ) );
    // A second match during frame 131, in the third block: it waits for that block.
    ASSERT_TRUE( feed.Add( Start( 130, 20 ) ) );
    ASSERT_TRUE( feed.Add( Keys( 125, { { 4, 25 } } ) ) );
    std::vector<uint8_t> recording = feed.TakeReady();
    EXPECT_EQ( Header(), recording ); // nothing played yet

    // Frames the host has played, one short of a block's end, exactly at it, and past two.
    struct Step {
        uint32_t played;
        int blocks;
        int matches;
    } steps[] = { { 59, 0, 0 }, { 60, 1, 1 }, { 119, 1, 1 }, { 150, 2, 1 } };
    for ( const Step &step : steps ) {
        feed.Confirm( step.played );
        const std::vector<uint8_t> ready = feed.TakeReady();
        recording.insert( recording.end(), ready.begin(), ready.end() );
        ReplayFile file;
        ASSERT_TRUE( file.Parse( recording.data(), recording.size() ) || step.blocks == 0 )
            << file.GetError();
        EXPECT_EQ( size_t( step.blocks ), file.GetBlocks().size() ) << step.played;
        EXPECT_EQ( size_t( step.matches ), file.GetMatchStarts().size() ) << step.played;
    }
    // The runs as they were held, cut at the blocks' edges.
    ReplayFile file;
    ASSERT_TRUE( file.Parse( recording.data(), recording.size() ) ) << file.GetError();
    const std::vector<ReplayRun> &runs = file.GetRuns();
    const int expected[][2] = { { 1, 45 }, { 2, 15 }, { 2, 55 }, { 4, 5 } };
    ASSERT_EQ( 4u, runs.size() );
    for ( size_t i = 0; i < runs.size(); i++ ) {
        EXPECT_EQ( expected[i][0], runs[i].keys ) << i;
        EXPECT_EQ( expected[i][1], runs[i].length ) << i;
    }
    EXPECT_EQ( 0u, file.GetBlocks()[0].checksum ); // the referee works it out

    // The third block, once whole and played, brings the second match before it.
    ASSERT_TRUE( feed.Add( Keys( 150, { { 8, 30 } } ) ) );
    feed.Confirm( 180 );
    const std::vector<uint8_t> ready = feed.TakeReady();
    recording.insert( recording.end(), ready.begin(), ready.end() );
    ASSERT_TRUE( file.Parse( recording.data(), recording.size() ) ) << file.GetError();
    ASSERT_EQ( 2u, file.GetMatchStarts().size() );
    EXPECT_EQ( 130, file.GetMatchStarts()[1].frame );
    EXPECT_EQ( 320, file.GetMatchStarts()[1].columns[3] );
    EXPECT_EQ( 3u, file.GetBlocks().size() );
}

TEST( RefereeFeed, AMatchStartTooLateOrTooManyWaitingBlocksAreRefused ) {
    RefereeFeed feed;
    feed.Start( Header() );
    ASSERT_TRUE( feed.Add( Start( 0, 10 ) ) );
    ASSERT_TRUE( feed.Add( Keys( 0, { { 0, 60 } } ) ) );
    feed.Confirm( 60 );
    // The first block is given: a match start inside it can no longer be told.
    EXPECT_FALSE( feed.Add( Start( 59, 10 ) ) );
    EXPECT_TRUE( feed.Add( Start( 60, 10 ) ) );
    // Blocks the host leaves unplayed: up to the limit, and one more is refused.
    for ( size_t block = 1; block < REFEREE_MAX_WAITING_BLOCKS; block++ ) {
        ASSERT_TRUE( feed.Add( Keys( uint32_t( 60 * block ), { { 0, 60 } } ) ) ) << block;
    }
    EXPECT_FALSE( feed.Add( Keys( uint32_t( 60 * REFEREE_MAX_WAITING_BLOCKS ), { { 0, 60 } } ) ) );
}

// Winds go before the block that holds their frame, after the match start they follow, in the
// order they came; one in a block already given is refused, as a match start is.
TEST( RefereeFeed, WindsGoBeforeTheirBlockInTheOrderTheyCame ) {
    RefereeFeed feed;
    feed.Start( Header() );
    ASSERT_TRUE( feed.Add( Start( 0, 10 ) ) );
    const struct {
        uint32_t frame;
        int steps;
    } winds[] = { { 0, -100 }, { 0, 100 }, { 59, 0 }, { 60, -1 }, { 119, 10 }, { 120, 1 } };
    ASSERT_TRUE( feed.Add( Keys( 0, { { 0, 60 }, { 1, 60 } } ) ) );
    for ( const auto &wind : winds ) {
        ASSERT_TRUE( feed.Add( Wind( wind.frame, wind.steps ) ) ) << wind.frame;
    }
    ASSERT_TRUE( feed.Add( Keys( 120, { { 2, 1 } } ) ) );
    feed.Confirm( 120 );
    std::vector<uint8_t> recording = feed.TakeReady();
    // Right after the header: the match start, then the start-up's two winds, byte for byte.
    const std::vector<uint8_t> opening = NetBytes()
                                             .U8( 'S' )
                                             .U32( 0 )
                                             .U32( 10 )
                                             .U32( 110 )
                                             .U32( 210 )
                                             .U32( 310 )
                                             .U8( 'W' )
                                             .U32( 0 )
                                             .U32( uint32_t( -100 ) )
                                             .U8( 'W' )
                                             .U32( 0 )
                                             .U32( 100 )
                                             .bytes;
    const size_t headerSize = Header().size();
    ASSERT_GE( recording.size(), headerSize + opening.size() );
    EXPECT_EQ( opening, std::vector<uint8_t>( recording.begin() + long( headerSize ),
                                              recording.begin() + long( headerSize + opening.size() ) ) );
    // The third block is not played yet: its wind waits with it.
    ReplayFile file;
    ASSERT_TRUE( file.Parse( recording.data(), recording.size() ) ) << file.GetError();
    ASSERT_EQ( 5u, file.GetWinds().size() );
    for ( size_t i = 0; i < file.GetWinds().size(); i++ ) {
        EXPECT_EQ( winds[i].frame, uint32_t( file.GetWinds()[i].frame ) ) << i;
        EXPECT_EQ( winds[i].steps, file.GetWinds()[i].steps ) << i;
    }
    // A wind in the given blocks cannot be told any more; one in the waiting block can.
    EXPECT_FALSE( feed.Add( Wind( 119, 3 ) ) );
    EXPECT_TRUE( feed.Add( Wind( 120, 3 ) ) );
    ASSERT_TRUE( feed.Add( Keys( 121, { { 2, 59 } } ) ) );
    feed.Confirm( 180 );
    const std::vector<uint8_t> ready = feed.TakeReady();
    recording.insert( recording.end(), ready.begin(), ready.end() );
    ASSERT_TRUE( file.Parse( recording.data(), recording.size() ) ) << file.GetError();
    ASSERT_EQ( 7u, file.GetWinds().size() );
    EXPECT_EQ( 120, int( file.GetWinds()[6].frame ) );
    EXPECT_EQ( 3, file.GetWinds()[6].steps );
    EXPECT_EQ( 3u, file.GetBlocks().size() );
}

} // namespace
