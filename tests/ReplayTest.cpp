#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/TankPlacement.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "host/HostFile.h"
#include "hud/Hud.h"
#include "platform/Display.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayKeys.h"
#include "replay/ReplayRecorder.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"
#include "tests/support/LandScene.h"
#include "tests/support/PictureOptions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

const int GROUND_TOP = 60; // the tanks are down within a second
const int TANK_H = 10;
const int GAME_FRAMES = 1200;

// The game's display is process-wide and is brought up once, as the entry function does.
HeadlessBackend *backend = nullptr;

class ReplayEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        HeadlessScope *scope = new HeadlessScope;
        backend = &scope->Backend();
        ASSERT_EQ( g_display.Init( MakeTestWindow(), 1, 640, 480, 8 ), 1 );
    }
};

::testing::Environment *const environment = ::testing::AddGlobalTestEnvironment( new ReplayEnvironment );

std::vector<uint8_t> Picture( int width, int height, uint8_t colour, int groundTop = 0 ) {
    Image image( width, height );
    image.Clear( colour );
    if ( groundTop > 0 ) {
        image.FillRect( 0, 0, width - 1, groundTop - 1, 0 );
    }
    return MakeBmpFromImage( image );
}

// Keys held from `first` to `last` frame (counted from 0).
struct HeldKey {
    int key;
    int first;
    int last;
};

// Four turns, each once the shot before has landed and the turn has passed (at frames 235,
// 610 and 828): the first tank drives, aims and fires; the second turns round, lowers its
// barrel and fires further; the third drops a bomb at its own feet and falls into the
// crater; the fourth drives and fires a shot that lands before the end, whatever the wind.
const HeldKey SCRIPT[] = {
    { DIK_RIGHT, 70, 89 },   { DIK_UP, 90, 99 },      { DIK_SPACE, 100, 139 },
    { DIK_LEFT, 400, 409 },  { DIK_DOWN, 410, 414 },  { DIK_SPACE, 415, 494 },
    { DIK_SPACE, 780, 780 }, { DIK_RIGHT, 920, 939 }, { DIK_SPACE, 940, 989 },
};

std::vector<uint8_t> ReadBytes( const std::string &path ) {
    std::vector<uint8_t> bytes;
    FILE *file = std::fopen( path.c_str(), "rb" );
    if ( file != nullptr ) {
        int c;
        while ( ( c = std::fgetc( file ) ) != EOF ) {
            bytes.push_back( uint8_t( c ) );
        }
        std::fclose( file );
    }
    return bytes;
}

class ReplayFixture : public ::testing::Test {
protected:
    // Named by the process, so that two runs of the tests at once (two builds) keep apart.
    ReplayFixture()
        : path( ::testing::TempDir() + "kelto-replay-test-" + std::to_string( getpid() ) + ".krec" ) {
        backend->ReleaseAllKeys();
        PutPictures();
        GameSetSeed( 99 );
        UsePictures( g_options );
    }

    ~ReplayFixture() override {
        g_options = PictureOptions();
        g_settings = Settings();
        GameUseClockSeed();
        HostClearMemoryFiles();
        std::remove( path.c_str() );
    }

    void PutPictures() {
        HostClearMemoryFiles();
        PutMemoryFile( "background.bmp", Picture( 960, 720, 7 ) );
        PutMemoryFile( "land.bmp", Picture( 1280, 960, 3, GROUND_TOP ) );
        PutMemoryFile( "tank.bmp", Picture( 20, TANK_H, 5 ) );
        PutMemoryFile( "bomb.bmp", Picture( 4, 4, 9 ) );
    }

    // Plays the script for `frames` frames with the keyboard, recording into `path`.
    void RecordScriptedGame( World &world, int frames ) {
        g_options = PictureOptions();
        g_options.record = path;
        g_settings.players = 4; // every tank at the keyboard, played by the script
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        for ( int frame = 0; frame < frames; frame++ ) {
            backend->ReleaseAllKeys();
            for ( const HeldKey &held : SCRIPT ) {
                if ( frame >= held.first && frame <= held.last ) {
                    backend->SetKey( held.key, 1 );
                }
            }
            GameFrame( world );
        }
    }

