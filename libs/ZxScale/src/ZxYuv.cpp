#include "ZxScale/ZxYuv.h"

#include "ZxScale/ZxScale.h"
#include "ZxScaleKernels.h"

namespace {

// BT.601, limited range, in 8-bit fixed point:
//   Y = 16 + ( 65.738 R + 129.057 G +  25.064 B) / 256
//   U = 128 + (-37.945 R -  74.494 G + 112.439 B) / 256
//   V = 128 + (112.439 R -  94.154 G -  18.285 B) / 256
// The factors are those of the standard rounded to whole numbers, so the
// result is within one level of the exact conversion. The SSE2 rows use the
// same factors and the same rounding.
inline uint8_t LumaOf(int r, int g, int b) { return static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16); }

// Chroma from sums of n pixels (n = 2 or 4, shift = log2 n), so the mean is
// taken in the same fixed point step.
inline uint8_t CbOf(int r, int g, int b, int shift) {
    return static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + (128 << shift)) >> (8 + shift)) + 128);
}
inline uint8_t CrOf(int r, int g, int b, int shift) {
    return static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + (128 << shift)) >> (8 + shift)) + 128);
}

bool Usable(const uint8_t* source, int width, int height, const uint8_t* destination) {
    return source && destination && width > 0 && height > 0 && width <= 8192 && height <= 8192;
}
bool UsableYuv(const uint8_t* source, int width, int height, const uint8_t* destination) {
    return Usable(source, width, height, destination) && width % 2 == 0 && height % 2 == 0;
}

// Which vector paths a conversion takes: AVX2 or else SSSE3 for runs of 16
// pixels, then SSE2 for what is left in runs of 8 or 4; the plain path does
// the rest.
struct Paths {
    bool avx2, ssse3, sse2;
};
Paths PathsFor(ZxConvertPath path) {
    const bool avx2 = path == ZxConvertPath::Best && zxscale::Avx2Available();
    const bool ssse3 = (path == ZxConvertPath::Best || path == ZxConvertPath::Ssse3) && zxscale::Ssse3Available();
    return {avx2, !avx2 && ssse3, path != ZxConvertPath::Plain && zxscale::Sse2Available()};
}

// One YUY2 row from pixel x on (x even).
void Yuy2Row(const uint8_t* s, int x, int width, uint8_t* d) {
    for (s += 3 * x, d += 2 * x; x < width; x += 2, s += 6, d += 4) {
        const int b0 = s[0], g0 = s[1], r0 = s[2], b1 = s[3], g1 = s[4], r1 = s[5];
        d[0] = LumaOf(r0, g0, b0);
        d[1] = CbOf(r0 + r1, g0 + g1, b0 + b1, 1);
        d[2] = LumaOf(r1, g1, b1);
        d[3] = CrOf(r0 + r1, g0 + g1, b0 + b1, 1);
    }
}

// Two luma rows and their chroma row from pixel x on (x even); chroma
// sample i goes to u[i * step] and v[i * step] (step 1 for planes, 2 for
// interleaved U and V).
void Yuv420Rows(const uint8_t* s0, const uint8_t* s1, int x, int width, uint8_t* y0, uint8_t* y1, uint8_t* u,
                uint8_t* v, int step) {
    for (s0 += 3 * x, s1 += 3 * x; x < width; x += 2, s0 += 6, s1 += 6) {
        y0[x] = LumaOf(s0[2], s0[1], s0[0]);
        y0[x + 1] = LumaOf(s0[5], s0[4], s0[3]);
        y1[x] = LumaOf(s1[2], s1[1], s1[0]);
        y1[x + 1] = LumaOf(s1[5], s1[4], s1[3]);
        const int r = s0[2] + s0[5] + s1[2] + s1[5];
        const int g = s0[1] + s0[4] + s1[1] + s1[4];
        const int b = s0[0] + s0[3] + s1[0] + s1[3];
        u[x / 2 * step] = CbOf(r, g, b, 2);
        v[x / 2 * step] = CrOf(r, g, b, 2);
    }
}

