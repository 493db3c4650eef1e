#include "gfx/Image.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

// The bomb's crater and the background copy, each next to a plain block fill or copy of the
// same number of bytes measured in the same run.

namespace {

const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 480;
const int FRAME_BYTES = FRAME_WIDTH * FRAME_HEIGHT;
const int WIDE_PITCH = 704; // a display surface whose rows are wider than the picture

// Pixels covered by the crater ellipse (half-width 50, half-height 30).
int CraterPixels() {
    Image image( 128, 64 );
    image.Clear( 0 );
    image.FillEllipse( 64, 32, 50, 30, 1 );
    int count = 0;
    for ( int i = 0; i < 128 * 64; i++ ) {
        count += image.GetPixels()[i];
    }
    return count;
}

void BM_Memset_CraterBytes( benchmark::State &state ) {
    const int bytes = CraterPixels();
    std::vector<uint8_t> block( FRAME_BYTES, 1 );
    for ( auto _ : state ) {
        std::memset( block.data(), 0, size_t( bytes ) );
        benchmark::DoNotOptimize( block.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * bytes );
}

void BM_FillEllipse_Crater( benchmark::State &state ) {
    Image image( FRAME_WIDTH, FRAME_HEIGHT );
    image.Clear( 1 );
    const int bytes = CraterPixels();
    for ( auto _ : state ) {
        image.FillEllipse( 320, 240, 50, 30, 0 );
        benchmark::DoNotOptimize( image.GetPixels() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * bytes );
}

void BM_Memcpy_Frame( benchmark::State &state ) {
    std::vector<uint8_t> source( FRAME_BYTES, 3 ), target( FRAME_BYTES, 0 );
    for ( auto _ : state ) {
        std::memcpy( target.data(), source.data(), FRAME_BYTES );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
}

void BM_BlitTo_FrameIntoWiderPitch( benchmark::State &state ) {
    Image source( FRAME_WIDTH, FRAME_HEIGHT );
    source.Clear( 3 );
    std::vector<uint8_t> surface( size_t( WIDE_PITCH ) * FRAME_HEIGHT, 0 );
    Image target;
    target.SetWidth( FRAME_WIDTH );
    target.SetHeight( FRAME_HEIGHT );
    target.SetPitch( WIDE_PITCH );
    target.SetPixels( surface.data() );
    target.SetClipRect( target.GetBounds() );
    for ( auto _ : state ) {
        source.BlitTo( target, 0, 0, source.GetBounds() );
        benchmark::DoNotOptimize( surface.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
}

} // namespace

BENCHMARK( BM_Memset_CraterBytes );
BENCHMARK( BM_FillEllipse_Crater );
BENCHMARK( BM_Memcpy_Frame );
BENCHMARK( BM_BlitTo_FrameIntoWiderPitch );
