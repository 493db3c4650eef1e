#include "app/App.h"
#include "app/Game.h"
#include "app/MatchSounds.h"
#include "app/Options.h"
#include "audio/SoundBank.h"
#include "audio/SoundListener.h"
#include "audio/WorldSounds.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/HostFile.h"
#include "host/HostSurface.h"
#include "platform/Display.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/LandScene.h"
#include "tests/support/PictureOptions.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const int GROUND_TOP = 700;
typedef std::vector<std::string> Names;

// The game's display is process-wide, brought up once on a headless backend that stays for
// the whole run, as in the game's own tests.
HeadlessBackend *backend = nullptr;

class SoundEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        HeadlessScope *scope = new HeadlessScope;
        backend = &scope->Backend();
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
    }
};

::testing::Environment *const environment = ::testing::AddGlobalTestEnvironment( new SoundEnvironment );

// A flat land from row 700 and every sound file present (the headless backend takes any
// bytes as a sound); the game runs frame by frame with a flip after each, so the backend
// counts frames as the frame loop would.
class SoundFixture : public ::testing::Test {
protected:
    SoundFixture() : started( 0 ) {
        backend->ReleaseAllKeys();
        HostClearMemoryFiles();
        PutMemoryFile( "background.bmp", MakeGroundBmp( 960, 720, 7 ) );
        PutMemoryFile( "land.bmp", MakeGroundBmp( 1280, 960, 3, GROUND_TOP ) );
        PutMemoryFile( "tank.bmp", MakeGroundBmp( 20, 10, 5 ) );
        PutMemoryFile( "bomb.bmp", MakeGroundBmp( 4, 4, 9 ) );
        for ( int i = 0; i < SOUND_COUNT; ++i ) {
            PutMemoryFile( SoundBank::GetFileName( SoundName( i ) ), { 1, 2, 3, 4 } );
        }
        GameSetSeed( 1234 );
        g_options = PictureOptions();
        g_settings.players = 4; // no computer players: the test holds every key
    }

    ~SoundFixture() override {
        Stop();
        GameUseClockSeed();
        HostClearMemoryFiles();
        g_options = PictureOptions();
        g_settings = Settings();
    }

    // A fresh world each time: the game's end lets go of the tanks and bombs, not the lists.
    void Start() {
        world.reset( new World );
        ASSERT_EQ( GameStartup( nullptr, nullptr, *world ), 1 );
        started = 1;
        backend->ClearSoundEvents();
    }

    void Stop() {
        if ( started ) {
            GameEnd( *world );
            started = 0;
        }
    }

    void Step() {
        GameFrame( *world );
        g_display.GetPrimarySurface()->Flip( nullptr, DDFLIP_WAIT );
    }

    // The frame the next Step runs.
    int Frame() const { return backend->GetFrameCount(); }

    void Hold( int key, int frames ) {
        backend->SetKey( key, 1 );
        for ( int i = 0; i < frames; ++i ) {
            Step();
        }
        backend->SetKey( key, 0 );
    }

    Tank *FirstTank() {
        EntityNode *node = nullptr;
        return static_cast<Tank *>( world->GetTanks()->First( node ) );
    }

    Bomb *LastBomb() {
        EntityList *bombs = world->GetBombs();
        EntityNode *node = nullptr;
        Entity *bomb = bombs->First( node );
        for ( int i = 1; i < bombs->GetCount(); ++i ) {
            bomb = bombs->Next( node, 1 );
        }
        return static_cast<Bomb *>( bomb );
    }

    // Until the first tank is down and may act; all four fall the same height. It is given
    // the turn in the air and only finds out in its first update.
    void UntilLanded() {
        int frames = 0;
        do {
            Step();
        } while ( FirstTank()->GetState() != Tank::Active && ++frames < 2000 );
        ASSERT_EQ( FirstTank()->GetState(), Tank::Active );
    }

    // Charges for `frames` frames, lets go, and runs until the bomb has left; the frame it
    // left in.
    int Fire( int frames ) {
        const int before = world->GetBombs()->GetCount();
        Hold( DIK_SPACE, frames );
        for ( int i = 0; i < 10 && world->GetBombs()->GetCount() == before; ++i ) {
            Step();
        }
        return Frame() - 1;
    }

    // The sounds started (+) and stopped (-) in frames [first, last].
    Names Events( int first, int last ) const {
        Names names;
        for ( const HeadlessBackend::SoundEvent &event : backend->GetSoundEvents() ) {
            if ( event.frame >= first && event.frame <= last ) {
                names.push_back( ( event.started ? "+" : "-" ) + event.name );
            }
        }
        return names;
    }
    Names EventsAt( int frame ) const { return Events( frame, frame ); }

    const HeadlessBackend::SoundEvent *Started( const std::string &name ) const {
        for ( const HeadlessBackend::SoundEvent &event : backend->GetSoundEvents() ) {
            if ( event.started && event.name == name ) {
                return &event;
            }
        }
        return nullptr;
    }

    std::unique_ptr<World> world;
    int started;
};

} // namespace

