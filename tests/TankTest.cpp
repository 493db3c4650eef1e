#include "game/Tank.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "platform/Keyboard.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

namespace {

const int LAND_WIDTH = 200;
const int LAND_HEIGHT = 100;
const uint8_t GROUND = 3;

// The test tank is 20 x 10: the probe point is 10 columns right of x and 10 rows below y,
// and the slope fitting looks 10 columns either way. Its top half is colour 5, its bottom
// half colour 6, so that a picture turned upside down can be told from a mirrored one.
const int TANK_W = 20;
const int TANK_H = 10;

Image *NewLand() {
    Image *land = new Image( LAND_WIDTH, LAND_HEIGHT );
    land->Clear( 0 );
    return land;
}

// Ground whose top row at column c is `top( c )`, down to the bottom.
void FillGround( Image &land, int ( *top )( int column ) ) {
    for ( int column = 0; column < land.GetWidth(); column++ ) {
        int row = top( column );
        if ( row < LAND_HEIGHT ) {
            land.FillRect( column, row < 0 ? 0 : row, column, LAND_HEIGHT - 1, GROUND );
        }
    }
}

int Flat60( int ) {
    return 60;
}
int RisingRight( int column ) {
    return 95 - column / 2;
} // climbs one row every two columns
int FallingRight( int column ) {
    return 20 + column / 2;
} // drops one row every two columns

// The leftmost and rightmost columns showing the barrel's colour.
std::pair<int, int> BarrelColumns( const Image &screen ) {
    std::pair<int, int> columns( screen.GetWidth(), -1 );
    for ( int y = 0; y < screen.GetHeight(); y++ ) {
        for ( int x = 0; x < screen.GetWidth(); x++ ) {
            if ( screen.GetPixels()[y * screen.GetPitch() + x] == Tank::BARREL_COLOUR ) {
                columns.first = std::min( columns.first, x );
                columns.second = std::max( columns.second, x );
            }
        }
    }
    return columns;
}

class TankFixture : public ::testing::Test {
protected:
    TankFixture() {
        Image picture( TANK_W, TANK_H );
        picture.FillRect( 0, 0, TANK_W - 1, TANK_H / 2 - 1, 5 );
        picture.FillRect( 0, TANK_H / 2, TANK_W - 1, TANK_H - 1, 6 );
        hull.Build( picture, picture.GetBounds(), 0 );
        if ( g_bombSprite.GetWidth() == 0 ) {
            Image bomb( 4, 4 );
            bomb.Clear( 9 );
            g_bombSprite.Build( bomb, bomb.GetBounds(), 0 );
        }
        g_keyState = keys;
    }

    ~TankFixture() override {
        g_keyState = nullptr;
        scene.world.GetBombs()->DeleteEntities();
    }

    void Load( Image *land ) {
        std::unique_ptr<Image> owned( land );
        ASSERT_EQ( scene.Load( *land ), 1 );
    }

    // Flat ground from row 60 down: the probe point of a tank at y = 50 stands on it.
    void LoadFlat() { ASSERT_EQ( scene.LoadFlat( LAND_WIDTH, LAND_HEIGHT, 60, GROUND ), 1 ); }

    Image &LandPicture() { return *scene.world.GetLandImage(); }

    Tank &MakeTank( int x, int y ) {
        tanks.push_back( std::make_unique<Tank>( x, y, &hull, &scene.world ) );
        return *tanks.back();
    }

    // Drops a new tank from the top edge until it stands; returns the updates it took.
    Tank &Drop( int x, int *updates = nullptr ) {
        Tank &tank = MakeTank( x, 0 );
        int count = 0;
        while ( tank.GetState() == Tank::Falling && count < 1000 ) {
            tank.Update();
            count++;
        }
        if ( updates != nullptr ) {
            *updates = count;
        }
        return tank;
    }

    void LandOnSlope( int ( *ground )( int ), Tank *&facingRight, Tank *&facingLeft );

