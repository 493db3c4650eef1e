// Recordings under a hostile tester: a disk that fills while the game is recorded, a name
// that belongs to another file, rules no game is played with, a game version that holds
// terminal escapes, a recording of no frames, and a replay that must read each picture once.

#include "app/Game.h"
#include "app/Options.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "hud/Hud.h"
#include "platform/Display.h"
#include "play/Arsenal.h"
#include "play/Match.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayRecorder.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/HeadlessScope.h"
#include "tests/support/LandScene.h"
#include "tests/support/PictureOptions.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const int GROUND_TOP = 60;
// The header: 8 magic, 2 format, 1 + 5 version, 16 pictures, 1 + 40 rules (four of play, four
// of the land, the stock, the seats left empty); then the first match start (21 bytes) and, without wind,
// blocks of 11 + 3 bytes a run.
const int64_t HEADER_BYTES = 8 + 2 + 1 + 5 + 16 + 1 + 40;
const int64_t FIRST_MATCH_BYTES = 21;

HeadlessBackend *backend = nullptr;

class DisplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        HeadlessScope *scope = new HeadlessScope;
        backend = &scope->Backend();
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
    }
};

::testing::Environment *const environment = ::testing::AddGlobalTestEnvironment( new DisplayEnvironment );

std::vector<uint8_t> Picture( int width, int height, uint8_t colour, int groundTop = 0 ) {
    Image image( width, height );
    image.Clear( colour );
    if ( groundTop > 0 ) {
        image.FillRect( 0, 0, width - 1, groundTop - 1, 0 );
    }
    return MakeBmpFromImage( image );
}

std::vector<uint8_t> ReadBytes( const std::string &path ) {
    std::vector<uint8_t> bytes;
    FILE *file = std::fopen( path.c_str(), "rb" );
    for ( int c; file != nullptr && ( c = std::fgetc( file ) ) != EOF; ) {
        bytes.push_back( uint8_t( c ) );
    }
    if ( file != nullptr ) {
        std::fclose( file );
    }
    return bytes;
}

void WriteBytes( const std::string &path, const std::vector<uint8_t> &bytes ) {
    FILE *file = std::fopen( path.c_str(), "wb" );
    ASSERT_NE( file, nullptr );
    if ( !bytes.empty() ) {
        std::fwrite( bytes.data(), 1, bytes.size(), file );
    }
    std::fclose( file );
}

class ReplayFaults : public ::testing::Test {
protected:
    ReplayFaults()
        : path( ::testing::TempDir() + "kelto-replay-faults-" + std::to_string( getpid() ) + ".krec" ) {
        backend->ReleaseAllKeys();
        HostClearMemoryFiles();
        PutMemoryFile( "background.bmp", Picture( 960, 720, 7 ) );
        PutMemoryFile( "land.bmp", Picture( 1280, 960, 3, GROUND_TOP ) );
        PutMemoryFile( "tank.bmp", Picture( 20, 10, 5 ) );
        PutMemoryFile( "bomb.bmp", Picture( 4, 4, 9 ) );
        GameSetSeed( 99 );
        std::remove( path.c_str() );
    }

    ~ReplayFaults() override {
        HostSetWriteLimit( -1 );
        HostSetOpenObserver( nullptr );
        g_options = Options();
        g_settings = Settings();
        GameUseClockSeed();
        HostClearMemoryFiles();
        std::remove( path.c_str() );
    }

    // Plays `frames` frames of a tank that aims and fires every 100 frames, recorded into
    // `path`, without wind (so that the first block follows the first match); returns the
    // bombs fired, GameEnd's exit code in `exitCode` and standard error.
    int RecordGame( int frames, int &exitCode, std::string &err ) {
        g_options = PictureOptions();
        g_options.record = path;
        g_settings.players = 4;
        g_settings.wind = 0;
        World world;
        ::testing::internal::CaptureStderr();
        int bombs = -1;
        exitCode = -1;
        if ( GameStartup( nullptr, nullptr, world ) ) {
            for ( int frame = 0; frame < frames; frame++ ) {
                backend->ReleaseAllKeys();
                backend->SetKey( frame % 100 < 20 ? DIK_UP : DIK_SPACE, frame % 100 < 60 );
                GameFrame( world );
            }
            bombs = world.GetBombs()->GetAdded();
            exitCode = GameEnd( world );
        }
        err = ::testing::internal::GetCapturedStderr();
        return bombs;
    }

