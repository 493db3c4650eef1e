// Fuzzes the reader of recordings: any bytes at all are either refused with a reason or read
// into a recording whose parts agree with each other (frames, blocks, runs, match starts and
// keys), and nothing is read outside the bytes (the sanitizers watch the fuzzer's exact-sized
// input). A recording read is then played as a timedemo on the headless backend, for at most
// a few hundred frames, on pictures its header is made to name: whatever it holds, the game
// refuses it with one reason or plays it and ends, without a fault.

#include "app/Game.h"
#include "app/Options.h"
#include "fuzz/FuzzSupport.h"
#include "game/Globals.h"
#include "game/World.h"
#include "gfx/BmpFile.h"
#include "host/HostFile.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "platform/Display.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayKeys.h"
#include "replay/ReplayRecorder.h"
#include "settings/Settings.h"
#include "tests/support/BmpWriter.h"

#include <fcntl.h>
#include <unistd.h>

namespace {

void CheckRecording( const ReplayFile &file ) {
    const std::vector<ReplayBlock> &blocks = file.GetBlocks();
    const std::vector<ReplayRun> &runs = file.GetRuns();
    const std::vector<ReplayMatchStart> &starts = file.GetMatchStarts();
    FUZZ_CHECK( !starts.empty() && starts[0].frame == 0, "the first match does not start at frame 0" );
    for ( size_t i = 1; i < starts.size(); i++ ) {
        FUZZ_CHECK( starts[i].frame > starts[i - 1].frame, "match %zu starts before the one before it", i );
    }
    int frames = 0;
    int nextRun = 0;
    for ( size_t b = 0; b < blocks.size(); b++ ) {
        const ReplayBlock &block = blocks[b];
        FUZZ_CHECK( block.firstFrame == frames, "block %zu starts at %d, not %d", b, block.firstFrame,
                    frames );
        FUZZ_CHECK( block.frames >= 1 && block.frames <= REPLAY_BLOCK_FRAMES, "block %zu has %d frames", b,
                    block.frames );
        FUZZ_CHECK( b + 1 == blocks.size() || block.frames == REPLAY_BLOCK_FRAMES, "short block %zu inside",
                    b );
        FUZZ_CHECK( block.firstRun == nextRun && block.runCount >= 1, "block %zu has runs from %d", b,
                    block.firstRun );
        int covered = 0;
        for ( int r = block.firstRun; r < block.firstRun + block.runCount; r++ ) {
            FUZZ_CHECK( r < int( runs.size() ), "block %zu points past the runs", b );
            FUZZ_CHECK( runs[r].length >= 1 && ( runs[r].keys & ~REPLAY_KEY_BITS ) == 0, "run %d is wrong",
                        r );
            covered += runs[r].length;
        }
        FUZZ_CHECK( covered == block.frames, "block %zu covers %d of its %d frames", b, covered,
                    block.frames );
        nextRun += block.runCount;
        frames += block.frames;
    }
    FUZZ_CHECK( nextRun == int( runs.size() ), "runs outside every block" );
    FUZZ_CHECK( frames == file.GetFrameCount(), "%d frames in blocks, %d counted", frames,
                file.GetFrameCount() );
    FUZZ_CHECK( file.GetRules().size() <= size_t( REPLAY_MAX_RULES ), "%zu rules", file.GetRules().size() );
    FUZZ_CHECK( !file.GetGameVersion().empty(), "no game version" );
}

// Recordings as the recorder writes them: short and long blocks, runs of every kind, two
// matches; one ended properly, one cut short as by a crash.
std::vector<uint8_t> Recording( const char *directory, int frames, int finish ) {
    const std::string path = std::string( directory ) + "/.seed.krec";
    ReplayRecorder recorder;
    const uint32_t pictures[REPLAY_PICTURE_COUNT] = { 1, 2, 3, 4 };
    // Rules a game is played with (not classic, 5 hits, 4 people) and columns on the
    // played land, so that the seeds play.
    if ( !recorder.Create( path.c_str(), "1.0.0", pictures, { 0, 5, 4 } ) ) {
        std::exit( 1 );
    }
    const int columns[TANK_PLACEMENT_COUNT] = { 10, 200, 400, 600 };
    recorder.AddMatchStart( columns );
    for ( int frame = 0; frame < frames; frame++ ) {
        const int full =
            recorder.AddFrame( uint16_t( ( frame / 7 ) % 5 == 0 ? 0 : 1u << ( frame / 13 ) % 8 ) );
        if ( frame == 100 ) {
            recorder.AddMatchStart( columns );
        }
        if ( full ) {
            recorder.EndBlock( uint32_t( frame ) * 2654435761u );
        }
    }
    if ( finish ) {
        recorder.Finish( 0xC0FFEEu );
    }
    std::vector<uint8_t> bytes;
    FILE *file = std::fopen( path.c_str(), "rb" );
    for ( int c; file != nullptr && ( c = std::fgetc( file ) ) != EOF; ) {
        bytes.push_back( uint8_t( c ) );
    }
    if ( file != nullptr ) {
        std::fclose( file );
    }
    unlink( path.c_str() );
    return bytes;
}

void WriteSeeds( const char *directory ) {
    FuzzWriteSeed( directory, "three-seconds", Recording( directory, 190, 1 ) );
    FuzzWriteSeed( directory, "cut-short", Recording( directory, 150, 0 ) );
}

const int PLAYED_FRAMES = 300;
const char *const RECORDING = "fuzz.krec";

uint8_t Sky( int x, int y ) {
    return uint8_t( 16 + ( x + y ) % 32 );
}

uint8_t Ground( int x, int y ) {
    return y > 300 + ( x / 8 ) % 64 ? uint8_t( 112 + x % 32 ) : 0;
}

uint8_t Solid( int x, int y ) {
    return ( x + y ) % 3 == 0 ? 0 : 180;
}

// The game's display on the headless backend and its four pictures as memory files, brought
// up once; the pictures' checksums as a recording names them.
void BringUpGame( uint32_t checksums[REPLAY_PICTURE_COUNT] ) {
    static HeadlessBackend backend;
    static uint32_t known[REPLAY_PICTURE_COUNT];
    static int ready = 0;
    if ( !ready ) {
        HostSetBackend( &backend );
        backend.SetKeepFrames( 0 );
        HostWindowClass windowClass = { 0, HostDefWindowProc, nullptr, "KeltoReplayFuzz" };
        HostRegisterClass( &windowClass );
        HostWindow *window = HostCreateWindow( 0, "KeltoReplayFuzz", "Kelto", WS_POPUP, nullptr );
        FUZZ_CHECK( g_display.Init( window, 1, 640, 480, 8 ) == 1, "the headless display did not start" );
        const std::vector<uint8_t> pictures[REPLAY_PICTURE_COUNT] = {
            MakeBmp( 640, 480, Sky ), MakeBmp( 700, 500, Ground ), MakeBmp( 21, 11, Solid ),
            MakeBmp( 5, 5, Solid ) };
        const char *const names[REPLAY_PICTURE_COUNT] = { GAME_BACKGROUND_FILE, GAME_LAND_FILE,
                                                          GAME_TANK_FILE, GAME_BOMB_FILE };
        for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
            HostAddMemoryFile( names[i], pictures[i].data(), pictures[i].size() );
            BmpFile file;
            FUZZ_CHECK( file.Load( names[i] ), "picture %d does not load", i );
            known[i] = uint32_t( file.GetFileHash() );
        }
        ready = 1;
    }
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        checksums[i] = known[i];
    }
}

