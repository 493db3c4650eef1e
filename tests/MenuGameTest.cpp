#include "SourcePaths.h"
#include "ai/ComputerPlayers.h"
#include "app/Controls.h"
#include "app/Game.h"
#include "app/GameScreens.h"
#include "app/Options.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "host/HostSocket.h"
#include "host/HostWindow.h"
#include "hud/Font.h"
#include "hud/Hud.h"
#include "hud/Overlay.h"
#include "lands/LandCode.h"
#include "lands/LandGenerator.h"
#include "lands/LandStarts.h"
#include "menus/MenuInput.h"
#include "platform/Display.h"
#include "play/Arsenal.h"
#include "replay/ReplayFile.h"
#include "replay/StateChecksum.h"
#include "settings/SettingsFile.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

// The game's screens driven by keys and gamepad buttons on the headless backend, on the
// game's own pictures: from the title to a match, the seats, the names, the pause (with a
// recording made through it) and a key bound by pressing it.

namespace {

HeadlessBackend *backend = nullptr;

class MenuGameEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        HeadlessScope *scope = new HeadlessScope;
        backend = &scope->Backend();
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
    }
};

::testing::Environment *const environment = ::testing::AddGlobalTestEnvironment( new MenuGameEnvironment );

const int DIK_F = 0x21;
const int DIK_A = 0x1E;
const int DIK_N = 0x31;
const int PAD_A = HOST_INPUT_PAD_BUTTON + 0;
const int PAD_B = HOST_INPUT_PAD_BUTTON + 1;
const int PAD_BACK = HOST_INPUT_PAD_BUTTON + 4;
const int PAD_START = HOST_INPUT_PAD_BUTTON + 6;
const int PAD_DOWN = HOST_INPUT_PAD_BUTTON + 12;

struct Named {
    const char *name;
    int input;
};

// The names this test's "backend" knows, as SDL spells them.
const Named NAMES[] = {
    { "Left", DIK_LEFT },      { "Right", DIK_RIGHT }, { "Up", DIK_UP },         { "Down", DIK_DOWN },
    { "Space", DIK_SPACE },    { "F", DIK_F },         { "Escape", DIK_ESCAPE }, { "Return", DIK_RETURN },
    { "Backspace", DIK_BACK }, { "a", PAD_A },         { "b", PAD_B },           { "back", PAD_BACK },
    { "start", PAD_START },    { "dpdown", PAD_DOWN },
};

std::string NameOf( int input ) {
    for ( const Named &named : NAMES ) {
        if ( named.input == input ) {
            return named.name;
        }
    }
    return std::string();
}

std::vector<int> InputsOf( const std::string &names, int pad ) {
    std::vector<int> inputs;
    std::stringstream list( names );
    std::string name;
    while ( std::getline( list, name, ',' ) ) {
        name.erase( 0, name.find_first_not_of( ' ' ) );
        for ( const Named &named : NAMES ) {
            if ( name == named.name && ( named.input >= HOST_INPUT_PAD_BUTTON ) == ( pad != 0 ) ) {
                inputs.push_back( named.input );
            }
        }
    }
    return inputs;
}

void ApplyBindings( const Settings &settings ) {
    BindControls( backend->GetKeyState(), settings, InputsOf );
}

int KnownKey( const char *name ) {
    return !InputsOf( name, 0 ).empty();
}

int KnownPad( const char *name ) {
    return !InputsOf( name, 1 ).empty();
}

std::string ReadText( const std::string &path ) {
    std::ifstream file( path );
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class MenuGame : public ::testing::Test {
protected:
    MenuGame() {
        char pattern[] = "/tmp/kelto-menus-XXXXXX";
        folder = mkdtemp( pattern );
        settingsPath = folder + "/settings.ini";
        HostClearMemoryFiles();
        GameSetDataFolder( std::string( KELTO_ASSETS_DIR ) + "/" );
        GameSetSeed( 7 );
        g_options = Options();
        file.SetNameChecks( KnownKey, KnownPad );
        file.Load( settingsPath, g_settings, stderr );
        backend->ReleaseAllKeys();
        ApplyBindings( g_settings );
        GameSetSettingsFile( &file, settingsPath, NameOf, ApplyBindings );
        GameUseMenus( 1 );
    }

    ~MenuGame() override {
        GameStopMenus();
        GameSetSettingsFile( nullptr, std::string(), nullptr, nullptr );
        GameSetDataFolder( std::string() );
        GameUseClockSeed();
        backend->GetKeyState() = HostKeyState();
        g_options = Options();
        g_settings = Settings();
        std::system( ( "rm -rf '" + folder + "'" ).c_str() );
    }

    // One press and release of a key or button, seen in one frame; then a frame with it up.
    void Tap( World &world, int input, int times = 1 ) {
        for ( int i = 0; i < times; i++ ) {
            backend->GetKeyState().Press( input );
            backend->GetKeyState().Release( input );
            GameFrame( world );
            GameFrame( world );
        }
    }

    void Frames( World &world, int count ) {
        for ( int i = 0; i < count; i++ ) {
            GameFrame( world );
        }
    }

    // With KELTO_MENU_SHOTS set to a folder, the back buffer is kept there as a BMP.
    void Shoot( const char *name ) {
        const char *shots = std::getenv( "KELTO_MENU_SHOTS" );
        if ( shots == nullptr ) {
            return;
        }
        BmpPicture picture;
        picture.width = 640;
        picture.height = 480;
        picture.palette.assign( g_display.GetPaletteEntries(), g_display.GetPaletteEntries() + 256 );
        const Image &screen = g_display.LockBackBuffer();
        for ( int y = 0; y < 480; y++ ) {
            picture.pixels.insert( picture.pixels.end(), screen.GetPixels() + y * screen.GetPitch(),
                                   screen.GetPixels() + y * screen.GetPitch() + 640 );
        }
        g_display.UnlockBackBuffer();
        WriteFileBytes( std::string( shots ) + "/" + name + ".bmp", MakeBmp( picture ) );
    }

    std::vector<Tank *> Tanks( World &world ) {
        std::vector<Tank *> tanks;
        EntityNode *node = nullptr;
        for ( Entity *tank = world.GetTanks()->First( node ); tank != nullptr;
              tank = world.GetTanks()->Next( node, 1 ) ) {
            tanks.push_back( static_cast<Tank *>( tank ) );
        }
        return tanks;
    }

    // 1 when the window was sent WM_CLOSE since the last look; the messages are taken.
    static int CloseWasPosted() {
        HostMessage message;
        int closed = 0;
        while ( HostPeekMessage( &message, nullptr, PM_REMOVE ) ) {
            closed |= message.message == WM_CLOSE;
        }
        return closed;
    }

    std::string folder;
    std::string settingsPath;
    SettingsFile file;
};

} // namespace

