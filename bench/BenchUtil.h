// Timing for the benchmarks: the median over runs of the mean cost of one
// call, in microseconds, from the performance counter.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

inline double BenchNowUs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1e6 / double(frequency.QuadPart);
}

inline double BenchMeasure(int runs, int iterations, const std::function<void()>& fn) {
    fn();  // warm caches and lazy set-up
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        double t0 = BenchNowUs();
        for (int i = 0; i < iterations; ++i) fn();
        samples.push_back((BenchNowUs() - t0) / iterations);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
