#ifndef KELTO_MENUS_ONLINESCREEN_H
#define KELTO_MENUS_ONLINESCREEN_H

#include "menus/Menu.h"

#include <string>

// Playing with friends over the network: Host a match (for 2 to 4 people, stepped with Left
// and Right), Join a match at the address a host gave (typed after Enter: letters, digits,
// '.', '-', ':' and '/'; "ws://" or "wss://" may be typed, "ws://" left out; Backspace rubs
// out, Enter joins, Escape stops typing), and Back. A game that cannot run a relay itself
// (the page) hosts on a relay whose address is typed in Relay, as the join address is. An
// address that is not one is refused on screen and stays to be put right; a refusal from the
// relay is shown under the panel.
class OnlineScreen {
public:
    enum Choice { NONE, HOST, JOIN, BACK };
    enum Entry { PEOPLE, HOST_ENTRY, ADDRESS, BACK_ENTRY, RELAY };
    static constexpr int PEOPLE_LEAST = 2;
    static constexpr int PEOPLE_MOST = 4;
    static constexpr int ADDRESS_LENGTH = 64;
    static constexpr int MESSAGE_GAP = 12; // between the panel and the message under it

    OnlineScreen();
    virtual ~OnlineScreen();

    // Offers Relay, the address of the relay to host on (kept between builds).
    void SetWithRelay( int with ) { withRelay = with; }
    // The scheme an address typed without one takes: "ws://", or "wss://" on a page served
    // over https, whose browser lets it open no other.
    void SetDefaultScheme( const std::string &scheme ) { defaultScheme = scheme; }
    // `people` the seats a hosted room has (kept in range), `message` shown under the panel.
    void Build( int people, const std::string &address, const std::string &message );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const;

    int GetPeople() const { return people; }
    // The address to join, with its scheme, once JOIN is chosen.
    std::string GetAddress() const;
    // The relay to host on, with its scheme and without a trailing '/', once HOST is chosen
    // where Relay is offered.
    std::string GetRelayAddress() const;
    const std::string &GetTypedAddress() const { return address; }
    const std::string &GetTypedRelay() const { return relay; }
    const std::string &GetMessage() const { return message; }
    void SetMessage( const std::string &text ) { message = text; }
    int IsTyping() const { return typing; }
    const Menu &GetMenu() const { return menu; }

    // 1 when `text` (with "ws://", "wss://" or neither) is ws://HOST:PORT/CODE: a host of
    // letters, digits, '.' and '-', a port from 1 to 65535 (which wss:// may leave out: a TLS
    // proxy listens on 443), a code of letters and digits.
    static int IsJoinAddress( const std::string &text );
    // The same for a relay's address: ws://HOST:PORT, with or without a '/' after it.
    static int IsRelayAddress( const std::string &text );

private:
    int Type( const MenuInput &input );
    int Typed();
    void ShowValues();
    std::string WithScheme( const std::string &text ) const;

    Menu menu;
    int people;
    int withRelay;
    std::string defaultScheme;
    std::string address; // as typed
    std::string relay;   // as typed
    std::string message;
    int typing;    // 1 while an address is typed
    int typedInto; // ADDRESS or RELAY
};

#endif