// Behind the title the computer plays all four tanks; Enter, then the set-up's arrows and
// Enter start a match with the seats chosen, and the set-up is kept in the settings file.
TEST_F( MenuGame, TheTitleLeadsToAMatchWithKeysAloneAndTheSetUpIsKept ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    for ( int seat = 0; seat < ComputerPlayers::SEATS; seat++ ) {
        EXPECT_TRUE( g_computerPlayers.IsComputer( seat ) );
    }
    // The tanks start falling onto the land: the match behind the title moves.
    const int fallingY = Tanks( world )[1]->GetY();
    ASSERT_EQ( Tanks( world )[1]->GetState(), Tank::Falling );
    Frames( world, 30 );
    EXPECT_GT( Tanks( world )[1]->GetY(), fallingY );
    Shoot( "title" );

    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETUP );
    // Play is selected; Down twice goes round to the first seat. Seat 2 goes from the
    // computer at normal to a person, seat 4 from normal to hard.
    Tap( world, DIK_DOWN, 4 );
    Tap( world, DIK_LEFT, 2 );
    Tap( world, DIK_DOWN, 4 );
    Tap( world, DIK_RIGHT );
    Shoot( "setup" );
    Tap( world, DIK_UP, 8 );
    EXPECT_EQ( g_screens.GetSetupScreen().GetMenu().GetSelectedId(), SetupScreen::PLAY_ENTRY );
    const int match = g_hud.GetMatch().GetMatchNumber();
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( g_hud.GetMatch().GetMatchNumber(), match + 1 );
    const int computers[] = { 0, 0, 1, 1 };
    for ( int seat = 0; seat < ComputerPlayers::SEATS; seat++ ) {
        EXPECT_EQ( g_computerPlayers.IsComputer( seat ), computers[seat] ) << "seat " << seat;
        EXPECT_EQ( g_hud.GetMatch().GetComputer( seat ), computers[seat] ) << "seat " << seat;
    }
    EXPECT_EQ( g_computerPlayers.GetPlayer( 3 ).GetLevel(), ComputerPlayers::LevelFromName( "hard" ) );
    const std::string kept = ReadText( settingsPath );
    EXPECT_NE( kept.find( "\nseat_1 = person\n" ), std::string::npos );
    EXPECT_NE( kept.find( "\nseat_2 = person\n" ), std::string::npos );
    EXPECT_NE( kept.find( "\nseat_4 = hard\n" ), std::string::npos );
    GameEnd( world );
}

// Quit is the last entry (Up from Play goes round to it) and Escape on the title quits, but
// not in a browser, which has neither; there Online is the last.
TEST_F( MenuGame, QuitIsOfferedOnlyWhereTheGameCanEnd ) {
    for ( int withQuit = 0; withQuit <= 1; withQuit++ ) {
        SCOPED_TRACE( withQuit ? "desktop" : "browser" );
        GameUseMenus( withQuit );
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        CloseWasPosted();
        // Online wherever the game has a socket, a browser page's too.
        EXPECT_EQ( g_screens.GetTitle().GetMenu().GetCount(), 3 + withQuit + HostSocket::IsAvailable() );
        Tap( world, DIK_ESCAPE );
        EXPECT_EQ( CloseWasPosted(), withQuit );
        Tap( world, DIK_UP );
        Tap( world, DIK_RETURN );
        EXPECT_EQ( CloseWasPosted(), withQuit );
        const int last = HostSocket::IsAvailable() ? GameScreens::ONLINE : GameScreens::HELP;
        EXPECT_EQ( g_screens.GetScreen(), withQuit ? GameScreens::TITLE : last );
        GameEnd( world );
    }
}

