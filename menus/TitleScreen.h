#ifndef KELTO_MENUS_TITLESCREEN_H
#define KELTO_MENUS_TITLESCREEN_H

#include "menus/Menu.h"

// The first screen of the game: its name, large, and Play, Settings, Help, Online (where the
// game can play over the network) and (where the game can end itself) Quit on one panel over
// the computer's match behind it. Escape there quits too.
class TitleScreen {
public:
    enum Choice { NONE, PLAY, ONLINE, SETTINGS, HELP, QUIT };
    static constexpr int NAME_SCALE = 6;
    static constexpr int TOP = 80;

    TitleScreen();
    virtual ~TitleScreen();

    void Build( int withQuit, int withOnline );
    // What the player chose in this frame.
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    const Menu &GetMenu() const { return menu; }

private:
    Menu menu;
    int withQuit;
};

#endif