    void Hold( int code ) { keys[code] = 0x80; }
    void Release( int code ) { keys[code] = 0; }
    void ReleaseAll() { std::fill( keys, keys + 256, 0 ); }

    void Run( Tank &tank, int updates ) {
        for ( int i = 0; i < updates; i++ ) {
            tank.Update();
        }
    }

    LandScene scene;
    Sprite hull;
    uint8_t keys[256] = {};
    std::vector<std::unique_ptr<Tank>> tanks;
};

} // namespace

TEST_F( TankFixture, FallsOnePixelPerUpdateAndLandsTiltedToTheSlope ) {
    Image *land = NewLand();
    FillGround( *land, RisingRight );
    Load( land );
    Tank &tank = MakeTank( 50, 0 );
    // The probe column 60 has its surface at row 65, so the tank stands at y = 55.
    for ( int i = 1; i <= 55; i++ ) {
        tank.Update();
        ASSERT_EQ( tank.GetY(), i );
        ASSERT_EQ( tank.GetState(), Tank::Falling );
    }
    tank.Update();
    EXPECT_EQ( tank.GetY(), 55 );
    EXPECT_EQ( tank.GetX(), 50 );
    EXPECT_EQ( tank.GetState(), Tank::Idle );
    // Five rows risen over eleven columns: 256 * 5 / 11 = 116, between tan 24 and tan 25.
    EXPECT_EQ( tank.GetBodyAngle(), 24 );
}

TEST_F( TankFixture, TheFirstTankGivenTheTurnInTheAirDrivesOnceItLands ) {
    LoadFlat();
    Tank &tank = MakeTank( 50, 0 );
    scene.world.AddTank( &tank );
    scene.world.SetCurrentTank( &tank );
    EXPECT_EQ( tank.GetState(), Tank::Active );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Falling );
    EXPECT_EQ( tank.GetResumeState(), Tank::Active );
    Run( tank, 50 );
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetState(), Tank::Falling );
    tank.Update();
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetState(), Tank::Active );

    // 25600 of 65536 per update: the first whole pixel comes on the third update.
    Hold( DIK_RIGHT );
    Run( tank, 2 );
    EXPECT_EQ( tank.GetX(), 50 );
    tank.Update();
    EXPECT_EQ( tank.GetX(), 51 );
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetBodyAngle(), 0 );
}

TEST_F( TankFixture, ClimbsAStepInOneUpdate ) {
    Image *land = NewLand();
    FillGround( *land, Flat60 );
    land->FillRect( 70, 55, LAND_WIDTH - 1, 59, GROUND ); // five rows higher from column 70 on
    Load( land );
    Tank &tank = Drop( 59 ); // probe column 69, the last one before the step
    ASSERT_EQ( tank.GetY(), 50 );
    tank.BeginTurn();
    Hold( DIK_RIGHT );
    Run( tank, 2 );
    EXPECT_EQ( tank.GetY(), 50 );
    tank.Update();
    EXPECT_EQ( tank.GetX(), 60 );
    EXPECT_EQ( tank.GetY(), 45 );
    EXPECT_EQ( tank.GetState(), Tank::Active );
}

TEST_F( TankFixture, DropsDownAStepThroughFallingButFollowsAOnePixelDrop ) {
    Image *land = NewLand();
    FillGround( *land, Flat60 );
    land->FillRect( 70, 60, 89, 64, 0 );              // five rows lower for columns 70..89
    land->FillRect( 130, 60, LAND_WIDTH - 1, 60, 0 ); // one row lower from column 130 on
    Load( land );
    Tank &tank = Drop( 59 );
    tank.BeginTurn();
    Hold( DIK_RIGHT );
    Run( tank, 3 );
    EXPECT_EQ( tank.GetX(), 60 );
    EXPECT_EQ( tank.GetY(), 51 );
    EXPECT_EQ( tank.GetState(), Tank::Falling );
    EXPECT_EQ( tank.GetResumeState(), Tank::Active );
    for ( int y = 52; y <= 55; y++ ) {
        tank.Update();
        EXPECT_EQ( tank.GetY(), y );
    }
    tank.Update();
    EXPECT_EQ( tank.GetY(), 55 );
    EXPECT_EQ( tank.GetState(), Tank::Active );

    Tank &other = Drop( 119 ); // probe column 129, the last one before the small drop
    ASSERT_EQ( other.GetY(), 50 );
    other.BeginTurn();
    Run( other, 3 );
    EXPECT_EQ( other.GetX(), 120 );
    EXPECT_EQ( other.GetY(), 51 );
    EXPECT_EQ( other.GetState(), Tank::Active );
}

