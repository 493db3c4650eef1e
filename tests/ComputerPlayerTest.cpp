#include "ai/AimSearch.h"
#include "ai/ComputerPlayers.h"
#include "ai/ShotForecast.h"
#include "ai/ShotPlanner.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/HostTypes.h"
#include "platform/Keyboard.h"
#include "play/Arsenal.h"
#include "play/DefaultRules.h"
#include "play/Match.h"
#include "play/Wind.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const uint8_t GROUND = 3;
const int GROUND_TOP = 700;
// The bundled pictures' sizes: the tank is 35 x 20, the bomb 10 x 10.
const int TANK_W = 35;
const int TANK_H = 20;
const int BOMB_SIZE = 10;
// The tanks drop in from above the highest hill a test draws.
const int DROP_FROM = GROUND_TOP - 200;

// The game's 1280 x 960 land, flat at GROUND_TOP, optionally with a hill of the given
// height whose foot is `hillHalfWidth` either side of column `hillX`.
void FlatLand( Image &land, int hillX = 0, int hillHalfWidth = 0, int hillHeight = 0 ) {
    land.Clear( 0 );
    land.FillRect( 0, GROUND_TOP, 1279, 959, GROUND );
    if ( hillHeight > 0 ) {
        land.FillEllipse( hillX, GROUND_TOP, hillHalfWidth, hillHeight, GROUND );
    }
}

uint32_t Checksum( const Image &image ) {
    uint32_t hash = 2166136261u;
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

// A World with tanks standing on the test's land, in list order, played by `players`; the
// keyboard holds whatever the test puts in `keyboard`.
class Field {
public:
    Field() {
        Image tankPicture( TANK_W, TANK_H );
        tankPicture.Clear( 5 );
        tankSprite.Build( tankPicture, tankPicture.GetBounds(), 0 );
        Image bombPicture( BOMB_SIZE, BOMB_SIZE );
        bombPicture.Clear( 9 );
        g_bombSprite.Build( bombPicture, bombPicture.GetBounds(), 0 );
        std::memset( keyboard, 0, sizeof( keyboard ) );
    }

    // Drops a tank at each column onto the land and lets them come to rest.
    void Start( const std::vector<int> &columns, int people, int level, int withWeapons = 0 ) {
        ASSERT_EQ( scene.Load( land ), 1 );
        for ( int column : columns ) {
            Tank *tank = new Tank( column, DROP_FROM, &tankSprite, &scene.world );
            scene.world.AddTank( tank );
            tanks.push_back( tank );
        }
        EntityNode *node;
        scene.world.SetCurrentTank( scene.world.GetTanks()->First( node ) );
        for ( int i = 0; i < GROUND_TOP - DROP_FROM; i++ ) {
            g_keyState = nullptr;
            scene.world.Update();
        }
        players.Create( &scene.world, people, level );
        weapons = withWeapons;
        players.SetArsenal( weapons ? &arsenal : nullptr );
    }

    ~Field() {
        scene.world.GetTanks()->DeleteEntities();
        scene.world.GetBombs()->DeleteEntities();
        g_keyState = nullptr;
    }

    // One frame as the game runs it: the key sources, then the update.
    uint8_t *Frame() {
        uint8_t *keys = players.Keys( keyboard );
        g_keyState = keys;
        if ( weapons ) {
            arsenal.BeforeUpdate( scene.world, keys );
        }
        scene.world.Update();
        if ( weapons ) {
            arsenal.AfterUpdate( scene.world );
        }
        return keys;
    }

    // Runs frames until the next bomb has come down (or `limit` frames); the bomb, or null.
    // A person's turn is passed on at once, as if the person had fired elsewhere.
    Bomb *NextShot( int limit = 2000 ) {
        const int before = scene.world.GetBombs()->GetCount();
        for ( int i = 0; i < limit; i++ ) {
            Tank *current = static_cast<Tank *>( scene.world.GetCurrentTank() );
            if ( current->GetState() == Tank::Active && !players.IsComputer( SeatOf( current ) ) ) {
                current->SetState( Tank::Idle );
            }
            Frame();
            if ( scene.world.GetBombs()->GetCount() > before ) {
                EntityNode *node;
                Bomb *bomb = static_cast<Bomb *>( scene.world.GetBombs()->First( node ) );
                bomb = static_cast<Bomb *>( scene.world.GetBombs()->Next( node, before ) );
                while ( bomb->GetState() == Bomb::Flying ) {
                    Frame();
                }
                return bomb;
            }
        }
        return nullptr;
    }

    int SeatOf( const Tank *tank ) const {
        for ( size_t i = 0; i < tanks.size(); i++ ) {
            if ( tanks[i] == tank ) {
                return int( i );
            }
        }
        return -1;
    }

    // How far the crater's centre lies beside the tank picture, in columns (0 within it).
    static int Beside( const Bomb &bomb, const Tank &tank ) {
        if ( bomb.GetX() < tank.GetX() ) {
            return tank.GetX() - bomb.GetX();
        }
        return bomb.GetX() > tank.GetX() + TANK_W - 1 ? bomb.GetX() - ( tank.GetX() + TANK_W - 1 ) : 0;
    }

    Image land{ 1280, 960 };
    LandScene scene;
    Sprite tankSprite;
    std::vector<Tank *> tanks;
    ComputerPlayers players;
    Arsenal arsenal;
    int weapons = 0; // the computer chooses its weapons from `arsenal`
    uint8_t keyboard[256];
};

} // namespace

