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

SetupScreen::SetupScreen() : typing( -1 ), typingLand( 0 ), landRefused( 0 ), playRefused( 0 ) {
}

SetupScreen::~SetupScreen() {
}

void SetupScreen::Build( const MatchSetup &newSetup ) {
    setup = newSetup;
    // A land the settings file names no longer (or never did) is a new one each match.
    land = LandChoice();
    land.Read( setup.land );
    setup.land = land.GetWord();
    typing = -1;
    typingLand = 0;
    landRefused = 0;
    playRefused = 0;
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
    menu.SetValue( PLAY_ENTRY, playRefused ? "NEEDS TWO SEATS ON" : "" );
    if ( !typingLand ) {
        menu.SetValue( LAND, land.GetLabel() );
    } else {
        menu.SetValue( LAND, landText + ( landRefused ? "_ NOT A CODE" : "_" ) );
    }
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
    } else if ( id == LAND ) {
        land.Step( step );
        setup.land = land.GetWord();
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

// A code is typed whole and checked when Enter keeps it: one that does not parse stays on
// screen, marked, to be put right or given up with Escape.
void SetupScreen::TypeLand( const MenuInput &input ) {
    const int wasRefused = landRefused;
    landRefused = 0;
    if ( input.Has( MenuInput::ENTER ) ) {
        if ( land.ReadCode( landText ) ) {
            setup.land = land.GetWord();
            typingLand = 0;
        } else {
            landRefused = 1;
        }
    } else if ( input.Has( MenuInput::BACK ) ) {
        typingLand = 0;
    } else if ( input.Has( MenuInput::ERASE ) ) {
        if ( !landText.empty() ) {
            landText.pop_back();
        }
    } else if ( input.GetTyped() != 0 && input.GetTyped() != ' ' && input.GetTyped() != '.' &&
                int( landText.size() ) < LandCode::TEXT_SIZE - 1 ) {
        landText += input.GetTyped();
    } else {
        landRefused = wasRefused;
    }
    ShowValues();
}

int SetupScreen::Update( const MenuInput &input ) {
    if ( typing >= 0 ) {
        Type( input );
        return NONE;
    }
    if ( typingLand ) {
        TypeLand( input );
        return NONE;
    }
    const Menu::Event event = menu.Update( input );
    for ( int action = 0; action < MenuInput::ACTION_COUNT; action++ ) {
        playRefused = input.Has( action ) ? 0 : playRefused;
    }
    if ( event.type == Menu::EVENT_BACK ) {
        return BACK;
    }
    if ( event.type == Menu::EVENT_STEPPED ) {
        Step( event.id, event.step );
    } else if ( event.type == Menu::EVENT_CHOSEN ) {
        if ( event.id == PLAY_ENTRY && setup.CountPlaying() >= FEWEST_SEATS ) {
            return PLAY;
        }
        if ( event.id == PLAY_ENTRY ) {
            playRefused = 1;
        } else if ( event.id == BACK_ENTRY ) {
            return BACK;
        } else if ( event.id >= NAME && event.id < NAME + MatchSetup::SEATS ) {
            typing = event.id - NAME;
            nameBefore = setup.seats[typing].name;
            // A seat without a name of its own starts typing from nothing.
        } else if ( event.id == LAND ) {
            typingLand = 1;
            landText.clear();
        } else {
            Step( event.id, 1 );
        }
    }
    ShowValues();
    return NONE;
}
