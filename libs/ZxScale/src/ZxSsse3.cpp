// The SSSE3 paths of the colour conversions and of the camera's halving
// scale, chosen at run time on both builds where the processor has SSSE3
// (every x64 processor since about 2008); this file alone is compiled for it.
//
// Conversions: sixteen pixels at a time: three 16-byte loads are split by byte shuffles
// into planes of blue, green and red bytes. Luma is worked out in 16-bit
// lanes, exactly as the plain path does (66 r + 129 g + 25 b + 128 + 16 x 256
// never exceeds 16 bits). Chroma takes the pixels' sums across (and down) with
// one multiply-add of bytes per plane; with the factors halved (all of them
// are even) a sum of two pixels' factors still fits in 16 bits, so U and V
// of YUY2 are 16-bit arithmetic too; the four-pixel sums of 4:2:0 use 32-bit
// multiply-adds. Every result is the plain path's, exactly.
#include <tmmintrin.h>

#include <array>

#include "ZxScaleKernels.h"

namespace zxscale {

namespace {

// Shuffle masks that take, out of the 48 bytes of 16 pixels, byte 3 i + c
// of pixel i from the part-th 16 bytes (and zero where pixel i's byte lies
// in another part).
using Mask = std::array<int8_t, 16>;
constexpr Mask PlaneMask(int c, int part) {
    Mask m{};
    for (int i = 0; i < 16; ++i) {
        const int at = 3 * i + c;
        m[static_cast<size_t>(i)] = static_cast<int8_t>(at / 16 == part ? at % 16 : -128);
    }
    return m;
}
alignas(16) constexpr Mask kMasks[3][3] = {{PlaneMask(0, 0), PlaneMask(0, 1), PlaneMask(0, 2)},
                                           {PlaneMask(1, 0), PlaneMask(1, 1), PlaneMask(1, 2)},
                                           {PlaneMask(2, 0), PlaneMask(2, 1), PlaneMask(2, 2)}};

inline __m128i Load(const uint8_t* s) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(s)); }
inline __m128i MaskOf(int c, int part) { return _mm_load_si128(reinterpret_cast<const __m128i*>(kMasks[c][part].data())); }

// The blue, green and red bytes of 16 pixels.
struct Planes {
    __m128i b, g, r;
};
inline Planes Split(const uint8_t* s) {
    const __m128i v0 = Load(s), v1 = Load(s + 16), v2 = Load(s + 32);
    __m128i p[3];
    for (int c = 0; c < 3; ++c)
        p[c] = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(v0, MaskOf(c, 0)), _mm_shuffle_epi8(v1, MaskOf(c, 1))),
                            _mm_shuffle_epi8(v2, MaskOf(c, 2)));
    return {p[0], p[1], p[2]};
}

// Y = (66 r + 129 g + 25 b + 128 + 16 x 256) >> 8 of eight pixels in 16-bit
// lanes (the sum stays below 2^16, so unsigned 16-bit arithmetic is exact).
inline __m128i Luma8(__m128i b, __m128i g, __m128i r) {
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(r, _mm_set1_epi16(66)), _mm_mullo_epi16(g, _mm_set1_epi16(129))),
                                      _mm_add_epi16(_mm_mullo_epi16(b, _mm_set1_epi16(25)), _mm_set1_epi16(128 + (16 << 8))));
    return _mm_srli_epi16(sum, 8);
}
// Luma of 16 pixels: pixels 0 to 7 and 8 to 15 in 16-bit lanes.
struct Luma16 {
    __m128i lo, hi;
};
inline Luma16 Luma(const Planes& p) {
    const __m128i zero = _mm_setzero_si128();
    return {Luma8(_mm_unpacklo_epi8(p.b, zero), _mm_unpacklo_epi8(p.g, zero), _mm_unpacklo_epi8(p.r, zero)),
            Luma8(_mm_unpackhi_epi8(p.b, zero), _mm_unpackhi_epi8(p.g, zero), _mm_unpackhi_epi8(p.r, zero))};
}

// Sums of each two neighbouring bytes, in 16-bit lanes.
inline __m128i PairSums(__m128i bytes) { return _mm_maddubs_epi16(bytes, _mm_set1_epi8(1)); }

