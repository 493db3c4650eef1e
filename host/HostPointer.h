#ifndef KELTO_HOST_HOSTPOINTER_H
#define KELTO_HOST_HOSTPOINTER_H

// The mouse as the game reads it once a frame, in the picture's own pixels (0 to 639, 0 to
// 479) whatever the window's size: where it is, whether it moved since the last read, and
// where the left button was last pressed since then.
struct HostPointerState {
    int x;
    int y;
    int moved;   // 1 when it moved since the last read
    int clicked; // 1 when the left button was pressed since the last read, at clickX, clickY
    int clickX;
    int clickY;
};

// Made by a backend from its mouse events, so that every backend keeps quick clicks the same
// way: a press let go again before the next read still reads as a click, once. The backend
// turns the window's coordinates into the picture's; a point off the picture is not passed on.
class HostPointer {
public:
    HostPointer();
    virtual ~HostPointer();

    void Move( int x, int y );
    void Click( int x, int y );
    // Fills `state` and forgets the movement and the click it reported.
    void Read( HostPointerState &state );

private:
    HostPointerState current;
};

#endif
