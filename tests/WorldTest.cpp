#include "game/World.h"

#include "game/Entity.h"
#include "game/EntityList.h"
#include "gfx/Image.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// A stand-in for a tank or a bomb: it notes its updates and draws in a shared log, and
// draws itself as a 4 x 4 square of its colour where the camera puts it.
class Piece : public Entity {
public:
    Piece( std::string name, std::vector<std::string> *log, int state = 4, World *home = nullptr,
           int landX = 0, int landY = 0, uint8_t colour = 1 )
        : name( std::move( name ) ), log( log ), colour( colour ) {
        x = landX;
        y = landY;
        this->state = state;
        resumeState = 0;
        sprite = nullptr;
        world = home;
    }
    void Draw( Image &target ) override {
        log->push_back( "draw " + name );
        target.FillRect( x - world->GetCameraX(), y - world->GetCameraY(), x - world->GetCameraX() + 3,
                         y - world->GetCameraY() + 3, colour );
    }
    void Update() override {
        log->push_back( "update " + name );
        if ( onUpdate ) {
            onUpdate();
        }
    }
    std::function<void()> onUpdate;
    void MoveTo( int landX, int landY ) {
        x = landX;
        y = landY;
    }

private:
    std::string name;
    std::vector<std::string> *log;
    uint8_t colour;
};

uint32_t Mix( uint32_t value ) {
    value ^= value >> 15;
    value *= 0x2C1B3C6Du;
    value ^= value >> 12;
    return value;
}

// The land: an empty sky over the top 100 rows, and holes (index 0) scattered below.
uint8_t LandColour( int x, int y ) {
    if ( y < 100 ) {
        return 0;
    }
    const uint8_t value = uint8_t( Mix( uint32_t( x ) * 2654435761u ^ uint32_t( y ) * 40503u ) );
    return value % 5 == 0 ? 0 : value;
}

// Hills: sky down to a surface that steps every 64 columns, one pixel higher at each step's
// last column, and solid ground below; whole pieces of sky and of ground, and mixed ones.
uint8_t HillColour( int x, int y ) {
    const int surface = 420 + ( x / 64 % 5 ) * 30 - ( x % 64 == 63 ? 1 : 0 );
    return y < surface ? 0 : uint8_t( 30 + ( x + y ) % 50 );
}

uint8_t BackgroundColour( int x, int y ) {
    return uint8_t( Mix( uint32_t( x ) * 97u + uint32_t( y ) * 2246822519u ) >> 8 );
}

// A 640 x 480 display on the headless backend and a World loaded from pictures of the given
// sizes.
struct Stage {
    Stage( int landWidth = 1280, int landHeight = 960, int backgroundWidth = 960, int backgroundHeight = 720,
           uint8_t ( *landColour )( int x, int y ) = LandColour ) {
        PutMemoryFile( "land.bmp", MakeBmp( landWidth, landHeight, landColour ) );
        PutMemoryFile( "background.bmp", MakeBmp( backgroundWidth, backgroundHeight, BackgroundColour ) );
        world.Load( &display, "land.bmp", "background.bmp" );
    }
    void Frame( int cameraX, int cameraY ) {
        world.SetCameraX( cameraX );
        world.SetCameraY( cameraY );
        world.Draw( display );
        display.GetPrimarySurface()->Flip( nullptr, DDFLIP_WAIT );
    }
    // Screen pixels that differ from the land (`landAt`) over the background seen with the
    // World's camera and parallax.
    int CountWrongPixels( std::function<uint8_t( int, int )> landAt ) const {
        const int bgX = ( world.GetCameraX() * world.GetParallaxX() ) >> 10;
        const int bgY = ( world.GetCameraY() * world.GetParallaxY() ) >> 10;
        int wrong = 0;
        for ( int y = 0; y < 480; y++ ) {
            for ( int x = 0; x < 640; x++ ) {
                uint8_t expected = landAt( world.GetCameraX() + x, world.GetCameraY() + y );
                if ( expected == 0 ) {
                    expected = BackgroundColour( bgX + x, bgY + y );
                }
                wrong += backend.GetFramePixel( x, y ) != expected ? 1 : 0;
            }
        }
        return wrong;
    }
    TestScreen screen{ nullptr, 24 };
    HeadlessBackend &backend = screen.Backend();
    Display &display = screen.display;
    World world;
};

