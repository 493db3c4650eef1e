#include "hud/WeaponReadout.h"

#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "hud/Overlay.h"
#include "hud/TextLine.h"
#include "play/Arsenal.h"
#include "play/Wind.h"

namespace {

const int LINE = Font::GLYPH_HEIGHT + 4; // as the turn's readouts above the meter
const int WIND_GAP = 12;                 // between the meter and the wind
const char *const SHORT_NAMES[WEAPON_CHOICES] = { "BOMB", "HEAVY", "CLUSTER", "DIGGER", "DIRT" };

} // namespace

static_assert( WEAPON_CHOICES <= WeaponReadout::WEAPON_STRIPS, "a strip for every weapon's word" );

WeaponReadout::WeaponReadout() : regionCount( 0 ) {
}

WeaponReadout::~WeaponReadout() {
}

void WeaponReadout::Note( const Rect &region ) {
    if ( regionCount < MAX_REGIONS ) {
        regions[regionCount++] = region;
    }
}

void WeaponReadout::Draw( Image &screen, const World &world, const Arsenal &arsenal,
                          const HudColours &colours, int showWeapons, int showWind ) {
    regionCount = 0;
    if ( showWeapons ) {
        DrawWeapons( screen, world, arsenal, colours );
    }
    if ( showWind ) {
        DrawWind( screen, world.GetWind(), colours );
    }
}

// One line two above the meter: "BOMB  [HEAVY 2]  CLUSTER 3  DIGGER 3  DIRT 0". The bomb
// never runs out and shows no number.
void WeaponReadout::DrawWeapons( Image &screen, const World &world, const Arsenal &arsenal,
                                 const HudColours &colours ) {
    const Tank *tank = static_cast<const Tank *>( world.GetCurrentTank() );
    const int player = Arsenal::PlayerOf( world, tank );
    if ( player < 0 ) {
        return;
    }
    const int y = Overlay::MeterBar( screen.GetHeight() ).top - 2 * LINE;
    int x = Overlay::MARGIN;
    Rect box( x, y, x, y );
    for ( int weapon = 0; weapon < WEAPON_CHOICES; weapon++ ) {
        const int chosen = tank->GetWeapon() == weapon;
        const int left = arsenal.GetStock( player, weapon );
        TextLine line;
        line.Add( chosen ? "[" : "" ).Add( SHORT_NAMES[weapon] );
        if ( left != WEAPON_UNLIMITED ) {
            line.Add( " " ).Add( left );
        }
        line.Add( chosen ? "]" : "" );
        const uint8_t colour =
            chosen ? colours.GetBright() : ( left == 0 ? colours.GetPanel() : colours.GetText() );
        weaponStrips[weapon].Draw( screen, x, y, line.Get(), colour, colours.GetShadow() );
        const Rect drawn = Font::Box( x, y, line.Get() );
        box.right = drawn.right;
        box.bottom = drawn.bottom;
        x += Font::Measure( line.Get() ) + 2 * Font::ADVANCE;
    }
    Note( box );
}

// "WIND" and the arrow along the meter's line, then the strength in steps; a calm shows 0 and
// no arrow.
void WeaponReadout::DrawWind( Image &screen, int wind, const HudColours &colours ) {
    const Rect bar = Overlay::MeterBar( screen.GetHeight() );
    const int steps = Wind::StepsOf( wind );
    const int strength = steps < 0 ? -steps : steps;
    const int x = bar.right + WIND_GAP;
    const int y = bar.top;
    windStrip.Draw( screen, x, y, "WIND", colours.GetText(), colours.GetShadow() );
    Rect box = Font::Box( x, y, "WIND" );
    const int arrowLeft = box.right + Font::ADVANCE;
    const int arrowLength = Wind::MAX_STEPS * ARROW_PER_STEP;
    const int middle = y + Font::GLYPH_HEIGHT / 2;
    if ( strength > 0 ) {
        // The arrow's tail stays put; it points from there the way the wind blows.
        const int length = strength * ARROW_PER_STEP;
        const int from = steps > 0 ? arrowLeft : arrowLeft + arrowLength;
        const int to = steps > 0 ? from + length : from - length;
        const int back = steps > 0 ? -3 : 3;
        for ( int dy = 0; dy <= 1; dy++ ) {
            screen.DrawLine( from, middle + dy, to, middle + dy, colours.GetBright() );
        }
        screen.DrawLine( to, middle, to + back, middle - 3, colours.GetBright() );
        screen.DrawLine( to, middle + 1, to + back, middle + 4, colours.GetBright() );
    }
    TextLine number;
    number.Add( strength );
    const int numberX = arrowLeft + arrowLength + Font::ADVANCE;
    strengthStrip.Draw( screen, numberX, y, number.Get(), colours.GetText(), colours.GetShadow() );
    const Rect drawn = Font::Box( numberX, y, number.Get() );
    box.right = drawn.right;
    box.top = middle - 3 < box.top ? middle - 3 : box.top;
    box.bottom = middle + 4 > drawn.bottom ? middle + 4 : drawn.bottom;
    Note( box );
}