// (f1 a + f2 b + f3 c + 128 + 128 x 256) >> 8 in unsigned 16-bit lanes,
// which is ((f1 a + f2 b + f3 c + 128) >> 8) + 128 while the signed sum
// stays within +-2^15 - 128 (so the unsigned sum is exact).
inline __m128i Chroma16(__m128i a, int f1, __m128i b, int f2, __m128i c, int f3) {
    const __m128i sum =
        _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(a, _mm_set1_epi16(static_cast<int16_t>(f1))),
                                    _mm_mullo_epi16(b, _mm_set1_epi16(static_cast<int16_t>(f2)))),
                      _mm_add_epi16(_mm_mullo_epi16(c, _mm_set1_epi16(static_cast<int16_t>(f3))), _mm_set1_epi16(-32640)));
    return _mm_srli_epi16(sum, 8);
}

// (f1 a + f2 b + f3 c + 256) >> 9 of 16-bit sums of four pixels, in 32-bit
// lanes, as eight signed 16-bit lanes.
inline __m128i Chroma32(__m128i ab_lo, __m128i ab_hi, __m128i c1_lo, __m128i c1_hi, int f1, int f2, int f3) {
    const __m128i fab = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(f2)) << 16 |
                                                        static_cast<uint16_t>(f1)));
    const __m128i fc1 = _mm_set1_epi32(static_cast<int>(1u << 16 | static_cast<uint16_t>(f3)));
    const __m128i lo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(ab_lo, fab), _mm_madd_epi16(c1_lo, fc1)), 9);
    const __m128i hi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(ab_hi, fab), _mm_madd_epi16(c1_hi, fc1)), 9);
    return _mm_add_epi16(_mm_packs_epi32(lo, hi), _mm_set1_epi16(128));
}

inline void Store(uint8_t* d, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(d), v); }
inline void Store8(uint8_t* d, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(d), v); }

}  // namespace

int Yuy2RowSsse3(const uint8_t* s, int width, uint8_t* d) {
    const int n = width / 16 * 16;
    for (int x = 0; x < n; x += 16, s += 48, d += 32) {
        const Planes p = Split(s);
        const Luma16 y = Luma(p);
        // Sums of pixel pairs (up to 510): with the factors halved,
        // U = ((56 b - 37 g - 19 r + 128) >> 8) + 128, V likewise, stay
        // within 16 bits and equal the plain path's ((112 b ... + 256) >> 9).
        const __m128i b = PairSums(p.b), g = PairSums(p.g), r = PairSums(p.r);
        const __m128i u = Chroma16(b, 56, g, -37, r, -19), v = Chroma16(r, 56, g, -47, b, -9);
        // Y0 U Y1 V ...: each 16-bit word is a luma byte and, above it, the
        // chroma byte that follows it.
        Store(d, _mm_or_si128(y.lo, _mm_slli_epi16(_mm_unpacklo_epi16(u, v), 8)));
        Store(d + 16, _mm_or_si128(y.hi, _mm_slli_epi16(_mm_unpackhi_epi16(u, v), 8)));
    }
    return n;
}

int Yuv420RowsSsse3(const uint8_t* s0, const uint8_t* s1, int width, uint8_t* y0, uint8_t* y1, uint8_t* u, uint8_t* v,
                    int step) {
    const int n = width / 16 * 16;
    for (int x = 0; x < n; x += 16) {
        const Planes top = Split(s0 + 3 * x), bottom = Split(s1 + 3 * x);
        const Luma16 lt = Luma(top), lb = Luma(bottom);
        Store(y0 + x, _mm_packus_epi16(lt.lo, lt.hi));
        Store(y1 + x, _mm_packus_epi16(lb.lo, lb.hi));
        // Sums of each 2 x 2 block (up to 1020); the factors' sums need 17
        // bits, so 32-bit multiply-adds of the pairs (b, g) and (r, 256).
        const __m128i b = _mm_add_epi16(PairSums(top.b), PairSums(bottom.b));
        const __m128i g = _mm_add_epi16(PairSums(top.g), PairSums(bottom.g));
        const __m128i r = _mm_add_epi16(PairSums(top.r), PairSums(bottom.r));
        const __m128i round = _mm_set1_epi16(256);
        const __m128i bgLo = _mm_unpacklo_epi16(b, g), bgHi = _mm_unpackhi_epi16(b, g);
        const __m128i r1Lo = _mm_unpacklo_epi16(r, round), r1Hi = _mm_unpackhi_epi16(r, round);
        const __m128i uu = Chroma32(bgLo, bgHi, r1Lo, r1Hi, 56, -37, -19);
        // V = 56 r - 47 g - 9 b: the pairs hold (b, g) and (r, 256).
        const __m128i vv = Chroma32(bgLo, bgHi, r1Lo, r1Hi, -9, -47, 56);
        const int i = x / 2 * step;
        if (step == 2) {
            Store(u + i, _mm_or_si128(uu, _mm_slli_epi16(vv, 8)));
        } else {
            const __m128i bytes = _mm_packus_epi16(uu, vv);
            Store8(u + i, bytes);
            Store8(v + i, _mm_srli_si128(bytes, 8));
        }
    }
    return n;
}