    // Replays `file` as a timedemo without a keyboard; returns GameEnd's exit code and
    // leaves what was printed in `out` and `err`.
    int Replay( const std::string &file, std::string &out, std::string &err ) {
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

int CountTanksBelow( World &world, int y ) {
    int count = 0;
    EntityNode *node = nullptr;
    for ( Entity *tank = world.GetTanks()->First( node ); tank != nullptr;
          tank = world.GetTanks()->Next( node, 1 ) ) {
        count += tank->GetY() > y ? 1 : 0;
    }
    return count;
}

} // namespace

TEST_F( ReplayFixture, ARecordedGameReplaysToTheSameStateAfterEverySecond ) {
    {
        World world;
        RecordScriptedGame( world, GAME_FRAMES );
        // The script did what it is for: four shots, all of them down (a spent bomb leaves
        // the list), and a tank that fell below the ground it stood on.
        ASSERT_EQ( world.GetBombs()->GetAdded(), 4 );
        EXPECT_EQ( world.GetBombs()->GetCount(), 0 );
        EXPECT_GE( CountTanksBelow( world, GROUND_TOP - TANK_H ), 1 );
        EXPECT_EQ( GameEnd( world ), 0 );
    }
    ReplayFile recording;
    ASSERT_EQ( recording.Load( path.c_str() ), 1 ) << recording.GetError();
    EXPECT_EQ( recording.GetFrameCount(), GAME_FRAMES );
    EXPECT_EQ( recording.GetBlocks().size(), size_t( GAME_FRAMES / REPLAY_BLOCK_FRAMES ) );
    EXPECT_EQ( recording.GetFinished(), 1 );
    ASSERT_EQ( recording.GetMatchStarts().size(), 1u );
    // A wind for the first tank at the start and one for each turn after it, not all calm:
    // the replay below holds only if it blows the same winds.
    ASSERT_GE( recording.GetWinds().size(), 4u );
    EXPECT_EQ( recording.GetWinds()[0].frame, 0 );
    int blown = 0;
    for ( const ReplayWind &wind : recording.GetWinds() ) {
        blown += wind.steps != 0 ? 1 : 0;
    }
    EXPECT_GE( blown, 1 );
    // Unchanged frames take one run: the whole script is a few dozen runs, not 480 frames.
    EXPECT_LT( recording.GetRuns().size(), 40u );

    std::string out;
    std::string err;
    ASSERT_EQ( Replay( path, out, err ), 1 ) << err;
    EXPECT_EQ( err, "" );
    char checksum[16];
    std::snprintf( checksum, sizeof( checksum ), "%08x", unsigned( recording.GetBlocks().back().checksum ) );
    EXPECT_EQ( out.rfind( path + ": 1200 frames, ", 0 ), 0u ) << out;
    EXPECT_NE( out.find( std::string( "state checksum " ) + checksum + "\n" ), std::string::npos ) << out;
}

// A copy of the recording with one frame's keys changed and everything else, the checksums
// above all, kept: the replay must notice at the first checkpoint after the change.
TEST_F( ReplayFixture, OneChangedKeyIsCaughtAtTheNextCheckpoint ) {
    {
        World world;
        RecordScriptedGame( world, GAME_FRAMES );
        GameEnd( world );
    }
    ReplayFile recording;
    ASSERT_EQ( recording.Load( path.c_str() ), 1 );
    struct Change {
        int frame;
        uint16_t keys;
        int divergesAt;
    };
    // Up dropped while the first tank aims; Down added while the fourth drives.
    const Change changes[] = { { 95, 0, 120 }, { 930, 1u << 1 | 1u << 3, 960 } };
    for ( const Change &change : changes ) {
        const std::string copy = path + ".changed";
        ReplayRecorder recorder;
        uint32_t pictures[REPLAY_PICTURE_COUNT];
        for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
            pictures[i] = recording.GetPictureChecksum( i );
        }
        ASSERT_EQ( recorder.Create( copy.c_str(), recording.GetGameVersion().c_str(), pictures,
                                    recording.GetRules() ),
                   1 );
        recorder.AddMatchStart( recording.GetMatchStarts()[0].columns );
        size_t wind = 0;
        for ( const ReplayBlock &block : recording.GetBlocks() ) {
            int frame = block.firstFrame;
            for ( int r = block.firstRun; r < block.firstRun + block.runCount; r++ ) {
                const ReplayRun &run = recording.GetRuns()[r];
                for ( int i = 0; i < run.length; i++, frame++ ) {
                    recorder.AddFrame( frame == change.frame ? change.keys : run.keys );
                    for ( ; wind < recording.GetWinds().size() && recording.GetWinds()[wind].frame == frame;
                          wind++ ) {
                        recorder.AddWind( recording.GetWinds()[wind].steps );
                    }
                }
            }
            recorder.EndBlock( block.checksum );
        }
        ASSERT_EQ( recorder.Finish( recording.GetBlocks().back().checksum ), 1 );

        std::string out;
        std::string err;
        EXPECT_EQ( Replay( copy, out, err ), 0 );
        EXPECT_EQ( err, "kelto: " + copy + ": replay diverges at frame " +
                            std::to_string( change.divergesAt ) + "\n" );
        EXPECT_EQ( out, "" );
        std::remove( copy.c_str() );
    }
}

