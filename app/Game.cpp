#include "app/Game.h"

#include "ai/ComputerPlayers.h"
#include "app/App.h"
#include "app/MatchSounds.h"
#include "app/Options.h"
#include "audio/WorldSounds.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/TankPlacement.h"
#include "game/World.h"
#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "hud/Hud.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

const char *const GAME_BACKGROUND_FILE = "background.bmp";
const char *const GAME_LAND_FILE = "land.bmp";
const char *const GAME_TANK_FILE = "tank.bmp";
const char *const GAME_BOMB_FILE = "bomb.bmp";

// The camera puts the target's top-left corner at the middle of the 640 x 480 screen.
static const int CAMERA_OFFSET_X = 320;
static const int CAMERA_OFFSET_Y = 240;

Hud g_hud;
ComputerPlayers g_computerPlayers;
static MatchSounds g_matchSounds;

static std::string dataFolder;
static int useFixedSeed = 0;
static unsigned fixedSeed = 0;

void GameSetSeed( unsigned seed ) {
    useFixedSeed = 1;
    fixedSeed = seed;
}

void GameUseClockSeed() {
    useFixedSeed = 0;
}

void GameSetDataFolder( const std::string &folder ) {
    dataFolder = folder;
}

std::string GameDataPath( const char *name ) {
    return dataFolder + name;
}

static int Complain( const char *fileName, const char *reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", fileName, reason );
    return 0;
}

// The World takes its pictures without a word when they are broken, and the land and the
// background must cover the screen for the camera and the parallax to make sense; so both
// are read once here first, to stop with the reason before the game starts.
static int CheckScreenPicture( const char *fileName ) {
    Image picture( 1, 1 );
    if ( !picture.LoadBmp( fileName ) ) {
        return Complain( fileName, BmpGetLastError() );
    }
    const int width = g_display.GetWidth();
    const int height = g_display.GetHeight();
    if ( picture.GetWidth() < width || picture.GetHeight() < height ) {
        char reason[96];
        std::snprintf( reason, sizeof( reason ), "%d x %d is smaller than the %d x %d screen",
                       picture.GetWidth(), picture.GetHeight(), width, height );
        return Complain( fileName, reason );
    }
    return 1;
}

// Both sprites are cut raw from whole pictures; the temporary pictures live until both are
// built, and the bomb's goes first.
static int BuildSprites() {
    const std::string tankFile = GameDataPath( GAME_TANK_FILE );
    const std::string bombFile = GameDataPath( GAME_BOMB_FILE );
    Image tankPicture( 1, 1 );
    if ( !tankPicture.LoadBmp( tankFile.c_str() ) ) {
        return Complain( tankFile.c_str(), BmpGetLastError() );
    }
    Image bombPicture( 1, 1 );
    if ( !bombPicture.LoadBmp( bombFile.c_str() ) ) {
        return Complain( bombFile.c_str(), BmpGetLastError() );
    }
    g_tankSprite.Build( tankPicture, tankPicture.GetBounds(), 0 );
    g_bombSprite.Build( bombPicture, bombPicture.GetBounds(), 0 );
    return 1;
}

// Four tanks on the top edge at random columns, in their falling state; the first gets the
// turn and the camera.
static int StartTanks( World &world ) {
    int columns[GAME_TANK_COUNT];
    ChooseTankColumns( world, columns );
    if ( !PlaceTanks( world, columns ) ) {
        return Complain( "tanks", "out of memory" );
    }
    return 1;
}

// The designed game is silent; sound is an addition around it.
static void StartSound() {
    if ( g_options.classic == 1 ) {
        g_worldSounds.Unload();
        return;
    }
    g_worldSounds.Load( GameDataPath( "" ) );
    g_worldSounds.SetMuted( g_options.mute == 1 );
    g_matchSounds.Reset( g_hud.GetMatch() );
}

static int WithView() {
    return !g_options.classic;
}

