#include "gfx/Bmp.h"

#include "gfx/BmpFile.h"

// Each reader opens its file once, through BmpFile, and reads no further than it needs.

static const char *lastError = "";

const char *BmpGetLastError() {
    return lastError;
}

void BmpSetLastError( const char *reason ) {
    lastError = reason == nullptr ? "" : reason;
}

int ReadBmpHeaders( const char *fileName, BmpFileHeader *fileHeader, BmpInfoHeader *infoHeader ) {
    BmpFile file;
    if ( !file.Load( fileName, BmpFile::Headers ) ) {
        return 0;
    }
    if ( fileHeader != nullptr ) {
        *fileHeader = file.GetFileHeader();
    }
    if ( infoHeader != nullptr ) {
        *infoHeader = file.GetInfoHeader();
    }
    return 1;
}

// Reads the pixel rows into `destination`, rows `pitch` bytes apart. With `sized`, the file
// must hold a picture of width x height, the size the caller allocated for.
static int ReadPixels( const char *fileName, uint8_t *destination, int pitch, int sized, int width,
                       int height ) {
    BmpFile file;
    if ( !file.Load( fileName ) ) {
        return 0;
    }
    // Rows never overlap or run past memory sized for another picture.
    if ( sized && ( file.GetWidth() != width || file.GetHeight() != height ) ) {
        BmpSetLastError( "bad size" );
        return 0;
    }
    return file.CopyRows( destination, pitch );
}

int ReadBmpPixelsSized( const char *fileName, uint8_t *destination, int pitch, int width, int height ) {
    return ReadPixels( fileName, destination, pitch, 1, width, height );
}

int ReadBmpPixelsPitched( const char *fileName, uint8_t *destination, int pitch ) {
    return ReadPixels( fileName, destination, pitch, 0, 0, 0 );
}

int ReadBmpPixels( const char *fileName, uint8_t *destination ) {
    BmpFile file;
    if ( !file.Load( fileName ) ) {
        return 0;
    }
    return file.CopyRows( destination, file.GetWidth() );
}

int ReadBmpPalette( const char *fileName, HostPaletteEntry *entries ) {
    BmpFile file;
    if ( !file.Load( fileName, BmpFile::ColourTable ) ) {
        return 0;
    }
    return file.CopyPalette( entries );
}
