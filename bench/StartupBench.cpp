#include "SourcePaths.h"
#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "gfx/Bmp.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "tests/support/BmpWriter.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// The resource budget of start-up: the time from the entry function to the first presented
// frame on the headless backend, and the most heap it held meanwhile, for the bundled
// pictures and for the largest land the game accepts (16384 x 16384). Next to it, in the same
// run, the floor: reading the same four files into memory. The game's display can be brought
// up once per process, so each start-up runs in a child process of its own, which times
// itself and hands back its figures.

// ---------------------------------------------------------------------------------------------
// Live and peak heap bytes, counted at the size the allocator really gives each block.

static size_t g_liveBytes = 0;
static size_t g_peakBytes = 0;

static void *Counted( void *block ) {
    if ( block != nullptr ) {
        g_liveBytes += malloc_usable_size( block );
        if ( g_liveBytes > g_peakBytes ) {
            g_peakBytes = g_liveBytes;
        }
    }
    return block;
}

static void Uncount( void *block ) {
    if ( block != nullptr ) {
        g_liveBytes -= malloc_usable_size( block );
        std::free( block );
    }
}

__attribute__( ( noinline ) ) void *operator new( size_t size ) {
    void *block = Counted( std::malloc( size != 0 ? size : 1 ) );
    if ( block == nullptr ) {
        throw std::bad_alloc();
    }
    return block;
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size ) {
    return operator new( size );
}

__attribute__( ( noinline ) ) void *operator new( size_t size, const std::nothrow_t & ) noexcept {
    return Counted( std::malloc( size != 0 ? size : 1 ) );
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size, const std::nothrow_t & ) noexcept {
    return Counted( std::malloc( size != 0 ? size : 1 ) );
}

