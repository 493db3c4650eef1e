#include "host/HostPalette.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

namespace {

class DisplayPalette : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE( display.GetPrimarySurface(), nullptr ); }

    // Shows the back buffer, as the frame loop's flip does.
    void Flip() { ASSERT_EQ( display.GetPrimarySurface()->Flip( nullptr, DDFLIP_WAIT ), HOST_OK ); }

    TestScreen screen;
    Display &display = screen.display;
};

std::vector<uint8_t> BackgroundWithColours( uint32_t count ) {
    BmpPicture picture;
    picture.width = 4;
    picture.height = 2;
    picture.clrUsed = count;
    for ( uint32_t i = 0; i < count; i++ ) {
        picture.palette.push_back(
            HostPaletteEntry{ uint8_t( 100 + i ), uint8_t( i ), uint8_t( 200 - i ), 0 } );
    }
    picture.palette[5] = HostPaletteEntry{ 30, 20, 10, 0 }; // stored blue 10, green 20, red 30
    return MakeBmp( picture );
}

} // namespace

TEST_F( DisplayPalette, TheBackgroundColourTableReachesTheScreen ) {
    PutMemoryFile( "background.bmp", BackgroundWithColours( 16 ) );
    EXPECT_EQ( display.LoadPalette( "background.bmp" ), 1 );
    display.ApplyPalette();
    Flip();
    const HostPaletteEntry *shown = screen.Backend().GetFramePalette();
    EXPECT_EQ( shown[5].red, 30 );
    EXPECT_EQ( shown[5].green, 20 );
    EXPECT_EQ( shown[5].blue, 10 );
    EXPECT_EQ( shown[15].red, 115 );
    EXPECT_EQ( shown[15].blue, 185 );
    // All 256 colours are installed; those beyond the file's table are black.
    EXPECT_EQ( shown[16].red, 0 );
    EXPECT_EQ( shown[255].green, 0 );
    EXPECT_EQ( display.GetPalette()->GetTable()[5].red, 30 );
}

TEST_F( DisplayPalette, AnUnreadableFileLeavesTheColoursAsTheyWere ) {
    PutMemoryFile( "background.bmp", BackgroundWithColours( 256 ) );
    ASSERT_EQ( display.LoadPalette( "background.bmp" ), 1 );
    std::vector<uint8_t> broken = BackgroundWithColours( 256 );
    broken.resize( 200 ); // the colour table is cut short
    PutMemoryFile( "broken.bmp", broken );
    EXPECT_EQ( display.LoadPalette( "broken.bmp" ), 0 );
    EXPECT_EQ( display.LoadPalette( "missing.bmp" ), 0 );
    display.ApplyPalette();
    Flip();
    const HostPaletteEntry *shown = screen.Backend().GetFramePalette();
    EXPECT_EQ( shown[5].red, 30 );
    EXPECT_EQ( shown[200].red, 44 ); // 100 + 200, kept in a byte
    EXPECT_EQ( shown[200].blue, 0 );
}

TEST( DisplayPaletteWithoutInit, ApplyingBeforeTheDisplayExistsDoesNothing ) {
    HeadlessScope scope;
    Display display;
    PutMemoryFile( "background.bmp", BackgroundWithColours( 16 ) );
    EXPECT_EQ( display.LoadPalette( "background.bmp" ), 1 );
    EXPECT_EQ( display.GetPaletteEntries()[5].red, 30 );
    display.ApplyPalette();
    EXPECT_EQ( display.GetPalette(), nullptr );
}