// A seat given to the computer plays without a key pressed: with all four the computer's
// the first tank fires once the tanks have landed.
TEST_F( MenuGame, ASeatSetToTheComputerPlays ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_DOWN, 2 );
    Tap( world, DIK_RIGHT ); // seat 1: from a person to the computer at easy
    Tap( world, DIK_UP, 2 );
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    ASSERT_TRUE( g_computerPlayers.IsComputer( 0 ) );
    EXPECT_EQ( g_computerPlayers.GetPlayer( 0 ).GetLevel(), ComputerPlayers::LevelFromName( "easy" ) );
    for ( int frame = 0; frame < 960 + 900 && world.GetBombs()->GetCount() == 0; frame++ ) {
        GameFrame( world );
    }
    EXPECT_EQ( world.GetBombs()->GetCount(), 1 );
    GameEnd( world );
}

// A name is typed on the set-up screen (twelve letters at most, Backspace rubs out, Escape
// puts the old one back) and stands on the tank's label, the scores and the winner's banner.
TEST_F( MenuGame, ANameTypedInTheSetUpStandsOnTheWinnersBanner ) {
    // The last set-up's health, 1, reaches the match: one bomb puts a tank out.
    ASSERT_EQ( file.Change( settingsPath, "health", "1", g_settings ), SettingsFile::CHANGE_WRITTEN );
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_DOWN, 3 ); // the first seat's name
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetSetupScreen().GetTyping(), 0 );
    Tap( world, DIK_A, 14 );
    EXPECT_EQ( g_screens.GetSetup().seats[0].name, "AAAAAAAAAAAA" );
    Tap( world, DIK_ESCAPE );
    EXPECT_EQ( g_screens.GetSetup().seats[0].name, "" );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::SETUP );
    Tap( world, DIK_RETURN );
    const int typed[] = { DIK_A, DIK_N, DIK_N, DIK_N, DIK_BACK, DIK_A };
    for ( int key : typed ) {
        Tap( world, key );
    }
    Tap( world, DIK_RETURN );
    EXPECT_EQ( g_screens.GetSetupScreen().GetTyping(), -1 );
    EXPECT_EQ( g_screens.GetSetup().seats[0].name, "ANNA" );
    Tap( world, DIK_UP, 3 );
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_STREQ( g_hud.GetOverlay().GetName( 0 ), "ANNA" );
    EXPECT_STREQ( g_hud.GetOverlay().GetName( 1 ), "PLAYER 2" );
    EXPECT_NE( ReadText( settingsPath ).find( "\nname_1 = ANNA\n" ), std::string::npos );

    // The scores' row starts with the name, in the first player's colour, glyph for glyph.
    Frames( world, 1 );
    {
        Image row( 160, Font::GLYPH_HEIGHT );
        row.Clear( 0 );
        Font::Draw( row, 0, 0, "ANNA:0", 1, 2 );
        const uint8_t colour = g_hud.GetColours().GetPlayer( 0 );
        const Image &screen = g_display.LockBackBuffer();
        int expected = 0;
        int counted = 0;
        for ( int y = 0; y < Font::GLYPH_HEIGHT; y++ ) {
            for ( int x = 0; x < 160; x++ ) {
                expected += row.GetPixels()[y * row.GetPitch() + x] == 1;
                const int at = ( Overlay::MARGIN + y ) * screen.GetPitch() + Overlay::MARGIN + x;
                counted +=
                    ( screen.GetPixels()[at] == colour ) == ( row.GetPixels()[y * row.GetPitch() + x] == 1 );
            }
        }
        g_display.UnlockBackBuffer();
        EXPECT_GT( expected, 40 );
        EXPECT_EQ( counted, 160 * Font::GLYPH_HEIGHT ) << "the scores' row is not ANNA's";
    }

    EXPECT_EQ( g_options.health, 1 );
    EXPECT_EQ( g_hud.GetMatch().GetStartHealth(), 1 );
    EXPECT_EQ( g_hud.GetMatch().GetHealth( 0 ), 1 );

    // Once the tanks stand, a bomb of the first player's turn onto each other tank wins the
    // match.
    for ( int frame = 0; frame < 1000 && Tanks( world )[1]->GetState() == Tank::Falling; frame++ ) {
        GameFrame( world );
    }
    for ( int player = 1; player < 4 && g_hud.IsPlaying(); player++ ) {
        Tank *target = Tanks( world )[player];
        Bomb *bomb = new Bomb( target->GetX(), target->GetY() - 60, 0, 0, &g_bombSprite, &world );
        world.AddBomb( bomb );
        while ( bomb->GetState() == Bomb::Flying ) {
            GameFrame( world );
        }
    }
    ASSERT_EQ( g_hud.GetMatch().GetWinner(), 0 );
    Shoot( "banner" );
    // The banner's text in the first player's colour is the name's, glyph for glyph.
    Image text( 640, 40 );
    text.Clear( 0 );
    Font::Draw( text, 0, 0, "ANNA WINS!", 1, 2, 3 );
    int expected = 0;
    for ( int i = 0; i < 640 * 40; i++ ) {
        expected += text.GetPixels()[i] == 1;
    }
    const uint8_t colour = g_hud.GetColours().GetPlayer( 0 );
    const Image &screen = g_display.LockBackBuffer();
    int counted = 0;
    for ( int y = 170; y <= 250; y++ ) {
        for ( int x = 170; x <= 470; x++ ) {
            counted += screen.GetPixels()[y * screen.GetPitch() + x] == colour;
        }
    }
    g_display.UnlockBackBuffer();
    EXPECT_EQ( counted, expected );
    GameEnd( world );
}

