#ifndef KELTO_GFX_IMAGE_H
#define KELTO_GFX_IMAGE_H

#include "gfx/Rect.h"

#include <cstdint>

class BmpFile;

// An 8-bit palettised raster: every picture the game handles, from the loaded BMP files to
// the locked back buffer and land tiles. It either owns one block of width x height bytes or
// describes memory that another object owns (a locked surface), in which case its pitch may
// be wider than its width. Every drawing operation is limited to the clip rectangle.
class Image {
public:
    Image();
    Image( int width, int height );
    virtual ~Image();

    int Create( int width, int height );

    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    int GetPitch() const { return pitch; }
    uint8_t *GetPixels() const { return pixels; }
    const Rect &GetClipRect() const { return clipRect; }
    // (0, 0, width - 1, height - 1) as it stands: an Image without pixels has empty bounds,
    // not corners put in order.
    Rect GetBounds() const;
    int GetOwnsPixels() const { return ownsPixels; }

    void SetWidth( int value ) { width = value; }
    void SetHeight( int value ) { height = value; }
    void SetPitch( int value ) { pitch = value; }
    void SetPixels( uint8_t *value ) { pixels = value; }
    void SetClipRect( const Rect &rect );
    void SetClipRect( int left, int top, int right, int bottom );

    // Drawing; colour 0 is stored like any other.
    void PutPixel( int x, int y, uint8_t colour );
    void DrawHLine( int x1, int x2, int y, uint8_t colour );
    void DrawVLine( int x, int y1, int y2, uint8_t colour );
    void DrawLine( int x1, int y1, int x2, int y2, uint8_t colour );
    void DrawRect( const Rect &rect, uint8_t colour );
    void DrawRect( int x1, int y1, int x2, int y2, uint8_t colour );
    void FillRect( const Rect &rect, uint8_t colour );
    void FillRect( int x1, int y1, int x2, int y2, uint8_t colour );
    void Clear( uint8_t colour );
    void DrawEllipse( int cx, int cy, int rx, int ry, uint8_t colour );
    void FillEllipse( int cx, int cy, int rx, int ry, uint8_t colour );
    // Copies `source` (clipped to this Image's bounds) to (x, y) of `destination`.
    void BlitTo( Image &destination, int x, int y, const Rect &source ) const;

    // Brings the Image to the BMP file's size and fills it; 1 or 0 (see gfx/Bmp.h for the
    // reason of a 0). The file is read once; the second form takes a file already read.
    int LoadBmp( const char *fileName );
    int LoadBmp( const BmpFile &file );

private:
    Image( const Image & ) = delete;
    Image &operator=( const Image & ) = delete;

    uint8_t ownsPixels;
    int width;
    int height;
    int pitch;
    uint8_t *pixels; // owned when ownsPixels is 1
    Rect clipRect;
};

// Block fill and block copy of bytes, for ranges that do not overlap.
void FillBytes( void *destination, uint8_t value, int count );
void CopyBytes( void *destination, const void *source, int count );

#endif
