#include "menus/OnlineScreen.h"

#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"

#include <cctype>

namespace {

const char *const PLAIN = "ws://";
const char *const SECURE = "wss://";
const int PORT_MOST = 65535;
const int PORT_DIGITS = 5;
const char *const REFUSED = "NOT AN ADDRESS: WS://HOST:PORT/CODE";
const char *const RELAY_REFUSED = "NOT A RELAY: WS://HOST:PORT";
const char *const NO_RELAY = "TYPE THE RELAY'S ADDRESS FIRST";

int IsHostCharacter( char c ) {
    return std::isalnum( static_cast<unsigned char>( c ) ) || c == '.' || c == '-';
}

// The scheme `text` begins with, in small letters as typed keys are capitals; empty for none.
std::string SchemeOf( const std::string &text ) {
    std::string lower = text.substr( 0, 6 );
    for ( char &c : lower ) {
        c = char( std::tolower( static_cast<unsigned char>( c ) ) );
    }
    if ( lower == SECURE ) {
        return SECURE;
    }
    return lower.compare( 0, 5, PLAIN ) == 0 ? PLAIN : "";
}

// HOST[:PORT] from `at` in `rest`, the port given unless `portless`; where it ends, or
// npos when it is no such thing.
size_t HostAndPortEnd( const std::string &rest, int portless ) {
    size_t at = 0;
    while ( at < rest.size() && IsHostCharacter( rest[at] ) ) {
        at++;
    }
    if ( at == 0 || ( at < rest.size() && rest[at] != ':' && rest[at] != '/' ) ) {
        return std::string::npos;
    }
    if ( at == rest.size() || rest[at] != ':' ) {
        return portless ? at : std::string::npos;
    }
    long port = 0;
    const size_t digits = ++at;
    for ( ; at < rest.size() && rest[at] != '/'; at++ ) {
        if ( !std::isdigit( static_cast<unsigned char>( rest[at] ) ) ||
             at - digits >= size_t( PORT_DIGITS ) ) {
            return std::string::npos;
        }
        port = port * 10 + ( rest[at] - '0' );
    }
    return port >= 1 && port <= PORT_MOST ? at : std::string::npos;
}

} // namespace

OnlineScreen::OnlineScreen()
    : people( PEOPLE_LEAST ), withRelay( 0 ), defaultScheme( PLAIN ), typing( 0 ), typedInto( ADDRESS ) {
}

OnlineScreen::~OnlineScreen() {
}

int OnlineScreen::IsJoinAddress( const std::string &text ) {
    const std::string scheme = SchemeOf( text );
    const std::string rest = text.substr( scheme.size() );
    const size_t at = HostAndPortEnd( rest, scheme == SECURE );
    if ( at == std::string::npos || at + 1 >= rest.size() || rest[at] != '/' ) {
        return 0;
    }
    for ( size_t i = at + 1; i < rest.size(); i++ ) {
        if ( !std::isalnum( static_cast<unsigned char>( rest[i] ) ) ) {
            return 0;
        }
    }
    return 1;
}

int OnlineScreen::IsRelayAddress( const std::string &text ) {
    const std::string scheme = SchemeOf( text );
    const std::string rest = text.substr( scheme.size() );
    const size_t at = HostAndPortEnd( rest, scheme == SECURE );
    return at != std::string::npos && ( at == rest.size() || ( at + 1 == rest.size() && rest[at] == '/' ) );
}

std::string OnlineScreen::WithScheme( const std::string &text ) const {
    const std::string scheme = SchemeOf( text );
    return ( scheme.empty() ? defaultScheme : scheme ) + text.substr( scheme.size() );
}

std::string OnlineScreen::GetAddress() const {
    return WithScheme( address );
}

std::string OnlineScreen::GetRelayAddress() const {
    std::string url = WithScheme( relay );
    if ( !url.empty() && url.back() == '/' ) {
        url.pop_back();
    }
    return url;
}

void OnlineScreen::Build( int newPeople, const std::string &newAddress, const std::string &newMessage ) {
    people = newPeople < PEOPLE_LEAST ? PEOPLE_LEAST : newPeople > PEOPLE_MOST ? PEOPLE_MOST : newPeople;
    address = newAddress;
    message = newMessage;
    typing = 0;
    menu.Start( "ONLINE" );
    menu.Add( PEOPLE, "PEOPLE", std::string(), 1 );
    if ( withRelay ) {
        menu.Add( RELAY, "RELAY" );
    }
    menu.Add( HOST_ENTRY, "HOST A MATCH" );
    menu.Add( ADDRESS, "JOIN A MATCH" );
    menu.Add( BACK_ENTRY, "BACK" );
    ShowValues();
}

void OnlineScreen::ShowValues() {
    menu.SetValue( PEOPLE, std::to_string( people ) );
    const int addressTyped = typing && typedInto == ADDRESS;
    menu.SetValue( ADDRESS, addressTyped ? address + "_" : address );
    if ( withRelay ) {
        menu.SetValue( RELAY, typing && !addressTyped ? relay + "_" : relay );
    }
}

// Enter on what was typed: a join address joins, a relay's is kept for Host. One that is no
// address stays, to be put right or left with Escape.
int OnlineScreen::Typed() {
    const int joining = typedInto == ADDRESS;
    if ( joining ? !IsJoinAddress( address ) : !IsRelayAddress( relay ) ) {
        message = joining ? REFUSED : RELAY_REFUSED;
        return NONE;
    }
    typing = 0;
    message.clear();
    return joining ? JOIN : NONE;
}

int OnlineScreen::Type( const MenuInput &input ) {
    std::string &typed = typedInto == ADDRESS ? address : relay;
    int chosen = NONE;
    if ( input.Has( MenuInput::ENTER ) ) {
        chosen = Typed();
    } else if ( input.Has( MenuInput::BACK ) ) {
        typing = 0;
    } else if ( input.Has( MenuInput::ERASE ) ) {
        if ( !typed.empty() ) {
            typed.pop_back();
        }
    } else if ( input.GetTypedInAddress() != 0 && int( typed.size() ) < ADDRESS_LENGTH ) {
        typed += input.GetTypedInAddress();
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
            if ( withRelay && !IsRelayAddress( relay ) ) {
                message = NO_RELAY;
                menu.Select( RELAY );
                break;
            }
            message.clear();
            return HOST;
        case ADDRESS:
        case RELAY:
            typing = 1;
            typedInto = event.id;
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
