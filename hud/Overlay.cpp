#include "hud/Overlay.h"

#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "hud/LandMap.h"
#include "hud/MaskedStores.h"
#include "hud/TextLine.h"
#include "play/Match.h"

#include <cstring>

namespace {

const int LINE = Font::GLYPH_HEIGHT + 4;
const int LABEL_GAP = 4;   // between a tank's box and its label
const int MARKER_HALF = 6; // the marker is an arrow 13 pixels wide, pointing down
const int MARKER_GAP = 2;  // between the marker and the label
const int METER_HEIGHT = 8;
const int HINT_TOP = 24;
const int NEWS_TOP = HINT_TOP + 2 * LINE;
const int HEALTH_WIDTH = 24; // the health bar under a label, full
const int HEALTH_HEIGHT = 4;
const int HEALTH_GAP = 2; // between the label and its bar

const char *const HELP_LINES[] = {
    "HOW TO PLAY",
    "",
    "LEFT, RIGHT    DRIVE, OR TURN THE TANK ROUND",
    "UP, DOWN       RAISE OR LOWER THE BARREL",
    "SPACE          HOLD TO CHARGE, LET GO TO FIRE",
    "F1             SHOW OR HIDE THIS HELP",
    "ESCAPE         QUIT",
    "",
    "A CRATER HURTS EVERY TANK IT TOUCHES, YOURS TOO,",
    "SO DOES A LONG FALL. LEAVE THE LAND AND YOU ARE OUT.",
};
const int HELP_LINE_COUNT = int( sizeof( HELP_LINES ) / sizeof( HELP_LINES[0] ) );
static_assert( HELP_LINE_COUNT + 1 == Overlay::HELP_STRIPS, "a strip for every line of the help" );
static_assert( HEALTH_WIDTH <= Overlay::METER_LENGTH, "a health bar is written as the meter is" );
static_assert( Match::MAX_PLAYERS <= Overlay::MAX_NAMES, "a label and a score for every player" );

} // namespace

Overlay::Overlay() : names{}, regionCount( 0 ) {
}

void Overlay::SetName( int player, const char *name ) {
    if ( player < 0 || player >= MAX_NAMES ) {
        return;
    }
    int length = 0;
    for ( ; name != nullptr && name[length] != '\0' && length < NAME_LENGTH; length++ ) {
        names[player][length] = name[length];
    }
    names[player][length] = '\0';
}

const char *Overlay::GetName( int player ) const {
    return player >= 0 && player < MAX_NAMES ? names[player] : "";
}

void Overlay::AddPlayer( TextLine &line, int player, const char *numberWord ) const {
    if ( GetName( player )[0] != '\0' ) {
        line.Add( GetName( player ) );
    } else {
        line.Add( numberWord ).Add( player + 1 );
    }
}

Overlay::~Overlay() {
}

void Overlay::Note( const Rect &region ) {
    if ( regionCount < MAX_REGIONS ) {
        regions[regionCount++] = region;
    }
}

Rect Overlay::MeterBar( int screenHeight ) {
    const int top = screenHeight - MARGIN - METER_HEIGHT;
    return Rect( MARGIN, top, MARGIN + METER_LENGTH + 1, top + METER_HEIGHT - 1 );
}

int Overlay::MeterFill( int power ) {
    if ( power < 0 ) {
        power = 0;
    }
    if ( power > Tank::MAX_POWER ) {
        power = Tank::MAX_POWER;
    }
    return power * METER_LENGTH / Tank::MAX_POWER;
}

Rect Overlay::MapBox( int screenWidth, const LandMap &map ) {
    const int left = screenWidth - MARGIN - map.GetWidth();
    return Rect( left - 1, MARGIN - 1, left + map.GetWidth(), MARGIN + map.GetHeight() );
}

void Overlay::Draw( Image &screen, const World &world, const Match &match, const LandMap &map,
                    const HudColours &colours, int showHint, int showHelp ) {
    regionCount = 0;
    DrawLabels( screen, world, match, colours );
    DrawScores( screen, match, colours );
    DrawReadouts( screen, match, colours );
    const Rect mapBox = MapBox( screen.GetWidth(), map );
    map.Draw( screen, mapBox.left + 1, mapBox.top + 1, world, match, colours );
    Note( mapBox );
    if ( showHint ) {
        DrawHint( screen, colours );
    }
    if ( match.GetNews() != Match::NoNews ) {
        DrawNews( screen, match, colours );
    }
    if ( match.GetOutcome() != Match::Playing ) {
        DrawBanner( screen, match, colours );
    }
    if ( showHelp ) {
        DrawHelp( screen, match, colours );
    }
}