// Every way a file can be wrong gives one line naming the file and the reason, and the game
// does not start.
TEST_F( ReplayFixture, BadFilesAreRefusedWithOneLineNamingTheReason ) {
    g_settings.wind = 0; // no wind records: the keys follow the first match's start
    {
        World world;
        RecordScriptedGame( world, 130 );
        GameEnd( world );
    }
    const std::vector<uint8_t> good = ReadBytes( path );
    ASSERT_GT( good.size(), 60u );
    // The header: 8 magic, 2 format, 1 + 5 version, 16 pictures, 1 + 40 rules (four of
    // play, four of the land, the stock, the seats left empty).
    const size_t records = 8 + 2 + 1 + 5 + 16 + 1 + 40;
    const size_t firstBlock = records + 1 + 4 + 16;
    ASSERT_EQ( good[records], 'S' );
    ASSERT_EQ( good[firstBlock], 'K' );

    struct Case {
        std::string reason;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto changed = [&good]( size_t at, uint8_t value ) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = value;
        return bytes;
    };
    cases.push_back( { "not a Kelto recording", Picture( 4, 4, 9 ) } );
    cases.push_back( { "recording format 3; this game reads format 2", changed( 8, 3 ) } );
    cases.push_back( { "recording format 0; this game reads format 2", changed( 8, 0 ) } );
    // An older game's recording names the version that made it, and is not played.
    const std::string version( good.begin() + 11, good.begin() + 16 );
    cases.push_back(
        { "recorded by kelto " + version + " under older rules (format 1); this game plays format 2",
          changed( 8, 1 ) } );
    std::vector<uint8_t> hostile = changed( 8, 1 );
    hostile[12] = '\n';
    cases.push_back( { "recorded by kelto " + version.substr( 0, 1 ) + "\\x0a" + version.substr( 2 ) +
                           " under older rules (format 1); this game plays format 2",
                       hostile } );
    cases.push_back( { "truncated in its header", std::vector<uint8_t>( good.begin(), good.begin() + 20 ) } );
    cases.push_back( { "truncated at byte 105", std::vector<uint8_t>( good.begin(), good.begin() + 105 ) } );
    cases.push_back( { "game version of 0 bytes", changed( 10, 0 ) } );
    cases.push_back( { "200 rules is more than any game has", changed( 32, 200 ) } );
    cases.push_back( { "has a block of absurd length at frame 0", changed( firstBlock + 5, 61 ) } );
    cases.push_back( { "has a run of absurd length at frame 0", changed( firstBlock + 9, 0 ) } );
    cases.push_back( { "holds keys this game does not know, at frame 0", changed( firstBlock + 8, 0x80 ) } );
    cases.push_back( { "unknown record at byte " + std::to_string( records ), changed( records, 'X' ) } );
    // A wind put in before the first block: it must fall within that block and blow no
    // harder than any wind can.
    auto withWind = [&good]( size_t at, uint32_t frame, int32_t steps ) {
        std::vector<uint8_t> bytes( good.begin(), good.begin() + long( at ) );
        bytes.push_back( 'W' );
        for ( uint32_t value : { frame, uint32_t( steps ) } ) {
            for ( int i = 0; i < 4; i++ ) {
                bytes.push_back( uint8_t( value >> ( 8 * i ) ) );
            }
        }
        bytes.insert( bytes.end(), good.begin() + long( at ), good.end() );
        return bytes;
    };
    cases.push_back( { "wind at frame 60 is out of order", withWind( firstBlock, 60, 0 ) } );
    cases.push_back( { "wind at frame 0 is out of order", withWind( records, 0, 0 ) } );
    cases.push_back( { "has a wind of 101", withWind( firstBlock, 59, 101 ) } );
    cases.push_back( { "has a wind of -101", withWind( firstBlock, 0, -101 ) } );
    std::vector<uint8_t> cutWind = withWind( firstBlock, 0, 1 );
    cutWind.resize( firstBlock + 7 );
    cases.push_back( { "truncated at byte " + std::to_string( firstBlock + 7 ), cutWind } );
    for ( const std::vector<uint8_t> &edge :
          { withWind( firstBlock, 59, 100 ), withWind( firstBlock, 0, -100 ) } ) {
        ReplayFile file;
        EXPECT_EQ( file.Parse( edge.data(), edge.size() ), 1 ) << file.GetError();
        EXPECT_EQ( file.GetWinds().size(), 1u );
    }
    cases.push_back( { "skips from frame 0", changed( firstBlock + 3, 1 ) } );
    std::vector<uint8_t> longer = good;
    longer.push_back( 'K' );
    cases.push_back( { "goes on after its end, at byte " + std::to_string( good.size() ), longer } );
    cases.push_back( { "holds no match", std::vector<uint8_t>( good.begin(), good.begin() + records ) } );
    std::vector<uint8_t> huge( size_t( REPLAY_MAX_FILE_SIZE ) + 1, 0 );
    cases.push_back( { "67108865 bytes is longer than any recording", huge } );

    for ( const Case &bad : cases ) {
        PutMemoryFile( "bad.krec", bad.bytes );
        g_options = PictureOptions();
        g_options.replay = "bad.krec";
        World world;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ( GameStartup( nullptr, nullptr, world ), 0 ) << bad.reason;
        EXPECT_EQ( ::testing::internal::GetCapturedStderr(),
                   std::string( "kelto: bad.krec: " ) + bad.reason + "\n" );
    }
    HostRemoveMemoryFile( "bad.krec" );

    // The same recording on other pictures.
    PutMemoryFile( "land.bmp", Picture( 1280, 960, 4, GROUND_TOP ) );
    g_options = PictureOptions();
    g_options.replay = path;
    World world;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ( GameStartup( nullptr, nullptr, world ), 0 );
    EXPECT_EQ( ::testing::internal::GetCapturedStderr(),
               "kelto: " + path + ": was recorded with another land.bmp\n" );
}