// The weapons' stock chosen in the set-up is each player's for every weapon but the bomb;
// one with none left cannot be chosen. Stepped at its limits it stays there.
TEST_F( MenuGame, TheSetUpsWeaponStockIsPlayed ) {
    const struct {
        const char *kept; // in the settings file
        int step;         // Left (-1) or Right (+1) on the set-up's stock
        int shots;
    } cases[] = { { "0", -1, 0 }, { "2", -1, 1 }, { "98", 1, 99 }, { "99", 1, 99 } };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.kept );
        g_options = Options(); // the last match's health, handed over, is no command line
        ASSERT_EQ( file.Change( settingsPath, "stock", c.kept, g_settings ), SettingsFile::CHANGE_WRITTEN );
        for ( int seat = 1; seat <= 4; seat++ ) {
            file.Change( settingsPath, "seat_" + std::to_string( seat ), "person", g_settings );
        }
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        Tap( world, DIK_RETURN );
        Tap( world, DIK_UP, 2 );
        ASSERT_EQ( g_screens.GetSetupScreen().GetMenu().GetSelectedId(), SetupScreen::STOCK );
        Tap( world, c.step < 0 ? DIK_LEFT : DIK_RIGHT );
        Tap( world, DIK_DOWN, 2 );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
        EXPECT_EQ( g_screens.GetSetup().stock, c.shots );
        for ( int player = 0; player < Arsenal::PLAYERS; player++ ) {
            EXPECT_EQ( g_arsenal.GetStock( player, WEAPON_BOMB ), WEAPON_UNLIMITED );
            for ( int weapon = WEAPON_HEAVY; weapon < WEAPON_CHOICES; weapon++ ) {
                EXPECT_EQ( g_arsenal.GetStock( player, weapon ), c.shots ) << player << " " << weapon;
            }
        }
        Tank *turn = nullptr;
        for ( int frame = 0; frame < 1000 && turn == nullptr; frame++ ) {
            GameFrame( world );
            Tank *current = static_cast<Tank *>( world.GetCurrentTank() );
            turn = current != nullptr && current->GetState() == Tank::Active ? current : nullptr;
        }
        ASSERT_NE( turn, nullptr );
        Tap( world, DIK_E );
        EXPECT_EQ( turn->GetWeapon(), c.shots > 0 ? WEAPON_HEAVY : WEAPON_BOMB );
        GameEnd( world );
    }
}

namespace {

// The middle of an entry's row (by its place in the list), or its left or right end.
struct Spot {
    int x;
    int y;
};
enum Side { LEFT_END, MIDDLE, RIGHT_END };

Spot SpotOf( const Menu &menu, int place, Side side = MIDDLE ) {
    const Rect row = menu.GetEntryBox( place, 640, 480 );
    const int x =
        side == LEFT_END ? row.left : ( side == RIGHT_END ? row.right : ( row.left + row.right ) / 2 );
    return Spot{ x, ( row.top + row.bottom ) / 2 };
}

} // namespace

// The mouse alone through every screen: a click on an entry chooses it (or steps its value,
// back on the left, on at the right), a click on the help closes it, a click beside a panel
// does nothing.
TEST_F( MenuGame, TheMouseClicksItsWayThroughEveryScreen ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    const auto click = [&]( Spot spot ) {
        backend->GetPointer().Click( spot.x, spot.y );
        Frames( world, 2 );
    };
    const Menu &title = g_screens.GetTitle().GetMenu();
    click( Spot{ title.GetBox( 640, 480 ).left - 1, SpotOf( title, 0 ).y } );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    click( SpotOf( title, 2 ) ); // Help
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::HELP );
    click( Spot{ 0, 0 } );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    click( SpotOf( title, 1 ) ); // Settings: the volume down two steps, then up one
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETTINGS );
    const Menu &settings = g_screens.GetSettings().GetMenu();
    ASSERT_EQ( g_settings.volume, 100 );
    click( SpotOf( settings, 2, LEFT_END ) );
    EXPECT_EQ( g_settings.volume, 90 );
    click( SpotOf( settings, 2, LEFT_END ) );
    click( SpotOf( settings, 2, RIGHT_END ) );
    EXPECT_EQ( g_settings.volume, 90 );
    EXPECT_NE( ReadText( settingsPath ).find( "\nvolume = 90\n" ), std::string::npos );
    click( SpotOf( settings, settings.GetCount() - 1 ) ); // Back
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );

    click( SpotOf( title, 0 ) ); // Play
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETUP );
    const Menu &setup = g_screens.GetSetupScreen().GetMenu();
    const int stock = g_screens.GetSetup().stock;
    click( SpotOf( setup, 10, RIGHT_END ) ); // the weapons
    EXPECT_EQ( g_screens.GetSetup().stock, stock + 1 );
    // Moving onto an entry selects it: Enter then chooses it.
    backend->GetPointer().Move( SpotOf( setup, 13 ).x, SpotOf( setup, 13 ).y ); // Back
    Frames( world, 1 );
    EXPECT_EQ( setup.GetSelectedId(), SetupScreen::BACK_ENTRY );
    backend->GetPointer().Move( SpotOf( setup, 12 ).x, SpotOf( setup, 12 ).y ); // Play
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( g_arsenal.GetStock( 0, WEAPON_DIRT ), stock + 1 );

    // In play a click is no shot and opens nothing.
    click( SpotOf( title, 0 ) );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    Tap( world, DIK_ESCAPE );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    const Menu &pause = g_screens.GetPause().GetMenu();
    click( SpotOf( pause, 2 ) ); // Settings
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETTINGS );
    click( SpotOf( settings, settings.GetCount() - 1 ) );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    click( SpotOf( pause, 0 ) ); // Resume
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    Tap( world, DIK_ESCAPE );
    click( SpotOf( pause, 3 ) ); // Quit to title
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    GameEnd( world );
}

