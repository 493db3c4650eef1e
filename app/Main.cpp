// The program's entry on a desktop: reads the options and the settings file, brings up the
// SDL backend with the player's window, scaling, keys and gamepad (or, for a timedemo, the
// headless backend: nothing is shown) and hands over to the game's own entry function.

#include "app/App.h"
#include "app/Controls.h"
#include "app/DataFolder.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostBackend.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "host/sdl/PictureScaling.h"
#include "host/sdl/SdlBackend.h"
#include "host/sdl/SdlInputNames.h"
#include "settings/SettingsFile.h"

#if KELTO_IN_GAME_RELAY
#include "relay/InGameRelay.h"
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

volatile sig_atomic_t stopAsked = 0;

void AskToStop( int ) {
    stopAsked = 1;
}

// SIGTERM, SIGINT and SIGHUP, where nobody asked for something else, only ask the game to stop.
void TakeStopSignals() {
    const int signals[] = { SIGTERM, SIGINT, SIGHUP };
    for ( int number : signals ) {
        struct sigaction action;
        if ( sigaction( number, nullptr, &action ) == 0 && action.sa_handler == SIG_DFL ) {
            action = {};
            action.sa_handler = AskToStop;
            sigemptyset( &action.sa_mask );
            sigaction( number, &action, nullptr );
        }
    }
}

// A timedemo ends on SIGTERM, SIGINT and SIGHUP as the game in its window does: as if
// Escape had been pressed, through the game's own end.
class TimedemoBackend : public HeadlessBackend {
public:
    TimedemoBackend() : closePosted( 0 ) {}

    void PumpEvents( int wait ) override {
        if ( stopAsked && !closePosted && HostGetMainWindow() != nullptr ) {
            closePosted = HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 ) ? 1 : 0;
        }
        HeadlessBackend::PumpEvents( wait );
    }

private:
    int closePosted;
};

} // namespace

// The running program's own file, for the installed data beside it.
static std::string ProgramPath( const char *argument0 ) {
    char path[4096];
    const ssize_t length = readlink( "/proc/self/exe", path, sizeof( path ) - 1 );
    if ( length <= 0 ) {
        return argument0 != nullptr ? argument0 : "";
    }
    path[length] = '\0';
    return path;
}

// The desktop's backend while the game runs, for the settings changed on screen.
static SdlBackend *shownBackend = nullptr;

// What the settings screen changed that the backend holds: the window, the scaling, the
// gamepad and the bindings.
static void ApplySettings( const Settings &settings ) {
    if ( shownBackend == nullptr ) {
        return;
    }
    shownBackend->SetScaleMode( ScaleModeFromName( settings.scale.c_str() ) );
    shownBackend->SetGamepad( settings.gamepad, settings.padDeadZone );
    BindControls( shownBackend->GetKeyState(), settings, SdlInputsFromNames );
    if ( shownBackend->IsFullScreen() == settings.windowed ) {
        shownBackend->ToggleFullScreen();
    }
}

static int RunOn( HostBackend &backend ) {
    HostSetBackend( &backend );
    const int exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
    // The game's process-wide objects outlive main; what they release after it returns must
    // not reach a backend that is gone.
    HostSetBackend( nullptr );
    return exitCode;
}

#if KELTO_IN_GAME_RELAY
// The relay a host runs inside the game, from --host or the online screen: main's, started
// once and kept until the game ends.
static InGameRelay *ownRelay = nullptr;

static int StartOwnRelay( std::string &relayUrl, std::string &joinHost, std::string &error ) {
    InGameRelay &relay = *ownRelay;
    if ( relay.GetPort() <= 0 && !relay.Start( std::string() ) ) {
        error = relay.GetError();
        return 0;
    }
    relayUrl = "ws://127.0.0.1:" + std::to_string( relay.GetPort() );
    joinHost = InGameRelay::GetNetworkAddress();
    return 1;
}
#endif

int main( int argc, char **argv ) {
    Options &options = g_options;
    switch ( ParseOptions( argc, argv, options, stdout, stderr ) ) {
    case OPTIONS_EXIT_OK:
        return 0;
    case OPTIONS_INVALID:
        return 2;
    case OPTIONS_RUN:
        break;
    }

    g_options = options;
    // Taken before anything is read: a timedemo may spend its first seconds checking a file.
    if ( !options.timedemo.empty() ) {
        TakeStopSignals();
    }

    // Found before the window opens, so that a game with no pictures never flashes a screen.
    DataFolder data;
    if ( !data.Find( options.data.c_str(), std::getenv( "KELTO_DATA" ), ProgramPath( argv[0] ).c_str() ) ) {
        // The folder named with --data is the only place, so the picture it lacks is the answer.
        if ( !options.data.empty() ) {
            std::fprintf( stderr, "kelto: cannot find the pictures in %s: %s\n", options.data.c_str(),
                          data.GetMissing().c_str() );
        } else {
            std::fprintf( stderr, "kelto: cannot find the pictures; looked in %s\n",
                          data.GetTried().c_str() );
        }
        return 1;
    }
    GameSetDataFolder( data.GetPath() );

    SettingsFile settingsFile;
    settingsFile.SetNameChecks( SdlIsKeyName, SdlIsPadName );
    const std::string settingsPath =
        options.settings.empty() ? SettingsFile::GetDefaultPath() : options.settings;
    settingsFile.Load( settingsPath, g_settings, stderr, stdout );
    ApplyOptions( options, g_settings );

    // A timedemo runs the recorded game as fast as it goes, without a display or a window.
    if ( !options.timedemo.empty() ) {
        TimedemoBackend backend;
        backend.SetKeepFrames( 0 );
        return RunOn( backend );
    }
#if KELTO_IN_GAME_RELAY
    // A host without a relay runs one itself, for friends on its network.
    InGameRelay relay;
    ownRelay = &relay;
    if ( options.host && options.relay.empty() ) {
        std::string relayUrl;
        std::string joinHost;
        std::string error;
        if ( !StartOwnRelay( relayUrl, joinHost, error ) ) {
            std::fprintf( stderr, "kelto: cannot start the relay: %s\n", error.c_str() );
            return 1;
        }
        g_options.relay = relayUrl;
        GameSetJoinHost( joinHost );
    }
    GameSetRelayStarter( StartOwnRelay );
#endif
    SdlBackend backend( g_settings.windowed );
    backend.SetScaleMode( ScaleModeFromName( g_settings.scale.c_str() ) );
    backend.SetGamepad( g_settings.gamepad, g_settings.padDeadZone );
    BindControls( backend.GetKeyState(), g_settings, SdlInputsFromNames );
    if ( !backend.Init() ) {
        std::fprintf( stderr, "kelto: no display available: %s\n", backend.GetError() );
        return 1;
    }
    shownBackend = &backend;
    GameUseMenus( 1 );
    GameSetSettingsFile( &settingsFile, settingsPath, SdlInputName, ApplySettings );
    const int exitCode = RunOn( backend );
    shownBackend = nullptr;
    GameSetSettingsFile( nullptr, std::string(), nullptr, nullptr );
#if KELTO_IN_GAME_RELAY
    GameSetRelayStarter( nullptr );
    ownRelay = nullptr;
#endif
    return exitCode;
}