// 4:2:0 into a Y plane followed by the chroma of one of the two layouts.
bool To420(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path, bool interleaved) {
    if (!UsableYuv(bgr, width, height, destination)) return false;
    const Paths paths = PathsFor(path);
    const size_t stride = CZxScaler::Stride(width);
    const size_t w = static_cast<size_t>(width);
    uint8_t* yPlane = destination;
    uint8_t* chroma = destination + w * static_cast<size_t>(height);
    const size_t chromaRow = interleaved ? w : w / 2;
    const size_t vOffset = interleaved ? 1 : (w / 2) * static_cast<size_t>(height / 2);
    const int step = interleaved ? 2 : 1;
    for (int y = 0; y < height; y += 2) {
        // Top-down out of a bottom-up picture.
        const uint8_t* s0 = bgr + stride * static_cast<size_t>(height - 1 - y);
        const uint8_t* s1 = bgr + stride * static_cast<size_t>(height - 2 - y);
        uint8_t* y0 = yPlane + w * static_cast<size_t>(y);
        uint8_t* y1 = y0 + w;
        uint8_t* u = chroma + chromaRow * static_cast<size_t>(y / 2);
        uint8_t* v = u + vOffset;
        int done = paths.avx2    ? zxscale::Yuv420RowsAvx2(s0, s1, width, y0, y1, u, v, step)
                   : paths.ssse3 ? zxscale::Yuv420RowsSsse3(s0, s1, width, y0, y1, u, v, step)
                                 : 0;
        if (paths.sse2 && done < width) {
            const int c = done / 2 * step;
            done += zxscale::Yuv420RowsSse2(s0 + 3 * done, s1 + 3 * done, width - done, y0 + done, y1 + done, u + c,
                                            v + c, step);
        }
        Yuv420Rows(s0, s1, done, width, y0, y1, u, v, step);
    }
    return true;
}

}  // namespace

size_t ZxYuy2Bytes(int width, int height) { return static_cast<size_t>(width) * static_cast<size_t>(height) * 2; }

size_t ZxI420Bytes(int width, int height) { return static_cast<size_t>(width) * static_cast<size_t>(height) * 3 / 2; }

size_t ZxNv12Bytes(int width, int height) { return ZxI420Bytes(width, height); }

size_t ZxRgb32Bytes(int width, int height) { return static_cast<size_t>(width) * static_cast<size_t>(height) * 4; }

bool ZxConvertUsesSse2() { return zxscale::Sse2Available(); }

bool ZxConvertUsesSsse3() { return zxscale::Ssse3Available(); }

bool ZxConvertUsesAvx2() { return zxscale::Avx2Available(); }

bool ZxBgrToYuy2(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path) {
    if (!UsableYuv(bgr, width, height, destination)) return false;
    const Paths paths = PathsFor(path);
    const size_t stride = CZxScaler::Stride(width);
    for (int y = 0; y < height; ++y) {
        // Top-down out of a bottom-up picture.
        const uint8_t* s = bgr + stride * static_cast<size_t>(height - 1 - y);
        uint8_t* d = destination + static_cast<size_t>(y) * static_cast<size_t>(width) * 2;
        int done = paths.avx2    ? zxscale::Yuy2RowAvx2(s, width, d)
                   : paths.ssse3 ? zxscale::Yuy2RowSsse3(s, width, d)
                                 : 0;
        if (paths.sse2 && done < width) done += zxscale::Yuy2RowSse2(s + 3 * done, width - done, d + 2 * done);
        Yuy2Row(s, done, width, d);
    }
    return true;
}

bool ZxBgrToI420(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path) {
    return To420(bgr, width, height, destination, path, false);
}

bool ZxBgrToNv12(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path) {
    return To420(bgr, width, height, destination, path, true);
}

namespace {

// RGB32 rows in the source's order, or turned over (flip).
bool Rgb32Rows(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path, bool flip) {
    if (!Usable(bgr, width, height, destination)) return false;
    const Paths paths = PathsFor(path);
    const size_t stride = CZxScaler::Stride(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = bgr + stride * static_cast<size_t>(flip ? height - 1 - y : y);
        uint8_t* d = destination + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        int x = paths.ssse3 ? zxscale::Rgb32RowSsse3(s, width, d) : 0;
        if (paths.sse2 && x < width) x += zxscale::Rgb32RowSse2(s + 3 * x, width - x, d + 4 * x);
        for (; x < width; ++x) {
            d[4 * x] = s[3 * x];
            d[4 * x + 1] = s[3 * x + 1];
            d[4 * x + 2] = s[3 * x + 2];
            d[4 * x + 3] = 255;
        }
    }
    return true;
}

}  // namespace

bool ZxBgrToRgb32(const uint8_t* bgr, int width, int height, uint8_t* destination, ZxConvertPath path) {
    return Rgb32Rows(bgr, width, height, destination, path, false);
}

bool ZxBgrToRgb32TopDown(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination,
                         ZxConvertPath path) {
    return Rgb32Rows(bgrBottomUp, width, height, destination, path, true);
}
