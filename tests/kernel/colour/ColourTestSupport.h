// Helpers of the colour-effect tests: exact channel products and frames (the
// fixture is kt::EffectTest).
#pragma once

#include <cmath>

#include <windows.h>

#include <vector>

#include "KernelTestSupport.h"

namespace ct {

// The byte a channel value becomes under a factor: the exact product, clamped to 0..255, truncated.
inline BYTE Scaled(int value, double factor) {
    // In integers, the factor taken to its two decimals (every filter and
    // every adjustment level has two), so the reference rounds nothing.
    const long long hundredths = std::llround(factor * 100.0);
    long long product = value * hundredths / 100;
    if (product < 0) product = 0;
    if (product > 255) product = 255;
    return static_cast<BYTE>(product);
}

inline unsigned Rgb(int r, int g, int b) { return (unsigned(r) << 16) | (unsigned(g) << 8) | unsigned(b); }

// A 24-bit frame of width x height filled with one colour.
inline std::vector<BYTE> Frame(int width, int height, int r, int g, int b) {
    const size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    std::vector<BYTE> frame(stride * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &frame[stride * y + 3 * static_cast<size_t>(x)];
            p[0] = static_cast<BYTE>(b);
            p[1] = static_cast<BYTE>(g);
            p[2] = static_cast<BYTE>(r);
        }
    return frame;
}

// Paints whole rows, counted from the top of the picture as GDI+ counts them.
inline void PaintRows(std::vector<BYTE>& frame, int width, int height, int top, int count, unsigned rgb) {
    const size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    for (int t = top; t < top + count; ++t) {
        BYTE* row = &frame[stride * static_cast<size_t>(height - 1 - t)];
        for (int x = 0; x < width; ++x) {
            row[3 * x] = static_cast<BYTE>(rgb);
            row[3 * x + 1] = static_cast<BYTE>(rgb >> 8);
            row[3 * x + 2] = static_cast<BYTE>(rgb >> 16);
        }
    }
}

// Pixel x of the row counted from the top, as 0xRRGGBB.
inline unsigned PixelTop(const std::vector<BYTE>& frame, int width, int height, int x, int top) {
    return kt::PixelAt(frame, width, x, height - 1 - top);
}

}  // namespace ct