uint8_t LandImagePixel( const World &world, int x, int y ) {
    const Image *land = world.GetLandImage();
    return land->GetPixels()[y * land->GetPitch() + x];
}

} // namespace

TEST( WorldTurns, PassInCreationOrderAndWrapToTheFirst ) {
    std::vector<std::string> log;
    World world;
    Piece a( "a", &log ), b( "b", &log ), c( "c", &log );
    world.AddTank( &a );
    world.AddTank( &b );
    world.AddTank( &c );
    world.SetCurrentTank( &a );
    EXPECT_EQ( 1, a.GetState() );

    world.Update(); // a still holds the turn
    EXPECT_EQ( &a, world.GetCurrentTank() );

    a.SetState( 0 );
    world.Update();
    EXPECT_EQ( &b, world.GetCurrentTank() );
    EXPECT_EQ( &b, world.GetCameraTarget() );
    EXPECT_EQ( 1, b.GetState() );

    b.SetState( 0 );
    world.Update();
    c.SetState( 0 );
    world.Update();
    EXPECT_EQ( &a, world.GetCurrentTank() );
    EXPECT_EQ( &a, world.GetCameraTarget() );
    EXPECT_EQ( 1, a.GetState() );
}

TEST( WorldTurns, SingleTankGetsTheTurnBackAndAFallingTankGetsItAtOnce ) {
    std::vector<std::string> log;
    World world;
    Piece only( "only", &log );
    world.AddTank( &only );
    world.SetCurrentTank( &only );
    only.SetState( 0 );
    world.Update();
    EXPECT_EQ( &only, world.GetCurrentTank() );
    EXPECT_EQ( 1, only.GetState() );

    World pair;
    Piece first( "first", &log ), falling( "falling", &log, 2 );
    pair.AddTank( &first );
    pair.AddTank( &falling );
    pair.SetCurrentTank( &first );
    first.SetState( 0 );
    falling.onUpdate = [&]() { log.push_back( "state " + std::to_string( falling.GetState() ) ); };
    log.clear();
    pair.Update();
    EXPECT_EQ( &falling, pair.GetCurrentTank() );
    EXPECT_EQ( ( std::vector<std::string>{ "update first", "update falling", "state 1" } ), log );
}

TEST( WorldTurns, WithoutACurrentTankNoTurnPassesButEveryoneUpdates ) {
    std::vector<std::string> log;
    World world;
    Piece a( "a", &log, 0 ), bomb( "bomb", &log, 0 );
    world.AddTank( &a );
    world.AddBomb( &bomb );
    world.Update();
    EXPECT_EQ( nullptr, world.GetCurrentTank() );
    EXPECT_EQ( 0, a.GetState() );
    EXPECT_EQ( ( std::vector<std::string>{ "update a", "update bomb" } ), log );
}

TEST( WorldUpdate, TanksThenBombsAndABombFiredNowFliesNow ) {
    std::vector<std::string> log;
    World world;
    Piece a( "a", &log ), b( "b", &log ), oldBomb( "old", &log ), newBomb( "new", &log );
    world.AddTank( &a );
    world.AddTank( &b );
    world.AddBomb( &oldBomb );
    world.AddToList2( &b ); // the spare lists are neither updated nor drawn
    world.AddToList3( &b );
    world.SetCurrentTank( &a );
    a.onUpdate = [&]() { world.AddBomb( &newBomb ); };
    world.Update();
    EXPECT_EQ( ( std::vector<std::string>{ "update a", "update b", "update old", "update new" } ), log );
}

TEST( WorldCamera, IsClampedToTheLandLowerBoundFirst ) {
    Stage stage;
    stage.world.SetCameraX( -220 );
    EXPECT_EQ( 0, stage.world.GetCameraX() );
    stage.world.SetCameraX( 2000 );
    EXPECT_EQ( 640, stage.world.GetCameraX() );
    stage.world.SetCameraY( 2000 );
    EXPECT_EQ( 480, stage.world.GetCameraY() );
    stage.world.SetCameraY( 123 );
    EXPECT_EQ( 123, stage.world.GetCameraY() );

    Stage narrow( 320, 240 );
    narrow.world.SetCameraX( 100 );
    EXPECT_EQ( -320, narrow.world.GetCameraX() );
    narrow.world.SetCameraY( -5 );
    EXPECT_EQ( -240, narrow.world.GetCameraY() );
}

