#ifndef KELTO_APP_FRAMECLOCK_H
#define KELTO_APP_FRAMECLOCK_H

// Counts the game's frames against a clock that ticks at the display's own rate (a browser's
// animation frames), so that the game advances exactly 60 updates per second whether the
// display refreshes 30, 60, 120 or 144 times a second. After a stall (a busy tab, a debugger)
// the game does not race to catch up: it goes on with one frame, from where it was, as the
// desktop does after a long frame. While the game is inactive no frame is due, and none is
// owed when it comes back.
class FrameClock {
public:
    static const int FRAME_RATE = 60;
    // More frames than this due at once count as a stall.
    static const int MOST_FRAMES_AT_ONCE = 4;

    FrameClock();
    virtual ~FrameClock();

    // The frames due at `milliseconds` on the clock; counts them as run.
    int Advance( double milliseconds, int active );

private:
    double start;     // the clock's reading that frame 0 was due at
    double framesRun; // since `start`
    int running;      // 0 until the first active reading
};

#endif
