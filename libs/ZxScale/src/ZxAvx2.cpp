// The AVX2 paths of the YUV conversions, chosen at run time where the
// processor and the system have AVX2; this file alone is compiled for it.
//
// Sixteen pixels a step, and no splitting into planes: each pixel's three
// bytes are spread to four, b g r g, and one multiply-add of bytes
// (vpmaddubsw) then gives two 16-bit partial sums per pixel; the second g
// carries what is left of green's factor when the first is as large as the
// signed bytes and the 16-bit partials allow. Adding neighbouring words
// (vphaddw) gives each pixel's sum, and adding them again the sum of a pair
// of pixels for the chroma of YUY2. Luma's sum (up to 56,100 plus the
// rounding) wraps as a signed word but is right as an unsigned one, and is
// shifted as such. Chroma uses the halved factors (every factor is even), so
// a pair's sum stays within a signed word and 4:2:0's two rows are summed in
// 32 bits. Every result is the plain path's, exactly.
//
// A 256-bit register holds two 128-bit lanes and the byte shuffles and
// horizontal adds work within a lane, so the loads are laid out for that:
// register A holds pixels 0-3 and 8-11, register B pixels 4-7 and 12-15, and
// adding A's and B's neighbouring words then gives pixels 0-7 in the low
// lane and 8-15 in the high one. B's high lane is loaded from byte 32 (not
// 36), so a step reads exactly its 48 bytes.
#include <immintrin.h>

#include "ZxScaleKernels.h"

namespace zxscale {

namespace {

inline __m256i Load2(const uint8_t* low, const uint8_t* high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(high)), 1);
}

// b g r g of four pixels from byte `from` of a lane on.
#define ZX_SPREAD(from)                                                                                      \
    (from) + 0, (from) + 1, (from) + 2, (from) + 1, (from) + 3, (from) + 4, (from) + 5, (from) + 4, (from) + 6, \
        (from) + 7, (from) + 8, (from) + 7, (from) + 9, (from) + 10, (from) + 11, (from) + 10

// The factors of b g r g. Luma: 25 b + 129 g + 66 r with green as 67 + 62
// (partials up to 255 x 92 and 255 x 128, within a signed word). Chroma,
// halved: U = 56 b - 37 g - 19 r, V = -9 b - 47 g + 56 r.
#define ZX_FOUR(a, b, c, d) a, b, c, d, a, b, c, d, a, b, c, d, a, b, c, d

// The pixels of a step as b g r g: A (pixels 0-3, 8-11), B (4-7, 12-15).
struct Spread {
    __m256i a, b;
};
inline Spread SpreadStep(const uint8_t* s) {
    const __m256i spreadA = _mm256_setr_epi8(ZX_SPREAD(0), ZX_SPREAD(0));
    const __m256i spreadB = _mm256_setr_epi8(ZX_SPREAD(0), ZX_SPREAD(4));
    return {_mm256_shuffle_epi8(Load2(s, s + 24), spreadA), _mm256_shuffle_epi8(Load2(s + 12, s + 32), spreadB)};
}

// Each pixel's sum of b g r g times the factors, pixels 0-15 in order.
inline __m256i PixelSums(const Spread& p, __m256i factors) {
    return _mm256_hadd_epi16(_mm256_maddubs_epi16(p.a, factors), _mm256_maddubs_epi16(p.b, factors));
}

// Y of pixels 0-15 in 16-bit lanes: (sum + 128 + 16 x 256) >> 8, unsigned.
inline __m256i Luma(const Spread& p) {
    const __m256i sum = PixelSums(p, _mm256_setr_epi8(ZX_FOUR(25, 67, 66, 62), ZX_FOUR(25, 67, 66, 62)));
    return _mm256_srli_epi16(_mm256_add_epi16(sum, _mm256_set1_epi16(128 + (16 << 8))), 8);
}
inline __m256i UFactors() { return _mm256_setr_epi8(ZX_FOUR(56, -18, -19, -19), ZX_FOUR(56, -18, -19, -19)); }
inline __m256i VFactors() { return _mm256_setr_epi8(ZX_FOUR(-9, -23, 56, -24), ZX_FOUR(-9, -23, 56, -24)); }

#undef ZX_SPREAD
#undef ZX_FOUR

}  // namespace

