// What showing one 640 x 480 8-bit frame costs on the SDL backend, next to copying the same
// 307,200 bytes with memcpy in the same run: the palette conversion alone (and the floors under
// it: only writing its 32-bit frame, and reading the indices and writing the frame in whole
// lines with no lookup), the conversion into SDL's streaming texture (what every flip does
// before drawing, for a moving and a still camera), and the whole flip without the frame pacing
// (conversion, scaling onto the window, presenting), for each scaling mode on a 1280 x 960 and a
// 1920 x 1080 window, with every pixel changing (a moving camera) and with four pixels changing
// (a still camera, the tanks' probe pixels). Needs a display at least 1920 x 1080:
// xvfb-run -a -s "-screen 0 1920x1080x24" build/default/bench/PresentBench

#include "bench/BenchReference.h"
#include "host/FrameConversion.h"
#include "host/sdl/PictureScaling.h"
#include "host/sdl/SdlBackend.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#if defined( __GNUC__ ) && defined( __x86_64__ )
#define PRESENT_BENCH_LINES 1
#include <immintrin.h>
#endif

namespace {

const int WIDTH = 640;
const int HEIGHT = 480;
const int PITCH = 640;

struct FrameData {
    std::vector<uint8_t> indices;
    std::vector<uint8_t> copy;
    std::vector<uint32_t> converted;
    HostPaletteEntry palette[256];

    FrameData() : indices( PITCH * HEIGHT ), copy( PITCH * HEIGHT ), converted( WIDTH * HEIGHT ) {
        uint32_t seed = 12345;
        for ( uint8_t &index : indices ) {
            seed = seed * 1664525u + 1013904223u;
            index = static_cast<uint8_t>( seed >> 24 );
        }
        for ( int i = 0; i < 256; ++i ) {
            palette[i] = HostPaletteEntry{ static_cast<uint8_t>( i ), static_cast<uint8_t>( 255 - i ),
                                           static_cast<uint8_t>( i * 3 ), 0 };
        }
    }
};

FrameData &Frame() {
    static FrameData frame;
    return frame;
}

// One full-screen backend for the whole run, as the game has it; null without a display.
SdlBackend *Backend() {
    static SdlBackend backend( 0 );
    static const bool open = backend.Init() && backend.OpenWindow( "Kelto" );
    if ( !open ) {
        return nullptr;
    }
    backend.SetPacing( 0 );
    return &backend;
}

// The frame that takes turns with `frame`: every pixel changed (a moving camera), or only
// four (a still camera: the tanks' probe pixels).
std::vector<uint8_t> Changed( const std::vector<uint8_t> &frame, int still ) {
    std::vector<uint8_t> other( frame );
    if ( still ) {
        for ( int i = 0; i < 4; ++i ) {
            other[( 100 + 90 * i ) * PITCH + 150 * i] ^= 1;
        }
    } else {
        for ( uint8_t &index : other ) {
            index ^= 1;
        }
    }
    return other;
}

void SetFrameCounters( benchmark::State &state ) {
    state.SetBytesProcessed( static_cast<int64_t>( state.iterations() ) * WIDTH * HEIGHT );
}

} // namespace

