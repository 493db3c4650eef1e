#include "game/Weapons.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

const uint8_t GROUND = 3;
const int GROUND_TOP = 600;
const int BOMB_SIZE = 4; // the hit is tested at the top-left corner plus (2, 2)

// One FNV-1a hash of a picture's pixels, row by row.
uint32_t Checksum( const Image &image ) {
    uint32_t hash = 2166136261u;
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

// A flat land of its own, the bombs fired over it and the land as it must be after them.
class Field {
public:
    Field() : expected( 1280, 960 ) {
        Image picture( BOMB_SIZE, BOMB_SIZE );
        picture.Clear( 9 );
        sprite.Build( picture, picture.GetBounds(), 0 );
        EXPECT_EQ( scene.LoadFlat( 1280, 960, GROUND_TOP, GROUND ), 1 );
        expected.Clear( 0 );
        expected.FillRect( 0, GROUND_TOP, 1279, 959, GROUND );
    }

    virtual ~Field() { scene.world.GetBombs()->DeleteEntities(); }

    Bomb *Fire( int x, int y, int angle, int power, int weapon, int wind = 0 ) {
        Bomb *bomb = new Bomb( x, y, angle, power, weapon, wind, &sprite, &scene.world );
        scene.world.GetBombs()->Add( bomb );
        return bomb;
    }

    // Every bomb updated once, as the World does, new pieces included; 1 while one flies.
    int UpdateBombs() {
        int flying = 0;
        EntityList &bombs = *scene.world.GetBombs();
        EntityNode *node = nullptr;
        for ( Entity *bomb = bombs.First( node ); bomb != nullptr; bomb = bombs.Next( node, 1 ) ) {
            bomb->Update();
            flying |= bomb->GetState() == Bomb::Flying ? 1 : 0;
        }
        return flying;
    }

    void RunToTheEnd() {
        for ( int i = 0; i < 2000 && UpdateBombs(); i++ ) {
        }
    }

    // Pixels where the tiles do not show the land picture.
    int TileMismatches() {
        const Image &land = *scene.world.GetLandImage();
        int mismatches = 0;
        for ( int row = 0; row < 2; row++ ) {
            for ( int column = 0; column < 2; column++ ) {
                LandTile *tile = scene.world.GetLand()->GetTile( column, row );
                Image &image = tile->Lock();
                for ( int y = 0; y < 480; y++ ) {
                    for ( int x = 0; x < 640; x++ ) {
                        mismatches +=
                            image.GetPixels()[y * image.GetPitch() + x] !=
                            land.GetPixels()[( row * 480 + y ) * land.GetPitch() + column * 640 + x];
                    }
                }
                tile->Unlock();
            }
        }
        return mismatches;
    }

    // The lowest empty pixel of a column below the ground's top, or GROUND_TOP - 1.
    int HoleBottom( int column ) {
        const Image &land = *scene.world.GetLandImage();
        int bottom = GROUND_TOP - 1;
        for ( int y = GROUND_TOP; y < land.GetHeight(); y++ ) {
            if ( land.GetPixels()[y * land.GetPitch() + column] == 0 ) {
                bottom = y;
            }
        }
        return bottom;
    }

    // All the bombs have exploded or are gone; the land is the expected picture with every
    // exploded bomblet's crater.
    void ExpectBombletCraters() {
        const Weapon &bomblet = WeaponOf( WEAPON_BOMBLET );
        EntityList &bombs = *scene.world.GetBombs();
        EntityNode *node = nullptr;
        for ( Entity *entity = bombs.First( node ); entity != nullptr; entity = bombs.Next( node, 1 ) ) {
            const Bomb *bomb = static_cast<const Bomb *>( entity );
            EXPECT_NE( bomb->GetState(), Bomb::Flying );
            if ( bomb->GetWeapon() == WEAPON_BOMBLET ) {
                EXPECT_EQ( bomb->GetState(), Bomb::Exploded );
                expected.FillEllipse( bomb->GetX(), bomb->GetY(), bomblet.craterRx, bomblet.craterRy, 0 );
            }
        }
        EXPECT_EQ( Checksum( *scene.world.GetLandImage() ), Checksum( expected ) );
    }

    LandScene scene;
    Sprite sprite;
    Image expected; // the land as it must be, drawn by the test
};

} // namespace

