// One aiming search of the computer player over the bundled land (every barrel elevation and
// charge, coarsely then finely, each flight flown to its end) against the floor of one frame's
// work: memcpy of the 307,200-byte frame. A search must stay far inside one frame's 16 ms.

#include "SourcePaths.h"
#include "ai/AimSearch.h"
#include "game/Weapons.h"
#include "gfx/Image.h"
#include "play/Wind.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const size_t kFrameBytes = 640 * 480;
const int kTankWidth = 35;
const int kTankHeight = 20;
const int kBombSize = 10;

const Image &BundledLand() {
    static Image land( 1, 1 );
    static int loaded = land.LoadBmp( KELTO_ASSETS_DIR "/land.bmp" );
    (void)loaded;
    return land;
}

// Where a tank dropped at `column` comes to rest: its bottom row just on the ground.
int RestingY( const Image &land, int column ) {
    const int probeX = column + kTankWidth / 2;
    for ( int row = 0; row < land.GetHeight(); row++ ) {
        if ( land.GetPixels()[row * land.GetPitch() + probeX] != 0 ) {
            return row - kTankHeight;
        }
    }
    return land.GetHeight() - kTankHeight;
}

void BM_Memcpy_Frame( benchmark::State &state ) {
    std::vector<uint8_t> from( kFrameBytes, 7 ), to( kFrameBytes );
    for ( auto _ : state ) {
        std::memcpy( to.data(), from.data(), kFrameBytes );
        benchmark::DoNotOptimize( to.data() );
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kFrameBytes ) );
}

// From the shooter's column at the target's (range(0), range(1)).
void BM_AimSearch_BundledLand( benchmark::State &state ) {
    const Image &land = BundledLand();
    if ( land.GetWidth() < 1280 ) {
        state.SkipWithError( "assets/land.bmp not readable" );
        return;
    }
    const int shooterX = int( state.range( 0 ) );
    const int targetX = int( state.range( 1 ) );
    AimSearch search;
    search.Init( &land, kBombSize, kBombSize, kTankWidth, kTankHeight );
    Shot shot;
    for ( auto _ : state ) {
        shot = search.Search( shooterX, RestingY( land, shooterX ), 0, targetX, RestingY( land, targetX ) );
        benchmark::DoNotOptimize( shot );
    }
    state.counters["flights"] = search.GetFlights();
    state.counters["covers"] = shot.covers;
}

// The computer's whole choice in the strongest wind: the bomb's search, then the heavy shell
// tried on the bomb's best arc (what a turn at a tank in reach costs).
void BM_AimChoice_StrongWind( benchmark::State &state ) {
    const Image &land = BundledLand();
    if ( land.GetWidth() < 1280 ) {
        state.SkipWithError( "assets/land.bmp not readable" );
        return;
    }
    const int shooterX = int( state.range( 0 ) );
    const int targetX = int( state.range( 1 ) );
    const int shooterY = RestingY( land, shooterX );
    const int targetY = RestingY( land, targetX );
    const int wind = -Wind::MAX_STEPS * Wind::PUSH_PER_STEP;
    AimSearch search;
    search.Init( &land, kBombSize, kBombSize, kTankWidth, kTankHeight );
    Shot shot;
    for ( auto _ : state ) {
        search.SetConditions( wind, WEAPON_BOMB );
        shot = search.Search( shooterX, shooterY, 0, targetX, targetY );
        search.SetConditions( wind, WEAPON_HEAVY );
        shot = search.Try( shooterX, shooterY, 0, shot.facesLeft, shot.barrel, shot.power, targetX, targetY );
        benchmark::DoNotOptimize( shot );
    }
    state.counters["covers"] = shot.covers;
}

} // namespace

BENCHMARK( BM_Memcpy_Frame );
BENCHMARK( BM_AimSearch_BundledLand )->Args( { 300, 900 } )->Args( { 1100, 200 } )->Args( { 600, 700 } );
BENCHMARK( BM_AimChoice_StrongWind )->Args( { 300, 900 } )->Args( { 1100, 200 } )->Args( { 600, 700 } );
