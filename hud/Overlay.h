#ifndef KELTO_HUD_OVERLAY_H
#define KELTO_HUD_OVERLAY_H

#include "gfx/Rect.h"
#include "hud/TextStrip.h"

#include <cstdint>

class HudColours;
class Image;
class LandMap;
class Match;
class Tank;
class TextLine;
class World;

// What the player's view draws over the finished scene: a label over every tank in play with
// its player's number in the player's colour, its health bar under it and a marker over the
// one whose turn it is, the matches won, the readouts of the turn (health, barrel elevation
// above the horizon, side, power) with the power meter, the map of the land, the news of a
// tank leaving the match, and when asked the starting hint, the winner's (or the draw's)
// banner and the help panel.
// It only reads the World and the Match.
class Overlay {
public:
    static constexpr int MAX_REGIONS = 16;
    static constexpr int METER_LENGTH = 200;
    static constexpr int MARGIN = 4;

    Overlay();
    virtual ~Overlay();

    static constexpr int NAME_LENGTH = 12;
    static constexpr int MAX_NAMES = 4;
    static constexpr int HELP_STRIPS = 11; // the help panel's, the line of the health included

    // The name a player is shown by (at most NAME_LENGTH characters); empty (the start) shows
    // the player's number as before.
    void SetName( int player, const char *name );
    const char *GetName( int player ) const;

    // Draws everything into the screen and notes the rectangle of each part drawn.
    void Draw( Image &screen, const World &world, const Match &match, const LandMap &map,
               const HudColours &colours, int showHint, int showHelp );

    // The rectangles the last Draw drew in, on the screen; nothing outside them was touched.
    int GetRegionCount() const { return regionCount; }
    const Rect &GetRegion( int index ) const { return regions[index]; }
    // Where the meter's bar starts and how long it is filled for a power.
    static Rect MeterBar( int screenHeight );
    static int MeterFill( int power );
    static Rect MapBox( int screenWidth, const LandMap &map );
    // How many pixels of a full health bar a tank's health fills.
    static int HealthFill( int health, int startHealth );

private:
    void Note( const Rect &region );
    void DrawLabels( Image &screen, const World &world, const Match &match, const HudColours &colours );
    void DrawMarker( Image &screen, int centreX, int bottom, const HudColours &colours );
    void WriteMarker( Image &screen, int centreX, int bottom, const HudColours &colours );
    void WriteBar( Image &screen, const Rect &bar, int fill, uint8_t colour, const HudColours &colours );
    // 1 when the box lies wholly inside the screen's clip rectangle.
    static int Inside( const Image &screen, const Rect &box );
    Rect DrawHealth( Image &screen, int centreX, int top, const Match &match, int player,
                     const HudColours &colours );
    void DrawNews( Image &screen, const Match &match, const HudColours &colours );
    void DrawScores( Image &screen, const Match &match, const HudColours &colours );
    void DrawReadouts( Image &screen, const Match &match, const HudColours &colours );
    void DrawHint( Image &screen, const HudColours &colours );
    void DrawBanner( Image &screen, const Match &match, const HudColours &colours );
    void DrawHelp( Image &screen, const Match &match, const HudColours &colours );
    void DrawPanel( Image &screen, const Rect &box, const HudColours &colours );
    void DrawCentred( Image &screen, int y, const char *text, uint8_t colour, const HudColours &colours,
                      int scale, TextStrip *strip );

    // "PLAYER N", or the player's name.
    void AddPlayer( TextLine &line, int player, const char *numberWord ) const;

    Rect regions[MAX_REGIONS];
    char names[MAX_NAMES][NAME_LENGTH + 1];
    int regionCount;
    // Every line of text the view draws at scale 1 keeps its own strip, by its place.
    TextStrip labelStrips[MAX_NAMES];
    TextStrip scoreStrips[MAX_NAMES];
    TextStrip wonStrip;
    TextStrip nameStrip;
    TextStrip valueStrips[3]; // health, angle, power: a changing one leaves the others kept
    TextStrip hintStrip;
    TextStrip newsStrip;
    TextStrip bannerStrip;
    TextStrip helpStrips[HELP_STRIPS];
};

#endif
