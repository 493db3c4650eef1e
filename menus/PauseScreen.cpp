#include "menus/PauseScreen.h"

PauseScreen::PauseScreen() {
}

PauseScreen::~PauseScreen() {
}

void PauseScreen::Build( int withRestart, int withQuit, const std::string &land ) {
    menu.Start( "PAUSED" );
    menu.Add( RESUME, "RESUME" );
    if ( withRestart ) {
        menu.Add( RESTART, "RESTART MATCH" );
    }
    menu.Add( SETTINGS, "SETTINGS" );
    if ( withRestart ) {
        menu.Add( TO_TITLE, "QUIT TO TITLE" );
    }
    // Quit stays the last entry, a step up from Resume.
    if ( !land.empty() ) {
        menu.Add( LAND, "LAND", land, 1 );
    }
    if ( withQuit ) {
        menu.Add( QUIT, "QUIT" );
    }
}

int PauseScreen::Update( const MenuInput &input ) {
    const Menu::Event event = menu.Update( input );
    // The land's entry only shows its code.
    if ( event.type == Menu::EVENT_CHOSEN ) {
        return event.id != LAND ? event.id : NONE;
    }
    return event.type == Menu::EVENT_BACK ? RESUME : NONE;
}
