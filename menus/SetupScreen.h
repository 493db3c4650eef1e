#ifndef KELTO_MENUS_SETUPSCREEN_H
#define KELTO_MENUS_SETUPSCREEN_H

#include "menus/MatchSetup.h"
#include "menus/Menu.h"

// The match's set-up: who sits in each of the four seats and under which name, the starting
// health, the wind, the weapons' stock and the land; then Play. Left and Right step a value;
// Enter on a name starts typing it (letters, digits, space; Backspace rubs out, Enter keeps
// it, Escape puts the old one back).
class SetupScreen {
public:
    enum Choice { NONE, PLAY, BACK };
    // The entries' ids: a seat's kind is SEAT + seat, its name NAME + seat.
    enum Entry { SEAT = 0, NAME = 10, HEALTH = 20, WIND, STOCK, LAND, PLAY_ENTRY, BACK_ENTRY };
    static constexpr int HEALTH_STEP = 25;
    static constexpr int HEALTH_MOST = 500;
    static constexpr int STOCK_MOST = 99;

    SetupScreen();
    virtual ~SetupScreen();

    // `land` says what the match is played on (a land code, or that each match has a new one).
    void Build( const MatchSetup &setup, const std::string &land = "BUNDLED" );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    const MatchSetup &GetSetup() const { return setup; }
    // The seat whose name is being typed, or -1.
    int GetTyping() const { return typing; }
    const Menu &GetMenu() const { return menu; }

private:
    void Step( int id, int step );
    void Type( const MenuInput &input );
    void ShowValues();

    Menu menu;
    MatchSetup setup;
    int typing;
    std::string nameBefore; // the name being typed, as it was
    std::string land;
};

#endif