// The designed game leaves every tank to the keyboard; otherwise the computer plays the
// seats the people do not take, and the view says which.
static void SeatComputerPlayers( World &world ) {
    int people = g_options.players >= 0 ? g_options.players : ComputerPlayers::DEFAULT_PEOPLE;
    if ( g_options.classic ) {
        people = ComputerPlayers::SEATS;
    }
    g_computerPlayers.Create( &world, people, ComputerPlayers::LevelFromName( g_options.level.c_str() ) );
    for ( int seat = 0; seat < ComputerPlayers::SEATS && WithView(); seat++ ) {
        g_hud.GetMatch().SetComputer( seat, g_computerPlayers.IsComputer( seat ) );
    }
}

int GameStartup( HostInstance *instance, HostWindow *window, World &world ) {
    g_keyboard.Init( instance, window );
    const std::string backgroundFile = GameDataPath( GAME_BACKGROUND_FILE );
    const std::string landFile = GameDataPath( GAME_LAND_FILE );

    if ( !CheckScreenPicture( backgroundFile.c_str() ) ) {
        return 0;
    }
    if ( !g_display.LoadPalette( backgroundFile.c_str() ) ) {
        return Complain( backgroundFile.c_str(), BmpGetLastError() );
    }
    g_display.ApplyPalette();

    std::srand( useFixedSeed ? fixedSeed : static_cast<unsigned>( std::time( nullptr ) ) );
    if ( !BuildSprites() ) {
        return 0;
    }

    if ( !CheckScreenPicture( landFile.c_str() ) ) {
        return 0;
    }
    world.Load( &g_display, landFile.c_str(), backgroundFile.c_str() );

    if ( !StartTanks( world ) ) {
        return 0;
    }
    if ( WithView() && !g_hud.Init( world, g_display.GetPaletteEntries(), g_options.hits ) ) {
        return Complain( "match", "out of memory" );
    }
    SeatComputerPlayers( world );
    StartSound();
    return 1;
}

// A new match draws new columns for its tanks, as the start-up does; its tanks and bombs are
// new to the sound too.
static void StartNewMatch( World &world ) {
    int columns[GAME_TANK_COUNT];
    ChooseTankColumns( world, columns );
    g_hud.StartNewMatch( world, columns );
    g_computerPlayers.NewMatch();
    g_worldSounds.Forget();
    g_matchSounds.Reset( g_hud.GetMatch() );
}

void GameFrame( World &world ) {
    Entity *target = world.GetCameraTarget();
    if ( target != nullptr ) {
        world.SetCameraX( target->GetX() - CAMERA_OFFSET_X );
        world.SetCameraY( target->GetY() - CAMERA_OFFSET_Y );
    }
    g_keyState = g_keyboard.Poll();
    g_keyState = g_computerPlayers.Keys( g_keyState, WithView() && !g_hud.IsPlaying() );
    if ( WithView() && g_hud.ReadKeys( g_keyState ) ) {
        StartNewMatch( world );
    }
    // A won match stands still under the winner's banner until a new one starts.
    const int playing = !WithView() || g_hud.IsPlaying();
    if ( playing ) {
        world.Update();
    }
    if ( WithView() ) {
        g_hud.Observe();
        g_matchSounds.Observe( g_hud.GetMatch(), g_worldSounds );
    }
    g_worldSounds.Observe( world, g_keyState, playing );
    world.Draw( g_display );
    if ( WithView() ) {
        g_hud.Draw( g_display, world );
    }
}

// The lists never own their entities; the game's end lets them go so that the run ends with
// nothing left allocated. The World itself belongs to the caller.
void GameEnd( World &world ) {
    g_worldSounds.StopAll();
    g_hud.Forget();
    g_computerPlayers.Forget();
    if ( world.GetTanks() != nullptr ) {
        world.GetTanks()->DeleteEntities();
    }
    if ( world.GetBombs() != nullptr ) {
        world.GetBombs()->DeleteEntities();
    }
}
