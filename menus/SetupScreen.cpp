#include "menus/SetupScreen.h"

#include "menus/MenuInput.h"

namespace {

const char *const KIND_LABELS[MatchSetup::KIND_COUNT] = { "OFF", "PERSON", "CPU EASY", "CPU NORMAL",
                                                          "CPU HARD" };

// `value` + `step`, kept within [low, high].
int Clamp( int value, int low, int high ) {
    return value < low ? low : ( value > high ? high : value );
}

} // namespace

SetupScreen::SetupScreen() : typing( -1 ) {
}

SetupScreen::~SetupScreen() {
}

void SetupScreen::Build( const MatchSetup &newSetup, const std::string &newLand ) {
    setup = newSetup;
    land = newLand;
    typing = -1;
    menu.Start( "NEW MATCH" );
    menu.SetSmall();
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        const std::string number = std::to_string( seat + 1 );
        menu.Add( SEAT + seat, ( "SEAT " + number ).c_str(), "", 1 );
        menu.Add( NAME + seat, ( "  NAME " + number ).c_str() );
    }
    menu.Add( HEALTH, "HEALTH", "", 1 );
    menu.Add( WIND, "WIND", "", 1 );
    menu.Add( STOCK, "WEAPONS", "", 1 );
    menu.Add( LAND, "LAND", "", 1 );
    menu.Add( PLAY_ENTRY, "PLAY" );
    menu.Add( BACK_ENTRY, "BACK" );
    menu.Select( PLAY_ENTRY );
    ShowValues();
}

void SetupScreen::ShowValues() {
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        menu.SetValue( SEAT + seat, KIND_LABELS[setup.seats[seat].kind] );
        menu.SetValue( NAME + seat, seat == typing ? setup.seats[seat].name + "_" : setup.NameOf( seat ) );
    }
    menu.SetValue( HEALTH, std::to_string( setup.health ) );
    menu.SetValue( WIND, setup.wind ? "ON" : "OFF" );
    menu.SetValue( STOCK, std::to_string( setup.stock ) + " EACH" );
    menu.SetValue( LAND, land );
}

void SetupScreen::Step( int id, int step ) {
    if ( id >= SEAT && id < SEAT + MatchSetup::SEATS ) {
        int &kind = setup.seats[id - SEAT].kind;
        kind = ( kind + step + MatchSetup::KIND_COUNT ) % MatchSetup::KIND_COUNT;
    } else if ( id == HEALTH ) {
        // From an odd health (set in the file) the first step lands on the steps' grid.
        const int onGrid = step > 0 ? ( setup.health / HEALTH_STEP + 1 ) * HEALTH_STEP
                                    : ( ( setup.health + HEALTH_STEP - 1 ) / HEALTH_STEP - 1 ) * HEALTH_STEP;
        // A health beyond the steps' range (from the file) only steps back into it.
        const int stepped = Clamp( onGrid, HEALTH_STEP, HEALTH_MOST );
        if ( ( step < 0 && stepped < setup.health ) || ( step > 0 && stepped > setup.health ) ) {
            setup.health = stepped;
        }
    } else if ( id == WIND ) {
        setup.wind = !setup.wind;
    } else if ( id == STOCK ) {
        setup.stock = Clamp( setup.stock + step, 0, STOCK_MOST );
    }
}

void SetupScreen::Type( const MenuInput &input ) {
    std::string &name = setup.seats[typing].name;
    if ( input.Has( MenuInput::ENTER ) ) {
        typing = -1;
    } else if ( input.Has( MenuInput::BACK ) ) {
        name = nameBefore;
        typing = -1;
    } else if ( input.Has( MenuInput::ERASE ) ) {
        if ( !name.empty() ) {
            name.pop_back();
        }
    } else if ( input.GetTyped() != 0 && int( name.size() ) < MatchSetup::NAME_LENGTH ) {
        // A name does not start with a space.
        if ( input.GetTyped() != ' ' || !name.empty() ) {
            name += input.GetTyped();
        }
    }
    ShowValues();
}

int SetupScreen::Update( const MenuInput &input ) {
    if ( typing >= 0 ) {
        Type( input );
        return NONE;
    }
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_BACK ) {
        return BACK;
    }
    if ( event.type == Menu::EVENT_STEPPED ) {
        Step( event.id, event.step );
    } else if ( event.type == Menu::EVENT_CHOSEN ) {
        if ( event.id == PLAY_ENTRY ) {
            return PLAY;
        }
        if ( event.id == BACK_ENTRY ) {
            return BACK;
        }
        if ( event.id >= NAME && event.id < NAME + MatchSetup::SEATS ) {
            typing = event.id - NAME;
            nameBefore = setup.seats[typing].name;
            // A seat without a name of its own starts typing from nothing.
        } else {
            Step( event.id, 1 );
        }
    }
    ShowValues();
    return NONE;
}
