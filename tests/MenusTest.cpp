#include "gfx/Image.h"
#include "host/HostBackend.h"
#include "host/HostKeyState.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/HelpScreen.h"
#include "menus/MatchSetup.h"
#include "menus/Menu.h"
#include "menus/MenuInput.h"
#include "menus/OnlineScreen.h"
#include "menus/PauseScreen.h"
#include "menus/SettingsScreen.h"
#include "menus/SetupScreen.h"
#include "menus/TitleScreen.h"
#include "settings/SettingsFile.h"
#include "tests/support/HeadlessScope.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// The menus' pieces alone: keys as a menu reads them, the selection going round, the set-up's
// values at their limits, a binding taking only its own kind of input, and what a menu draws.

namespace {

// Feeds one frame with `keys` down (and everything else up) to `input`.
void Frame( MenuInput &input, std::initializer_list<int> keys ) {
    uint8_t state[256] = {};
    for ( int key : keys ) {
        state[key] = 0x80;
    }
    input.Read( state );
}

// Presses `key` for one frame and lets it go in the next; returns the first frame's event.
Menu::Event Press( Menu &menu, MenuInput &input, int key ) {
    Frame( input, { key } );
    const Menu::Event event = menu.Update( input );
    Frame( input, {} );
    menu.Update( input );
    return event;
}

int Press( SetupScreen &screen, MenuInput &input, int key, int times = 1 ) {
    int result = SetupScreen::NONE;
    for ( int i = 0; i < times; i++ ) {
        Frame( input, { key } );
        result = screen.Update( input );
        Frame( input, {} );
        screen.Update( input );
    }
    return result;
}

uint32_t Fnv( const Image &image, const Rect &box ) {
    uint32_t hash = 2166136261u;
    for ( int y = box.top; y <= box.bottom; y++ ) {
        for ( int x = box.left; x <= box.right; x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

} // namespace

// A key counts in the frame it goes down: held on, it does nothing more until let go.
TEST( MenuInput, AKeyCountsOnceWhenItGoesDown ) {
    MenuInput input;
    Frame( input, { DIK_DOWN } );
    EXPECT_TRUE( input.Has( MenuInput::DOWN ) );
    Frame( input, { DIK_DOWN } );
    EXPECT_FALSE( input.Has( MenuInput::DOWN ) );
    Frame( input, {} );
    Frame( input, { DIK_DOWN, DIK_SPACE } );
    EXPECT_TRUE( input.Has( MenuInput::DOWN ) );
    EXPECT_TRUE( input.Has( MenuInput::SELECT ) );
    EXPECT_FALSE( input.Has( MenuInput::ENTER ) ); // Space chooses, but types in a name
    EXPECT_EQ( input.GetTyped(), ' ' );
    // What is held when a menu opens is old.
    uint8_t held[256] = {};
    held[DIK_RETURN] = 0x80;
    input.Hold( held );
    input.Read( held );
    EXPECT_FALSE( input.Has( MenuInput::SELECT ) );
    input.Read( nullptr );
    EXPECT_FALSE( input.Has( MenuInput::SELECT ) );
}

// The characters of a name by the keys' places, with the keys either side of each row.
TEST( MenuInput, KeysTypeTheCharactersOfTheirPlaces ) {
    const struct {
        int key;
        char typed;
    } cases[] = {
        { 0x01, 0 },   { 0x02, '1' }, { 0x0B, '0' }, { 0x0C, '-' }, { 0x0D, 0 },   { 0x0F, 0 },
        { 0x10, 'Q' }, { 0x19, 'P' }, { 0x1A, 0 },   { 0x1D, 0 },   { 0x1E, 'A' }, { 0x26, 'L' },
        { 0x27, 0 },   { 0x2B, 0 },   { 0x2C, 'Z' }, { 0x32, 'M' }, { 0x33, 0 },   { 0x34, '.' },
        { 0x35, 0 },   { 0x38, 0 },   { 0x39, ' ' }, { 0x3A, 0 },   { 0xCB, 0 },   { 0xFF, 0 },
    };
    for ( const auto &c : cases ) {
        EXPECT_EQ( MenuInput::CharacterOf( c.key ), c.typed ) << "key " << c.key;
    }
}

// An address also takes ':' and '/' from their keys, and no space; a name takes neither.
TEST( MenuInput, AnAddressTakesTheColonAndSlashKeysButNoSpace ) {
    const struct {
        int key;
        char typed;
        char inAddress;
    } cases[] = {
        { 0x26, 'L', 'L' }, { 0x27, 0, ':' }, { 0x28, 0, 0 },     { 0x34, '.', '.' }, { 0x35, 0, '/' },
        { 0x36, 0, 0 },     { 0x39, ' ', 0 }, { 0x0C, '-', '-' }, { 0x02, '1', '1' },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.key );
        MenuInput input;
        Frame( input, { c.key } );
        EXPECT_EQ( input.GetTyped(), c.typed );
        EXPECT_EQ( input.GetTypedInAddress(), c.inAddress );
        Frame( input, { c.key } ); // held: typed once
        EXPECT_EQ( input.GetTypedInAddress(), 0 );
    }
}

// The title offers Online where the game plays over the network, before Quit where it can
// end: in a browser neither.
TEST( TitleScreen, OnlineAndQuitAreOfferedOnlyWithTheirFlags ) {
    const struct {
        int withQuit;
        int withOnline;
        std::vector<int> ids;
    } cases[] = {
        { 0, 0, { TitleScreen::PLAY, TitleScreen::SETTINGS, TitleScreen::HELP } },
        { 1, 0, { TitleScreen::PLAY, TitleScreen::SETTINGS, TitleScreen::HELP, TitleScreen::QUIT } },
        { 0, 1, { TitleScreen::PLAY, TitleScreen::SETTINGS, TitleScreen::HELP, TitleScreen::ONLINE } },
        { 1,
          1,
          { TitleScreen::PLAY, TitleScreen::SETTINGS, TitleScreen::HELP, TitleScreen::ONLINE,
            TitleScreen::QUIT } },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.withQuit * 10 + c.withOnline );
        TitleScreen title;
        title.Build( c.withQuit, c.withOnline );
        MenuInput input;
        std::vector<int> ids;
        for ( int i = 0; i < title.GetMenu().GetCount(); i++ ) {
            ids.push_back( title.GetMenu().GetSelectedId() );
            Frame( input, { DIK_DOWN } );
            title.Update( input );
            Frame( input, {} );
            title.Update( input );
        }
        EXPECT_EQ( ids, c.ids );
        EXPECT_EQ( title.GetMenu().GetSelectedId(), TitleScreen::PLAY ); // round again
    }
}

// ws://HOST:PORT/CODE, with or without its "ws://": the port from 1 to 65535, a host and a
// code of their own characters, nothing missing.
TEST( OnlineScreen, OnlyAJoinAddressIsTakenAsOne ) {
    const struct {
        const char *text;
        int address;
    } cases[] = {
        { "ws://192.168.1.5:7531/ABCDEF", 1 },
        { "192.168.1.5:7531/ABCDEF", 1 },
        { "WS://HOST-1.LAN:1/A", 1 },
        { "ws://h:65535/A1", 1 },
        { "ws://h:65536/A1", 0 },
        { "ws://h:0/A1", 0 },
        { "ws://h:00001/A1", 1 },
        { "ws://h:000001/A1", 0 },
        { "ws://h:/A1", 0 },
        { "ws://:7531/A1", 0 },
        { "ws://h:7531/", 0 },
        { "ws://h:7531", 0 },
        { "ws://h/A1:7531", 0 },
        { "ws://h:75a1/A1", 0 },
        { "ws://h:7531/A-1", 0 },
        { "ws://h:7531/A/1", 0 },
        { "ws://h_1:7531/A1", 0 },
        { "http://h:7531/A1", 0 },
        { "ws:/h:7531/A1", 0 },
        { "", 0 },
        { "wss://h:443/A1", 1 },
        { "WSS://H/A1", 1 }, // a TLS proxy on its own port
        { "wss://h:65536/A1", 0 },
        { "wss:///A1", 0 },
        { "wss://h/", 0 },
        { "wsss://h:1/A1", 0 },
    };
    for ( const auto &c : cases ) {
        EXPECT_EQ( OnlineScreen::IsJoinAddress( c.text ), c.address ) << c.text;
    }
}

// A relay's address is a join address without its code: a '/' after it at most.
TEST( OnlineScreen, ARelayAddressHasNoCode ) {
    const struct {
        const char *text;
        int relay;
    } cases[] = {
        { "ws://h:7531", 1 },  { "ws://h:7531/", 1 },  { "h:1", 1 },           { "wss://h", 1 },
        { "wss://h/", 1 },     { "ws://h:7531/A", 0 }, { "ws://h:7531//", 0 }, { "ws://h", 0 },
        { "ws://h:65536", 0 }, { "ws://h:0", 0 },      { "ws://:1", 0 },       { "", 0 },
    };
    for ( const auto &c : cases ) {
        EXPECT_EQ( OnlineScreen::IsRelayAddress( c.text ), c.relay ) << c.text;
    }
}

// Where the game runs no relay of its own, Host needs Relay typed first: without it (or with
// a bad one) the screen says so and stays; typed, Host hosts on it, its scheme kept or the
// page's given, its '/' gone.
TEST( OnlineScreen, HostingOnATypedRelayNeedsItsAddress ) {
    OnlineScreen screen;
    screen.SetWithRelay( 1 );
    screen.SetDefaultScheme( "wss://" );
    screen.Build( 3, std::string(), std::string() );
    MenuInput input;
    const auto press = [&]( int key ) {
        Frame( input, { key } );
        const int choice = screen.Update( input );
        Frame( input, {} );
        screen.Update( input );
        return choice;
    };
    const auto type = [&]( const std::string &text ) {
        for ( char c : text ) {
            int key = 0;
            while ( key < 256 && MenuInput::AddressCharacterOf( key ) != c ) {
                key++;
            }
            ASSERT_LT( key, 256 ) << c;
            press( key );
        }
    };
    press( DIK_DOWN );
    press( DIK_DOWN );
    ASSERT_EQ( screen.GetMenu().GetSelectedId(), OnlineScreen::HOST_ENTRY );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE );
    EXPECT_EQ( screen.GetMenu().GetSelectedId(), OnlineScreen::RELAY );
    EXPECT_NE( screen.GetMessage().find( "RELAY" ), std::string::npos );
    press( DIK_RETURN );
    type( "10.0.0.7:7531/X" );
    EXPECT_EQ( screen.GetMenu().GetValue( OnlineScreen::RELAY ), "10.0.0.7:7531/X_" );
    EXPECT_EQ( screen.GetMenu().GetValue( OnlineScreen::ADDRESS ), "" );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE ); // a code: no relay's address
    EXPECT_TRUE( screen.IsTyping() );
    EXPECT_NE( screen.GetMessage().find( "NOT A RELAY" ), std::string::npos );
    press( DIK_BACK );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE );
    EXPECT_FALSE( screen.IsTyping() );
    EXPECT_EQ( screen.GetMessage(), "" );
    press( DIK_DOWN );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::HOST );
    EXPECT_EQ( screen.GetRelayAddress(), "wss://10.0.0.7:7531" );
    EXPECT_EQ( screen.GetPeople(), 3 );
    // Built again (back on the screen), the relay stays typed; one with its scheme keeps it.
    screen.Build( 3, std::string(), std::string() );
    EXPECT_EQ( screen.GetMenu().GetValue( OnlineScreen::RELAY ), "10.0.0.7:7531/" );
    press( DIK_DOWN );
    press( DIK_RETURN );
    for ( int i = 0; i < 15; i++ ) {
        press( DIK_BACK );
    }
    type( "WS://R:1" );
    press( DIK_RETURN );
    press( DIK_DOWN );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::HOST );
    EXPECT_EQ( screen.GetRelayAddress(), "ws://R:1" );
}

