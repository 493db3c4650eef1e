// Fuzzes the BMP readers with any bytes as a picture file: the header check, the pixel
// readers (into a buffer with a pitch wider than the width), the colour table, loading into an
// owning and into a wrapping Image, and loading straight into a land tile. A reader's 1 must
// mean that the file held what was read, and the bytes read must be the file's; a 0 must come
// with a reason; nothing may be written outside the destination or into the gaps between rows.

#include "fuzz/FuzzSupport.h"

#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const char *const FILE_NAME = "fuzz.bmp";
const int64_t MAX_PIXELS = 1 << 22; // larger pictures are not allocated here
const int GUARD = 64;
const uint8_t FILL = 0xC3;

// The picture as the file describes it, worked out here from the raw bytes.
struct FileLayout {
    const uint8_t *data;
    int64_t size;
    int width;
    int rows;          // number of stored rows
    int bottomUp;      // the first stored row is the bottom one
    int64_t pixelData; // offset of the first stored row
    int64_t stride;    // bytes per stored row, filler included

    // A stored row is wholly in the file (the filler after the last row is not needed).
    int HasRow( int row ) const { return pixelData + row * stride + width <= size; }
    const uint8_t *Row( int storedRow ) const { return data + pixelData + storedRow * stride; }
    // The stored row that becomes row `y` of the picture.
    int StoredRowOf( int y ) const { return bottomUp ? rows - 1 - y : y; }
};

void CheckReason( int result, const char *what ) {
    const char *reason = BmpGetLastError();
    FUZZ_CHECK( reason != nullptr, "%s left no reason", what );
    if ( result == 0 ) {
        FUZZ_CHECK( reason[0] != '\0', "%s returned 0 without a reason", what );
    } else {
        FUZZ_CHECK( result == 1, "%s returned %d", what, result );
        FUZZ_CHECK( reason[0] == '\0', "%s succeeded but left the reason \"%s\"", what, reason );
    }
}

// Rows of `layout.width` bytes, `pitch` apart from `pixels`, hold the picture; the gaps after
// the rows are as filled.
void CheckRows( const FileLayout &layout, const uint8_t *pixels, int64_t pitch, const char *what ) {
    for ( int y = 0; y < layout.rows; y++ ) {
        int stored = layout.StoredRowOf( y );
        FUZZ_CHECK( layout.HasRow( stored ),
                    "%s reported success but the file (%lld bytes) lacks stored row %d", what,
                    (long long)layout.size, stored );
        const uint8_t *row = pixels + y * pitch;
        FUZZ_CHECK( std::memcmp( row, layout.Row( stored ), size_t( layout.width ) ) == 0,
                    "%s: picture row %d differs from stored row %d", what, y, stored );
    }
}

// A destination of `rows` rows `pitch` apart with a guard before and after.
struct Destination {
    Destination( int64_t rows, int64_t pitch ) : block( size_t( rows * pitch + 2 * GUARD ), FILL ) {}
    uint8_t *Pixels() { return &block[GUARD]; }

    // Nothing outside the rows of `width` bytes was written.
    void CheckOutsideRows( int rows, int width, int64_t pitch, const char *what ) const {
        for ( size_t i = 0; i < block.size(); i++ ) {
            int64_t offset = int64_t( i ) - GUARD;
            bool inRow = offset >= 0 && offset / pitch < rows && offset % pitch < width;
            FUZZ_CHECK( inRow || block[i] == FILL, "%s wrote at offset %lld, outside its rows", what,
                        (long long)offset );
        }
    }

    std::vector<uint8_t> block;
};

void CheckHeaders( const BmpFileHeader &fileHeader, const BmpInfoHeader &infoHeader, size_t size ) {
    FUZZ_CHECK( size >= 54, "headers accepted from a %zu-byte file", size );
    FUZZ_CHECK( fileHeader.bfType == 0x4D42 && infoHeader.biSize == 40 && infoHeader.biBitCount <= 8 &&
                    infoHeader.biCompression == 0,
                "headers accepted that fail the checks" );
    FUZZ_CHECK( infoHeader.biClrUsed != 0, "a colour count of 0 was not read as 256" );
}

