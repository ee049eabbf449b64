// Timing for the benchmarks of the Windows configuration: the performance counter, in seconds.
#pragma once

#include <windows.h>

namespace bench {

// The seconds one call of `body` takes.
template <typename Body>
double timed(Body body) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    body();
    QueryPerformanceCounter(&end);
    return static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
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
