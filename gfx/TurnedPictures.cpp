#include "gfx/TurnedPictures.h"

#include "gfx/Image.h"
#include "gfx/Sprite.h"

#include <new>

namespace {

int SameTurn( const TurnedPictures::Turn &a, const TurnedPictures::Turn &b ) {
    return a.angle == b.angle && a.mirrored == b.mirrored && a.cx == b.cx && a.cy == b.cy &&
           a.trigSteps == b.trigSteps && a.trigScale == b.trigScale && a.trigReady == b.trigReady;
}

} // namespace

TurnedPictures::TurnedPictures() : entries{}, oldest( 0 ) {
}

TurnedPictures::~TurnedPictures() {
    Forget();
}

const Sprite *TurnedPictures::Find( const Turn &turn, int &offsetX, int &offsetY ) const {
    for ( const Entry &entry : entries ) {
        if ( entry.picture != nullptr && SameTurn( entry.turn, turn ) ) {
            offsetX = entry.offsetX;
            offsetY = entry.offsetY;
            return entry.picture;
        }
    }
    return nullptr;
}

const Sprite *TurnedPictures::Keep( const Turn &turn, const Image &picture, int offsetX, int offsetY ) {
    Sprite *made = new ( std::nothrow ) Sprite;
    if ( made == nullptr || !made->Build( picture, picture.GetBounds(), 0 ) ) {
        delete made;
        return nullptr;
    }
    Entry &entry = entries[oldest];
    oldest = ( oldest + 1 ) % KEPT;
    delete entry.picture;
    entry = Entry{ turn, offsetX, offsetY, made };
    return made;
}

void TurnedPictures::Forget() {
    for ( Entry &entry : entries ) {
        delete entry.picture;
        entry.picture = nullptr;
    }
    oldest = 0;
}
