// The whole start-up, from the entry function to the first frame, on the headless backend
// and the bundled pictures, run again and again with one allocation made to fail: the first,
// then the second, and so on until a run meets no failure. Every run must either refuse
// cleanly (exit code 1, one line on standard error, nothing leaked) or start the very game
// a run without failures starts (the same first frame). The sweep is made for the plain game
// and for each way of starting it with a recording (--record, --replay, --timedemo). The
// display comes up once per process, so each run is a child process of its own.

#include "SourcePaths.h"
#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The child's count of allocations since start-up began, and the one to refuse.
int g_counting = 0;
long g_allocations = 0;
long g_failAt = 0;

bool Refuse() {
    return g_counting && ++g_allocations == g_failAt;
}

void *Allocate( size_t size ) {
    return Refuse() ? nullptr : std::malloc( size != 0 ? size : 1 );
}

} // namespace

__attribute__( ( noinline ) ) void *operator new( size_t size ) {
    void *block = Allocate( size );
    if ( block == nullptr ) {
        throw std::bad_alloc(); // nothing in start-up may ask for memory this way
    }
    return block;
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size ) {
    return operator new( size );
}

__attribute__( ( noinline ) ) void *operator new( size_t size, const std::nothrow_t & ) noexcept {
    return Allocate( size );
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size, const std::nothrow_t & ) noexcept {
    return Allocate( size );
}

