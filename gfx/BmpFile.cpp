#include "gfx/BmpFile.h"

#include "host/HostFile.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

// xxHash is used from its header alone, so that every build compiles the same code.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

const int FILE_HEADER_BYTES = 14;
const int INFO_HEADER_BYTES = 40;
const int HEADER_BYTES = FILE_HEADER_BYTES + INFO_HEADER_BYTES;
const uint32_t MAX_COLOURS = 256;

int Fail( const char *reason ) {
    BmpSetLastError( reason );
    return 0;
}

uint16_t Le16( const uint8_t *bytes ) {
    return uint16_t( bytes[0] | ( bytes[1] << 8 ) );
}

uint32_t Le32( const uint8_t *bytes ) {
    return uint32_t( bytes[0] ) | ( uint32_t( bytes[1] ) << 8 ) | ( uint32_t( bytes[2] ) << 16 ) |
           ( uint32_t( bytes[3] ) << 24 );
}

void ParseFileHeader( const uint8_t *bytes, BmpFileHeader *header ) {
    header->bfType = Le16( bytes + 0 );
    header->bfSize = Le32( bytes + 2 );
    header->bfReserved1 = Le16( bytes + 6 );
    header->bfReserved2 = Le16( bytes + 8 );
    header->bfOffBits = Le32( bytes + 10 );
}

void ParseInfoHeader( const uint8_t *bytes, BmpInfoHeader *header ) {
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
int64_t RowStride( const BmpInfoHeader &info ) {
    return ( int64_t( info.biWidth ) + 3 ) / 4 * 4;
}

// The colour table's bytes; the pixel rows start right after it (bfOffBits is not trusted).
int64_t TableBytes( const BmpInfoHeader &info ) {
    return 4 * int64_t( info.biClrUsed );
}

// Every row the headers promise, read one byte per pixel; the filler after the last row
// may be missing.
int64_t RowBytes( const BmpInfoHeader &info ) {
    return RowStride( info ) * ( info.biHeight - 1 ) + info.biWidth;
}

// A file too short for its rows: a picture of fewer bits per pixel packs its rows tighter
// than the byte a pixel the game reads, so that is the real reason there.
int FailShort( const BmpInfoHeader &info ) {
    return Fail( info.biBitCount < 8 ? "fewer than 8 bits per pixel" : "truncated" );
}

// Checks the format first, in the order a reader of the game's pictures cares about, then
// everything that would make the pixel rows or the colour table unreadable or too big to
// hold.
int ParseHeaders( const uint8_t *bytes, int64_t got, int64_t fileSize, BmpFileHeader *fileHeader,
                  BmpInfoHeader *infoHeader ) {
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
    if ( HEADER_BYTES + TableBytes( info ) > fileSize ) {
        return FailShort( info );
    }
    *fileHeader = fileFields;
    *infoHeader = info;
    return 1;
}

} // namespace

BmpFile::BmpFile() : partRead( Headers ), loaded( 0 ), bytes( nullptr ), byteCount( 0 ), fileHash( 0 ) {
    name[0] = '\0';
    std::memset( &fileHeader, 0, sizeof( fileHeader ) );
    std::memset( &info, 0, sizeof( info ) );
}

BmpFile::~BmpFile() {
    delete[] bytes;
}

void BmpFile::Release() {
    delete[] bytes;
    bytes = nullptr;
    byteCount = 0;
    loaded = 0;
}

int BmpFile::Load( const char *fileName, Part part ) {
    Release();
    fileHash = 0;
    std::snprintf( name, sizeof( name ), "%s", fileName != nullptr ? fileName : "" );
    HostFile *file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        return Fail( HostFileGetOpenError() );
    }
    const int result = Read( file, part );
    HostFileClose( file );
    if ( result ) {
        BmpSetLastError( "" );
    }
    return result;
}