// Cut anywhere, a file is either refused or, where the cut falls between two records (as a
// crash leaves it), read as the shorter game it holds; nothing is read past its end (the
// sanitizers watch each exact-sized copy).
TEST_F( ReplayFixture, AFileCutAnywhereIsRefusedOrReadAsTheGameUpToTheCut ) {
    g_settings.wind = 0; // the records counted below are the match start and the keys
    {
        World world;
        RecordScriptedGame( world, 250 );
        GameEnd( world );
    }
    const std::vector<uint8_t> good = ReadBytes( path );
    int accepted = 0;
    for ( size_t size = 0; size < good.size(); size++ ) {
        std::vector<uint8_t> cut( good.begin(), good.begin() + long( size ) );
        ReplayFile file;
        if ( file.Parse( cut.data(), cut.size() ) ) {
            accepted++;
            EXPECT_EQ( file.GetFinished(), 0 );
            EXPECT_LE( file.GetFrameCount(), 250 );
        } else {
            EXPECT_NE( std::strlen( file.GetError() ), 0u );
        }
    }
    // After the first match, after each of the four whole blocks and after the short last
    // one, before the end.
    EXPECT_EQ( accepted, 6 );
}

// Columns chosen by the test instead of rand(): the first match puts all four tanks side by
// side, so that a bomb dropped at the first one's feet destroys them all at once.
class FixedColumns : public TankColumnSource {
public:
    void Choose( int, int columns[TANK_PLACEMENT_COUNT] ) override {
        static const int SETS[2][TANK_PLACEMENT_COUNT] = { { 100, 112, 124, 136 }, { 300, 700, 1000, 50 } };
        for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
            columns[i] = SETS[calls % 2][i];
        }
        calls++;
    }
    int calls = 0;
};

