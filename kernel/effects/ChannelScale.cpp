#include "ChannelScale.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#if defined(_M_X64) || defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define ZX_CHANNEL_SSE2 1
#endif

namespace {

// One channel's factor in fixed point: the product of a byte v is
// (v x lift) x multiplier >> 16, where lift = 2^(16 - s) and multiplier =
// ceil(factor x 2^s), with s as large as keeps the multiplier in 16 bits.
// v x lift stays in 16 bits (s >= 8, lift <= 256), so one 16-bit multiply
// of each and the high half of a second give the product.
struct Fixed {
    uint16_t lift;
    uint16_t multiplier;
};

Fixed ToFixed(double factor) {
    // Not a number and negative factors give 0; from 256 on every byte but 0
    // ends at 255, which the largest multiplier at s = 8 gives too.
    if (!(factor > 0.0)) return {256, 0};
    if (factor >= 256.0) return {256, 65535};
    int s = 15;
    while (s > 8 && std::ceil(factor * static_cast<double>(1 << s)) > 65535.0) --s;
    const double m = std::ceil(factor * static_cast<double>(1 << s));
    return {static_cast<uint16_t>(1 << (16 - s)), static_cast<uint16_t>(m > 65535.0 ? 65535.0 : m)};
}

// table[v] = the fixed-point product of v, at most 255: the same bytes as
// the vector path.
void BuildTable(Fixed f, BYTE table[256]) {
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t product = ((v * f.lift) & 0xFFFFu) * f.multiplier >> 16;
        table[v] = static_cast<BYTE>(product > 255 ? 255 : product);
    }
}

#ifdef ZX_CHANNEL_SSE2
// bytes bytes (a multiple of 48) from p, scaled in place, eight bytes per
// multiply; lifts and multipliers hold those of 24 bytes in turn (the
// channels repeat every three bytes), in three registers each. When every
// channel has the same lift (the usual case: every factor below 2) it is
// one shift.
template <bool Shared>
void ScaleRunSse2(BYTE* p, size_t bytes, const __m128i lifts[3], __m128i shift, const __m128i multipliers[3]) {
    const __m128i zero = _mm_setzero_si128();
    auto product = [&](__m128i v, int r) {
        const __m128i lifted = Shared ? _mm_sll_epi16(v, shift) : _mm_mullo_epi16(v, lifts[r]);
        return _mm_mulhi_epu16(lifted, multipliers[r]);
    };
    for (BYTE* const end = p + bytes; p != end; p += 48) {
        __m128i* q = reinterpret_cast<__m128i*>(p);
        // Bytes 16k to 16k + 7 start at register (2k) % 3 of the cycle, the
        // next eight at (2k + 1) % 3.
        const __m128i v0 = _mm_loadu_si128(q), v1 = _mm_loadu_si128(q + 1), v2 = _mm_loadu_si128(q + 2);
        _mm_storeu_si128(q, _mm_packus_epi16(product(_mm_unpacklo_epi8(v0, zero), 0),
                                             product(_mm_unpackhi_epi8(v0, zero), 1)));
        _mm_storeu_si128(q + 1, _mm_packus_epi16(product(_mm_unpacklo_epi8(v1, zero), 2),
                                                 product(_mm_unpackhi_epi8(v1, zero), 0)));
        _mm_storeu_si128(q + 2, _mm_packus_epi16(product(_mm_unpacklo_epi8(v2, zero), 1),
                                                 product(_mm_unpackhi_epi8(v2, zero), 2)));
    }
}
#endif

}  // namespace

void ScaleChannels(BYTE* frame, const VideoFrameFormat& format, double redFactor, double greenFactor,
                   double blueFactor) {
    const int width = format.bmiHeader.biWidth;
    const int height = std::abs(static_cast<int>(format.bmiHeader.biHeight));
    if (!frame || width <= 0 || height <= 0 || format.bmiHeader.biBitCount != 24) return;
    // Blue, green, red: the order of the bytes of a pixel.
    const Fixed channel[3] = {ToFixed(blueFactor), ToFixed(greenFactor), ToFixed(redFactor)};
    BYTE tables[3][256];
    for (int c = 0; c < 3; ++c) BuildTable(channel[c], tables[c]);
    const size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    size_t run = 0;  // bytes of each row done 48 at a time
#ifdef ZX_CHANNEL_SSE2
    uint16_t lift[24], multiplier[24];
    for (int j = 0; j < 24; ++j) {
        lift[j] = channel[j % 3].lift;
        multiplier[j] = channel[j % 3].multiplier;
    }
    __m128i lifts[3], multipliers[3];
    for (int r = 0; r < 3; ++r) {
        lifts[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lift + 8 * r));
        multipliers[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(multiplier + 8 * r));
    }
    run = rowBytes / 48 * 48;
    const bool shared = channel[0].lift == channel[1].lift && channel[1].lift == channel[2].lift;
    int bits = 0;
    while ((1 << bits) < channel[0].lift) ++bits;
    const __m128i shift = _mm_cvtsi32_si128(bits);
    for (int i = 0; i < height && run > 0; ++i) {
        BYTE* row = frame + stride * static_cast<size_t>(i);
        if (shared)
            ScaleRunSse2<true>(row, run, lifts, shift, multipliers);
        else
            ScaleRunSse2<false>(row, run, lifts, shift, multipliers);
    }
#endif
    for (int i = 0; i < height; ++i) {
        BYTE* p = frame + stride * static_cast<size_t>(i) + run;
        BYTE* const end = frame + stride * static_cast<size_t>(i) + rowBytes;
        for (; p != end; p += 3) {
            p[0] = tables[0][p[0]];
            p[1] = tables[1][p[1]];
            p[2] = tables[2][p[2]];
        }
    }
}