TEST_F( SoundFixture, TheShotStartsItsFlightAndTheCraterEndsItWithTheExplosion ) {
    // The heavy shot goes with the barrel lowered, to come down on the land.
    const struct {
        int charge;
        int lower;
        const char *shot;
    } cases[] = {
        { 20, 0, "+shot-light.wav" }, { 200, 0, "+shot-medium.wav" }, { 400, 45, "+shot-heavy.wav" } };
    for ( const auto &test : cases ) {
        SCOPED_TRACE( test.charge );
        Start();
        UntilLanded();
        // The tanks being put on the land make no sound.
        EXPECT_EQ( Events( 0, Frame() ), Names() );
        Hold( DIK_DOWN, test.lower );
        backend->ClearSoundEvents();

        const int fired = Fire( test.charge );
        EXPECT_EQ( EventsAt( fired ), ( Names{ test.shot, "+flight.wav" } ) );
        Bomb *bomb = LastBomb();
        const int flightVoice = backend->GetSoundEvents().back().voice;
        while ( bomb->GetState() == Bomb::Flying && Frame() < fired + 2000 ) {
            Step();
        }
        const int landed = Frame() - 1;
        EXPECT_EQ( Events( fired + 1, landed - 1 ), Names() );
        ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
        const Image &land = *world->GetLandImage();
        EXPECT_EQ( land.GetPixels()[bomb->GetY() * land.GetPitch() + bomb->GetX()], 0 ); // the crater
        EXPECT_EQ( EventsAt( landed ), ( Names{ "-flight.wav", "+explosion.wav" } ) );
        EXPECT_EQ( backend->GetSoundEvents().at( backend->GetSoundEvents().size() - 2 ).voice, flightVoice );
        Stop();
    }
}

TEST_F( SoundFixture, TheEngineRunsOnlyWhileTheTankDrivesAndTheGearWhileTheBarrelMoves ) {
    Start();
    UntilLanded();
    int from = Frame();
    Hold( DIK_RIGHT, 30 );
    EXPECT_EQ( EventsAt( from ), Names{ "+engine.wav" } );
    EXPECT_EQ( Events( from + 1, from + 29 ), Names() );
    Step();
    EXPECT_EQ( EventsAt( from + 30 ), Names{ "-engine.wav" } );

    // Left first turns the tank round, which is no driving.
    from = Frame();
    Hold( DIK_LEFT, 10 );
    Step();
    EXPECT_EQ( Events( from, from + 10 ), ( Names{ "+engine.wav", "-engine.wav" } ) );
    EXPECT_EQ( EventsAt( from + 1 ), Names{ "+engine.wav" } );

    // The barrel goes from 30 to its highest, 45, in 15 frames and the gear stops there.
    from = Frame();
    Hold( DIK_UP, 40 );
    EXPECT_EQ( Events( from, from + 39 ), ( Names{ "+barrel.wav", "-barrel.wav" } ) );
    EXPECT_EQ( EventsAt( from + 15 ), Names{ "-barrel.wav" } );
}

TEST_F( SoundFixture, ATankFallingIntoAHoleLandsWithAThud ) {
    Start();
    UntilLanded();
    Tank *tank = FirstTank();
    world->GetLandImage()->FillRect( tank->GetX() - 20, GROUND_TOP, tank->GetX() + 40, GROUND_TOP + 29, 0 );
    for ( int i = 0; i < 60 && Started( "landing.wav" ) == nullptr; ++i ) {
        Step();
    }
    ASSERT_NE( Started( "landing.wav" ), nullptr );
    SoundListener heard;
    heard.SetView( world->GetCameraX(), world->GetCameraY(), 640, 480 );
    EXPECT_EQ( Started( "landing.wav" )->pan, heard.GetPan( tank->GetX() + 10 ) );
    EXPECT_EQ( tank->GetY(), GROUND_TOP + 30 - 10 );
}

TEST( SoundListener, PansAcrossTheScreenAndQuietensOffIt ) {
    SoundListener listener;
    listener.SetView( 100, 200, 640, 480 );
    const struct {
        int x;
        int y;
        int pan;
        int volume;
    } cases[] = {
        { 100, 200, -100, 80 },  { 420, 400, 0, 80 },    { 739, 679, 99, 80 }, { 260, 300, -50, 80 },
        { -220, 400, -100, 50 }, { 1059, 400, 100, 50 }, { 420, 999, 0, 50 },  { 3000, 400, 100, 20 },
    };
    for ( const auto &test : cases ) {
        SCOPED_TRACE( test.x );
        EXPECT_EQ( listener.GetPan( test.x ), test.pan );
        EXPECT_EQ( listener.GetVolume( test.x, test.y, 80 ), test.volume );
    }
}