// Each label sits centred over its tank's box; the marker of the turn sits over the label.
void Overlay::DrawLabels( Image &screen, const World &world, const Match &match, const HudColours &colours ) {
    const int current = match.GetCurrentPlayer();
    for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
        const Tank *tank = match.GetTank( player );
        if ( !match.IsInPlay( player ) ) {
            continue;
        }
        TextLine line;
        AddPlayer( line, player, "" );
        line.Add( match.GetComputer( player ) ? " CPU" : "" );
        const int centreX = tank->GetX() + g_tankSprite.GetWidth() / 2 - world.GetCameraX();
        const int width = Font::MeasureLength( line.GetLength() );
        const int x = centreX - width / 2;
        // A tank at the top of the screen (all of them at the start) keeps its number in view.
        const int tankTop = tank->GetY() - world.GetCameraY();
        int y = tankTop - LABEL_GAP - HEALTH_HEIGHT - HEALTH_GAP - Font::GLYPH_HEIGHT;
        if ( y < 0 && tankTop >= 0 ) {
            y = 0;
        }
        Rect box( x, y, x + width, y + Font::GLYPH_HEIGHT );
        labelStrips[player].Draw( screen, x, y, line, colours.GetPlayer( player ), colours.GetShadow() );
        const Rect bar =
            DrawHealth( screen, centreX, y + Font::GLYPH_HEIGHT + HEALTH_GAP, match, player, colours );
        box.left = box.left < bar.left ? box.left : bar.left;
        box.right = box.right > bar.right ? box.right : bar.right;
        box.bottom = bar.bottom;
        if ( player == current ) {
            const int markerBottom = y - MARKER_GAP;
            DrawMarker( screen, centreX, markerBottom, colours );
            box.top = markerBottom - MARKER_HALF;
            if ( box.left > centreX - MARKER_HALF ) {
                box.left = centreX - MARKER_HALF;
            }
            if ( box.right < centreX + MARKER_HALF + 1 ) {
                box.right = centreX + MARKER_HALF + 1;
            }
        }
        Note( box );
    }
}

// The part of the start health left, in the player's colour, in a dark frame.
Rect Overlay::DrawHealth( Image &screen, int centreX, int top, const Match &match, int player,
                          const HudColours &colours ) {
    const Rect bar( centreX - HEALTH_WIDTH / 2 - 1, top, centreX + HEALTH_WIDTH / 2,
                    top + HEALTH_HEIGHT - 1 );
    const int fill = HealthFill( match.GetHealth( player ), match.GetStartHealth() );
    if ( HudFastWaysAllowed() && Inside( screen, bar ) ) {
        WriteBar( screen, bar, fill, colours.GetPlayer( player ), colours );
        return bar;
    }
    screen.DrawRect( bar, colours.GetShadow() );
    screen.FillRect( bar.left + 1, bar.top + 1, bar.right - 1, bar.bottom - 1, colours.GetPanel() );
    if ( fill > 0 ) {
        screen.FillRect( bar.left + 1, bar.top + 1, bar.left + fill, bar.bottom - 1,
                         colours.GetPlayer( player ) );
    }
    return bar;
}

int Overlay::HealthFill( int health, int startHealth ) {
    if ( health <= 0 || startHealth <= 0 ) {
        return 0;
    }
    if ( health >= startHealth ) {
        return HEALTH_WIDTH;
    }
    // Any health left shows at least one pixel.
    const int fill = health * HEALTH_WIDTH / startHealth;
    return fill > 0 ? fill : 1;
}

// A bar in a dark frame filled from the left, wholly inside the clip: its rows are copied from
// two made once.
void Overlay::WriteBar( Image &screen, const Rect &bar, int fill, uint8_t colour,
                        const HudColours &colours ) {
    const int width = bar.GetWidth();
    uint8_t edge[METER_LENGTH + 2], inner[METER_LENGTH + 2];
    std::memset( edge, colours.GetShadow(), size_t( width ) );
    std::memset( inner, colours.GetPanel(), size_t( width ) );
    std::memset( inner + 1, colour, size_t( fill ) );
    inner[0] = inner[width - 1] = colours.GetShadow();
    uint8_t *row = screen.GetPixels() + bar.top * screen.GetPitch() + bar.left;
    for ( int y = bar.top; y <= bar.bottom; y++, row += screen.GetPitch() ) {
        std::memcpy( row, y == bar.top || y == bar.bottom ? edge : inner, size_t( width ) );
    }
}

