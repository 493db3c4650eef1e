#ifndef KELTO_MENUS_SETTINGSSCREEN_H
#define KELTO_MENUS_SETTINGSSCREEN_H

#include "menus/Menu.h"
#include "settings/Settings.h"

#include <string>
#include <vector>

// The settings file on screen: the window, the scaling, the volume, the gamepad and its dead
// zone step with Left and Right; a key or a gamepad button of the tank is bound by choosing
// it and pressing the new one (Escape keeps the old); Defaults puts every binding
// back. Each change is handed out at once as the file's key and value. Where the game cannot
// change its window or bindings (a browser) only the volume is offered.
class SettingsScreen {
public:
    enum Choice { NONE, BACK };

    // A change for the settings file, in its own words.
    struct Change {
        std::string key;
        std::string value;
    };

    // Names an input of the key state for the settings file (host/HostKeyState.h); empty for
    // one without a name.
    typedef std::string ( *InputNamer )( int input );

    SettingsScreen();
    virtual ~SettingsScreen();

    // `namer` null offers the volume alone.
    void Build( const Settings &settings, InputNamer namer );
    // Shows the values of `settings` again (after the changes were applied).
    void Refresh( const Settings &settings );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    // The changes made since the last call.
    std::vector<Change> TakeChanges();
    // The binding waiting for its key or button, or -1.
    int GetBinding() const { return binding; }
    const Menu &GetMenu() const { return menu; }

private:
    void Step( int id, int step );
    void Bind();
    void ResetControls();
    void Add( const char *key, const std::string &value );

    Menu menu;
    InputNamer namer; // not owned
    Settings shown;   // the settings as the menu shows them
    std::vector<Change> changes;
    int binding; // the entry of the binding waiting for its input
};

#endif