// People step round 2 to 4 either way; Join types an address and joins only a good one, a bad
// one refused on screen and kept to be put right; Escape stops typing, then goes back.
TEST( OnlineScreen, PeopleStepRoundAndABadAddressIsRefusedOnScreen ) {
    OnlineScreen screen;
    screen.Build( 9, std::string(), std::string() );
    EXPECT_EQ( screen.GetPeople(), OnlineScreen::PEOPLE_MOST );
    MenuInput input;
    const auto press = [&]( int key ) {
        Frame( input, { key } );
        const int choice = screen.Update( input );
        Frame( input, {} );
        screen.Update( input );
        return choice;
    };
    const int steps[][2] = {
        { DIK_RIGHT, 2 }, { DIK_RIGHT, 3 }, { DIK_LEFT, 2 }, { DIK_LEFT, 4 }, { DIK_RETURN, 2 } };
    for ( const auto &step : steps ) {
        press( step[0] );
        EXPECT_EQ( screen.GetPeople(), step[1] );
    }
    EXPECT_EQ( screen.GetMenu().GetValue( OnlineScreen::PEOPLE ), "2" );
    press( DIK_DOWN );
    press( DIK_DOWN );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE );
    ASSERT_TRUE( screen.IsTyping() );
    const std::string typed = "10.0.0.7:7531/ABC";
    for ( char c : typed + "D" ) {
        int key = 0;
        while ( key < 256 && MenuInput::AddressCharacterOf( key ) != c ) {
            key++;
        }
        ASSERT_LT( key, 256 ) << c;
        press( key );
    }
    press( DIK_BACK );
    EXPECT_EQ( screen.GetMenu().GetValue( OnlineScreen::ADDRESS ), typed + "_" );
    press( 0x35 ); // a slash: a code does not take it
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE );
    EXPECT_TRUE( screen.IsTyping() );
    EXPECT_NE( screen.GetMessage().find( "NOT AN ADDRESS" ), std::string::npos );
    press( DIK_BACK );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::JOIN );
    EXPECT_FALSE( screen.IsTyping() );
    EXPECT_EQ( screen.GetMessage(), "" );
    EXPECT_EQ( screen.GetAddress(), "ws://" + typed );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::NONE ); // typing again
    EXPECT_EQ( press( DIK_ESCAPE ), OnlineScreen::NONE );
    EXPECT_FALSE( screen.IsTyping() );
    EXPECT_EQ( screen.GetTypedAddress(), typed );
    press( DIK_UP );
    EXPECT_EQ( press( DIK_RETURN ), OnlineScreen::HOST );
    EXPECT_EQ( press( DIK_ESCAPE ), OnlineScreen::BACK );
}

