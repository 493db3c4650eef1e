#ifndef KELTO_MENUS_SETUPSCREEN_H
#define KELTO_MENUS_SETUPSCREEN_H

#include "menus/LandChoice.h"
#include "menus/MatchSetup.h"
#include "menus/Menu.h"

// The match's set-up: who sits in each of the four seats and under which name, the starting
// health, the wind, the weapons' stock and the land; then Play. Left and Right step a value;
// Enter on a name starts typing it (letters, digits, space; Backspace rubs out, Enter keeps
// it, Escape puts the old one back). Enter on the land types a land's code the same way; a
// code that does not parse is refused on screen and stays to be put right. Play with fewer
// than two seats taken is refused on screen too, until the next key.
class SetupScreen {
public:
    enum Choice { NONE, PLAY, BACK };
    // The entries' ids: a seat's kind is SEAT + seat, its name NAME + seat.
    enum Entry { SEAT = 0, NAME = 10, HEALTH = 20, WIND, STOCK, LAND, PLAY_ENTRY, BACK_ENTRY };
    static constexpr int HEALTH_STEP = 25;
    static constexpr int HEALTH_MOST = 500;
    static constexpr int STOCK_MOST = 99;
    // The fewest seats a match is played with.
    static constexpr int FEWEST_SEATS = 2;

    SetupScreen();
    virtual ~SetupScreen();

    void Build( const MatchSetup &setup );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const { menu.Draw( screen, colours ); }

    const MatchSetup &GetSetup() const { return setup; }
    // The seat whose name is being typed, or -1.
    int GetTyping() const { return typing; }
    int IsTypingLand() const { return typingLand; }
    const Menu &GetMenu() const { return menu; }

private:
    void Step( int id, int step );
    void Type( const MenuInput &input );
    void TypeLand( const MenuInput &input );
    void ShowValues();

    Menu menu;
    MatchSetup setup;
    int typing;
    std::string nameBefore; // the name being typed, as it was
    LandChoice land;
    int typingLand;
    std::string landText; // the code being typed
    int landRefused;      // the code typed was refused, and is shown so until the next key
    int playRefused;      // Play was refused for want of seats, and is shown so until the next key
};

#endif
