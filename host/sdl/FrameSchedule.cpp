#include "host/sdl/FrameSchedule.h"

namespace {

const int64_t NANOSECONDS_PER_SECOND = 1000000000;

} // namespace

FrameSchedule::FrameSchedule( int framesPerSecond )
    : framesPerSecond( framesPerSecond > 0 ? framesPerSecond : 1 ), running( false ), start( 0 ),
      nextFrame( 0 ), restarts( 0 ) {
}

FrameSchedule::~FrameSchedule() {
}

int64_t FrameSchedule::DeadlineOf( int64_t frame ) const {
    // Exact for any frame count a game reaches: no rounding error builds up over a long run.
    return start + frame * NANOSECONDS_PER_SECOND / framesPerSecond;
}

int64_t FrameSchedule::NextDeadline( int64_t now ) {
    if ( running ) {
        const int64_t deadline = DeadlineOf( nextFrame );
        if ( now <= deadline + DeadlineOf( LATE_FRAMES_BEFORE_RESYNC ) - start ) {
            ++nextFrame;
            return deadline;
        }
        ++restarts;
    }
    running = true;
    start = now;
    nextFrame = 1;
    return now;
}
