#include "menus/OnlineScreen.h"

#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"

#include <cctype>

namespace {

const char *const SCHEME = "ws://";
const int SCHEME_LENGTH = 5;
const int PORT_MOST = 65535;
const char *const REFUSED = "NOT AN ADDRESS: WS://HOST:PORT/CODE";

int IsHostCharacter( char c ) {
    return std::isalnum( static_cast<unsigned char>( c ) ) || c == '.' || c == '-';
}

std::string WithoutScheme( const std::string &text ) {
    std::string lower = text.substr( 0, SCHEME_LENGTH );
    for ( char &c : lower ) {
        c = char( std::tolower( static_cast<unsigned char>( c ) ) );
    }
    return lower == SCHEME ? text.substr( SCHEME_LENGTH ) : text;
}

} // namespace

OnlineScreen::OnlineScreen() : people( PEOPLE_LEAST ), typing( 0 ) {
}

OnlineScreen::~OnlineScreen() {
}

int OnlineScreen::IsJoinAddress( const std::string &text ) {
    const std::string rest = WithoutScheme( text );
    const size_t colon = rest.find( ':' );
    const size_t slash = rest.find( '/' );
    if ( colon == std::string::npos || colon == 0 || slash == std::string::npos || slash < colon + 2 ||
         slash + 1 >= rest.size() ) {
        return 0;
    }
    for ( size_t i = 0; i < colon; i++ ) {
        if ( !IsHostCharacter( rest[i] ) ) {
            return 0;
        }
    }
    long port = 0;
    for ( size_t i = colon + 1; i < slash; i++ ) {
        if ( !std::isdigit( static_cast<unsigned char>( rest[i] ) ) || i - colon > 5 ) {
            return 0;
        }
        port = port * 10 + ( rest[i] - '0' );
    }
    if ( port < 1 || port > PORT_MOST ) {
        return 0;
    }
    for ( size_t i = slash + 1; i < rest.size(); i++ ) {
        if ( !std::isalnum( static_cast<unsigned char>( rest[i] ) ) ) {
            return 0;
        }
    }
    return 1;
}

std::string OnlineScreen::GetAddress() const {
    return SCHEME + WithoutScheme( address );
}

void OnlineScreen::Build( int newPeople, const std::string &newAddress, const std::string &newMessage ) {
    people = newPeople < PEOPLE_LEAST ? PEOPLE_LEAST : newPeople > PEOPLE_MOST ? PEOPLE_MOST : newPeople;
    address = newAddress;
    message = newMessage;
    typing = 0;
    menu.Start( "ONLINE" );
    menu.Add( PEOPLE, "PEOPLE", std::string(), 1 );
    menu.Add( HOST_ENTRY, "HOST A MATCH" );
    menu.Add( ADDRESS, "JOIN A MATCH" );
    menu.Add( BACK_ENTRY, "BACK" );
    ShowValues();
}

void OnlineScreen::ShowValues() {
    menu.SetValue( PEOPLE, std::to_string( people ) );
    menu.SetValue( ADDRESS, typing ? address + "_" : address );
}

// The address is checked when Enter joins: one that is no address stays, to be put right or
// left with Escape.
int OnlineScreen::Type( const MenuInput &input ) {
    int chosen = NONE;
    if ( input.Has( MenuInput::ENTER ) ) {
        if ( IsJoinAddress( address ) ) {
            typing = 0;
            message.clear();
            chosen = JOIN;
        } else {
            message = REFUSED;
        }
    } else if ( input.Has( MenuInput::BACK ) ) {
        typing = 0;
    } else if ( input.Has( MenuInput::ERASE ) ) {
        if ( !address.empty() ) {
            address.pop_back();
        }
    } else if ( input.GetTypedInAddress() != 0 && int( address.size() ) < ADDRESS_LENGTH ) {
        address += input.GetTypedInAddress();
    }
    ShowValues();
    return chosen;
}

int OnlineScreen::Update( const MenuInput &input ) {
    if ( typing ) {
        return Type( input );
    }
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_BACK ) {
        return BACK;
    }
    if ( event.type == Menu::EVENT_STEPPED || ( event.type == Menu::EVENT_CHOSEN && event.id == PEOPLE ) ) {
        const int step = event.type == Menu::EVENT_STEPPED ? event.step : 1;
        const int span = PEOPLE_MOST - PEOPLE_LEAST + 1;
        people = PEOPLE_LEAST + ( people - PEOPLE_LEAST + step + span ) % span;
    } else if ( event.type == Menu::EVENT_CHOSEN ) {
        switch ( event.id ) {
        case HOST_ENTRY:
            message.clear();
            return HOST;
        case ADDRESS:
            typing = 1;
            break;
        case BACK_ENTRY:
            return BACK;
        default:
            break;
        }
    }
    ShowValues();
    return NONE;
}

void OnlineScreen::Draw( Image &screen, const HudColours &colours ) const {
    menu.Draw( screen, colours );
    if ( message.empty() ) {
        return;
    }
    // Twice the font's size where it fits across the screen, its own size otherwise.
    const Rect box = menu.GetBox( screen.GetWidth(), screen.GetHeight() );
    const int scale = Font::Measure( message.c_str(), 2 ) <= screen.GetWidth() ? 2 : 1;
    const int x = ( screen.GetWidth() - Font::Measure( message.c_str(), scale ) ) / 2;
    Font::Draw( screen, x < 0 ? 0 : x, box.bottom + MESSAGE_GAP, message.c_str(), colours.GetBright(),
                colours.GetShadow(), scale );
}
