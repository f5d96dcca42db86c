// Which vector instructions the processor (and, for AVX2, the system) has.
// Kept apart from the vector paths themselves: those files are compiled for
// their instruction sets, and a check compiled for SSSE3 or AVX2 may itself
// use them on the very processor that lacks them.
#include <windows.h>

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

#include "ZxScaleKernels.h"

namespace zxscale {

bool Sse2Available() {
#if defined(_M_X64) || defined(__x86_64__)
    return true;
#else
    static const bool available = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != FALSE;
    return available;
#endif
}

bool Ssse3Available() {
    static const bool available = [] {
#if defined(_MSC_VER)
        int info[4];
        __cpuid(info, 1);
        return (info[2] & (1 << 9)) != 0;
#else
        unsigned a = 0, b = 0, c = 0, d = 0;
        return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_SSSE3) != 0;
#endif
    }();
    return available;
}

// AVX2 needs the processor's instructions and the system saving the 256-bit
// registers (XCR0 bits 1 and 2).
bool Avx2Available() {
    static const bool available = [] {
#if defined(_MSC_VER)
        int info[4];
        __cpuid(info, 0);
        if (info[0] < 7) return false;
        __cpuid(info, 1);
        if ((info[2] & (1 << 27)) == 0 || (info[2] & (1 << 28)) == 0) return false;
        if ((_xgetbv(0) & 6) != 6) return false;
        __cpuidex(info, 7, 0);
        return (info[1] & (1 << 5)) != 0;
#else
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!__get_cpuid(1, &a, &b, &c, &d) || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0) return false;
        unsigned low = 0, high = 0;
        __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
        if ((low & 6) != 6) return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2) != 0;
#endif
    }();
    return available;
}

}  // namespace zxscale
