// The SSE2 path of the colour conversions. On 32-bit builds this file alone
// is compiled for SSE2, and the conversions only call it when the processor
// has it.
//
// Eight pixels at a time, four per register: each pixel's three bytes go to
// one 32-bit lane (blue, green, red and a fourth byte set to 1), split into
// the 16-bit pairs blue-red and green-one, and multiplied by the factors with
// _mm_madd_epi16, which sums two products in 32 bits; the one carries the
// rounding term. Every sum is the plain path's integer sum, exactly, and no
// lane ever leaves its pixel, so almost no shuffling is needed.
#include <emmintrin.h>

#include <cstring>

#include "ZxScaleKernels.h"

namespace zxscale {
namespace {

inline int Load3(const uint8_t* s) {
    uint32_t v;
    std::memcpy(&v, s, 4);  // the fourth byte is masked off
    return static_cast<int>(v);
}

// Pixels 0 to 3 of s (12 bytes; 13 are read) as four 32-bit lanes
// b g r fill.
inline __m128i Spread4(const uint8_t* s, __m128i fill) {
    const __m128i v = _mm_set_epi32(Load3(s + 9), Load3(s + 6), Load3(s + 3), Load3(s));
    return _mm_or_si128(_mm_and_si128(v, _mm_set1_epi32(0x00FFFFFF)), fill);
}

// Four pixels (b g r 1 in 32-bit lanes) as 16-bit pairs: blue and red, and
// green and one.
struct Pairs {
    __m128i br, g1;
};
inline Pairs Split(__m128i v) { return {_mm_and_si128(v, _mm_set1_epi32(0x00FF00FF)), _mm_srli_epi16(v, 8)}; }
inline Pairs Add(Pairs a, Pairs b) { return {_mm_add_epi16(a.br, b.br), _mm_add_epi16(a.g1, b.g1)}; }
// Pixel 0 + 1 in lane 0 and 2 + 3 in lane 2 (lanes 1 and 3 hold rubbish).
inline Pairs AcrossPairs(Pairs p) {
    return {_mm_add_epi16(p.br, _mm_srli_epi64(p.br, 32)), _mm_add_epi16(p.g1, _mm_srli_epi64(p.g1, 32))};
}

// Y = ((66 r + 129 g + 25 b + 128) >> 8) + 16 of each lane: the 16 joins
// the rounding term as 16 x 256.
inline __m128i Luma(Pairs p) {
    const __m128i kbr = _mm_set1_epi32(66 << 16 | 25), kg1 = _mm_set1_epi32((128 + (16 << 8)) << 16 | 129);
    return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(p.br, kbr), _mm_madd_epi16(p.g1, kg1)), 8);
}

// Chroma of sums of n = 2^shift pixels (lanes 0 and 2, the one summed to
// n): [U a, V a, U b, V b] with U = ((-38 r - 74 g + 112 b + (128 << shift))
// >> (8 + shift)) + 128, V likewise. Each sum is copied to the lane beside
// it, so one multiply-add gives U in the first of the two and V in the
// second.
inline __m128i Chroma(Pairs p, int shift) {
    const int ubr = static_cast<int>(static_cast<uint32_t>(-38) << 16 | 112);
    const int ug1 = static_cast<int>(128u << 16 | static_cast<uint16_t>(-74));
    const int vbr = static_cast<int>(112u << 16 | static_cast<uint16_t>(-18));
    const int vg1 = static_cast<int>(128u << 16 | static_cast<uint16_t>(-94));
    const __m128i br = _mm_shuffle_epi32(p.br, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128i g1 = _mm_shuffle_epi32(p.g1, _MM_SHUFFLE(2, 2, 0, 0));
    const __m128i sums = _mm_add_epi32(_mm_madd_epi16(br, _mm_set_epi32(vbr, ubr, vbr, ubr)),
                                       _mm_madd_epi16(g1, _mm_set_epi32(vg1, ug1, vg1, ug1)));
    return _mm_add_epi32(_mm_sra_epi32(sums, _mm_cvtsi32_si128(8 + shift)), _mm_set1_epi32(128));
}

inline void Store4(uint8_t* d, __m128i v) {
    const uint32_t bytes = static_cast<uint32_t>(_mm_cvtsi128_si32(v));
    std::memcpy(d, &bytes, 4);
}

// Eight pixels at a time while every read stays inside the row's bytes.
inline int Runs(int width) { return width > 1 ? (width - 1) / 8 * 8 : 0; }

// The fourth byte of every pixel (a function, not a constant: nothing of
// this file may run before the processor is known to have SSE2).
inline __m128i One() { return _mm_set1_epi32(0x01000000); }

}  // namespace

int Yuy2RowSse2(const uint8_t* s, int width, uint8_t* d) {
    const int n = Runs(width);
    for (int x = 0; x < n; x += 8, s += 24, d += 16) {
        __m128i words[2];
        for (int h = 0; h < 2; ++h) {
            const Pairs p = Split(Spread4(s + 12 * h, One()));
            // Y0 U Y1 V Y2 U Y3 V as 16-bit words.
            words[h] = _mm_or_si128(Luma(p), _mm_slli_epi32(Chroma(AcrossPairs(p), 1), 16));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(words[0], words[1]));
    }
    return n;
}

int Yuv420RowsSse2(const uint8_t* s0, const uint8_t* s1, int width, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                   int step) {
    const int n = Runs(width);
    for (int x = 0; x < n; x += 8) {
        __m128i top[2], bottom[2], chroma[2];
        for (int h = 0; h < 2; ++h) {
            const Pairs a = Split(Spread4(s0 + 3 * x + 12 * h, One()));
            const Pairs b = Split(Spread4(s1 + 3 * x + 12 * h, One()));
            top[h] = Luma(a);
            bottom[h] = Luma(b);
            // Each 2 x 2 block: down, then across.
            chroma[h] = Chroma(AcrossPairs(Add(a, b)), 2);
        }
        const __m128i lumaBytes =
            _mm_packus_epi16(_mm_packs_epi32(top[0], top[1]), _mm_packs_epi32(bottom[0], bottom[1]));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(y0 + x), lumaBytes);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(y1 + x), _mm_srli_si128(lumaBytes, 8));
        // U V U V U V U V as 16-bit words.
        const __m128i uv = _mm_packs_epi32(chroma[0], chroma[1]);
        const int i = x / 2 * step;
        if (step == 2) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(u + i), _mm_packus_epi16(uv, uv));
        } else {
            const __m128i planes =
                _mm_packs_epi32(_mm_and_si128(uv, _mm_set1_epi32(0xFFFF)), _mm_srli_epi32(uv, 16));
            const __m128i bytes = _mm_packus_epi16(planes, planes);
            Store4(u + i, bytes);
            Store4(v + i, _mm_srli_si128(bytes, 4));
        }
    }
    return n;
}

int Rgb32RowSse2(const uint8_t* s, int width, uint8_t* d) {
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const int n = Runs(width);
    for (int x = 0; x < n; x += 4, s += 12, d += 16) _mm_storeu_si128(reinterpret_cast<__m128i*>(d), Spread4(s, alpha));
    return n;
}

}  // namespace zxscale
