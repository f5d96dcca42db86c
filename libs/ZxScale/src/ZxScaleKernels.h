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

// The processor runs SSE2 (always on x64).
bool Sse2Available();

void VerticalPlain(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out);
void HorizontalPlain(const int16_t* row, const int* start, const int16_t* weights, int taps, int dstWidth,
                     uint8_t* out);

// taps even; row has 4 more samples than the source row.
void VerticalSse2(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out);
void HorizontalSse2(const int16_t* row, const int* start, const int32_t* pairs, int taps, int dstWidth, uint8_t* out);

// Halving: out[i] = a[i] + b[i] for bytes bytes (two rows summed down).
void PairSumPlain(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out);
void PairSumSse2(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out);

}  // namespace zxscale