__attribute__( ( noinline ) ) void operator delete( void *block ) noexcept {
    std::free( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block ) noexcept {
    std::free( block );
}

__attribute__( ( noinline ) ) void operator delete( void *block, size_t ) noexcept {
    std::free( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block, size_t ) noexcept {
    std::free( block );
}

namespace {

// Start-up ends where the first frame begins: its first act is to read the keys.
class SweepBackend : public HeadlessBackend {
public:
    HostResult ReadKeys( uint8_t keys[256] ) override {
        g_counting = 0;
        return HeadlessBackend::ReadKeys( keys );
    }
};

struct Outcome {
    int exitCode;
    long allocations;
    uint64_t firstFrame; // FNV-1a of the first presented frame, 0 if none came
};

uint64_t Hash( const std::vector<uint8_t> &bytes ) {
    uint64_t hash = 14695981039346656037ULL;
    for ( uint8_t byte : bytes ) {
        hash = ( hash ^ byte ) * 1099511628211ULL;
    }
    return hash;
}

// How a sweep starts the game: the option and the recording it names.
struct Start {
    const char *option; // "" for the plain game
    std::string file;
};

std::string RecordingFile() {
    return ::testing::TempDir() + "kelto-sweep-" + std::to_string( getpid() ) + ".krec";
}

const std::string GOLDEN = std::string( KELTO_ASSETS_DIR ) + "/../tests/replays/golden.krec";

void SetOptions( const Start &start ) {
    g_options = Options();
    const std::string option = start.option;
    if ( option == "--record" ) {
        g_options.record = start.file;
    } else if ( option == "--replay" ) {
        g_options.replay = start.file;
    } else if ( option == "--timedemo" ) {
        g_options.timedemo = start.file;
    }
}

// The child: the game's own start-up with allocation `failAt` refused, one frame, Escape.
[[noreturn]] void RunChild( const Start &start, long failAt, int outcomeFd, int stderrFd ) {
    dup2( stderrFd, 2 );
    // The timedemo's line of figures is not start-up's: out of the way of the error stream.
    if ( std::freopen( "/dev/null", "w", stdout ) == nullptr ) {
        _exit( 3 );
    }
    SetOptions( start );
    Outcome outcome = { 1, 0, 0 };
    if ( chdir( KELTO_ASSETS_DIR ) == 0 ) {
        SweepBackend backend;
        backend.SetFrameHook( [&backend, &outcome]( int frame ) {
            if ( frame == 1 ) {
                outcome.firstFrame = Hash( backend.GetFrame() );
                HostPostMessage( HostGetMainWindow(), WM_KEYDOWN, VK_ESCAPE, 0 );
            }
        } );
        HostSetBackend( &backend );
        GameSetSeed( 1 );
        g_failAt = failAt;
        g_counting = 1;
        outcome.exitCode = WinMain( nullptr, nullptr, "", SW_SHOWDEFAULT );
        g_counting = 0;
        outcome.allocations = g_allocations;
        HostSetBackend( nullptr );
    }
    if ( write( outcomeFd, &outcome, sizeof( outcome ) ) != ssize_t( sizeof( outcome ) ) ) {
        _exit( 3 );
    }
    // A normal exit, so that the leak checker looks at what is left.
    std::exit( outcome.exitCode );
}

// Runs one start-up in a child; fills `outcome` and `errors` (its standard error) and
// returns the child's wait status, or -1 if it could not be run.
int RunStartup( const Start &start, long failAt, Outcome *outcome, std::string *errors ) {
    int outcomePipe[2];
    char errorPath[] = "/tmp/kelto-sweep-XXXXXX";
    const int errorFd = mkstemp( errorPath );
    if ( errorFd < 0 || pipe( outcomePipe ) != 0 ) {
        return -1;
    }
    std::fflush( nullptr );
    const pid_t child = fork();
    if ( child == 0 ) {
        close( outcomePipe[0] );
        RunChild( start, failAt, outcomePipe[1], errorFd );
    }
    close( outcomePipe[1] );
    *outcome = Outcome{ -1, 0, 0 };
    const ssize_t got = read( outcomePipe[0], outcome, sizeof( *outcome ) );
    close( outcomePipe[0] );
    int status = -1;
    waitpid( child, &status, 0 );
    if ( got != ssize_t( sizeof( *outcome ) ) ) {
        outcome->exitCode = -1;
    }
    errors->clear();
    char buffer[4096];
    lseek( errorFd, 0, SEEK_SET );
    for ( ssize_t n; ( n = read( errorFd, buffer, sizeof( buffer ) ) ) > 0; ) {
        errors->append( buffer, size_t( n ) );
    }
    close( errorFd );
    unlink( errorPath );
    return status;
}

class StartupSweep : public ::testing::TestWithParam<const char *> {};

TEST_P( StartupSweep, EveryAllocationFailingInTurnEndsInARefusalOrTheSameGame ) {
    const std::string option = GetParam();
    const Start start = { GetParam(), option == "--record" ? RecordingFile() : GOLDEN };
    Outcome reference;
    std::string errors;
    const int status = RunStartup( start, 0, &reference, &errors );
    ASSERT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << errors;
    ASSERT_EQ( reference.exitCode, 0 ) << errors;
    ASSERT_NE( reference.firstFrame, 0u );
    ASSERT_GT( reference.allocations, 0 );
    std::printf( "start-up %s makes %ld allocations\n", start.option, reference.allocations );
    RecordProperty( "allocations", int( reference.allocations ) );

    int refusals = 0;
    for ( long failAt = 1; failAt <= reference.allocations; failAt++ ) {
        Outcome outcome;
        const int each = RunStartup( start, failAt, &outcome, &errors );
        const int exitCode = WIFEXITED( each ) ? WEXITSTATUS( each ) : -1;
        const long lines = std::count( errors.begin(), errors.end(), '\n' );
        SCOPED_TRACE( "allocation " + std::to_string( failAt ) + " refused; standard error:\n" + errors );
        ASSERT_TRUE( WIFEXITED( each ) )
            << "ended by signal " << ( WIFSIGNALED( each ) ? WTERMSIG( each ) : 0 );
        ASSERT_EQ( exitCode, outcome.exitCode )
            << "exit code " << exitCode << ", leaks or a fault after the game";
        if ( exitCode == 1 ) {
            EXPECT_EQ( lines, 1 );
            EXPECT_EQ( errors.rfind( "kelto: ", 0 ), 0u );
            EXPECT_EQ( outcome.firstFrame, 0u ) << "a refused start-up showed a frame";
            refusals++;
        } else {
            ASSERT_EQ( exitCode, 0 );
            EXPECT_EQ( errors, "" );
            EXPECT_EQ( outcome.firstFrame, reference.firstFrame ) << "the game started on something else";
        }
    }
    std::printf( "%d of them end start-up with a refusal, the others are lived without\n", refusals );
    if ( option == "--record" ) {
        std::remove( start.file.c_str() );
    }
}

INSTANTIATE_TEST_SUITE_P( Options, StartupSweep,
                          ::testing::Values( "", "--record", "--replay", "--timedemo" ),
                          []( const ::testing::TestParamInfo<const char *> &info ) {
                              const std::string option = info.param;
                              return option.empty()         ? std::string( "Plain" )
                                     : option == "--record" ? std::string( "Record" )
                                     : option == "--replay" ? std::string( "Replay" )
                                                            : std::string( "Timedemo" );
                          } );

} // namespace
