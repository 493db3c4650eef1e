#ifndef KELTO_HOST_SDL_PICTURESCALING_H
#define KELTO_HOST_SDL_PICTURESCALING_H

// Where the 640 x 480 picture goes on a screen of another size, by the player's scaling:
//   fit:     the largest picture of the same shape, pixels repeated unevenly where the
//            screen is not a whole multiple;
//   integer: the largest whole multiple that fits, black borders round it;
//   smooth:  the largest whole multiple, then softened by a linear filter to the size fit
//            would give: the screen filled, every picture pixel the same size before softening.
// A screen smaller than the picture gets fit in every mode. Plain numbers, free of SDL.

enum ScaleMode { SCALE_FIT, SCALE_INTEGER, SCALE_SMOOTH };

struct PicturePlace {
    int x; // the picture's rectangle on the screen
    int y;
    int width;
    int height;
    int multiple; // the whole multiple the picture is drawn at; 0 for a fit that is none
    int smoothed; // 1 when a linear pass takes the multiple up to width x height
};

// SCALE_FIT, SCALE_INTEGER or SCALE_SMOOTH for "fit", "integer" or "smooth"; -1 otherwise.
int ScaleModeFromName( const char *name );

PicturePlace PlacePicture( int mode, int screenWidth, int screenHeight, int pictureWidth, int pictureHeight );

// The picture's pixel (x, y) under the screen's point (screenX, screenY) where the picture
// stands at `place`; 1, or 0 for a point on the borders round it (x and y left alone).
int PicturePointAt( const PicturePlace &place, int pictureWidth, int pictureHeight, int screenX, int screenY,
                    int &x, int &y );

#endif