// Up and Down go round at both ends; only an entry with values steps; Enter, the keypad's
// Enter and Space choose; Escape and Backspace go back.
TEST( Menu, TheSelectionGoesRoundAndOnlySteppedEntriesStep ) {
    Menu menu;
    menu.Start( "TEST" );
    menu.Add( 10, "FIRST" );
    menu.Add( 20, "SECOND", "ON", 1 );
    menu.Add( 30, "LAST" );
    MenuInput input;
    EXPECT_EQ( menu.GetSelectedId(), 10 );
    const struct {
        int key;
        Menu::EventType type;
        int selected;
        int step;
    } steps[] = {
        { DIK_UP, Menu::EVENT_NONE, 30, 0 },       { DIK_DOWN, Menu::EVENT_NONE, 10, 0 },
        { DIK_RIGHT, Menu::EVENT_NONE, 10, 0 },    { DIK_DOWN, Menu::EVENT_NONE, 20, 0 },
        { DIK_RIGHT, Menu::EVENT_STEPPED, 20, 1 }, { DIK_LEFT, Menu::EVENT_STEPPED, 20, -1 },
        { DIK_RETURN, Menu::EVENT_CHOSEN, 20, 0 }, { DIK_NUMPADENTER, Menu::EVENT_CHOSEN, 20, 0 },
        { DIK_SPACE, Menu::EVENT_CHOSEN, 20, 0 },  { DIK_DOWN, Menu::EVENT_NONE, 30, 0 },
        { DIK_DOWN, Menu::EVENT_NONE, 10, 0 },     { DIK_ESCAPE, Menu::EVENT_BACK, 10, 0 },
        { DIK_BACK, Menu::EVENT_BACK, 10, 0 },     { 0x1E, Menu::EVENT_NONE, 10, 0 },
    };
    for ( const auto &step : steps ) {
        SCOPED_TRACE( testing::Message() << "key " << step.key );
        const Menu::Event event = Press( menu, input, step.key );
        EXPECT_EQ( event.type, step.type );
        EXPECT_EQ( menu.GetSelectedId(), step.selected );
        EXPECT_EQ( event.step, step.step );
    }
    Menu empty;
    EXPECT_EQ( Press( empty, input, DIK_RETURN ).type, Menu::EVENT_NONE );
    EXPECT_EQ( empty.GetSelectedId(), -1 );
}

