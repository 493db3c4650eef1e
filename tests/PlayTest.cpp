#include "play/Match.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "land/Land.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "play/DefaultRules.h"
#include "play/StartColumns.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Tanks are 20 x 10, bombs 4 x 4; the land is flat from row 300 unless a test says otherwise.
const int TANK_W = 20;
const int TANK_H = 10;
const int GROUND_TOP = 300;
const uint8_t GROUND = 3;

void BuildSprite( Sprite &sprite, int width, int height, uint8_t colour ) {
    Image picture( width, height );
    picture.Clear( colour );
    // A notch at the bottom right, so that a mirrored picture differs from a plain one.
    picture.FillRect( width - 3, height - 2, width - 1, height - 1, 0 );
    sprite.Build( picture, picture.GetBounds(), 0 );
}

uint32_t Checksum( const Image &image, const Rect &area ) {
    uint32_t hash = 2166136261u;
    for ( int y = area.top; y <= area.bottom; y++ ) {
        for ( int x = area.left; x <= area.right; x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

// The default game's rules on a land the test draws, with tanks standing at the given
// columns and the match over them. The test drives the frames as the game does: Update,
// then the match's Observe.
class Play {
public:
    explicit Play( const std::vector<int> &columns, int health = Match::DEFAULT_HEALTH,
                   Image *land = nullptr ) {
        BuildSprite( g_tankSprite, TANK_W, TANK_H, 5 );
        BuildSprite( g_bombSprite, 4, 4, 9 );
        g_keyState = keys;
        if ( land != nullptr ) {
            scene.Load( *land );
        } else {
            scene.LoadFlat( 640, 480, GROUND_TOP, GROUND );
        }
        UseDefaultRules( world().GetLandImage(), 1 );
        for ( int column : columns ) {
            world().AddTank( new Tank( column, GroundUnder( column ) - TANK_H, &g_tankSprite, &world() ) );
        }
        EntityNode *node = nullptr;
        world().SetCurrentTank( world().GetTanks()->First( node ) );
        match.Init( world(), health );
        Frame(); // the tanks find the ground
    }

    ~Play() {
        match.Forget();
        world().GetTanks()->DeleteEntities();
        world().GetBombs()->DeleteEntities();
        g_keyState = nullptr;
        UseDesignedRules();
    }

    int GroundUnder( int column ) {
        const Image &land = *world().GetLandImage();
        const int probe = column + TANK_W / 2;
        for ( int row = 0; probe >= 0 && probe < land.GetWidth() && row < land.GetHeight(); row++ ) {
            if ( land.GetPixels()[row * land.GetPitch() + probe] != 0 ) {
                return row;
            }
        }
        return GROUND_TOP;
    }

    World &world() { return scene.world; }
    Tank *tank( int player ) { return match.GetTank( player ); }

    void Frame() {
        world().Update();
        match.Observe();
    }

    // A shot of the current player's turn: a bomb dropped straight down from above `column`,
    // and the tank done as after firing. Returns the bomb, which lives until the update after
    // it lands.
    Bomb *Shoot( int column, int fromRow = 100, int weapon = WEAPON_BOMB ) {
        Bomb *bomb = weapon == WEAPON_BOMB
                         ? new Bomb( column, fromRow, 0, 0, &g_bombSprite, &world() )
                         : new Bomb( column, fromRow, 0, 0, weapon, 0, &g_bombSprite, &world() );
        world().AddBomb( bomb );
        world().GetCurrentTank()->SetState( Tank::Idle );
        return bomb;
    }

    // Frames until the turn leaves `player` (or a bound); returns the frames run.
    int PlayOutTurn() {
        const int player = match.GetCurrentPlayer();
        int frames = 0;
        while ( frames < 2000 && match.GetCurrentPlayer() == player &&
                match.GetOutcome() == Match::Playing ) {
            Frame();
            frames++;
        }
        return frames;
    }

    // Frames until the bomb has left the list.
    void Land( Bomb *bomb ) {
        for ( int frame = 0; frame < 1000 && bomb->GetState() == Bomb::Flying; frame++ ) {
            Frame();
        }
    }

    LandScene scene;
    Match match;
    uint8_t keys[256] = {};
};

} // namespace

TEST( PlayDamage, ACraterHurtsByDistanceFromItsCentreToItsRim ) {
    struct Case {
        int dx, dy;
        int damage;
    };
    // A 50 x 30 crater, 50 at its centre: 10 at the rim, beyond it and on every axis alike.
    const Case cases[] = { { 0, 0, 50 },  { 25, 0, 30 },  { -25, 0, 30 }, { 0, 15, 30 }, { 0, -15, 30 },
                           { 50, 0, 10 }, { 0, 30, 10 },  { 51, 0, 10 },  { 49, 0, 11 }, { 0, 29, 12 },
                           { 1, 0, 50 },  { 90, 90, 10 }, { 3, 0, 48 } };
    for ( const Case &c : cases ) {
        EXPECT_EQ( Match::CraterDamage( c.dx, c.dy, 50, 30, 50 ), c.damage ) << c.dx << ", " << c.dy;
    }
    // A larger crater and a stronger bomb plug in through the same sum.
    EXPECT_EQ( Match::CraterDamage( 0, 0, 100, 60, 80 ), 80 );
    EXPECT_EQ( Match::CraterDamage( 100, 0, 100, 60, 80 ), 16 );
    EXPECT_EQ( Match::CraterDamage( 0, 0, 0, 30, 50 ), 0 );

    struct Fall {
        int rows;
        int damage;
    };
    const Fall falls[] = { { 0, 0 },   { 59, 0 },   { 60, 0 },   { 61, 10 },
                           { 62, 11 }, { 100, 30 }, { 400, 180 } };
    for ( const Fall &f : falls ) {
        EXPECT_EQ( Match::FallDamage( f.rows ), f.damage ) << f.rows;
    }
}

TEST( PlayDamage, ACraterTouchesABoxUpToItsRimAndNotOnePixelBeyond ) {
    struct Case {
        const char *name;
        int left, top, right, bottom;
        int touches;
    };
    // A 50 x 30 crater centred at (100, 100).
    const Case cases[] = {
        { "box around the centre", 95, 95, 105, 105, 1 },
        { "left side on the right rim", 150, 90, 170, 110, 1 },
        { "left side one past the right rim", 151, 90, 170, 110, 0 },
        { "right side on the left rim", 30, 90, 50, 110, 1 },
        { "right side one short of the left rim", 30, 90, 49, 110, 0 },
        { "bottom on the top rim", 90, 60, 110, 70, 1 },
        { "bottom one above the top rim", 90, 60, 110, 69, 0 },
        { "corner just outside on the diagonal", 140, 125, 160, 140, 0 },
        { "corner inside on the diagonal", 130, 115, 160, 140, 1 },
        { "empty box", 110, 100, 100, 100, 0 },
    };
    for ( const Case &c : cases ) {
        EXPECT_EQ( Match::EllipseTouches( 100, 100, 50, 30, c.left, c.top, c.right, c.bottom ), c.touches )
            << c.name;
    }
}

// Tanks at 100 and 300 (middles at 110 and 310, 5 rows over the ground); bombs dropped from
// above land on the ground at row 300.
TEST( PlayDamage, EveryTankTheCraterTouchesIsHurtTheShootersOwnToo ) {
    struct Case {
        const char *name;
        int column;
        int hurt[2]; // 1 when the player loses health
    };
    const Case cases[] = {
        { "on the other tank", 300, { 0, 1 } },
        { "on the shooter's own tank", 100, { 1, 0 } },
        { "between, touching neither", 200, { 0, 0 } },
        { "rim touches the other tank's right side", 300 + TANK_W - 1 + 50, { 0, 1 } },
        { "rim one pixel past it", 300 + TANK_W + 50, { 0, 0 } },
    };
    for ( const Case &c : cases ) {
        Play p( { 100, 300 } );
        // From just above the ground, so that the bomb lands on the ground's top row.
        Bomb *bomb = p.Shoot( c.column, GROUND_TOP - 14 );
        p.Land( bomb );
        ASSERT_EQ( bomb->GetState(), Bomb::Exploded ) << c.name;
        ASSERT_EQ( bomb->GetY() + 2, GROUND_TOP ) << c.name;
        for ( int player = 0; player < 2; player++ ) {
            const Tank *tank = p.tank( player );
            const int expected =
                c.hurt[player] ? Match::CraterDamage( tank->GetX() + TANK_W / 2 - bomb->GetX(),
                                                      tank->GetY() + TANK_H / 2 - bomb->GetY(),
                                                      Bomb::CRATER_RX, Bomb::CRATER_RY, Match::CENTRE_DAMAGE )
                               : 0;
            EXPECT_EQ( p.match.GetHealth( player ), Match::DEFAULT_HEALTH - expected )
                << c.name << " " << player;
        }
    }
    // A bomb straight onto a tank's middle costs it nearly the most a crater takes.
    Play p( { 100, 300 } );
    p.Land( p.Shoot( 300 + TANK_W / 2 - 2, GROUND_TOP - 14 ) );
    EXPECT_GE( Match::DEFAULT_HEALTH - p.match.GetHealth( 1 ), Match::CENTRE_DAMAGE - 4 );
}

// Each weapon's crater hurts by its own size and strength: the heavy shell's reaches further
// and hits twice as hard, a bomblet hits at two fifths, the digger goes off deep in the
// ground, and the dirt bomb's mound hurts nobody. Tanks at 100 and 300, as above; the sizes
// and centre damages are written out here, not read from the weapons' table.
TEST( PlayDamage, EachWeaponHurtsByItsOwnCraterAndStrength ) {
    struct Case {
        const char *name;
        int weapon;
        int column;
        int rx, ry, centreDamage;
        int hurt[2]; // 1 when the player loses health
    };
    const int onTank = 300 + TANK_W / 2 - 2;
    const Case cases[] = {
        { "bomb on the tank", WEAPON_BOMB, onTank, 50, 30, 50, { 0, 1 } },
        { "bomb's rim one pixel past the tank", WEAPON_BOMB, 300 + TANK_W + 50, 50, 30, 50, { 0, 0 } },
        { "heavy shell on the tank", WEAPON_HEAVY, onTank, 90, 54, 100, { 0, 1 } },
        { "heavy shell where the bomb's rim misses", WEAPON_HEAVY, 300 + TANK_W + 50, 90, 54, 100, { 0, 1 } },
        { "heavy shell's rim on the tank's side",
          WEAPON_HEAVY,
          300 + TANK_W - 1 + 90,
          90,
          54,
          100,
          { 0, 1 } },
        { "heavy shell's rim one pixel past", WEAPON_HEAVY, 300 + TANK_W + 90, 90, 54, 100, { 0, 0 } },
        { "heavy shell nearer the shooter", WEAPON_HEAVY, 100 + TANK_W - 1 + 90, 90, 54, 100, { 1, 0 } },
        { "bomblet on the tank", WEAPON_BOMBLET, onTank, 24, 15, 20, { 0, 1 } },
        { "digger under the tank", WEAPON_DIGGER, onTank, 26, 18, 35, { 0, 1 } },
        { "dirt on the tank", WEAPON_DIRT, onTank, 60, 36, 0, { 0, 0 } },
    };
    for ( const Case &c : cases ) {
        Play p( { 100, 300 } );
        Bomb *bomb = p.Shoot( c.column, GROUND_TOP - 14, c.weapon );
        p.Land( bomb );
        ASSERT_EQ( bomb->GetState(), Bomb::Exploded ) << c.name;
        for ( int player = 0; player < 2; player++ ) {
            const Tank *tank = p.tank( player );
            const int expected = c.hurt[player]
                                     ? Match::CraterDamage( tank->GetX() + TANK_W / 2 - bomb->GetX(),
                                                            tank->GetY() + TANK_H / 2 - bomb->GetY(), c.rx,
                                                            c.ry, c.centreDamage )
                                     : 0;
            EXPECT_EQ( p.match.GetHealth( player ), Match::DEFAULT_HEALTH - expected )
                << c.name << " " << player;
            if ( c.hurt[player] ) {
                EXPECT_GT( expected, 0 ) << c.name << " " << player;
            }
        }
    }
}

TEST( PlayDamage, ALongFallCostsHealthAndAShortOneNothing ) {
    struct Case {
        int depth; // of a shaft dug under the tank
        int damage;
    };
    // The tank falls as many rows as the shaft is deep.
    const Case cases[] = { { 40, 0 }, { 60, 0 }, { 61, 10 }, { 62, 11 }, { 120, 40 } };
    for ( const Case &c : cases ) {
        Play p( { 100, 400 } );
        // The ground under the second tank is cut away, `depth` rows down from its top.
        p.world().GetLandImage()->FillRect( 400, GROUND_TOP, 400 + TANK_W, GROUND_TOP + c.depth - 1, 0 );
        for ( int frame = 0; frame < 300; frame++ ) {
            p.Frame();
        }
        EXPECT_EQ( p.tank( 1 )->GetState(), Tank::Idle ) << c.depth;
        EXPECT_EQ( Match::DEFAULT_HEALTH - p.match.GetHealth( 1 ), c.damage ) << c.depth;
    }
}

TEST( PlayDestruction, ATankWithNoHealthLeftGoesUpAndLeavesAHole ) {
    Play p( { 100, 300, 500 }, 20 );
    const Image &land = *p.world().GetLandImage();
    const int middleX = p.tank( 1 )->GetX() + TANK_W / 2;
    const int middleY = p.tank( 1 )->GetY() + TANK_H / 2;
    Bomb *bomb = p.Shoot( 300 );
    p.Land( bomb );
    EXPECT_EQ( p.match.GetHealth( 1 ), 0 );
    EXPECT_EQ( p.match.IsInPlay( 1 ), 0 );
    EXPECT_EQ( p.tank( 1 )->GetState(), Tank::Out );
    EXPECT_EQ( p.match.GetNews(), Match::Destroyed );
    EXPECT_EQ( p.match.GetNewsPlayer(), 1 );
    EXPECT_EQ( p.match.GetWreckCount(), 1 );
    // Its blast is wider and deeper than a bomb's crater: ground gone to its rim and not beyond.
    ASSERT_EQ( middleY, GROUND_TOP - 5 );
    const int rimRight = middleX + Match::WRECK_RX;
    EXPECT_EQ( land.GetPixels()[GROUND_TOP * land.GetPitch() + rimRight - 2], 0 );
    EXPECT_NE( land.GetPixels()[GROUND_TOP * land.GetPitch() + rimRight + 2], 0 );
    EXPECT_EQ( land.GetPixels()[( middleY + Match::WRECK_RY - 1 ) * land.GetPitch() + middleX], 0 );
    // The others play on; the destroyed tank takes no more turns and is not drawn.
    EXPECT_EQ( p.match.GetOutcome(), Match::Playing );
    for ( int turn = 0; turn < 4; turn++ ) {
        p.PlayOutTurn();
        EXPECT_NE( p.match.GetCurrentPlayer(), 1 ) << turn;
        p.Land( p.Shoot( 620, 0 ) );
    }
    Image screen( 640, 480 );
    screen.Clear( 0 );
    const uint32_t empty = Checksum( screen, screen.GetBounds() );
    p.tank( 1 )->Draw( screen );
    EXPECT_EQ( Checksum( screen, screen.GetBounds() ), empty );
    p.tank( 0 )->Draw( screen );
    EXPECT_NE( Checksum( screen, screen.GetBounds() ), empty );
}

TEST( PlayDestruction, ATankThatLeavesTheLandIsOut ) {
    struct Case {
        const char *name;
        int column;
        int dig; // 1: the ground under it is cut away to the bottom
        int out;
    };
    const Case cases[] = {
        { "middle one past the right side", 640 - TANK_W / 2, 0, 1 },
        { "middle on the last column", 640 - TANK_W / 2 - 1, 0, 0 },
        { "middle one before the left side", -TANK_W / 2 - 1, 0, 1 },
        { "middle on the first column", -TANK_W / 2, 0, 0 },
        { "falls through the bottom", 300, 1, 1 },
    };
    for ( const Case &c : cases ) {
        Play p( { 100, c.column, 500 } );
        if ( c.dig ) {
            p.world().Carve( c.column + TANK_W / 2, 400, 20, 200 );
        }
        for ( int frame = 0; frame < 400 && p.match.IsInPlay( 1 ); frame++ ) {
            p.Frame();
        }
        EXPECT_EQ( p.match.IsInPlay( 1 ), !c.out ) << c.name;
        EXPECT_EQ( p.match.GetNews(), c.out ? Match::OffTheLand : Match::NoNews ) << c.name;
    }
    // A tank driving off the side drives out of the match.
    Play p( { 100, 400 } );
    p.keys[DIK_LEFT] = 0x80;
    for ( int frame = 0; frame < 800 && p.match.IsInPlay( 0 ); frame++ ) {
        p.Frame();
    }
    EXPECT_EQ( p.match.IsInPlay( 0 ), 0 );
    EXPECT_EQ( p.match.GetOutcome(), Match::Won );
    EXPECT_EQ( p.match.GetWinner(), 1 );
}

TEST( PlayTurn, TheTurnWaitsForTheBombThenPassesToTheNextTankInPlay ) {
    // The second tank stands beyond the land: it is out from the first frame.
    Play p( { 100, 700, 300, 500 } );
    ASSERT_EQ( p.match.IsInPlay( 1 ), 0 );
    std::vector<int> order;
    for ( int turn = 0; turn < 5; turn++ ) {
        order.push_back( p.match.GetCurrentPlayer() );
        Bomb *bomb = p.Shoot( 610, 0 );
        // The turn stays while the bomb flies, and nobody can fire meanwhile.
        p.keys[DIK_SPACE] = 0x80;
        int flown = 0;
        while ( bomb->GetState() == Bomb::Flying ) {
            EXPECT_EQ( p.match.GetCurrentPlayer(), order.back() );
            EXPECT_EQ( p.match.GetPhase(), flown == 0 ? Match::Aiming : Match::Following );
            p.Frame();
            flown++;
        }
        p.keys[DIK_SPACE] = 0;
        EXPECT_EQ( p.world().GetBombs()->GetAdded(), turn + 1 );
        // The crater shows for SETTLE_FRAMES, then the turn passes.
        EXPECT_EQ( p.PlayOutTurn(), Match::SETTLE_FRAMES ) << turn;
        EXPECT_EQ( p.match.GetPhase(), Match::Aiming );
        EXPECT_EQ( p.world().GetBombs()->GetCount(), 0 );
    }
    EXPECT_EQ( order, ( std::vector<int>{ 0, 2, 3, 0, 2 } ) );
}

TEST( PlayTurn, OnlyTheTankWhoseTurnItIsTurnsAndDrives ) {
    Play p( { 100, 300, 500 } );
    p.keys[DIK_LEFT] = 0x80;
    for ( int frame = 0; frame < 6; frame++ ) {
        p.Frame();
    }
    p.keys[DIK_LEFT] = 0;
    EXPECT_EQ( p.tank( 0 )->GetBodyAngle(), 180 );
    EXPECT_LT( p.tank( 0 )->GetX(), 100 );
    for ( int player = 1; player < 3; player++ ) {
        EXPECT_EQ( p.tank( player )->GetBodyAngle(), 0 ) << player;
    }
    // With the designed rules every waiting tank turns as well.
    g_gameRules.onlyCurrentTankReadsKeys = 0;
    p.keys[DIK_LEFT] = 0x80;
    p.Frame();
    EXPECT_EQ( p.tank( 1 )->GetBodyAngle(), 180 );
}

TEST( PlayTurn, AFullChargeTakesAbout2Point5SecondsAndStopsAt500 ) {
    Play p( { 100, 300 } );
    struct Step {
        int held; // updates with Space down; the first starts the charge
        int power;
        int state;
    };
    const Step steps[] = { { 1, 0, Tank::Charging },
                           { 2, 3, Tank::Charging },
                           { 100, 297, Tank::Charging },
                           { 167, 498, Tank::Charging },
                           { 168, 500, Tank::Firing } };
    int held = 0;
    p.keys[DIK_SPACE] = 0x80;
    for ( const Step &step : steps ) {
        for ( ; held < step.held; held++ ) {
            p.Frame();
        }
        EXPECT_EQ( p.tank( 0 )->GetPower(), step.power ) << step.held;
        EXPECT_EQ( p.tank( 0 )->GetState(), step.state ) << step.held;
    }
}

TEST( PlayMatch, TheLastTankInPlayWinsAndTheLastOnesGoingTogetherDraw ) {
    struct Case {
        const char *name;
        std::vector<int> columns;
        int column; // where the bomb falls
        int outcome;
        int winner;
    };
    const Case cases[] = {
        { "one of two destroyed", { 100, 300 }, 300, Match::Won, 0 },
        { "the shooter destroys itself", { 100, 300 }, 100, Match::Won, 1 },
        { "both in one crater", { 100, 125 }, 122, Match::Drawn, Match::NO_PLAYER },
        { "one of three destroyed", { 100, 300, 500 }, 300, Match::Playing, Match::NO_PLAYER },
    };
    for ( const Case &c : cases ) {
        Play p( c.columns, 10 );
        p.Land( p.Shoot( c.column ) );
        EXPECT_EQ( p.match.GetOutcome(), c.outcome ) << c.name;
        EXPECT_EQ( p.match.GetWinner(), c.winner ) << c.name;
        for ( int player = 0; player < p.match.GetPlayerCount(); player++ ) {
            EXPECT_EQ( p.match.GetScore( player ), player == c.winner ? 1 : 0 ) << c.name;
        }
    }
}

TEST( PlayMatch, TwentyTurnsWithoutDamageEndInADraw ) {
    Play p( { 100, 300 } );
    for ( int turn = 1; turn <= Match::QUIET_TURN_LIMIT; turn++ ) {
        ASSERT_EQ( p.match.GetOutcome(), Match::Playing ) << turn;
        // The tenth shot hurts the shooter, which starts the count again.
        const int column = turn == 10 ? p.tank( p.match.GetCurrentPlayer() )->GetX() : 600;
        p.Land( p.Shoot( column, 0 ) );
        p.PlayOutTurn();
        EXPECT_EQ( p.match.GetQuietTurns(), turn < 10 ? turn : turn - 10 ) << turn;
    }
    EXPECT_EQ( p.match.GetOutcome(), Match::Playing );
    for ( int turn = 0; turn < 10 && p.match.GetOutcome() == Match::Playing; turn++ ) {
        p.Land( p.Shoot( 600, 0 ) );
        p.PlayOutTurn();
    }
    EXPECT_EQ( p.match.GetOutcome(), Match::Drawn );
    EXPECT_EQ( p.match.GetQuietTurns(), Match::QUIET_TURN_LIMIT );
    EXPECT_EQ( p.match.GetWinner(), Match::NO_PLAYER );
}

// An empty seat's tank is out from the match's start, unhurt by nothing and unseen; the
// matches are started in turn by the seats taken alone. Fewer than two seats taken would
// leave no match: everyone plays then.
TEST( PlayMatch, EmptySeatsAreOutFromTheStartAndNeverStartAMatch ) {
    struct Case {
        int seated[Match::MAX_PLAYERS];
        int starters[5]; // of matches 2 to 6
    };
    const Case cases[] = {
        { { 1, 1, 1, 1 }, { 1, 2, 3, 0, 1 } }, { { 0, 1, 1, 1 }, { 2, 3, 1, 2, 3 } },
        { { 1, 1, 1, 0 }, { 1, 2, 0, 1, 2 } }, { { 1, 0, 1, 1 }, { 2, 3, 0, 2, 3 } },
        { { 0, 1, 0, 1 }, { 3, 1, 3, 1, 3 } }, { { 1, 0, 0, 1 }, { 3, 0, 3, 0, 3 } },
        { { 0, 0, 1, 1 }, { 3, 2, 3, 2, 3 } }, { { 0, 0, 1, 0 }, { 1, 2, 3, 0, 1 } },
        { { 0, 0, 0, 0 }, { 1, 2, 3, 0, 1 } },
    };
    const int columns[Match::MAX_PLAYERS] = { 60, 200, 350, 500 };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << c.seated[0] << c.seated[1] << c.seated[2] << c.seated[3] );
        Play p( { 100, 300, 450, 600 }, 10 );
        int taken = 0;
        for ( int player = 0; player < Match::MAX_PLAYERS; player++ ) {
            p.match.SetSeated( player, c.seated[player] );
            taken += c.seated[player];
        }
        for ( int match = 0; match < 5; match++ ) {
            ASSERT_EQ( p.match.StartNew( p.world(), columns ), 1 );
            EXPECT_EQ( p.match.GetStarter(), c.starters[match] ) << "match " << match + 2;
            EXPECT_EQ( p.match.GetCurrentPlayer(), c.starters[match] ) << "match " << match + 2;
            for ( int player = 0; player < Match::MAX_PLAYERS; player++ ) {
                const int in = taken < 2 || c.seated[player];
                EXPECT_EQ( p.match.IsSeated( player ), in ) << player;
                EXPECT_EQ( p.match.IsInPlay( player ), in ) << player;
                EXPECT_EQ( p.match.GetHealth( player ), in ? 10 : 0 ) << player;
                EXPECT_EQ( p.tank( player )->GetState() == Tank::Out, !in ) << player;
            }
            EXPECT_EQ( p.match.GetNews(), Match::NoNews );
            EXPECT_EQ( p.match.GetOutcome(), Match::Playing );
        }
        // The turn goes round the seats taken only.
        const int first = p.match.GetCurrentPlayer();
        for ( int turn = 0; turn < 6; turn++ ) {
            const int from = p.match.GetCurrentPlayer();
            p.Land( p.Shoot( 280 ) ); // between two tanks, hurting neither
            p.PlayOutTurn();
            int next = ( from + 1 ) % Match::MAX_PLAYERS;
            while ( !p.match.IsSeated( next ) ) {
                next = ( next + 1 ) % Match::MAX_PLAYERS;
            }
            ASSERT_EQ( p.match.GetCurrentPlayer(), next ) << "turn " << turn << " from " << first;
        }
    }
}