// Two tanks, one facing each way, wait on a thin shelf at row 10 above the slope; taking the
// shelf away drops them onto the slope, where they land facing the way they were turned.
void TankFixture::LandOnSlope( int ( *ground )( int ), Tank *&facingRight, Tank *&facingLeft ) {
    Image *land = NewLand();
    FillGround( *land, ground );
    land->FillRect( 0, 10, LAND_WIDTH - 1, 10, GROUND );
    Load( land );
    facingRight = &MakeTank( 50, 0 ); // probe column 60
    facingLeft = &MakeTank( 100, 0 ); // probe column 110
    facingRight->Update();
    facingLeft->Update();
    ASSERT_EQ( facingLeft->GetState(), Tank::Idle );
    Hold( DIK_LEFT );
    facingLeft->Update();
    ReleaseAll();
    ASSERT_EQ( facingLeft->GetBodyAngle(), 180 );
    LandPicture().FillRect( 0, 10, LAND_WIDTH - 1, 10, 0 );
    for ( int i = 0; i < 200; i++ ) {
        facingRight->Update();
        facingLeft->Update();
    }
    ASSERT_EQ( facingRight->GetState(), Tank::Idle );
    ASSERT_EQ( facingLeft->GetState(), Tank::Idle );
}

// Both probe columns are even, so each tank sees the ground climb or drop five rows over
// the eleven columns it traces: 256 * 5 / 11 = 116, between tan 24 (113) and tan 25 (119).
TEST_F( TankFixture, SlopeAngleOnGroundRisingToTheRight ) {
    Tank *right = nullptr;
    Tank *left = nullptr;
    LandOnSlope( RisingRight, right, left );
    EXPECT_EQ( right->GetBodyAngle(), 24 ); // rises ahead: nose up
    EXPECT_EQ( left->GetBodyAngle(), 204 ); // falls ahead: nose down to the left
}

TEST_F( TankFixture, SlopeAngleOnGroundFallingToTheRight ) {
    Tank *right = nullptr;
    Tank *left = nullptr;
    LandOnSlope( FallingRight, right, left );
    EXPECT_EQ( right->GetBodyAngle(), -24 ); // falls ahead: nose down
    EXPECT_EQ( left->GetBodyAngle(), 156 );  // rises ahead: nose up to the left
}

TEST_F( TankFixture, AStepAheadWithinHalfTheWidthTiltsTheTank ) {
    Image *land = NewLand();
    FillGround( *land, Flat60 );
    land->FillRect( 64, 57, LAND_WIDTH - 1, 59, GROUND ); // three rows up, four columns ahead
    Load( land );
    Tank &tank = Drop( 50 );
    EXPECT_EQ( tank.GetY(), 50 );
    // Three rows over eleven columns: 256 * 3 / 11 = 69, between tan 15 and tan 16.
    EXPECT_EQ( tank.GetBodyAngle(), 15 );
}

TEST_F( TankFixture, TheArrowKeysTurnATankFacingAwayBeforeTheyDriveIt ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    tank.BeginTurn();
    Hold( DIK_LEFT );
    tank.Update();
    EXPECT_EQ( tank.GetBodyAngle(), 180 );
    EXPECT_EQ( tank.GetX(), 100 );
    Run( tank, 3 );
    EXPECT_EQ( tank.GetX(), 99 );
    EXPECT_EQ( tank.GetBodyAngle(), 180 );
    ReleaseAll();
    Hold( DIK_RIGHT );
    tank.Update();
    EXPECT_EQ( tank.GetBodyAngle(), 0 );
    EXPECT_EQ( tank.GetX(), 99 );
}

