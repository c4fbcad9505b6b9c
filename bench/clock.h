// The benchmarks' one clock: QueryPerformanceCounter, read as ticks and
// turned into time only when a figure is made.
#ifndef QUILL_BENCH_CLOCK_H
#define QUILL_BENCH_CLOCK_H

#include <stdint.h>

namespace bench {

int64_t ticks();
double ticksToSeconds(int64_t ticks);

inline double ticksToMilliseconds(int64_t elapsed) {
    return ticksToSeconds(elapsed) * 1e3;
}

inline double ticksToMicroseconds(int64_t elapsed) {
    return ticksToSeconds(elapsed) * 1e6;
}

inline double ticksToNanoseconds(int64_t elapsed) {
    return ticksToSeconds(elapsed) * 1e9;
}

// The counter's resolution, for the report.
double tickNanoseconds();

}  // namespace bench

#endif