TEST( PlayMatch, EachMatchIsStartedByTheNextPlayerAndTheScoresCountMatchesWon ) {
    Play p( { 100, 300, 450, 600 }, 10 );
    const int columns[Match::MAX_PLAYERS] = { 60, 200, 350, 500 };
    for ( int match = 1; match <= 6; match++ ) {
        EXPECT_EQ( p.match.GetMatchNumber(), match );
        EXPECT_EQ( p.match.GetStarter(), ( match - 1 ) % 4 );
        EXPECT_EQ( p.match.GetCurrentPlayer(), ( match - 1 ) % 4 );
        for ( int player = 0; player < 4; player++ ) {
            EXPECT_EQ( p.tank( player )->GetState() == Tank::Active, player == ( match - 1 ) % 4 ) << match;
            EXPECT_EQ( p.match.GetHealth( player ), 10 );
        }
        ASSERT_EQ( p.match.StartNew( p.world(), columns ), 1 );
    }
    // A won match scores one for its winner, and the score outlives the next match's start.
    for ( int player = 1; player < 4; player++ ) {
        Bomb *bomb = new Bomb( p.tank( player )->GetX(), 100, 0, 0, &g_bombSprite, &p.world() );
        p.world().AddBomb( bomb );
        p.Land( bomb );
    }
    ASSERT_EQ( p.match.GetOutcome(), Match::Won );
    EXPECT_EQ( p.match.GetWinner(), 0 );
    ASSERT_EQ( p.match.StartNew( p.world(), columns ), 1 );
    EXPECT_EQ( p.match.GetScore( 0 ), 1 );
    EXPECT_EQ( p.match.GetOutcome(), Match::Playing );
}