// The forecast flies the same steps as the bomb: the same crater after the same number of
// updates, and the same verdict for a bomb that leaves play, over a hill and flat land.
TEST( ComputerAim, ForecastAgreesWithTheBombToThePixelAndTheUpdate ) {
    Field field;
    LandScene &scene = field.scene;
    FlatLand( field.land, 640, 120, 250 );
    field.Start( {}, 0, AimSearch::Hard );
    struct Case {
        int x, y, angle, power;
    } cases[] = {
        { 200, 670, 45, 300 },  { 200, 670, 30, 180 },  { 1000, 670, 150, 260 }, { 300, 600, 75, 500 },
        { 100, 670, -10, 400 }, { 600, 300, 180, 120 }, { 1200, 670, 20, 500 },  { 400, 670, 45, 0 },
        { 40, 300, 170, 500 },  { 640, 670, 90, 500 }, // out at the left; up past the top and back
    };
    ShotForecast forecast;
    forecast.Init( scene.world.GetLandImage(), BOMB_SIZE, BOMB_SIZE );
    for ( const Case &c : cases ) {
        const int strikes = forecast.Fly( c.x, c.y, c.angle, c.power );
        Bomb bomb( c.x, c.y, c.angle, c.power, &g_bombSprite, &scene.world );
        int updates = 0;
        while ( bomb.GetState() == Bomb::Flying && updates < ShotForecast::MAX_UPDATES ) {
            bomb.Update();
            updates++;
        }
        SCOPED_TRACE( testing::Message() << "angle " << c.angle << " power " << c.power );
        ASSERT_EQ( strikes, bomb.GetState() == Bomb::Exploded ? 1 : 0 );
        // A flight out of play is counted to its last update too: the thinking is shared out by it.
        EXPECT_EQ( forecast.GetUpdates(), updates );
        if ( strikes ) {
            EXPECT_EQ( forecast.GetCraterX(), bomb.GetX() );
            EXPECT_EQ( forecast.GetCraterY(), bomb.GetY() );
        }
    }
}

// A hard computer hits with its first shot a tank 300 columns away on flat land, either way,
// and one behind a hill that stops every low shot; also when a crater has just opened under
// its own tank, which falls while it thinks; and from the bottom of a pit that no shot
// leaves, where it first drives to the wall, which tilts it up. The crater is the one it
// foresaw, and the ground under the target's middle is blown away.
TEST( ComputerAim, HardHitsWithItsFirstShotOnFlatLandAndOverAHill ) {
    struct Case {
        int hillHeight;
        int shooter, target;
        int craterUnderShooter;
        int pit;
    } cases[] = { { 0, 300, 600, 0, 0 },
                  { 80, 420, 820, 0, 0 },
                  { 0, 900, 600, 0, 0 },
                  { 0, 900, 600, 1, 0 },
                  { 0, 300, 600, 0, 1 } };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message()
                      << "hill " << c.hillHeight << " from " << c.shooter << " pit " << c.pit );
        Field field;
        FlatLand( field.land, ( c.shooter + c.target ) / 2, 60, c.hillHeight );
        if ( c.pit ) {
            // 150 rows deep, its right wall 30 columns from the tank's middle.
            field.land.FillRect( c.shooter - 10, GROUND_TOP, c.shooter + TANK_W / 2 + 30, GROUND_TOP + 149,
                                 0 );
        }
        field.Start( { c.target, c.shooter }, 1, AimSearch::Hard );
        Image &land = *field.scene.world.GetLandImage();
        if ( c.craterUnderShooter ) {
            // As a bomb exploding in the update that gave it the turn.
            field.tanks[0]->SetState( Tank::Idle );
            field.Frame();
            land.FillEllipse( c.shooter + TANK_W / 2, GROUND_TOP, Bomb::CRATER_RX, 12, 0 );
        }
        const Tank &target = *field.tanks[0];
        const int probeX = target.GetX() + TANK_W / 2;
        const int probeY = target.GetY() + TANK_H;
        const Bomb *bomb = field.NextShot();
        ASSERT_NE( bomb, nullptr );
        EXPECT_EQ( bomb->GetState(), Bomb::Exploded );
        // Where it aimed from is where it fired from: the crater is the one foreseen.
        EXPECT_EQ( bomb->GetX(), field.players.GetPlayer( 1 ).GetPlan().craterX );
        EXPECT_EQ( bomb->GetY(), field.players.GetPlayer( 1 ).GetPlan().craterY );
        EXPECT_EQ( Field::Beside( *bomb, target ), 0 );
        EXPECT_EQ( land.GetPixels()[probeY * land.GetPitch() + probeX], 0 );
        if ( c.pit ) {
            EXPECT_GT( field.tanks[1]->GetX(), c.shooter ); // it drove toward the target first
        }
    }
}

// Easy misses its first shot at a tank 300 columns away; with each shot at the same target
// the same error shrinks, and the crater closes in until it covers the target.
TEST( ComputerAim, EasyMissesFirstAndItsErrorShrinksWithEveryShot ) {
    Field field;
    FlatLand( field.land );
    field.Start( { 300, 600 }, 1, AimSearch::Easy );
    const Tank &target = *field.tanks[0];
    const Bomb *first = field.NextShot();
    ASSERT_NE( first, nullptr );
    EXPECT_GT( Field::Beside( *first, target ), Bomb::CRATER_RX );

    AimSearch search;
    search.Init( field.scene.world.GetLandImage(), BOMB_SIZE, BOMB_SIZE, TANK_W, TANK_H );
    const Tank &shooter = *field.tanks[1];
    const Shot best = search.Search( 900, shooter.GetY(), 0, target.GetX(), target.GetY() );
    ASSERT_TRUE( best.covers );
    int lastMiss = 1 << 30;
    Shot spoilt;
    for ( int shots = 0; shots < 6; shots++ ) {
        spoilt = search.Spoil( best, AimSearch::Easy, shots, 12345, 900, shooter.GetY(), 0, target.GetX(),
                               target.GetY() );
        const int miss = std::abs( spoilt.craterX - best.craterX );
        EXPECT_LE( miss, lastMiss ) << "after " << shots << " shots";
        lastMiss = miss;
        if ( shots == 0 ) {
            EXPECT_FALSE( spoilt.covers );
        }
    }
    EXPECT_TRUE( spoilt.covers );
}