// Dropped onto flat ground, the bomb and the heavy shell blow their own ellipse where they
// strike; the digger bores on and goes off deeper; the dirt bomb blows no hole at all.
TEST( Weapons, EachWeaponBlowsItsOwnHoleWhereItStrikes ) {
    struct Case {
        int weapon;
        int rx, ry;
        int lowest, highest; // the hole's bottom under the strike
    } cases[] = {
        { WEAPON_BOMB, 50, 30, 629, 633 },
        { WEAPON_HEAVY, 90, 54, 653, 657 },
        { WEAPON_DIGGER, 26, 18, 680, 760 },
        { WEAPON_DIRT, 60, 36, GROUND_TOP - 1, GROUND_TOP - 1 },
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( WeaponOf( c.weapon ).name );
        EXPECT_EQ( WeaponOf( c.weapon ).craterRx, c.rx );
        EXPECT_EQ( WeaponOf( c.weapon ).craterRy, c.ry );
        Field f;
        Bomb *bomb = f.Fire( 400, 500, 90, 0, c.weapon );
        f.RunToTheEnd();
        ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
        const int bottom = f.HoleBottom( 400 );
        EXPECT_GE( bottom, c.lowest );
        EXPECT_LE( bottom, c.highest );
        EXPECT_EQ( f.TileMismatches(), 0 );
    }
}

TEST( Weapons, TheHeavyShellsCraterIsItsEllipseAndNothingElse ) {
    Field f;
    Bomb *bomb = f.Fire( 700, 500, 90, 0, WEAPON_HEAVY );
    f.RunToTheEnd();
    ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
    // Its middle met the ground within its last step (under 4 pixels at this speed).
    EXPECT_GE( bomb->GetY() + BOMB_SIZE / 2, GROUND_TOP );
    EXPECT_LT( bomb->GetY() + BOMB_SIZE / 2, GROUND_TOP + 4 );
    f.expected.FillEllipse( bomb->GetX(), bomb->GetY(), 90, 54, 0 );
    EXPECT_EQ( Checksum( *f.scene.world.GetLandImage() ), Checksum( f.expected ) );
}

// The digger's shaft is a row of small holes along its path from where it struck, one per
// update it bored, and its crater is at the shaft's end.
TEST( Weapons, TheDiggerBoresAShaftAlongItsArcAndGoesOffAtItsEnd ) {
    Field f;
    const Weapon &digger = WeaponOf( WEAPON_DIGGER );
    Bomb *bomb = f.Fire( 300, 400, 60, 150, WEAPON_DIGGER, 6 );
    BombFlight path( 300, 400, 60, 150, 6 );
    int x = 0, y = 0;
    int bored = 0;
    for ( int update = 0; update < 400 && bomb->GetState() == Bomb::Flying; update++ ) {
        f.UpdateBombs();
        path.Step( x, y );
        ASSERT_EQ( bomb->GetX(), x );
        ASSERT_EQ( bomb->GetY(), y );
        if ( bored > 0 || y + BOMB_SIZE / 2 >= GROUND_TOP ) {
            f.expected.FillEllipse( x, y, digger.shaftRadius, digger.shaftRadius, 0 );
            bored++;
            EXPECT_EQ( bomb->GetDigLeft(), bomb->GetState() == Bomb::Flying ? digger.digUpdates - bored : 0 );
        }
    }
    ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
    EXPECT_EQ( bored, digger.digUpdates );
    f.expected.FillEllipse( x, y, digger.craterRx, digger.craterRy, 0 );
    EXPECT_EQ( Checksum( *f.scene.world.GetLandImage() ), Checksum( f.expected ) );
    EXPECT_EQ( f.TileMismatches(), 0 );
}