namespace {

// Keys held over a stretch of frames: the first tank drives, aims and charges a shot.
struct HeldKey {
    int key;
    int first;
    int last;
};

const HeldKey SCRIPT[] = { { DIK_RIGHT, 20, 39 }, { DIK_UP, 40, 49 }, { DIK_SPACE, 60, 99 } };
const int SCRIPT_FRAMES = 180;
const int PAUSE_AT = 52; // no key held: a key held over the pause waits to be let go
const int PAUSED_FRAMES = 100;

// The World's state as the replay checks it.
uint32_t WorldChecksum( const World &world ) {
    StateChecksum checksum;
    checksum.AddWorld( world );
    return checksum.Get();
}

} // namespace

// Escape pauses a recorded match: while paused nothing updates whatever is held, and the
// pause is no frames of the recording, which replays without a divergence to the state of
// the same game played without a pause.
TEST_F( MenuGame, APauseStopsTheMatchAndIsNoPartOfItsRecording ) {
    std::string checksums[2];
    for ( int paused = 0; paused <= 1; paused++ ) {
        SCOPED_TRACE( paused ? "paused" : "not paused" );
        const std::string recording = folder + "/game" + std::to_string( paused ) + ".krec";
        g_options = Options();
        g_options.record = recording;
        g_settings.players = 4;
        {
            World world;
            ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
            ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
            for ( int frame = 0; frame < SCRIPT_FRAMES; frame++ ) {
                if ( paused && frame == PAUSE_AT ) {
                    backend->ReleaseAllKeys();
                    Tap( world, DIK_ESCAPE );
                    ASSERT_TRUE( g_screens.IsPaused() );
                    Shoot( "pause" );
                    const uint32_t before = WorldChecksum( world );
                    backend->SetKey( DIK_LEFT, 1 );
                    Frames( world, PAUSED_FRAMES );
                    backend->SetKey( DIK_LEFT, 0 );
                    EXPECT_EQ( WorldChecksum( world ), before );
                }
                backend->ReleaseAllKeys();
                for ( const HeldKey &held : SCRIPT ) {
                    if ( frame >= held.first && frame <= held.last ) {
                        backend->SetKey( held.key, 1 );
                    }
                }
                // Escape resumes, and the match plays on in the same frame.
                if ( paused && frame == PAUSE_AT ) {
                    backend->GetKeyState().Press( DIK_ESCAPE );
                    backend->GetKeyState().Release( DIK_ESCAPE );
                }
                GameFrame( world );
                if ( paused && frame == PAUSE_AT ) {
                    ASSERT_FALSE( g_screens.IsOpen() );
                }
            }
            backend->ReleaseAllKeys();
            ASSERT_EQ( GameEnd( world ), 0 );
        }
        // The pause's own frames (the Escape taps and the frames between) are not recorded.
        ReplayFile file;
        ASSERT_TRUE( file.Load( recording.c_str() ) );
        EXPECT_EQ( file.GetFrameCount(), SCRIPT_FRAMES );

        g_options = Options();
        g_options.timedemo = recording;
        World replayed;
        testing::internal::CaptureStdout();
        ASSERT_EQ( GameStartup( nullptr, nullptr, replayed ), 1 );
        Frames( replayed, file.GetFrameCount() );
        EXPECT_EQ( GameEnd( replayed ), 0 );
        const std::string said = testing::internal::GetCapturedStdout();
        checksums[paused] = said.substr( said.find( "state checksum" ) );
    }
    EXPECT_EQ( checksums[0], checksums[1] );
}

namespace {

// A computer-only match with seats left empty as the set-up leaves them (bit 0 seat 1), at
// the computer's hard level, with health enough for every seat taken to have a turn.
void SeatComputersOnly( int seatsOff ) {
    g_options.players = 0;
    g_options.health = 120;
    g_options.level = "hard";
    g_options.seatsOff = seatsOff;
    ApplyOptions( g_options, g_settings );
}

// The seats of a mask that the match plays.
int SeatsOn( int seatsOff ) {
    return ~seatsOff & ( ( 1 << Match::MAX_PLAYERS ) - 1 );
}

} // namespace