    // Runs `file` as a timedemo for as many frames as it holds; 1 when it started and ended
    // with exit code 0.
    int Timedemo( const std::string &file, std::string &out, std::string &err ) {
        backend->ReleaseAllKeys();
        g_options = PictureOptions();
        g_options.timedemo = file;
        World world;
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        int result = GameStartup( nullptr, nullptr, world );
        if ( result ) {
            ReplayFile recording;
            recording.Load( file.c_str() );
            for ( int frame = 0; frame < recording.GetFrameCount(); frame++ ) {
                GameFrame( world );
            }
            result = GameEnd( world ) == 0 ? 1 : 0;
        }
        out = ::testing::internal::GetCapturedStdout();
        err = ::testing::internal::GetCapturedStderr();
        return result;
    }

    std::string path;
};

// However far the disk lets the recording go, the game plays on, one line says at that
// moment that the recording stopped and why, and the file ends on its last whole record and
// plays. Without room for the header and the first match the game does not start and leaves
// no file.
TEST_F( ReplayFaults, AFullDiskStopsTheRecordingOnceAndLeavesItPlayable ) {
    int exitCode = 0;
    std::string err;
    const int bombs = RecordGame( 300, exitCode, err );
    ASSERT_EQ( exitCode, 0 ) << err;
    ASSERT_GE( bombs, 2 );
    const int64_t whole = int64_t( ReadBytes( path ).size() );
    const int64_t firstBlock = HEADER_BYTES + FIRST_MATCH_BYTES;

    struct Case {
        int64_t room; // bytes the disk takes
        int kept;     // frames the file keeps; -1: no start; -2: any whole number of blocks
    };
    const Case cases[] = {
        { 0, -1 },
        { HEADER_BYTES - 1, -1 },
        { HEADER_BYTES, -1 }, // the first match start does not fit
        { firstBlock - 1, -1 },
        { firstBlock, 0 }, // the first block's keys do not fit
        { firstBlock + 1, 0 },
        { ( firstBlock + whole ) / 2, -2 }, // somewhere in the middle of the blocks
        { whole - 6, 240 },                 // all but the short last block and the end
        { whole - 1, 300 },                 // all but the end's last byte
    };
    for ( const Case &test : cases ) {
        SCOPED_TRACE( "room for " + std::to_string( test.room ) + " of " + std::to_string( whole ) +
                      " bytes" );
        HostSetWriteLimit( test.room );
        const int played = RecordGame( 300, exitCode, err );
        HostSetWriteLimit( -1 );
        if ( test.kept == -1 ) {
            EXPECT_EQ( played, -1 );
            EXPECT_EQ( err, "kelto: " + path + ": no space left on device\n" );
            struct stat info;
            EXPECT_NE( stat( path.c_str(), &info ), 0 ) << "a broken recording was left";
            continue;
        }
        EXPECT_EQ( played, bombs ) << "the game did not go on";
        EXPECT_EQ( exitCode, 1 );
        ReplayFile recording;
        ASSERT_EQ( recording.Load( path.c_str() ), 1 ) << recording.GetError();
        EXPECT_EQ( recording.GetFinished(), 0 );
        const int kept = test.kept >= 0 ? test.kept : recording.GetFrameCount();
        EXPECT_EQ( recording.GetFrameCount(), kept );
        EXPECT_EQ( kept % 60 == 0 || kept == 300, true );
        // Said when it happens: during the game, or at its end for the last frames.
        const std::string when = kept == 300 ? "" : ", and the game goes on";
        EXPECT_EQ( err, "kelto: " + path +
                            ": recording stopped: no space left on device; the file keeps the first " +
                            std::to_string( kept ) + " frames" + when + "\n" );
        std::string out;
        std::string replayed;
        EXPECT_EQ( Timedemo( path, out, replayed ), 1 ) << replayed;
        EXPECT_EQ( out.rfind( path + ": " + std::to_string( kept ) + " frames, ", 0 ), 0u ) << out;
    }
}

