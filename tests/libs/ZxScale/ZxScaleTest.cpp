// The scaler against PIL's resize, and scaler and colour conversions against
// the exact BT.601 formulas and their own plain paths.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxScale/ZxScale.h"
#include "ZxScale/ZxYuv.h"

namespace {

std::vector<uint8_t> Reference(const std::string& name) {
    const std::string bytes = zxtest::ReadFile(Dir::GetCurrentPath() + "scale-reference\\" + name);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    return a.empty() ? 1e9 : sum / static_cast<double>(a.size());
}

std::vector<uint8_t> Scaled(const std::vector<uint8_t>& source, int sw, int sh, int dw, int dh, ZxScaleFilter filter,
                            bool plain = false) {
    CZxScaler scaler;
    EXPECT_TRUE(scaler.Build(sw, sh, dw, dh, filter));
    scaler.SetPlain(plain);
    std::vector<uint8_t> out(CZxScaler::PictureBytes(dw, dh), 0xCD);
    EXPECT_TRUE(scaler.Scale(source.data(), out.data()));
    return out;
}

// A picture with detail everywhere, rows padded as the bitmap rule asks.
std::vector<uint8_t> Noise(int width, int height, unsigned seed) {
    std::vector<uint8_t> p(CZxScaler::PictureBytes(width, height));
    for (size_t i = 0; i < p.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        p[i] = static_cast<uint8_t>(seed >> 16);
    }
    return p;
}

TEST(ZxScale, PicturesDifferFromPilsResizeByAtMostTwoLevelsOnAverage) {
    const std::vector<uint8_t> source = Reference("source.bgr");
    ASSERT_EQ(640u * 480u * 3u, source.size()) << "the reference pictures were not made";
    struct Size {
        int w, h;
    };
    for (const Size s : {Size{320, 240}, Size{160, 120}, Size{560, 420}}) {
        for (const ZxScaleFilter filter : {ZxScaleFilter::Bilinear, ZxScaleFilter::Area}) {
            const char* name = filter == ZxScaleFilter::Area ? "area" : "bilinear";
            const std::vector<uint8_t> reference =
                Reference(std::to_string(s.w) + "x" + std::to_string(s.h) + "-" + name + ".bgr");
            ASSERT_EQ(static_cast<size_t>(s.w) * s.h * 3, reference.size());
            const std::vector<uint8_t> ours = Scaled(source, 640, 480, s.w, s.h, filter);
            EXPECT_LE(MeanDifference(ours, reference), 2.0) << s.w << "x" << s.h << " " << name;
        }
    }
}

TEST(ZxScale, Sse2PathGivesTheSameBytesAsThePlainPath) {
    CZxScaler probe;
    ASSERT_TRUE(probe.Build(640, 480, 320, 240, ZxScaleFilter::Area));
    if (!probe.UsesSse2()) GTEST_SKIP() << "no SSE2 on this processor";
    struct Case {
        int sw, sh, dw, dh;
    };
    // Shrinking and enlarging, odd widths (padded rows), one-pixel sides,
    // half the width (the camera's 1280 x 720).
    for (const Case c : {Case{640, 480, 320, 240}, Case{640, 480, 560, 420}, Case{1440, 1080, 80, 60},
                         Case{160, 120, 640, 480}, Case{333, 97, 101, 55}, Case{7, 5, 3, 2}, Case{640, 480, 2, 2},
                         Case{1280, 720, 640, 480}, Case{14, 9, 7, 5}}) {
        const std::vector<uint8_t> source = Noise(c.sw, c.sh, static_cast<unsigned>(c.sw * 31 + c.dw));
        for (const ZxScaleFilter filter : {ZxScaleFilter::Bilinear, ZxScaleFilter::Area}) {
            const auto fast = Scaled(source, c.sw, c.sh, c.dw, c.dh, filter, false);
            const auto plain = Scaled(source, c.sw, c.sh, c.dw, c.dh, filter, true);
            EXPECT_TRUE(fast == plain) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
        }
    }
}

TEST(ZxScale, HalvingIsTheRoundedMeanOfEachTwoByTwoBlock) {
    struct Case {
        int sw, sh;
    };
    // The common 640 x 480 and a width whose rows are padded on both sides.
    for (const Case c : {Case{640, 480}, Case{334, 98}}) {
        const int dw = c.sw / 2, dh = c.sh / 2;
        const std::vector<uint8_t> source = Noise(c.sw, c.sh, static_cast<unsigned>(c.sw));
        const std::vector<uint8_t> out = Scaled(source, c.sw, c.sh, dw, dh, ZxScaleFilter::Area);
        const size_t ss = CZxScaler::Stride(c.sw), ds = CZxScaler::Stride(dw);
        int wrong = 0;
        for (int y = 0; y < dh; ++y)
            for (int x = 0; x < dw; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const size_t a = ss * (2 * y) + 3 * (2 * x) + ch;
                    const int mean = (source[a] + source[a + 3] + source[a + ss] + source[a + ss + 3] + 2) / 4;
                    if (out[ds * y + 3 * x + ch] != mean) ++wrong;
                }
        EXPECT_EQ(wrong, 0) << c.sw << "x" << c.sh;
        for (int y = 0; y < dh && ds > static_cast<size_t>(dw) * 3; ++y)
            EXPECT_EQ(0xCD, out[ds * y + static_cast<size_t>(dw) * 3]) << "padding left alone";
    }
}

TEST(ZxScale, FlatPicturesStayFlatAndPaddingIsLeftAlone) {
    // 170 x 3 bytes = 510, padded to 512: the two padding bytes of each
    // destination row are not written.
    std::vector<uint8_t> source(CZxScaler::PictureBytes(300, 200));
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i % 3 == 0 ? 200 : i % 3 == 1 ? 10 : 255);
    for (const ZxScaleFilter filter : {ZxScaleFilter::Bilinear, ZxScaleFilter::Area}) {
        const auto out = Scaled(source, 300, 200, 170, 113, filter);
        const size_t stride = CZxScaler::Stride(170);
        for (int y = 0; y < 113; ++y) {
            for (int x = 0; x < 170; ++x) {
                const uint8_t* p = &out[stride * y + 3 * x];
                ASSERT_TRUE(p[0] == 200 && p[1] == 10 && p[2] == 255) << x << "," << y;
            }
            EXPECT_EQ(0xCD, out[stride * y + 510]);
            EXPECT_EQ(0xCD, out[stride * y + 511]);
        }
    }
    CZxScaler scaler;
    EXPECT_FALSE(scaler.Build(0, 10, 10, 10, ZxScaleFilter::Area));
    EXPECT_FALSE(scaler.Build(10, 10, 10, 9000, ZxScaleFilter::Area));
    EXPECT_FALSE(scaler.IsReady());
    uint8_t byte = 0;
    EXPECT_FALSE(scaler.Scale(&byte, &byte));
}

