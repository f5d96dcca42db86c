#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>

#include "KernelTestSupport.h"
#include "SlideSwitch.h"

namespace {

const int W = 640, H = 480;

// A 32-bit ARGB picture, top row first, whose pixels tell where they are.
struct Picture {
    Picture(int w, int h, int seed) : width(w), height(h), bytes(static_cast<size_t>(w) * h * 4) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                BYTE* p = &bytes[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = static_cast<BYTE>(x * 3 + seed);
                p[1] = static_cast<BYTE>(y * 5 + seed * 7);
                p[2] = static_cast<BYTE>((x ^ y) + seed * 13);
                p[3] = 0x80;
            }
    }
    const BYTE* At(int x, int y) const { return &bytes[(static_cast<size_t>(y) * width + x) * 4]; }
    int width, height;
    std::vector<BYTE> bytes;
};

struct Fixture {
    Fixture(int w = W, int h = H) : from(w, h, 1), to(w, h, 2), out(static_cast<size_t>(VideoFrameStride(w, 24)) * h, 0xEE) {
        pictures = {from24.data(), w * 3, to24.data(), w * 3};
    }
    // The pictures as the transitions read them: 24 bits, alpha dropped.
    static std::vector<BYTE> Packed(const Picture& p) {
        std::vector<BYTE> out;
        for (size_t i = 0; i < p.bytes.size(); i += 4) out.insert(out.end(), &p.bytes[i], &p.bytes[i] + 3);
        return out;
    }
    // Output pixel (x, r), r counted from the first row of the buffer.
    const BYTE* Out(int x, int r) const { return &out[static_cast<size_t>(VideoFrameStride(from.width, 24)) * r + 3 * x]; }
    bool IsIncoming(int x, int r) const { return Same(Out(x, r), to.At(x, from.height - 1 - r)); }
    bool IsOutgoing(int x, int r) const { return Same(Out(x, r), from.At(x, from.height - 1 - r)); }
    static bool Same(const BYTE* out, const BYTE* src) { return out[0] == src[0] && out[1] == src[1] && out[2] == src[2]; }
    Picture from, to;
    std::vector<BYTE> from24 = Packed(from), to24 = Packed(to);
    std::vector<BYTE> out;
    SlidePictures pictures;
};

// Runs steps 1..n and leaves the output of step n.
int RunTo(CSlideSwitchBase& s, Fixture& f, int n) {
    int result = -1;
    for (int i = 0; i < n; ++i) result = s.StepPixels(f.out.data(), f.from.width, f.from.height, f.pictures);
    return result;
}

// Checks every pixel against a rule: true = incoming, false = outgoing.
template <typename Rule>
void ExpectEveryPixel(const Fixture& f, Rule incoming) {
    int wrong = 0;
    for (int r = 0; r < f.from.height; ++r)
        for (int x = 0; x < f.from.width; ++x) {
            bool ok = incoming(x, r) ? f.IsIncoming(x, r) : f.IsOutgoing(x, r);
            if (!ok && ++wrong < 5) ADD_FAILURE() << "pixel " << x << "," << r;
        }
    EXPECT_EQ(wrong, 0);
}