int Overlay::Inside( const Image &screen, const Rect &box ) {
    const Rect &clip = screen.GetClipRect();
    return screen.GetPixels() != nullptr && box.left >= clip.left && box.top >= clip.top &&
           box.right <= clip.right && box.bottom <= clip.bottom;
}

// A white arrow pointing down at the tank, with the text's shadow.
void Overlay::DrawMarker( Image &screen, int centreX, int bottom, const HudColours &colours ) {
    const Rect box( centreX - MARKER_HALF, bottom - MARKER_HALF, centreX + MARKER_HALF + 1, bottom + 1 );
    if ( HudFastWaysAllowed() && Inside( screen, box ) ) {
        WriteMarker( screen, centreX, bottom, colours );
        return;
    }
    for ( int pass = 1; pass >= 0; pass-- ) {
        const uint8_t colour = pass ? colours.GetShadow() : colours.GetText();
        for ( int half = 0; half <= MARKER_HALF; half++ ) {
            const int y = bottom - half + pass;
            screen.DrawHLine( centreX - half + pass, centreX + half + pass, y, colour );
        }
    }
}

// Each row of the arrow at once: the row `half` pixels above its point is white for `half` either
// side of the centre, and the shadow of the wider row above reaches two pixels further right.
void Overlay::WriteMarker( Image &screen, int centreX, int bottom, const HudColours &colours ) {
    const int pitch = screen.GetPitch();
    uint8_t *point = screen.GetPixels() + bottom * pitch + centreX;
    point[pitch + 1] = colours.GetShadow();
    for ( int half = 0; half <= MARKER_HALF; half++ ) {
        uint8_t *row = point - half * pitch;
        const int shadowRight = half < MARKER_HALF ? half + 2 : half;
        for ( int x = -half; x <= shadowRight; x++ ) {
            row[x] = x <= half ? colours.GetText() : colours.GetShadow();
        }
    }
}

void Overlay::DrawScores( Image &screen, const Match &match, const HudColours &colours ) {
    int x = MARGIN;
    const int y = MARGIN;
    for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
        if ( !match.IsSeated( player ) ) {
            continue;
        }
        TextLine line;
        AddPlayer( line, player, "P" );
        line.Add( ":" ).Add( match.GetScore( player ) );
        scoreStrips[player].Draw( screen, x, y, line, colours.GetPlayer( player ), colours.GetShadow() );
        x += Font::MeasureLength( line.GetLength() ) + 2 * Font::ADVANCE;
    }
    const char *target = "MATCHES WON";
    wonStrip.Draw( screen, x, y, target, colours.GetText(), colours.GetShadow() );
    Note( Rect( MARGIN, y, x + Font::Measure( target ), y + Font::GLYPH_HEIGHT ) );
}

// The line of the turn over the power meter, in the screen's bottom-left corner.
void Overlay::DrawReadouts( Image &screen, const Match &match, const HudColours &colours ) {
    const int player = match.GetCurrentPlayer();
    const Tank *tank = match.GetTank( player );
    if ( tank == nullptr ) {
        return;
    }
    const Rect bar = MeterBar( screen.GetHeight() );
    const int y = bar.top - LINE;
    TextLine nameLine;
    AddPlayer( nameLine, player, "PLAYER " );
    // "HEALTH 100  ANGLE 45 LEFT  POWER 250" in three pieces, laid side by side as one line.
    const int direction = tank->GetBarrelDirection();
    TextLine values[3];
    values[0].Add( "HEALTH " ).Add( match.GetHealth( player ) );
    values[1]
        .Add( "  ANGLE " )
        .Add( Match::Elevation( direction ) )
        .Add( Match::PointsLeft( direction ) ? " LEFT" : " RIGHT" );
    values[2].Add( "  POWER " ).Add( tank->GetPower() );
    nameStrip.Draw( screen, MARGIN, y, nameLine, colours.GetPlayer( player ), colours.GetShadow() );
    int valuesX = MARGIN + Font::MeasureLength( nameLine.GetLength() ) + 2 * Font::ADVANCE;
    for ( int piece = 0; piece < 3; piece++ ) {
        valueStrips[piece].Draw( screen, valuesX, y, values[piece], colours.GetText(), colours.GetShadow() );
        valuesX += values[piece].GetLength() * Font::ADVANCE;
    }

    const int fill = MeterFill( tank->GetPower() );
    if ( HudFastWaysAllowed() && Inside( screen, bar ) ) {
        WriteBar( screen, bar, fill, colours.GetBright(), colours );
    } else {
        screen.DrawRect( bar, colours.GetShadow() );
        screen.FillRect( bar.left + 1, bar.top + 1, bar.right - 1, bar.bottom - 1, colours.GetPanel() );
        if ( fill > 0 ) {
            screen.FillRect( bar.left + 1, bar.top + 1, bar.left + fill, bar.bottom - 1,
                             colours.GetBright() );
        }
    }
    int right = valuesX - 1;
    if ( right < bar.right ) {
        right = bar.right;
    }
    Note( Rect( MARGIN, y, right, bar.bottom ) );
}

