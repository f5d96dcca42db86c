// The SSE2 path of the scaler. On 32-bit builds this file alone is compiled
// for SSE2, and the scaler only calls it when the processor has it.
#include <emmintrin.h>

#include <cstring>

#include "ZxScaleKernels.h"

namespace zxscale {

void VerticalSse2(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i round = _mm_set1_epi32(64);
    int b = 0;
    for (; b + 16 <= bytes; b += 16) {
        __m128i acc0 = round, acc1 = round, acc2 = round, acc3 = round;
        for (int k = 0; k < taps; k += 2) {
            // Two rows at once: their bytes interleaved as 16-bit pairs, each
            // pair multiplied by the two rows' weights and summed.
            const __m128i w = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(weights[k])) |
                                                              (static_cast<uint32_t>(static_cast<uint16_t>(weights[k + 1])) << 16)));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + b));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k + 1] + b));
            const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
            const __m128i clo = _mm_unpacklo_epi8(c, zero), chi = _mm_unpackhi_epi8(c, zero);
            acc0 = _mm_add_epi32(acc0, _mm_madd_epi16(_mm_unpacklo_epi16(alo, clo), w));
            acc1 = _mm_add_epi32(acc1, _mm_madd_epi16(_mm_unpackhi_epi16(alo, clo), w));
            acc2 = _mm_add_epi32(acc2, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, chi), w));
            acc3 = _mm_add_epi32(acc3, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, chi), w));
        }
        const __m128i lo = _mm_packs_epi32(_mm_srai_epi32(acc0, 7), _mm_srai_epi32(acc1, 7));
        const __m128i hi = _mm_packs_epi32(_mm_srai_epi32(acc2, 7), _mm_srai_epi32(acc3, 7));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + b + 8), hi);
    }
    for (; b < bytes; ++b) {
        int32_t acc = 64;
        for (int k = 0; k < taps; ++k) acc += weights[k] * rows[k][b];
        out[b] = static_cast<int16_t>(acc >> 7);
    }
}

void HorizontalSse2(const int16_t* row, const int* start, const int32_t* pairs, int taps, int dstWidth, uint8_t* out) {
    const __m128i round = _mm_set1_epi32(1 << 20);
    const int pairCount = taps / 2;
    for (int x = 0; x < dstWidth; ++x) {
        const int16_t* p = row + 3 * start[x];
        const int32_t* w = pairs + static_cast<size_t>(x) * static_cast<size_t>(pairCount);
        __m128i acc = round;
        for (int t = 0; t < pairCount; ++t) {
            // Four samples from each pixel (blue, green, red and the next
            // pixel's blue, which only fills the unused fourth lane).
            const __m128i a = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6 * t));
            const __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6 * t + 3));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_unpacklo_epi16(a, c), _mm_set1_epi32(w[t])));
        }
        const __m128i v = _mm_srai_epi32(acc, 21);
        const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(v, v), _mm_setzero_si128());
        const uint32_t bgr = static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
        if (x + 1 < dstWidth) {
            // Four bytes; the fourth is the next pixel's and is written again.
            std::memcpy(out + 3 * x, &bgr, 4);
        } else {
            out[3 * x] = static_cast<uint8_t>(bgr);
            out[3 * x + 1] = static_cast<uint8_t>(bgr >> 8);
            out[3 * x + 2] = static_cast<uint8_t>(bgr >> 16);
        }
    }
}

void PairsAcrossSse2(const int16_t* row, int dstWidth, uint8_t* scratch, uint8_t* out) {
    // Every sample plus the one three on (the same channel of the next
    // pixel), rounded to a byte; pixel x then takes bytes 6x to 6x + 2.
    // The sums stay below 65536, so they are added and shifted unsigned.
    const int samples = 6 * dstWidth;
    const __m128i round = _mm_set1_epi16(128);
    int i = 0;
    for (; i + 16 <= samples; i += 16) {
        const __m128i a = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + 3)));
        const __m128i b = _mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + 8)),
                                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i + 11)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(scratch + i),
                         _mm_packus_epi16(_mm_srli_epi16(_mm_add_epi16(a, round), 8),
                                          _mm_srli_epi16(_mm_add_epi16(b, round), 8)));
    }
    for (; i < samples; ++i) {
        const int v = (static_cast<uint16_t>(row[i]) + static_cast<uint16_t>(row[i + 3]) + 128) >> 8;
        scratch[i] = static_cast<uint8_t>(v > 255 ? 255 : v);
    }
    // Four bytes per pixel, the fourth overwritten by the next pixel.
    for (int x = 0; x + 1 < dstWidth; ++x) std::memcpy(out + 3 * x, scratch + 6 * x, 4);
    std::memcpy(out + 3 * (dstWidth - 1), scratch + 6 * (dstWidth - 1), 3);
}

void PairSumSse2(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 16 <= bytes; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_add_epi16(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8),
                         _mm_add_epi16(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero)));
    }
    for (; i < bytes; ++i) out[i] = static_cast<uint16_t>(a[i] + b[i]);
}

}  // namespace zxscale
