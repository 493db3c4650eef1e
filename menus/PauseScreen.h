#ifndef KELTO_MENUS_PAUSESCREEN_H
#define KELTO_MENUS_PAUSESCREEN_H

#include "menus/Menu.h"

// The menu over a match standing still: Resume (Escape too), Restart match, Settings, Quit to
// title and Quit, and the code of the land played on, to share or play again with --land. A match being
// recorded or replayed cannot be restarted or left for the title, since its recording holds one match as it
// was played.
class PauseScreen {
public:
    enum Choice { NONE, RESUME, RESTART, SETTINGS, TO_TITLE, QUIT, LAND };

    PauseScreen();
    virtual ~PauseScreen();

    // `land`: the land's code; empty shows none (a land read from pictures).
    void Build( int withRestart, int withQuit, const std::string &land = std::string() );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    const Menu &GetMenu() const { return menu; }

private:
    Menu menu;
};

#endif