static void BM_Memcpy_Frame( benchmark::State &state ) {
    FrameData &frame = Frame();
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        std::memcpy( frame.copy.data(), frame.indices.data(), frame.indices.size() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_Memcpy_Frame );

static void BM_PaletteConvert_Frame( benchmark::State &state ) {
    FrameData &frame = Frame();
    uint32_t lookup[256];
    BuildPaletteLookup( frame.palette, PixelLayout{ 16, 8, 0, 0xFF000000u }, lookup );
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        ConvertFrame( frame.indices.data(), PITCH, WIDTH, HEIGHT, lookup, frame.converted.data(), WIDTH * 4 );
        benchmark::ClobberMemory();
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_PaletteConvert_Frame );

// The floor under the conversion: only writing its 1,228,800 bytes, more than this processor's
// second-level cache holds.
static void BM_Store_Frame32( benchmark::State &state ) {
    FrameData &frame = Frame();
    int value = 0;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        std::memset( frame.converted.data(), ++value & 0xFF, frame.converted.size() * sizeof( uint32_t ) );
        benchmark::ClobberMemory();
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_Store_Frame32 );

#if defined( PRESENT_BENCH_LINES )
// Reads the 8-bit frame 64 bytes at a time and writes each block to the next four 64-byte lines
// of the 32-bit frame (rows one after another), the caches' share of the conversion with byte
// shuffles without its lookups: the bytes a row starts or ends with inside a line by memset.
__attribute__( ( target( "avx512f" ) ) ) static void StoreLines( const uint8_t *indices, uint32_t *frame,
                                                                 size_t pixels ) {
    uint8_t *begin = reinterpret_cast<uint8_t *>( frame );
    uint8_t *end = begin + pixels * sizeof( uint32_t );
    uint8_t *first = begin + ( 64 - reinterpret_cast<uintptr_t>( begin ) % 64 ) % 64;
    uint8_t *last = end - reinterpret_cast<uintptr_t>( end ) % 64;
    std::memset( begin, 0, size_t( first - begin ) );
    std::memset( last, 0, size_t( end - last ) );
    __m512i block = _mm512_setzero_si512();
    uint8_t *line = first;
    for ( const uint8_t *source = indices; line + 256 <= last; line += 256, source += 64 ) {
        block = _mm512_loadu_si512( source );
        for ( int i = 0; i < 4; ++i ) {
            _mm512_store_si512( line + 64 * i, block );
        }
    }
    for ( ; line < last; line += 64 ) {
        _mm512_store_si512( line, block );
    }
}
#endif

// The floor under the conversion where it uses byte shuffles: reading the 307,200 indices and
// writing the 1,228,800 bytes through the caches in whole lines, as the conversion does, but
// with no lookup. memset above writes the frame in one call, which this processor does faster
// than stores a row at a time can (8.3 us against 12.4 us for these stores without the reading).
static void BM_StoreLines_Frame32( benchmark::State &state ) {
#if defined( PRESENT_BENCH_LINES )
    if ( !__builtin_cpu_supports( "avx512f" ) ) {
        state.SkipWithError( "no AVX-512 on this processor" );
        return;
    }
    FrameData &frame = Frame();
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        StoreLines( frame.indices.data(), frame.converted.data(), frame.converted.size() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
#else
    state.SkipWithError( "x86-64 only" );
#endif
}
BENCHMARK( BM_StoreLines_Frame32 );

// Argument: 1 for a still camera (four pixels changing), 0 for a moving one (every pixel).
static void BM_SdlUploadFrame_Frame( benchmark::State &state ) {
    SdlBackend *backend = Backend();
    if ( !backend ) {
        state.SkipWithError( "no display (run under xvfb-run)" );
        return;
    }
    FrameData &frame = Frame();
    const std::vector<uint8_t> other = Changed( frame.indices, int( state.range( 0 ) ) );
    int turn = 0;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        backend->UploadFrame( turn ? other.data() : frame.indices.data(), PITCH, WIDTH, HEIGHT,
                              frame.palette );
        turn ^= 1;
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_SdlUploadFrame_Frame )->ArgName( "still" )->Arg( 0 )->Arg( 1 );

static void BM_SdlPresentUnpaced_Frame( benchmark::State &state ) {
    SdlBackend *backend = Backend();
    if ( !backend ) {
        state.SkipWithError( "no display (run under xvfb-run)" );
        return;
    }
    FrameData &frame = Frame();
    const std::vector<uint8_t> other = Changed( frame.indices, 0 );
    int turn = 0;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        backend->Present( turn ? other.data() : frame.indices.data(), PITCH, WIDTH, HEIGHT, frame.palette );
        turn ^= 1;
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_SdlPresentUnpaced_Frame );

// Arguments: scaling mode, window width and height, and 1 for a still camera. Two frames take
// turns: wholly different ones, or ones four pixels apart.
static void BM_SdlPresentScaled_Frame( benchmark::State &state ) {
    SdlBackend *backend = Backend();
    if ( !backend ) {
        state.SkipWithError( "no display (run under xvfb-run)" );
        return;
    }
    SDL_Window *window = SDL_GetWindowFromID( 1 );
    if ( !window ) {
        state.SkipWithError( "no window" );
        return;
    }
    SDL_SetWindowFullscreen( window, 0 );
    SDL_SetWindowSize( window, int( state.range( 1 ) ), int( state.range( 2 ) ) );
    backend->PumpEvents( 0 );
    backend->SetScaleMode( int( state.range( 0 ) ) );
    FrameData &frame = Frame();
    const std::vector<uint8_t> other = Changed( frame.indices, int( state.range( 3 ) ) );
    int turn = 0;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        backend->Present( turn ? other.data() : frame.indices.data(), PITCH, WIDTH, HEIGHT, frame.palette );
        turn ^= 1;
    }
    timer.Report( state, size_t( WIDTH ) * HEIGHT );
    SetFrameCounters( state );
}
BENCHMARK( BM_SdlPresentScaled_Frame )
    ->ArgNames( { "mode", "w", "h", "still" } )
    ->ArgsProduct( { { SCALE_FIT, SCALE_INTEGER, SCALE_SMOOTH }, { 1280 }, { 960 }, { 0, 1 } } )
    ->ArgsProduct( { { SCALE_FIT, SCALE_INTEGER, SCALE_SMOOTH }, { 1920 }, { 1080 }, { 0, 1 } } );
