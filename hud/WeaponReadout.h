#ifndef KELTO_HUD_WEAPONREADOUT_H
#define KELTO_HUD_WEAPONREADOUT_H

#include "gfx/Rect.h"
#include "hud/TextStrip.h"

class Arsenal;
class HudColours;
class Image;
class World;

// The readout of the default game's wind and weapons, over the turn's readouts in the
// bottom-left corner: the five weapons with what is left of each for the player whose turn it
// is (the chosen one bright and in brackets), and to the right of the power meter the wind as
// an arrow as long as it is strong, pointing the way it blows, and its strength in steps.
class WeaponReadout {
public:
    static constexpr int MAX_REGIONS = 2;
    // The arrow grows by this many pixels for each step of wind.
    static constexpr int ARROW_PER_STEP = 4;
    static constexpr int WEAPON_STRIPS = 5; // at least the game's weapon choices

    WeaponReadout();
    virtual ~WeaponReadout();

    // `showWeapons` and `showWind` as the game's rules have them.
    void Draw( Image &screen, const World &world, const Arsenal &arsenal, const HudColours &colours,
               int showWeapons, int showWind );

    // The rectangles the last Draw drew in; nothing outside them was touched.
    int GetRegionCount() const { return regionCount; }
    const Rect &GetRegion( int index ) const { return regions[index]; }

private:
    void DrawWeapons( Image &screen, const World &world, const Arsenal &arsenal, const HudColours &colours );
    void DrawWind( Image &screen, int wind, const HudColours &colours );
    void Note( const Rect &region );

    Rect regions[MAX_REGIONS];
    int regionCount;
    // The readout's words kept between frames, by their places.
    TextStrip weaponStrips[WEAPON_STRIPS];
    TextStrip windStrip;
    TextStrip strengthStrip;
};

#endif
