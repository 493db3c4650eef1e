#ifndef KELTO_MENUS_ONLINESCREEN_H
#define KELTO_MENUS_ONLINESCREEN_H

#include "menus/Menu.h"

#include <string>

// Playing with friends over the network: Host a match (for 2 to 4 people, stepped with Left
// and Right), Join a match at the address a host gave (typed after Enter: letters, digits,
// '.', '-', ':' and '/'; "ws://" may be typed or left out; Backspace rubs out, Enter joins,
// Escape stops typing), and Back. An address that is not ws://HOST:PORT/CODE is refused on
// screen and stays to be put right; a refusal from the relay is shown under the panel.
class OnlineScreen {
public:
    enum Choice { NONE, HOST, JOIN, BACK };
    enum Entry { PEOPLE, HOST_ENTRY, ADDRESS, BACK_ENTRY };
    static constexpr int PEOPLE_LEAST = 2;
    static constexpr int PEOPLE_MOST = 4;
    static constexpr int ADDRESS_LENGTH = 64;
    static constexpr int MESSAGE_GAP = 12; // between the panel and the message under it

    OnlineScreen();
    virtual ~OnlineScreen();

    // `people` the seats a hosted room has (kept in range), `message` shown under the panel.
    void Build( int people, const std::string &address, const std::string &message );
    int Update( const MenuInput &input );
    void Draw( Image &screen, const HudColours &colours ) const;

    int GetPeople() const { return people; }
    // The address to join, with its "ws://", once JOIN is chosen.
    std::string GetAddress() const;
    const std::string &GetTypedAddress() const { return address; }
    const std::string &GetMessage() const { return message; }
    void SetMessage( const std::string &text ) { message = text; }
    int IsTyping() const { return typing; }
    const Menu &GetMenu() const { return menu; }

    // 1 when `text` (with or without "ws://") is ws://HOST:PORT/CODE: a host of letters,
    // digits, '.' and '-', a port from 1 to 65535, a code of letters and digits.
    static int IsJoinAddress( const std::string &text );

private:
    int Type( const MenuInput &input );
    void ShowValues();

    Menu menu;
    int people;
    std::string address; // as typed
    std::string message;
    int typing;
};

#endif
