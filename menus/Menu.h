#ifndef KELTO_MENUS_MENU_H
#define KELTO_MENUS_MENU_H

#include "gfx/Rect.h"

#include <string>
#include <vector>

class HudColours;
class Image;
class MenuInput;

// A list of entries on a panel, one of them selected: Up and Down move the selection (round
// from the last to the first), Enter chooses it, Left and Right step an entry that has a
// value to choose from, Escape (or Backspace) goes back. Drawn in the game's font at twice
// its size, the selected entry on a bar of its own, every entry with the font's shadow over
// a dark panel, so that it reads over sky and ground alike.
class Menu {
public:
    static constexpr int SCALE = 2;
    static constexpr int ROW_HEIGHT = 20;
    static constexpr int PADDING = 12;
    static constexpr int TITLE_HEIGHT = 30;
    static constexpr int MIN_WIDTH = 260;

    enum EventType { EVENT_NONE, EVENT_CHOSEN, EVENT_STEPPED, EVENT_BACK };
    struct Event {
        EventType type;
        int id;   // the entry chosen or stepped
        int step; // -1 or +1 for a step
    };

    Menu();
    virtual ~Menu();

    // Empties the menu and gives it its title (empty for none).
    void Start( const char *title );
    // An entry with its id; `stepped` entries take Left and Right, and show `value` after the
    // label.
    void Add( int id, const char *label, const std::string &value = std::string(), int stepped = 0 );
    void SetValue( int id, const std::string &value );
    // The panel's top; -1 (the start) centres it on the screen.
    void SetTop( int top ) { this->top = top; }

    int GetCount() const { return int( entries.size() ); }
    int GetSelectedId() const;
    void Select( int id );

    Event Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const;
    // Where the panel stands on a screen of that size.
    Rect GetBox( int screenWidth, int screenHeight ) const;

private:
    struct Entry {
        int id;
        std::string label;
        std::string value;
        int stepped;
    };

    int LabelWidth() const;

    std::string title;
    std::vector<Entry> entries;
    int selected;
    int top;
};

#endif
