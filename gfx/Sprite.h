#ifndef KELTO_GFX_SPRITE_H
#define KELTO_GFX_SPRITE_H

#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "gfx/TurnedPictures.h"

#include <cstdint>

class TrigTable;

// A small picture cut out of an Image (a tank, a bomb) and drawn into other Images with
// palette index 0 transparent. It keeps its own copy of the pixels, either raw or run-length
// encoded (transparent stretches skipped by count); raw Sprites can also be drawn turned.
class Sprite {
public:
    Sprite();
    Sprite( const Image &source, Rect region, uint8_t encode );
    virtual ~Sprite();

    int Build( const Image &source, Rect region, uint8_t encode );

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetEncoded() const { return encoded; }
    int GetDataSize() const { return dataSize; }
    const uint8_t *GetData() const { return data; }

    void Draw( Image &destination, int x, int y ) const;
    uint8_t ConvertToEncoded();
    uint8_t ConvertToRaw();

    // Draws the raw picture turned by `angle` degrees about (cx, cy) of the picture, whose
    // unturned top-left pixel would go to (x, y), with the sine and cosine of `trig`.
    void DrawRotated( Image &destination, int x, int y, int cx, int cy, int angle,
                      const TrigTable &trig ) const;
    // The same, with the picture mirrored left to right before it is turned.
    void DrawRotatedMirrored( Image &destination, int x, int y, int cx, int cy, int angle,
                              const TrigTable &trig ) const;
    void DrawRotatedRow( Image &destination, int row, int x0, int y0, int x1, int y1 ) const;

private:
    Sprite( const Sprite & ) = delete;
    Sprite &operator=( const Sprite & ) = delete;

    int MeasureEncoded( const Image &source, const Rect &region ) const;
    void Encode( const Image &source, const Rect &region );
    void DrawRaw( Image &destination, int x, int y ) const;
    void DrawEncoded( Image &destination, int x, int y ) const;
    void MakeEmpty();
    void DrawTurned( Image &destination, int x, int y, int cx, int cy, int angle, const TrigTable &trig,
                     int mirrored ) const;
    void DrawTurnedRows( Image &destination, int x, int y, int cx, int cy, int angle, const TrigTable &trig,
                         int mirrored ) const;
    int TurnedPicture( int cx, int cy, int angle, const TrigTable &trig, int mirrored,
                       TurnedPictures::Picture &picture ) const;
    static void DrawBlock( Image &destination, int x, int y, const uint8_t *pixels, int width, int height );
    void DrawTurnedRow( Image &destination, int row, int x0, int y0, int x1, int y1, int mirrored ) const;

    uint8_t ownsData;
    uint8_t encoded;
    int width;
    int height;
    uint8_t *data; // owned when ownsData is 1
    int dataSize;
    mutable TurnedPictures *turned; // owned; made by the first turned draw, forgotten with the pixels
};

// Turned pictures are kept between draws unless tests or benchmarks switch that off, to compare
// with the rows turned at every draw.
void SpriteKeepTurnedPictures( int keep );

#endif