// The set-up's values stop at their limits, and the seats' kinds go round.
TEST( SetupScreen, ValuesStepWithinTheirLimits ) {
    struct Case {
        int entry, health, stock, key, times;
        int healthAfter, stockAfter;
    } cases[] = {
        { SetupScreen::HEALTH, 100, 3, DIK_LEFT, 3, 25, 3 },
        { SetupScreen::HEALTH, 100, 3, DIK_LEFT, 4, 25, 3 },
        { SetupScreen::HEALTH, 475, 3, DIK_RIGHT, 1, 500, 3 },
        { SetupScreen::HEALTH, 500, 3, DIK_RIGHT, 1, 500, 3 },
        { SetupScreen::HEALTH, 999, 3, DIK_RIGHT, 1, 999, 3 },
        { SetupScreen::HEALTH, 999, 3, DIK_LEFT, 1, 500, 3 },
        { SetupScreen::HEALTH, 1, 3, DIK_LEFT, 1, 1, 3 },
        { SetupScreen::HEALTH, 1, 3, DIK_RIGHT, 1, 25, 3 },
        { SetupScreen::HEALTH, 110, 3, DIK_LEFT, 1, 100, 3 },
        { SetupScreen::HEALTH, 110, 3, DIK_RIGHT, 1, 125, 3 },
        { SetupScreen::STOCK, 100, 1, DIK_LEFT, 1, 100, 0 },
        { SetupScreen::STOCK, 100, 0, DIK_LEFT, 1, 100, 0 },
        { SetupScreen::STOCK, 100, 98, DIK_RIGHT, 1, 100, 99 },
        { SetupScreen::STOCK, 100, 99, DIK_RIGHT, 1, 100, 99 },
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << "entry " << c.entry << " health " << c.health << " stock "
                                         << c.stock << " key " << c.key );
        MatchSetup setup;
        setup.health = c.health;
        setup.stock = c.stock;
        SetupScreen screen;
        screen.Build( setup );
        MenuInput input;
        // From Play, Up walks back to the entry.
        Press( screen, input, DIK_UP,
               SetupScreen::PLAY_ENTRY - c.entry + 8 - 8 * ( c.entry >= SetupScreen::HEALTH ) );
        ASSERT_EQ( screen.GetMenu().GetSelectedId(), c.entry );
        Press( screen, input, c.key, c.times );
        EXPECT_EQ( screen.GetSetup().health, c.healthAfter );
        EXPECT_EQ( screen.GetSetup().stock, c.stockAfter );
    }
    SetupScreen screen;
    MatchSetup setup;
    setup.seats[0].kind = MatchSetup::OFF;
    screen.Build( setup );
    MenuInput input;
    Press( screen, input, DIK_DOWN, 2 );
    Press( screen, input, DIK_LEFT );
    EXPECT_EQ( screen.GetSetup().seats[0].kind, MatchSetup::HARD );
    Press( screen, input, DIK_RIGHT );
    EXPECT_EQ( screen.GetSetup().seats[0].kind, MatchSetup::OFF );
    EXPECT_EQ( Press( screen, input, DIK_ESCAPE ), SetupScreen::BACK );
}

