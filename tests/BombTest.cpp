#include "game/Bomb.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/HostSurface.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const uint8_t GROUND = 3;
const uint8_t BOMB_COLOUR = 9;

// A 4 x 4 bomb: the hit is tested at its top-left corner plus (2, 2).
class BombFixture : public ::testing::Test {
protected:
    BombFixture() {
        Image picture( 4, 4 );
        picture.Clear( BOMB_COLOUR );
        sprite.Build( picture, picture.GetBounds(), 0 );
    }

    // The game's 1280 x 960 land: 2 x 2 tiles of 640 x 480. Empty above row `groundTop`,
    // solid from there down.
    void LoadLand( int groundTop ) {
        ASSERT_EQ( scene.LoadFlat( 1280, 960, groundTop, GROUND ), 1 );
        ASSERT_EQ( scene.world.GetLand()->GetColumns(), 2 );
        ASSERT_EQ( scene.world.GetLand()->GetRows(), 2 );
    }

    std::vector<uint8_t> LandPixels() {
        const Image &land = *scene.world.GetLandImage();
        std::vector<uint8_t> copy;
        for ( int y = 0; y < land.GetHeight(); y++ ) {
            const uint8_t *row = land.GetPixels() + y * land.GetPitch();
            copy.insert( copy.end(), row, row + land.GetWidth() );
        }
        return copy;
    }

    uint8_t LandAt( int x, int y ) {
        const Image &land = *scene.world.GetLandImage();
        return land.GetPixels()[y * land.GetPitch() + x];
    }

    LandScene scene;
    Sprite sprite;
};

} // namespace

TEST_F( BombFixture, PowerZeroFallsStraightDownFromItsLaunchPoint ) {
    LoadLand( 960 );
    Bomb bomb( 200, 100, 30, 0, &sprite, &scene.world );
    bomb.Update();
    EXPECT_EQ( bomb.GetX(), 200 );
    EXPECT_EQ( bomb.GetY(), 100 );
    int lastY = 100;
    for ( int i = 2; i <= 41; i++ ) {
        bomb.Update();
        ASSERT_EQ( bomb.GetX(), 200 );
        ASSERT_GE( bomb.GetY(), lastY );
        lastY = bomb.GetY();
    }
    // 40 steps of 0.025 are one time unit: 50 pixels below the start (49 if the float clock
    // lands a hair short of 1).
    EXPECT_GE( bomb.GetY(), 149 );
    EXPECT_LE( bomb.GetY(), 150 );
}

TEST_F( BombFixture, FollowsTheClosedFormTruncatingTowardZero ) {
    LoadLand( 960 );
    // Angle 0, power 256: 65536 / 256 = 256 pixels per time unit to the right.
    Bomb level( 100, 300, 0, 256, &sprite, &scene.world );
    struct Expected {
        int update;
        int x, y;
    } expected[] = {
        { 1, 100, 300 },            // t = 0: at the launch point
        { 5, 100 + 25, 300 },       // t = 0.1: 25.6 across; the drop of 0.5 is no pixel yet
        { 13, 100 + 76, 300 + 4 },  // t = 0.3: 76.8 across, 4.5 down gives 4, not 5
        { 23, 100 + 140, 300 + 15 } // t = 0.55: 140.8 across, 15.125 down
    };
    int update = 0;
    for ( const Expected &e : expected ) {
        while ( update < e.update ) {
            level.Update();
            update++;
        }
        EXPECT_EQ( level.GetX(), e.x ) << "update " << e.update;
        EXPECT_EQ( level.GetY(), e.y ) << "update " << e.update;
    }
    EXPECT_NEAR( level.GetFlightTime(), 23 * 0.025, 1e-5 );

    // Angle 60, power 100 (Cosine 128, Sine 221) at t = 0.55: 27.5 across and
    // 47.48 - 15.125 = 32.35 up.
    Bomb lob( 400, 600, 60, 100, &sprite, &scene.world );
    for ( int i = 0; i < 23; i++ ) {
        lob.Update();
    }
    EXPECT_EQ( lob.GetX(), 400 + 27 );
    EXPECT_EQ( lob.GetY(), 600 - 32 );
}

