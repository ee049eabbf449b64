// Timing for the benchmarks of the Windows configuration: the performance counter, in seconds.
#pragma once

#include <windows.h>

namespace bench {

// The performance counter's reading in seconds, for laps within one timed run.
inline double now() {
    static const double frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<double>(value.QuadPart);
    }();
    LARGE_INTEGER reading;
    QueryPerformanceCounter(&reading);
    return static_cast<double>(reading.QuadPart) / frequency;
}

// The seconds one call of `body` takes.
template <typename Body>
double timed(Body body) {
    const double start = now();
    body();
    return now() - start;
}

// The best of `runs` timed calls of `body`.
template <typename Body>
double bestOf(int runs, Body body) {
    double best = 1e30;
    for (int run = 0; run < runs; ++run) {
        const double elapsed = timed(body);
        best = elapsed < best ? elapsed : best;
    }
    return best;
}

} // namespace bench
