#include "menus/HelpScreen.h"

#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"
#include "menus/PanelCopy.h"
#include "settings/Settings.h"

#include <new>

namespace {

const int KEY_COLUMN = 18; // characters

std::string Capitals( std::string text ) {
    for ( char &c : text ) {
        if ( c >= 'a' && c <= 'z' ) {
            c = char( c - 'a' + 'A' );
        }
    }
    return text;
}

} // namespace

HelpScreen::HelpScreen() {
}

HelpScreen::~HelpScreen() {
}

void HelpScreen::AddRow( const char *what, const std::string &keys ) {
    std::string line = what;
    line.resize( KEY_COLUMN, ' ' );
    lines.push_back( line + Capitals( keys ) );
}

void HelpScreen::Build( const Settings &settings ) {
    lines.clear();
    panel.reset();
    lines.push_back( "HOW TO PLAY" );
    lines.push_back( "" );
    AddRow( "DRIVE", settings.keyLeft + " / " + settings.keyRight );
    AddRow( "AIM", settings.keyUp + " / " + settings.keyDown );
    AddRow( "FIRE", "HOLD " + settings.keyFire + ", LET GO" );
    AddRow( "WEAPON", settings.keyWeaponPrevious + " / " + settings.keyWeaponNext );
    AddRow( "PAUSE, MENU", "ESCAPE" );
    AddRow( "THIS HELP", "F1" );
    AddRow( "SOUND ON, OFF", "M" );
    AddRow( "FULL SCREEN", "F11 OR ALT+ENTER" );
    AddRow( "SCREENSHOT", "F12" );
    AddRow( "MENUS", "ARROWS, ENTER, ESCAPE, CLICK" );
    lines.push_back( "" );
    lines.push_back( "GAMEPAD" );
    AddRow( "DRIVE, AIM", settings.padLeft + " ..." );
    AddRow( "FIRE", settings.padFire );
    AddRow( "WEAPON", settings.padWeaponPrevious + " / " + settings.padWeaponNext );
    AddRow( "PAUSE", "START, " + settings.padQuit );
    AddRow( "MENUS", "D-PAD AND A, B: BACK" );
    lines.push_back( "" );
    lines.push_back( "A CRATER ON ANOTHER PLAYER'S TANK IS A HIT." );
    lines.push_back( "" );
    lines.push_back( "ENTER, ESCAPE OR A CLICK: BACK" );
}

int HelpScreen::Update( const MenuInput &input ) {
    return input.Has( MenuInput::SELECT ) || input.Has( MenuInput::BACK ) || input.Has( MenuInput::ERASE ) ||
           input.Has( MenuInput::HELP ) || input.Has( MenuInput::CLICK );
}

// Measured and drawn once, at the first frame after Build: every later frame only copies.
void HelpScreen::Draw( Image &screen, const HudColours &colours ) const {
    if ( panel == nullptr ) {
        int widest = 0;
        for ( const std::string &line : lines ) {
            const int width = Font::Measure( line.c_str() );
            widest = width > widest ? width : widest;
        }
        // Whole blocks of 16 pixels, as the menus' panels, for the fastest copy.
        const int width = ( widest + 2 * PADDING + 15 ) / 16 * 16;
        panel.reset( new ( std::nothrow ) Image( width, GetLineCount() * LINE_HEIGHT + 2 * PADDING ) );
        if ( panel == nullptr || panel->GetPixels() == nullptr ) {
            panel.reset();
            return;
        }
        DrawPanel( *panel, colours );
    }
    // On a 16-pixel column, as the menus' panels, for the fastest copy.
    CopyPanel( *panel, screen, ( screen.GetWidth() - panel->GetWidth() ) / 2 / 16 * 16,
               ( screen.GetHeight() - panel->GetHeight() ) / 2 );
}

void HelpScreen::DrawPanel( Image &target, const HudColours &colours ) const {
    target.FillRect( target.GetBounds(), colours.GetPanel() );
    target.DrawRect( target.GetBounds(), colours.GetText() );
    int y = PADDING;
    for ( int i = 0; i < GetLineCount(); i++, y += LINE_HEIGHT ) {
        const uint8_t colour = i == 0 ? colours.GetBright() : colours.GetText();
        Font::Draw( target, PADDING, y, lines[i].c_str(), colour, colours.GetShadow() );
    }
}