// In its turn the computer presses nothing for the thinking pause, then one game key at a
// time; every other key is the keyboard's, the arrows and Space a person holds are not
// passed on, and nothing of the land or the other tank changes until its bomb is out.
TEST( ComputerTurn, PressesOnlyTheGameKeysAndTouchesNothingUntilItsBombFlies ) {
    Field field;
    FlatLand( field.land );
    field.Start( { 300, 700 }, 1, AimSearch::Hard );
    Tank &person = *field.tanks[0];
    person.SetState( Tank::Idle );
    field.keyboard[DIK_ESCAPE] = 0x80;
    field.keyboard[DIK_RIGHT] = 0x80;
    field.keyboard[DIK_SPACE] = 0x80;
    const uint32_t land = Checksum( *field.scene.world.GetLandImage() );
    const int gameKeys[] = { DIK_SPACE, DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT };
    int frame = 0, firstPress = -1;
    while ( field.scene.world.GetBombs()->GetCount() == 0 && frame < 1000 ) {
        const uint8_t *keys = field.Frame();
        int pressed = 0;
        for ( int key = 0; key < 256; key++ ) {
            int isGameKey = 0;
            for ( int gameKey : gameKeys ) {
                isGameKey |= key == gameKey;
            }
            if ( isGameKey ) {
                pressed += keys[key] != 0;
            } else {
                ASSERT_EQ( keys[key], field.keyboard[key] ) << "key " << key;
            }
        }
        ASSERT_LE( pressed, 1 ) << "frame " << frame;
        if ( pressed && firstPress < 0 ) {
            firstPress = frame;
        }
        frame++;
    }
    // The bomb has taken its first step, at the launch point above the ground.
    ASSERT_EQ( field.scene.world.GetBombs()->GetCount(), 1 );
    EXPECT_EQ( Checksum( *field.scene.world.GetLandImage() ), land );
    // The turn passes in the first frame; then it thinks for half a second.
    EXPECT_GE( firstPress, ComputerPlayer::THINKING_UPDATES );
    EXPECT_LE( firstPress, ComputerPlayer::THINKING_UPDATES + 2 );
    EXPECT_EQ( person.GetX(), 300 );
    EXPECT_EQ( person.GetState(), Tank::Idle );
}

// Four computer players on rolling land play a match to a winner at every level, within a
// bound a person would sit through; with nobody at the keyboard the winner's banner stands a
// while, then the computer presses Enter for the next match.
TEST( ComputerMatch, FourComputersPlayToAWinnerThenStartTheNextMatch ) {
    UseDefaultRules( nullptr, 1 );
    struct Case {
        int level;
        int frameBound;
    } cases[] = { { AimSearch::Easy, 25000 }, { AimSearch::Normal, 15000 }, { AimSearch::Hard, 10000 } };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << "level " << c.level );
        Field field;
        FlatLand( field.land, 640, 150, 120 );
        field.land.FillEllipse( 200, GROUND_TOP, 120, 60, GROUND );
        field.Start( { 100, 450, 800, 1150 }, 0, c.level );
        Match match;
        ASSERT_EQ( match.Init( field.scene.world, 2 ), 1 );
        int frame = 0;
        for ( ; frame < c.frameBound && match.GetOutcome() == Match::Playing; frame++ ) {
            g_keyState = field.players.Keys( nullptr, 0 );
            field.scene.world.Update();
            match.Observe();
        }
        ASSERT_NE( match.GetOutcome(), Match::Playing ) << "after " << frame << " frames";
        if ( match.GetOutcome() == Match::Won ) {
            EXPECT_EQ( match.GetScore( match.GetWinner() ), 1 );
        }
        for ( int banner = 1; banner <= ComputerPlayers::DEMO_BANNER_UPDATES; banner++ ) {
            const uint8_t *keys = field.players.Keys( nullptr, 1 );
            ASSERT_EQ( keys != nullptr && keys[DIK_RETURN] != 0,
                       banner == ComputerPlayers::DEMO_BANNER_UPDATES );
        }
    }
    UseDesignedRules();
}

// A tank out of the match is no target, however near: the computer aims past it at the next.
TEST( ComputerMatch, ATankOutOfTheMatchIsNoTarget ) {
    UseDefaultRules( nullptr, 1 );
    for ( int out : { 0, 1 } ) {
        Field field;
        FlatLand( field.land, 640, 150, 120 );
        field.Start( { 100, 250, 700 }, 0, AimSearch::Hard );
        if ( out ) {
            field.tanks[1]->SetState( Tank::Out );
        }
        for ( int frame = 0; frame < 200 && field.players.GetPlayer( 0 ).GetTarget() == nullptr; frame++ ) {
            field.Frame();
        }
        EXPECT_EQ( field.players.GetPlayer( 0 ).GetTarget(), field.tanks[out ? 2 : 1] ) << out;
    }
    UseDesignedRules();
}