// A match at one health: the first tank drops a bomb at its feet, which ends the match in a
// draw; Enter starts a new match under the banner, and the new tanks settle. The recording keeps
// both matches' columns, and the replay gives them back in place of drawing any.
TEST_F( ReplayFixture, ANewMatchIsReplayedWithTheColumnsItWasPlayedWith ) {
    const HeldKey script[] = { { DIK_SPACE, 70, 70 }, { DIK_RETURN, 150, 150 } };
    FixedColumns columns;
    SetTankColumnSource( &columns );
    {
        g_options = PictureOptions();
        g_options.record = path;
        g_options.health = 1;
        g_options.players = 4;
        g_settings.players = 4;
        World world;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        for ( int frame = 0; frame < 240; frame++ ) {
            backend->ReleaseAllKeys();
            for ( const HeldKey &held : script ) {
                if ( frame >= held.first && frame <= held.last ) {
                    backend->SetKey( held.key, 1 );
                }
            }
            GameFrame( world );
            if ( frame == 140 ) {
                ASSERT_EQ( g_hud.GetMatch().GetOutcome(), Match::Drawn );
            }
        }
        EXPECT_EQ( g_hud.GetMatch().GetMatchNumber(), 2 );
        EXPECT_EQ( GameEnd( world ), 0 );
    }
    SetTankColumnSource( nullptr );
    ASSERT_EQ( columns.calls, 2 );

    ReplayFile recording;
    ASSERT_EQ( recording.Load( path.c_str() ), 1 ) << recording.GetError();
    ASSERT_EQ( recording.GetMatchStarts().size(), 2u );
    EXPECT_EQ( recording.GetMatchStarts()[1].frame, 150 );
    EXPECT_EQ( recording.GetMatchStarts()[1].columns[1], 700 );
    ASSERT_EQ( recording.GetRules().size(), 10u );
    EXPECT_EQ( recording.GetRules()[4], 0 ) << "played on pictures";
    EXPECT_EQ( recording.GetRules()[1], 1 );

    std::string out;
    std::string err;
    EXPECT_EQ( Replay( path, out, err ), 1 ) << err;
    EXPECT_EQ( err, "" );
}

TEST( ReplayKeys, EveryKeyTheGameReadsHasItsOwnBitAndNothingElseIsKept ) {
    const int read[] = { DIK_LEFT,   DIK_RIGHT,       DIK_UP, DIK_DOWN, DIK_SPACE,
                         DIK_RETURN, DIK_NUMPADENTER, DIK_F1, DIK_Q,    DIK_E };
    uint16_t all = 0;
    for ( int code : read ) {
        uint8_t state[256] = {};
        state[code] = 0x80;
        state[DIK_ESCAPE] = 0x80;
        const uint16_t bits = ReplayKeysFromState( state );
        EXPECT_EQ( bits & ( bits - 1 ), 0 ) << code;
        EXPECT_EQ( bits & all, 0 ) << code;
        all = uint16_t( all | bits );
        uint8_t back[256];
        ReplayKeysToState( bits, back );
        state[DIK_ESCAPE] = 0;
        EXPECT_EQ( std::memcmp( back, state, 256 ), 0 ) << code;
    }
    EXPECT_EQ( all, REPLAY_KEY_BITS );
}

// A game on a generated land keeps the land's code among its rules: replayed with no option,
// it is played on the same lands to the same state; a recording whose seed is changed plays on
// another land and is caught.
TEST_F( ReplayFixture, AGeneratedLandIsReplayedFromItsCode ) {
    std::string code;
    {
        World world;
        g_options = Options();
        g_options.record = path;
        g_settings.players = 4;
        ASSERT_EQ( GameStartup( nullptr, nullptr, world ), 1 );
        code = GameLandCode();
        ASSERT_FALSE( code.empty() );
        for ( int frame = 0; frame < GAME_FRAMES; frame++ ) {
            backend->ReleaseAllKeys();
            for ( const HeldKey &held : SCRIPT ) {
                if ( frame >= held.first && frame <= held.last ) {
                    backend->SetKey( held.key, 1 );
                }
            }
            GameFrame( world );
        }
        ASSERT_EQ( GameEnd( world ), 0 );
    }
    std::string out;
    std::string err;
    EXPECT_EQ( Replay( path, out, err ), 1 );
    EXPECT_EQ( err, "" );
    EXPECT_EQ( GameLandCode(), code ) << "the replay's land is the recording's, not the pictures";

    // The seed is the last of the land's rules, after 8 magic, 2 format, 1 + 5 version, 16
    // pictures and the rules' count and first seven.
    std::vector<uint8_t> bytes = ReadBytes( path );
    const size_t seed = 8 + 2 + 1 + 5 + 16 + 1 + 7 * 4;
    bytes[seed] ^= 0x01;
    const std::string changed = path + ".seed";
    ASSERT_EQ( WriteFileBytes( changed, bytes ), 1 );
    EXPECT_EQ( Replay( changed, out, err ), 0 );
    EXPECT_NE( err.find( "replay diverges at frame" ), std::string::npos ) << err;
    std::remove( changed.c_str() );
}

