#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "tests/support/BmpWriter.h"

#include "tests/support/ShortOfMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

class BmpReading : public ::testing::Test {
protected:
    void SetUp() override { HostClearMemoryFiles(); }
    void TearDown() override {
        HostClearMemoryFiles();
        SetLargeAllocationsFail( false );
    }
};

uint8_t Pattern( int x, int y ) {
    return uint8_t( 1 + ( x * 7 + y * 13 ) % 250 );
}

BmpPicture PatternPicture( int width, int height, uint32_t clrUsed = 0 ) {
    BmpPicture picture;
    picture.width = width;
    picture.height = height;
    picture.clrUsed = clrUsed;
    const int colours = clrUsed == 0 ? 256 : int( clrUsed );
    for ( int i = 0; i < colours; i++ ) {
        picture.palette.push_back(
            HostPaletteEntry{ uint8_t( i ), uint8_t( 255 - i ), uint8_t( i * 3 ), uint8_t( i & 1 ) } );
    }
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            picture.pixels.push_back( uint8_t( Pattern( x, y ) % colours ) );
        }
    }
    return picture;
}

void ExpectPicture( const Image &image, const BmpPicture &picture ) {
    ASSERT_EQ( image.GetWidth(), picture.width );
    ASSERT_EQ( image.GetHeight(), picture.height );
    for ( int y = 0; y < picture.height; y++ ) {
        for ( int x = 0; x < picture.width; x++ ) {
            ASSERT_EQ( image.GetPixels()[y * image.GetPitch() + x],
                       picture.pixels[size_t( y ) * picture.width + x] )
                << "pixel " << x << ", " << y;
        }
    }
}

// Reads `name` expecting a refusal with `reason`, into a buffer that must stay untouched.
void ExpectRefused( const std::string &name, const char *reason ) {
    std::vector<uint8_t> buffer( 1 << 16, 0xAB );
    EXPECT_EQ( ReadBmpPixelsPitched( name.c_str(), buffer.data(), 256 ), 0 ) << name;
    EXPECT_STREQ( BmpGetLastError(), reason ) << name;
    EXPECT_EQ( std::vector<uint8_t>( 1 << 16, 0xAB ), buffer ) << name << " wrote into the destination";
    Image image( 1, 1 );
    uint8_t *before = image.GetPixels();
    EXPECT_EQ( image.LoadBmp( name.c_str() ), 0 ) << name;
    EXPECT_STREQ( BmpGetLastError(), reason ) << name;
    EXPECT_EQ( image.GetWidth(), 1 );
    EXPECT_EQ( image.GetPixels(), before );
}

void PatchLe32( std::vector<uint8_t> &bytes, size_t offset, uint32_t value ) {
    for ( int i = 0; i < 4; i++ ) {
        bytes[offset + i] = uint8_t( value >> ( 8 * i ) );
    }
}

} // namespace

TEST_F( BmpReading, EveryWidthSkipsItsRowFiller ) {
    for ( int width = 1; width <= 17; width++ ) {
        BmpPicture picture = PatternPicture( width, 5 );
        PutMemoryFile( "w.bmp", MakeBmp( picture ) );
        Image image( 1, 1 );
        ASSERT_EQ( image.LoadBmp( "w.bmp" ), 1 ) << width;
        EXPECT_STREQ( BmpGetLastError(), "" );
        EXPECT_EQ( image.GetPitch(), width );
        ExpectPicture( image, picture );

        // At a wider pitch the bytes between rows are left alone.
        const int pitch = width + 5;
        std::vector<uint8_t> rows( size_t( pitch ) * 5, 0xCD );
        ASSERT_EQ( ReadBmpPixelsPitched( "w.bmp", rows.data(), pitch ), 1 );
        for ( int y = 0; y < 5; y++ ) {
            for ( int x = 0; x < pitch; x++ ) {
                uint8_t expected = x < width ? picture.pixels[size_t( y ) * width + x] : 0xCD;
                ASSERT_EQ( rows[size_t( y ) * pitch + x], expected ) << width << ": " << x << ", " << y;
            }
        }
    }
}

