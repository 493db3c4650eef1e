#include "land/LandTile.h"

#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A headless backend that counts the surfaces made (each asks for its pitch once).
class CountingBackend : public HeadlessBackend {
public:
    int GetSurfacePitch( int width ) override {
        surfacesMade++;
        return HeadlessBackend::GetSurfacePitch( width );
    }
    int surfacesMade = 0;
};

// A 640 x 480 full-screen display on the headless backend, rows `padding` bytes wider.
struct Screen {
    explicit Screen( int padding = 0 ) : screen( &backend, padding ) {}
    CountingBackend backend;
    TestScreen screen;
    Display &display = screen.display;
};

uint8_t Diagonal( int x, int y ) {
    return uint8_t( 1 + ( x + 2 * y ) % 250 );
}

uint8_t TileByte( const LandTile &tile, int x, int y ) {
    const HostSurface *surface = tile.GetSurface();
    return surface->GetPixels()[y * surface->GetPitch() + x];
}

} // namespace

TEST( LandTileCreation, DisplaySizeIsAcceptedAndOnePixelMoreMakesNoSurface ) {
    Screen screen;
    const int before = screen.backend.surfacesMade;
    LandTile wide, high, empty, negative, full;
    EXPECT_EQ( 0, wide.Create( &screen.display, 641, 480, 0, 0 ) );
    EXPECT_EQ( 0, high.Create( &screen.display, 640, 481, 0, 0 ) );
    EXPECT_EQ( 0, empty.Create( &screen.display, 0, 10, 0, 0 ) );
    EXPECT_EQ( 0, negative.Create( &screen.display, 10, -1, 0, 0 ) );
    EXPECT_EQ( 0, full.Create( nullptr, 10, 10, 0, 0 ) );
    EXPECT_EQ( before, screen.backend.surfacesMade );
    EXPECT_EQ( nullptr, wide.GetSurface() );

    ASSERT_EQ( 1, full.Create( &screen.display, 640, 480, 3, 7 ) );
    ASSERT_NE( nullptr, full.GetSurface() );
    EXPECT_EQ( 640, full.GetWidth() );
    EXPECT_EQ( 480, full.GetHeight() );
    EXPECT_EQ( 3u, full.GetSurface()->GetColorKeyLow() );
    EXPECT_EQ( 7u, full.GetSurface()->GetColorKeyHigh() );
}

TEST( LandTileCreation, SecondCreateFailsAndKeepsTheFirstSurface ) {
    Screen screen;
    LandTile tile( &screen.display, 200, 100, 0, 0 );
    HostSurface *first = tile.GetSurface();
    ASSERT_NE( nullptr, first );
    EXPECT_EQ( 0, tile.Create( &screen.display, 100, 50, 0, 0 ) );
    EXPECT_EQ( first, tile.GetSurface() );
    EXPECT_EQ( 200, tile.GetWidth() );
}

TEST( LandTileLocking, PixelsLandOnePitchApartAndInsideTheClip ) {
    Screen screen( 13 );
    LandTile tile( &screen.display, 200, 100, 0, 0 );
    Image &image = tile.Lock();
    ASSERT_NE( nullptr, image.GetPixels() );
    EXPECT_EQ( 213, image.GetPitch() );
    EXPECT_EQ( 200, image.GetWidth() );
    EXPECT_EQ( 199, image.GetClipRect().right );
    EXPECT_EQ( 99, image.GetClipRect().bottom );
    image.PutPixel( 7, 5, 42 );
    image.FillRect( 190, 95, 400, 400, 9 ); // cut at the tile's edge, not at the pitch
    tile.Unlock();
    EXPECT_EQ( 42, TileByte( tile, 7, 5 ) );
    EXPECT_EQ( 9, TileByte( tile, 199, 99 ) );
    const HostSurface *surface = tile.GetSurface();
    EXPECT_NE( 9, surface->GetPixels()[99 * 213 + 200] );
    EXPECT_FALSE( surface->IsLocked() );
}

TEST( LandTileLocking, BusyLocksAreWaitedOut ) {
    Screen screen;
    LandTile tile( &screen.display, 64, 64, 0, 0 );
    tile.GetSurface()->InjectBusyLocks( 5 );
    const int attempts = tile.GetSurface()->GetLockAttempts();
    Image &image = tile.Lock();
    EXPECT_NE( nullptr, image.GetPixels() );
    EXPECT_EQ( attempts + 6, tile.GetSurface()->GetLockAttempts() );
    tile.Unlock();
}