namespace {

// A recording put together byte by byte, as the format says, for the reader's limits.
class RecordingBytes {
public:
    RecordingBytes &Header( int versionLength = 5, int ruleCount = 3 ) {
        bytes.assign( REPLAY_MAGIC, REPLAY_MAGIC + sizeof( REPLAY_MAGIC ) );
        Put( REPLAY_FORMAT_VERSION, 2 );
        Put( uint32_t( versionLength ), 1 );
        bytes.insert( bytes.end(), size_t( versionLength ), '1' );
        for ( int picture = 0; picture < REPLAY_PICTURE_COUNT; picture++ ) {
            Put( 0x01020304u * uint32_t( picture ), 4 );
        }
        Put( uint32_t( ruleCount ), 1 );
        for ( int rule = 0; rule < ruleCount; rule++ ) {
            Put( uint32_t( rule ), 4 );
        }
        return *this;
    }
    RecordingBytes &Start( uint32_t frame, uint32_t column = 100 ) {
        bytes.push_back( REPLAY_TAG_MATCH );
        Put( frame, 4 );
        for ( int tank = 0; tank < TANK_PLACEMENT_COUNT; tank++ ) {
            Put( tank == 0 ? column : uint32_t( 300 + tank ), 4 );
        }
        return *this;
    }
    // A block from `first` of runs (keys, length), as long as its runs unless `claimed`.
    RecordingBytes &Keys( uint32_t first, const std::vector<std::pair<uint32_t, uint32_t>> &runs,
                          int claimed = -1 ) {
        uint32_t frames = 0;
        for ( const auto &run : runs ) {
            frames += run.second;
        }
        frames = claimed >= 0 ? uint32_t( claimed ) : frames;
        bytes.push_back( REPLAY_TAG_KEYS );
        Put( first, 4 );
        Put( frames, 1 );
        Put( uint32_t( runs.size() ), 1 );
        for ( const auto &run : runs ) {
            Put( run.first, 2 );
            Put( run.second, 1 );
        }
        Put( 0xC0FFEEu, 4 );
        return *this;
    }
    RecordingBytes &Block( uint32_t first, uint32_t frames = REPLAY_BLOCK_FRAMES ) {
        return Keys( first, { { 1, frames } } );
    }
    RecordingBytes &End( uint32_t frames ) {
        bytes.push_back( REPLAY_TAG_END );
        Put( frames, 4 );
        return *this;
    }

    std::vector<uint8_t> bytes;

private:
    void Put( uint32_t value, int count ) {
        for ( int i = 0; i < count; i++ ) {
            bytes.push_back( uint8_t( value >> ( 8 * i ) ) );
        }
    }
};

} // namespace

