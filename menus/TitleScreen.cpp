#include "menus/TitleScreen.h"

#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"

namespace {

const char *const GAME_NAME = "KELTO";

} // namespace

TitleScreen::TitleScreen() : withQuit( 1 ) {
}

TitleScreen::~TitleScreen() {
}

void TitleScreen::Build( int quit ) {
    withQuit = quit;
    menu.Start( "" );
    menu.Add( PLAY, "PLAY" );
    menu.Add( SETTINGS, "SETTINGS" );
    menu.Add( HELP, "HELP" );
    if ( withQuit ) {
        menu.Add( QUIT, "QUIT" );
    }
    menu.SetTop( NAME_TOP + Font::GLYPH_HEIGHT * NAME_SCALE + 60 );
}

int TitleScreen::Update( const MenuInput &input ) {
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_CHOSEN ) {
        return event.id;
    }
    // Escape leaves the game from here; a gamepad's B (Backspace) does not.
    return event.type == Menu::EVENT_BACK && input.Has( MenuInput::BACK ) && withQuit ? QUIT : NONE;
}

void TitleScreen::Draw( Image &screen, const HudColours &colours ) const {
    const int x = ( screen.GetWidth() - Font::Measure( GAME_NAME, NAME_SCALE ) ) / 2;
    // A deeper shadow than the font's own, so that the name stands off the land.
    Font::Draw( screen, x + NAME_SCALE / 2, NAME_TOP + NAME_SCALE / 2, GAME_NAME, colours.GetShadow(),
                colours.GetShadow(), NAME_SCALE );
    Font::Draw( screen, x, NAME_TOP, GAME_NAME, colours.GetBright(), colours.GetShadow(), NAME_SCALE );
    menu.Draw( screen, colours );
}