TEST( PlayStart, ColumnsAreSpacedOnGroundClearOfTheSidesForEverySeed ) {
    LandScene scene;
    Image land( 1280, 480 );
    land.Clear( GROUND );
    land.FillRect( 0, 0, 1279, GROUND_TOP - 1, 0 );
    // A chasm with no ground at all from 500 to 700.
    land.FillRect( 500, GROUND_TOP, 700, 479, 0 );
    BuildSprite( g_tankSprite, TANK_W, TANK_H, 5 );
    StartColumns columns;
    columns.SetLand( &land );
    for ( unsigned seed = 1; seed <= 300; seed++ ) {
        std::srand( seed );
        int chosen[TANK_PLACEMENT_COUNT];
        columns.Choose( 1280, chosen );
        for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
            EXPECT_GE( chosen[i], TANK_W ) << seed;
            EXPECT_LE( chosen[i] + TANK_W - 1, 1279 - TANK_W ) << seed;
            const int middle = chosen[i] + TANK_W / 2;
            EXPECT_TRUE( middle < 500 || middle > 700 ) << seed << " column " << chosen[i];
            for ( int j = 0; j < i; j++ ) {
                EXPECT_GE( std::abs( chosen[i] - chosen[j] ), 2 * TANK_W ) << seed;
            }
        }
    }
    // Exactly two widths apart is far enough; one less is not.
    const int taken[] = { 100 };
    EXPECT_EQ( StartColumns::IsFree( 100 + 2 * TANK_W, TANK_W, taken, 1 ), 1 );
    EXPECT_EQ( StartColumns::IsFree( 100 - 2 * TANK_W, TANK_W, taken, 1 ), 1 );
    EXPECT_EQ( StartColumns::IsFree( 100 + 2 * TANK_W - 1, TANK_W, taken, 1 ), 0 );
    // A land just wide enough for the four: they are spread evenly.
    const int tight = 3 * TANK_W + 3 * 2 * TANK_W;
    Image narrow( tight, 480 );
    narrow.Clear( GROUND );
    columns.SetLand( &narrow );
    int spread[TANK_PLACEMENT_COUNT];
    columns.Choose( tight, spread );
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        EXPECT_GE( spread[i], TANK_W );
        EXPECT_LE( spread[i] + TANK_W - 1, tight - 1 - TANK_W );
    }
}