void FuzzPixelReaders( const FileLayout &layout, int64_t pitch ) {
    Destination pitched( layout.rows, pitch );
    int result = ReadBmpPixelsPitched( FILE_NAME, pitched.Pixels(), int( pitch ) );
    CheckReason( result, "ReadBmpPixelsPitched" );
    pitched.CheckOutsideRows( layout.rows, layout.width, pitch, "ReadBmpPixelsPitched" );
    if ( result == 1 ) {
        CheckRows( layout, pitched.Pixels(), pitch, "ReadBmpPixelsPitched" );
    }

    Destination packed( layout.rows, layout.width );
    result = ReadBmpPixels( FILE_NAME, packed.Pixels() );
    CheckReason( result, "ReadBmpPixels" );
    packed.CheckOutsideRows( layout.rows, layout.width, layout.width, "ReadBmpPixels" );
    if ( result == 1 ) {
        CheckRows( layout, packed.Pixels(), layout.width, "ReadBmpPixels" );
    }
}

void FuzzPalette( int headersPassed, const FileLayout &layout, const BmpInfoHeader &infoHeader ) {
    HostPaletteEntry entries[256 + 2];
    std::memset( entries, FILL, sizeof( entries ) );
    int result = ReadBmpPalette( FILE_NAME, entries + 1 );
    CheckReason( result, "ReadBmpPalette" );
    const uint8_t *raw = reinterpret_cast<const uint8_t *>( entries );
    for ( size_t i = 0; i < sizeof( HostPaletteEntry ); i++ ) {
        FUZZ_CHECK( raw[i] == FILL && raw[sizeof( entries ) - 1 - i] == FILL,
                    "ReadBmpPalette wrote past its table" );
    }
    if ( result == 0 ) {
        return;
    }
    FUZZ_CHECK( headersPassed, "ReadBmpPalette read a file whose headers fail" );
    int64_t count = infoHeader.biClrUsed < 256 ? infoHeader.biClrUsed : 256;
    FUZZ_CHECK( 54 + 4 * count <= layout.size, "ReadBmpPalette read %lld entries from a %lld-byte file",
                (long long)count, (long long)layout.size );
    for ( int64_t i = 0; i < count; i++ ) {
        const uint8_t *stored = layout.data + 54 + 4 * i;
        const HostPaletteEntry &entry = entries[1 + i];
        FUZZ_CHECK( entry.red == stored[2] && entry.green == stored[1] && entry.blue == stored[0] &&
                        entry.flags == stored[3],
                    "palette entry %lld is not the stored one turned to red, green, blue", (long long)i );
    }
}

void FuzzOwningImage( const FileLayout &layout, int headersPassed ) {
    Image image( 1, 1 );
    int result = image.LoadBmp( FILE_NAME );
    CheckReason( result, "Image::LoadBmp" );
    if ( result == 0 ) {
        return;
    }
    FUZZ_CHECK( headersPassed, "Image::LoadBmp loaded a file whose headers fail" );
    FUZZ_CHECK( image.GetWidth() == layout.width && image.GetHeight() == layout.rows &&
                    image.GetPitch() == layout.width && image.GetOwnsPixels() == 1,
                "Image::LoadBmp gave a %d x %d image, pitch %d, for a %d x %d file", image.GetWidth(),
                image.GetHeight(), image.GetPitch(), layout.width, layout.rows );
    const Rect &clip = image.GetClipRect();
    FUZZ_CHECK( clip.left == 0 && clip.top == 0 && clip.right == layout.width - 1 &&
                    clip.bottom == layout.rows - 1,
                "Image::LoadBmp left the clip rectangle off the new bounds" );
    CheckRows( layout, image.GetPixels(), image.GetPitch(), "Image::LoadBmp" );
}

