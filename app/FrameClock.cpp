#include "app/FrameClock.h"

#include <cmath>

static const double FRAME_MILLISECONDS = 1000.0 / FrameClock::FRAME_RATE;

FrameClock::FrameClock() : start( 0.0 ), framesRun( 0.0 ), running( 0 ) {
}

FrameClock::~FrameClock() {
}

int FrameClock::Advance( double milliseconds, int active ) {
    if ( !active || !running ) {
        start = milliseconds;
        framesRun = 0.0;
        running = active;
        return 0;
    }
    // Half a frame early: a display at the game's own rate ticks a hair before or after each
    // frame's time, and must run one frame a tick, not none and then two.
    const double due = std::floor( ( milliseconds - start ) / FRAME_MILLISECONDS + 0.5 ) - framesRun;
    if ( due > MOST_FRAMES_AT_ONCE ) {
        start = milliseconds - ( framesRun + 1 ) * FRAME_MILLISECONDS;
        framesRun += 1;
        return 1;
    }
    if ( due <= 0 ) {
        return 0;
    }
    framesRun += due;
    return int( due );
}
