// The computer's thinking as the game spreads it over its updates: one whole plan per
// iteration (targets, weapon, the level's error) over the bundled land, each update's share
// timed on its own in this thread's processor time. Reports the worst and the median update,
// and the median over plans of each plan's worst update, over a memcpy of the 307,200-byte
// frame measured in the same run, processor time against processor time, with the
// microseconds and the updates a plan takes as counters. The plan made all in one update, as
// the computer once did, stands beside it for comparison.
//
// A plan is the same work every time, update by update, so the n-th update of every plan
// does the same sums: the median over plans of the n-th update's time is its work without the
// machine's stalls (an interrupt or a busy neighbour core is charged to whatever thread it
// lands on), and the worst of those medians (work_worst) is the dearest update the thinking
// itself makes. The worst single sample (worst) holds the stalls too; over_1ms counts the
// updates that took longer than a millisecond, and load is the machine's load average at
// the end of the run, to read them by.

#include "SourcePaths.h"
#include "ai/ComputerPlayer.h"
#include "ai/ShotPlanner.h"
#include "bench/BenchReference.h"
#include "gfx/Image.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
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

// A turn of the hard computer with every weapon left: at three tanks in the open (it finds
// its shot at the first), or at three buried deep where nothing reaches them, the most work a
// plan can be: every target searched both ways with the bomb and again with the digger.
PlanStart Turn( const Image &land, int buried ) {
    const int shooter = 300;
    const int targets[] = { 900, 1100, 600 };
    PlanStart start;
    start.x = shooter;
    start.y = RestingY( land, shooter );
    start.tankWidth = kTankWidth;
    start.tankHeight = kTankHeight;
    start.bombWidth = kBombSize;
    start.bombHeight = kBombSize;
    start.level = AimSearch::Hard;
    start.heavyLeft = 1;
    start.diggerLeft = 1;
    start.hasDriven = 1;
    start.count = 3;
    for ( int i = 0; i < start.count; i++ ) {
        start.targetX[i] = targets[i];
        start.targetY[i] = RestingY( land, targets[i] ) + ( buried ? 300 : 0 );
    }
    return start;
}

