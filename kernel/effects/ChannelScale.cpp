#include "ChannelScale.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

// x64 only: there single-precision products are SSE products, so the
// vector path gives the table's bytes exactly (x87 code may keep more
// precision).
#if defined(_M_X64) || defined(__x86_64__)
#include <emmintrin.h>
#define ZX_CHANNEL_SSE2 1
#endif

namespace {

// The factor as the float the product is computed with. Converting a double
// outside the float range is undefined, so such factors saturate; NaN has no
// meaningful product and becomes 0.
float ToSingle(double factor) {
    if (factor != factor) return 0.0f;
    if (factor > FLT_MAX) return FLT_MAX;
    if (factor < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(factor);
}

// table[v] = v x factor in single precision, clamped to 0..255, truncated.
// Computing the 256 possible results once per frame keeps floating point out
// of the per-pixel loop while giving exactly the same bytes.
void BuildTable(float factor, BYTE table[256]) {
    for (int v = 0; v < 256; ++v) {
        float product = static_cast<float>(v) * factor;
        // Negative products and NaN (which fails every comparison) become 0.
        if (!(product > 0.0f)) product = 0.0f;
        if (product > 255.0f) product = 255.0f;
        table[v] = static_cast<BYTE>(product);
    }
}

#ifdef ZX_CHANNEL_SSE2
// bytes bytes (a multiple of 48) from p, scaled in place with the same
// single-precision products as the table: each byte to a float, multiplied
// by its channel's factor (factors holds the factors of twelve bytes in
// turn, a whole number of pixels), at most 255, truncated; negative products
// end at 0 when packed. The factors are never NaN (see ToSingle).
// Four bytes (as 32-bit lanes) times four factors, at most 255, truncated.
inline __m128i Products(__m128i bytes, __m128 factors) {
    return _mm_cvttps_epi32(_mm_min_ps(_mm_mul_ps(_mm_cvtepi32_ps(bytes), factors), _mm_set1_ps(255.0f)));
}

// Sixteen bytes whose first lies at channel f0's factors (f1 and f2 the
// following groups of four).
inline __m128i Scale16(__m128i v, __m128 f0, __m128 f1, __m128 f2) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_unpacklo_epi8(v, zero), hi = _mm_unpackhi_epi8(v, zero);
    const __m128i a = _mm_packs_epi32(Products(_mm_unpacklo_epi16(lo, zero), f0), Products(_mm_unpackhi_epi16(lo, zero), f1));
    const __m128i b = _mm_packs_epi32(Products(_mm_unpacklo_epi16(hi, zero), f2), Products(_mm_unpackhi_epi16(hi, zero), f0));
    return _mm_packus_epi16(a, b);
}

void ScaleRunSse2(BYTE* p, size_t bytes, const float factors[12]) {
    // Groups of four bytes start at channels 0, 1 and 2 in turn.
    const __m128 f0 = _mm_loadu_ps(factors), f1 = _mm_loadu_ps(factors + 4), f2 = _mm_loadu_ps(factors + 8);
    for (BYTE* const end = p + bytes; p != end; p += 48) {
        __m128i* q = reinterpret_cast<__m128i*>(p);
        _mm_storeu_si128(q, Scale16(_mm_loadu_si128(q), f0, f1, f2));
        _mm_storeu_si128(q + 1, Scale16(_mm_loadu_si128(q + 1), f1, f2, f0));
        _mm_storeu_si128(q + 2, Scale16(_mm_loadu_si128(q + 2), f2, f0, f1));
    }
}
#endif

}  // namespace

void ScaleChannels(BYTE* frame, const VideoFrameFormat& format, double redFactor, double greenFactor,
                   double blueFactor) {
    const int width = format.bmiHeader.biWidth;
    const int height = std::abs(static_cast<int>(format.bmiHeader.biHeight));
    if (!frame || width <= 0 || height <= 0 || format.bmiHeader.biBitCount != 24) return;
    BYTE red[256], green[256], blue[256];
    BuildTable(ToSingle(redFactor), red);
    BuildTable(ToSingle(greenFactor), green);
    BuildTable(ToSingle(blueFactor), blue);
    const size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    size_t run = 0;  // bytes of each row done 48 at a time
#ifdef ZX_CHANNEL_SSE2
    const float channel[3] = {ToSingle(blueFactor), ToSingle(greenFactor), ToSingle(redFactor)};
    float factors[12];
    for (int j = 0; j < 12; ++j) factors[j] = channel[j % 3];
    run = rowBytes / 48 * 48;
    for (int i = 0; i < height && run > 0; ++i) ScaleRunSse2(frame + stride * static_cast<size_t>(i), run, factors);
#endif
    for (int i = 0; i < height; ++i) {
        BYTE* p = frame + stride * static_cast<size_t>(i) + run;
        BYTE* const end = frame + stride * static_cast<size_t>(i) + rowBytes;
        for (; p != end; p += 3) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        }
    }
}
