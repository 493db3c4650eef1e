#include "audio/SoundListener.h"

#include "host/HostSound.h"

#include <algorithm>

SoundListener::SoundListener() : left( 0 ), top( 0 ), width( 640 ), height( 480 ) {
}

SoundListener::~SoundListener() {
}

void SoundListener::SetView( int newLeft, int newTop, int newWidth, int newHeight ) {
    left = newLeft;
    top = newTop;
    width = std::max( newWidth, 1 );
    height = std::max( newHeight, 1 );
}

int SoundListener::GetPan( int x ) const {
    const int fromMiddle = 2 * ( x - left ) - width;
    return std::clamp( fromMiddle * HOST_PAN_RIGHT / width, HOST_PAN_LEFT, HOST_PAN_RIGHT );
}

int SoundListener::GetVolume( int x, int y, int loudness ) const {
    const int outX = std::max( { left - x, x - ( left + width - 1 ), 0 } );
    const int outY = std::max( { top - y, y - ( top + height - 1 ), 0 } );
    const int away = std::min( std::max( outX, outY ), width );
    // Linear from full at the edge to a quarter one screen width away.
    return loudness * ( 4 * width - 3 * away ) / ( 4 * width );
}