// Play needs two seats taken: with fewer it is refused on screen (and the refusal stands
// until the next key), with two or more the match starts.
TEST( SetupScreen, PlayIsRefusedWithFewerThanTwoSeatsOn ) {
    const MatchSetup::Kind O = MatchSetup::OFF, P = MatchSetup::PERSON, E = MatchSetup::EASY,
                           H = MatchSetup::HARD;
    struct Case {
        MatchSetup::Kind kinds[MatchSetup::SEATS];
        int played;
    };
    const Case cases[] = {
        { { O, O, O, O }, 0 }, { { P, O, O, O }, 0 }, { { O, O, O, H }, 0 }, { { O, E, O, O }, 0 },
        { { P, O, O, H }, 1 }, { { O, E, H, O }, 1 }, { { O, P, E, H }, 1 }, { { P, P, E, H }, 1 },
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( testing::Message() << c.kinds[0] << c.kinds[1] << c.kinds[2] << c.kinds[3] );
        MatchSetup setup;
        for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
            setup.seats[seat].kind = c.kinds[seat];
        }
        SetupScreen screen;
        screen.Build( setup );
        MenuInput input;
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::PLAY_ENTRY ), "" );
        EXPECT_EQ( Press( screen, input, DIK_RETURN ), c.played ? SetupScreen::PLAY : SetupScreen::NONE );
        if ( c.played ) {
            continue;
        }
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::PLAY_ENTRY ), "NEEDS TWO SEATS ON" );
        EXPECT_EQ( Press( screen, input, DIK_DOWN ), SetupScreen::NONE );
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::PLAY_ENTRY ), "" );
    }
}

// Types `text` on `screen`, each character by the key at its place.
void TypeOn( SetupScreen &screen, MenuInput &input, const std::string &text ) {
    for ( char c : text ) {
        int key = 0;
        while ( key < 256 && MenuInput::CharacterOf( key ) != c ) {
            key++;
        }
        ASSERT_LT( key, 256 ) << c;
        Press( screen, input, key );
    }
}

// The land's row goes round new lands, the pictures and the four styles, and through the
// code when one was given; a settings word the game does not know is a new land each match.
TEST( SetupScreen, TheLandStepsRoundItsChoices ) {
    const struct {
        const char *word;
        int key;
        int times;
        const char *wordAfter;
        const char *label;
    } cases[] = {
        { "new", DIK_RIGHT, 1, "bundled", "PICTURES" },
        { "new", DIK_LEFT, 1, "cliffs", "NEW CLIFFS" },
        { "cliffs", DIK_RIGHT, 1, "new", "NEW EACH MATCH" },
        { "bundled", DIK_RIGHT, 1, "hills", "NEW HILLS" },
        { "islands", DIK_RIGHT, 1, "cavern", "NEW CAVERN" },
        { "cavern", DIK_LEFT, 2, "hills", "NEW HILLS" },
        { "CAVERN-SNOW-0000002A", DIK_LEFT, 1, "cliffs", "NEW CLIFFS" },
        { "cliffs-snow-0000002a", DIK_RIGHT, 1, "new", "NEW EACH MATCH" },
        { "CAVERN-SNOW-0000002A", DIK_RIGHT, 7, "CAVERN-SNOW-0000002A", "CAVERN-SNOW-0000002A" },
        { "CAVERN-SNOW-0000002A", DIK_LEFT, 7, "CAVERN-SNOW-0000002A", "CAVERN-SNOW-0000002A" },
        { "new", DIK_RIGHT, 6, "new", "NEW EACH MATCH" },
        { "dunes", DIK_RIGHT, 0, "new", "NEW EACH MATCH" },
        { "HILLS-GRAY-0000002A", DIK_RIGHT, 0, "new", "NEW EACH MATCH" },
        { "", DIK_RIGHT, 0, "new", "NEW EACH MATCH" },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << c.word << " key " << c.key << " x " << c.times );
        MatchSetup setup;
        setup.land = c.word;
        SetupScreen screen;
        screen.Build( setup );
        MenuInput input;
        Press( screen, input, DIK_UP );
        ASSERT_EQ( screen.GetMenu().GetSelectedId(), SetupScreen::LAND );
        Press( screen, input, c.key, c.times );
        EXPECT_EQ( screen.GetSetup().land, c.wordAfter );
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::LAND ), c.label );
    }
}