// --record names a file that is there: a recording (or nothing) is written over, any other
// file is refused and left as it was.
TEST_F( ReplayFaults, ARecordingIsNeverWrittenOverAnotherFile ) {
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        int refused;
    };
    const std::vector<uint8_t> text = { 'n', 'o', 't', 'e', 's', '\n' };
    const std::vector<uint8_t> almost = { 'K', 'E', 'L', 'T', 'O', 'R', 'E', 'X', 0, 0 };
    const std::vector<uint8_t> magicOnly( REPLAY_MAGIC, REPLAY_MAGIC + sizeof( REPLAY_MAGIC ) );
    const Case cases[] = {
        { "a picture", Picture( 4, 4, 9 ), 1 },
        { "a text", text, 1 },
        { "seven bytes of the magic", std::vector<uint8_t>( magicOnly.begin(), magicOnly.end() - 1 ), 1 },
        { "the magic with its last letter wrong", almost, 1 },
        { "an empty file", {}, 0 },
        { "a recording's magic", magicOnly, 0 },
    };
    for ( const Case &test : cases ) {
        SCOPED_TRACE( test.what );
        WriteBytes( path, test.bytes );
        int exitCode = 0;
        std::string err;
        RecordGame( 10, exitCode, err );
        if ( test.refused ) {
            EXPECT_EQ( err, "kelto: " + path + ": is not a recording; it is left as it is\n" );
            EXPECT_EQ( ReadBytes( path ), test.bytes );
        } else {
            EXPECT_EQ( err, "" );
            EXPECT_EQ( exitCode, 0 );
            ReplayFile recording;
            EXPECT_EQ( recording.Load( path.c_str() ), 1 ) << recording.GetError();
            EXPECT_EQ( recording.GetFrameCount(), 10 );
        }
    }
}

