#ifndef KELTO_HOST_SDL_FRAMESCHEDULE_H
#define KELTO_HOST_SDL_FRAMESCHEDULE_H

#include <cstdint>

// When each frame is due, so that the game advances a fixed number of frames per second of
// wall time whatever the display's refresh: deadline n lies n / rate seconds after the start,
// counted from the start rather than from the previous frame, so that late frames do not add
// up to a slower game. A frame that comes very late (a stall, a debugger, a suspended
// machine) starts a new schedule instead of being caught up with a burst of frames.
class FrameSchedule {
public:
    // Frames further behind than this start a new schedule.
    static const int LATE_FRAMES_BEFORE_RESYNC = 4;

    explicit FrameSchedule( int framesPerSecond );
    virtual ~FrameSchedule();

    // Given the time now in nanoseconds, the time at which the frame about to be shown is
    // due; a time not after `now` means at once.
    int64_t NextDeadline( int64_t now );

    // The next frame starts a new schedule.
    void Restart() { running = false; }

    int GetRestarts() const { return restarts; }

private:
    int64_t DeadlineOf( int64_t frame ) const;

    int framesPerSecond;
    bool running;
    int64_t start;     // when frame 0 was shown, in nanoseconds
    int64_t nextFrame; // the number of the next frame since `start`
    int restarts;      // new schedules begun because a frame came too late
};

#endif
