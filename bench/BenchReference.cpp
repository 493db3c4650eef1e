#include "bench/BenchReference.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

double BenchThreadSeconds() {
    timespec now;
    clock_gettime( CLOCK_THREAD_CPUTIME_ID, &now );
    return double( now.tv_sec ) + double( now.tv_nsec ) * 1e-9;
}

double BenchMemcpySeconds( size_t bytes ) {
    static const int BATCHES = 15;
    static const int COPIES = 64;
    std::vector<unsigned char> source( bytes, 3 ), target( bytes, 0 );
    std::memcpy( target.data(), source.data(), bytes );
    std::vector<double> times;
    for ( int batch = 0; batch < BATCHES; batch++ ) {
        const double start = BenchThreadSeconds();
        for ( int copy = 0; copy < COPIES; copy++ ) {
            std::memcpy( target.data(), source.data(), bytes );
            benchmark::DoNotOptimize( target.data() );
            benchmark::ClobberMemory();
        }
        times.push_back( ( BenchThreadSeconds() - start ) / COPIES );
    }
    std::sort( times.begin(), times.end() );
    return times[times.size() / 2];
}

void BenchCpuTimer::Report( benchmark::State &state, size_t bytes ) const {
    if ( state.iterations() == 0 ) {
        return;
    }
    const double perIteration = ( BenchThreadSeconds() - start ) / double( state.iterations() );
    const double floor = BenchMemcpySeconds( bytes );
    state.counters["cpu_us"] = perIteration * 1e6;
    state.counters["x_memcpy"] = floor > 0.0 ? perIteration / floor : 0.0;
}