__attribute__( ( noinline ) ) void operator delete( void *block ) noexcept {
    Uncount( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block ) noexcept {
    Uncount( block );
}

__attribute__( ( noinline ) ) void operator delete( void *block, size_t ) noexcept {
    Uncount( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block, size_t ) noexcept {
    Uncount( block );
}

namespace {

const char *const PICTURES[] = { "background.bmp", "land.bmp", "tank.bmp", "bomb.bmp" };

struct Figures {
    double seconds;
    double peakBytes;
    int exitCode;
};

// The child's side: start-up up to the first presented frame, then Escape.
Figures StartOnce() {
    using Clock = std::chrono::steady_clock;
    Figures figures = { 0.0, 0.0, 1 };
    HeadlessBackend backend;
    const Clock::time_point start = Clock::now();
    const size_t liveAtStart = g_liveBytes;
    g_peakBytes = g_liveBytes;
    backend.SetFrameHook( [&]( int frame ) {
        if ( frame == 1 ) {
            figures.seconds = std::chrono::duration<double>( Clock::now() - start ).count();
            figures.peakBytes = double( g_peakBytes - liveAtStart );
            HostPostMessage( HostGetMainWindow(), WM_KEYDOWN, VK_ESCAPE, 0 );
        }
    } );
    HostSetBackend( &backend );
    GameSetSeed( 1 );
    // The start-up from the pictures in the working folder, which the reading is compared with.
    g_options.land = GAME_LAND_FILE;
    g_options.background = GAME_BACKGROUND_FILE;
    figures.exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
    HostSetBackend( nullptr );
    return figures;
}

// Runs one start-up in a child process working in `dir`; 0 if it did not start cleanly.
int StartInChild( const std::string &dir, Figures *figures ) {
    int pipeEnds[2];
    if ( pipe( pipeEnds ) != 0 ) {
        return 0;
    }
    std::fflush( nullptr );
    const pid_t child = fork();
    if ( child == 0 ) {
        close( pipeEnds[0] );
        Figures own = { 0.0, 0.0, 1 };
        if ( chdir( dir.c_str() ) == 0 ) {
            own = StartOnce();
        }
        ssize_t written = write( pipeEnds[1], &own, sizeof( own ) );
        _exit( written == ssize_t( sizeof( own ) ) ? 0 : 1 );
    }
    close( pipeEnds[1] );
    const ssize_t got = child > 0 ? read( pipeEnds[0], figures, sizeof( *figures ) ) : 0;
    close( pipeEnds[0] );
    int status = 0;
    if ( child > 0 ) {
        waitpid( child, &status, 0 );
    }
    return got == ssize_t( sizeof( *figures ) ) && figures->exitCode == 0;
}

// The largest land the game takes: 16384 x 16384 of rolling ground under an empty sky.
uint8_t LargestLand( int x, int y ) {
    return y >= 8192 + ( ( x / 16 ) % 64 ) * 8 ? uint8_t( 100 + ( x + y ) % 50 ) : 0;
}

int WriteLargestLand( const std::string &path ) {
    return WriteFileBytes( path, MakeBmp( BMP_MAX_SIDE, BMP_MAX_SIDE, LargestLand ) );
}

std::string CopyAssets( const char *landFrom ) {
    char pattern[] = "/tmp/kelto-startup-XXXXXX";
    const char *dir = mkdtemp( pattern );
    if ( dir == nullptr ) {
        return std::string();
    }
    for ( const char *name : PICTURES ) {
        if ( landFrom != nullptr && std::strcmp( name, "land.bmp" ) == 0 ) {
            continue;
        }
        const std::string command =
            std::string( "cp '" ) + KELTO_ASSETS_DIR + "/" + name + "' '" + dir + "/'";
        if ( std::system( command.c_str() ) != 0 ) {
            return std::string();
        }
    }
    return dir;
}

// The pictures live in temporary directories for the whole run, removed at the end.
struct PictureDirs {
    std::string bundled = CopyAssets( nullptr );
    std::string largest = CopyAssets( "largest" );
    int largestWritten = !largest.empty() && WriteLargestLand( largest + "/land.bmp" );

    ~PictureDirs() {
        for ( const std::string &dir : { bundled, largest } ) {
            if ( !dir.empty() ) {
                std::system( ( "rm -rf '" + dir + "'" ).c_str() );
            }
        }
    }
};

PictureDirs &Dirs() {
    static PictureDirs dirs;
    return dirs;
}

const std::string &DirFor( int largest ) {
    return largest ? Dirs().largest : Dirs().bundled;
}

void BM_Startup( benchmark::State &state ) {
    const std::string &dir = DirFor( int( state.range( 0 ) ) );
    if ( dir.empty() || ( state.range( 0 ) && !Dirs().largestWritten ) ) {
        state.SkipWithError( "cannot write the pictures" );
        return;
    }
    double peak = 0.0;
    for ( auto _ : state ) {
        Figures figures;
        if ( !StartInChild( dir, &figures ) ) {
            state.SkipWithError( "the game did not start" );
            return;
        }
        state.SetIterationTime( figures.seconds );
        peak = figures.peakBytes;
    }
    state.counters["peakMB"] = peak / ( 1024.0 * 1024.0 );
}

// The floor: each of the four files opened once and read whole into memory.
void BM_ReadFiles( benchmark::State &state ) {
    const std::string &dir = DirFor( int( state.range( 0 ) ) );
    for ( auto _ : state ) {
        for ( const char *name : PICTURES ) {
            FILE *file = std::fopen( ( dir + "/" + name ).c_str(), "rb" );
            if ( file == nullptr ) {
                state.SkipWithError( "cannot read the pictures" );
                return;
            }
            std::fseek( file, 0, SEEK_END );
            const long size = std::ftell( file );
            std::fseek( file, 0, SEEK_SET );
            uint8_t *bytes = new uint8_t[size_t( size )];
            benchmark::DoNotOptimize( std::fread( bytes, 1, size_t( size ), file ) );
            delete[] bytes;
            std::fclose( file );
        }
    }
}

} // namespace

// Argument 0: the bundled pictures; 1: the 16384 x 16384 land beside them.
BENCHMARK( BM_ReadFiles )->Arg( 0 )->Arg( 1 )->Unit( benchmark::kMillisecond );
BENCHMARK( BM_Startup )->Arg( 0 )->Arg( 1 )->UseManualTime()->Unit( benchmark::kMillisecond );
