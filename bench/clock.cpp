// QueryPerformanceCounter: under Wine it reads the host's monotonic clock at
// a fixed 10 MHz, so one tick is 100 ns; every timed stretch here is long
// enough that this rounding stays below a thousandth.
#include "clock.h"

#include <windows.h>

namespace bench {

namespace {

double frequency() {
    static const double perSecond = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    return perSecond;
}

}  // namespace

int64_t ticks() {
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

double ticksToSeconds(int64_t elapsed) {
    return static_cast<double>(elapsed) / frequency();
}

double tickNanoseconds() {
    return 1e9 / frequency();
}

}  // namespace bench