// The one facing rule everybody asks: left strictly between 90 and 270 degrees, so that a
// hull tilted up to straight up or down still counts as facing the way it drove.
TEST( TankFacing, LeftStrictlyBetweenNinetyAndTwoHundredSeventyDegrees ) {
    const struct {
        int bodyAngle;
        int facesLeft;
    } cases[] = { { 0, 0 },   { 15, 0 },  { 89, 0 },  { 90, 0 },  { 91, 1 }, { 180, 1 },
                  { 195, 1 }, { 269, 1 }, { 270, 0 }, { 271, 0 }, { 345, 0 } };
    for ( const auto &c : cases ) {
        EXPECT_EQ( c.facesLeft, Tank::FacesLeftAt( c.bodyAngle ) ) << "hull at " << c.bodyAngle;
    }
}

TEST_F( TankFixture, ATankTurnedByTheArrowsSaysWhichWayItFaces ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    EXPECT_EQ( 0, tank.FacesLeft() );
    tank.BeginTurn();
    Hold( DIK_LEFT );
    tank.Update();
    EXPECT_EQ( 1, tank.FacesLeft() );
    ReleaseAll();
    Hold( DIK_RIGHT );
    tank.Update();
    EXPECT_EQ( 0, tank.FacesLeft() );
}

TEST_F( TankFixture, RightAndLeftTogetherMoveOnceThenOnlyTurn ) {
    LoadFlat();
    Tank &right = Drop( 100 );
    right.BeginTurn();
    Hold( DIK_RIGHT );
    Run( right, 2 ); // 51200 of the next pixel gathered
    ASSERT_EQ( right.GetX(), 100 );
    Hold( DIK_LEFT );
    right.Update(); // Right drives into the next pixel, then Left turns the tank round
    EXPECT_EQ( right.GetX(), 101 );
    EXPECT_EQ( right.GetBodyAngle(), 180 );
    Run( right, 100 );
    EXPECT_EQ( right.GetX(), 101 );
    EXPECT_EQ( right.GetBodyAngle(), 180 );

    // Facing left, Right turns it to face right and Left back again: no move at all.
    ReleaseAll();
    Tank &left = Drop( 60 );
    left.BeginTurn();
    Hold( DIK_LEFT );
    left.Update();
    ASSERT_EQ( left.GetBodyAngle(), 180 );
    Hold( DIK_RIGHT );
    Run( left, 100 );
    EXPECT_EQ( left.GetX(), 60 );
    EXPECT_EQ( left.GetBodyAngle(), 180 );
}

TEST_F( TankFixture, UpAndDownTogetherSettleOneBelowTheUpperLimit ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    tank.BeginTurn();
    EXPECT_EQ( tank.GetBarrelAngle(), 30 );
    Hold( DIK_UP );
    Hold( DIK_DOWN );
    Run( tank, 5 );
    EXPECT_EQ( tank.GetBarrelAngle(), 30 );
    Release( DIK_DOWN );
    Run( tank, 40 );
    EXPECT_EQ( tank.GetBarrelAngle(), 45 );
    Hold( DIK_DOWN );
    Run( tank, 3 );
    EXPECT_EQ( tank.GetBarrelAngle(), 44 );
    Release( DIK_UP );
    Run( tank, 100 );
    EXPECT_EQ( tank.GetBarrelAngle(), -15 );
}

TEST_F( TankFixture, IdleTanksTurnWithTheArrowsButNeverMove ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    ASSERT_EQ( tank.GetState(), Tank::Idle );
    Hold( DIK_LEFT );
    Run( tank, 50 );
    EXPECT_EQ( tank.GetBodyAngle(), 180 );
    ReleaseAll();
    Hold( DIK_RIGHT );
    Run( tank, 50 );
    EXPECT_EQ( tank.GetBodyAngle(), 0 );
    Hold( DIK_UP );
    Hold( DIK_SPACE );
    Run( tank, 50 );
    EXPECT_EQ( tank.GetX(), 100 );
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetBarrelAngle(), 30 );
    EXPECT_EQ( tank.GetState(), Tank::Idle );
}