// Each row: a crater's centre beside one side of a tank's box, at the crater's reach and one
// pixel past it, and whether it reaches the tank. The tank is 35 x 20 at (100, 200).
TEST( ComputerAim, ACraterReachesATankUpToItsRimAndNoFurther ) {
    AimSearch search;
    search.Init( nullptr, BOMB_SIZE, BOMB_SIZE, TANK_W, TANK_H );
    const int rx = Bomb::CRATER_RX, ry = Bomb::CRATER_RY;
    const int left = 100, top = 200, right = left + TANK_W - 1, bottom = top + TANK_H - 1;
    struct Case {
        int x, y;
        int reaches;
    } cases[] = {
        { left - rx, top + 5, 1 },
        { left - rx - 1, top + 5, 0 },
        { right + rx, top + 5, 1 },
        { right + rx + 1, top + 5, 0 },
        { left + 10, top - ry, 1 },
        { left + 10, top - ry - 1, 0 },
        { left + 10, bottom + ry, 1 },
        { left + 10, bottom + ry + 1, 0 },
        { left + 17, top + 10, 1 },
        // Past a corner the ellipse is narrower than the box's sides: (30, 18) from the
        // corner is inside, (30, 25) is not.
        { right + 30, bottom + 18, 1 },
        { right + 30, bottom + 25, 0 },
        { left - 30, top - 18, 1 },
        { left - 30, top - 25, 0 },
    };
    for ( const Case &c : cases ) {
        EXPECT_EQ( search.CraterReaches( c.x, c.y, left, top ), c.reaches ) << c.x << ", " << c.y;
    }
}

// Each row: the number of people asked for and the seats the computer plays; fewer than none
// is none and more than four is four.
TEST( ComputerTurn, ThePeopleTakeTheFirstSeatsAndTheComputerTheRest ) {
    struct Case {
        int people;
        int seated;
        const char *computers; // seat by seat
    } cases[] = { { -1, 0, "1111" }, { 0, 0, "1111" }, { 1, 1, "0111" },
                  { 3, 3, "0001" },  { 4, 4, "0000" }, { 5, 4, "0000" } };
    for ( const Case &c : cases ) {
        ComputerPlayers players;
        players.Create( nullptr, c.people, AimSearch::Hard );
        EXPECT_EQ( players.GetPeople(), c.seated ) << c.people;
        std::string computers;
        for ( int seat = 0; seat < ComputerPlayers::SEATS; seat++ ) {
            computers += char( '0' + players.IsComputer( seat ) );
        }
        EXPECT_EQ( computers, c.computers ) << c.people;
    }
}

// Each row: the tanks' columns in list order, the people among them, and whom the first
// computer to play aims at: people before the computer's tanks, the nearest first, and of
// two as near the one earlier in the list. A hard computer hits whom it aims at.
TEST( ComputerTurn, ItAimsAtPeopleFirstThenTheNearestAndOfEquallyNearTheEarlier ) {
    struct Case {
        std::vector<int> columns;
        int people;
        int shooter, target; // seats
    } cases[] = {
        { { 600, 300, 900 }, 0, 0, 1 },  // as near either way: the earlier
        { { 600, 900, 300 }, 0, 0, 1 },  // the same, mirrored
        { { 600, 300, 1000 }, 0, 0, 1 }, // the nearer
        { { 600, 1000, 300 }, 0, 0, 2 },
        { { 900, 600, 450 }, 1, 1, 0 }, // the person, though further than the computer's tank
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << "shooter at " << c.columns[c.shooter] << " people " << c.people );
        Field field;
        FlatLand( field.land );
        field.Start( c.columns, c.people, AimSearch::Hard );
        const Bomb *bomb = field.NextShot();
        ASSERT_NE( bomb, nullptr );
        EXPECT_EQ( field.players.GetPlayer( c.shooter ).GetTarget(), field.tanks[c.target] );
        EXPECT_EQ( Field::Beside( *bomb, *field.tanks[c.target] ), 0 );
    }
}

// A person shut in a chamber no crater reaches is passed over for the next target in order,
// which the computer hits at once rather than driving.
TEST( ComputerTurn, ATargetNoShotReachesIsPassedOverForTheNext ) {
    Field field;
    FlatLand( field.land );
    field.Start( { 300, 700, 1000 }, 1, AimSearch::Hard );
    Image &land = *field.scene.world.GetLandImage();
    // Walls and a roof 70 pixels thick round the person's tank, more than a crater's reach.
    land.FillRect( 300 - 80, GROUND_TOP - 100, 300 + TANK_W + 80, GROUND_TOP - 1, GROUND );
    land.FillRect( 300 - 10, GROUND_TOP - 30, 300 + TANK_W + 10, GROUND_TOP - 1, 0 );
    const Bomb *bomb = field.NextShot();
    ASSERT_NE( bomb, nullptr );
    EXPECT_EQ( field.tanks[1]->GetX(), 700 ); // it did not drive
    EXPECT_EQ( field.players.GetPlayer( 1 ).GetTarget(), field.tanks[2] );
    EXPECT_EQ( Field::Beside( *bomb, *field.tanks[2] ), 0 );
}

// In wind and for every weapon the forecast still flies the bomb's own steps: the same place
// where it goes off (a digger at the end of its boring) after the same updates, or the same
// verdict that it leaves play; the strongest winds either way and none.
TEST( ComputerAim, ForecastAgreesWithTheBombInEveryWindAndForEveryWeapon ) {
    Field field;
    FlatLand( field.land, 640, 120, 250 );
    field.Start( {}, 0, AimSearch::Hard );
    const int strongest = Wind::MAX_STEPS * Wind::PUSH_PER_STEP;
    const int winds[] = { -strongest, -1, 0, strongest };
    const int weapons[] = { WEAPON_BOMB, WEAPON_HEAVY, WEAPON_DIGGER };
    struct Case {
        int x, y, angle, power;
    } cases[] = {
        { 200, 670, 45, 300 }, { 1000, 670, 150, 260 }, { 300, 600, 75, 500 }, { 1200, 670, 20, 500 } };
    ShotForecast forecast;
    forecast.Init( field.scene.world.GetLandImage(), BOMB_SIZE, BOMB_SIZE );
    for ( int wind : winds ) {
        for ( int weapon : weapons ) {
            forecast.SetConditions( wind, weapon );
            for ( const Case &c : cases ) {
                SCOPED_TRACE( testing::Message()
                              << "wind " << wind << " weapon " << weapon << " angle " << c.angle );
                const int strikes = forecast.Fly( c.x, c.y, c.angle, c.power );
                Bomb bomb( c.x, c.y, c.angle, c.power, weapon, wind, &g_bombSprite, &field.scene.world );
                int updates = 0;
                while ( bomb.GetState() == Bomb::Flying && updates < ShotForecast::MAX_UPDATES ) {
                    bomb.Update();
                    updates++;
                }
                ASSERT_EQ( strikes, bomb.GetState() == Bomb::Exploded ? 1 : 0 );
                if ( strikes ) {
                    EXPECT_EQ( forecast.GetCraterX(), bomb.GetX() );
                    EXPECT_EQ( forecast.GetCraterY(), bomb.GetY() );
                    EXPECT_EQ( forecast.GetUpdates(), updates );
                }
                // The land as it was for the next case.
                field.scene.world.GetLandImage()->FillRect( 0, 0, 1279, 959, 0 );
                FlatLand( *field.scene.world.GetLandImage(), 640, 120, 250 );
            }
        }
    }
}

