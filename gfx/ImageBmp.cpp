#include "gfx/Bmp.h"
#include "gfx/Image.h"

#include <new>

// A picture of another size is read into a new block first and takes the place of the old
// one only once every row has arrived, so a broken file leaves the Image as it was. Only an
// Image that owns its block can change size; one wrapping a surface of the file's size is
// filled in place, at its own pitch.
int Image::LoadBmp( const char *fileName ) {
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    if ( !ReadBmpHeaders( fileName, &fileHeader, &info ) ) {
        return 0;
    }
    if ( width == info.biWidth && height == info.biHeight ) {
        return ReadBmpPixelsSized( fileName, pixels, pitch, width, height );
    }
    if ( !ownsPixels ) {
        BmpSetLastError( "bad size" );
        return 0;
    }
    // A short file claiming a huge picture is refused before its block is allocated.
    if ( !CheckBmpRows( fileName ) ) {
        return 0;
    }
    const size_t bytes = size_t( info.biWidth ) * size_t( info.biHeight );
    uint8_t *block = new ( std::nothrow ) uint8_t[bytes];
    if ( block == nullptr ) {
        // Without memory for the new size the old picture is given up too: an empty Image
        // is safe to draw into, one sized without pixels is not.
        delete[] pixels;
        pixels = nullptr;
        ownsPixels = 0;
        width = 0;
        height = 0;
        pitch = 0;
        SetClipRect( GetBounds() );
        BmpSetLastError( "too large" );
        return 0;
    }
    if ( !ReadBmpPixelsSized( fileName, block, info.biWidth, info.biWidth, info.biHeight ) ) {
        delete[] block;
        return 0;
    }
    delete[] pixels;
    pixels = block;
    width = info.biWidth;
    height = info.biHeight;
    pitch = width;
    SetClipRect( GetBounds() );
    return 1;
}