// Start-up's one line on a refusal and the timedemo's figures are expected; they are kept off
// the fuzzer's own output.
class Quiet {
public:
    Quiet() : savedOut( dup( 1 ) ), savedErr( dup( 2 ) ) {
        const int nothing = open( "/dev/null", O_WRONLY );
        if ( nothing >= 0 ) {
            std::fflush( stdout );
            dup2( nothing, 1 );
            dup2( nothing, 2 );
            close( nothing );
        }
    }
    ~Quiet() {
        std::fflush( stdout );
        for ( int i = 1; i <= 2; i++ ) {
            const int saved = i == 1 ? savedOut : savedErr;
            if ( saved >= 0 ) {
                dup2( saved, i );
                close( saved );
            }
        }
    }

private:
    int savedOut;
    int savedErr;
};

// The recording read, its pictures' checksums replaced by those of the game's pictures, played.
void Play( const ReplayFile &file, const uint8_t *data, size_t size ) {
    uint32_t checksums[REPLAY_PICTURE_COUNT];
    BringUpGame( checksums );
    std::vector<uint8_t> bytes( data, data + size );
    const size_t at = sizeof( REPLAY_MAGIC ) + 2 + 1 + file.GetGameVersion().size();
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        for ( int b = 0; b < 4; b++ ) {
            bytes[at + 4 * i + b] = uint8_t( checksums[i] >> ( 8 * b ) );
        }
    }
    HostAddMemoryFile( RECORDING, bytes.data(), bytes.size() );
    g_options = Options();
    g_options.timedemo = RECORDING;
    g_settings = Settings();
    World world;
    Quiet quiet;
    if ( GameStartup( nullptr, HostGetMainWindow(), world ) ) {
        const int frames = file.GetFrameCount() < PLAYED_FRAMES ? file.GetFrameCount() : PLAYED_FRAMES;
        for ( int frame = 0; frame < frames; frame++ ) {
            GameFrame( world );
        }
        const int exitCode = GameEnd( world );
        FUZZ_CHECK( exitCode == 0 || exitCode == 1, "the game ended with %d", exitCode );
    }
    // What the game posted on its way out (its end, a divergence) is not the next run's.
    HostMessage message;
    while ( HostPeekMessage( &message, nullptr, PM_REMOVE ) ) {
    }
    HostRemoveMemoryFile( RECORDING );
    g_options = Options();
}

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    FuzzWriteSeedsIfAsked( *argc, *argv, WriteSeeds );
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    ReplayFile file;
    if ( file.Parse( data, size ) ) {
        CheckRecording( file );
        Play( file, data, size );
    } else {
        FUZZ_CHECK( file.GetError()[0] != '\0', "refused without a reason" );
    }
    return 0;
}