// The exact BT.601 limited-range conversion.
void ExactYuv(double r, double g, double b, double& y, double& u, double& v) {
    y = 16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255;
    u = 128 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255;
    v = 128 + (112.0 * r - 93.786 * g - 18.214 * b) / 255;
}

TEST(ZxYuv, Yuy2AndI420AreWithinOneLevelOfTheExactConversion) {
    const int w = 160, h = 120;
    std::vector<uint8_t> bgr = Noise(w, h, 7);
    // Besides noise, the extremes: black, white and the primaries.
    const uint8_t corners[6][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 255, 255}};
    for (int i = 0; i < 6; ++i)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                std::memcpy(&bgr[CZxScaler::Stride(w) * dy + 3 * (2 * i + dx)], corners[i], 3);
    const size_t stride = CZxScaler::Stride(w);
    // Pixel (x, y) counted from the top.
    auto rgb = [&](int x, int y, double& r, double& g, double& b) {
        const uint8_t* p = &bgr[stride * (h - 1 - y) + 3 * x];
        b = p[0];
        g = p[1];
        r = p[2];
    };

    std::vector<uint8_t> yuy2(ZxYuy2Bytes(w, h));
    ASSERT_TRUE(ZxBgrToYuy2(bgr.data(), w, h, yuy2.data()));
    std::vector<uint8_t> i420(ZxI420Bytes(w, h));
    ASSERT_TRUE(ZxBgrToI420(bgr.data(), w, h, i420.data()));
    auto check = [&](double exact, uint8_t got, const char* what, int x, int y) {
        EXPECT_LE(std::fabs(exact - got), 1.0) << what << " at " << x << "," << y;
    };
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; x += 2) {
            double r0, g0, b0, r1, g1, b1, y0, u0, v0, y1, u1, v1;
            rgb(x, y, r0, g0, b0);
            rgb(x + 1, y, r1, g1, b1);
            ExactYuv(r0, g0, b0, y0, u0, v0);
            ExactYuv(r1, g1, b1, y1, u1, v1);
            const uint8_t* d = &yuy2[(static_cast<size_t>(y) * w + x) * 2];
            check(y0, d[0], "YUY2 Y0", x, y);
            check((u0 + u1) / 2, d[1], "YUY2 U", x, y);
            check(y1, d[2], "YUY2 Y1", x, y);
            check((v0 + v1) / 2, d[3], "YUY2 V", x, y);
            check(y0, i420[static_cast<size_t>(y) * w + x], "I420 Y", x, y);
            check(y1, i420[static_cast<size_t>(y) * w + x + 1], "I420 Y", x + 1, y);
            if (y % 2 == 0) {
                double u = 0, v = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        double r, g, b, yy, uu, vv;
                        rgb(x + dx, y + dy, r, g, b);
                        ExactYuv(r, g, b, yy, uu, vv);
                        u += uu / 4;
                        v += vv / 4;
                    }
                const size_t c = static_cast<size_t>(y / 2) * (w / 2) + x / 2;
                check(u, i420[static_cast<size_t>(w) * h + c], "I420 U", x, y);
                check(v, i420[static_cast<size_t>(w) * h + (w / 2) * (h / 2) + c], "I420 V", x, y);
            }
        }
    }
    // Black and white (the bottom rows, top-down the last) land on the ends
    // of the limited range.
    EXPECT_EQ(16, i420[static_cast<size_t>(h - 1) * w]);
    EXPECT_EQ(235, i420[static_cast<size_t>(h - 1) * w + 2]);
    EXPECT_FALSE(ZxBgrToYuy2(bgr.data(), 159, 120, yuy2.data())) << "odd width";
    EXPECT_FALSE(ZxBgrToI420(bgr.data(), 160, 119, i420.data())) << "odd height";
}

