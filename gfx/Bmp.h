#ifndef KELTO_GFX_BMP_H
#define KELTO_GFX_BMP_H

// Reading the game's pictures: uncompressed BMP files of at most 8 bits per pixel. Every
// reader returns 1 or 0, and after a 0 BmpGetLastError tells why in a few words, so that
// start-up can say what is wrong with which file. No file, however broken, makes a reader
// touch memory outside its destination or report a picture it did not read.

#include "host/HostTypes.h"

#include <cstdint>

struct BmpFileHeader {
    uint16_t bfType;
    uint32_t bfSize;
    uint16_t bfReserved1;
    uint16_t bfReserved2;
    uint32_t bfOffBits;
};

struct BmpInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};

// The largest width or height a picture may have.
const int BMP_MAX_SIDE = 16384;

int ReadBmpHeaders( const char *fileName, BmpFileHeader *fileHeader, BmpInfoHeader *infoHeader );
int ReadBmpPixels( const char *fileName, uint8_t *destination );
int ReadBmpPixelsPitched( const char *fileName, uint8_t *destination, int pitch );
// ReadBmpPixelsPitched for a destination sized from an earlier look at the headers: refuses
// with "bad size" unless the file still holds a picture of exactly width x height.
int ReadBmpPixelsSized( const char *fileName, uint8_t *destination, int pitch, int width, int height );
int ReadBmpPalette( const char *fileName, HostPaletteEntry *entries );

// Why the last reader call returned 0: why the file could not be opened ("no such file",
// "permission denied", "not a regular file", "symbolic link loop", "cannot open"), "not a
// BMP", "over 8 bits per pixel", "compressed", "bad size", "too large", "truncated", "fewer
// than 8 bits per pixel" (a file too short for its rows read a byte a pixel), "out of
// memory", or "" after a success.
const char *BmpGetLastError();
void BmpSetLastError( const char *reason );

#endif
