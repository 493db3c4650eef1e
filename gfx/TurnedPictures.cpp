#include "gfx/TurnedPictures.h"

#include <cstring>
#include <new>

namespace {

int SameTurn( const TurnedPictures::Turn &a, const TurnedPictures::Turn &b ) {
    return a.angle == b.angle && a.mirrored == b.mirrored && a.cx == b.cx && a.cy == b.cy &&
           a.trigSteps == b.trigSteps && a.trigScale == b.trigScale && a.trigReady == b.trigReady;
}

} // namespace

TurnedPictures::TurnedPictures() : entries{}, room( nullptr ), largest( 0 ), oldest( 0 ) {
}

TurnedPictures::~TurnedPictures() {
    delete[] room;
}

int TurnedPictures::Create( int size ) {
    if ( room != nullptr || size <= 0 ) {
        return 0;
    }
    room = new ( std::nothrow ) uint8_t[size_t( size ) * KEPT];
    if ( room == nullptr ) {
        return 0;
    }
    largest = size;
    return 1;
}

int TurnedPictures::Find( const Turn &turn, Picture &picture ) const {
    for ( const Entry &entry : entries ) {
        if ( entry.used && SameTurn( entry.turn, turn ) ) {
            picture = entry.picture;
            return 1;
        }
    }
    return 0;
}

uint8_t *TurnedPictures::Make( const Turn &turn, int width, int height, int offsetX, int offsetY ) {
    if ( room == nullptr || width <= 0 || height <= 0 || int64_t( width ) * height > largest ) {
        return nullptr;
    }
    const int slot = oldest;
    oldest = ( oldest + 1 ) % KEPT;
    uint8_t *pixels = room + size_t( slot ) * size_t( largest );
    std::memset( pixels, 0, size_t( width ) * size_t( height ) );
    entries[slot] = Entry{ turn, Picture{ pixels, width, height, offsetX, offsetY }, 1 };
    return pixels;
}

void TurnedPictures::Forget() {
    for ( Entry &entry : entries ) {
        entry.used = 0;
    }
    oldest = 0;
}
