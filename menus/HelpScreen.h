#ifndef KELTO_MENUS_HELPSCREEN_H
#define KELTO_MENUS_HELPSCREEN_H

#include "gfx/Image.h"

#include <memory>
#include <string>
#include <vector>

struct Settings;
class HudColours;
class MenuInput;

// Every key of the game on one panel, with the player's own bindings for the tank's keys;
// Enter, Escape, F1 or a click close it. Drawn once into a picture of its own, then copied onto each
// frame.
class HelpScreen {
public:
    static constexpr int LINE_HEIGHT = 10;
    static constexpr int PADDING = 12;

    HelpScreen();
    virtual ~HelpScreen();

    void Build( const Settings &settings );
    // 1 when the player closed the help in this frame.
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const;

    int GetLineCount() const { return int( lines.size() ); }
    const std::string &GetLine( int index ) const { return lines[index]; }

private:
    void AddRow( const char *what, const std::string &keys );
    void DrawPanel( Image &target, const HudColours &colours ) const;

    std::vector<std::string> lines;
    mutable std::unique_ptr<Image> panel; // the panel as last drawn; null after Build
};

#endif
