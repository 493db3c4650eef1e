#ifndef KELTO_MENUS_MENU_H
#define KELTO_MENUS_MENU_H

#include "gfx/Image.h"
#include "gfx/Rect.h"

#include <memory>
#include <string>
#include <vector>

class HudColours;
class MenuInput;

// A list of entries on a panel, one of them selected: Up and Down move the selection (round
// from the last to the first), Enter chooses it, Left and Right step an entry that has a
// value to choose from, Escape (or Backspace) goes back. Drawn in the game's font at twice
// its size (or its own size for a long list), the selected entry on a bar of its own, every entry with the
// font's shadow over a dark panel, so that it reads over sky and ground alike. The panel is drawn once into a
// picture of its own and copied onto every frame until the menu changes, so that a frame with
// a menu up costs about a copy of the panel. The mouse selects the entry it moves onto, and a
// click chooses an entry, or steps one with a value: back on the panel's left half, on on its
// right.
class Menu {
public:
    static constexpr int SCALE = 2;
    static constexpr int ROW_HEIGHT = 16;
    static constexpr int SMALL_ROW_HEIGHT = 10;
    static constexpr int PADDING = 12;
    static constexpr int TITLE_GAP = 14; // below the title
    static constexpr int MIN_WIDTH = 256;

    enum EventType { EVENT_NONE, EVENT_CHOSEN, EVENT_STEPPED, EVENT_BACK };
    struct Event {
        EventType type;
        int id;   // the entry chosen or stepped
        int step; // -1 or +1 for a step
    };

    Menu();
    virtual ~Menu();

    // Empties the menu and gives it its title (empty for none), drawn `titleScale` times the
    // font's size.
    void Start( const char *title, int titleScale = SCALE );
    // The entries in the font's own size (after Start): for the long lists, whose panels would
    // cover too much of the screen to copy every frame.
    void SetSmall();
    // An entry with its id; `stepped` entries take Left and Right, and show `value` after the
    // label.
    void Add( int id, const char *label, const std::string &value = std::string(), int stepped = 0 );
    void SetValue( int id, const std::string &value );
    // The value an entry shows; empty for an entry without one, or no such entry.
    std::string GetValue( int id ) const;
    // The panel's top; -1 (the start) centres it on the screen.
    void SetTop( int top );

    int GetCount() const { return int( entries.size() ); }
    int GetSelectedId() const;
    void Select( int id );

    Event Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const;
    // Where the panel stands on a screen of that size.
    Rect GetBox( int screenWidth, int screenHeight ) const;
    // The rows of the entries' place in the list (from 0) on a screen of that size; the
    // place of the entry under the screen's point (x, y), or -1.
    Rect GetEntryBox( int place, int screenWidth, int screenHeight ) const;
    int EntryAt( int x, int y, int screenWidth, int screenHeight ) const;

private:
    struct Entry {
        int id;
        std::string label;
        std::string value;
        int stepped;
    };

    int LabelWidth() const;
    // A mouse click on an entry, as an event; EVENT_NONE off the entries.
    Event Click( const MenuInput &input );
    int TitleHeight() const;
    // Draws the panel into `target` with its top-left corner at (0, 0).
    void DrawPanel( Image &target, const HudColours &colours ) const;

    std::string title;
    int titleScale;
    int scale; // the entries' size, and their rows' height
    int rowHeight;
    std::vector<Entry> entries;
    int selected;
    int top;
    mutable std::unique_ptr<Image> panel; // the panel as last drawn
    mutable int panelDrawn;               // 0 after any change
    mutable uint8_t panelColour;          // the colours it was drawn with
    mutable int screenWidth;              // the screen it was last drawn on, for the mouse
    mutable int screenHeight;
    mutable Rect panelBox; // where it was last drawn
};

#endif