TEST_F( BombFixture, ExplodesAtItsLaunchPointOnSolidLandAndStaysThere ) {
    LoadLand( 0 );
    Bomb bomb( 300, 200, 45, 300, &sprite, &scene.world );
    bomb.Update();
    EXPECT_EQ( bomb.GetState(), Bomb::Exploded );
    EXPECT_EQ( bomb.GetX(), 300 );
    EXPECT_EQ( bomb.GetY(), 200 );
    // Centred on the top-left corner, 50 across and 30 down each way.
    EXPECT_EQ( LandAt( 300, 200 ), 0 );
    EXPECT_EQ( LandAt( 300 - 49, 200 ), 0 );
    EXPECT_EQ( LandAt( 300 + 49, 200 ), 0 );
    EXPECT_EQ( LandAt( 300, 200 - 29 ), 0 );
    EXPECT_EQ( LandAt( 300, 200 + 29 ), 0 );
    EXPECT_EQ( LandAt( 300 - 52, 200 ), GROUND );
    EXPECT_EQ( LandAt( 300, 200 + 32 ), GROUND );
    EXPECT_EQ( LandAt( 300 + 40, 200 + 25 ), GROUND ); // outside the ellipse, inside its box

    // An exploded bomb is done: no more moves, no second crater, but it is still drawn.
    std::vector<uint8_t> after = LandPixels();
    for ( int i = 0; i < 10; i++ ) {
        bomb.Update();
    }
    EXPECT_EQ( bomb.GetX(), 300 );
    EXPECT_EQ( LandPixels(), after );
    Image screen( 640, 480 );
    screen.Clear( 0 );
    bomb.Draw( screen );
    EXPECT_EQ( screen.GetPixels()[201 * screen.GetPitch() + 301], BOMB_COLOUR );
}

TEST_F( BombFixture, TheHitIsTestedUnderTheMiddleOfThePictureNotItsCorner ) {
    LoadLand( 500 );
    // The corner is over empty sky, the middle (302, 500) on the ground's top row.
    Bomb landing( 300, 498, 0, 0, &sprite, &scene.world );
    landing.Update();
    EXPECT_EQ( landing.GetState(), Bomb::Exploded );

    // The corner in the ground, the middle in a pocket of air: it falls on until the
    // middle leaves the pocket (a whole pixel of drop takes seven updates).
    scene.world.GetLandImage()->PutPixel( 802, 602, 0 );
    Bomb sinking( 800, 600, 0, 0, &sprite, &scene.world );
    sinking.Update();
    EXPECT_EQ( sinking.GetState(), Bomb::Flying );
    for ( int i = 0; i < 6 && sinking.GetState() == Bomb::Flying; i++ ) {
        sinking.Update();
    }
    EXPECT_EQ( sinking.GetState(), Bomb::Exploded );
    EXPECT_EQ( sinking.GetY(), 601 );
}

TEST_F( BombFixture, ACraterAcrossTheTileCornerIsTheSameInEveryTileAndTheLandPicture ) {
    LoadLand( 0 );
    Bomb bomb( 640, 480, 0, 0, &sprite, &scene.world );
    bomb.Update();
    ASSERT_EQ( bomb.GetState(), Bomb::Exploded );
    const Image &land = *scene.world.GetLandImage();
    Land &tiles = *scene.world.GetLand();
    int craterPixels = 0;
    for ( int row = 0; row < 2; row++ ) {
        for ( int column = 0; column < 2; column++ ) {
            LandTile *tile = tiles.GetTile( column, row );
            Image &image = tile->Lock();
            ASSERT_NE( image.GetPixels(), nullptr );
            int mismatches = 0;
            for ( int y = 0; y < 480; y++ ) {
                for ( int x = 0; x < 640; x++ ) {
                    const uint8_t shown = image.GetPixels()[y * image.GetPitch() + x];
                    const uint8_t kept =
                        land.GetPixels()[( row * 480 + y ) * land.GetPitch() + column * 640 + x];
                    mismatches += shown != kept ? 1 : 0;
                    craterPixels += shown == 0 ? 1 : 0;
                }
            }
            tile->Unlock();
            EXPECT_EQ( mismatches, 0 ) << "tile " << column << ", " << row;
        }
    }
    // Each quarter of the ellipse went into its own tile, the seams included.
    EXPECT_EQ( LandAt( 639, 479 ), 0 );
    EXPECT_EQ( LandAt( 640, 479 ), 0 );
    EXPECT_EQ( LandAt( 639, 480 ), 0 );
    EXPECT_EQ( LandAt( 640, 480 ), 0 );
    // Roughly pi * 50 * 30.
    EXPECT_GT( craterPixels, 4400 );
    EXPECT_LT( craterPixels, 5100 );
}