// range(0): the open turn (0) or the buried one (1); range(1): spread over updates (1) or all
// in one (0).
void BM_ComputerThinking( benchmark::State &state ) {
    const Image &land = BundledLand();
    if ( land.GetWidth() < 1280 ) {
        state.SkipWithError( "assets/land.bmp not readable" );
        return;
    }
    const PlanStart start = Turn( land, int( state.range( 0 ) ) );
    const int64_t share = state.range( 1 ) ? ComputerPlayer::FORECAST_PER_UPDATE : INT64_MAX;
    ShotPlanner planner;
    std::vector<uint8_t> landCopy( size_t( land.GetWidth() ) * size_t( land.GetHeight() ) );
    std::vector<double> updates, firsts, planWorsts;
    std::vector<std::vector<double>> byUpdate; // [n]: the n-th update of every plan
    int plans = 0;
    for ( auto _ : state ) {
        // The game copies the land in the first update and flies from the next; all at once,
        // the land and every flight were one update. Only the thinking is inside the timing:
        // the bookkeeping here (a growing vector's copy) would pass for a stall.
        double planWorst = 0.0;
        for ( int done = 0, update = 0; !done; update++ ) {
            const double begun = BenchThreadSeconds();
            if ( update == 0 ) {
                planner.Begin( land, start, landCopy.data(), landCopy.size() );
            }
            if ( share == INT64_MAX || update > 0 ) {
                done = planner.Continue( share );
            }
            const double spent = BenchThreadSeconds() - begun;
            updates.push_back( spent );
            if ( size_t( update ) >= byUpdate.size() ) {
                byUpdate.resize( size_t( update ) + 1 );
            }
            byUpdate[size_t( update )].push_back( spent );
            if ( update == 0 ) {
                firsts.push_back( spent );
            }
            planWorst = std::max( planWorst, spent );
        }
        planWorsts.push_back( planWorst );
        plans++;
    }
    double total = 0.0, overMillisecond = 0.0;
    for ( double value : updates ) {
        total += value;
        overMillisecond += value > 1e-3 ? 1.0 : 0.0;
    }
    double workWorst = 0.0;
    for ( std::vector<double> &times : byUpdate ) {
        if ( times.size() != size_t( plans ) ) {
            state.SkipWithError( "plans of the same turn took different numbers of updates" );
            return;
        }
        std::sort( times.begin(), times.end() );
        workWorst = std::max( workWorst, times[times.size() / 2] );
    }
    double load[1] = { -1.0 };
    getloadavg( load, 1 );
    std::sort( updates.begin(), updates.end() );
    const double floor = BenchMemcpySeconds( kFrameBytes );
    const double worst = updates.back(), median = updates[updates.size() / 2];
    std::sort( firsts.begin(), firsts.end() );
    // A plan's worst update, typically: what the share makes it, apart from the machine's
    // rare stalls that the worst of all the updates also holds.
    std::sort( planWorsts.begin(), planWorsts.end() );
    state.counters["plan_worst_median_us"] = planWorsts[planWorsts.size() / 2] * 1e6;
    state.counters["plan_worst_median_x_memcpy"] = planWorsts[planWorsts.size() / 2] / floor;
    state.counters["first_worst_us"] = firsts.back() * 1e6;
    state.counters["first_median_us"] = firsts[firsts.size() / 2] * 1e6;
    state.counters["work_worst_us"] = workWorst * 1e6;
    state.counters["work_worst_x_memcpy"] = workWorst / floor;
    state.counters["over_1ms"] = overMillisecond;
    state.counters["samples"] = double( updates.size() );
    state.counters["load"] = load[0];
    state.counters["p99_us"] = updates[updates.size() * 99 / 100] * 1e6;
    state.counters["worst_us"] = worst * 1e6;
    state.counters["median_us"] = median * 1e6;
    state.counters["worst_x_memcpy"] = worst / floor;
    state.counters["median_x_memcpy"] = median / floor;
    state.counters["updates"] = double( updates.size() ) / double( plans );
    state.counters["forecast"] = double( planner.GetUpdatesFlown() );
    state.counters["ns_per_forecast"] = 1e9 * total / double( plans ) / double( planner.GetUpdatesFlown() );
}

// The machine's own stalls, for reading the worst update by: a plain chain of sums as long as
// a thinking update's median, timed the same way. Its worst and its count over a millisecond
// are what the machine adds to any update: on the shared 2-core machine they came in steps of
// about a millisecond (0.8, 1.9, 2.9 ms), half of them across a context switch, none with a
// page fault, a few per 10,000 samples at load 4 to 7.
void BM_MachineStalls( benchmark::State &state ) {
    std::vector<double> samples;
    double value = 1.0;
    for ( auto _ : state ) {
        const double begun = BenchThreadSeconds();
        for ( int i = 0; i < 25000; i++ ) {
            value = value * 1.0000001 + 1e-9;
            benchmark::DoNotOptimize( value );
        }
        samples.push_back( BenchThreadSeconds() - begun );
    }
    double overMillisecond = 0.0;
    for ( double sample : samples ) {
        overMillisecond += sample > 1e-3 ? 1.0 : 0.0;
    }
    std::sort( samples.begin(), samples.end() );
    double load[1] = { -1.0 };
    getloadavg( load, 1 );
    state.counters["median_us"] = samples[samples.size() / 2] * 1e6;
    state.counters["p99_us"] = samples[samples.size() * 99 / 100] * 1e6;
    state.counters["worst_us"] = samples.back() * 1e6;
    state.counters["over_1ms"] = overMillisecond;
    state.counters["samples"] = double( samples.size() );
    state.counters["load"] = load[0];
}

} // namespace

BENCHMARK( BM_MachineStalls )->Iterations( 10000 )->Unit( benchmark::kMicrosecond );
BENCHMARK( BM_ComputerThinking )->ArgsProduct( { { 0, 1 }, { 0, 1 } } )->Unit( benchmark::kMillisecond );