TEST_F( BmpReading, RowsStoredBottomUpBecomeTopDown ) {
    std::vector<uint8_t> bytes = MakeBmp( PatternPicture( 4, 3 ) );
    // The first stored row holds 10, 11, 12, 13 and must come out as the bottom row.
    for ( int i = 0; i < 4; i++ ) {
        bytes[1078 + i] = uint8_t( 10 + i );
    }
    PutMemoryFile( "order.bmp", bytes );
    std::vector<uint8_t> packed( 12, 0 );
    ASSERT_EQ( ReadBmpPixels( "order.bmp", packed.data() ), 1 );
    EXPECT_EQ( std::vector<uint8_t>( packed.begin() + 8, packed.end() ),
               std::vector<uint8_t>( { 10, 11, 12, 13 } ) );
    EXPECT_NE( packed[0], 10 );
}

TEST_F( BmpReading, PixelsFollowColourTablesOfAnySize ) {
    for ( uint32_t clrUsed : { 2u, 16u, 0u, 100u } ) {
        BmpPicture picture = PatternPicture( 13, 6, clrUsed );
        std::vector<uint8_t> bytes = MakeBmp( picture );
        // bfOffBits is not trusted: the pixels follow the colour table whatever it says.
        PatchLe32( bytes, 10, 9999 );
        PutMemoryFile( "table.bmp", bytes );
        BmpFileHeader fileHeader;
        BmpInfoHeader info;
        ASSERT_EQ( ReadBmpHeaders( "table.bmp", &fileHeader, &info ), 1 );
        EXPECT_EQ( info.biClrUsed, clrUsed == 0 ? 256u : clrUsed );
        EXPECT_EQ( fileHeader.bfType, 0x4D42 );
        EXPECT_EQ( info.biWidth, 13 );
        EXPECT_EQ( info.biHeight, 6 );
        Image image( 1, 1 );
        ASSERT_EQ( image.LoadBmp( "table.bmp" ), 1 ) << clrUsed;
        ExpectPicture( image, picture );

        HostPaletteEntry entries[256];
        std::memset( entries, 0x77, sizeof entries );
        ASSERT_EQ( ReadBmpPalette( "table.bmp", entries ), 1 );
        for ( int i = 0; i < 256; i++ ) {
            HostPaletteEntry expected =
                i < int( picture.palette.size() ) ? picture.palette[i] : HostPaletteEntry{ 0, 0, 0, 0 };
            EXPECT_EQ( entries[i].red, expected.red ) << clrUsed << " entry " << i;
            EXPECT_EQ( entries[i].green, expected.green ) << clrUsed << " entry " << i;
            EXPECT_EQ( entries[i].blue, expected.blue ) << clrUsed << " entry " << i;
            EXPECT_EQ( entries[i].flags, expected.flags ) << clrUsed << " entry " << i;
        }
    }
}

TEST_F( BmpReading, PaletteEntriesTurnIntoRedGreenBlue ) {
    BmpPicture picture = PatternPicture( 2, 2, 16 );
    picture.palette[3] = HostPaletteEntry{ 30, 20, 10, 0 };
    std::vector<uint8_t> bytes = MakeBmp( picture );
    // As stored: blue, green, red, reserved.
    EXPECT_EQ( bytes[54 + 12], 10 );
    EXPECT_EQ( bytes[54 + 14], 30 );
    PutMemoryFile( "colours.bmp", bytes );
    HostPaletteEntry entries[256];
    ASSERT_EQ( ReadBmpPalette( "colours.bmp", entries ), 1 );
    EXPECT_EQ( entries[3].red, 30 );
    EXPECT_EQ( entries[3].green, 20 );
    EXPECT_EQ( entries[3].blue, 10 );
    EXPECT_EQ( entries[3].flags, 0 );
}

