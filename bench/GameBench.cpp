// The whole frame as the desktop runs it, in a game the computer plays alone on the bundled
// pictures: the update with the computer players' thinking, the World's draw, the overlay and
// the conversion of the frame through the palette into 32-bit pixels. The timedemo leaves out
// both the thinking (recorded keys stand in for it) and the conversion; this does not.
// Reports the mean and median frame's processor time over a memcpy of the frame, and the
// worst frame: the one a player would see as a hitch (the computer's thinking shows there).

#include "SourcePaths.h"
#include "app/App.h"
#include "app/Game.h"
#include "bench/BenchReference.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "settings/Settings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const int FRAME_BYTES = 640 * 480;
// Half a minute of play: several turns of every computer player, their thinking included.
const int FRAMES = 1800;
const char *const LEVELS[] = { "easy", "normal", "hard" };

// What a child's game reports: the processor time of each presented frame, taken from one
// present to the next.
struct FrameFigures {
    int ran = 0;
    int frames = 0;
    double mean = 0.0;
    double median = 0.0;
    double worst = 0.0;
};

FrameFigures FiguresOf( std::vector<double> seconds ) {
    FrameFigures figures;
    // The first frame carries the start-up; it is no frame of play.
    if ( seconds.size() < 2 ) {
        return figures;
    }
    seconds.erase( seconds.begin() );
    double total = 0.0;
    for ( double value : seconds ) {
        total += value;
    }
    std::sort( seconds.begin(), seconds.end() );
    figures.ran = 1;
    figures.frames = int( seconds.size() );
    figures.mean = total / double( seconds.size() );
    figures.median = seconds[seconds.size() / 2];
    figures.worst = seconds.back();
    return figures;
}

// The game's process-wide objects live once per process, as in the real program, so every
// game runs in a child of its own.
[[noreturn]] void RunChild( const char *level, int figuresFd ) {
    g_settings.players = 0;
    g_settings.level = level;
    GameSetDataFolder( KELTO_ASSETS_DIR "/" );
    std::vector<double> seconds;
    seconds.reserve( FRAMES + 1 );
    double last = 0.0;
    int exitCode = 1;
    {
        HeadlessBackend backend;
        backend.SetKeepFrames( 0 );
        backend.SetConvertFrames( 1 );
        backend.PostAtFrame( FRAMES, WM_CLOSE, 0, 0 );
        backend.SetFrameHook( [&seconds, &last]( int ) {
            const double now = BenchThreadSeconds();
            seconds.push_back( now - last );
            last = now;
        } );
        HostSetBackend( &backend );
        GameSetSeed( 1 );
        last = BenchThreadSeconds();
        exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        HostSetBackend( nullptr );
    }
    FrameFigures figures = FiguresOf( seconds );
    figures.ran = figures.ran && exitCode == 0;
    const ssize_t written = write( figuresFd, &figures, sizeof( figures ) );
    _exit( written == ssize_t( sizeof( figures ) ) ? 0 : 1 );
}

FrameFigures RunGame( const char *level ) {
    FrameFigures figures;
    int fds[2];
    if ( pipe( fds ) != 0 ) {
        return figures;
    }
    const pid_t child = fork();
    if ( child == 0 ) {
        close( fds[0] );
        RunChild( level, fds[1] );
    }
    close( fds[1] );
    if ( child > 0 && read( fds[0], &figures, sizeof( figures ) ) != ssize_t( sizeof( figures ) ) ) {
        figures.ran = 0;
    }
    close( fds[0] );
    if ( child > 0 ) {
        waitpid( child, nullptr, 0 );
    }
    return figures;
}

void BM_GameFrame_ComputerPlayers( benchmark::State &state ) {
    FrameFigures figures;
    for ( auto _ : state ) {
        figures = RunGame( LEVELS[state.range( 0 )] );
    }
    if ( !figures.ran ) {
        state.SkipWithError( "the game did not run" );
        return;
    }
    const double floor = BenchMemcpySeconds( FRAME_BYTES );
    state.counters["frames"] = double( figures.frames );
    state.counters["x_memcpy"] = figures.mean / floor;
    state.counters["median_x_memcpy"] = figures.median / floor;
    state.counters["worst_ms"] = figures.worst * 1e3;
}

} // namespace

BENCHMARK( BM_GameFrame_ComputerPlayers )
    ->DenseRange( 0, 2 )
    ->Iterations( 1 )
    ->Unit( benchmark::kMillisecond );
