#ifndef KELTO_HUD_HUDCOLOURS_H
#define KELTO_HUD_HUDCOLOURS_H

#include "host/HostTypes.h"

#include <cstdint>

// The colours of the player's view, each the entry of the game's palette nearest to the colour
// wanted: the game has one palette, the background picture's, and the view draws with it.
// Found once at start-up.
class HudColours {
public:
    static constexpr int PLAYER_COLOURS = 4;

    HudColours();
    virtual ~HudColours();

    // Picks every colour from the 256 entries.
    void Find( const HostPaletteEntry *entries );

    // The index of the entry nearest to (red, green, blue), the first of equals.
    static uint8_t Nearest( const HostPaletteEntry *entries, int red, int green, int blue );

    uint8_t GetPlayer( int player ) const {
        return player >= 0 && player < PLAYER_COLOURS ? players[player] : text;
    }
    uint8_t GetText() const { return text; }
    uint8_t GetShadow() const { return shadow; }
    uint8_t GetPanel() const { return panel; }
    uint8_t GetBright() const { return bright; }
    uint8_t GetGround() const { return ground; }
    uint8_t GetSky() const { return sky; }

private:
    uint8_t players[PLAYER_COLOURS]; // red, light blue, yellow, green
    uint8_t text;                    // white
    uint8_t shadow;                  // black
    uint8_t panel;                   // a dark blue-grey behind boxes of text
    uint8_t bright;                  // bombs on the map, the filled meter
    uint8_t ground;                  // the map's land
    uint8_t sky;                     // the map's sky
};

#endif