TEST_F( BmpReading, UnreadableFormatsAreRefusedWithTheirReason ) {
    BmpPicture picture = PatternPicture( 5, 4 );
    picture.bitCount = 24;
    PutMemoryFile( "deep.bmp", MakeBmp( picture ) );
    ExpectRefused( "deep.bmp", "over 8 bits per pixel" );
    picture = PatternPicture( 5, 4 );
    picture.compression = 1;
    PutMemoryFile( "rle.bmp", MakeBmp( picture ) );
    ExpectRefused( "rle.bmp", "compressed" );
    picture = PatternPicture( 5, 4 );
    picture.type = 0x4D43;
    PutMemoryFile( "type.bmp", MakeBmp( picture ) );
    ExpectRefused( "type.bmp", "not a BMP" );
    picture = PatternPicture( 5, 4 );
    picture.infoSize = 108;
    PutMemoryFile( "v4.bmp", MakeBmp( picture ) );
    ExpectRefused( "v4.bmp", "not a BMP" );
    const char text[] = "This is not a picture at all, just some text of a fair length to read.";
    HostAddMemoryFile( "text.bmp", text, sizeof text );
    ExpectRefused( "text.bmp", "not a BMP" );
    ExpectRefused( "missing.bmp", "no such file" );
}

TEST_F( BmpReading, FewerBitsPerPixelAreReadAsBytesWhenTheFileHoldsThem ) {
    BmpPicture picture = PatternPicture( 6, 3, 16 );
    picture.bitCount = 4;
    std::vector<uint8_t> bytes = MakeBmp( picture );
    PutMemoryFile( "four.bmp", bytes );
    Image image( 1, 1 );
    ASSERT_EQ( image.LoadBmp( "four.bmp" ), 1 );
    ExpectPicture( image, picture );
    // A real 4-bit file packs two pixels a byte and so has too few bytes; so has a 1-bit
    // file, whose colour table is short too.
    bytes.resize( 54 + 16 * 4 + 3 * 4 );
    PutMemoryFile( "four.bmp", bytes );
    ExpectRefused( "four.bmp", "fewer than 8 bits per pixel" );
    picture.bitCount = 1;
    picture.clrUsed = 0;
    bytes = MakeBmp( picture );
    bytes.resize( 54 + 2 * 4 + 3 * 4 );
    PutMemoryFile( "one.bmp", bytes );
    ExpectRefused( "one.bmp", "fewer than 8 bits per pixel" );
}

TEST_F( BmpReading, BrokenSizesAreRefused ) {
    const struct {
        int width, height;
        const char *reason;
    } cases[] = { { 0, 4, "bad size" },         { 4, 0, "bad size" },
                  { -4, 4, "bad size" },        { 4, -4, "bad size" },
                  { INT32_MIN, 1, "bad size" }, { 16385, 1, "too large" },
                  { 1, 16385, "too large" },    { INT32_MAX, INT32_MAX, "too large" } };
    for ( const auto &c : cases ) {
        // A 1 x 1 picture whose header is then given the size under test.
        std::vector<uint8_t> bytes = MakeBmp( BmpPicture() );
        PatchLe32( bytes, 18, uint32_t( c.width ) );
        PatchLe32( bytes, 22, uint32_t( c.height ) );
        PutMemoryFile( "size.bmp", bytes );
        ExpectRefused( "size.bmp", c.reason );
    }
    BmpPicture picture = PatternPicture( 3, 3 );
    std::vector<uint8_t> bytes = MakeBmp( picture );
    PatchLe32( bytes, 46, 257 );
    bytes.resize( bytes.size() + 4 );
    PutMemoryFile( "colours.bmp", bytes );
    ExpectRefused( "colours.bmp", "too large" );
    HostPaletteEntry entries[256] = {};
    EXPECT_EQ( ReadBmpPalette( "colours.bmp", entries ), 0 );
}