TEST( PlayStart, TanksStartOnTheGroundAndTheFirstCanFireWithinASecond ) {
    Play p( { 100, 300 } );
    const int columns[Match::MAX_PLAYERS] = { 60, 200, 350, 500 };
    ASSERT_EQ( p.match.StartNew( p.world(), columns ), 1 );
    for ( int player = 0; player < 4; player++ ) {
        EXPECT_EQ( p.tank( player )->GetY(), GROUND_TOP - TANK_H - 1 ) << player;
    }
    // The second match is the second player's: Space held and let go within 60 updates fires.
    p.keys[DIK_SPACE] = 0x80;
    int frame = 0;
    for ( ; frame < 60 && p.world().GetBombs()->GetAdded() == 0; frame++ ) {
        p.keys[DIK_SPACE] = frame < 40 ? 0x80 : 0;
        p.Frame();
    }
    EXPECT_EQ( p.world().GetBombs()->GetAdded(), 1 );
    EXPECT_LT( frame, 60 );
    for ( int player = 0; player < 4; player++ ) {
        EXPECT_EQ( p.tank( player )->GetY(), GROUND_TOP - TANK_H ) << player;
        EXPECT_NE( p.tank( player )->GetState(), Tank::Falling ) << player;
    }
}

TEST( PlayCamera, FollowsTheBombSmoothlyWithinTheLandAndComesBackToTheNextTank ) {
    Image land( 1280, 960 );
    land.Clear( GROUND );
    land.FillRect( 0, 0, 1279, 699, 0 );
    Play p( { 100, 1100 }, Match::DEFAULT_HEALTH, &land );
    p.match.MoveCamera( p.world() );
    EXPECT_EQ( p.world().GetCameraX(), 0 );
    EXPECT_EQ( p.world().GetCameraY(), 690 - 240 );
    // A shot from the first tank high and to the right, landing some 900 columns on.
    Bomb *bomb = new Bomb( p.tank( 0 )->GetX(), p.tank( 0 )->GetY(), 45, 300, &g_bombSprite, &p.world() );
    p.world().AddBomb( bomb );
    p.tank( 0 )->SetState( Tank::Idle );
    int frames = 0;
    int closest = 1 << 30;
    while ( bomb->GetState() == Bomb::Flying && frames < 2000 ) {
        const int beforeX = p.world().GetCameraX();
        const int beforeY = p.world().GetCameraY();
        p.match.MoveCamera( p.world() );
        const int x = p.world().GetCameraX();
        const int y = p.world().GetCameraY();
        // Never a jump: an eighth of the way, and within the land.
        ASSERT_LE( std::abs( x - beforeX ), 640 / 8 + 1 ) << frames;
        ASSERT_LE( std::abs( y - beforeY ), 480 / 8 + 1 ) << frames;
        ASSERT_TRUE( x >= 0 && x <= 640 && y >= 0 && y <= 480 ) << frames;
        const int dx = bomb->GetX() - ( x + 320 );
        if ( frames > 60 && bomb->GetY() > 240 && std::abs( dx ) < closest ) {
            closest = std::abs( dx );
        }
        p.Frame();
        frames++;
    }
    // The bomb came down at the far side: the camera got there with it.
    ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
    EXPECT_GT( bomb->GetX(), 800 );
    EXPECT_LT( closest, 60 );
    EXPECT_GT( p.world().GetCameraX(), 400 );
    // The crater stays in view while it is shown; then the camera goes to the next tank.
    const int craterX = p.world().GetCameraX();
    for ( int frame = 0; frame < Match::SETTLE_FRAMES - 1; frame++ ) {
        p.match.MoveCamera( p.world() );
        p.Frame();
        EXPECT_LE( std::abs( p.world().GetCameraX() - craterX ), 40 ) << frame;
    }
    p.PlayOutTurn();
    EXPECT_EQ( p.match.GetCurrentPlayer(), 1 );
    for ( int frame = 0; frame < 120; frame++ ) {
        p.match.MoveCamera( p.world() );
    }
    EXPECT_EQ( p.world().GetCameraX(), 640 );
    EXPECT_EQ( p.world().GetCameraY(), 690 - 240 );
}