// A wrapping Image can only be filled, never resized: of the file's size it is filled with
// its own pitch, of another size it is refused and left alone.
void FuzzWrappingImage( const FileLayout &layout, int sane, int matching ) {
    int width = matching ? layout.width : 8, height = matching ? layout.rows : 6;
    int64_t pitch = width + 3;
    Destination memory( height, pitch );
    Image image;
    image.SetWidth( width );
    image.SetHeight( height );
    image.SetPitch( int( pitch ) );
    image.SetPixels( memory.Pixels() );
    image.SetClipRect( 2, 1, width - 1, height - 1 );
    Rect clip = image.GetClipRect();
    int result = image.LoadBmp( FILE_NAME );
    CheckReason( result, "Image::LoadBmp (wrapping)" );
    FUZZ_CHECK( image.GetWidth() == width && image.GetHeight() == height && image.GetPitch() == pitch &&
                    image.GetPixels() == memory.Pixels() && image.GetOwnsPixels() == 0,
                "Image::LoadBmp changed a wrapping Image" );
    const Rect &after = image.GetClipRect();
    FUZZ_CHECK( after.left == clip.left && after.top == clip.top && after.right == clip.right &&
                    after.bottom == clip.bottom,
                "Image::LoadBmp changed the clip rectangle of a wrapping Image" );
    memory.CheckOutsideRows( height, width, pitch, "Image::LoadBmp (wrapping)" );
    if ( result == 1 ) {
        FUZZ_CHECK( sane && layout.width == width && layout.rows == height,
                    "a wrapping %d x %d Image took a file of another size", width, height );
        CheckRows( layout, memory.Pixels(), pitch, "Image::LoadBmp (wrapping)" );
    }
}

// One display for the whole run, on the headless backend, with surfaces whose rows are wider
// than their width.
Display *TheDisplay() {
    static HeadlessBackend backend;
    static Display display;
    static int ready = 0;
    if ( !ready ) {
        HostSetBackend( &backend );
        backend.SetPitchPadding( 5 );
        HostWindowClass windowClass = { 0, HostDefWindowProc, nullptr, "KeltoFuzz" };
        HostRegisterClass( &windowClass );
        HostWindow *window = HostCreateWindow( 0, "KeltoFuzz", "Kelto fuzz", WS_POPUP, nullptr );
        FUZZ_CHECK( display.Init( window, 1, 640, 480, 8 ) == 1, "the headless display did not start" );
        ready = 1;
    }
    return &display;
}

void FuzzLandTile( const FileLayout &layout, int headersPassed ) {
    Display *display = TheDisplay();
    LandTile tile;
    FUZZ_CHECK( tile.Create( display, 16, 12, 0, 0 ) == 1, "a 16 x 12 tile could not be made" );
    int result = tile.LoadBmp( FILE_NAME );
    if ( result == 0 ) {
        return;
    }
    FUZZ_CHECK( result == 1 && headersPassed, "LandTile::LoadBmp returned %d", result );
    FUZZ_CHECK( tile.GetWidth() == layout.width && tile.GetHeight() == layout.rows,
                "LandTile::LoadBmp left a %d x %d tile for a %d x %d file", tile.GetWidth(), tile.GetHeight(),
                layout.width, layout.rows );
    FUZZ_CHECK( layout.width <= display->GetWidth() && layout.rows <= display->GetHeight(),
                "a tile took a %d x %d file, larger than the display", layout.width, layout.rows );
    Image &image = tile.Lock();
    FUZZ_CHECK( image.GetPixels() != nullptr, "a freshly loaded tile could not be locked" );
    CheckRows( layout, image.GetPixels(), image.GetPitch(), "LandTile::LoadBmp" );
    tile.Unlock();
}

