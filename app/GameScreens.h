#ifndef KELTO_APP_GAMESCREENS_H
#define KELTO_APP_GAMESCREENS_H

#include "host/HostPointer.h"
#include "menus/HelpScreen.h"
#include "menus/MenuInput.h"
#include "menus/OnlineScreen.h"
#include "menus/PauseScreen.h"
#include "menus/SettingsScreen.h"
#include "menus/SetupScreen.h"
#include "menus/TitleScreen.h"

#include <cstdint>
#include <string>
#include <vector>

// Which of the game's screens is up, and where each leads: the title (over the computer's
// match) leads to the set-up, the settings, the help and (on the desktop) the online screen,
// which hosts or joins a match over the network; the set-up starts a match; in play
// Escape pauses and F1 shows the help, both over the match standing still; the pause menu
// resumes, restarts, goes to the settings, back to the title or quits. The settings and the
// help go back to the screen they came from. The game's frame asks it first, every frame, and
// does what it requests.
class GameScreens {
public:
    enum Screen { PLAYING, TITLE, SETUP, PAUSE, SETTINGS, HELP, ONLINE };
    enum Request { NOTHING, START_MATCH, RESTART_MATCH, TO_TITLE, QUIT, HOST_ONLINE, JOIN_ONLINE };

    GameScreens();
    virtual ~GameScreens();

    // On the title or in play; `withQuit` offers Quit (not in a browser), `withRestart`
    // Restart match and Quit to title (not for a recorded or replayed match). `namer` names
    // keys and buttons for the settings file; null offers no bindings (see SettingsScreen).
    void Start( int onTitle, int withQuit, int withRestart, SettingsScreen::InputNamer namer );
    // Offers Online on the title (before Start): only where the game can play over the network.
    void SetWithOnline( int online ) { withOnline = online; }
    // Where the game runs no relay itself, Host hosts on a relay typed on the online screen;
    // an address typed without a scheme takes `scheme`.
    void SetOnlineHosting( int onTypedRelay, const std::string &scheme ) {
        online.SetWithRelay( onTypedRelay );
        online.SetDefaultScheme( scheme );
    }
    // Back on the online screen with why the match could not be hosted or joined.
    void RefuseOnline( const std::string &reason );
    // What the online screen says while it waits (for the room's answer).
    void TellOnline( const std::string &text );
    // Reads this frame's keys and mouse (null for none); returns what the game must do (a
    // Request).
    int Frame( const uint8_t *keys, const HostPointerState *pointer = nullptr );
    void Draw( Image &screen, const HudColours &colours ) const;

    int GetScreen() const { return screen; }
    int IsOpen() const { return screen != PLAYING; }
    // A menu over a match in play: the match stands still.
    int IsPaused() const { return screen != PLAYING && overMatch; }
    // The title and the screens reached from it: the computer's match plays on behind them.
    int IsOnTitle() const { return screen != PLAYING && !overMatch; }

    // The land the set-up starts from when the command line named one (in the settings
    // file's words; empty: the settings' own), and the code of the land being played (empty
    // for a land read from pictures), shown in the pause menu.
    void SetLand( const std::string &setupLand, const std::string &matchCode );

    const MatchSetup &GetSetup() const { return setup.GetSetup(); }
    // The settings the player changed since the last call, and the settings to show after
    // they were applied.
    std::vector<SettingsScreen::Change> TakeSettingChanges() { return settings.TakeChanges(); }
    void RefreshSettings( const Settings &applied ) { settings.Refresh( applied ); }

    const TitleScreen &GetTitle() const { return title; }
    const SetupScreen &GetSetupScreen() const { return setup; }
    const PauseScreen &GetPause() const { return pause; }
    const OnlineScreen &GetOnline() const { return online; }
    const SettingsScreen &GetSettings() const { return settings; }

private:
    int OnTitle();
    int OnSetup();
    int OnPlaying();
    int OnPause();
    int OnOnline();
    void Open( int next );

    MenuInput input;
    TitleScreen title;
    SetupScreen setup;
    PauseScreen pause;
    SettingsScreen settings;
    HelpScreen help;
    OnlineScreen online;
    SettingsScreen::InputNamer namer; // not owned
    int screen;
    int returnTo;  // where the settings and the help go back to
    int overMatch; // the screens are over a match in play, not over the title
    int withQuit;
    int withRestart;
    int withOnline;
    std::string setupLand;
    std::string matchCode;
};

#endif
