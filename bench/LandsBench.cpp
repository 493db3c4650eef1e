// Making a match's land: the land picture of each style with its background (1280 x 960 and
// 960 x 720, as the game makes them at every new match), against the floor measured in the
// same run, a memcpy of the land's 1,228,800 bytes. The target is under 50 ms for one land
// with its background on one core.

#include "bench/BenchReference.h"
#include "gfx/Image.h"
#include "host/HostBlit.h"
#include "host/HostKeyedPieces.h"
#include "lands/LandCode.h"
#include "lands/LandGenerator.h"
#include "lands/LandStarts.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const int kWidth = LandGenerator::DEFAULT_WIDTH;
const int kHeight = LandGenerator::DEFAULT_HEIGHT;
const size_t kBytes = size_t( kWidth ) * size_t( kHeight );

void BM_Memcpy_Land( benchmark::State &state ) {
    std::vector<uint8_t> source( kBytes, 7 );
    std::vector<uint8_t> destination( kBytes );
    for ( auto _ : state ) {
        std::memcpy( destination.data(), source.data(), kBytes );
        benchmark::DoNotOptimize( destination.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
}

// One new land, as a new match makes it: the land and its background drawn over the pictures
// of the match before, a new seed every time.
void BM_GenerateLand( benchmark::State &state ) {
    const int style = int( state.range( 0 ) );
    Image land( kWidth, kHeight );
    Image background( LandGenerator::DEFAULT_BACKGROUND_WIDTH, LandGenerator::DEFAULT_BACKGROUND_HEIGHT );
    uint32_t seed = 1;
    for ( auto _ : state ) {
        const LandCode code( style, int( seed % LandCode::THEME_COUNT ), seed );
        LandGenerator::MakeLand( code, kWidth, kHeight, land );
        LandGenerator::MakeBackground( code, background.GetWidth(), background.GetHeight(), background );
        benchmark::DoNotOptimize( land.GetPixels() );
        seed++;
    }
    state.SetLabel( LandCode::StyleName( style ) );
}

// Choosing the four start places on a made land, which a new match does next.
void BM_ChooseStarts( benchmark::State &state ) {
    Image land( kWidth, kHeight );
    LandGenerator::MakeLand( LandCode( int( state.range( 0 ) ), 0, 5u ), kWidth, kHeight, land );
    uint32_t draw = 1;
    int columns[LandStarts::COUNT];
    for ( auto _ : state ) {
        benchmark::DoNotOptimize( LandStarts::Choose( land, 35, 20, draw++, columns ) );
    }
    state.SetLabel( LandCode::StyleName( int( state.range( 0 ) ) ) );
}

// How a made land divides into 64-pixel pieces of sky (key index 0 throughout: the draw reads
// only the background there), ground (none: only the land) and both, as the land's tiles of
// 640 x 480 hold them; and what sorting the whole land costs, as after a crater on every tile.
void BM_SortLandPieces( benchmark::State &state ) {
    Image land( kWidth, kHeight );
    LandGenerator::MakeLand( LandCode( int( state.range( 0 ) ), 0, 5u ), kWidth, kHeight, land );
    const int tileWidth = 640;
    std::vector<uint8_t> kinds( size_t( kHeight ) * size_t( kWidth / tileWidth ) * 10 );
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        uint8_t *to = kinds.data();
        for ( int y = 0; y < kHeight; y++ ) {
            for ( int x = 0; x < kWidth; x += tileWidth ) {
                HostBlitSortPieces( land.GetPixels() + y * land.GetPitch() + x, tileWidth, 0, 0, to );
                to += 10;
            }
        }
        benchmark::DoNotOptimize( kinds.data() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    double counts[3] = {};
    for ( uint8_t kind : kinds ) {
        counts[kind] += 1;
    }
    const double all = double( kinds.size() );
    state.counters["skyShare"] = counts[HostKeyedPieces::TRANSPARENT] / all;
    state.counters["groundShare"] = counts[HostKeyedPieces::OPAQUE] / all;
    state.counters["mixedShare"] = counts[HostKeyedPieces::MIXED] / all;
    state.SetLabel( LandCode::StyleName( int( state.range( 0 ) ) ) );
}

} // namespace

BENCHMARK( BM_Memcpy_Land );
BENCHMARK( BM_GenerateLand )->DenseRange( 0, LandCode::STYLE_COUNT - 1 )->Unit( benchmark::kMillisecond );
BENCHMARK( BM_SortLandPieces )->DenseRange( 0, LandCode::STYLE_COUNT - 1 );
BENCHMARK( BM_ChooseStarts )->DenseRange( 0, LandCode::STYLE_COUNT - 1 )->Unit( benchmark::kMillisecond );
