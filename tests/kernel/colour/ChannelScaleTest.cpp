#include <cfloat>
#include <limits>

#include "ChannelScale.h"
#include "ColourTestSupport.h"

namespace {

using ct::Rgb;
using ct::Scaled;

VideoFrameFormat Format(int width, int height, int bitCount = 24) {
    VideoFrameFormat f;
    VideoFrameFormatInit(f, width, height);
    f.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    return f;
}

// Every factor the two effects use: the seven filters and the colour
// adjustment's 1 + level / 100 for the levels 0 to 100 and a stored 150.
std::vector<double> FactorsInUse() {
    std::vector<double> factors = {1.04, 0.88, 0.86, 0.86, 1.07, 1.0, 0.85, 1.0, 1.25, 0.98, 0.94,
                                   0.75, 1.2,  0.88, 1.45, 0.96, 0.72, 0.54, 1.45, 0.91, 0.96};
    for (int level = 0; level <= 100; ++level) factors.push_back(1.0 + level / 100.0);
    factors.push_back(1.0 + 150 / 100.0);
    return factors;
}

TEST(ChannelScale, EveryByteAndFactorInUseGivesTheExactProductTruncated) {
    // One row of 256 pixels; pixel v holds v in red, 255 - v in green and v
    // in blue, so each channel sees every byte. Each factor on all three
    // channels, and the seven filters' own red, green and blue.
    const VideoFrameFormat format = Format(256, 1);
    const std::vector<double> f = FactorsInUse();
    std::vector<std::vector<double>> cases;
    for (double factor : f) cases.push_back({factor, factor, factor});
    for (size_t i = 0; i + 2 < 21; i += 3) cases.push_back({f[i], f[i + 1], f[i + 2]});
    for (const std::vector<double>& c : cases) {
        std::vector<BYTE> frame(768);
        for (int v = 0; v < 256; ++v) {
            frame[3 * v] = static_cast<BYTE>(v);
            frame[3 * v + 1] = static_cast<BYTE>(255 - v);
            frame[3 * v + 2] = static_cast<BYTE>(v);
        }
        ScaleChannels(frame.data(), format, c[0], c[1], c[2]);
        for (int v = 0; v < 256; ++v) {
            ASSERT_EQ(frame[3 * v], Scaled(v, c[2])) << "blue " << v << " x " << c[2];
            ASSERT_EQ(frame[3 * v + 1], Scaled(255 - v, c[1])) << "green " << 255 - v << " x " << c[1];
            ASSERT_EQ(frame[3 * v + 2], Scaled(v, c[0])) << "red " << v << " x " << c[0];
        }
    }
}

TEST(ChannelScale, ProductsAreExactOnOnePixelAndInAVectorRow) {
    // 225 x 1.04 is 234 and 100 x 1.05 is 105 exactly, though neither
    // factor has an exact binary form (single precision gives just below).
    std::vector<BYTE> one = ct::Frame(1, 1, 225, 100, 100);
    ScaleChannels(one.data(), Format(1, 1), 1.04, 1.05, 1.0);
    EXPECT_EQ(kt::PixelAt(one, 1, 0, 0), Rgb(234, 105, 100));
    // The same in a row long enough for the vector path.
    std::vector<BYTE> row = ct::Frame(32, 1, 225, 100, 100);
    ScaleChannels(row.data(), Format(32, 1), 1.04, 1.05, 2.5);
    for (int x = 0; x < 32; ++x) EXPECT_EQ(kt::PixelAt(row, 32, x, 0), Rgb(234, 105, 250)) << x;
}

TEST(ChannelScale, PaddedRowsKeepTheirPixelsAndPadding) {
    // Width 3: 9 bytes of pixels, then 3 bytes of padding per row.
    const int width = 3, height = 4;
    const VideoFrameFormat format = Format(width, height);
    ASSERT_EQ(VideoFrameStride(format), 12);
    std::vector<BYTE> frame = ct::Frame(width, height, 100, 60, 20);
    for (int y = 0; y < height; ++y)
        for (int k = 9; k < 12; ++k) frame[12 * y + k] = 0xAB;
    ScaleChannels(frame.data(), format, 2.0, 0.5, 3.0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) EXPECT_EQ(kt::PixelAt(frame, width, x, y), Rgb(200, 30, 60)) << x << "," << y;
        for (int k = 9; k < 12; ++k) EXPECT_EQ(frame[12 * y + k], 0xAB) << "padding of row " << y;
    }
}

TEST(ChannelScale, UnusableFormatsAndFactorsAreHandledSafely) {
    std::vector<BYTE> frame = ct::Frame(8, 2, 10, 20, 30);
    const std::vector<BYTE> original = frame;
    ScaleChannels(frame.data(), Format(8, 2, 32), 2.0, 2.0, 2.0);
    EXPECT_EQ(frame, original) << "not 24 bits per pixel";
    VideoFrameFormat zero;
    ZeroMemory(&zero, sizeof(zero));
    ScaleChannels(frame.data(), zero, 2.0, 2.0, 2.0);
    EXPECT_EQ(frame, original) << "a format never announced";
    ScaleChannels(nullptr, Format(8, 2), 2.0, 2.0, 2.0);

    // A top-down frame (negative height) covers the same bytes.
    ScaleChannels(frame.data(), Format(8, -2), 2.0, 1.0, 1.0);
    EXPECT_EQ(kt::PixelAt(frame, 8, 7, 1), Rgb(20, 20, 30));

    // Factors no setting should produce, from a damaged file: negative, beyond the float range, not a number.
    std::vector<BYTE> odd = ct::Frame(2, 1, 0, 0, 0);
    odd[2] = 0;   // red 0 of pixel 0
    odd[5] = 7;   // red 7 of pixel 1
    odd[1] = odd[4] = 100;
    odd[0] = odd[3] = 100;
    ScaleChannels(odd.data(), Format(2, 1), 1e300, -3.0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(kt::PixelAt(odd, 2, 0, 0), Rgb(0, 0, 0)) << "0 stays 0 under a huge factor";
    EXPECT_EQ(kt::PixelAt(odd, 2, 1, 0), Rgb(255, 0, 0));
}

}  // namespace