// A hard computer reckons with the wind: in the strongest wind either way, and in a breath of
// it, its first shot comes down where its forecast said, on the target.
TEST( ComputerAim, HardHitsWithItsFirstShotInAnyWind ) {
    const int strongest = Wind::MAX_STEPS * Wind::PUSH_PER_STEP;
    const struct {
        int wind;
        int shooter, target;
    } cases[] = {
        { strongest, 300, 700 }, { -strongest, 300, 700 }, { -strongest, 900, 500 }, { 3, 900, 500 } };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << "wind " << c.wind << " from " << c.shooter );
        Field field;
        FlatLand( field.land );
        field.Start( { c.target, c.shooter }, 1, AimSearch::Hard );
        field.scene.world.SetWind( c.wind );
        const Bomb *bomb = field.NextShot();
        ASSERT_NE( bomb, nullptr );
        EXPECT_EQ( bomb->GetFlight().GetWind(), c.wind );
        EXPECT_EQ( bomb->GetX(), field.players.GetPlayer( 1 ).GetPlan().craterX );
        EXPECT_EQ( bomb->GetY(), field.players.GetPlayer( 1 ).GetPlan().craterY );
        EXPECT_EQ( Field::Beside( *bomb, *field.tanks[0] ), 0 );
    }
}

// With weapons to choose from: a heavy shell for a tank in the open (hard at once; easy not
// on the first shot, which is meant to miss), a digger for a tank in a cave that no crater
// from above reaches, and the bomb for a tank right beside it, where the shell's crater
// would reach its own. The choice is made with the weapon keys and is the shell that flies.
TEST( ComputerChoice, HeavyForTheOpenDiggerForACaveAndNeverItsOwnTank ) {
    const struct {
        int level;
        int shooter, target;
        int cave;
        int weapon;
    } cases[] = {
        { AimSearch::Hard, 300, 650, 0, WEAPON_HEAVY },
        { AimSearch::Hard, 900, 500, 0, WEAPON_HEAVY },
        { AimSearch::Easy, 300, 650, 0, WEAPON_BOMB },
        { AimSearch::Hard, 300, 650, 1, WEAPON_DIGGER },
        { AimSearch::Hard, 600, 600 + TANK_W + 1, 0, WEAPON_BOMB }, // right beside it
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message()
                      << "level " << c.level << " target " << c.target << " cave " << c.cave );
        Field field;
        FlatLand( field.land );
        if ( c.cave ) {
            // A shaft the target falls down into a cave 60 rows below the surface.
            field.land.FillRect( c.target - 4, GROUND_TOP, c.target + TANK_W + 3, GROUND_TOP + 99, 0 );
            field.land.FillRect( c.target - 30, GROUND_TOP + 60, c.target + TANK_W + 30, GROUND_TOP + 99, 0 );
        }
        field.Start( { c.target, c.shooter }, 1, c.level, 1 );
        if ( c.cave ) {
            for ( int i = 0; i < 100; i++ ) {
                g_keyState = nullptr;
                field.scene.world.Update(); // down the shaft
            }
            // The shaft closes over it.
            field.scene.world.GetLandImage()->FillRect( c.target - 4, GROUND_TOP, c.target + TANK_W + 3,
                                                        GROUND_TOP + 59, GROUND );
            ASSERT_EQ( field.tanks[0]->GetY(), GROUND_TOP + 100 - TANK_H ); // on the cave's floor
        }
        const Bomb *bomb = field.NextShot();
        ASSERT_NE( bomb, nullptr );
        const Shot &plan = field.players.GetPlayer( 1 ).GetPlan();
        EXPECT_EQ( plan.weapon, c.weapon );
        EXPECT_EQ( bomb->GetWeapon(), c.weapon );
        EXPECT_EQ( bomb->GetX(), plan.craterX );
        EXPECT_EQ( bomb->GetY(), plan.craterY );
        EXPECT_EQ( field.arsenal.GetStock( 1, c.weapon ), WeaponOf( c.weapon ).stock == WEAPON_UNLIMITED
                                                              ? WEAPON_UNLIMITED
                                                              : WeaponOf( c.weapon ).stock - 1 );
        AimSearch search;
        search.Init( field.scene.world.GetLandImage(), BOMB_SIZE, BOMB_SIZE, TANK_W, TANK_H );
        search.SetConditions( 0, c.weapon );
        const Tank &shooter = *field.tanks[1];
        EXPECT_EQ( search.CraterReaches( bomb->GetX(), bomb->GetY(), shooter.GetX(), shooter.GetY() ), 0 );
        if ( c.level == AimSearch::Hard ) {
            EXPECT_EQ( search.CraterReaches( bomb->GetX(), bomb->GetY(), field.tanks[0]->GetX(),
                                             field.tanks[0]->GetY() ),
                       1 );
        }
    }
}