// Three shots from three tanks; each explosion is heard where it is on the screen of the
// moment (the camera has moved on to the next tank by then), at full loudness only on screen.
// With this seed the first lands off the screen's left, the second on it, the third off its
// right.
TEST_F( SoundFixture, ExplosionsAreHeardWhereTheyAreOnTheScreen ) {
    Start();
    UntilLanded();
    int explosions = 0;
    for ( int charge : { 120, 150, 140 } ) {
        SCOPED_TRACE( charge );
        Fire( charge );
        Bomb *bomb = LastBomb();
        for ( int i = 0; i < 2000 && bomb->GetState() == Bomb::Flying; ++i ) {
            Step();
        }
        if ( bomb->GetState() == Bomb::Exploded ) {
            explosions++;
            ASSERT_FALSE( backend->GetSoundEvents().empty() );
            const HeadlessBackend::SoundEvent &explosion = backend->GetSoundEvents().back();
            ASSERT_EQ( explosion.name, "explosion.wav" );
            const int fromMiddle = 2 * ( bomb->GetX() - world->GetCameraX() ) - 640;
            EXPECT_EQ( explosion.pan > 0, fromMiddle > 0 ) << explosion.pan << " " << fromMiddle;
            EXPECT_EQ( explosion.volume == 100, fromMiddle >= -640 && fromMiddle < 640 ) << explosion.volume;
        }
        while ( world->GetCurrentTank()->GetState() != Tank::Active ) {
            Step();
        }
    }
    EXPECT_EQ( explosions, 3 );
}

TEST_F( SoundFixture, ClassicMuteAndMissingSoundsStartNothing ) {
    const char *const setups[] = { "classic", "mute", "no sound files" };
    for ( const char *setup : setups ) {
        SCOPED_TRACE( setup );
        g_options = PictureOptions();
        g_options.classic = std::string( setup ) == "classic";
        g_options.mute = std::string( setup ) == "mute" ? 1 : -1;
        if ( std::string( setup ) == "no sound files" ) {
            for ( int i = 0; i < SOUND_COUNT; ++i ) {
                HostRemoveMemoryFile( SoundBank::GetFileName( SoundName( i ) ) );
            }
        }
        Start();
        UntilLanded();
        Hold( DIK_RIGHT, 10 );
        Fire( 50 );
        for ( int i = 0; i < 300; ++i ) {
            Step();
        }
        EXPECT_EQ( backend->GetSoundEvents().size(), 0u );
        Stop();
    }
}

TEST_F( SoundFixture, TheMKeyTurnsTheSoundOffAndOn ) {
    g_options.mute = 1;
    Start();
    UntilLanded();
    Hold( DIK_M, 2 ); // held over two frames: one press, one toggle
    int from = Frame();
    Hold( DIK_RIGHT, 5 );
    EXPECT_EQ( EventsAt( from ), Names{ "+engine.wav" } );
    backend->SetKey( DIK_RIGHT, 1 );
    Hold( DIK_M, 1 );
    EXPECT_EQ( EventsAt( Frame() - 1 ), Names{ "-engine.wav" } );
    from = Frame();
    Hold( DIK_RIGHT, 5 );
    EXPECT_EQ( Events( from, Frame() ), Names() );
}

// Two tanks on a land the screen's size; bombs dropped straight onto the second score the
// first player hits, and the second hit wins a match of two.
TEST( MatchSounds, AHitClangsAtItsCraterAndTheWinnerHasAFanfare ) {
    LandScene scene;
    ASSERT_EQ( scene.LoadFlat( 640, 480, 300, 3 ), 1 );
    Image tankPicture( 20, 10 );
    tankPicture.Clear( 5 );
    g_tankSprite.Build( tankPicture, tankPicture.GetBounds(), 0 );
    g_bombSprite.Build( tankPicture, Rect( 0, 0, 3, 3 ), 0 );
    World &world = scene.world;
    for ( int column : { 100, 400 } ) {
        world.AddTank( new Tank( column, 290, &g_tankSprite, &world ) );
    }
    EntityNode *node = nullptr;
    world.SetCurrentTank( world.GetTanks()->First( node ) );
    Match match;
    ASSERT_EQ( match.Init( world, 2 ), 1 );
    for ( int i = 0; i < SOUND_COUNT; ++i ) {
        PutMemoryFile( SoundBank::GetFileName( SoundName( i ) ), { 1 } );
    }
    WorldSounds sounds;
    ASSERT_EQ( sounds.Load( "" ), 1 );
    MatchSounds matchSounds;
    matchSounds.Reset( match );

    Names heard;
    for ( int column : { 400, 420 } ) {
        Bomb *bomb = new Bomb( column, 100, 0, 0, &g_bombSprite, &world );
        world.AddBomb( bomb );
        for ( int frame = 0; frame < 400 && bomb->GetState() == Bomb::Flying; frame++ ) {
            world.Update();
            match.Observe();
            matchSounds.Observe( match, sounds );
        }
        for ( const HeadlessBackend::SoundEvent &event : scene.Backend().GetSoundEvents() ) {
            heard.push_back( event.name + " " + std::to_string( event.pan ) );
        }
        scene.Backend().ClearSoundEvents();
    }
    // Heard from the screen's middle, 320: the craters at 400 and 420 are a little right.
    EXPECT_EQ( heard, ( Names{ "hit.wav 25", "hit.wav 31", "winner.wav 0" } ) );
    match.Forget();
    world.GetTanks()->DeleteEntities();
    world.GetBombs()->DeleteEntities();
}