TEST_F( TankFixture, ASingleUpdateOfSpaceFiresAtPowerZeroFromTheTopLeft ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    tank.BeginTurn();
    Hold( DIK_SPACE );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Charging );
    Release( DIK_SPACE );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Firing );
    EXPECT_EQ( tank.GetPower(), 0 );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Idle );

    EntityList *bombs = scene.world.GetBombs();
    ASSERT_EQ( bombs->GetCount(), 1 );
    EntityNode *node = nullptr;
    Bomb *bomb = static_cast<Bomb *>( bombs->First( node ) );
    EXPECT_EQ( bomb->GetX(), 100 );
    EXPECT_EQ( bomb->GetY(), 50 );
    // No speed: it drops straight down and blows up on the ground under the tank.
    for ( int i = 0; i < 200 && bomb->GetState() == Bomb::Flying; i++ ) {
        bomb->Update();
        ASSERT_EQ( bomb->GetX(), 100 );
    }
    EXPECT_EQ( bomb->GetState(), Bomb::Exploded );
}

TEST_F( TankFixture, HoldingSpaceFiresAtFullPowerWithoutARelease ) {
    LoadFlat();
    Tank &tank = Drop( 100 );
    tank.BeginTurn();
    Hold( DIK_SPACE );
    tank.Update(); // starts charging
    Run( tank, Tank::MAX_POWER - 1 );
    EXPECT_EQ( tank.GetState(), Tank::Charging );
    EXPECT_EQ( tank.GetPower(), Tank::MAX_POWER - 1 );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Firing );
    EXPECT_EQ( tank.GetPower(), Tank::MAX_POWER );
    tank.Update();
    EXPECT_EQ( tank.GetState(), Tank::Idle );
    EXPECT_EQ( tank.GetPower(), 0 );
    EXPECT_EQ( scene.world.GetBombs()->GetCount(), 1 );
}

TEST_F( TankFixture, ATankAboveANewCraterFallsAtItsNextUpdate ) {
    LoadFlat();
    Tank &idle = Drop( 40 );
    Tank &active = Drop( 140 );
    active.BeginTurn();
    // Bombs that strike just under each probe point.
    Bomb under( 50 - 2, 62 - 2, 0, 0, &g_bombSprite, &scene.world );
    Bomb underActive( 150 - 2, 62 - 2, 0, 0, &g_bombSprite, &scene.world );
    under.Update();
    underActive.Update();
    ASSERT_EQ( under.GetState(), Bomb::Exploded );
    idle.Update();
    active.Update();
    EXPECT_EQ( idle.GetState(), Tank::Falling );
    EXPECT_EQ( idle.GetResumeState(), Tank::Idle );
    EXPECT_EQ( active.GetState(), Tank::Falling );
    EXPECT_EQ( active.GetResumeState(), Tank::Active );
    EXPECT_EQ( idle.GetY(), 50 ); // the update that finds the hole only changes the state
    idle.Update();
    EXPECT_EQ( idle.GetY(), 51 );
}

TEST_F( TankFixture, ATankDrivenIntoEitherSideOfTheLandStopsThere ) {
    LoadFlat();
    Tank &tank = Drop( 150 );
    tank.BeginTurn();
    Hold( DIK_RIGHT );
    Run( tank, 500 );
    // The rightmost column the slope fitting reads, x + 10 + 10, is the land's last.
    EXPECT_EQ( tank.GetX(), LAND_WIDTH - 1 - TANK_W );
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetState(), Tank::Active );
    ReleaseAll();
    Hold( DIK_LEFT );
    Run( tank, 1000 );
    EXPECT_EQ( tank.GetX(), 0 );
    EXPECT_EQ( tank.GetY(), 50 );
    EXPECT_EQ( tank.GetState(), Tank::Active );

    // A tank placed beyond the edge is brought inside at once.
    EXPECT_EQ( MakeTank( 5000, 0 ).GetX(), LAND_WIDTH - 1 - TANK_W );
    EXPECT_EQ( MakeTank( -30, 0 ).GetX(), 0 );
}