// Four computers play a match per level and land, pinned three ways: the keys they press
// frame by frame, the same with the frames where no key is down left out, and every shot fired
// (launch point, velocity, weapon) in order. How the computer spreads its thinking over the
// updates changes none of them where nobody drives. A computer no shot reaches from where it
// stands drives first, and it starts once its thinking is done, a few updates later than it
// would with all its thinking in one update: there the presses and the shots stay, only the
// frames shift. The cave land has a tank in a cave (the digger's case) and one walled in
// where no crater reaches it.
TEST( ComputerMatch, AComputerMatchPressesTheSameKeysAndFiresTheSameShots ) {
    UseDefaultRules( nullptr, 1 );
    const int FRAMES = 6000;
    enum { OPEN, CAVE };
    struct Case {
        int level;
        int land;
        uint32_t frames;  // FNV-1a over every frame's game keys; on the cave land, with its thinking
                          // done in one update, 0x52698f05, 0x1ac0128d and 0x5cd2c627
        uint32_t presses; // the same over the frames where a game key is down
        uint32_t shots;   // the same over every shot's launch
        int fired;
    } cases[] = {
        { AimSearch::Easy, OPEN, 0xd2c88f85u, 0x7ab18ccfu, 0xb07964f1u, 26 },
        { AimSearch::Normal, OPEN, 0xa94436cfu, 0xce2cb1bfu, 0xcd715946u, 20 },
        { AimSearch::Hard, OPEN, 0x351e1dddu, 0xa39ef33fu, 0x2426ee41u, 20 },
        { AimSearch::Easy, CAVE, 0x33d37905u, 0x70433c5du, 0xdf313b39u, 25 },
        { AimSearch::Normal, CAVE, 0x1fe20c2fu, 0xc32fdea7u, 0x6552e9dbu, 20 },
        { AimSearch::Hard, CAVE, 0xe22c1c47u, 0x38b24295u, 0xc6b51f5cu, 20 },
    };
    const int gameKeys[] = { DIK_SPACE, DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_Q, DIK_E };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << "level " << c.level << " land " << c.land );
        Field field;
        if ( c.land == OPEN ) {
            FlatLand( field.land, 640, 100, 40 );
            field.Start( { 300, 550, 800, 1050 }, 0, c.level, 1 );
        } else {
            FlatLand( field.land, 640, 150, 120 );
            field.land.FillEllipse( 200, GROUND_TOP, 120, 60, GROUND );
            // A shaft down to a cave under the third tank, closed over once it is down.
            field.land.FillRect( 796, GROUND_TOP, 800 + TANK_W + 3, GROUND_TOP + 99, 0 );
            field.land.FillRect( 770, GROUND_TOP + 60, 800 + TANK_W + 30, GROUND_TOP + 99, 0 );
            field.Start( { 100, 450, 800, 1150 }, 0, c.level, 1 );
            for ( int i = 0; i < 100; i++ ) {
                g_keyState = nullptr;
                field.scene.world.Update();
            }
            field.land.FillRect( 796, GROUND_TOP, 800 + TANK_W + 3, GROUND_TOP + 59, GROUND );
            // Walls and a roof thicker than any crater round the last tank.
            field.land.FillRect( 1150 - 80, GROUND_TOP - 100, 1150 + TANK_W + 80, GROUND_TOP - 1, GROUND );
            field.land.FillRect( 1150 - 10, GROUND_TOP - 30, 1150 + TANK_W + 10, GROUND_TOP - 1, 0 );
        }
        Match match;
        ASSERT_EQ( match.Init( field.scene.world, 3 ), 1 );
        uint32_t frames = 2166136261u, presses = 2166136261u, shots = 2166136261u;
        int fired = 0;
        for ( int frame = 0; frame < FRAMES && match.GetOutcome() == Match::Playing; frame++ ) {
            EntityList &bombs = *field.scene.world.GetBombs();
            const int before = bombs.GetCount();
            const uint8_t *keys = field.Frame();
            int down = 0;
            for ( int key : gameKeys ) {
                frames = ( frames ^ keys[key] ) * 16777619u;
                down |= keys[key];
            }
            for ( int key : gameKeys ) {
                presses = down ? ( presses ^ keys[key] ) * 16777619u : presses;
            }
            if ( bombs.GetCount() > before ) {
                EntityNode *node;
                bombs.First( node );
                const Bomb &bomb = *static_cast<const Bomb *>( bombs.Next( node, bombs.GetCount() - 1 ) );
                const BombFlight &flight = bomb.GetFlight();
                const int launch[] = { flight.GetLaunchX(), flight.GetLaunchY(), flight.GetVelocityX(),
                                       flight.GetVelocityY(), bomb.GetWeapon() };
                for ( int part : launch ) {
                    shots = ( shots ^ uint32_t( part ) ) * 16777619u;
                }
                fired++;
            }
            match.Observe();
        }
        EXPECT_EQ( frames, c.frames );
        EXPECT_EQ( presses, c.presses );
        EXPECT_EQ( shots, c.shots );
        EXPECT_EQ( fired, c.fired );
    }
    UseDesignedRules();
}

namespace {

int SameShot( const Shot &a, const Shot &b ) {
    return a.facesLeft == b.facesLeft && a.barrel == b.barrel && a.power == b.power &&
           a.strikes == b.strikes && a.craterX == b.craterX && a.craterY == b.craterY &&
           a.covers == b.covers && a.weapon == b.weapon && a.miss == b.miss;
}

// Flies the search begun last in shares of `share`; the calls it took.
int ContinueInShares( AimSearch &search, int64_t share ) {
    int calls = 1;
    while ( !search.Continue( share ) ) {
        calls++;
    }
    return calls;
}

} // namespace

