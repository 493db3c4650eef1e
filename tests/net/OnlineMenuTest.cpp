#include "SourcePaths.h"
#include "app/App.h"
#include "app/Game.h"
#include "app/GameScreens.h"
#include "app/Options.h"
#include "game/Globals.h"
#include "game/World.h"
#include "host/HostFile.h"
#include "host/HostWindow.h"
#include "hud/Font.h"
#include "hud/Hud.h"
#include "menus/MenuInput.h"
#include "platform/Display.h"
#include "relay/InGameRelay.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/HeadlessScope.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Online play reached through the title: Online, then Join with a typed address or Host, against
// a relay on the loopback and a headless game in another process; a bad address and a
// relay's refusal shown on the online screen. Every game and wait is bounded in time.

namespace {

HeadlessBackend *backend = nullptr;

class OnlineMenuEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        HeadlessScope *scope = new HeadlessScope;
        backend = &scope->Backend();
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
    }
};

::testing::Environment *const environment = ::testing::AddGlobalTestEnvironment( new OnlineMenuEnvironment );

const int WAIT_SECONDS = 30;
const unsigned FRAMES_PLAYED = 200;

InGameRelay *relay = nullptr;

int StartTestRelay( std::string &relayUrl, std::string &joinHost, std::string & ) {
    relayUrl = "ws://127.0.0.1:" + std::to_string( relay->GetPort() );
    joinHost = "127.0.0.1";
    return 1;
}

class OnlineMenu : public ::testing::Test {
protected:
    OnlineMenu() : other( -1 ) {
        char pattern[] = "/tmp/kelto-online-menu-XXXXXX";
        folder = mkdtemp( pattern );
        HostClearMemoryFiles();
        GameSetDataFolder( std::string( KELTO_ASSETS_DIR ) + "/" );
        g_options = Options();
        g_settings = Settings();
        g_settings.name[0] = "MENU";
        backend->ReleaseAllKeys();
        GameUseMenus( 1 );
        GameSetOnlineTest( 1, -1 );
        relay = &ownRelay;
        EXPECT_EQ( ownRelay.Start( "127.0.0.1" ), 1 ) << ownRelay.GetError();
        GameSetRelayStarter( StartTestRelay );
    }

    ~OnlineMenu() override {
        if ( other > 0 ) {
            kill( other, SIGKILL );
            waitpid( other, nullptr, 0 );
        }
        ownRelay.Stop();
        relay = nullptr;
        GameSetRelayStarter( nullptr );
        GameSetOnlineTest( 0, -1 );
        GameStopMenus();
        GameSetDataFolder( std::string() );
        g_options = Options();
        g_settings = Settings();
        std::system( ( "rm -rf '" + folder + "'" ).c_str() );
    }

    std::string RelayAt() const { return "ws://127.0.0.1:" + std::to_string( ownRelay.GetPort() ); }

    // Another game, headless, the computer at its keys, its output in `out`.
    void StartOther( const std::vector<std::string> &gameOptions ) {
        out = folder + "/other.out";
        std::vector<std::string> words = {
            KELTO_HEADLESS_PROGRAM, "--online", "--computer-plays-me", "--frames", "20000", "--" };
        words.insert( words.end(), gameOptions.begin(), gameOptions.end() );
        other = Run( words, out );
        ASSERT_GE( other, 0 );
    }

    // A program in the pictures' folder, its output in the file `output`.
    static pid_t Run( std::vector<std::string> words, const std::string &output ) {
        const pid_t child = fork();
        if ( child == 0 ) {
            const int file = open( output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600 );
            if ( file < 0 || dup2( file, 1 ) < 0 || dup2( file, 2 ) < 0 || chdir( KELTO_ASSETS_DIR ) != 0 ) {
                _exit( 127 );
            }
            std::vector<char *> argv;
            for ( std::string &word : words ) {
                argv.push_back( &word[0] );
            }
            argv.push_back( nullptr );
            execv( argv[0], argv.data() );
            _exit( 127 );
        }
        return child;
    }

