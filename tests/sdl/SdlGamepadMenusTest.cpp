#include "SourcePaths.h"
#include "app/Controls.h"
#include "app/Game.h"
#include "app/GameScreens.h"
#include "app/Options.h"
#include "game/Globals.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "host/HostKeyState.h"
#include "host/HostWindow.h"
#include "host/sdl/SdlBackend.h"
#include "host/sdl/SdlInputNames.h"
#include "hud/Hud.h"
#include "platform/Display.h"
#include "play/Arsenal.h"
#include "settings/SettingsFile.h"
#include "tests/support/TestScreen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

// The game's screens driven by a gamepad alone through the real backend: SDL's virtual
// gamepad on the display-less video driver takes the title to the set-up, a match, the pause
// and back into play, with the bindings the program's entry makes from the settings.

namespace {

SdlBackend *shown = nullptr;

void ApplySettings( const Settings &settings ) {
    shown->SetGamepad( settings.gamepad, settings.padDeadZone );
    BindControls( shown->GetKeyState(), settings, SdlInputsFromNames );
}

class SdlGamepadMenus : public ::testing::Test {
protected:
    SdlGamepadMenus() : backend( 1 ) {}

    void SetUp() override {
        SDL_SetHint( SDL_HINT_VIDEODRIVER, "dummy" );
        // The display-less window never gets the keyboard focus, without which SDL holds back
        // gamepad events.
        SDL_SetHint( SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1" );
        char pattern[] = "/tmp/kelto-pad-menus-XXXXXX";
        folder = mkdtemp( pattern );
        settingsPath = folder + "/settings.ini";
        HostResetWindows();
        HostSetBackend( &backend );
        ASSERT_EQ( 1, backend.Init() ) << backend.GetError();
        backend.SetPacing( 0 );
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
        shown = &backend;
        g_options = Options();
        file.SetNameChecks( SdlIsKeyName, SdlIsPadName );
        file.Load( settingsPath, g_settings, stderr );
        ApplySettings( g_settings );
        GameSetDataFolder( std::string( KELTO_ASSETS_DIR ) + "/" );
        GameSetSeed( 7 );
        GameSetSettingsFile( &file, settingsPath, SdlInputName, ApplySettings );
        GameUseMenus( 1 );

        SDL_VirtualJoystickDesc description = {};
        description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        description.naxes = SDL_CONTROLLER_AXIS_MAX;
        description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        device = SDL_JoystickAttachVirtualEx( &description );
        ASSERT_GE( device, 0 ) << SDL_GetError();
        joystick = SDL_JoystickOpen( device );
        ASSERT_NE( nullptr, joystick );
    }

    void TearDown() override {
        if ( joystick != nullptr ) {
            SDL_JoystickClose( joystick );
            SDL_JoystickDetachVirtual( device );
        }
        GameStopMenus();
        GameSetSettingsFile( nullptr, std::string(), nullptr, nullptr );
        GameSetDataFolder( std::string() );
        GameUseClockSeed();
        g_options = Options();
        g_settings = Settings();
        shown = nullptr;
        HostResetWindows();
        HostSetBackend( nullptr );
        std::system( ( "rm -rf '" + folder + "'" ).c_str() );
    }

    // The events SDL has, through the backend, then the window's messages, then one frame.
    void Frame( World &world ) {
        backend.PumpEvents( 0 );
        HostMessage message;
        while ( HostPeekMessage( &message, nullptr, PM_REMOVE ) ) {
            HostDispatchMessage( &message );
        }
        GameFrame( world );
    }

    // A button pressed for a frame and let go for the next, `times` over.
    void Push( World &world, SDL_GameControllerButton button, int times = 1 ) {
        for ( int i = 0; i < times; i++ ) {
            SDL_JoystickSetVirtualButton( joystick, button, 1 );
            Frame( world );
            SDL_JoystickSetVirtualButton( joystick, button, 0 );
            Frame( world );
        }
    }

    SdlBackend backend;
    SettingsFile file;
    std::string folder;
    std::string settingsPath;
    int device = -1;
    SDL_Joystick *joystick = nullptr;
};

} // namespace

// A new player with a gamepad: A on the title's Play, the D-pad to the weapons' stock and one
// step down, up round to Play and A; Start pauses, the D-pad and A restart, Start and B
// resume. Every step lands on the screen it should, and the match plays what was set up.
TEST_F( SdlGamepadMenus, TheGamepadAloneGoesFromTheTitleToAMatchAndPausesIt ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    Frame( world ); // the gamepad plugged in
    Push( world, SDL_CONTROLLER_BUTTON_A );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETUP );
    const int stock = g_screens.GetSetup().stock;
    Push( world, SDL_CONTROLLER_BUTTON_DPAD_UP, 2 );
    EXPECT_EQ( g_screens.GetSetupScreen().GetMenu().GetSelectedId(), SetupScreen::STOCK );
    Push( world, SDL_CONTROLLER_BUTTON_DPAD_LEFT );
    EXPECT_EQ( g_screens.GetSetup().stock, stock - 1 );
    Push( world, SDL_CONTROLLER_BUTTON_DPAD_DOWN, 2 );
    Push( world, SDL_CONTROLLER_BUTTON_A );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( g_arsenal.GetStock( 0, WEAPON_HEAVY ), stock - 1 );

    Push( world, SDL_CONTROLLER_BUTTON_START );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    EXPECT_TRUE( g_screens.IsPaused() );
    const int match = g_hud.GetMatch().GetMatchNumber();
    Push( world, SDL_CONTROLLER_BUTTON_DPAD_DOWN ); // Restart match
    Push( world, SDL_CONTROLLER_BUTTON_A );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( g_hud.GetMatch().GetMatchNumber(), match + 1 );
    Push( world, SDL_CONTROLLER_BUTTON_START );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    Push( world, SDL_CONTROLLER_BUTTON_B );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    // The back button (the pad's Escape) pauses too, and Start resumes.
    Push( world, SDL_CONTROLLER_BUTTON_BACK );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    Push( world, SDL_CONTROLLER_BUTTON_START );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    GameEnd( world );
}
