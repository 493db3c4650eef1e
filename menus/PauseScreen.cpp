#include "menus/PauseScreen.h"

PauseScreen::PauseScreen() {
}

PauseScreen::~PauseScreen() {
}

void PauseScreen::Build( int withRestart, int withQuit ) {
    menu.Start( "PAUSED" );
    menu.Add( RESUME, "RESUME" );
    if ( withRestart ) {
        menu.Add( RESTART, "RESTART MATCH" );
    }
    menu.Add( SETTINGS, "SETTINGS" );
    if ( withRestart ) {
        menu.Add( TO_TITLE, "QUIT TO TITLE" );
    }
    if ( withQuit ) {
        menu.Add( QUIT, "QUIT" );
    }
}

int PauseScreen::Update( const MenuInput &input ) {
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_CHOSEN ) {
        return event.id;
    }
    return event.type == Menu::EVENT_BACK ? RESUME : NONE;
}