    static std::string Said( const std::string &path ) {
        std::ifstream file( path );
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::string OtherSaid() const { return Said( out ); }

    // Waits until the file `path` holds `text`; what it holds then.
    static std::string AwaitSaid( const std::string &path, const std::string &text ) {
        std::string said;
        for ( int i = 0; i < WAIT_SECONDS * 10 && ( said = Said( path ) ).find( text ) == std::string::npos;
              i++ ) {
            std::this_thread::sleep_for( std::chrono::milliseconds( 100 ) );
        }
        return said;
    }

    void Tap( World &world, int key, int times = 1 ) {
        for ( int i = 0; i < times; i++ ) {
            backend->GetKeyState().Press( key );
            backend->GetKeyState().Release( key );
            GameFrame( world );
            GameFrame( world );
        }
    }

    void Type( World &world, const std::string &text ) {
        for ( char c : text ) {
            c = char( std::toupper( static_cast<unsigned char>( c ) ) ); // as the keys type
            int key = 0;
            while ( key < 256 && MenuInput::AddressCharacterOf( key ) != c ) {
                key++;
            }
            ASSERT_LT( key, 256 ) << c;
            Tap( world, key );
        }
    }

    // From the title to the online screen, and onto its entry `entry`.
    void ToOnline( World &world, int entry ) {
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
        Tap( world, DIK_DOWN, 3 );
        Tap( world, DIK_RETURN );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::ONLINE );
        Tap( world, DIK_DOWN, entry );
    }

    // The address the other game, hosting, tells its friends; empty if it said none in time.
    std::string AwaitHostAddress() {
        const std::string prefix = "kelto --join ";
        for ( int i = 0; i < WAIT_SECONDS * 10; i++ ) {
            const std::string said = OtherSaid();
            const size_t at = said.find( prefix );
            const size_t end = said.find( '\n', at );
            if ( at != std::string::npos && end != std::string::npos ) {
                return said.substr( at + prefix.size(), end - at - prefix.size() );
            }
            std::this_thread::sleep_for( std::chrono::milliseconds( 100 ) );
        }
        return std::string();
    }

    // Frames until the online match has played `frames`, or the time is up.
    void PlayOnline( World &world, unsigned frames ) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds( WAIT_SECONDS );
        while ( GameOnlineFrame() < frames && !GameOnlineStopped() &&
                std::chrono::steady_clock::now() < end ) {
            GameFrame( world );
            std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
        }
    }

    // Frames until the room joined has answered, or the time is up.
    void AwaitAnswer( World &world ) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds( WAIT_SECONDS );
        while ( GameOnlineJoining() && std::chrono::steady_clock::now() < end ) {
            GameFrame( world );
            std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
        }
    }

    // The back buffer's FNV-1a hash.
    // A socket on the loopback that takes connections and never answers; -1 if it could not
    // listen. Its port goes to *port.
    static int ListenSilently( std::string *port ) {
        const int silent = socket( AF_INET, SOCK_STREAM, 0 );
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl( INADDR_LOOPBACK );
        socklen_t length = sizeof( address );
        if ( silent < 0 || bind( silent, reinterpret_cast<sockaddr *>( &address ), length ) != 0 ||
             listen( silent, 4 ) != 0 ||
             getsockname( silent, reinterpret_cast<sockaddr *>( &address ), &length ) != 0 ) {
            if ( silent >= 0 ) {
                close( silent );
            }
            return -1;
        }
        *port = std::to_string( ntohs( address.sin_port ) );
        return silent;
    }

    uint64_t ScreenHash() const {
        uint64_t hash = 14695981039346656037ull;
        const Image &screen = g_display.LockBackBuffer();
        for ( int y = 0; y < screen.GetHeight(); y++ ) {
            for ( int x = 0; x < screen.GetWidth(); x++ ) {
                hash = ( hash ^ screen.GetPixels()[y * screen.GetPitch() + x] ) * 1099511628211ull;
            }
        }
        g_display.UnlockBackBuffer();
        return hash;
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

    InGameRelay ownRelay;
    std::string folder;
    std::string out;
    pid_t other;
};

} // namespace

