// A room's stream turned into a recording for its referee: keys regrouped into blocks of 60
// frames, match starts placed before the block that holds them, blocks given only once the
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

} // namespace