// The mound is the ellipse a crater of its size would blow, filled with the struck ground's
// colour where the land was empty; the ground it lands on is not touched.
TEST( Weapons, TheDirtBombThrowsUpAMoundOfTheStruckGround ) {
    Field f;
    Bomb *bomb = f.Fire( 639, 500, 90, 0, WEAPON_DIRT ); // across the tiles' seam
    f.RunToTheEnd();
    ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
    Image mound( 1280, 960 );
    mound.Clear( 0 );
    mound.FillEllipse( bomb->GetX(), bomb->GetY(), 60, 36, 1 );
    int raised = 0;
    for ( int i = 0; i < 1280 * 960; i++ ) {
        if ( mound.GetPixels()[i] != 0 && f.expected.GetPixels()[i] == 0 ) {
            f.expected.GetPixels()[i] = GROUND;
            raised++;
        }
    }
    EXPECT_GT( raised, 3000 ); // about half of pi * 60 * 36
    EXPECT_EQ( Checksum( *f.scene.world.GetLandImage() ), Checksum( f.expected ) );
    EXPECT_EQ( f.TileMismatches(), 0 );
}

// The cluster climbs whole, breaks into its bomblets at the first update past the top of its
// arc, fanned evenly about its own velocity there, and each bomblet blows a small crater.
TEST( Weapons, TheClusterSplitsAtTheTopOfItsArc ) {
    Field f;
    const Weapon &cluster = WeaponOf( WEAPON_CLUSTER );
    Bomb *carrier = f.Fire( 500, 560, 75, 180, WEAPON_CLUSTER, -9 );
    int update = 0;
    while ( f.scene.world.GetBombs()->GetCount() == 1 && update < 400 ) {
        const int fallingBefore = carrier->GetFlight().IsFalling();
        f.UpdateBombs();
        update++;
        ASSERT_EQ( fallingBefore, 0 ) << "still whole past the top, update " << update;
    }
    ASSERT_EQ( f.scene.world.GetBombs()->GetCount(), 1 + cluster.pieces );
    EXPECT_EQ( carrier->GetFlight().IsFalling(), 1 );
    EXPECT_EQ( carrier->GetState(), Bomb::Gone );
    EXPECT_LT( carrier->GetY(), 560 - 100 ); // high in the air

    EntityNode *node = nullptr;
    EntityList &bombs = *f.scene.world.GetBombs();
    bombs.First( node );
    std::vector<int> velocities;
    for ( Entity *entity = bombs.Next( node, 1 ); entity != nullptr; entity = bombs.Next( node, 1 ) ) {
        const Bomb *piece = static_cast<const Bomb *>( entity );
        EXPECT_EQ( piece->GetWeapon(), WEAPON_BOMBLET );
        EXPECT_EQ( piece->GetFlight().GetLaunchX(), carrier->GetX() );
        EXPECT_EQ( piece->GetFlight().GetLaunchY(), carrier->GetY() );
        EXPECT_EQ( piece->GetFlight().GetVelocityY(), carrier->GetFlight().GetVelocityYNow() );
        EXPECT_EQ( piece->GetFlight().GetWind(), -9 );
        velocities.push_back( piece->GetFlight().GetVelocityX() );
    }
    ASSERT_EQ( int( velocities.size() ), cluster.pieces );
    EXPECT_EQ( velocities[cluster.pieces / 2], carrier->GetFlight().GetVelocityXNow() );
    for ( int i = 1; i < cluster.pieces; i++ ) {
        EXPECT_EQ( velocities[i] - velocities[i - 1], 24 * 256 );
    }

    f.RunToTheEnd();
    f.ExpectBombletCraters();
}

// A cluster that meets the ground while still climbing breaks there: its first bomblet goes
// off where it struck, the others drop through that crater, and the cluster blows nothing.
TEST( Weapons, AClusterThatStrikesOnTheWayUpBreaksWhereItStrikes ) {
    Field f;
    Bomb *carrier = f.Fire( 500, GROUND_TOP - 1, 80, 300, WEAPON_CLUSTER );
    f.UpdateBombs();
    EXPECT_EQ( carrier->GetFlight().IsFalling(), 0 );
    EXPECT_EQ( carrier->GetState(), Bomb::Gone );
    f.RunToTheEnd();
    ASSERT_EQ( f.scene.world.GetBombs()->GetCount(), 1 + WeaponOf( WEAPON_CLUSTER ).pieces );
    EntityNode *node = nullptr;
    f.scene.world.GetBombs()->First( node );
    const Entity *first = f.scene.world.GetBombs()->Next( node, 1 );
    EXPECT_EQ( first->GetX(), 500 );
    EXPECT_EQ( first->GetY(), GROUND_TOP - 1 );
    f.ExpectBombletCraters();
}