TEST( LandTileLocking, LostSurfaceLendsAnImageThatDrawsNothingUntilRestored ) {
    Screen screen;
    LandTile tile( &screen.display, 100, 60, 0, 0 );
    tile.GetSurface()->InjectLoss();
    Image &lost = tile.Lock();
    EXPECT_EQ( nullptr, lost.GetPixels() );
    EXPECT_LT( lost.GetClipRect().right, lost.GetClipRect().left );
    EXPECT_LT( lost.GetClipRect().bottom, lost.GetClipRect().top );
    lost.FillEllipse( 50, 30, 50, 30, 0 ); // a crater while lost: must not touch anything
    lost.Clear( 1 );
    tile.Unlock();
    EXPECT_LE( tile.GetSurface()->GetLockAttempts(), 2 );

    tile.GetSurface()->Restore();
    Image &back = tile.Lock();
    ASSERT_NE( nullptr, back.GetPixels() );
    EXPECT_EQ( 0, back.GetClipRect().left );
    EXPECT_EQ( 99, back.GetClipRect().right );
    EXPECT_EQ( 59, back.GetClipRect().bottom );
    back.PutPixel( 99, 59, 77 );
    tile.Unlock();
    EXPECT_EQ( 77, TileByte( tile, 99, 59 ) );
}

TEST( LandTileLocking, TileWithoutSurfaceLendsTheEmptyImage ) {
    Screen screen;
    LandTile tile;
    Image &image = tile.Lock();
    EXPECT_EQ( nullptr, image.GetPixels() );
    image.FillRect( 0, 0, 10, 10, 5 );
    tile.Unlock();
    EXPECT_EQ( 0, tile.LoadBmp( "missing.bmp" ) );
}

TEST( LandTileResizing, ReplacesTheSurfaceEvenAtTheSameSize ) {
    Screen screen;
    LandTile tile( &screen.display, 100, 50, 0, 0 );
    const int made = screen.backend.surfacesMade;
    EXPECT_EQ( 1, tile.Resize( 100, 50 ) );
    EXPECT_EQ( made + 1, screen.backend.surfacesMade );
    EXPECT_EQ( 1, tile.Resize( 30, 20 ) );
    EXPECT_EQ( 30, tile.GetSurface()->GetWidth() );
    EXPECT_EQ( 20, tile.GetHeight() );
    EXPECT_EQ( 0u, tile.GetSurface()->GetColorKeyLow() );
    EXPECT_TRUE( tile.GetSurface()->HasColorKey() );

    HostSurface *kept = tile.GetSurface();
    EXPECT_EQ( 0, tile.Resize( 641, 20 ) );
    EXPECT_EQ( 0, tile.Resize( 30, 0 ) );
    EXPECT_EQ( kept, tile.GetSurface() );
    Image &image = tile.Lock();
    EXPECT_EQ( 19, image.GetClipRect().bottom );
    tile.Unlock();
}

TEST( LandTileLoading, FileOfTheTileSizeFillsItInPlaceTopRowFirst ) {
    Screen screen( 5 );
    LandTile tile( &screen.display, 37, 23, 0, 0 );
    PutMemoryFile( "piece.bmp", MakeBmp( 37, 23, Diagonal ) );
    const int made = screen.backend.surfacesMade;
    ASSERT_EQ( 1, tile.LoadBmp( "piece.bmp" ) );
    EXPECT_EQ( made, screen.backend.surfacesMade );
    for ( int y = 0; y < 23; y++ ) {
        for ( int x = 0; x < 37; x++ ) {
            ASSERT_EQ( Diagonal( x, y ), TileByte( tile, x, y ) ) << x << "," << y;
        }
    }
}

TEST( LandTileLoading, FileOfAnotherSizeResizesTheTileFirst ) {
    Screen screen;
    LandTile tile( &screen.display, 100, 100, 0, 0 );
    PutMemoryFile( "small.bmp", MakeBmp( 20, 10, Diagonal ) );
    ASSERT_EQ( 1, tile.LoadBmp( "small.bmp" ) );
    EXPECT_EQ( 20, tile.GetWidth() );
    EXPECT_EQ( 10, tile.GetHeight() );
    EXPECT_EQ( Diagonal( 19, 9 ), TileByte( tile, 19, 9 ) );
}

TEST( LandTileLoading, FileLargerThanTheDisplayIsRefusedAndTheTileKept ) {
    Screen screen;
    LandTile tile( &screen.display, 40, 40, 0, 0 );
    Image &image = tile.Lock();
    image.Clear( 66 );
    tile.Unlock();
    HostSurface *kept = tile.GetSurface();
    PutMemoryFile( "huge.bmp", MakeBmp( 700, 10, Diagonal ) );
    EXPECT_EQ( 0, tile.LoadBmp( "huge.bmp" ) );
    EXPECT_EQ( 0, tile.LoadBmp( "missing.bmp" ) );
    EXPECT_EQ( kept, tile.GetSurface() );
    EXPECT_EQ( 40, tile.GetWidth() );
    EXPECT_EQ( 66, TileByte( tile, 39, 39 ) );
}
