#include "play/Wind.h"
#include "game/BombFlight.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// The flight's clock after `updates` updates, kept as the flight keeps it: a float.
float ClockAfter( int updates ) {
    float clock = 0.0f;
    for ( int i = 0; i < updates; i++ ) {
        clock = static_cast<float>( clock + 0.025 );
    }
    return clock;
}

} // namespace

// x(t) = launchX + vx t / 256 + wind t^2 / 2 and y as without wind, truncated toward zero;
// the strongest winds either way, the weakest, none, from the first update to a long flight.
TEST( WindFlight, PushesSidewaysByHalfTheWindTimesTheTimeSquared ) {
    const int push = Wind::MAX_STEPS * Wind::PUSH_PER_STEP;
    const int winds[] = { -push, -push + 1, -1, 0, 1, push - 1, push };
    const int updates[] = { 1, 2, 3, 41, 137, 400 };
    for ( int wind : winds ) {
        // Angle 60, power 300: Cosine 128 and Sine 221 (1/256), so vx = 38400, vy = 66300.
        BombFlight flight( 500, 700, 60, 300, wind );
        ASSERT_EQ( flight.GetWind(), wind );
        int done = 0;
        for ( int n : updates ) {
            int x = 0, y = 0;
            while ( done < n ) {
                flight.Step( x, y );
                done++;
            }
            const long double t = ClockAfter( n - 1 );
            const long double across = 38400.0L * t / 256.0L + 0.5L * wind * t * t;
            const long double up = 66300.0L * t / 256.0L - 50.0L * t * t;
            EXPECT_EQ( x, 500 + static_cast<int>( std::trunc( across ) ) )
                << "wind " << wind << " update " << n;
            EXPECT_EQ( y, 700 - static_cast<int>( std::trunc( up ) ) ) << "wind " << wind << " update " << n;
        }
    }
}

// Without wind a flight is the designed one to the bit, whichever way it was made.
TEST( WindFlight, NoWindIsTheWindlessFlightExactly ) {
    const int angles[] = { -15, 0, 1, 45, 89, 90, 135, 180, 225 };
    const int powers[] = { 0, 1, 250, 499, 500 };
    for ( int angle : angles ) {
        for ( int power : powers ) {
            BombFlight designed( 640, 480, angle, power );
            BombFlight calm( 640, 480, angle, power, 0 );
            for ( int i = 0; i < 700; i++ ) {
                int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
                designed.Step( x1, y1 );
                calm.Step( x2, y2 );
                ASSERT_EQ( x1, x2 ) << angle << " " << power << " " << i;
                ASSERT_EQ( y1, y2 ) << angle << " " << power << " " << i;
            }
        }
    }
}

// Straight up with power 256 and Sine(90) = 256: the climb 256 - 100 t ends at t = 2.56, the
// 103rd clock value (102 steps of 0.025 make 2.55, 103 make 2.575).
TEST( WindFlight, TheTopOfTheArcIsWhereTheClimbEnds ) {
    BombFlight flight( 0, 0, 90, 256, 0 );
    int x = 0, y = 0;
    for ( int i = 0; i < 102; i++ ) {
        EXPECT_EQ( flight.IsFalling(), 0 ) << i;
        flight.Step( x, y );
    }
    EXPECT_EQ( flight.IsFalling(), 0 ); // clock 2.55: still climbing
    flight.Step( x, y );
    EXPECT_EQ( flight.IsFalling(), 1 ); // clock 2.575
    EXPECT_LT( flight.GetVelocityYNow(), 0 );
    EXPECT_GT( flight.GetVelocityYNow(), -256 * 3 );
}
