#ifndef KELTO_GFX_TURNEDPICTURES_H
#define KELTO_GFX_TURNEDPICTURES_H

class Image;
class Sprite;

// The turned pictures of one Sprite drawn lately, each kept with what it was turned by, so that
// a tank standing on its slope is turned once rather than every frame. A turned picture is laid
// out the same wherever it is drawn; only the clip decides what of it shows.
class TurnedPictures {
public:
    // What a picture was turned by, and where its top-left pixel lies from the point the
    // unturned picture's top-left would be drawn at.
    struct Turn {
        int angle;
        int mirrored;
        int cx;
        int cy;
        // The table by what it is made from, not by address: a table made again from the
        // same steps and scale holds the same values.
        int trigSteps;
        int trigScale;
        int trigReady;
    };

    TurnedPictures();
    virtual ~TurnedPictures();

    // The picture kept for `turn`, or null; `offsetX`, `offsetY` say where it goes.
    const Sprite *Find( const Turn &turn, int &offsetX, int &offsetY ) const;
    // Keeps `picture` (the turned pixels, 0 where nothing was drawn) for `turn`, in place of the
    // one kept longest; the picture kept, or null without memory for it.
    const Sprite *Keep( const Turn &turn, const Image &picture, int offsetX, int offsetY );
    void Forget();

private:
    TurnedPictures( const TurnedPictures & ) = delete;
    TurnedPictures &operator=( const TurnedPictures & ) = delete;

    // Enough for every tank of a full match on its own slope.
    static const int KEPT = 16;

    struct Entry {
        Turn turn;
        int offsetX;
        int offsetY;
        Sprite *picture; // owned; null while the entry is free
    };

    Entry entries[KEPT];
    int oldest;
};

#endif
