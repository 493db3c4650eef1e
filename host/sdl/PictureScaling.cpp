#include "host/sdl/PictureScaling.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

int ScaleModeFromName( const char *name ) {
    static const char *const names[] = { "fit", "integer", "smooth" };
    for ( int mode = 0; mode < 3; ++mode ) {
        if ( name != nullptr && std::strcmp( name, names[mode] ) == 0 ) {
            return mode;
        }
    }
    return -1;
}

PicturePlace PlacePicture( int mode, int screenWidth, int screenHeight, int pictureWidth,
                           int pictureHeight ) {
    PicturePlace place = { 0, 0, screenWidth, screenHeight, 0, 0 };
    if ( screenWidth <= 0 || screenHeight <= 0 || pictureWidth <= 0 || pictureHeight <= 0 ) {
        return place;
    }
    // The fit: as wide as the screen, or as high, whichever comes first.
    if ( static_cast<long long>( screenWidth ) * pictureHeight <=
         static_cast<long long>( screenHeight ) * pictureWidth ) {
        place.height =
            static_cast<int>( static_cast<long long>( screenWidth ) * pictureHeight / pictureWidth );
    } else {
        place.width =
            static_cast<int>( static_cast<long long>( screenHeight ) * pictureWidth / pictureHeight );
    }
    const int multiple = std::min( screenWidth / pictureWidth, screenHeight / pictureHeight );
    const bool exact =
        multiple >= 1 && place.width == pictureWidth * multiple && place.height == pictureHeight * multiple;
    place.multiple = exact ? multiple : 0;
    if ( multiple >= 1 && mode != SCALE_FIT ) {
        place.multiple = multiple;
        if ( mode == SCALE_INTEGER ) {
            place.width = pictureWidth * multiple;
            place.height = pictureHeight * multiple;
        } else {
            place.smoothed = !exact;
        }
    }
    place.x = ( screenWidth - place.width ) / 2;
    place.y = ( screenHeight - place.height ) / 2;
    return place;
}

int PicturePointAt( const PicturePlace &place, int pictureWidth, int pictureHeight, int screenX, int screenY,
                    int &x, int &y ) {
    if ( place.width <= 0 || place.height <= 0 || screenX < place.x || screenY < place.y ||
         screenX >= place.x + place.width || screenY >= place.y + place.height ) {
        return 0;
    }
    // In 64 bits: a screen's width times the picture's stays far from the limit either way.
    x = int( int64_t( screenX - place.x ) * pictureWidth / place.width );
    y = int( int64_t( screenY - place.y ) * pictureHeight / place.height );
    return 1;
}