TEST_F( TankFixture, ACraterThroughTheBottomLeavesTheTankOnTheBottomEdge ) {
    Image *land = NewLand();
    land->FillRect( 0, 90, LAND_WIDTH - 1, LAND_HEIGHT - 1, GROUND );
    Load( land );
    Tank &tank = Drop( 100 );
    ASSERT_EQ( tank.GetY(), 80 );
    Bomb bomb( 110 - 2, 95 - 2, 0, 0, &g_bombSprite, &scene.world );
    bomb.Update();
    ASSERT_EQ( bomb.GetState(), Bomb::Exploded );
    Run( tank, 200 );
    EXPECT_EQ( tank.GetY(), LAND_HEIGHT - TANK_H );
    EXPECT_EQ( tank.GetState(), Tank::Idle );
    EXPECT_EQ( tank.GetBodyAngle(), 0 );
}

TEST_F( TankFixture, DrawsTheBarrelThenTheTurnedHullAndTheProbePoint ) {
    LoadFlat();
    Tank &tank = Drop( 100 ); // at (100, 50), box centre (110, 55)
    Image screen( 640, 480 );

    screen.Clear( 0 );
    tank.Draw( screen );
    // The barrel at 30 degrees: (221 * 70) >> 8 = 60 across, (127 * 70) >> 8 = 34 up.
    EXPECT_EQ( BarrelColumns( screen ), std::make_pair( 120, 170 ) ); // the hull hides the rest
    EXPECT_EQ( screen.GetPixels()[55 * 640 + 110], 6 );               // the hull covers the barrel's root
    EXPECT_EQ( screen.GetPixels()[51 * 640 + 105], 5 );               // top half up
    EXPECT_EQ( screen.GetPixels()[57 * 640 + 105], 6 );

    // Facing left the barrel points at 150 degrees: (-221 * 70) >> 8 = -61 (rounded down),
    // and the hull is turned upside down, not mirrored.
    Hold( DIK_LEFT );
    tank.Update();
    ASSERT_EQ( tank.GetBodyAngle(), 180 );
    screen.Clear( 0 );
    tank.Draw( screen );
    EXPECT_EQ( BarrelColumns( screen ).first, 49 );
    EXPECT_EQ( screen.GetPixels()[53 * 640 + 105], 6 );
    EXPECT_EQ( screen.GetPixels()[59 * 640 + 105], 5 );
}

TEST_F( TankFixture, TheProbePixelTakesAFreshRandomColourEveryFrameUnderTheCamera ) {
    LoadFlat();
    Tank &tank = Drop( 100 ); // probe point (110, 60)
    // The land is smaller than the screen, so the camera stands at (200 - 640, 100 - 480).
    scene.world.SetCameraX( 0 );
    scene.world.SetCameraY( 0 );
    ASSERT_EQ( scene.world.GetCameraX(), -440 );
    ASSERT_EQ( scene.world.GetCameraY(), -380 );
    const int probeX = 110 + 440;
    const int probeY = 60 + 380;

    std::srand( 12345 );
    const int first = std::rand() % 256;
    const int second = std::rand() % 256;
    std::srand( 12345 );
    Image screen( 640, 480 );
    screen.Clear( uint8_t( first + 1 ) );
    tank.Draw( screen );
    EXPECT_EQ( screen.GetPixels()[probeY * 640 + probeX], first );
    EXPECT_EQ( screen.GetPixels()[( probeY - 3 ) * 640 + probeX], 6 ); // the hull, moved alike
    screen.Clear( uint8_t( second + 1 ) );
    tank.Draw( screen );
    EXPECT_EQ( screen.GetPixels()[probeY * 640 + probeX], second );
}