TEST( PlayDrawing, ATankFacingLeftIsDrawnMirroredAndUpright ) {
    Play p( { 100, 300 } );
    p.keys[DIK_LEFT] = 0x80;
    p.Frame();
    p.keys[DIK_LEFT] = 0;
    Tank &tank = *p.tank( 0 );
    ASSERT_EQ( tank.GetBodyAngle(), 180 );
    Image picture( TANK_W, TANK_H );
    picture.Clear( 5 );
    picture.FillRect( 0, TANK_H - 2, 2, TANK_H - 1, 0 );
    Sprite mirrored;
    mirrored.Build( picture, picture.GetBounds(), 0 );
    const Rect box( tank.GetX(), tank.GetY(), tank.GetX() + TANK_W - 1, tank.GetY() + TANK_H - 1 );
    Image reference( 640, 480 );
    reference.Clear( 0 );
    mirrored.DrawRotated( reference, tank.GetX(), tank.GetY(), TANK_W >> 1, TANK_H >> 1, 0, g_trigTable );
    Image screen( 640, 480 );
    screen.Clear( 0 );
    tank.Draw( screen );
    EXPECT_EQ( Checksum( screen, box ), Checksum( reference, box ) );
    // The designed drawing turns it upside down instead.
    g_gameRules.mirrorLeftFacingTanks = 0;
    screen.Clear( 0 );
    tank.Draw( screen );
    EXPECT_NE( Checksum( screen, box ), Checksum( reference, box ) );
}

