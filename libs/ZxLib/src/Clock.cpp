#include <windows.h>

#include "ZxLib/ZxLib.h"

namespace Clock {

namespace {

LONGLONG Frequency() {
    static const LONGLONG frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart;
    }();
    return frequency;
}

LONGLONG Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

}  // namespace

double NowMs() { return static_cast<double>(Ticks()) * 1000.0 / static_cast<double>(Frequency()); }

double NowUs() { return static_cast<double>(Ticks()) * 1e6 / static_cast<double>(Frequency()); }

long long Now100ns() {
    const LONGLONG t = Ticks(), f = Frequency();
    // Whole seconds and the rest apart, so the product cannot overflow.
    return (t / f) * 10000000 + (t % f) * 10000000 / f;
}

}  // namespace Clock
