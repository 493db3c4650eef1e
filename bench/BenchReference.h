#ifndef KELTO_BENCH_BENCHREFERENCE_H
#define KELTO_BENCH_BENCHREFERENCE_H

// The floor every benchmark is compared with: a memcpy of the same bytes, timed in this
// thread's processor time at the same moment of the same run as the work itself. On a shared
// machine the wall clock counts other programs' time too, so both sides of every ratio are
// processor time.

#include <benchmark/benchmark.h>

#include <cstddef>

// This thread's processor time, in seconds.
double BenchThreadSeconds();

// The processor time of one memcpy of `bytes` bytes between two warm buffers: the median of
// several batches.
double BenchMemcpySeconds( size_t bytes );

// Times the benchmark's loop in this thread's processor time: call Start before the loop and
// Report after it. Report sets the counters "cpu_us" (the work's processor time per iteration)
// and "x_memcpy" (that time over a memcpy of `bytes`, measured right after the loop).
class BenchCpuTimer {
public:
    BenchCpuTimer() : start( 0.0 ) {}
    virtual ~BenchCpuTimer() {}

    void Start() { start = BenchThreadSeconds(); }
    void Report( benchmark::State &state, size_t bytes ) const;

private:
    double start;
};

#endif