TEST( PlayRules, ElevationIsAboveTheHorizonOnTheSideTheBarrelPoints ) {
    struct Case {
        int direction;
        int elevation;
        int left;
    };
    const Case cases[] = { { 30, 30, 0 },   { 0, 0, 0 },     { 90, 90, 0 },    { 91, 89, 1 },
                           { 150, 30, 1 },  { 180, 0, 1 },   { 190, -10, 1 },  { -10, -10, 0 },
                           { 350, -10, 0 }, { 210, -30, 1 }, { -170, -10, 1 }, { 405, 45, 0 } };
    for ( const Case &c : cases ) {
        EXPECT_EQ( Match::Elevation( c.direction ), c.elevation ) << c.direction;
        EXPECT_EQ( Match::PointsLeft( c.direction ), c.left ) << c.direction;
    }
}

TEST( PlayRules, SpentBombsLeaveTheListAndAreNotDrawn ) {
    Play p( { 100, 300 } );
    Bomb *bomb = p.Shoot( 500 );
    while ( bomb->GetState() == Bomb::Flying ) {
        p.Frame();
    }
    // In the update it landed it is still in the list, for whoever watches, but not drawn: the
    // frame is the one drawn once it has gone, and not the designed one that draws it.
    EXPECT_EQ( p.world().GetBombs()->GetCount(), 1 );
    auto frameChecksum = [&p]() {
        std::srand( 1 ); // the probe pixels' colours
        p.world().Draw( p.scene.display );
        Image &back = p.scene.display.LockBackBuffer();
        const uint32_t sum = Checksum( back, Rect( 0, 0, 639, 479 ) );
        p.scene.display.UnlockBackBuffer();
        return sum;
    };
    const uint32_t landed = frameChecksum();
    g_gameRules.removeSpentBombs = 0;
    const uint32_t designed = frameChecksum();
    g_gameRules.removeSpentBombs = 1;
    EXPECT_NE( designed, landed );
    p.Frame();
    EXPECT_EQ( p.world().GetBombs()->GetCount(), 0 );
    EXPECT_EQ( frameChecksum(), landed );
    EXPECT_EQ( p.world().GetBombs()->GetAdded(), 1 );
    // Many shots later the list holds none of them.
    for ( int shot = 0; shot < 50; shot++ ) {
        p.PlayOutTurn();
        p.Land( p.Shoot( 500 + shot ) );
        EXPECT_LE( p.world().GetBombs()->GetCount(), 1 );
    }
    p.Frame();
    EXPECT_EQ( p.world().GetBombs()->GetCount(), 0 );
}