// Every vector path of every conversion gives the plain path's bytes (odd
// rests, padded rows); NV12 is I420's chroma interleaved, RGB32 the pixels
// with alpha 255.
TEST(ZxYuv, EveryConversionGivesThePlainPathsBytesAndTheFormatsAgree) {
    struct Size {
        int w, h;
    };
    for (const Size s : {Size{640, 480}, Size{2, 2}, Size{4, 2}, Size{6, 4}, Size{8, 2}, Size{10, 6}, Size{34, 4}, Size{58, 4}}) {
        const std::vector<uint8_t> bgr = Noise(s.w, s.h, static_cast<unsigned>(s.w * 7 + s.h));
        using Convert = bool (*)(const uint8_t*, int, int, uint8_t*, ZxConvertPath);
        struct Format {
            const char* name;
            Convert convert;
            size_t bytes;
        };
        std::vector<std::vector<uint8_t>> best;
        for (const Format f : {Format{"YUY2", ZxBgrToYuy2, ZxYuy2Bytes(s.w, s.h)},
                               Format{"I420", ZxBgrToI420, ZxI420Bytes(s.w, s.h)},
                               Format{"NV12", ZxBgrToNv12, ZxNv12Bytes(s.w, s.h)},
                               Format{"RGB32", ZxBgrToRgb32, ZxRgb32Bytes(s.w, s.h)}}) {
            std::vector<uint8_t> plain(f.bytes, 0x5A);
            ASSERT_TRUE(f.convert(bgr.data(), s.w, s.h, plain.data(), ZxConvertPath::Plain));
            // Each vector path this processor has, as the widest one allowed.
            for (const ZxConvertPath path : {ZxConvertPath::Sse2, ZxConvertPath::Ssse3, ZxConvertPath::Best}) {
                std::vector<uint8_t> fast(f.bytes, 0xCD);
                ASSERT_TRUE(f.convert(bgr.data(), s.w, s.h, fast.data(), path));
                EXPECT_TRUE(fast == plain) << f.name << " " << s.w << "x" << s.h << " path " << static_cast<int>(path);
            }
            best.push_back(plain);
        }
        const std::vector<uint8_t>&i420 = best[1], &nv12 = best[2], &rgb32 = best[3];
        const size_t luma = static_cast<size_t>(s.w) * s.h, quarter = luma / 4;
        EXPECT_TRUE(std::equal(i420.begin(), i420.begin() + static_cast<long>(luma), nv12.begin()));
        for (size_t i = 0; i < quarter; ++i) {
            ASSERT_EQ(i420[luma + i], nv12[luma + 2 * i]) << "U " << i;
            ASSERT_EQ(i420[luma + quarter + i], nv12[luma + 2 * i + 1]) << "V " << i;
        }
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) {
                const uint8_t* p = &bgr[CZxScaler::Stride(s.w) * y + 3 * x];
                const uint8_t* q = &rgb32[(static_cast<size_t>(y) * s.w + x) * 4];
                ASSERT_TRUE(p[0] == q[0] && p[1] == q[1] && p[2] == q[2] && q[3] == 255) << x << "," << y;
            }
    }
    uint8_t byte = 0;
    EXPECT_FALSE(ZxBgrToNv12(&byte, 2, 3, &byte)) << "odd height";
    EXPECT_FALSE(ZxBgrToRgb32(&byte, 0, 1, &byte)) << "no width";
}

}  // namespace
