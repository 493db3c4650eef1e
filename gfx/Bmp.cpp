#include "gfx/Bmp.h"

#include "host/HostFile.h"

#include <cstddef>

static const int FILE_HEADER_BYTES = 14;
static const int INFO_HEADER_BYTES = 40;
static const int HEADER_BYTES = FILE_HEADER_BYTES + INFO_HEADER_BYTES;
static const uint32_t MAX_COLOURS = 256;

static const char *lastError = "";

const char *BmpGetLastError() {
    return lastError;
}

void BmpSetLastError( const char *reason ) {
    lastError = reason == nullptr ? "" : reason;
}

static int Fail( const char *reason ) {
    BmpSetLastError( reason );
    return 0;
}

static uint16_t Le16( const uint8_t *bytes ) {
    return uint16_t( bytes[0] | ( bytes[1] << 8 ) );
}

static uint32_t Le32( const uint8_t *bytes ) {
    return uint32_t( bytes[0] ) | ( uint32_t( bytes[1] ) << 8 ) | ( uint32_t( bytes[2] ) << 16 ) |
           ( uint32_t( bytes[3] ) << 24 );
}

static void ParseFileHeader( const uint8_t *bytes, BmpFileHeader *header ) {
    header->bfType = Le16( bytes + 0 );
    header->bfSize = Le32( bytes + 2 );
    header->bfReserved1 = Le16( bytes + 6 );
    header->bfReserved2 = Le16( bytes + 8 );
    header->bfOffBits = Le32( bytes + 10 );
}

static void ParseInfoHeader( const uint8_t *bytes, BmpInfoHeader *header ) {
    header->biSize = Le32( bytes + 0 );
    header->biWidth = int32_t( Le32( bytes + 4 ) );
    header->biHeight = int32_t( Le32( bytes + 8 ) );
    header->biPlanes = Le16( bytes + 12 );
    header->biBitCount = Le16( bytes + 14 );
    header->biCompression = Le32( bytes + 16 );
    header->biSizeImage = Le32( bytes + 20 );
    header->biXPelsPerMeter = int32_t( Le32( bytes + 24 ) );
    header->biYPelsPerMeter = int32_t( Le32( bytes + 28 ) );
    header->biClrUsed = Le32( bytes + 32 );
    header->biClrImportant = Le32( bytes + 36 );
}

// Bytes of one stored row: a palette index per pixel, brought to a multiple of 4.
static int64_t RowStride( const BmpInfoHeader &info ) {
    return ( int64_t( info.biWidth ) + 3 ) / 4 * 4;
}

// Where the pixel rows start: right after the colour table (bfOffBits is not trusted).
static int64_t PixelOffset( const BmpInfoHeader &info ) {
    return HEADER_BYTES + 4 * int64_t( info.biClrUsed );
}

// Reads and checks both headers of an open file. Checks the format first, in the order a
// reader of the game's pictures cares about, then everything that would make the pixel rows
// or the colour table unreadable or too big to hold.
static int ReadHeaders( HostFile *file, BmpFileHeader *fileHeader, BmpInfoHeader *infoHeader ) {
    uint8_t bytes[HEADER_BYTES];
    const int64_t got = HostFileRead( file, bytes, HEADER_BYTES );
    if ( got >= 2 && Le16( bytes ) != 0x4D42 ) {
        return Fail( "not a BMP" );
    }
    if ( got < HEADER_BYTES ) {
        return Fail( "truncated" );
    }
    BmpFileHeader fileFields;
    BmpInfoHeader info;
    ParseFileHeader( bytes, &fileFields );
    ParseInfoHeader( bytes + FILE_HEADER_BYTES, &info );
    if ( info.biSize != uint32_t( INFO_HEADER_BYTES ) ) {
        return Fail( "not a BMP" );
    }
    if ( info.biBitCount > 8 ) {
        return Fail( "over 8 bits per pixel" );
    }
    if ( info.biCompression != 0 ) {
        return Fail( "compressed" );
    }
    // Rows stored top row first (a negative height) are refused along with empty pictures.
    if ( info.biWidth <= 0 || info.biHeight <= 0 ) {
        return Fail( "bad size" );
    }
    if ( info.biWidth > BMP_MAX_SIDE || info.biHeight > BMP_MAX_SIDE ||
         RowStride( info ) * info.biHeight > int64_t( INT32_MAX ) ) {
        return Fail( "too large" );
    }
    if ( info.biClrUsed == 0 ) {
        info.biClrUsed = MAX_COLOURS;
    }
    // More colours than the display palette holds.
    if ( info.biClrUsed > MAX_COLOURS ) {
        return Fail( "too large" );
    }
    if ( PixelOffset( info ) > HostFileGetSize( file ) ) {
        return Fail( "truncated" );
    }
    *fileHeader = fileFields;
    *infoHeader = info;
    return 1;
}

// Opens the file and reads its headers; on success the read position is just past them.
static HostFile *OpenChecked( const char *fileName, BmpFileHeader *fileHeader, BmpInfoHeader *infoHeader ) {
    HostFile *file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        Fail( "cannot open" );
        return nullptr;
    }
    if ( !ReadHeaders( file, fileHeader, infoHeader ) ) {
        HostFileClose( file );
        return nullptr;
    }
    return file;
}