TEST( PlayRules, TheDesignedRulesAreEveryDefaultSwitch ) {
    UseDefaultRules( nullptr, 1 );
    EXPECT_EQ( g_gameRules.rulesPassTurn, 1 );
    EXPECT_NE( GetTankColumnSource(), nullptr );
    UseDesignedRules();
    const GameRules designed;
    EXPECT_EQ( g_gameRules.onlyCurrentTankReadsKeys, designed.onlyCurrentTankReadsKeys );
    EXPECT_EQ( g_gameRules.rulesPassTurn, 0 );
    EXPECT_EQ( g_gameRules.mirrorLeftFacingTanks, 0 );
    EXPECT_EQ( g_gameRules.chargePerFrame, 1 );
    EXPECT_EQ( g_gameRules.removeSpentBombs, 0 );
    EXPECT_EQ( g_gameRules.tanksStartOnGround, 0 );
    EXPECT_EQ( g_gameRules.openLandEdges, 0 );
    EXPECT_EQ( GetTankColumnSource(), nullptr );
}

// A game nobody sees (a referee) skips the drawing but must take the very random numbers the
// drawing takes: one probe colour for each tank drawn, none for a tank out of the match, none
// for a bomb, spent or flying.
TEST( PlayUnseen, SkippingTheDrawingTakesOneRandomNumberForEachTankDrawn ) {
    struct Case {
        std::vector<int> outPlayers;
        int flyingBomb;
        int drawn;
    } cases[] = {
        { {}, 0, 4 }, { { 0 }, 0, 3 }, { { 3 }, 1, 3 }, { { 0, 1, 2, 3 }, 1, 0 }, { { 1, 2 }, 1, 2 },
    };
    for ( const Case &c : cases ) {
        Play p( { 60, 200, 350, 500 } );
        if ( c.flyingBomb ) {
            p.Shoot( 600 ); // before the tanks go out: the shot leaves the shooter idle
        }
        for ( int player : c.outPlayers ) {
            p.tank( player )->SetState( Tank::Out );
        }
        std::srand( 7 );
        for ( int i = 0; i < c.drawn; i++ ) {
            std::rand();
        }
        const int afterDrawn = std::rand();
        std::srand( 7 );
        p.world().Draw( p.scene.display );
        EXPECT_EQ( std::rand(), afterDrawn ) << c.drawn << " drawn";
        std::srand( 7 );
        p.world().SkipDraw();
        EXPECT_EQ( std::rand(), afterDrawn ) << c.drawn << " skipped";
    }
}

