#include "land/Land.h"

#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A headless backend that notes the width of every surface made, in order.
class RecordingBackend : public HeadlessBackend {
public:
    int GetSurfacePitch( int width ) override {
        widths.push_back( width );
        return HeadlessBackend::GetSurfacePitch( width );
    }
    std::vector<int> widths;
};

struct Screen {
    Screen() { backend.widths.clear(); }
    RecordingBackend backend;
    TestScreen screen{ &backend, 3 };
    Display &display = screen.display;
};

uint8_t Pattern( int x, int y ) {
    return uint8_t( ( x * 7 + y * 13 + ( x * y ) % 31 ) % 256 );
}

uint8_t TileByte( const LandTile *tile, int x, int y ) {
    const HostSurface *surface = tile->GetSurface();
    return surface->GetPixels()[y * surface->GetPitch() + x];
}

void ExpectTileSize( const Land &land, int column, int row, int width, int height ) {
    const LandTile *tile = land.GetTile( column, row );
    ASSERT_NE( nullptr, tile ) << column << "," << row;
    ASSERT_NE( nullptr, tile->GetSurface() );
    EXPECT_EQ( width, tile->GetWidth() ) << column << "," << row;
    EXPECT_EQ( height, tile->GetHeight() ) << column << "," << row;
}

} // namespace

TEST( LandGrid, WholeNumberOfTilesMakesTwoByTwoFullTiles ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1280, 960 ) );
    EXPECT_EQ( 2, land.GetColumns() );
    EXPECT_EQ( 2, land.GetRows() );
    EXPECT_EQ( 0, land.GetLastColumnWidth() );
    EXPECT_EQ( 0, land.GetLastRowHeight() );
    EXPECT_EQ( 640, land.GetTileWidth() );
    for ( int row = 0; row < 2; row++ ) {
        for ( int column = 0; column < 2; column++ ) {
            ExpectTileSize( land, column, row, 640, 480 );
        }
    }
    EXPECT_EQ( 1279, land.GetBounds().right );
}

TEST( LandGrid, PartialColumnAndRowAreMadeAfterTheFullTiles ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1300, 1000 ) );
    EXPECT_EQ( 3, land.GetColumns() );
    EXPECT_EQ( 3, land.GetRows() );
    EXPECT_EQ( 20, land.GetLastColumnWidth() );
    EXPECT_EQ( 40, land.GetLastRowHeight() );
    ExpectTileSize( land, 1, 1, 640, 480 );
    ExpectTileSize( land, 2, 0, 20, 480 );
    ExpectTileSize( land, 2, 1, 20, 480 );
    ExpectTileSize( land, 0, 2, 640, 40 );
    ExpectTileSize( land, 1, 2, 640, 40 );
    ExpectTileSize( land, 2, 2, 20, 40 );
    EXPECT_EQ( 640, land.GetTileWidthAt( 1 ) );
    EXPECT_EQ( 20, land.GetTileWidthAt( 2 ) );
    EXPECT_EQ( 480, land.GetTileHeightAt( 1 ) );
    EXPECT_EQ( 40, land.GetTileHeightAt( 2 ) );
    // (0,0) (1,0) (0,1) (1,1), then (2,0) (2,1), then (0,2) (1,2), then (2,2).
    const std::vector<int> order = { 640, 640, 640, 640, 20, 20, 640, 640, 20 };
    EXPECT_EQ( order, screen.backend.widths );
}

TEST( LandGrid, LandSmallerThanATileIsOneCornerTile ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 600, 400 ) );
    EXPECT_EQ( 1, land.GetColumns() );
    EXPECT_EQ( 1, land.GetRows() );
    ExpectTileSize( land, 0, 0, 600, 400 );
    EXPECT_EQ( 1u, screen.backend.widths.size() );
}