TEST( WorldParallax, FollowsTheBackgroundSizeBetweenScreenAndLand ) {
    Stage half;
    EXPECT_EQ( 512, half.world.GetParallaxX() );
    EXPECT_EQ( 512, half.world.GetParallaxY() );
    EXPECT_EQ( 2, half.world.GetLand()->GetColumns() );

    Stage fixed( 1280, 960, 640, 480 );
    EXPECT_EQ( 0, fixed.world.GetParallaxX() );
    EXPECT_EQ( 0, fixed.world.GetParallaxY() );

    Stage full( 1280, 960, 1280, 960 );
    EXPECT_EQ( 1024, full.world.GetParallaxX() );
    EXPECT_EQ( 1024, full.world.GetParallaxY() );
}

TEST( WorldParallax, LandAsLargeAsTheScreenDoesNotScrollTheBackground ) {
    Stage screenSized( 640, 480 );
    EXPECT_EQ( 0, screenSized.world.GetParallaxX() );
    EXPECT_EQ( 0, screenSized.world.GetParallaxY() );

    Stage tall( 640, 960 );
    EXPECT_EQ( 0, tall.world.GetParallaxX() );
    EXPECT_EQ( 512, tall.world.GetParallaxY() );
}

TEST( WorldDrawing, CameraAtTheOriginShowsTheFirstTileOverTheBackground ) {
    Stage stage;
    stage.Frame( 0, 0 );
    EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) );
}

TEST( WorldDrawing, CameraAcrossFourTilesJoinsThemWithoutSeams ) {
    Stage stage;
    stage.Frame( 300, 200 );
    EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) );
    // Spot checks at the seams: tile (1, 0) begins at screen x 340, tile (0, 1) at y 280.
    EXPECT_NE( 0, LandColour( 640, 480 ) );
    EXPECT_EQ( LandColour( 640, 480 ), stage.backend.GetFramePixel( 340, 280 ) );
    EXPECT_EQ( LandColour( 639, 479 ), stage.backend.GetFramePixel( 339, 279 ) );
}

TEST( WorldDrawing, CameraOnTheSecondRowBlitsItAtTheTop ) {
    Stage stage;
    stage.Frame( 0, 480 );
    EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) );
    stage.Frame( 640, 480 );
    EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) );
}

// The land laid over the background in one pass, at the cameras where the tiles' parts are
// thinnest: one pixel of a tile either side of a seam, and exactly on the seams.
TEST( WorldDrawing, EveryCameraAtTheSeamsShowsLandOverBackground ) {
    Stage stage;
    const int cameras[][2] = { { 1, 1 },   { 639, 479 }, { 640, 480 }, { 641, 481 },
                               { 639, 0 }, { 0, 479 },   { 640, 0 } };
    for ( const auto &camera : cameras ) {
        stage.Frame( camera[0], camera[1] );
        EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) ) << "camera " << camera[0] << ", " << camera[1];
    }
}

// A camera moving over hills, with craters between its frames that dig a piece out whole, dig
// one pixel of it, and fill none: every frame shows the land as it stands over the background,
// whichever pieces were sorted for an older picture.
TEST( WorldDrawing, AMovingCameraShowsEveryCraterOverTheBackground ) {
    Stage stage( 1280, 960, 960, 720, HillColour );
    struct Step {
        const char *what;
        int craterX, craterY, radiusX, radiusY; // no crater when radiusX is 0
        int cameraX, cameraY;
    };
    const Step steps[] = {
        { "across the seams", 0, 0, 0, 0, 300, 200 },
        { "one pixel on", 0, 0, 0, 0, 301, 201 },
        { "a piece of ground dug out whole", 672, 530, 40, 40, 302, 202 },
        { "one pixel of a piece's side", 639, 510, 0, 0, 303, 203 },
        { "a crater at a tile's corner", 640, 480, 9, 9, 304, 204 },
        { "the camera back over sorted pieces", 0, 0, 0, 0, 64, 100 },
        { "a crater out of view, then in view", 1200, 900, 30, 30, 640, 480 },
    };
    for ( const Step &step : steps ) {
        if ( step.radiusX > 0 || step.craterX > 0 ) {
            stage.world.Carve( step.craterX, step.craterY, step.radiusX, step.radiusY );
        }
        stage.Frame( step.cameraX, step.cameraY );
        EXPECT_EQ(
            0, stage.CountWrongPixels( [&]( int x, int y ) { return LandImagePixel( stage.world, x, y ); } ) )
            << step.what;
    }
}

