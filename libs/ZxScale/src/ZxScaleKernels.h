// The inner loops of the scaler, shared by the plain C path and the SSE2
// path, which give the same bytes.
//
// Vertical pass: one destination row from taps source rows, every byte of
// the row (bytes of them) a weighted sum kept with 7 fractional bits:
//   out[b] = (sum of w[k] x row[k][b] + 64) >> 7, weights 16384 in all.
// Horizontal pass: each destination pixel from taps pixels of that row:
//   channel = (sum of w[t] x row[3 (start + t) + channel] + 2^20) >> 21.
#pragma once

#include <cstdint>

namespace zxscale {

// Whether the processor runs SSE2 (always on x64), SSSE3, and AVX2 (with
// the system saving its registers); all three checked in ZxCpu.cpp, a file
// compiled for any processor.
bool Sse2Available();
bool Ssse3Available();
bool Avx2Available();

void VerticalPlain(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out);
void HorizontalPlain(const int16_t* row, const int* start, const int16_t* weights, int taps, int dstWidth,
                     uint8_t* out);

// taps even; row has 4 more samples than the source row.
void VerticalSse2(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out);
void HorizontalSse2(const int16_t* row, const int* start, const int32_t* pairs, int taps, int dstWidth, uint8_t* out);

// Halving across: pixel x of out from pixels 2x and 2x + 1 of row at 8192
// each, which is (p + q + 128) >> 8 per sample. scratch holds 6 dstWidth +
// 16 bytes; row has 8 more samples than 6 dstWidth.
void PairsAcrossSse2(const int16_t* row, int dstWidth, uint8_t* scratch, uint8_t* out);

// Halving: out[i] = a[i] + b[i] for bytes bytes (two rows summed down).
void PairSumPlain(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out);
void PairSumSse2(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out);

}  // namespace zxscale

namespace zxscale {

// Conversion rows of 24-bit pixels, the SSE2 path: each converts a run of
// pixels from the start of the row (never reading past the row's
// 3 x width bytes) and returns how many it did, a multiple of 4; the plain
// path does the rest. The results are exactly the plain path's.
// YUY2: one row into out.
int Yuy2RowSse2(const uint8_t* bgr, int width, uint8_t* out);
// 4:2:0: two rows into two luma rows and one chroma row; chroma sample i
// goes to u[i * step] and v[i * step] (step 1 planes, 2 interleaved).
int Yuv420RowsSse2(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* yTop, uint8_t* yBottom, uint8_t* u,
                   uint8_t* v, int step);
// RGB32: alpha 255.
int Rgb32RowSse2(const uint8_t* bgr, int width, uint8_t* out);

// The same rows sixteen pixels at a time with SSSE3 (multiples of 16, the
// same bytes again), where the processor has it.
int Yuy2RowSsse3(const uint8_t* bgr, int width, uint8_t* out);
int Yuv420RowsSsse3(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* yTop, uint8_t* yBottom, uint8_t* u,
                    uint8_t* v, int step);
int Rgb32RowSsse3(const uint8_t* bgr, int width, uint8_t* out);

// The YUV rows sixteen pixels at a time with AVX2 (multiples of 16, the
// same bytes again), where the processor and the system have it.
int Yuy2RowAvx2(const uint8_t* bgr, int width, uint8_t* out);
int Yuv420RowsAvx2(const uint8_t* top, const uint8_t* bottom, int width, uint8_t* yTop, uint8_t* yBottom, uint8_t* u,
                   uint8_t* v, int step);

// Area averaging to half the width straight from the source bytes, for a
// destination row that takes one source row at 16384 (a) or two at 8192
// each (a and b), which is what the vertical and pairs-across passes give
// then: (a + a' + 1) >> 1, or (a + a' + b + b' + 2) >> 2, per channel of
// the two neighbouring pixels.
template <bool TwoRows>
void PairsAcrossRowsSsse3(const uint8_t* a, const uint8_t* b, int dstWidth, uint8_t* out);

}  // namespace zxscale
