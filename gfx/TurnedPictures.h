#ifndef KELTO_GFX_TURNEDPICTURES_H
#define KELTO_GFX_TURNEDPICTURES_H

#include <cstdint>

// The turned pictures of one Sprite drawn lately, each kept with what it was turned by, so that
// a tank standing on its slope is turned once rather than every frame. A turned picture is laid
// out the same wherever it is drawn; only the clip decides what of it shows. The room for them
// is taken once, so that play never grows the heap however many slopes the tanks meet.
class TurnedPictures {
public:
    // What a picture was turned by.
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

    // The turned pixels, 0 where nothing was drawn, and where their top-left pixel lies from
    // the point the unturned picture's top-left would be drawn at.
    struct Picture {
        const uint8_t *pixels;
        int width;
        int height;
        int offsetX;
        int offsetY;
    };

    TurnedPictures();
    virtual ~TurnedPictures();

    // Room for every kept picture of up to `largest` pixels; 1, or 0 without memory for it.
    int Create( int largest );

    // 1 with the picture kept for `turn`, else 0.
    int Find( const Turn &turn, Picture &picture ) const;
    // The room for a width x height picture for `turn`, cleared to 0, in place of the one kept
    // longest; null when it is larger than the room.
    uint8_t *Make( const Turn &turn, int width, int height, int offsetX, int offsetY );
    void Forget();

private:
    TurnedPictures( const TurnedPictures & ) = delete;
    TurnedPictures &operator=( const TurnedPictures & ) = delete;

    // Enough for every tank of a full match on its own slope.
    static const int KEPT = 16;

    struct Entry {
        Turn turn;
        Picture picture;
        int used;
    };

    Entry entries[KEPT];
    uint8_t *room; // owned: KEPT blocks of `largest` bytes
    int largest;
    int oldest;
};

#endif