void WriteSeeds( const char *directory );

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    FuzzWriteSeedsIfAsked( *argc, *argv, WriteSeeds );
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    HostAddMemoryFile( FILE_NAME, data, size );
    BmpFileHeader fileHeader;
    BmpInfoHeader infoHeader;
    int headersPassed = ReadBmpHeaders( FILE_NAME, &fileHeader, &infoHeader );
    CheckReason( headersPassed, "ReadBmpHeaders" );

    FileLayout layout = { data, int64_t( size ), 0, 0, 1, 0, 0 };
    int sane = 0;
    if ( headersPassed ) {
        CheckHeaders( fileHeader, infoHeader, size );
        int64_t rows = infoHeader.biHeight < 0 ? -int64_t( infoHeader.biHeight ) : infoHeader.biHeight;
        layout.width = infoHeader.biWidth;
        layout.rows = int( rows );
        layout.bottomUp = infoHeader.biHeight > 0;
        layout.pixelData = 54 + 4 * int64_t( infoHeader.biClrUsed );
        layout.stride = ( int64_t( infoHeader.biWidth ) + 3 ) & ~int64_t( 3 );
        sane = infoHeader.biWidth > 0 && rows > 0 && rows <= BMP_MAX_SIDE &&
               infoHeader.biWidth <= BMP_MAX_SIDE && infoHeader.biWidth * rows <= MAX_PIXELS;
    }
    if ( sane ) {
        FuzzPixelReaders( layout, layout.width + 1 + int64_t( size % 7 ) );
    }
    FuzzPalette( headersPassed, layout, infoHeader );
    // Loading a picture too large for this run is left out; a broken one is not.
    int large = headersPassed && !sane && infoHeader.biWidth > 0 && infoHeader.biWidth <= BMP_MAX_SIDE &&
                layout.rows > 0 && layout.rows <= BMP_MAX_SIDE;
    if ( !large ) {
        FuzzOwningImage( layout, headersPassed );
        FuzzWrappingImage( layout, sane, sane && size % 2 == 0 );
    }
    FuzzLandTile( layout, headersPassed );
    HostRemoveMemoryFile( FILE_NAME );
    return 0;
}

namespace {

uint8_t Gradient( int x, int y ) {
    return uint8_t( 16 * y + x );
}

void WritePicture( const char *directory, const char *name, const BmpPicture &picture ) {
    FuzzWriteSeed( directory, name, MakeBmp( picture ) );
}

// Seeds: the shapes of file the game meets and the ways one can be broken.
void WriteSeeds( const char *directory ) {
    FuzzWriteSeed( directory, "gradient-8x4", MakeBmp( 8, 4, Gradient ) );
    FuzzWriteSeed( directory, "padded-13x3", MakeBmp( 13, 3, Gradient ) );

    BmpPicture small;
    small.width = 5;
    small.height = 2;
    small.clrUsed = 16;
    small.palette = { { 30, 20, 10, 0 }, { 1, 2, 3, 4 } };
    small.pixels = { 1, 0, 1, 0, 1, 2, 3, 4, 5, 6 };
    WritePicture( directory, "sixteen-colours", small );

    BmpPicture fourBit = small;
    fourBit.bitCount = 4;
    WritePicture( directory, "four-bits", fourBit );

    BmpPicture topDown = small;
    topDown.height = -2;
    WritePicture( directory, "top-down", topDown );

    BmpPicture deep = small;
    deep.bitCount = 24;
    WritePicture( directory, "24-bits", deep );

    BmpPicture packed = small;
    packed.compression = 1;
    WritePicture( directory, "compressed", packed );

    std::vector<uint8_t> truncated = MakeBmp( 13, 3, Gradient );
    truncated.resize( truncated.size() - 20 );
    FuzzWriteSeed( directory, "truncated", truncated );

    BmpPicture wide;
    wide.width = 700;
    wide.height = 1;
    wide.clrUsed = 2;
    WritePicture( directory, "wider-than-display", wide );
}

} // namespace