// A seat left empty has no tank in play from the start to the winner's banner: only the
// seats taken ever have the turn (every one of them at least once) and one of them wins.
TEST_F( MenuGame, EmptySeatsNeverHaveATurnInAComputerMatchToItsWinner ) {
    const int cases[] = { 0x0, 0x1, 0x8, 0x2, 0x4, 0x9, 0x6, 0x3, 0xC, 0x5 };
    for ( int seatsOff : cases ) {
        SCOPED_TRACE( testing::Message() << "seats off " << seatsOff );
        g_options = Options();
        SeatComputersOnly( seatsOff );
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        const Match &match = g_hud.GetMatch();
        int hadTurn = 0;
        int frames = 0;
        for ( ; frames < 40000 && match.GetOutcome() == Match::Playing; frames++ ) {
            GameFrame( world );
            const int current = match.GetCurrentPlayer();
            hadTurn |= current != Match::NO_PLAYER ? 1 << current : 0;
            for ( int seat = 0; seat < Match::MAX_PLAYERS; seat++ ) {
                if ( ( seatsOff >> seat ) & 1 ) {
                    ASSERT_EQ( Tanks( world )[seat]->GetState(), Tank::Out ) << "frame " << frames;
                }
            }
        }
        ASSERT_EQ( match.GetOutcome(), Match::Won ) << frames << " frames";
        EXPECT_EQ( ( SeatsOn( seatsOff ) >> match.GetWinner() ) & 1, 1 ) << match.GetWinner();
        EXPECT_EQ( hadTurn, SeatsOn( seatsOff ) );
        // The next match leaves the same seats empty.
        for ( int frame = 0; frame < 600 && match.GetMatchNumber() == 1; frame++ ) {
            GameFrame( world );
        }
        ASSERT_EQ( match.GetMatchNumber(), 2 );
        for ( int seat = 0; seat < Match::MAX_PLAYERS; seat++ ) {
            EXPECT_EQ( match.IsInPlay( seat ), ( SeatsOn( seatsOff ) >> seat ) & 1 ) << seat;
        }
        GameEnd( world );
    }
}

// The empty seats are among a recording's rules: its replay leaves them empty again and
// comes to the recorded state.
TEST_F( MenuGame, ARecordingWithEmptySeatsReplaysToItsChecksum ) {
    const int frames = 900;
    for ( int seatsOff : { 0x9, 0x6 } ) {
        SCOPED_TRACE( testing::Message() << "seats off " << seatsOff );
        const std::string recording = folder + "/seats" + std::to_string( seatsOff ) + ".krec";
        g_options = Options();
        g_options.record = recording;
        SeatComputersOnly( seatsOff );
        uint32_t recorded = 0;
        {
            World world;
            ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
            Frames( world, frames );
            recorded = WorldChecksum( world );
            ASSERT_EQ( GameEnd( world ), 0 );
        }
        ReplayFile file;
        ASSERT_TRUE( file.Load( recording.c_str() ) );
        ASSERT_EQ( file.GetRules().size(), 10u );
        EXPECT_EQ( file.GetRules().back(), seatsOff );

        g_options = Options();
        g_settings = Settings();
        g_options.timedemo = recording;
        World replayed;
        testing::internal::CaptureStdout();
        ASSERT_EQ( GameStartup( nullptr, nullptr, replayed ), 1 );
        for ( int seat = 0; seat < Match::MAX_PLAYERS; seat++ ) {
            EXPECT_EQ( g_hud.GetMatch().IsInPlay( seat ), ( SeatsOn( seatsOff ) >> seat ) & 1 ) << seat;
        }
        Frames( replayed, file.GetFrameCount() );
        EXPECT_EQ( WorldChecksum( replayed ), recorded );
        EXPECT_EQ( GameEnd( replayed ), 0 );
        testing::internal::GetCapturedStdout();
    }
}

// Fire bound to F on the settings screen: the file says so at once and F then charges and
// fires; Space no longer does.
TEST_F( MenuGame, AKeyBoundByPressingItIsWrittenAndThenFires ) {
    g_options.players = 4;
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    Tap( world, DIK_ESCAPE );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    // Resume, Restart match, Settings.
    Tap( world, DIK_DOWN, 2 );
    Tap( world, DIK_RETURN );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETTINGS );
    Tap( world, DIK_DOWN, 9 ); // the fire key
    Tap( world, DIK_RETURN );
    EXPECT_GE( g_screens.GetSettings().GetBinding(), 0 );
    Shoot( "binding" );
    Tap( world, DIK_F );
    EXPECT_EQ( g_screens.GetSettings().GetBinding(), -1 );
    EXPECT_EQ( g_settings.keyFire, "F" );
    EXPECT_NE( ReadText( settingsPath ).find( "\nkey_fire = F\n" ), std::string::npos );
    Shoot( "settings" );
    Tap( world, DIK_ESCAPE );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    Tap( world, DIK_ESCAPE );
    ASSERT_FALSE( g_screens.IsOpen() );

    Tank *first = Tanks( world )[0];
    for ( int frame = 0; frame < 1000 && first->GetState() == Tank::Falling; frame++ ) {
        GameFrame( world );
    }
    ASSERT_EQ( first->GetState(), Tank::Active );
    backend->SetKey( DIK_SPACE, 1 );
    Frames( world, 10 );
    backend->SetKey( DIK_SPACE, 0 );
    EXPECT_EQ( first->GetPower(), 0 );
    backend->SetKey( DIK_F, 1 );
    Frames( world, 10 );
    EXPECT_GT( first->GetPower(), 0 );
    backend->SetKey( DIK_F, 0 );
    Frames( world, 2 );
    EXPECT_EQ( world.GetBombs()->GetCount(), 1 );

    // Default controls put Space back, in the file too.
    Tap( world, DIK_ESCAPE );
    Tap( world, DIK_DOWN, 2 );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_UP, 2 );
    Tap( world, DIK_RETURN );
    EXPECT_EQ( g_settings.keyFire, "Space" );
    EXPECT_NE( ReadText( settingsPath ).find( "\nkey_fire = Space\n" ), std::string::npos );
    GameEnd( world );
}