TEST( LandGrid, SecondCreateIsRefusedAndRecreateReplacesTheGrid ) {
    Screen screen;
    Land land;
    EXPECT_EQ( 0, land.Create( nullptr, 1280, 960 ) );
    EXPECT_EQ( 0, land.Create( &screen.display, 0, 960 ) );
    EXPECT_EQ( 0, land.Create( &screen.display, 1280, -5 ) );
    EXPECT_EQ( 0, land.GetColumns() );
    EXPECT_EQ( nullptr, land.GetTile( 0, 0 ) );

    ASSERT_EQ( 1, land.Create( &screen.display, 1280, 960 ) );
    LandTile *first = land.GetTile( 0, 0 );
    EXPECT_EQ( 0, land.Create( &screen.display, 640, 480 ) );
    EXPECT_EQ( first, land.GetTile( 0, 0 ) );
    EXPECT_EQ( 2, land.GetColumns() );

    ASSERT_EQ( 1, land.Recreate( 700, 480 ) );
    EXPECT_EQ( 2, land.GetColumns() );
    EXPECT_EQ( 1, land.GetRows() );
    ExpectTileSize( land, 1, 0, 60, 480 );
}

TEST( LandGrid, TilesOutsideTheGridAreNull ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1300, 1000 ) );
    EXPECT_EQ( nullptr, land.GetTile( -1, 0 ) );
    EXPECT_EQ( nullptr, land.GetTile( 0, -1 ) );
    EXPECT_EQ( nullptr, land.GetTile( land.GetColumns(), 0 ) );
    EXPECT_EQ( nullptr, land.GetTile( 0, land.GetRows() ) );
    EXPECT_NE( nullptr, land.GetTile( 2, 2 ) );
}

TEST( LandLoading, PictureOfAnotherSizeRebuildsTheGridAndEveryPixelFindsItsTile ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1280, 960 ) );
    PutMemoryFile( "land.bmp", MakeBmp( 1300, 1000, Pattern ) );
    ASSERT_EQ( 1, land.Load( "land.bmp" ) );
    ASSERT_EQ( 3, land.GetColumns() );
    ASSERT_EQ( 3, land.GetRows() );
    EXPECT_EQ( 1300, land.GetWidth() );
    for ( int y = 0; y < 1000; y++ ) {
        for ( int x = 0; x < 1300; x++ ) {
            const LandTile *tile = land.GetTile( x / 640, y / 480 );
            ASSERT_EQ( Pattern( x, y ), TileByte( tile, x % 640, y % 480 ) ) << x << "," << y;
        }
    }
}

TEST( LandLoading, MissingFileChangesNoTile ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1280, 960 ) );
    PutMemoryFile( "land.bmp", MakeBmp( 1280, 960, Pattern ) );
    ASSERT_EQ( 1, land.Load( "land.bmp" ) );
    LandTile *corner = land.GetTile( 1, 1 );
    EXPECT_EQ( 0, land.Load( "nowhere.bmp" ) );
    EXPECT_EQ( corner, land.GetTile( 1, 1 ) );
    EXPECT_EQ( 2, land.GetColumns() );
    EXPECT_EQ( Pattern( 1279, 959 ), TileByte( corner, 639, 479 ) );
    EXPECT_EQ( Pattern( 700, 500 ), TileByte( corner, 60, 20 ) );
}

TEST( LandLoading, LostTileIsSkippedWithoutHanging ) {
    Screen screen;
    Land land;
    ASSERT_EQ( 1, land.Create( &screen.display, 1280, 960 ) );
    LandTile *lost = land.GetTile( 1, 0 );
    lost->GetSurface()->InjectLoss();
    Image &nothing = lost->Lock();
    EXPECT_EQ( nullptr, nothing.GetPixels() );
    nothing.FillEllipse( 100, 100, 50, 30, 0 );
    lost->Unlock();

    PutMemoryFile( "land.bmp", MakeBmp( 1280, 960, Pattern ) );
    EXPECT_EQ( 1, land.Load( "land.bmp" ) );
    EXPECT_EQ( Pattern( 5, 900 ), TileByte( land.GetTile( 0, 1 ), 5, 420 ) );
    EXPECT_FALSE( lost->GetSurface()->IsLocked() );
}