// A host in another game prints its address; typed on the online screen ("ws://" and all), it
// joins the room and the match plays on with the stream's keys.
TEST_F( OnlineMenu, JoinATypedAddressAndPlay ) {
    StartOther( { "--host", "--relay", RelayAt(), "--name", "HOST" } );
    const std::string address = AwaitHostAddress();
    ASSERT_FALSE( address.empty() ) << OtherSaid();
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ToOnline( world, 2 );
    Tap( world, DIK_RETURN );
    ASSERT_TRUE( g_screens.GetOnline().IsTyping() );
    Type( world, address );
    Tap( world, DIK_RETURN );
    PlayOnline( world, FRAMES_PLAYED );
    EXPECT_GE( GameOnlineFrame(), FRAMES_PLAYED ) << OtherSaid();
    EXPECT_FALSE( GameOnlineStopped() );
    EXPECT_FALSE( g_screens.IsOpen() );
    // The player away (another window in front, a hidden tab): the others wait on this game,
    // so its frames go on.
    ASSERT_TRUE( GameRunsUnseen() );
    g_appActive = 0;
    const unsigned away = GameOnlineFrame();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds( WAIT_SECONDS );
    int exitCode = 0;
    while ( GameOnlineFrame() < away + 60 && !GameOnlineStopped() &&
            std::chrono::steady_clock::now() < end ) {
        RunFrameLoopStep( []( void *played ) { GameFrame( *static_cast<World *>( played ) ); }, &world, 1,
                          exitCode );
        std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
    }
    g_appActive = 1;
    EXPECT_GE( GameOnlineFrame(), away + 60 ) << OtherSaid();
    GameEnd( world );
    EXPECT_FALSE( GameRunsUnseen() );
}

// An address that is none stays on screen, refused, while typing; a room the relay does not
// have is refused by the relay, and the refusal is shown on the online screen over the title's
// game, the address kept to be put right.
TEST_F( OnlineMenu, ABadAddressAndAnUnknownRoomAreRefusedOnScreen ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ToOnline( world, 2 );
    Tap( world, DIK_RETURN );
    // The screen keeps the address last typed, to be put right: rubbed out here.
    Tap( world, DIK_BACK, OnlineScreen::ADDRESS_LENGTH );
    EXPECT_EQ( g_screens.GetOnline().GetTypedAddress(), "" );
    const std::string port = std::to_string( ownRelay.GetPort() );
    Type( world, "127.0.0.1/" + port + ":ABC" );
    Tap( world, DIK_RETURN );
    EXPECT_TRUE( g_screens.GetOnline().IsTyping() );
    EXPECT_NE( g_screens.GetOnline().GetMessage().find( "NOT AN ADDRESS" ), std::string::npos );
    Tap( world, DIK_BACK, int( port.size() ) + 5 );
    Type( world, ":" + port + "/ZZZZZZ" );
    Tap( world, DIK_RETURN );
    AwaitAnswer( world );
    EXPECT_FALSE( GameOnlineJoining() );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::ONLINE );
    EXPECT_TRUE( g_screens.IsOnTitle() );
    EXPECT_EQ( GameOnlineFrame(), 0u );
    const std::string refusal = g_screens.GetOnline().GetMessage();
    EXPECT_FALSE( refusal.empty() );
    EXPECT_EQ( refusal.find( "NOT AN ADDRESS" ), std::string::npos ) << refusal;
    EXPECT_NE( refusal.find( "NO ROOM ZZZZZZ" ), std::string::npos ) << refusal;
    EXPECT_EQ( g_screens.GetOnline().GetTypedAddress(), "127.0.0.1:" + port + "/ZZZZZZ" );
    Shoot( "online-refused" );
    // The title's game plays on behind the screen, and Escape goes back to the title.
    Tap( world, DIK_ESCAPE );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    GameEnd( world );
}