TEST(SlideSwitch, WipesMoveTheirBoundaryAndCompleteOnTheThirtiethFrame) {
    CSlideSwitchLeft left;
    CSlideSwitchRight right;
    CSlideSwitchBottom bottom;
    CSlideSwitchTop top;
    typedef bool (*Rule)(int x, int r);
    struct Case {
        CSlideSwitchBase* s;
        int steps;
        Rule incoming, last;  // the pixels taken from the incoming picture after steps and after 30
    } cases[] = {
        {&left, 1, [](int x, int) { return x > 619; }, [](int x, int) { return x > 0; }},
        {&right, 1, [](int x, int) { return x < 21; }, nullptr},
        {&bottom, 3, [](int, int r) { return r < 48; }, nullptr},  // k = trunc(480 x 0.1) = 48
        {&top, 3, [](int, int r) { return r > 480 - 48; }, [](int, int r) { return r > 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s->GetType());
        Fixture f;
        EXPECT_EQ(RunTo(*c.s, f, c.steps), 0);
        ExpectEveryPixel(f, c.incoming);
        EXPECT_EQ(RunTo(*c.s, f, 29 - c.steps), 0);
        EXPECT_EQ(RunTo(*c.s, f, 1), 1) << "the 30th frame completes";
        if (c.last) ExpectEveryPixel(f, c.last);
    }
}

// Within a level of the single-precision mix (the weights are fixed point), and the two pictures exactly at the ends.
TEST(SlideSwitch, CrossFadeIsTheTruncatedMixWithinOneLevel) {
    CSlideSwitchGradient s;
    Fixture f;
    for (int step = 1; step <= 30; ++step) {
        int result = RunTo(s, f, 1);
        EXPECT_EQ(result, step == 30 ? 1 : 0);
        const float p = static_cast<float>(step) / 30.0f;
        int wrong = 0;
        for (int r = 0; r < H; r += 7)
            for (int x = 0; x < W; x += 3)
                for (int c = 0; c < 3; ++c) {
                    const BYTE in = f.to.At(x, H - 1 - r)[c], out = f.from.At(x, H - 1 - r)[c];
                    const int expect = static_cast<int>(p * in + (1.0f - p) * out);
                    wrong += std::abs(f.Out(x, r)[c] - expect) > 1;
                    if (step == 30) wrong += f.Out(x, r)[c] != in;
                }
        EXPECT_EQ(wrong, 0) << "step " << step;
        if (step == 15) {
            const BYTE in = f.to.At(10, H - 1 - 20)[1], out = f.from.At(10, H - 1 - 20)[1];
            EXPECT_EQ(f.Out(10, 20)[1], static_cast<int>(0.5f * in + 0.5f * out));
        }
    }
}

TEST(SlideSwitch, CentreRectangleHasStrictBounds) {
    CSlideSwitchCenterRectangle s;
    Fixture f;
    RunTo(s, f, 15);  // w = 320, h = 240, left = 160, bottom = 120
    ExpectEveryPixel(f, [](int x, int r) { return 160 < x && x < 480 && 120 < r && r < 360; });
}

TEST(SlideSwitch, GridCellsGrowInclusiveSquares) {
    CSlideSwitchGrid s;
    Fixture f;
    RunTo(s, f, 15);  // cells 16 x 16, inner 8 x 8 at offset 4, inclusive: 4..12
    ExpectEveryPixel(f, [](int x, int r) { return x % 16 >= 4 && x % 16 <= 12 && r % 16 >= 4 && r % 16 <= 12; });
    // A frame smaller than the grid does not divide by zero.
    CSlideSwitchGrid tiny;
    Fixture small(20, 10);
    EXPECT_EQ(RunTo(tiny, small, 30), 1);
    ExpectEveryPixel(small, [](int, int) { return true; });
}

TEST(SlideSwitch, StepReadsGdiplusBitmapsAndRefusesMissingOnes) {
    kt::EnsureGdiplus();
    Fixture f;
    Gdiplus::Bitmap from(W, H, W * 4, PixelFormat32bppARGB, const_cast<BYTE*>(f.from.bytes.data()));
    Gdiplus::Bitmap to(W, H, W * 4, PixelFormat32bppARGB, const_cast<BYTE*>(f.to.bytes.data()));
    BITMAPINFOHEADER frame = {};
    frame.biWidth = W;
    frame.biHeight = H;
    frame.biBitCount = 24;
    CSlideSwitchRight s;
    std::vector<BYTE> before = f.out;
    EXPECT_EQ(s.Step(f.out.data(), frame, nullptr, &to), 2);
    EXPECT_EQ(s.Step(f.out.data(), frame, &from, nullptr), 2);
    EXPECT_EQ(f.out, before) << "nothing is written without both pictures";
    EXPECT_EQ(s.CurrentStep(), 1) << "a refused step does not count";
    EXPECT_EQ(s.Step(f.out.data(), frame, &from, &to), 0);
    ExpectEveryPixel(f, [](int x, int) { return x < 21; });
    int result = 0;
    while (s.CurrentStep() <= 30) result = s.Step(f.out.data(), frame, &from, &to);
    EXPECT_EQ(result, 1);
    ExpectEveryPixel(f, [](int, int) { return true; });
    // The next transition reads its own pictures, not the last one's.
    s.Restart();
    EXPECT_EQ(s.Step(f.out.data(), frame, &to, &from), 0);
    ExpectEveryPixel(f, [](int x, int) { return x >= 21; });
}

TEST(SlideSwitch, SevenPicksUseSevenDifferentTransitionsThenStartOver) {
    CSlideSwitchPool pool;
    for (int round = 0; round < 3; ++round) {
        std::set<int> types;
        for (int i = 0; i < 7; ++i) {
            CSlideSwitchBase* s = pool.Pick();
            EXPECT_EQ(s->CurrentStep(), 1);
            types.insert(s->GetType());
            Fixture f(40, 30);
            RunTo(*s, f, 5);  // a used transition starts afresh when picked again
        }
        EXPECT_EQ(types.size(), 7u) << "round " << round;
    }
}

}  // namespace