TEST_F( BmpReading, FilesThatEndEarlyAreRefusedAsTruncated ) {
    std::vector<uint8_t> whole = MakeBmp( PatternPicture( 7, 4 ) );
    // Cut inside the headers, inside the colour table, and inside the pixel rows.
    for ( size_t length : { size_t( 0 ), size_t( 1 ), size_t( 30 ), size_t( 53 ), size_t( 54 ), size_t( 600 ),
                            size_t( 1077 ), size_t( 1078 ), size_t( 1090 ), whole.size() - 2 } ) {
        PutMemoryFile( "short.bmp", std::vector<uint8_t>( whole.begin(), whole.begin() + length ) );
        ExpectRefused( "short.bmp", "truncated" );
    }
    // A colour table that claims more entries than the file has room for.
    PutMemoryFile( "short.bmp", std::vector<uint8_t>( whole.begin(), whole.begin() + 600 ) );
    HostPaletteEntry entries[256];
    std::memset( entries, 0x5A, sizeof entries );
    EXPECT_EQ( ReadBmpPalette( "short.bmp", entries ), 0 );
    EXPECT_STREQ( BmpGetLastError(), "truncated" );
    EXPECT_EQ( entries[0].red, 0x5A );
}

TEST_F( BmpReading, MissingFillerAfterTheLastRowIsNoLoss ) {
    BmpPicture picture = PatternPicture( 7, 4 );
    std::vector<uint8_t> bytes = MakeBmp( picture );
    bytes.resize( bytes.size() - 1 ); // 7 pixels a row: one filler byte ends the last row
    PutMemoryFile( "filler.bmp", bytes );
    Image image( 1, 1 );
    ASSERT_EQ( image.LoadBmp( "filler.bmp" ), 1 );
    ExpectPicture( image, picture );
}

TEST_F( BmpReading, LoadResizesAnOwnedImageToThePicture ) {
    BmpPicture picture = PatternPicture( 1280, 960 );
    PutMemoryFile( "land.bmp", MakeBmp( picture ) );
    Image image( 1, 1 );
    ASSERT_EQ( image.LoadBmp( "land.bmp" ), 1 );
    EXPECT_EQ( image.GetPitch(), 1280 );
    EXPECT_EQ( image.GetOwnsPixels(), 1 );
    const Rect &clip = image.GetClipRect();
    EXPECT_EQ( clip.left, 0 );
    EXPECT_EQ( clip.top, 0 );
    EXPECT_EQ( clip.right, 1279 );
    EXPECT_EQ( clip.bottom, 959 );
    ExpectPicture( image, picture );
}

TEST_F( BmpReading, LoadIntoAnImageOfTheSameSizeKeepsItsBlockAndClip ) {
    BmpPicture picture = PatternPicture( 9, 5 );
    PutMemoryFile( "same.bmp", MakeBmp( picture ) );
    Image image( 9, 5 );
    image.SetClipRect( 2, 1, 4, 3 );
    uint8_t *block = image.GetPixels();
    ASSERT_EQ( image.LoadBmp( "same.bmp" ), 1 );
    EXPECT_EQ( image.GetPixels(), block );
    EXPECT_EQ( image.GetClipRect().right, 4 );
    ExpectPicture( image, picture );
}

TEST_F( BmpReading, LoadIntoWrappedMemoryUsesItsPitchOrRefusesAnotherSize ) {
    BmpPicture picture = PatternPicture( 9, 5 );
    PutMemoryFile( "wrap.bmp", MakeBmp( picture ) );
    std::vector<uint8_t> surface( 16 * 5, 0xEE );
    Image wrapped;
    wrapped.SetWidth( 9 );
    wrapped.SetHeight( 5 );
    wrapped.SetPitch( 16 );
    wrapped.SetPixels( surface.data() );
    wrapped.SetClipRect( wrapped.GetBounds() );
    ASSERT_EQ( wrapped.LoadBmp( "wrap.bmp" ), 1 );
    ExpectPicture( wrapped, picture );
    EXPECT_EQ( surface[9], 0xEE );
    EXPECT_EQ( wrapped.GetOwnsPixels(), 0 );

    wrapped.SetWidth( 8 );
    std::vector<uint8_t> before = surface;
    EXPECT_EQ( wrapped.LoadBmp( "wrap.bmp" ), 0 );
    EXPECT_EQ( wrapped.GetWidth(), 8 );
    EXPECT_EQ( wrapped.GetPixels(), surface.data() );
    EXPECT_EQ( surface, before );

    Image empty;
    EXPECT_EQ( empty.LoadBmp( "wrap.bmp" ), 0 );
    EXPECT_EQ( empty.GetPixels(), nullptr );
}