// A relay that takes the connection and never answers: the frames go on, the title's game
// playing behind the online screen, which says whom it joins; leaving the screen leaves the room
// unjoined, and the same game then hears a real relay's answer.
TEST_F( OnlineMenu, JoiningARoomThatNeverAnswersKeepsTheTitlePlaying ) {
    std::string silentPort;
    const int silent = ListenSilently( &silentPort );
    ASSERT_GE( silent, 0 );
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ToOnline( world, 2 );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_BACK, OnlineScreen::ADDRESS_LENGTH );
    Type( world, "127.0.0.1:" + silentPort + "/ABCDEF" );
    Tap( world, DIK_RETURN );
    ASSERT_TRUE( GameOnlineJoining() );
    EXPECT_EQ( g_screens.GetOnline().GetMessage(), "JOINING WS://127.0.0.1:" + silentPort + "/ABCDEF" );
    // The title's game may hold still for a while (a computer thinking, a tank standing): it
    // must move within ten seconds of play, and the join must still be waiting then.
    const uint64_t before = ScreenHash();
    int frame = 0;
    for ( ; frame < 600 && ScreenHash() == before; frame++ ) {
        GameFrame( world );
    }
    EXPECT_TRUE( GameOnlineJoining() );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::ONLINE );
    EXPECT_LT( frame, 600 ) << "the title's game stood still";
    Tap( world, DIK_ESCAPE );
    EXPECT_FALSE( GameOnlineJoining() );
    EXPECT_EQ( g_screens.GetScreen(), GameScreens::TITLE );
    close( silent );
    ToOnline( world, 2 );
    Tap( world, DIK_RETURN );
    Tap( world, DIK_BACK, OnlineScreen::ADDRESS_LENGTH );
    Type( world, RelayAt().substr( 5 ) + "/ZZZZZZ" );
    Tap( world, DIK_RETURN );
    AwaitAnswer( world );
    EXPECT_NE( g_screens.GetOnline().GetMessage().find( "NO ROOM ZZZZZZ" ), std::string::npos )
        << g_screens.GetOnline().GetMessage();
    GameEnd( world );
}

// Host on the online screen, for two people: the game waits showing the address to give, a
// game joining there plays the match with it.
TEST_F( OnlineMenu, HostAndAFriendJoins ) {
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ToOnline( world, 1 );
    Tap( world, DIK_RETURN );
    const std::string address = GameOnlineJoinAddress();
    ASSERT_EQ( address.rfind( RelayAt() + "/", 0 ), 0u ) << address;
    EXPECT_FALSE( g_screens.IsOpen() );
    GameFrame( world );
    EXPECT_EQ( GameOnlineFrame(), 0u );
    Shoot( "online-host-waiting" );
    StartOther( { "--join", address, "--name", "FRIEND" } );
    PlayOnline( world, FRAMES_PLAYED );
    EXPECT_GE( GameOnlineFrame(), FRAMES_PLAYED ) << OtherSaid();
    EXPECT_FALSE( GameOnlineStopped() );
    GameEnd( world );
}