// The gamepad alone: Start pauses, the D-pad moves, A chooses, B goes back; F1 shows the help
// over the match standing still.
TEST_F( MenuGame, TheGamepadAndF1WorkTheMenusOverAMatch ) {
    g_options.players = 1;
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    Tap( world, PAD_START );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
    Tap( world, PAD_B );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    Tap( world, PAD_START );
    Tap( world, PAD_DOWN ); // Restart match
    const int match = g_hud.GetMatch().GetMatchNumber();
    Tap( world, PAD_A );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( g_hud.GetMatch().GetMatchNumber(), match + 1 );

    Tap( world, DIK_F1 );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::HELP );
    EXPECT_TRUE( g_screens.IsPaused() );
    EXPECT_EQ( g_hud.GetHelpShown(), 0 );
    Shoot( "help" );
    Tap( world, DIK_F1 );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    GameEnd( world );
}

// The set-up says what the match will be played on, and the pause menu shows the code of
// the land being played (none for pictures); choosing it changes nothing.
TEST_F( MenuGame, TheSetUpAndThePauseShowTheLand ) {
    const struct {
        const char *land;
        const char *setupLand;
        const char *pauseLand; // null: GameLandCode(), a new land's
    } cases[] = {
        { "", "NEW EACH MATCH", nullptr },
        { "hills-green-0000002a", "HILLS-GREEN-0000002A", "HILLS-GREEN-0000002A" },
        { "land.bmp", "PICTURES", "" },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.land );
        g_options = Options();
        g_options.land = IsLandPicture( c.land ) ? GameDataPath( c.land ) : c.land;
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        if ( g_screens.GetScreen() == GameScreens::PLAYING ) {
            // A land given on the command line starts a match: its pause leads to the title.
            Tap( world, DIK_ESCAPE );
            ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
            Tap( world, DIK_DOWN, 3 );
            ASSERT_EQ( g_screens.GetPause().GetMenu().GetSelectedId(), PauseScreen::TO_TITLE );
            Tap( world, DIK_RETURN );
        }
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::SETUP );
        EXPECT_EQ( g_screens.GetSetupScreen().GetMenu().GetValue( SetupScreen::LAND ), c.setupLand );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
        Tap( world, DIK_ESCAPE );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
        const std::string code = c.pauseLand != nullptr ? c.pauseLand : GameLandCode();
        EXPECT_EQ( code.empty(), c.pauseLand != nullptr && *c.pauseLand == '\0' );
        EXPECT_EQ( g_screens.GetPause().GetMenu().GetValue( PauseScreen::LAND ), code );
        EXPECT_EQ( g_screens.GetPause().GetMenu().GetCount(), code.empty() ? 5 : 6 );
        // Up from Resume goes round to Quit, the last entry; the land's stands above it and,
        // chosen, leaves the pause as it is.
        Tap( world, DIK_UP );
        EXPECT_EQ( g_screens.GetPause().GetMenu().GetSelectedId(), PauseScreen::QUIT );
        Tap( world, DIK_UP );
        EXPECT_EQ( g_screens.GetPause().GetMenu().GetSelectedId(),
                   code.empty() ? PauseScreen::TO_TITLE : PauseScreen::LAND );
        if ( !code.empty() ) {
            CloseWasPosted();
            Tap( world, DIK_RETURN );
            EXPECT_EQ( g_screens.GetScreen(), GameScreens::PAUSE );
            EXPECT_EQ( CloseWasPosted(), 0 );
        }
        GameEnd( world );
    }
}

