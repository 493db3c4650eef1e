#ifndef KELTO_MENUS_PAUSESCREEN_H
#define KELTO_MENUS_PAUSESCREEN_H

#include "menus/Menu.h"

// The menu over a match standing still: Resume (Escape too), Restart match, Settings, Quit to
// title and Quit. A match being recorded or replayed cannot be restarted or left for the
// title, since its recording holds one match as it was played.
class PauseScreen {
public:
    enum Choice { NONE, RESUME, RESTART, SETTINGS, TO_TITLE, QUIT };

    PauseScreen();
    virtual ~PauseScreen();

    void Build( int withRestart, int withQuit );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    const Menu &GetMenu() const { return menu; }

private:
    Menu menu;
};

#endif