// Each recorded rule must be one a game can be played with; a recording with another is
// refused before it is played, not played by rules no game has.
TEST_F( ReplayFaults, RecordedRulesOutsideTheirLimitsAreRefused ) {
    int exitCode = 0;
    std::string err;
    RecordGame( 60, exitCode, err );
    ReplayFile good;
    ASSERT_EQ( good.Load( path.c_str() ), 1 );
    uint32_t pictures[REPLAY_PICTURE_COUNT];
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        pictures[i] = good.GetPictureChecksum( i );
    }
    const int32_t OLD = -100; // a recording from before the rule was one: it is not written
    struct Case {
        std::vector<int32_t> rules;
        int32_t stock;
        int32_t seatsOff;
        std::string refusal; // empty: played
    };
    // The four rules of play; the land's four follow as recorded, then the stock and the
    // seats left empty.
    const Case cases[] = {
        { { 0, -1, 1, 1 }, -1, OLD, "" },
        { { 1, 1, 0, 0 }, 0, OLD, "" },
        { { 0, 999, 4, 1 }, 99, OLD, "" },
        { { 0, 5, 1, 1 }, 1, OLD, "" },
        { { 0, 5, 1, 1 }, OLD, OLD, "" },
        { { -1, 5, 1, 1 }, -1, OLD, "has the rule classic at -1, which no game is played with" },
        { { 2, 5, 1, 1 }, -1, OLD, "has the rule classic at 2, which no game is played with" },
        { { 0, 0, 1, 1 }, -1, OLD, "has the rule health at 0, which no game is played with" },
        { { 0, -2, 1, 1 }, -1, OLD, "has the rule health at -2, which no game is played with" },
        { { 0, 1000, 1, 1 }, -1, OLD, "has the rule health at 1000, which no game is played with" },
        { { 0, 5, -1, 1 }, -1, OLD, "has the rule players at -1, which no game is played with" },
        { { 0, 5, 5, 1 }, -1, OLD, "has the rule players at 5, which no game is played with" },
        { { 0, 5, 7, 1 }, -1, OLD, "has the rule players at 7, which no game is played with" },
        { { 0, 5, 1, -1 }, -1, OLD, "has the rule wind at -1, which no game is played with" },
        { { 0, 5, 1, 2 }, -1, OLD, "has the rule wind at 2, which no game is played with" },
        { { 0, 5, 1, 1 }, -2, OLD, "has the rule stock at -2, which no game is played with" },
        { { 0, 5, 1, 1 }, 100, OLD, "has the rule stock at 100, which no game is played with" },
        { { 0, 5, 1 }, OLD, OLD, "holds 7 rules; this game plays by 10" },
        { { 0, 5, 1, 1 }, 1, 0, "" },
        { { 0, 5, 1, 1 }, 1, 0x3, "" },
        { { 0, 5, 1, 1 }, 1, 0xC, "" },
        { { 0, 5, 1, 1 }, 1, 0x6, "" },
        { { 0, 5, 0, 1 }, -1, 0x9, "" },
        { { 0, 5, 1, 1 }, 1, 0x7, "leaves fewer than two seats taken, which no game is played with" },
        { { 0, 5, 1, 1 }, 1, 0xE, "leaves fewer than two seats taken, which no game is played with" },
        { { 0, 5, 1, 1 }, 1, 0xF, "leaves fewer than two seats taken, which no game is played with" },
        { { 0, 5, 1, 1 }, 1, 0x10, "has the rule seats off at 16, which no game is played with" },
        { { 0, 5, 1, 1 }, 1, -1, "has the rule seats off at -1, which no game is played with" },
        { { 0, 5, 1, 1, 0 }, 1, 0, "holds 11 rules; this game plays by 10" },
    };
    const std::vector<int32_t> &recorded = good.GetRules();
    ASSERT_EQ( recorded.size(), 10u );
    EXPECT_EQ( recorded[8], -1 ) << "a match without --stock keeps each weapon's own";
    EXPECT_EQ( recorded[9], 0 ) << "a match from the command line takes every seat";
    const std::string copy = path + ".rules";
    for ( const Case &test : cases ) {
        SCOPED_TRACE( test.refusal + " stock " + std::to_string( test.stock ) + " seats off " +
                      std::to_string( test.seatsOff ) );
        std::vector<int32_t> rules = test.rules;
        rules.insert( rules.end(), recorded.begin() + 4, recorded.begin() + 8 );
        if ( test.stock != OLD ) {
            rules.push_back( test.stock );
        }
        if ( test.seatsOff != OLD ) {
            rules.push_back( test.seatsOff );
        }
        ReplayRecorder recorder;
        ASSERT_EQ( recorder.Create( copy.c_str(), "1.0.0", pictures, rules ), 1 );
        recorder.AddMatchStart( good.GetMatchStarts()[0].columns );
        ASSERT_EQ( recorder.Finish( 0 ), 1 );
        g_options = PictureOptions();
        g_options.timedemo = copy;
        g_options.stock = 7; // the recording's stock, not this run's, is played
        World world;
        ::testing::internal::CaptureStderr();
        const int started = GameStartup( nullptr, nullptr, world );
        const std::string said = ::testing::internal::GetCapturedStderr();
        if ( test.refusal.empty() ) {
            EXPECT_EQ( started, 1 ) << said;
            EXPECT_EQ( g_options.classic, test.rules[0] );
            EXPECT_EQ( g_options.health, test.rules[1] );
            EXPECT_EQ( g_settings.players, test.rules[2] );
            EXPECT_EQ( g_settings.wind, test.rules[3] );
            const int shots = test.stock == OLD ? Arsenal::SHOTS_OF_TABLE : test.stock;
            EXPECT_EQ( g_options.stock, shots );
            EXPECT_EQ( g_arsenal.GetShots(), shots );
            EXPECT_EQ( g_arsenal.GetStock( 3, WEAPON_DIGGER ),
                       shots < 0 ? WeaponOf( WEAPON_DIGGER ).stock : shots );
            const int seatsOff = test.seatsOff == OLD ? 0 : test.seatsOff;
            EXPECT_EQ( g_options.seatsOff, seatsOff );
            for ( int seat = 0; seat < Match::MAX_PLAYERS && !test.rules[0]; seat++ ) {
                EXPECT_EQ( g_hud.GetMatch().IsInPlay( seat ), !( ( seatsOff >> seat ) & 1 ) ) << seat;
            }
            ::testing::internal::CaptureStdout();
            GameEnd( world );
            ::testing::internal::GetCapturedStdout();
        } else {
            EXPECT_EQ( started, 0 );
            EXPECT_EQ( said, "kelto: " + copy + ": " + test.refusal + "\n" );
        }
    }
    std::remove( copy.c_str() );
}