// A background one pixel narrower than the screen leaves its last column as the back buffer
// held it wherever the land is open, as the designed two passes do.
TEST( WorldDrawing, BackgroundShortOfTheScreenLeavesTheRestAsItWas ) {
    Stage stage( 1280, 960, 639, 720 );
    Image &back = stage.display.LockBackBuffer();
    back.Clear( 0xEE );
    stage.display.UnlockBackBuffer();
    stage.world.SetCameraX( 0 );
    stage.world.SetCameraY( 0 );
    stage.world.Draw( stage.display );
    const HostSurface *surface = stage.display.GetBackSurface();
    const uint8_t *row = surface->GetPixels() + 50 * surface->GetPitch(); // in the sky
    EXPECT_EQ( BackgroundColour( 638, 50 ), row[638] );
    EXPECT_EQ( 0xEE, row[639] );
}

TEST( WorldDrawing, PartialTilesOfAnOddSizedLandAreJoinedToo ) {
    Stage stage( 1300, 1000, 1000, 800 );
    ASSERT_EQ( 3, stage.world.GetLand()->GetColumns() );
    stage.Frame( 660, 520 ); // the far right and bottom edges: tiles (1..2, 1..2)
    EXPECT_EQ( 0, stage.CountWrongPixels( LandColour ) );
}

TEST( WorldDrawing, TanksThenBombsAreDrawnOverTheLand ) {
    Stage stage;
    std::vector<std::string> log;
    Piece tank( "tank", &log, 1, &stage.world, 400, 300, 11 );
    Piece bomb( "bomb", &log, 0, &stage.world, 402, 302, 22 );
    stage.world.AddTank( &tank );
    stage.world.AddBomb( &bomb );
    stage.Frame( 300, 200 );
    EXPECT_EQ( 11, stage.backend.GetFramePixel( 100, 100 ) );
    EXPECT_EQ( 22, stage.backend.GetFramePixel( 102, 102 ) );
    EXPECT_EQ( 22, stage.backend.GetFramePixel( 103, 103 ) );
    EXPECT_EQ( ( std::vector<std::string>{ "draw tank", "draw bomb" } ), log );
}

TEST( WorldDrawing, LostTileIsRestoredWithTheCurrentLandCraterIncluded ) {
    Stage stage;
    stage.Frame( 0, 0 );
    LandTile *tile = stage.world.GetLand()->GetTile( 0, 0 );
    tile->GetSurface()->InjectLoss();

    // A bomb lands while the tile is lost: the land picture takes the crater, the tile cannot.
    stage.world.GetLandImage()->FillEllipse( 200, 300, 50, 30, 0 );
    Image &lost = tile->Lock();
    EXPECT_EQ( nullptr, lost.GetPixels() );
    lost.FillEllipse( 200, 300, 50, 30, 0 );
    tile->Unlock();

    stage.Frame( 0, 0 );
    EXPECT_EQ( 1, tile->GetSurface()->GetRestoreCount() );
    EXPECT_EQ(
        0, stage.CountWrongPixels( [&]( int x, int y ) { return LandImagePixel( stage.world, x, y ); } ) );
    // The crater shows the background where the land used to be.
    EXPECT_NE( 0, LandColour( 200, 300 ) );
    EXPECT_EQ( BackgroundColour( 200, 300 ), stage.backend.GetFramePixel( 200, 300 ) );
}

