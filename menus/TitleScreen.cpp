#include "menus/TitleScreen.h"

#include "menus/MenuInput.h"

namespace {

const char *const GAME_NAME = "KELTO";

} // namespace

TitleScreen::TitleScreen() : withQuit( 1 ) {
}

TitleScreen::~TitleScreen() {
}

void TitleScreen::Build( int quit, int withOnline ) {
    withQuit = quit;
    menu.Start( GAME_NAME, NAME_SCALE );
    menu.Add( PLAY, "PLAY" );
    menu.Add( SETTINGS, "SETTINGS" );
    menu.Add( HELP, "HELP" );
    if ( withOnline ) {
        menu.Add( ONLINE, "ONLINE" );
    }
    if ( withQuit ) {
        menu.Add( QUIT, "QUIT" );
    }
    menu.SetTop( TOP );
}

int TitleScreen::Update( const MenuInput &input ) {
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_CHOSEN ) {
        return event.id;
    }
    // Escape leaves the game from here; a gamepad's B (Backspace) does not.
    return event.type == Menu::EVENT_BACK && input.Has( MenuInput::BACK ) && withQuit ? QUIT : NONE;
}