TEST_F( BmpReading, BrokenFileLeavesTheLoadedPictureAsItWas ) {
    BmpPicture first = PatternPicture( 6, 4 );
    PutMemoryFile( "a.bmp", MakeBmp( first ) );
    Image image( 1, 1 );
    ASSERT_EQ( image.LoadBmp( "a.bmp" ), 1 );
    uint8_t *block = image.GetPixels();
    for ( int width : { 6, 10 } ) { // the same size is read in place, another into a new block
        std::vector<uint8_t> broken = MakeBmp( PatternPicture( width, 4 ) );
        broken.resize( broken.size() - 8 );
        PutMemoryFile( "b.bmp", broken );
        EXPECT_EQ( image.LoadBmp( "b.bmp" ), 0 );
        EXPECT_EQ( image.GetPixels(), block );
        ExpectPicture( image, first );
    }
}

TEST_F( BmpReading, LoadWithoutMemoryLeavesAnEmptyImage ) {
    PutMemoryFile( "big.bmp", MakeBmp( PatternPicture( 200, 100 ) ) );
    Image image( 1, 1 );
    SetLargeAllocationsFail( true );
    EXPECT_EQ( image.LoadBmp( "big.bmp" ), 0 ); // the file cannot even be read
    EXPECT_STREQ( BmpGetLastError(), "out of memory" );
    EXPECT_EQ( image.GetWidth(), 1 );
    SetLargeAllocationsFail( false );
    BmpFile file;
    ASSERT_EQ( file.Load( "big.bmp" ), 1 );
    SetLargeAllocationsFail( true );
    EXPECT_EQ( image.LoadBmp( file ), 0 );
    SetLargeAllocationsFail( false );
    EXPECT_STREQ( BmpGetLastError(), "out of memory" );
    EXPECT_EQ( image.GetWidth(), 0 );
    EXPECT_EQ( image.GetHeight(), 0 );
    EXPECT_EQ( image.GetPixels(), nullptr );
    EXPECT_EQ( image.GetOwnsPixels(), 0 );
    image.FillRect( 0, 0, 10, 10, 1 ); // safe: there is nothing to draw into
}

TEST_F( BmpReading, DiskFilesAreReadLikeMemoryFiles ) {
    BmpPicture picture = PatternPicture( 11, 7, 16 );
    char path[] = "/tmp/kelto-bmp-XXXXXX";
    int descriptor = mkstemp( path );
    ASSERT_GE( descriptor, 0 );
    close( descriptor );
    ASSERT_EQ( WriteFileBytes( path, MakeBmp( picture ) ), 1 );
    Image image( 1, 1 );
    EXPECT_EQ( image.LoadBmp( path ), 1 );
    ExpectPicture( image, picture );
    std::remove( path );
    EXPECT_EQ( image.LoadBmp( path ), 0 );
    EXPECT_STREQ( BmpGetLastError(), "no such file" );
    EXPECT_EQ( image.LoadBmp( "/tmp" ), 0 ); // a directory is no picture
}