// Enter on the land types a code: kept when it parses (in capitals), refused on screen and
// left to put right when it does not; Escape gives it up; the longest code fits exactly.
TEST( SetupScreen, ATypedLandCodeIsKeptOnlyWhenItParses ) {
    const struct {
        const char *typed;
        int erase; // Backspaces after typing
        int key;   // then
        const char *shown;
        int typing;
        const char *word;
    } cases[] = {
        { "CAVERN-SNOW-0000002A", 0, DIK_RETURN, "CAVERN-SNOW-0000002A", 0, "CAVERN-SNOW-0000002A" },
        { "CAVERN-SNOW-0000002", 0, DIK_RETURN, "CAVERN-SNOW-0000002_ NOT A CODE", 1, "bundled" },
        { "CAVERN-SNOW-0000002AB", 0, DIK_RETURN, "CAVERN-SNOW-0000002AB_ NOT A CODE", 1, "bundled" },
        { "CAVERN-SNOW-0000002AB", 1, DIK_RETURN, "CAVERN-SNOW-0000002A", 0, "CAVERN-SNOW-0000002A" },
        { "HILLS-GREEN-3F9A21C0", 0, DIK_ESCAPE, "PICTURES", 0, "bundled" },
        { "", 1, DIK_RETURN, "_ NOT A CODE", 1, "bundled" },
        { "ISLANDS-DESERT-FFFFFFFF", 0, DIK_RETURN, "ISLANDS-DESERT-FFFFFFFF", 0, "ISLANDS-DESERT-FFFFFFFF" },
        // The 24th character is not taken; nor a space or a point.
        { "ISLANDS-DESERT-FFFFFFFFF", 0, DIK_RETURN, "ISLANDS-DESERT-FFFFFFFF", 0,
          "ISLANDS-DESERT-FFFFFFFF" },
        { "HILLS-GREEN. 3F9A21C0", 0, DIK_RETURN, "HILLS-GREEN3F9A21C0_ NOT A CODE", 1, "bundled" },
        { "HILLS-GREEN-3F9A21C0", 0, 0, "HILLS-GREEN-3F9A21C0_", 1, "bundled" },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.typed );
        MatchSetup setup;
        setup.land = "bundled";
        SetupScreen screen;
        screen.Build( setup );
        MenuInput input;
        Press( screen, input, DIK_UP );
        Press( screen, input, DIK_RETURN );
        ASSERT_TRUE( screen.IsTypingLand() );
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::LAND ), "_" );
        TypeOn( screen, input, c.typed );
        Press( screen, input, DIK_BACK, c.erase );
        if ( c.key != 0 ) {
            Press( screen, input, c.key );
        }
        EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::LAND ), c.shown );
        EXPECT_EQ( screen.IsTypingLand(), c.typing );
        EXPECT_EQ( screen.GetSetup().land, c.word );
        if ( c.typing && c.key == DIK_RETURN ) {
            // The next key puts the refusal away; Escape then leaves the land as it was.
            TypeOn( screen, input, "0" );
            EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::LAND ).find( "NOT A CODE" ),
                       std::string::npos );
            Press( screen, input, DIK_ESCAPE );
            EXPECT_FALSE( screen.IsTypingLand() );
            EXPECT_EQ( screen.GetMenu().GetValue( SetupScreen::LAND ), "PICTURES" );
            EXPECT_EQ( Press( screen, input, DIK_ESCAPE ), SetupScreen::BACK );
        }
    }
}

// A key row takes a key and a pad row a button, each ignoring the other kind; Escape keeps
// the old binding; the volume and the dead zone stop at their ends.
TEST( SettingsScreen, BindingsTakeTheirOwnKindOfInputAndValuesStopAtTheirEnds ) {
    HeadlessScope scope;
    Settings settings;
    SettingsFile::SetDefaults( settings );
    SettingsScreen screen;
    screen.Build( settings, []( int input ) {
        return std::string( input == 0x21 ? "F" : ( input >= 256 ? "x" : "" ) );
    } );
    MenuInput input;
    auto press = [&]( int key ) {
        Frame( input, { key } );
        screen.Update( input );
        Frame( input, {} );
        screen.Update( input );
    };
    auto changes = [&]() {
        std::string said;
        for ( const SettingsScreen::Change &change : screen.TakeChanges() ) {
            said += change.key + "=" + change.value + ";";
        }
        return said;
    };
    HostKeyState &keys = scope.Backend().GetKeyState();
    press( DIK_DOWN );
    press( DIK_DOWN ); // volume, at 100
    press( DIK_RIGHT );
    EXPECT_EQ( changes(), "volume=100;" );
    press( DIK_LEFT );
    EXPECT_EQ( changes(), "volume=90;" );
    for ( int i = 0; i < 7; i++ ) {
        press( DIK_DOWN ); // the fire key
    }
    press( DIK_RETURN );
    EXPECT_EQ( screen.GetBinding(), 9 );
    keys.Press( HOST_INPUT_PAD_BUTTON ); // a button does not bind a key
    press( 0 );
    EXPECT_EQ( screen.GetBinding(), 9 );
    keys.Press( 0x22 ); // a key without a name binds nothing
    press( 0 );
    EXPECT_EQ( screen.GetBinding(), 9 );
    keys.Press( DIK_ESCAPE );
    press( 0 );
    EXPECT_EQ( screen.GetBinding(), -1 );
    EXPECT_EQ( changes(), "" );
    press( DIK_RETURN );
    keys.Press( 0x21 );
    press( 0 );
    EXPECT_EQ( changes(), "key_fire=F;" );
    for ( int i = 0; i < 3; i++ ) {
        press( DIK_DOWN ); // past the weapon keys to the pad's left
    }
    press( DIK_RETURN );
    keys.Press( 0x21 ); // a key does not bind a button
    press( 0 );
    EXPECT_EQ( screen.GetBinding(), 12 );
    keys.Press( HOST_INPUT_STICK_LEFT );
    press( 0 );
    EXPECT_EQ( changes(), "pad_left=x;" );
    settings.padDeadZone = 95;
    screen.Refresh( settings );
    for ( int i = 0; i < 8; i++ ) {
        press( DIK_UP ); // the dead zone
    }
    press( DIK_RIGHT );
    EXPECT_EQ( changes(), "pad_dead_zone=95;" );
    settings.padDeadZone = 0;
    screen.Refresh( settings );
    press( DIK_LEFT );
    EXPECT_EQ( changes(), "pad_dead_zone=0;" );
    // Without a namer (a browser page) the volume alone is offered.
    screen.Build( settings, nullptr );
    EXPECT_EQ( screen.GetMenu().GetCount(), 2 );
}