TEST( WorldDrawing, TileThatCannotBeRestoredLeavesTheBackgroundAndDoesNotHang ) {
    Stage stage;
    LandTile *tile = stage.world.GetLand()->GetTile( 0, 0 );
    tile->GetSurface()->InjectLoss();
    tile->GetSurface()->InjectRestoreFailures( 1000 );
    stage.Frame( 0, 0 );
    EXPECT_EQ( 0, stage.CountWrongPixels( []( int, int ) { return uint8_t( 0 ); } ) );
    stage.Frame( 0, 0 );
    EXPECT_EQ( 2, tile->GetSurface()->GetRestoreCount() );
}

// A camera standing still over unchanged land shows the picture kept from the frames before.
// Each frame marks the background's pixel under the screen's top-left corner (sky) with a
// colour of its own, so the frame shows whose picture it is: a fresh frame its own mark, a
// kept one the mark of the frame it was kept from. Every change to the view or the land must
// bring a fresh frame; every frame, kept or fresh, must be right but for that one mark.
TEST( WorldDrawing, AStillCameraKeepsItsPictureUntilTheViewOrTheLandChanges ) {
    Stage stage;
    std::vector<std::string> log;
    Piece tank( "tank", &log, 1, &stage.world, 400, 100, 11 );
    stage.world.AddTank( &tank );
    const auto landAt = [&]( int x, int y ) {
        // The tank's square counts as land, so that only a stale square is wrong.
        if ( x >= tank.GetX() && x < tank.GetX() + 4 && y >= tank.GetY() && y < tank.GetY() + 4 ) {
            return uint8_t( 11 );
        }
        return LandImagePixel( stage.world, x, y );
    };
    struct Step {
        const char *what;
        std::function<void()> change;
        int cameraX;
        int cameraY;
        int shows; // the step whose picture the frame shows: its own when fresh
    };
    const Step steps[] = {
        { "first frame", [] {}, 300, 50, 0 },
        { "second still frame is kept", [] {}, 300, 50, 1 },
        { "third still frame shows it", [] {}, 300, 50, 1 },
        { "the tank moves over it", [&] { tank.MoveTo( 420, 110 ); }, 300, 50, 1 },
        { "a crater", [&] { stage.world.Carve( 330, 150, 20, 10 ); }, 300, 50, 4 },
        { "still again", [] {}, 300, 50, 5 },
        { "and shown", [] {}, 300, 50, 5 },
        { "one pixel right", [] {}, 301, 50, 7 },
        { "back where it was kept", [] {}, 300, 50, 5 },
        { "one pixel down", [] {}, 300, 51, 9 },
        { "still", [] {}, 300, 51, 10 },
        { "shown", [] {}, 300, 51, 10 },
        { "a tile locked and drawn on",
          [&] {
              LandTile *tile = stage.world.GetLand()->GetTile( 0, 0 );
              tile->Lock().FillRect( 400, 300, 409, 309, 0 );
              tile->Unlock();
              stage.world.GetLandImage()->FillRect( 400, 300, 409, 309, 0 );
          },
          300, 51, 12 },
        { "a tile lost", [&] { stage.world.GetLand()->GetTile( 1, 1 )->GetSurface()->InjectLoss(); }, 300, 51,
          13 },
        { "still after the loss", [] {}, 300, 51, 14 },
        { "kept after the loss", [] {}, 300, 51, 15 },
        { "shown after the loss", [] {}, 300, 51, 15 },
    };
    Image &background = *stage.world.GetBackground();
    for ( int i = 0; i < int( sizeof steps / sizeof steps[0] ); i++ ) {
        const Step &step = steps[i];
        step.change();
        const int bgX = ( step.cameraX * stage.world.GetParallaxX() ) >> 10;
        const int bgY = ( step.cameraY * stage.world.GetParallaxY() ) >> 10;
        uint8_t &corner = background.GetPixels()[bgY * background.GetPitch() + bgX];
        const uint8_t original = corner;
        corner = uint8_t( original + 1 + i );
        stage.Frame( step.cameraX, step.cameraY );
        corner = original;
        EXPECT_EQ( uint8_t( original + 1 + step.shows ), stage.backend.GetFramePixel( 0, 0 ) ) << step.what;
        EXPECT_EQ( 1, stage.CountWrongPixels( landAt ) ) << step.what;
    }
}