int ReadBmpHeaders( const char *fileName, BmpFileHeader *fileHeader, BmpInfoHeader *infoHeader ) {
    BmpFileHeader fileFields;
    BmpInfoHeader info;
    HostFile *file = OpenChecked( fileName, &fileFields, &info );
    if ( file == nullptr ) {
        return 0;
    }
    HostFileClose( file );
    if ( fileHeader != nullptr ) {
        *fileHeader = fileFields;
    }
    if ( infoHeader != nullptr ) {
        *infoHeader = info;
    }
    BmpSetLastError( "" );
    return 1;
}

// Whether the open file is long enough for every row its headers promise; the filler after
// the last row may be missing.
static int HoldsRows( HostFile *file, const BmpInfoHeader &info ) {
    const int64_t needed = PixelOffset( info ) + RowStride( info ) * ( info.biHeight - 1 ) + info.biWidth;
    return needed <= HostFileGetSize( file ) ? 1 : Fail( "truncated" );
}

int CheckBmpRows( const char *fileName ) {
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    HostFile *file = OpenChecked( fileName, &fileHeader, &info );
    if ( file == nullptr ) {
        return 0;
    }
    const int result = HoldsRows( file, info );
    HostFileClose( file );
    if ( result ) {
        BmpSetLastError( "" );
    }
    return result;
}

// Reads the rows, bottom row first in the file, into top-down rows `pitch` bytes apart.
// The whole of the pixel data is known to be there before the first byte is written, so a
// short file leaves the destination untouched.
static int ReadRows( HostFile *file, const BmpInfoHeader &info, uint8_t *destination, int pitch ) {
    const int64_t stride = RowStride( info );
    if ( !HoldsRows( file, info ) ) {
        return 0;
    }
    if ( !HostFileSkip( file, PixelOffset( info ) - HEADER_BYTES ) ) {
        return Fail( "truncated" );
    }
    for ( int row = info.biHeight - 1; row >= 0; row-- ) {
        uint8_t *start = destination + ptrdiff_t( pitch ) * row;
        if ( HostFileRead( file, start, info.biWidth ) != info.biWidth ) {
            return Fail( "truncated" );
        }
        if ( row > 0 && stride > info.biWidth && !HostFileSkip( file, stride - info.biWidth ) ) {
            return Fail( "truncated" );
        }
    }
    return 1;
}

// Reads the pixel rows into `destination`, rows `pitch` bytes apart. With `sized`, the file
// must still hold a picture of width x height, the size the caller allocated for.
static int ReadPixels( const char *fileName, uint8_t *destination, int pitch, int sized, int width,
                       int height ) {
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    HostFile *file = OpenChecked( fileName, &fileHeader, &info );
    if ( file == nullptr ) {
        return 0;
    }
    int result = 0;
    // Rows never overlap or run past memory sized for another picture.
    if ( destination == nullptr || pitch < info.biWidth ||
         ( sized && ( info.biWidth != width || info.biHeight != height ) ) ) {
        Fail( "bad size" );
    } else {
        result = ReadRows( file, info, destination, pitch );
    }
    HostFileClose( file );
    if ( result ) {
        BmpSetLastError( "" );
    }
    return result;
}

int ReadBmpPixelsSized( const char *fileName, uint8_t *destination, int pitch, int width, int height ) {
    return ReadPixels( fileName, destination, pitch, 1, width, height );
}

int ReadBmpPixelsPitched( const char *fileName, uint8_t *destination, int pitch ) {
    return ReadPixels( fileName, destination, pitch, 0, 0, 0 );
}

int ReadBmpPixels( const char *fileName, uint8_t *destination ) {
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    if ( !ReadBmpHeaders( fileName, &fileHeader, &info ) ) {
        return 0;
    }
    return ReadBmpPixelsSized( fileName, destination, info.biWidth, info.biWidth, info.biHeight );
}

int ReadBmpPalette( const char *fileName, HostPaletteEntry *entries ) {
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    HostFile *file = OpenChecked( fileName, &fileHeader, &info );
    if ( file == nullptr ) {
        return 0;
    }
    uint8_t table[4 * MAX_COLOURS];
    const int64_t tableBytes = 4 * int64_t( info.biClrUsed );
    const int64_t got = HostFileRead( file, table, tableBytes );
    HostFileClose( file );
    if ( entries == nullptr ) {
        return Fail( "bad size" );
    }
    if ( got != tableBytes ) {
        return Fail( "truncated" );
    }
    // Stored blue, green, red, reserved; the display takes red, green, blue, flags. Colours
    // the file does not have are black.
    for ( uint32_t i = 0; i < MAX_COLOURS; i++ ) {
        if ( i < info.biClrUsed ) {
            entries[i] =
                HostPaletteEntry{ table[4 * i + 2], table[4 * i + 1], table[4 * i], table[4 * i + 3] };
        } else {
            entries[i] = HostPaletteEntry{ 0, 0, 0, 0 };
        }
    }
    BmpSetLastError( "" );
    return 1;
}