// A menu draws only inside its box, the whole box; the pause menu's picture is pinned by its
// checksum.
TEST( Menu, DrawsOnlyInsideItsBox ) {
    HostPaletteEntry palette[256];
    for ( int i = 0; i < 256; i++ ) {
        palette[i] = HostPaletteEntry{ uint8_t( i ), uint8_t( 255 - i ), uint8_t( i * 7 ), 0 };
    }
    HudColours colours;
    colours.Find( palette );
    PauseScreen pause;
    pause.Build( 1, 1 );
    Image screen( 640, 480 );
    const uint8_t sentinel = 77;
    screen.Clear( sentinel );
    pause.Draw( screen, colours );
    const Rect box = pause.GetMenu().GetBox( 640, 480 );
    EXPECT_EQ( box.right - box.left + 1, Menu::MIN_WIDTH );
    EXPECT_EQ( box.bottom - box.top + 1, Font::GLYPH_HEIGHT * Menu::SCALE + Menu::TITLE_GAP +
                                             5 * Menu::ROW_HEIGHT + 2 * Menu::PADDING );
    int outside = 0;
    for ( int y = 0; y < 480; y++ ) {
        for ( int x = 0; x < 640; x++ ) {
            const int inside = x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
            outside += !inside && screen.GetPixels()[y * screen.GetPitch() + x] != sentinel;
        }
    }
    EXPECT_EQ( outside, 0 );
    // The border is drawn on the box's edge, one pixel in from the sentinel around it.
    EXPECT_EQ( screen.GetPixels()[box.top * screen.GetPitch() + box.left], colours.GetText() );
    EXPECT_EQ( screen.GetPixels()[box.bottom * screen.GetPitch() + box.right], colours.GetText() );
    EXPECT_EQ( screen.GetPixels()[( box.top - 1 ) * screen.GetPitch() + box.left], sentinel );
    EXPECT_EQ( screen.GetPixels()[box.top * screen.GetPitch() + box.right + 1], sentinel );
    EXPECT_EQ( Fnv( screen, box ), 884208745u );
}

namespace {

// One frame of the mouse alone: no key down, the pointer at (x, y), moved and clicked as
// asked (a click is where the pointer is).
Menu::Event Mouse( Menu &menu, MenuInput &input, int x, int y, int moved, int clicked ) {
    Frame( input, {} );
    input.Point( x, y, moved, clicked, x, y );
    return menu.Update( input );
}

} // namespace

