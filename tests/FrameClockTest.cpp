#include "app/FrameClock.h"

#include <gtest/gtest.h>

// Ten seconds of a display at each refresh rate: the game advances 600 frames whatever the
// rate, and never more than the stall limit at once.
TEST( FrameClock, SixtyUpdatesPerSecondAtEveryRefreshRate ) {
    for ( double hertz : { 30.0, 59.94, 60.0, 75.0, 120.0, 144.0, 240.0 } ) {
        FrameClock clock;
        int frames = 0;
        int most = 0;
        const int ticks = int( hertz * 10 );
        for ( int tick = 0; tick <= ticks; tick++ ) {
            const int due = clock.Advance( 1000.0 + tick * 1000.0 / hertz, 1 );
            frames += due;
            most = due > most ? due : most;
        }
        EXPECT_NEAR( frames, 600, 1 ) << hertz << " Hz";
        EXPECT_LE( most, hertz < 60 ? 3 : 1 ) << hertz << " Hz";
    }
}

TEST( FrameClock, AStallOrAPauseOwesNothing ) {
    FrameClock clock;
    EXPECT_EQ( clock.Advance( 0.0, 1 ), 0 );
    EXPECT_EQ( clock.Advance( 100.0, 1 ), 1 );               // six due: a stall
    EXPECT_EQ( clock.Advance( 100.0 + 1000.0 / 60, 1 ), 1 ); // and on at the rate from there
    EXPECT_EQ( clock.Advance( 5000.0, 0 ), 0 );
    EXPECT_EQ( clock.Advance( 9000.0, 1 ), 0 );
    EXPECT_EQ( clock.Advance( 9000.0 + 2000.0 / 60 + 0.1, 1 ), 2 );
}
