// The frame mark of the kernel host (tools/kernelhost/FrameMark.h), which
// the soak's clients read from the filter's samples: it survives the
// filter's area scaling to every size the filter offers, and a picture
// without it (black, or a scene) never reads as marked.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "FrameMark.h"
#include "ZxScale/ZxScale.h"

namespace {

// A 640 x 480 scene: a gradient with every channel in the middle range.
std::vector<uint8_t> Scene() {
    std::vector<uint8_t> picture(CZxScaler::PictureBytes(640, 480));
    const size_t stride = CZxScaler::Stride(640);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            for (int c = 0; c < 3; ++c)
                picture[stride * y + 3 * x + c] = static_cast<uint8_t>(80 + (x + y + 30 * c) % 96);
    return picture;
}

TEST(FrameMark, ReadsBackAtFullSize) {
    std::vector<uint8_t> picture = Scene();
    framemark::Put(picture.data(), 640, 480, 0xBEEF, 0x89ABCDEFu);
    const framemark::Mark m = framemark::Read(picture.data(), picture.size(), 640, 480);
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(0xBEEFu, m.run);
    EXPECT_EQ(0x89ABCDEFu, m.number);
}

TEST(FrameMark, SurvivesAreaScalingToEveryOfferedSize) {
    std::vector<uint8_t> picture = Scene();
    framemark::Put(picture.data(), 640, 480, 2, 123457);
    for (int code = 1; code <= 7; ++code) {
        const int w = code * 80, h = code * 60;
        CZxScaler scaler;
        ASSERT_TRUE(scaler.Build(640, 480, w, h, ZxScaleFilter::Area)) << w << "x" << h;
        std::vector<uint8_t> out(CZxScaler::PictureBytes(w, h));
        ASSERT_TRUE(scaler.Scale(picture.data(), out.data()));
        const framemark::Mark m = framemark::Read(out.data(), out.size(), w, h);
        ASSERT_TRUE(m.valid) << w << "x" << h;
        EXPECT_EQ(2u, m.run) << w << "x" << h;
        EXPECT_EQ(123457u, m.number) << w << "x" << h;
    }
}

TEST(FrameMark, UnmarkedPicturesAreNotValid) {
    const std::vector<uint8_t> black(CZxScaler::PictureBytes(640, 480), 0);
    EXPECT_FALSE(framemark::Read(black.data(), black.size(), 640, 480).valid);
    const std::vector<uint8_t> scene = Scene();
    EXPECT_FALSE(framemark::Read(scene.data(), scene.size(), 640, 480).valid);
    // Too few bytes for the size.
    std::vector<uint8_t> marked = Scene();
    framemark::Put(marked.data(), 640, 480, 1, 1);
    EXPECT_FALSE(framemark::Read(marked.data(), marked.size() - 1, 640, 480).valid);
}

}  // namespace