namespace {

uint32_t LandChecksum( const Image &image ) {
    uint32_t hash = 2166136261u;
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

// The checksum of the land `code` makes, or of the game's own land picture for an empty code.
uint32_t ExpectedLand( const std::string &code ) {
    Image land;
    if ( code.empty() ) {
        Image picture( 1, 1 );
        EXPECT_EQ( picture.LoadBmp( GameDataPath( "land.bmp" ).c_str() ), 1 );
        return LandChecksum( picture );
    } else {
        LandCode parsed;
        EXPECT_EQ( parsed.Parse( code.c_str() ), 1 ) << code;
        EXPECT_EQ( LandGenerator::MakeLand( parsed, 1280, 960, land ), 1 );
    }
    return LandChecksum( land );
}

} // namespace

// The land chosen in the set-up is the match's, whatever the game started on, and stays in
// the settings file: the pictures, a new land of one style each match, a code typed in (the
// same land again at a restart), or a new land each match. Made lands have their tanks at
// open start places.
TEST_F( MenuGame, TheLandChosenInTheSetUpIsPlayedAndKept ) {
    const struct {
        const char *optionLand; // the command line's --land
        int right;              // steps on the land row
        const char *typed;      // or a code typed there
        const char *kept;       // the settings file's land line after
        const char *label;      // the set-up's land row when it comes back
        const char *style;      // the made land's style; "" for pictures, null for any
        int sameAtRestart;
    } cases[] = {
        { "", 1, nullptr, "bundled", "PICTURES", "", 1 },
        { "", 3, nullptr, "islands", "NEW ISLANDS", "ISLANDS", 0 },
        { "land.bmp", 0, "CLIFFS-DESERT-0000BEEF", "CLIFFS-DESERT-0000BEEF", "CLIFFS-DESERT-0000BEEF",
          "CLIFFS", 1 },
        { "land.bmp", 4, nullptr, "cliffs", "NEW CLIFFS", "CLIFFS", 0 },
        { "HILLS-SNOW-0000002A", 1, nullptr, "new", "NEW EACH MATCH", nullptr, 0 },
        { "HILLS-SNOW-0000002A", 0, nullptr, "HILLS-SNOW-0000002A", "HILLS-SNOW-0000002A", "HILLS", 1 },
    };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( testing::Message() << c.optionLand << " " << c.kept );
        file.Change( settingsPath, "land", "new", g_settings );
        g_options = Options();
        g_options.land = IsLandPicture( c.optionLand ) ? GameDataPath( c.optionLand ) : c.optionLand;
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        if ( g_screens.GetScreen() == GameScreens::PLAYING ) {
            Tap( world, DIK_ESCAPE );
            Tap( world, DIK_DOWN, 3 );
            Tap( world, DIK_RETURN );
        }
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
        Tap( world, DIK_RETURN );
        Tap( world, DIK_UP );
        ASSERT_EQ( g_screens.GetSetupScreen().GetMenu().GetSelectedId(), SetupScreen::LAND );
        Tap( world, DIK_RIGHT, c.right );
        if ( c.typed != nullptr ) {
            Tap( world, DIK_RETURN );
            for ( const char *t = c.typed; *t != '\0'; t++ ) {
                int key = 0;
                while ( key < 256 && MenuInput::CharacterOf( key ) != *t ) {
                    key++;
                }
                Tap( world, key );
            }
            Tap( world, DIK_RETURN );
        }
        Shoot( ( std::string( "setup-land-" ) + c.kept ).c_str() );
        Tap( world, DIK_DOWN );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
        EXPECT_NE( ReadText( settingsPath ).find( std::string( "\nland = " ) + c.kept + "\n" ),
                   std::string::npos );
        std::string codes[2];
        for ( int match = 0; match < 2; match++ ) {
            codes[match] = GameLandCode();
            const std::string &code = codes[match];
            EXPECT_EQ( code.empty(), c.style != nullptr && *c.style == '\0' );
            if ( c.style != nullptr ) {
                EXPECT_EQ( code.substr( 0, std::strlen( c.style ) ), c.style );
            }
            EXPECT_EQ( LandChecksum( *world.GetLandImage() ), ExpectedLand( code ) ) << code;
            for ( Tank *tank : Tanks( world ) ) {
                EXPECT_TRUE( code.empty() ||
                             LandStarts::IsOpen( *world.GetLandImage(), tank->GetX(), 35, 20, nullptr ) )
                    << code << " " << tank->GetX();
            }
            // Restart the match from the pause.
            Tap( world, DIK_ESCAPE );
            Tap( world, DIK_DOWN );
            ASSERT_EQ( g_screens.GetPause().GetMenu().GetSelectedId(), PauseScreen::RESTART );
            Tap( world, DIK_RETURN );
            ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
        }
        EXPECT_EQ( codes[0] == codes[1], c.sameAtRestart ) << codes[0] << " " << codes[1];
        // Back in the set-up, the choice is the kept one.
        Tap( world, DIK_ESCAPE );
        Tap( world, DIK_DOWN, 3 );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
        Tap( world, DIK_RETURN );
        EXPECT_EQ( g_screens.GetSetupScreen().GetMenu().GetValue( SetupScreen::LAND ), c.label );
        GameEnd( world );
    }
}

// Pictures that went missing since the start leave the made land in play, its code shown, and
// say why.
TEST_F( MenuGame, PicturesGoneSinceTheStartLeaveTheMadeLandInPlay ) {
    const std::string data = folder + "/data/";
    ASSERT_EQ(
        std::system( ( "mkdir -p '" + data + "' && cp " KELTO_ASSETS_DIR "/*.bmp '" + data + "'" ).c_str() ),
        0 );
    GameSetDataFolder( data );
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    std::remove( ( data + "land.bmp" ).c_str() );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_UP );
    Tap( world, DIK_RIGHT );
    ASSERT_EQ( g_screens.GetSetupScreen().GetSetup().land, "bundled" );
    Tap( world, DIK_DOWN );
    testing::internal::CaptureStderr();
    Tap( world, DIK_RETURN );
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ( g_screens.GetScreen(), GameScreens::PLAYING );
    EXPECT_EQ( said.rfind( "kelto: " + data + "land.bmp: ", 0 ), 0u ) << said;
    const std::string code = GameLandCode();
    ASSERT_FALSE( code.empty() );
    EXPECT_EQ( LandChecksum( *world.GetLandImage() ), ExpectedLand( code ) ) << code;
    for ( Tank *tank : Tanks( world ) ) {
        EXPECT_TRUE( LandStarts::IsOpen( *world.GetLandImage(), tank->GetX(), 35, 20, nullptr ) )
            << tank->GetX();
    }
    GameEnd( world );
}
