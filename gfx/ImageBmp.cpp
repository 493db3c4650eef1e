#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "gfx/Image.h"

#include <new>

int Image::LoadBmp( const char *fileName ) {
    BmpFile file;
    if ( !file.Load( fileName ) ) {
        return 0;
    }
    return LoadBmp( file );
}

// A picture of another size is copied into a new block first and takes the place of the old
// one only once every row is in, so a refusal leaves the Image as it was. Only an Image that
// owns its block can change size; one wrapping a surface of the file's size is filled in
// place, at its own pitch.
int Image::LoadBmp( const BmpFile &file ) {
    if ( file.GetPartRead() != BmpFile::Everything ) {
        BmpSetLastError( "bad size" );
        return 0;
    }
    if ( width == file.GetWidth() && height == file.GetHeight() ) {
        if ( !file.CopyRows( pixels, pitch ) ) {
            return 0;
        }
        BmpSetLastError( "" );
        return 1;
    }
    if ( !ownsPixels ) {
        BmpSetLastError( "bad size" );
        return 0;
    }
    const size_t bytes = size_t( file.GetWidth() ) * size_t( file.GetHeight() );
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
        BmpSetLastError( "out of memory" );
        return 0;
    }
    file.CopyRows( block, file.GetWidth() );
    delete[] pixels;
    pixels = block;
    width = file.GetWidth();
    height = file.GetHeight();
    pitch = width;
    SetClipRect( GetBounds() );
    BmpSetLastError( "" );
    return 1;
}
