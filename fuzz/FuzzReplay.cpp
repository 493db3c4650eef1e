// Fuzzes the reader of recordings: any bytes at all are either refused with a reason or read
// into a recording whose parts agree with each other (frames, blocks, runs, match starts and
// keys), and nothing is read outside the bytes (the sanitizers watch the fuzzer's exact-sized
// input).

#include "fuzz/FuzzSupport.h"
#include "replay/ReplayFile.h"
#include "replay/ReplayKeys.h"
#include "replay/ReplayRecorder.h"

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
    if ( !recorder.Create( path.c_str(), "1.0.0", pictures, { 0, 5 } ) ) {
        std::exit( 1 );
    }
    const int columns[TANK_PLACEMENT_COUNT] = { 10, 400, 800, 1200 };
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

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    FuzzWriteSeedsIfAsked( *argc, *argv, WriteSeeds );
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    ReplayFile file;
    if ( file.Parse( data, size ) ) {
        CheckRecording( file );
    } else {
        FUZZ_CHECK( file.GetError()[0] != '\0', "refused without a reason" );
    }
    return 0;
}
