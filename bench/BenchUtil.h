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

// Like BenchMeasure, but only fn is timed: prepare runs before each call
// outside the clock (work the bench needs that the measured code does not do).
inline double BenchMeasureAfter(int runs, int iterations, const std::function<void()>& prepare,
                                const std::function<void()>& fn) {
    prepare();
    fn();
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        double spent = 0;
        for (int i = 0; i < iterations; ++i) {
            prepare();
            const double t0 = Clock::NowUs();
            fn();
            spent += Clock::NowUs() - t0;
        }
        samples.push_back(spent / iterations);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
