#ifndef KELTO_HUD_HUD_H
#define KELTO_HUD_HUD_H

#include "hud/HudColours.h"
#include "hud/LandMap.h"
#include "hud/Overlay.h"
#include "play/Match.h"

#include <cstdint>

class Display;
class Image;
class World;

// The player's view around the default game: the match with its players, health and winner,
// and the overlay drawn over the finished scene. The game's frame asks it, in this order, for
// the keys of the view (F1 for help, Enter or Space for a new match after a win), whether
// play goes on, to look at what the update did, and to draw over the scene before the flip.
class Hud {
public:
    // How long the starting hint stays at least, and at most while tanks are still settling.
    static constexpr int HINT_FRAMES = 180;
    static constexpr int HINT_LONGEST_FRAMES = 1200;
    // The banner stands this long before a key starts a new match, so that a key still held
    // from the last shot does not sweep it away.
    static constexpr int BANNER_FRAMES = 45;

    Hud();
    virtual ~Hud();

    // Takes the World's tanks as the players and finds the view's colours in the palette.
    // 1, or 0 when the match cannot be made.
    int Init( World &world, const HostPaletteEntry *palette, int startHealth );
    // Reads this frame's keys; 1 when a new match is wanted.
    int ReadKeys( const uint8_t *keys );
    // A fresh match with new tanks at `columns`; 1, or 0 when no tank could be made.
    int StartNewMatch( World &world, const int columns[Match::MAX_PLAYERS] );
    // 0 once the match is won or drawn: the World is then no longer updated.
    int IsPlaying() const { return match.GetOutcome() == Match::Playing; }
    // After the World's update: the match keeps its rules, and the map is redrawn where
    // craters fell.
    void Observe();
    // Over the finished scene, before the flip.
    void Draw( Display &display, const World &world );
    void DrawOn( Image &screen, const World &world );
    // Lets go of the World before its tanks are deleted at the game's end.
    void Forget();

    // The name a player is shown by; empty shows the player's number.
    void SetName( int player, const char *name ) { overlay.SetName( player, name ); }

    Match &GetMatch() { return match; }
    const Match &GetMatch() const { return match; }
    const LandMap &GetMap() const { return map; }
    const Overlay &GetOverlay() const { return overlay; }
    const HudColours &GetColours() const { return colours; }
    int GetHelpShown() const { return helpShown; }
    int GetHintShown() const;

private:
    Hud( const Hud & ) = delete;
    Hud &operator=( const Hud & ) = delete;

    int ResetView();

    Match match;
    LandMap map;
    Overlay overlay;
    HudColours colours;
    const World *world; // not owned
    int helpShown;
    int settled;      // every tank has stood on the ground at least once in this match
    int bannerFrames; // frames the winner's banner has stood
    uint8_t helpKeyBefore;
    uint8_t newMatchKeysBefore;
};

#endif