// A search or a spoiling flown a share at a time flies the same flights and finds the same
// shot as one flown at once, whatever the share: a share of one update or less still flies
// a whole flight per call, and a share that stops exactly before the last flight leaves it
// for one more call, while one update more finishes at once. Cases: a target in the open
// (found facing it), one buried where nothing reaches it (both sides searched), and the easy
// level's error.
TEST( ComputerAim, AnAimFlownAShareAtATimeIsTheAimFlownAtOnce ) {
    Image land( 1280, 960 );
    FlatLand( land, 640, 150, 120 );
    const struct {
        int targetY;
        int spoil;
    } cases[] = { { GROUND_TOP - TANK_H, 0 }, { GROUND_TOP + 150, 0 }, { GROUND_TOP - TANK_H, 1 } };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << "target at " << c.targetY << " spoil " << c.spoil );
        AimSearch search;
        search.Init( &land, BOMB_SIZE, BOMB_SIZE, TANK_W, TANK_H );
        const int y = GROUND_TOP - TANK_H;
        const Shot best = search.Search( 300, y, 0, 900, c.targetY );
        auto begin = [&]() {
            if ( c.spoil ) {
                search.BeginSpoil( best, AimSearch::Easy, 3, 12345u, 300, y, 0, 900, c.targetY );
            } else {
                search.BeginSearch( 300, y, 0, 900, c.targetY );
            }
        };
        // At once; then a single update's share a call, which flies one flight a call (two for
        // the error, which flies them in pairs).
        int64_t before = search.GetUpdatesFlown();
        begin();
        ASSERT_EQ( ContinueInShares( search, INT64_MAX ), 1 );
        const Shot once = search.GetResult();
        const int64_t whole = search.GetUpdatesFlown() - before;
        const int flightsBefore = c.spoil ? search.GetFlights() : 0;
        begin();
        std::vector<int64_t> calls;
        for ( int done = 0; !done; ) {
            before = search.GetUpdatesFlown();
            done = search.Continue( 1 );
            calls.push_back( search.GetUpdatesFlown() - before );
        }
        EXPECT_TRUE( SameShot( search.GetResult(), once ) );
        EXPECT_EQ( int( calls.size() ), ( search.GetFlights() - flightsBefore ) / ( c.spoil ? 2 : 1 ) );
        for ( int64_t share : { int64_t( -5 ), int64_t( 0 ), int64_t( 500 ), int64_t( 40000 ) } ) {
            before = search.GetUpdatesFlown();
            begin();
            const int taken = ContinueInShares( search, share );
            EXPECT_TRUE( SameShot( search.GetResult(), once ) ) << share;
            EXPECT_EQ( search.GetUpdatesFlown() - before, whole ) << share;
            if ( share <= 1 ) {
                EXPECT_EQ( taken, int( calls.size() ) ) << share;
            }
        }
        // The edge of the last call's work.
        ASSERT_GE( calls.size(), 2u );
        const int64_t last = calls.back();
        begin();
        EXPECT_EQ( search.Continue( whole - last ), 0 );
        EXPECT_EQ( search.Continue( 1 ), 1 );
        begin();
        EXPECT_EQ( search.Continue( whole - last + 1 ), 1 );
        EXPECT_TRUE( SameShot( search.GetResult(), once ) );
        EXPECT_EQ( once.covers, c.targetY < GROUND_TOP );
    }
}

namespace {

// One computer turn on a hilly land with the thinking shared out by `share`: the frame the
// plan began, the updates it took, the frame of the first key and the shot; or, with
// `untilPlanned`, only until the plan is made.
struct PlannedTurn {
    int planStart = -1;
    int planUpdates = 0;
    int64_t forecast = 0;
    int firstPress = -1;
    Shot plan;
};

void StartTurnField( Field &field ) {
    FlatLand( field.land, 640, 150, 120 );
    field.Start( { 300, 900 }, 1, AimSearch::Hard );
    field.tanks[0]->SetState( Tank::Idle );
}

// On `field` as StartTurnField left it or as an earlier call with `untilPlanned` left it: the
// computer begins its turn afresh.
PlannedTurn PlayTurn( Field &field, int64_t share, int untilPlanned ) {
    PlannedTurn turn;
    field.players.NewMatch();
    field.players.SetForecastPerUpdate( share );
    const ComputerPlayer &computer = field.players.GetPlayer( 1 );
    for ( int frame = 0; frame < 3000 && turn.firstPress < 0; frame++ ) {
        if ( untilPlanned && computer.GetPlan().power > 0 ) {
            break;
        }
        const uint8_t *keys = field.Frame();
        turn.planStart = turn.planStart < 0 && computer.GetPlanUpdates() > 0 ? frame : turn.planStart;
        for ( int key : { DIK_SPACE, DIK_UP, DIK_DOWN, DIK_LEFT, DIK_RIGHT, DIK_E } ) {
            turn.firstPress = turn.firstPress < 0 && keys[key] ? frame : turn.firstPress;
        }
    }
    turn.planUpdates = computer.GetPlanUpdates();
    turn.forecast = computer.GetPlanForecast();
    turn.plan = computer.GetPlan();
    return turn;
}

} // namespace

