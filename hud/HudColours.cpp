#include "hud/HudColours.h"

namespace {

struct Wanted {
    int red;
    int green;
    int blue;
};

// Four colours that stay apart from each other and, with the shadow, read on sky, grass and
// earth: the blue is a light one, since a deep blue vanishes in the sky.
const Wanted PLAYER_WANTED[HudColours::PLAYER_COLOURS] = {
    { 235, 50, 40 },
    { 120, 190, 255 },
    { 255, 225, 50 },
    { 60, 220, 60 },
};

} // namespace

HudColours::HudColours()
    : players{ 0, 0, 0, 0 }, text( 0 ), shadow( 0 ), panel( 0 ), bright( 0 ), ground( 0 ), sky( 0 ) {
}

HudColours::~HudColours() {
}

uint8_t HudColours::Nearest( const HostPaletteEntry *entries, int red, int green, int blue ) {
    int best = 0;
    int bestDistance = -1;
    for ( int i = 0; i < 256; i++ ) {
        const int dr = entries[i].red - red;
        const int dg = entries[i].green - green;
        const int db = entries[i].blue - blue;
        const int distance = dr * dr + dg * dg + db * db;
        if ( bestDistance < 0 || distance < bestDistance ) {
            best = i;
            bestDistance = distance;
        }
    }
    return uint8_t( best );
}

void HudColours::Find( const HostPaletteEntry *entries ) {
    for ( int i = 0; i < PLAYER_COLOURS; i++ ) {
        const Wanted &wanted = PLAYER_WANTED[i];
        players[i] = Nearest( entries, wanted.red, wanted.green, wanted.blue );
    }
    text = Nearest( entries, 255, 255, 255 );
    shadow = Nearest( entries, 0, 0, 0 );
    panel = Nearest( entries, 20, 24, 40 );
    bright = Nearest( entries, 255, 250, 200 );
    ground = Nearest( entries, 110, 80, 50 );
    sky = Nearest( entries, 40, 70, 140 );
}