// The size a file had when it was opened is what it is taken to hold: a file cut short
// while it is read reads short and is refused as truncated, one that grows is read only as
// far as its headers ask.
int BmpFile::Read( HostFile *file, Part part ) {
    uint8_t header[HEADER_BYTES];
    const int64_t got = HostFileRead( file, header, HEADER_BYTES );
    BmpFileHeader newFileHeader;
    BmpInfoHeader newInfo;
    if ( !ParseHeaders( header, got, HostFileGetSize( file ), &newFileHeader, &newInfo ) ) {
        return 0;
    }
    int64_t wanted = 0;
    if ( part == ColourTable ) {
        wanted = TableBytes( newInfo );
    } else if ( part == Everything ) {
        wanted = TableBytes( newInfo ) + RowBytes( newInfo );
        if ( HEADER_BYTES + wanted > HostFileGetSize( file ) ) {
            return FailShort( newInfo );
        }
    }
    uint8_t *newBytes = nullptr;
    if ( wanted > 0 ) {
        newBytes = new ( std::nothrow ) uint8_t[size_t( wanted )];
        if ( newBytes == nullptr ) {
            return Fail( "out of memory" );
        }
        if ( HostFileRead( file, newBytes, wanted ) != wanted ) {
            delete[] newBytes;
            return FailShort( newInfo );
        }
    }
    uint64_t newHash = 0;
    if ( part == Everything && !HashWholeFile( file, header, newBytes, wanted, newHash ) ) {
        delete[] newBytes;
        return FailShort( newInfo );
    }
    fileHash = newHash;
    fileHeader = newFileHeader;
    info = newInfo;
    bytes = newBytes;
    byteCount = wanted;
    partRead = part;
    loaded = 1;
    return 1;
}

// The hash of the whole file as this one reading of it found it: the headers and the rows
// already read, then whatever follows them, hashed as it is read and not kept.
int BmpFile::HashWholeFile( HostFile *file, const uint8_t *header, const uint8_t *rest, int64_t restBytes,
                            uint64_t &hash ) {
    XXH3_state_t state;
    XXH3_INITSTATE( &state );
    XXH3_64bits_reset( &state );
    XXH3_64bits_update( &state, header, HEADER_BYTES );
    if ( restBytes > 0 ) {
        XXH3_64bits_update( &state, rest, size_t( restBytes ) );
    }
    int64_t left = HostFileGetSize( file ) - HEADER_BYTES - restBytes;
    uint8_t chunk[4096];
    while ( left > 0 ) {
        const int64_t wanted = left < int64_t( sizeof( chunk ) ) ? left : int64_t( sizeof( chunk ) );
        if ( HostFileRead( file, chunk, wanted ) != wanted ) {
            return 0;
        }
        XXH3_64bits_update( &state, chunk, size_t( wanted ) );
        left -= wanted;
    }
    hash = XXH3_64bits_digest( &state );
    return 1;
}

int BmpFile::CopyRows( uint8_t *destination, int pitch ) const {
    if ( !loaded || partRead != Everything || destination == nullptr || pitch < info.biWidth ) {
        return Fail( "bad size" );
    }
    const int64_t stride = RowStride( info );
    const uint8_t *stored = bytes + TableBytes( info );
    // Stored bottom row first.
    for ( int row = 0; row < info.biHeight; row++ ) {
        std::memcpy( destination + ptrdiff_t( pitch ) * ( info.biHeight - 1 - row ), stored + stride * row,
                     size_t( info.biWidth ) );
    }
    return 1;
}

int BmpFile::CopyPalette( HostPaletteEntry *entries ) const {
    if ( !loaded || partRead == Headers || entries == nullptr ) {
        return Fail( "bad size" );
    }
    // Stored blue, green, red, reserved; the display takes red, green, blue, flags. Colours
    // the file does not have are black.
    for ( uint32_t i = 0; i < MAX_COLOURS; i++ ) {
        if ( i < info.biClrUsed ) {
            const uint8_t *entry = bytes + 4 * i;
            entries[i] = HostPaletteEntry{ entry[2], entry[1], entry[0], entry[3] };
        } else {
            entries[i] = HostPaletteEntry{ 0, 0, 0, 0 };
        }
    }
    return 1;
}