int Yuy2RowAvx2(const uint8_t* s, int width, uint8_t* d) {
    // Chroma words U0-3 V0-3 (low lane; U4-7 V4-7 high) to the high byte of
    // the words that hold Y0 U0 Y1 V0 ...
    const __m256i interleave =
        _mm256_setr_epi8(-128, 0, -128, 8, -128, 2, -128, 10, -128, 4, -128, 12, -128, 6, -128, 14, -128, 0, -128, 8,
                         -128, 2, -128, 10, -128, 4, -128, 12, -128, 6, -128, 14);
    const int n = width / 16 * 16;
    for (int x = 0; x < n; x += 16, s += 48, d += 32) {
        const Spread p = SpreadStep(s);
        // Sums of pixel pairs, U then V in each lane: ((sum + 128) >> 8) +
        // 128 as an unsigned shift of sum + 128 + 128 x 256 (the sum stays
        // within +-28,560).
        const __m256i pairs = _mm256_hadd_epi16(PixelSums(p, UFactors()), PixelSums(p, VFactors()));
        const __m256i chroma = _mm256_srli_epi16(_mm256_add_epi16(pairs, _mm256_set1_epi16(-32640)), 8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                            _mm256_or_si256(Luma(p), _mm256_shuffle_epi8(chroma, interleave)));
    }
    return n;
}

int Yuv420RowsAvx2(const uint8_t* s0, const uint8_t* s1, int width, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                   int step) {
    const __m256i ones = _mm256_set1_epi16(1), round = _mm256_set1_epi32(256), mid = _mm256_set1_epi16(128);
    // Chroma words U0-3 V0-3 (and U4-7 V4-7 in the high lane) as bytes: the
    // planes' order (U0-3, V0-3) or interleaved (U0 V0 U1 V1 ...).
    const __m256i planes = _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, -128, -128, -128, -128, -128, -128, -128, -128,
                                            0, 2, 4, 6, 8, 10, 12, 14, -128, -128, -128, -128, -128, -128, -128, -128);
    const __m256i pairs = _mm256_setr_epi8(0, 8, 2, 10, 4, 12, 6, 14, -128, -128, -128, -128, -128, -128, -128, -128,
                                           0, 8, 2, 10, 4, 12, 6, 14, -128, -128, -128, -128, -128, -128, -128, -128);
    // Then the 32-bit groups in order: U0-3 U4-7 V0-3 V4-7, or UV0-1 UV2-3
    // UV4-5 UV6-7.
    const __m256i planeOrder = _mm256_setr_epi32(0, 4, 1, 5, 2, 3, 6, 7);
    const __m256i pairOrder = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    const int n = width / 16 * 16;
    for (int x = 0; x < n; x += 16) {
        const Spread top = SpreadStep(s0 + 3 * x), bottom = SpreadStep(s1 + 3 * x);
        // Luma bytes: top 0-7, bottom 0-7 | top 8-15, bottom 8-15, put in
        // order by 64-bit groups.
        const __m256i luma = _mm256_permute4x64_epi64(_mm256_packus_epi16(Luma(top), Luma(bottom)), 0xD8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y0 + x), _mm256_castsi256_si128(luma));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(y1 + x), _mm256_extracti128_si256(luma, 1));
        // Per pixel, the two rows summed (within +-28,560), then each 2 x 2
        // block in 32 bits: (sum + 256) >> 9.
        const __m256i uPixels = _mm256_add_epi16(PixelSums(top, UFactors()), PixelSums(bottom, UFactors()));
        const __m256i vPixels = _mm256_add_epi16(PixelSums(top, VFactors()), PixelSums(bottom, VFactors()));
        const __m256i uBlocks = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(uPixels, ones), round), 9);
        const __m256i vBlocks = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(vPixels, ones), round), 9);
        const __m256i chroma = _mm256_add_epi16(_mm256_packs_epi32(uBlocks, vBlocks), mid);
        const int i = x / 2 * step;
        if (step == 2) {
            const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(chroma, pairs), pairOrder);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(u + i), _mm256_castsi256_si128(bytes));
        } else {
            const __m128i bytes =
                _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(chroma, planes), planeOrder));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(u + i), bytes);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(v + i), _mm_srli_si128(bytes, 8));
        }
    }
    return n;
}

}  // namespace zxscale