// However the thinking is shared out, the computer fires the same shot, and its first key
// comes the update after the thinking pause or, for a plan that outlasts the pause, the
// update after the plan is made. Shares: all in one update, the game's own, the smallest that
// makes the plan in the pause's last update, one less, and one so small that the plan takes
// several pauses.
TEST( ComputerTurn, APlanLongerThanThePauseHoldsTheFirstKeyUntilItIsMade ) {
    Field search;
    StartTurnField( search );
    const PlannedTurn once = PlayTurn( search, INT64_MAX, 1 );
    ASSERT_EQ( once.planUpdates, 2 ); // the land copied, then every flight
    // The pause's last update is the plan's (THINKING_UPDATES + 1)th.
    int64_t low = 1, high = once.forecast;
    while ( low < high ) {
        const int64_t middle = low + ( high - low ) / 2;
        if ( PlayTurn( search, middle, 1 ).planUpdates <= ComputerPlayer::THINKING_UPDATES + 1 ) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    const struct {
        int64_t share;
        int planUpdates; // 0: not pinned
    } cases[] = { { INT64_MAX, 2 },
                  { ComputerPlayer::FORECAST_PER_UPDATE, 0 },
                  { low, ComputerPlayer::THINKING_UPDATES + 1 },
                  { low - 1, ComputerPlayer::THINKING_UPDATES + 2 },
                  { 1000, 0 } };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << "share " << c.share );
        Field field;
        StartTurnField( field );
        const PlannedTurn turn = PlayTurn( field, c.share, 0 );
        ASSERT_GE( turn.planStart, 0 );
        if ( c.planUpdates ) {
            EXPECT_EQ( turn.planUpdates, c.planUpdates );
        }
        EXPECT_EQ( turn.firstPress,
                   turn.planStart + std::max( ComputerPlayer::THINKING_UPDATES, turn.planUpdates - 1 ) + 1 );
        EXPECT_TRUE( SameShot( turn.plan, once.plan ) );
        EXPECT_EQ( turn.forecast, once.forecast );
        if ( c.share == 1000 ) {
            EXPECT_GT( turn.planUpdates, 3 * ComputerPlayer::THINKING_UPDATES );
        }
    }
}

// A whole turn's plan comes out the same in any share: the outcome, the target and the shot.
// Turns: a tank in the open (the heavy shell), one in a cave (the digger), one walled in
// (drive; and once driven, its nearest miss), each at the easy level too (the error's search).
// The land may change under a plan under way: it plans on the copy it took when it began.
TEST( ComputerPlan, ATurnPlannedInSharesIsTheTurnPlannedAtOnce ) {
    enum { OPEN, CAVE, WALLED };
    const struct {
        int where;
        int level;
        int hasDriven;
        int outcome;
        int weapon;
    } cases[] = {
        { OPEN, AimSearch::Hard, 0, ShotPlanner::Shoot, WEAPON_HEAVY },
        { OPEN, AimSearch::Easy, 0, ShotPlanner::Shoot, WEAPON_BOMB },
        { CAVE, AimSearch::Hard, 0, ShotPlanner::Shoot, WEAPON_DIGGER },
        { CAVE, AimSearch::Easy, 0, ShotPlanner::Shoot, WEAPON_DIGGER },
        { WALLED, AimSearch::Hard, 0, ShotPlanner::Drive, 0 },
        { WALLED, AimSearch::Easy, 1, ShotPlanner::Shoot, WEAPON_BOMB },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << "where " << c.where << " level " << c.level );
        Image land( 1280, 960 );
        FlatLand( land );
        const int targetX = 800;
        int targetY = GROUND_TOP - TANK_H;
        if ( c.where == CAVE ) {
            land.FillRect( targetX - 30, GROUND_TOP + 60, targetX + TANK_W + 30, GROUND_TOP + 99, 0 );
            targetY = GROUND_TOP + 100 - TANK_H;
        } else if ( c.where == WALLED ) {
            land.FillRect( targetX - 80, GROUND_TOP - 100, targetX + TANK_W + 80, GROUND_TOP - 1, GROUND );
            land.FillRect( targetX - 10, GROUND_TOP - 30, targetX + TANK_W + 10, GROUND_TOP - 1, 0 );
        }
        PlanStart start;
        start.x = 300;
        start.y = GROUND_TOP - TANK_H;
        start.tankWidth = TANK_W;
        start.tankHeight = TANK_H;
        start.bombWidth = BOMB_SIZE;
        start.bombHeight = BOMB_SIZE;
        start.level = c.level;
        start.hasDriven = c.hasDriven;
        start.heavyLeft = 1;
        start.diggerLeft = c.where == CAVE;
        start.count = 1;
        start.targetX[0] = targetX;
        start.targetY[0] = targetY;
        // At once on the land itself (no memory for a copy); in shares on a copy just big enough.
        ShotPlanner once;
        once.Begin( land, start, nullptr, 0 );
        ASSERT_EQ( once.Continue( INT64_MAX ), 1 );
        ASSERT_EQ( once.GetOutcome(), c.outcome );
        if ( c.outcome == ShotPlanner::Shoot ) {
            EXPECT_EQ( once.GetShot().weapon, c.weapon );
        }
        for ( int64_t share : { int64_t( 1 ), int64_t( ComputerPlayer::FORECAST_PER_UPDATE ) } ) {
            Image changing( 1280, 960 );
            land.BlitTo( changing, 0, 0, land.GetBounds() );
            ShotPlanner planner;
            std::vector<uint8_t> copy( 1280 * 960 );
            planner.Begin( changing, start, copy.data(), copy.size() );
            // The whole land is blown away after the plan's first share.
            changing.Clear( 0 );
            int updates = 1;
            while ( !planner.Continue( share ) ) {
                updates++;
            }
            EXPECT_GT( updates, 1 ) << share;
            EXPECT_EQ( planner.GetOutcome(), once.GetOutcome() ) << share;
            EXPECT_EQ( planner.GetChosen(), once.GetChosen() ) << share;
            EXPECT_TRUE( SameShot( planner.GetShot(), once.GetShot() ) ) << share;
            EXPECT_EQ( planner.GetUpdatesFlown(), once.GetUpdatesFlown() ) << share;
        }
    }
}
