#include "hud/WeaponReadout.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "hud/HudColours.h"
#include "play/Arsenal.h"
#include "play/Wind.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A palette of distinct colours (a 6 x 6 x 6 cube), the readout's colours found in it, a
// World with four tanks, the second one's turn, and a cleared screen to draw on.
class ReadoutFixture : public ::testing::Test {
protected:
    ReadoutFixture() : screen( 640, 480 ) {
        HostPaletteEntry palette[256] = {};
        for ( int i = 0; i < 216; i++ ) {
            palette[i] = HostPaletteEntry{ uint8_t( i % 6 * 51 ), uint8_t( i / 6 % 6 * 51 ),
                                           uint8_t( i / 36 * 51 ), 0 };
        }
        colours.Find( palette );
        for ( Tank &tank : tanks ) {
            world.AddTank( &tank );
        }
        world.SetCurrentTank( &tanks[1] );
    }

    void Draw( int weapons, int wind ) {
        screen.Clear( 0 );
        readout.Draw( screen, world, arsenal, colours, weapons, wind );
    }

    // The columns of the bright pixels inside a rectangle, or -1 for none.
    void BrightSpan( const Rect &box, int &first, int &last ) const {
        first = last = -1;
        for ( int y = box.top; y <= box.bottom; y++ ) {
            for ( int x = box.left; x <= box.right; x++ ) {
                if ( screen.GetPixels()[y * screen.GetPitch() + x] == colours.GetBright() ) {
                    first = first < 0 || x < first ? x : first;
                    last = x > last ? x : last;
                }
            }
        }
    }

    // Pixels drawn outside every region the readout named.
    int Outside() const {
        int count = 0;
        for ( int y = 0; y < 480; y++ ) {
            for ( int x = 0; x < 640; x++ ) {
                int inside = 0;
                for ( int i = 0; i < readout.GetRegionCount(); i++ ) {
                    inside |= readout.GetRegion( i ).Contains( x, y );
                }
                count += !inside && screen.GetPixels()[y * screen.GetPitch() + x] != 0;
            }
        }
        return count;
    }

    uint32_t Checksum() const {
        uint32_t hash = 2166136261u;
        for ( int i = 0; i < 640 * 480; i++ ) {
            hash = ( hash ^ screen.GetPixels()[i] ) * 16777619u;
        }
        return hash;
    }

    Tank tanks[4];
    World world;
    Arsenal arsenal;
    HudColours colours;
    WeaponReadout readout;
    Image screen;
};

} // namespace

// The arrow starts at the same tail for every wind the same way, points the way the wind
// blows and is as long as the wind is strong; a calm has no arrow. The strongest winds, the
// weakest and none, either way.
TEST_F( ReadoutFixture, TheWindArrowPointsTheWayItBlowsAsLongAsItIsStrong ) {
    ASSERT_NE( colours.GetBright(), colours.GetText() );
    const int per = WeaponReadout::ARROW_PER_STEP;
    const int longest = Wind::MAX_STEPS * per;
    world.SetWind( Wind::PUSH_PER_STEP );
    Draw( 0, 1 );
    ASSERT_EQ( readout.GetRegionCount(), 1 );
    const Rect region = readout.GetRegion( 0 );
    int tail = 0, head = 0;
    BrightSpan( region, tail, head );
    ASSERT_GT( tail, 0 );
    EXPECT_EQ( head, tail + per );
    const struct {
        int steps;
        int first, last; // from the tail of a wind to the right; -1 for no arrow
    } cases[] = {
        { Wind::MAX_STEPS, 0, longest }, { Wind::MAX_STEPS - 1, 0, longest - per }, { 0, -1, -1 },
        { -1, longest - per, longest },  { -Wind::MAX_STEPS, 0, longest },
    };
    for ( const auto &c : cases ) {
        world.SetWind( c.steps * Wind::PUSH_PER_STEP );
        Draw( 0, 1 );
        int first = 0, last = 0;
        BrightSpan( region, first, last );
        EXPECT_EQ( first, c.first < 0 ? -1 : tail + c.first ) << c.steps;
        // The arrow's head reaches back 3 columns from its point, so the span of a wind to the
        // left starts at its point.
        EXPECT_EQ( last, c.last < 0 ? -1 : tail + c.last ) << c.steps;
        EXPECT_EQ( Outside(), 0 ) << c.steps;
    }
    // The number is the strength: the same either way, another for another strength.
    world.SetWind( 3 * Wind::PUSH_PER_STEP );
    Draw( 0, 1 );
    const uint32_t right = Checksum();
    world.SetWind( -3 * Wind::PUSH_PER_STEP );
    Draw( 0, 1 );
    EXPECT_NE( Checksum(), right );
    world.SetWind( 0 );
    Draw( 0, 0 );
    EXPECT_EQ( readout.GetRegionCount(), 0 );
    EXPECT_EQ( Outside(), 0 );
}

// The chosen weapon, and only it, is bright, further right for each weapon further along the
// line; what is left of the weapons shows, and a spent shell changes the line.
TEST_F( ReadoutFixture, TheChosenWeaponIsBrightAndTheStockShows ) {
    int lastFirst = -1;
    for ( int weapon = 0; weapon < WEAPON_CHOICES; weapon++ ) {
        tanks[1].SetWeapon( weapon );
        Draw( 1, 0 );
        ASSERT_EQ( readout.GetRegionCount(), 1 );
        EXPECT_EQ( Outside(), 0 );
        int first = 0, last = 0;
        BrightSpan( readout.GetRegion( 0 ), first, last );
        EXPECT_GT( first, lastFirst ) << WeaponOf( weapon ).name;
        lastFirst = last;
    }
    tanks[1].SetWeapon( WEAPON_HEAVY );
    Draw( 1, 0 );
    const uint32_t full = Checksum();
    Draw( 1, 0 );
    EXPECT_EQ( Checksum(), full );
    tanks[1].SetState( Tank::Firing );
    arsenal.BeforeUpdate( world, nullptr );
    arsenal.AfterUpdate( world );
    ASSERT_EQ( arsenal.GetStock( 1, WEAPON_HEAVY ), 1 );
    Draw( 1, 0 );
    EXPECT_NE( Checksum(), full );
    // Another player's turn shows that player's stock: the full one.
    world.SetCurrentTank( &tanks[2] );
    tanks[2].SetWeapon( WEAPON_HEAVY );
    Draw( 1, 0 );
    EXPECT_EQ( Checksum(), full );
}