// A click chooses the entry under it, to the row's last pixel and the panel's sides, and
// nothing one pixel beyond; a stepped entry steps back on the panel's left half and on from
// its middle. The pointer moving onto an entry selects it; resting, or off the entries, it
// leaves the keys' choice alone.
TEST( Menu, TheMouseChoosesTheEntryUnderItAndNothingBeyondThePanel ) {
    Menu menu;
    menu.Start( "TITLE" );
    menu.Add( 1, "PLAY" );
    menu.Add( 2, "VOLUME", "5", 1 );
    menu.Add( 3, "QUIT" );
    const Rect box = menu.GetBox( 640, 480 );
    const Rect first = menu.GetEntryBox( 0, 640, 480 );
    const Rect last = menu.GetEntryBox( 2, 640, 480 );
    ASSERT_EQ( first.left, box.left );
    ASSERT_EQ( first.right, box.right );
    ASSERT_EQ( first.bottom - first.top + 1, Menu::ROW_HEIGHT );
    ASSERT_EQ( last.top, first.top + 2 * Menu::ROW_HEIGHT );
    ASSERT_GT( first.top, box.top + Menu::PADDING ); // the title stands above
    const int middle = ( box.left + box.right + 1 ) / 2;
    const int stepped = first.top + Menu::ROW_HEIGHT;
    MenuInput input;
    const struct {
        int x;
        int y;
        Menu::EventType type;
        int id;
        int step;
    } clicks[] = {
        { box.left, first.top, Menu::EVENT_CHOSEN, 1, 0 },
        { box.right, first.bottom, Menu::EVENT_CHOSEN, 1, 0 },
        { box.left - 1, first.top, Menu::EVENT_NONE, 0, 0 },
        { box.right + 1, first.top, Menu::EVENT_NONE, 0, 0 },
        { middle, first.top - 1, Menu::EVENT_NONE, 0, 0 },
        { middle, first.bottom + 1, Menu::EVENT_STEPPED, 2, 1 },
        { box.left, stepped, Menu::EVENT_STEPPED, 2, -1 },
        { middle - 1, stepped + Menu::ROW_HEIGHT - 1, Menu::EVENT_STEPPED, 2, -1 },
        { middle, stepped, Menu::EVENT_STEPPED, 2, 1 },
        { box.right, stepped, Menu::EVENT_STEPPED, 2, 1 },
        { middle, last.top, Menu::EVENT_CHOSEN, 3, 0 },
        { middle, last.bottom, Menu::EVENT_CHOSEN, 3, 0 },
        { middle, last.bottom + 1, Menu::EVENT_NONE, 0, 0 },
        { middle, box.bottom + 1, Menu::EVENT_NONE, 0, 0 },
    };
    for ( const auto &click : clicks ) {
        SCOPED_TRACE( std::to_string( click.x ) + "," + std::to_string( click.y ) );
        menu.Select( 1 );
        const Menu::Event event = Mouse( menu, input, click.x, click.y, 0, 1 );
        EXPECT_EQ( event.type, click.type );
        EXPECT_EQ( menu.GetSelectedId(), click.type == Menu::EVENT_NONE ? 1 : click.id );
        if ( click.type != Menu::EVENT_NONE ) {
            EXPECT_EQ( event.id, click.id );
            EXPECT_EQ( event.step, click.step );
        }
    }
    // Moving selects; a pointer at rest or off the entries does not, and the keys still move
    // the selection from where the mouse left it.
    menu.Select( 1 );
    EXPECT_EQ( Mouse( menu, input, middle, last.top, 1, 0 ).type, Menu::EVENT_NONE );
    EXPECT_EQ( menu.GetSelectedId(), 3 );
    menu.Select( 1 );
    Mouse( menu, input, middle, last.top, 0, 0 );
    EXPECT_EQ( menu.GetSelectedId(), 1 );
    Mouse( menu, input, middle, last.bottom + 1, 1, 0 );
    Mouse( menu, input, box.right + 1, stepped, 1, 0 );
    EXPECT_EQ( menu.GetSelectedId(), 1 );
    Mouse( menu, input, middle, stepped, 1, 0 );
    EXPECT_EQ( Press( menu, input, DIK_DOWN ).id, 3 );
    // A menu drawn on a smaller screen is pointed at where it was drawn.
    Image small( 320, 240 );
    HudColours colours;
    menu.Draw( small, colours );
    const Rect smallFirst = menu.GetEntryBox( 0, 320, 240 );
    ASSERT_NE( smallFirst.top, first.top );
    EXPECT_EQ( Mouse( menu, input, smallFirst.left, smallFirst.top, 0, 1 ).id, 1 );
    EXPECT_EQ( Mouse( menu, input, first.left, first.top, 0, 1 ).type, Menu::EVENT_NONE );
}

// The help names every key the game reads, each binding as the settings have it (a weapon
// key rebound shows its new name), the keys the game keeps for itself, and the gamepad's.
TEST( HelpScreen, ListsEveryKeyAndEveryBindingAsSet ) {
    Settings settings;
    SettingsFile::SetDefaults( settings );
    settings.keyLeft = "J";
    settings.keyRight = "L";
    settings.keyUp = "I";
    settings.keyDown = "K";
    settings.keyFire = "Tab";
    settings.keyWeaponPrevious = "U";
    settings.keyWeaponNext = "O";
    settings.padFire = "x";
    settings.padWeaponPrevious = "leftshoulder";
    settings.padWeaponNext = "rightshoulder";
    HelpScreen help;
    help.Build( settings );
    std::string all;
    for ( int i = 0; i < help.GetLineCount(); i++ ) {
        all += help.GetLine( i ) + "\n";
    }
    const char *const named[] = {
        "J / L",       "I / K",     "HOLD TAB", "U / O", "ESCAPE", "F1",    "\nSOUND ON, OFF     M\n",
        "F11",         "ALT+ENTER", "F12",      "CLICK", "START",  "D-PAD", "X\n",
        "LEFTSHOULDER" };
    for ( const char *name : named ) {
        EXPECT_NE( all.find( name ), std::string::npos ) << name << " in\n" << all;
    }
    // Every line fits the screen in the font's own size.
    for ( int i = 0; i < help.GetLineCount(); i++ ) {
        EXPECT_LE( Font::Measure( help.GetLine( i ).c_str() ) + 2 * HelpScreen::PADDING, 640 )
            << help.GetLine( i );
    }
    EXPECT_LE( help.GetLineCount() * HelpScreen::LINE_HEIGHT + 2 * HelpScreen::PADDING, 480 );
}
