#include "play/Arsenal.h"
#include "game/EntityList.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "host/HostTypes.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Four tanks in a World's list, the second one's turn; the keys of one update at a time.
class ArsenalFixture : public ::testing::Test {
protected:
    ArsenalFixture() {
        for ( Tank &tank : tanks ) {
            world.AddTank( &tank );
        }
        world.SetCurrentTank( &tanks[1] );
    }

    // One update with `key` held (0 for none): the weapon keys before, the shot after.
    void Update( int key ) {
        uint8_t keys[256] = {};
        if ( key != 0 ) {
            keys[key] = 0x80;
        }
        arsenal.BeforeUpdate( world, keys );
        if ( tanks[1].GetState() == Tank::Firing ) {
            tanks[1].SetState( Tank::Idle ); // as Fire leaves it
        }
        arsenal.AfterUpdate( world );
    }

    void Press( int key ) {
        Update( key );
        Update( 0 );
    }

    // Fires the current weapon of the tank whose turn it is.
    void Fire() {
        tanks[1].SetState( Tank::Firing );
        Update( 0 );
        tanks[1].SetState( Tank::Active );
    }

    Tank tanks[4];
    World world;
    Arsenal arsenal;
};

} // namespace

TEST_F( ArsenalFixture, EveryMatchStartsWithTheStockOfTheTable ) {
    const int stock[WEAPON_CHOICES] = { WEAPON_UNLIMITED, 2, 3, 3, 2 };
    for ( int player = 0; player < Arsenal::PLAYERS; player++ ) {
        for ( int weapon = 0; weapon < WEAPON_CHOICES; weapon++ ) {
            EXPECT_EQ( arsenal.GetStock( player, weapon ), stock[weapon] ) << player << " " << weapon;
        }
    }
    // Outside the table by one on every side: nothing.
    EXPECT_EQ( arsenal.GetStock( -1, WEAPON_HEAVY ), 0 );
    EXPECT_EQ( arsenal.GetStock( Arsenal::PLAYERS, WEAPON_HEAVY ), 0 );
    EXPECT_EQ( arsenal.GetStock( 0, -1 ), 0 );
    EXPECT_EQ( arsenal.GetStock( 0, WEAPON_CHOICES ), 0 );
    EXPECT_EQ( arsenal.GetStock( 0, WEAPON_BOMBLET ), 0 );
}

// E goes forward and Q back through the five, round at either end; a held key steps once.
TEST_F( ArsenalFixture, TheWeaponKeysStepThroughTheChoicesRoundAtTheEnds ) {
    const struct {
        int key;
        int weapon;
    } steps[] = {
        { DIK_Q, WEAPON_DIRT },  { DIK_Q, WEAPON_DIGGER },  { DIK_E, WEAPON_DIRT },   { DIK_E, WEAPON_BOMB },
        { DIK_E, WEAPON_HEAVY }, { DIK_E, WEAPON_CLUSTER }, { DIK_E, WEAPON_DIGGER },
    };
    for ( const auto &step : steps ) {
        Press( step.key );
        EXPECT_EQ( tanks[1].GetWeapon(), step.weapon );
    }
    for ( int i = 0; i < 30; i++ ) {
        Update( DIK_E );
    }
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_DIRT );
    // Only the tank whose turn it is chooses.
    EXPECT_EQ( tanks[0].GetWeapon(), WEAPON_BOMB );
    EXPECT_EQ( tanks[2].GetWeapon(), WEAPON_BOMB );
}

// The choice is made while aiming: not while charging, nor while the turn is someone else's.
TEST_F( ArsenalFixture, TheChoiceStandsWhileTheTankCharges ) {
    tanks[1].SetState( Tank::Charging );
    Press( DIK_E );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_BOMB );
    tanks[1].SetState( Tank::Active );
    Press( DIK_E );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_HEAVY );
}

// A shot is taken from its player's stock; the last one sends the tank back to the bomb, and
// the keys pass over a weapon that has run out. The bomb never runs out.
TEST_F( ArsenalFixture, FiringSpendsTheStockAndAnEmptyWeaponIsSkipped ) {
    Press( DIK_E );
    ASSERT_EQ( tanks[1].GetWeapon(), WEAPON_HEAVY );
    Fire();
    EXPECT_EQ( arsenal.GetStock( 1, WEAPON_HEAVY ), 1 );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_HEAVY );
    Fire();
    EXPECT_EQ( arsenal.GetStock( 1, WEAPON_HEAVY ), 0 );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_BOMB );
    Press( DIK_E );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_CLUSTER );
    Press( DIK_Q );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_BOMB );
    Fire();
    EXPECT_EQ( arsenal.GetStock( 1, WEAPON_BOMB ), WEAPON_UNLIMITED );
    // The others' stock is their own.
    EXPECT_EQ( arsenal.GetStock( 0, WEAPON_HEAVY ), 2 );
    EXPECT_EQ( arsenal.GetStock( 2, WEAPON_HEAVY ), 2 );
    arsenal.NewMatch();
    EXPECT_EQ( arsenal.GetStock( 1, WEAPON_HEAVY ), 2 );
}

// The match's stock from the set-up: every weapon but the bomb starts with that many shots,
// from the next match on; out of range it is taken at the nearest limit. A weapon with none
// cannot be chosen, and one with a single shot is gone after it.
TEST_F( ArsenalFixture, TheMatchStockGivesEveryWeaponButTheBombAsManyShots ) {
    const struct {
        int asked;
        int shots; // as kept
        int heavy; // each weapon's stock but the bomb's; -2: the table's own
    } cases[] = {
        { -1, -1, -2 }, { -2, -1, -2 }, { -1000, -1, -2 }, { 0, 0, 0 },
        { 1, 1, 1 },    { 98, 98, 98 }, { 99, 99, 99 },    { 100, 99, 99 },
    };
    for ( const auto &test : cases ) {
        SCOPED_TRACE( test.asked );
        arsenal.SetShots( test.asked );
        EXPECT_EQ( arsenal.GetShots(), test.shots );
        arsenal.NewMatch();
        for ( int player = 0; player < Arsenal::PLAYERS; player++ ) {
            EXPECT_EQ( arsenal.GetStock( player, WEAPON_BOMB ), WEAPON_UNLIMITED );
            for ( int weapon = WEAPON_HEAVY; weapon < WEAPON_CHOICES; weapon++ ) {
                EXPECT_EQ( arsenal.GetStock( player, weapon ),
                           test.heavy == -2 ? WeaponOf( weapon ).stock : test.heavy );
            }
        }
    }
    // Kept until the next match: a stock set mid-match leaves the one being played.
    arsenal.SetShots( 1 );
    arsenal.NewMatch();
    arsenal.SetShots( 0 );
    Press( DIK_E );
    ASSERT_EQ( tanks[1].GetWeapon(), WEAPON_HEAVY );
    Fire();
    EXPECT_EQ( arsenal.GetStock( 1, WEAPON_HEAVY ), 0 );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_BOMB );
    Press( DIK_E );
    EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_CLUSTER );
    // With none of anything, the keys find nothing but the bomb, either way.
    arsenal.NewMatch();
    tanks[1].SetWeapon( WEAPON_BOMB );
    for ( int key : { DIK_E, DIK_Q } ) {
        Press( key );
        EXPECT_EQ( tanks[1].GetWeapon(), WEAPON_BOMB );
    }
}