// The game version comes from the file: a diverging replay names it escaped, on one line.
TEST_F( ReplayFaults, AHostileGameVersionIsShownEscapedOnOneLine ) {
    int exitCode = 0;
    std::string err;
    RecordGame( 130, exitCode, err );
    std::vector<uint8_t> bytes = ReadBytes( path );
    const std::string hostile = "\n\x1b[Jx";
    ASSERT_EQ( bytes[10], 5 );
    std::copy( hostile.begin(), hostile.end(), bytes.begin() + 11 );
    // The first block's checksum, changed: its last four bytes before the next block.
    const int64_t block = HEADER_BYTES + FIRST_MATCH_BYTES;
    ASSERT_EQ( bytes[block], 'K' );
    const int runs = bytes[block + 6];
    bytes[block + 7 + 3 * runs] ^= 0xff;
    WriteBytes( path, bytes );
    std::string out;
    EXPECT_EQ( Timedemo( path, out, err ), 0 );
    EXPECT_EQ( err, "kelto: " + path + ": replay diverges at frame 60 (recorded by kelto \\x0a\\x1b[Jx)\n" );
}

// Header and first match, then nothing: a recording of no frames plays no frame.
TEST_F( ReplayFaults, ARecordingOfNoFramesPlaysNoFrame ) {
    int exitCode = 0;
    std::string err;
    RecordGame( 0, exitCode, err );
    ASSERT_EQ( exitCode, 0 ) << err;
    ReplayFile recording;
    ASSERT_EQ( recording.Load( path.c_str() ), 1 );
    EXPECT_EQ( recording.GetFrameCount(), 0 );
    std::string out;
    EXPECT_EQ( Timedemo( path, out, err ), 1 ) << err;
    EXPECT_EQ( out.rfind( path + ": 0 frames, 0.000 seconds, 0 frames per second, state checksum ", 0 ), 0u )
        << out;
}

std::map<std::string, int> opened;

void CountOpen( const char *name ) {
    opened[name]++;
}

// The pictures the replay checks are the pictures the game plays on: each is read once.
TEST_F( ReplayFaults, AReplayReadsEachPictureOnce ) {
    int exitCode = 0;
    std::string err;
    RecordGame( 60, exitCode, err );
    for ( const char *option : { "record", "replay", "timedemo" } ) {
        SCOPED_TRACE( option );
        g_options = PictureOptions();
        const std::string file = path + "." + option;
        if ( std::string( option ) == "record" ) {
            g_options.record = file;
        } else {
            WriteBytes( file, ReadBytes( path ) );
            ( std::string( option ) == "replay" ? g_options.replay : g_options.timedemo ) = file;
        }
        opened.clear();
        HostSetOpenObserver( CountOpen );
        World world;
        EXPECT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        HostSetOpenObserver( nullptr );
        for ( const char *picture : { "background.bmp", "land.bmp", "tank.bmp", "bomb.bmp" } ) {
            EXPECT_EQ( opened[picture], 1 ) << picture;
        }
        EXPECT_EQ( opened[file], 1 );
        ::testing::internal::CaptureStdout();
        GameEnd( world );
        ::testing::internal::GetCapturedStdout();
        std::remove( file.c_str() );
    }
}

} // namespace
