#include "host/HostPointer.h"

HostPointer::HostPointer() : current{ 0, 0, 0, 0, 0, 0 } {
}

HostPointer::~HostPointer() {
}

void HostPointer::Move( int x, int y ) {
    if ( x != current.x || y != current.y ) {
        current.moved = 1;
    }
    current.x = x;
    current.y = y;
}

void HostPointer::Click( int x, int y ) {
    Move( x, y );
    current.clicked = 1;
    current.clickX = x;
    current.clickY = y;
}

void HostPointer::Read( HostPointerState &state ) {
    state = current;
    current.moved = 0;
    current.clicked = 0;
}