void Overlay::DrawCentred( Image &screen, int y, const char *text, uint8_t colour, const HudColours &colours,
                           int scale, TextStrip *strip ) {
    const int x = ( screen.GetWidth() - Font::Measure( text, scale ) ) / 2;
    if ( scale == 1 && strip != nullptr ) {
        strip->Draw( screen, x, y, text, colour, colours.GetShadow() );
    } else {
        Font::Draw( screen, x, y, text, colour, colours.GetShadow(), scale );
    }
}

void Overlay::DrawHint( Image &screen, const HudColours &colours ) {
    const char *hint = "THE LAST TANK STANDING WINS.  F1: HELP";
    DrawCentred( screen, HINT_TOP, hint, colours.GetText(), colours, 1, &hintStrip );
    const int x = ( screen.GetWidth() - Font::Measure( hint ) ) / 2;
    Note( Font::Box( x, HINT_TOP, hint ) );
}

void Overlay::DrawPanel( Image &screen, const Rect &box, const HudColours &colours ) {
    screen.FillRect( box, colours.GetPanel() );
    screen.DrawRect( box, colours.GetText() );
    Note( box );
}

void Overlay::DrawNews( Image &screen, const Match &match, const HudColours &colours ) {
    const int player = match.GetNewsPlayer();
    TextLine text;
    text.Add( "PLAYER " )
        .Add( player + 1 )
        .Add( match.GetNews() == Match::Destroyed ? " IS DESTROYED" : " LEFT THE LAND" );
    DrawCentred( screen, NEWS_TOP, text.Get(), colours.GetPlayer( player ), colours, 1, &newsStrip );
    const int x = ( screen.GetWidth() - Font::Measure( text.Get() ) ) / 2;
    Note( Font::Box( x, NEWS_TOP, text.Get() ) );
}

void Overlay::DrawBanner( Image &screen, const Match &match, const HudColours &colours ) {
    const int winner = match.GetWinner();
    const int width = screen.GetWidth();
    const Rect box( width / 2 - 150, 170, width / 2 + 150, 250 );
    DrawPanel( screen, box, colours );
    TextLine text;
    if ( winner != Match::NO_PLAYER ) {
        AddPlayer( text, winner, "PLAYER " );
        text.Add( " WINS!" );
        // A long name comes down a size to stay inside the banner.
        const int scale = Font::Measure( text.Get(), 3 ) <= box.right - box.left - 16 ? 3 : 2;
        DrawCentred( screen, box.top + 16 + ( 3 - scale ) * 4, text.Get(), colours.GetPlayer( winner ),
                     colours, scale, nullptr );
    } else {
        DrawCentred( screen, box.top + 16, "A DRAW!", colours.GetText(), colours, 3, nullptr );
    }
    DrawCentred( screen, box.top + 56, "ENTER OR SPACE: NEW MATCH", colours.GetText(), colours, 1,
                 &bannerStrip );
}

void Overlay::DrawHelp( Image &screen, const Match &match, const HudColours &colours ) {
    const int width = screen.GetWidth();
    const int top = 120;
    const Rect box( width / 2 - 150, top, width / 2 + 150, top + 24 + ( HELP_LINE_COUNT + 2 ) * LINE );
    DrawPanel( screen, box, colours );
    int y = top + 12;
    for ( int i = 0; i < HELP_LINE_COUNT; i++, y += LINE ) {
        helpStrips[i].Draw( screen, box.left + 12, y, HELP_LINES[i],
                            i == 0 ? colours.GetBright() : colours.GetText(), colours.GetShadow() );
    }
    TextLine aim;
    aim.Add( "EACH TANK HAS " ).Add( match.GetStartHealth() ).Add( " HEALTH. THE LAST ONE WINS." );
    helpStrips[HELP_LINE_COUNT].Draw( screen, box.left + 12, y, aim, colours.GetText(), colours.GetShadow() );
}