int Rgb32RowSsse3(const uint8_t* s, int width, uint8_t* d) {
    // Pixels 0 to 3 of 16 bytes as b g r 0 each.
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -128, 3, 4, 5, -128, 6, 7, 8, -128, 9, 10, 11, -128);
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const int n = width / 16 * 16;
    for (int x = 0; x < n; x += 16, s += 48, d += 64) {
        const __m128i v0 = Load(s), v1 = Load(s + 16), v2 = Load(s + 32);
        Store(d, _mm_or_si128(_mm_shuffle_epi8(v0, spread), alpha));
        Store(d + 16, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(v1, v0, 12), spread), alpha));
        Store(d + 32, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(v2, v1, 8), spread), alpha));
        Store(d + 48, _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(v2, 4), spread), alpha));
    }
    return n;
}

namespace {

// Bytes 0 to 11 of a load (two pairs of pixels) as each pair's two values
// of a channel side by side: b b g g r r, twice, then four zero bytes.
inline __m128i PairUp(const uint8_t* s) {
    const __m128i mask = _mm_setr_epi8(0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, -128, -128, -128, -128);
    return _mm_maddubs_epi16(_mm_shuffle_epi8(Load(s), mask), _mm_set1_epi8(1));
}

}  // namespace

template <bool TwoRows>
void PairsAcrossRowsSsse3(const uint8_t* a, const uint8_t* b, int dstWidth, uint8_t* out) {
    // Four destination pixels a step: from the 24 source bytes at 6 x, two
    // loads of 16 (of which 12 are used), each giving two pixels' channel
    // sums in 16-bit lanes. The 16 bytes stored hold 12 of the row and
    // four that the next step overwrites.
    const __m128i compact = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 12, 13, -128, -128, -128, -128);
    const __m128i round = _mm_set1_epi16(TwoRows ? 2 : 1);
    int x = 0;
    for (; x + 6 <= dstWidth; x += 4) {
        const int i = 6 * x;
        __m128i s0 = PairUp(a + i), s1 = PairUp(a + i + 12);
        if (TwoRows) {
            s0 = _mm_add_epi16(s0, PairUp(b + i));
            s1 = _mm_add_epi16(s1, PairUp(b + i + 12));
        }
        s0 = _mm_srli_epi16(_mm_add_epi16(s0, round), TwoRows ? 2 : 1);
        s1 = _mm_srli_epi16(_mm_add_epi16(s1, round), TwoRows ? 2 : 1);
        Store(out + 3 * x, _mm_shuffle_epi8(_mm_packus_epi16(s0, s1), compact));
    }
    for (; x < dstWidth; ++x)
        for (int c = 0; c < 3; ++c) {
            const int i = 6 * x + c;
            out[3 * x + c] = static_cast<uint8_t>(
                TwoRows ? (a[i] + a[i + 3] + b[i] + b[i + 3] + 2) >> 2 : (a[i] + a[i + 3] + 1) >> 1);
        }
}
template void PairsAcrossRowsSsse3<false>(const uint8_t*, const uint8_t*, int, uint8_t*);
template void PairsAcrossRowsSsse3<true>(const uint8_t*, const uint8_t*, int, uint8_t*);

}  // namespace zxscale