// A World nobody sees plays on the picture it is given, where it lies, with no tiles to show.
TEST( PlayUnseen, AnUnseenWorldTakesItsLandWhereItLiesAndMakesNoTiles ) {
    Display display;
    ASSERT_EQ( 1, display.InitUnseen( 640, 480 ) );
    EXPECT_EQ( nullptr, display.LockBackBuffer().GetPixels() );
    display.UnlockBackBuffer();
    EXPECT_EQ( 0, display.InitUnseen( 0, 480 ) );
    World world;
    Image *land = new Image( 1280, 960 );
    const uint8_t *pixels = land->GetPixels();
    ASSERT_EQ( 1, world.LoadUnseen( &display, land ) );
    EXPECT_EQ( pixels, world.GetLandImage()->GetPixels() );
    EXPECT_EQ( 0, world.GetLand()->GetRows() );
    world.SetCameraX( 5000 );
    world.SetCameraY( -3 );
    EXPECT_EQ( 1280 - 640, world.GetCameraX() );
    EXPECT_EQ( 0, world.GetCameraY() );
    world.Carve( 100, 100, 10, 10 );
    world.RefillTiles();
    EXPECT_EQ( 0, world.GetLandImage()->GetPixels()[100 * 1280 + 100] );
    // Drawn by mistake, it draws nothing and takes what skipping the drawing takes.
    BuildSprite( g_tankSprite, TANK_W, TANK_H, 5 );
    Tank *tank = new Tank( 300, 100, &g_tankSprite, &world );
    world.AddTank( tank );
    std::srand( 7 );
    std::rand();
    const int afterOneTank = std::rand();
    std::srand( 7 );
    world.Draw( display );
    EXPECT_EQ( afterOneTank, std::rand() );
    world.GetTanks()->DeleteEntities();
    Display none;
    EXPECT_EQ( 0, world.LoadUnseen( &none, new Image( 1280, 960 ) ) );
    EXPECT_EQ( 0, world.LoadUnseen( &display, nullptr ) );
    EXPECT_EQ( pixels, world.GetLandImage()->GetPixels() );
}

namespace {

// A picture of whole pages, one row a page, so that a page written is a row written; pages
// can then be made read-only to catch a write.
class PageRows {
public:
    PageRows( int rows ) : page( int( sysconf( _SC_PAGESIZE ) ) ), rows( rows ) {
        void *made = mmap( nullptr, size_t( page ) * size_t( rows ), PROT_READ | PROT_WRITE,
                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0 );
        memory = made != MAP_FAILED ? static_cast<uint8_t *>( made ) : nullptr;
    }
    ~PageRows() {
        if ( memory != nullptr ) {
            munmap( memory, size_t( page ) * size_t( rows ) );
        }
    }
    // An Image over the pages, not owning them.
    Image *View() const {
        Image *image = new Image;
        image->SetPixels( memory );
        image->SetWidth( page );
        image->SetHeight( rows );
        image->SetPitch( page );
        image->SetClipRect( image->GetBounds() );
        return image;
    }
    void ReadOnlyBut( int firstRow, int lastRow ) {
        for ( int row = 0; row < rows; row++ ) {
            const int writable = row >= firstRow && row <= lastRow;
            mprotect( memory + size_t( row ) * size_t( page ), size_t( page ),
                      writable ? PROT_READ | PROT_WRITE : PROT_READ );
        }
    }
    int page;
    int rows;
    uint8_t *memory;
};

} // namespace

// The match's start land kept elsewhere (the land every room's referee shares) is only read,
// and putting the land back writes the rows a match changed and not one row more: a row
// written with the bytes it holds is a page no longer shared.
TEST( PlayUnseen, PuttingTheLandBackWritesOnlyTheRowsTheMatchChanged ) {
    const int rows = 48;
    struct Case {
        int firstRow;
        int lastRow; // -1: nothing changed
    } cases[] = { { 0, -1 }, { 0, 0 }, { rows - 1, rows - 1 }, { 20, 27 }, { 0, rows - 1 } };
    for ( const Case &c : cases ) {
        PageRows start( rows );
        PageRows played( rows );
        ASSERT_NE( nullptr, start.memory );
        ASSERT_NE( nullptr, played.memory );
        for ( int row = 0; row < rows; row++ ) {
            const int ground = row >= 16 ? 7 : 0;
            std::memset( start.memory + size_t( row ) * size_t( start.page ), ground, size_t( start.page ) );
        }
        std::memcpy( played.memory, start.memory, size_t( start.page ) * size_t( rows ) );
        for ( int row = c.firstRow; row <= c.lastRow; row++ ) {
            played.memory[size_t( row ) * size_t( played.page ) + size_t( row )] ^= 0x55;
        }
        Display display;
        ASSERT_EQ( 1, display.InitUnseen( 640, 8 ) );
        World world;
        ASSERT_EQ( 1, world.LoadUnseen( &display, played.View() ) );
        std::unique_ptr<Image> startView( start.View() );
        Match match;
        match.KeepStartLandIn( startView.get() );
        EXPECT_EXIT(
            {
                start.ReadOnlyBut( 0, -1 );
                played.ReadOnlyBut( c.firstRow, c.lastRow );
                match.PutLandBack( world );
                const size_t bytes = size_t( start.page ) * size_t( rows );
                std::exit( std::memcmp( played.memory, start.memory, bytes ) == 0 ? 0 : 1 );
            },
            ::testing::ExitedWithCode( 0 ), "" )
            << "rows " << c.firstRow << " to " << c.lastRow;
    }
}
