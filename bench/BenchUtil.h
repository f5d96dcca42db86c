// Timing for the benchmarks: the median over runs of the mean cost of one
// call, in microseconds, from the performance counter.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>
#include "ZxLib/ZxLib.h"

inline double BenchMeasure(int runs, int iterations, const std::function<void()>& fn) {
    fn();  // warm caches and lazy set-up
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        double t0 = Clock::NowUs();
        for (int i = 0; i < iterations; ++i) fn();
        samples.push_back((Clock::NowUs() - t0) / iterations);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