TEST_F( BombFixture, ALostTileTakesNoCraterButTheLandPictureDoes ) {
    LoadLand( 0 );
    LandTile *lost = scene.world.GetLand()->GetTile( 1, 1 );
    lost->GetSurface()->InjectLoss();
    Bomb bomb( 640, 480, 0, 0, &sprite, &scene.world );
    bomb.Update();
    EXPECT_EQ( bomb.GetState(), Bomb::Exploded );
    EXPECT_EQ( LandAt( 660, 490 ), 0 );
    Image &image = scene.world.GetLand()->GetTile( 0, 0 )->Lock();
    EXPECT_EQ( image.GetPixels()[479 * image.GetPitch() + 639], 0 );
    scene.world.GetLand()->GetTile( 0, 0 )->Unlock();
}

TEST_F( BombFixture, LeavingBySideOrBottomTakesTheBombOutOfPlayWithoutACrater ) {
    LoadLand( 900 );
    const std::vector<uint8_t> before = LandPixels();
    Bomb left( 20, 400, 180, 500, &sprite, &scene.world );  // 12.5 pixels per update leftwards
    Bomb right( 1250, 400, 0, 500, &sprite, &scene.world ); // and rightwards
    for ( int i = 0; i < 10; i++ ) {
        left.Update();
        right.Update();
    }
    EXPECT_EQ( left.GetState(), Bomb::Gone );
    EXPECT_EQ( right.GetState(), Bomb::Gone );

    // Straight down a shaft cut through the ground, out at the bottom.
    scene.world.GetLandImage()->FillRect( 590, 900, 610, 959, 0 );
    const std::vector<uint8_t> withShaft = LandPixels();
    Bomb down( 598, 700, 0, 0, &sprite, &scene.world );
    for ( int i = 0; i < 400 && down.GetState() == Bomb::Flying; i++ ) {
        down.Update();
    }
    EXPECT_EQ( down.GetState(), Bomb::Gone );
    EXPECT_EQ( LandPixels(), withShaft );
    EXPECT_NE( before, withShaft );

    // Gone is final and draws nothing.
    const int x = down.GetX();
    down.Update();
    EXPECT_EQ( down.GetX(), x );
    Image screen( 2000, 2000 );
    screen.Clear( 0 );
    down.Draw( screen );
    left.Draw( screen );
    for ( int y = 0; y < 2000; y++ ) {
        for ( int x = 0; x < 2000; x++ ) {
            ASSERT_EQ( screen.GetPixels()[y * screen.GetPitch() + x], 0 );
        }
    }
}

TEST_F( BombFixture, AboveTheTopItFliesOnAndComesBackDown ) {
    LoadLand( 900 );
    // Straight up at power 300: 300 t - 50 t^2 peaks 450 pixels up at t = 3.
    Bomb bomb( 600, 100, 90, 300, &sprite, &scene.world );
    int highest = 100;
    int updates = 0;
    while ( bomb.GetState() == Bomb::Flying && updates < 1000 ) {
        bomb.Update();
        highest = std::min( highest, bomb.GetY() );
        updates++;
    }
    EXPECT_LE( highest, 100 - 449 ); // 449 or 450, as the float clock falls about t = 3
    EXPECT_GE( highest, 100 - 450 );
    EXPECT_EQ( bomb.GetState(), Bomb::Exploded );
    EXPECT_EQ( bomb.GetX(), 600 );
    EXPECT_GE( bomb.GetY() + 2, 900 );
    EXPECT_EQ( LandAt( 600, 905 ), 0 );
}