// A game that runs no relay itself (the page) hosts on a relay typed on the online screen,
// without waiting for it: while a relay that takes the connection says nothing, the frames go
// on; when it hangs up the game is back on the screen, told why, the title's game behind it.
// The right relay (kelto-relay, refereeing) opens the room, and a game joining there plays the
// match with it; the referee, which needs every wind the host drew from its start-up on,
// agrees with them to the end.
TEST_F( OnlineMenu, HostOnATypedRelayWhereTheGameRunsNone ) {
    GameSetRelayStarter( nullptr );
    const std::string relaySaid = folder + "/relay.out";
    const pid_t refereeing = Run( { KELTO_RELAY_PROGRAM, "--address", "127.0.0.1", "--port", "0", "--referee",
                                    KELTO_HEADLESS_PROGRAM, "--referee-data", KELTO_ASSETS_DIR },
                                  relaySaid );
    ASSERT_GT( refereeing, 0 );
    const std::string listening = "listening on port ";
    const std::string relayStart = AwaitSaid( relaySaid, "\n" );
    ASSERT_NE( relayStart.find( listening ), std::string::npos ) << relayStart;
    const std::string relayAt =
        "127.0.0.1:" +
        std::to_string( std::atoi( relayStart.c_str() + relayStart.find( listening ) + listening.size() ) );
    std::string silentPort;
    const int silent = ListenSilently( &silentPort );
    ASSERT_GE( silent, 0 );
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    ToOnline( world, 0 );
    const struct {
        std::string relay;
        bool opens;
    } cases[] = { { "127.0.0.1:" + silentPort, false }, { relayAt + "/", true } };
    for ( const auto &c : cases ) {
        SCOPED_TRACE( c.relay );
        ASSERT_EQ( g_screens.GetScreen(), GameScreens::ONLINE );
        Tap( world, DIK_DOWN ); // Relay
        Tap( world, DIK_RETURN );
        Tap( world, DIK_BACK, OnlineScreen::ADDRESS_LENGTH );
        Type( world, c.relay );
        Tap( world, DIK_RETURN );
        Tap( world, DIK_DOWN ); // Host a match
        Tap( world, DIK_RETURN );
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds( WAIT_SECONDS );
        if ( !c.opens ) {
            for ( int frame = 0; frame < 30; frame++ ) {
                GameFrame( world );
            }
            EXPECT_NE( g_screens.GetScreen(), GameScreens::ONLINE );
            EXPECT_EQ( GameOnlineJoinAddress(), "" );
            EXPECT_LT( std::chrono::steady_clock::now(), end - std::chrono::seconds( WAIT_SECONDS - 2 ) );
            close( accept( silent, nullptr, nullptr ) );
        }
        while ( GameOnlineJoinAddress().empty() && g_screens.GetScreen() != GameScreens::ONLINE &&
                std::chrono::steady_clock::now() < end ) {
            GameFrame( world );
            std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
        }
        if ( !c.opens ) {
            EXPECT_TRUE( g_screens.IsOnTitle() );
            EXPECT_NE( g_screens.GetOnline().GetMessage().find( "RELAY" ), std::string::npos )
                << g_screens.GetOnline().GetMessage();
            continue;
        }
        const std::string joinAt = GameOnlineJoinAddress();
        ASSERT_EQ( joinAt.rfind( "ws://" + relayAt + "/", 0 ), 0u ) << joinAt;
        EXPECT_FALSE( g_screens.IsOpen() );
        StartOther( { "--join", joinAt, "--name", "FRIEND" } );
        PlayOnline( world, FRAMES_PLAYED );
        EXPECT_GE( GameOnlineFrame(), FRAMES_PLAYED ) << OtherSaid();
        EXPECT_FALSE( GameOnlineStopped() );
    }
    close( silent );
    GameEnd( world );
    kill( other, SIGKILL );
    // The room empties: the relay says how its referee fared.
    const std::string verdict = AwaitSaid( relaySaid, "checksums\n" );
    kill( refereeing, SIGTERM );
    waitpid( refereeing, nullptr, 0 );
    EXPECT_NE( verdict.find( "the referee stayed on" ), std::string::npos ) << verdict;
    EXPECT_EQ( verdict.find( "majority" ), std::string::npos ) << verdict;
}

// --watch: a spectator of a room still waiting for its second player sees "WATCHING" above
// the scene, every pixel of the word in the bright colour where the font puts one.
TEST_F( OnlineMenu, ASpectatorIsToldItIsWatching ) {
    StartOther( { "--host", "--relay", RelayAt(), "--name", "HOST" } );
    const std::string address = AwaitHostAddress();
    ASSERT_FALSE( address.empty() ) << OtherSaid();
    g_options.watch = address;
    World world;
    ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
    AwaitAnswer( world );
    ASSERT_FALSE( GameOnlineJoining() );
    GameFrame( world );
    EXPECT_EQ( GameOnlineFrame(), 0u );
    EXPECT_FALSE( GameOnlineStopped() );
    Shoot( "online-watching" );

    Image word( 640, 480 );
    word.FillRect( 0, 0, 640, 480, 0 );
    const int scale = 2;
    Font::Draw( word, ( 640 - Font::Measure( "WATCHING", scale ) ) / 2, 480 / 3 - 4 * Font::GLYPH_HEIGHT,
                "WATCHING", 1, 0, scale );
    const Image &screen = g_display.LockBackBuffer();
    int glyphPixels = 0;
    int wrong = 0;
    for ( int y = 0; y < 480; y++ ) {
        for ( int x = 0; x < 640; x++ ) {
            if ( word.GetPixels()[y * word.GetPitch() + x] == 1 ) {
                glyphPixels++;
                wrong += screen.GetPixels()[y * screen.GetPitch() + x] != g_hud.GetColours().GetBright();
            }
        }
    }
    g_display.UnlockBackBuffer();
    EXPECT_GT( glyphPixels, 200 );
    EXPECT_EQ( wrong, 0 );
    GameEnd( world );
}