// Each row: a recording at one of the reader's limits, and its verdict: read (with the frames
// it holds) or refused with the reason. Every limit is tried at its value and one past it.
TEST( ReplayReading, EachLimitIsReadAtItsValueAndRefusedOnePast ) {
    typedef std::vector<std::pair<uint32_t, uint32_t>> Runs;
    std::vector<std::pair<uint32_t, uint32_t>> sixtyRuns( REPLAY_BLOCK_FRAMES, { 2, 1 } );
    const uint32_t allKeys = REPLAY_KEY_BITS;
    struct Case {
        const char *what;
        RecordingBytes recording;
        int frames;        // when read
        const char *error; // when refused
    } cases[] = {
        { "longest version", RecordingBytes().Header( REPLAY_MAX_VERSION_LENGTH ).Start( 0 ).Block( 0 ), 60,
          "" },
        { "version too long", RecordingBytes().Header( REPLAY_MAX_VERSION_LENGTH + 1 ).Start( 0 ), 0,
          "game version of 33 bytes" },
        { "most rules", RecordingBytes().Header( 5, REPLAY_MAX_RULES ).Start( 0 ), 0, "" },
        { "too many rules", RecordingBytes().Header( 5, REPLAY_MAX_RULES + 1 ).Start( 0 ), 0,
          "17 rules is more than any game has" },
        { "start at the block's first frame",
          RecordingBytes().Header().Start( 0 ).Block( 0 ).Start( 60 ).Block( 60 ), 120, "" },
        { "start at the block's last frame",
          RecordingBytes().Header().Start( 0 ).Block( 0 ).Start( 119 ).Block( 60 ), 120, "" },
        { "start past the next block", RecordingBytes().Header().Start( 0 ).Block( 0 ).Start( 120 ), 0,
          "match start at frame 120 is out of order" },
        { "start before the next block", RecordingBytes().Header().Start( 0 ).Block( 0 ).Start( 59 ), 0,
          "match start at frame 59 is out of order" },
        { "two starts in one frame", RecordingBytes().Header().Start( 0 ).Block( 0 ).Start( 70 ).Start( 70 ),
          0, "match start at frame 70 is out of order" },
        { "first start after frame 0", RecordingBytes().Header().Start( 1 ), 0,
          "match start at frame 1 is out of order" },
        { "widest column", RecordingBytes().Header().Start( 0, 0x7FFFFFFFu ), 0, "" },
        { "column past int", RecordingBytes().Header().Start( 0, 0x80000000u ), 0,
          "has a tank column of 2147483648" },
        { "a run a frame", RecordingBytes().Header().Start( 0 ).Keys( 0, sixtyRuns ), 60, "" },
        { "every known key", RecordingBytes().Header().Start( 0 ).Keys( 0, Runs{ { allKeys, 60 } } ), 60,
          "" },
        { "the first unknown key",
          RecordingBytes().Header().Start( 0 ).Keys( 0, Runs{ { allKeys + 1, 60 } } ), 0,
          "holds keys this game does not know, at frame 0" },
        { "a run past the block",
          RecordingBytes().Header().Start( 0 ).Keys( 0, Runs{ { 1, 59 }, { 1, 2 } }, 60 ), 0,
          "has a run of absurd length at frame 59" },
        { "runs short of the block", RecordingBytes().Header().Start( 0 ).Keys( 0, Runs{ { 1, 59 } }, 60 ), 0,
          "has a block of absurd length at frame 0" },
        { "short block last", RecordingBytes().Header().Start( 0 ).Block( 0 ).Block( 60, 59 ).End( 119 ), 119,
          "" },
        { "more after a short block", RecordingBytes().Header().Start( 0 ).Block( 0, 59 ).Block( 59 ), 0,
          "goes on after a short block, at frame 59" },
        { "end one short", RecordingBytes().Header().Start( 0 ).Block( 0 ).End( 59 ), 0,
          "ends claiming 59 frames" },
        { "end one over", RecordingBytes().Header().Start( 0 ).Block( 0 ).End( 61 ), 0,
          "ends claiming 61 frames" },
    };
    for ( const Case &c : cases ) {
        ReplayFile file;
        const int read = file.Parse( c.recording.bytes.data(), c.recording.bytes.size() );
        EXPECT_EQ( read, c.error[0] == '\0' ) << c.what << ": " << file.GetError();
        EXPECT_STREQ( file.GetError(), c.error ) << c.what;
        if ( read ) {
            EXPECT_EQ( file.GetFrameCount(), c.frames ) << c.what;
        }
    }
}

// The longest file is read up to its first wrong byte; a byte more and it is not read at all.
TEST( ReplayReading, TheLongestFileIsReadAndOneByteMoreIsRefusedUnread ) {
    RecordingBytes recording;
    recording.Header().Start( 0 );
    const size_t end = recording.bytes.size();
    recording.bytes.resize( size_t( REPLAY_MAX_FILE_SIZE ), 'X' );
    PutMemoryFile( "longest.krec", recording.bytes );
    ReplayFile file;
    EXPECT_EQ( file.Load( "longest.krec" ), 0 );
    EXPECT_EQ( std::string( file.GetError() ), "unknown record at byte " + std::to_string( end ) );
    recording.bytes.push_back( 'X' );
    PutMemoryFile( "longest.krec", recording.bytes );
    EXPECT_EQ( file.Load( "longest.krec" ), 0 );
    EXPECT_STREQ( file.GetError(), "67108865 bytes is longer than any recording" );
    HostRemoveMemoryFile( "longest.krec" );
}