// Only a regular file is a picture, and finding out never waits: a FIFO with no writer
// would hold an ordinary open for ever.
TEST_F( BmpReading, SpecialFilesAreRefusedAtOnceWithTheirReason ) {
    char dir[] = "/tmp/kelto-special-XXXXXX";
    ASSERT_NE( mkdtemp( dir ), nullptr );
    const std::string base = dir;
    ASSERT_EQ( mkfifo( ( base + "/fifo.bmp" ).c_str(), 0600 ), 0 );
    ASSERT_EQ( symlink( "/dev/zero", ( base + "/zero.bmp" ).c_str() ), 0 );
    ASSERT_EQ( symlink( "gone.bmp", ( base + "/dangling.bmp" ).c_str() ), 0 );
    ASSERT_EQ( symlink( "loop.bmp", ( base + "/loop.bmp" ).c_str() ), 0 );
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf( address.sun_path, sizeof( address.sun_path ), "%s/socket.bmp", dir );
    const int listener = socket( AF_UNIX, SOCK_STREAM, 0 );
    ASSERT_EQ( bind( listener, reinterpret_cast<sockaddr *>( &address ), sizeof( address ) ), 0 );
    const struct {
        std::string name;
        const char *reason;
    } cases[] = { { base + "/fifo.bmp", "not a regular file" },
                  { base + "/zero.bmp", "not a regular file" },
                  { base, "not a regular file" },
                  { base + "/socket.bmp", "not a regular file" },
                  { base + "/dangling.bmp", "no such file" },
                  { base + "/loop.bmp", "symbolic link loop" },
                  { base + "/fifo.bmp/x", "no such file" } };
    alarm( 10 ); // a hang ends the test instead of the run
    for ( const auto &each : cases ) {
        Image image( 1, 1 );
        EXPECT_EQ( image.LoadBmp( each.name.c_str() ), 0 ) << each.name;
        EXPECT_STREQ( BmpGetLastError(), each.reason ) << each.name;
    }
    alarm( 0 );
    close( listener );
    std::system( ( "rm -rf '" + base + "'" ).c_str() );
}

TEST( HostFile, MemoryFilesAreCopiesThatOutliveTheirName ) {
    HostClearMemoryFiles();
    std::vector<uint8_t> bytes = { 1, 2, 3, 4, 5, 6 };
    HostAddMemoryFile( "m", bytes.data(), bytes.size() );
    bytes[0] = 99;
    HostFile *file = HostFileOpen( "m" );
    ASSERT_NE( file, nullptr );
    HostRemoveMemoryFile( "m" );
    EXPECT_EQ( HostFileOpen( "m" ), nullptr );
    EXPECT_EQ( HostFileGetSize( file ), 6 );
    uint8_t read[8] = {};
    EXPECT_EQ( HostFileRead( file, read, 2 ), 2 );
    EXPECT_EQ( read[0], 1 );
    EXPECT_EQ( HostFileSkip( file, 2 ), 1 );
    EXPECT_EQ( HostFileRead( file, read, 8 ), 2 );
    EXPECT_EQ( read[0], 5 );
    EXPECT_EQ( HostFileSkip( file, 1 ), 0 );
    HostFileClose( file );
}

TEST( HostFile, SkippingPastTheEndOfADiskFileFails ) {
    char path[] = "/tmp/kelto-file-XXXXXX";
    int descriptor = mkstemp( path );
    ASSERT_GE( descriptor, 0 );
    close( descriptor );
    ASSERT_EQ( WriteFileBytes( path, { 10, 20, 30, 40 } ), 1 );
    HostFile *file = HostFileOpen( path );
    ASSERT_NE( file, nullptr );
    EXPECT_EQ( HostFileGetSize( file ), 4 );
    EXPECT_EQ( HostFileSkip( file, 3 ), 1 );
    uint8_t byte = 0;
    EXPECT_EQ( HostFileRead( file, &byte, 1 ), 1 );
    EXPECT_EQ( byte, 40 );
    EXPECT_EQ( HostFileSkip( file, 1 ), 0 );
    EXPECT_EQ( HostFileRead( file, &byte, 1 ), 0 );
    HostFileClose( file );
    std::remove( path );
}
