#include <cstdlib>

#include "ColourTestSupport.h"
#include "IDataVEFaceThin.h"
#include "VideoEffectFaceThin.h"

namespace {

using ct::PaintRows;
using ct::PixelTop;
using ct::Rgb;

const unsigned kRed = 0xFF0000, kBlue = 0x0000FF, kGrey = 0x808080, kWhite = 0xFFFFFF;

class FaceThinTest : public kt::EffectTest {
protected:
    void TearDown() override {
        thin.UnInit();
        kt::EffectTest::TearDown();
    }
    int IniInt(const char* key) {
        int value = -12345;
        AfxGetConfigManager()->GetInt("VEFaceThin", key, value);
        return value;
    }
    CVideoEffectFaceThin thin;
};

// A 640 x height picture: 20 red rows at the top, 20 blue rows at the bottom,
// grey between, with three-row white marks around rows 130 and 350.
std::vector<BYTE> BandedFrame(int height = 480) {
    std::vector<BYTE> frame = ct::Frame(640, height, 0x80, 0x80, 0x80);
    PaintRows(frame, 640, height, 0, 20, kRed);
    PaintRows(frame, 640, height, height - 20, 20, kBlue);
    if (height == 480) {
        PaintRows(frame, 640, height, 129, 3, kWhite);
        PaintRows(frame, 640, height, 349, 3, kWhite);
    }
    return frame;
}

int Red(unsigned rgb) { return int(rgb >> 16); }
int Blue(unsigned rgb) { return int(rgb & 0xFF); }

TEST_F(FaceThinTest, StartsWithDefaultsInTheChainAndOnTheBus) {
    ASSERT_TRUE(thin.Init());
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTFACETHIN), static_cast<IData*>(&thin));
    EXPECT_EQ(kernal.chain.Count(), 1u);
    EXPECT_FALSE(thin.GetEnable());
    EXPECT_EQ(thin.GetStretchRatio(), 0);
    std::vector<BYTE> frame = BandedFrame();
    const std::vector<BYTE> original = frame;
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(frame, original) << "with its defaults the module changes nothing";
    thin.UnInit();
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTFACETHIN), nullptr);
}

TEST_F(FaceThinTest, LevelsRaiseTheirChannelsAndClamp) {
    ASSERT_TRUE(thin.Init());
    thin.SetRed(100);
    std::vector<BYTE> frame = ct::Frame(640, 480, 200, 100, 100);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(kt::PixelAt(frame, 640, 320, 240), Rgb(255, 100, 100));

    // Every channel at once; 100 x 1.05 is 105 exactly.
    thin.SetRed(5);
    thin.SetGreen(20);
    thin.SetBlue(100);
    frame = ct::Frame(640, 480, 100, 100, 100);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(kt::PixelAt(frame, 640, 320, 240), Rgb(105, 120, 200));

    // Levels apply while thinning is off.
    thin.SetRed(0);
    thin.SetGreen(0);
    thin.SetBlue(20);
    thin.SetStretchRatio(10);  // thinning stays disabled
    frame = BandedFrame();
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(PixelTop(frame, 640, 480, 5, 0), Rgb(255, 0, 0)) << "not stretched: the top is still red";
    EXPECT_EQ(PixelTop(frame, 640, 480, 5, 240), Rgb(128, 128, 153));
    EXPECT_EQ(PixelTop(frame, 640, 480, 5, 479), Rgb(0, 0, 255));
}

TEST_F(FaceThinTest, SettersClampIgnoreAndSave) {
    ASSERT_TRUE(thin.Init());
    EXPECT_TRUE(thin.SetEnable(true));
    EXPECT_TRUE(thin.GetEnable());
    thin.SetStretchRatio(150);
    EXPECT_EQ(thin.GetStretchRatio(), 100);
    EXPECT_EQ(IniInt("StretchRatio"), 100);
    thin.SetStretchRatio(-5);
    EXPECT_EQ(thin.GetStretchRatio(), 0);
    EXPECT_EQ(IniInt("StretchRatio"), 0);
    thin.SetStretchRatio(37);

    thin.SetRed(40);
    thin.SetGreen(0);
    thin.SetBlue(100);
    thin.SetRed(150);
    thin.SetGreen(-1);
    thin.SetBlue(101);
    EXPECT_EQ(thin.GetRed(), 40);
    EXPECT_EQ(thin.GetGreen(), 0);
    EXPECT_EQ(thin.GetBlue(), 100);
    EXPECT_EQ(IniInt("Red"), 40);
    EXPECT_EQ(IniInt("Green"), 0);
    EXPECT_EQ(IniInt("Blue"), 100);
    // What the next start reads from these keys: the stored-values case.
}

TEST_F(FaceThinTest, StoredValuesAreReadAsTheyAreExceptTheRatio) {
    WriteIni("[VEFaceThin]\r\nRed=150\r\nGreen=abc\r\nBlue=20\r\nStretchRatio=300\r\nEnable=yes\r\n");
    ASSERT_TRUE(thin.Init());
    EXPECT_EQ(thin.GetRed(), 150) << "used as read";
    EXPECT_EQ(thin.GetGreen(), 0) << "unreadable: the default";
    EXPECT_EQ(thin.GetBlue(), 20);
    EXPECT_EQ(thin.GetStretchRatio(), 100);
    EXPECT_TRUE(thin.GetEnable());
    EXPECT_NE(IniText().find("Red=150"), std::string::npos) << "reading writes nothing back";

    thin.SetEnable(false);
    std::vector<BYTE> frame = ct::Frame(640, 480, 100, 60, 100);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(kt::PixelAt(frame, 640, 320, 240), Rgb(250, 60, 120)) << "red 150 scales by 2.5, blue 20 by 1.2";
}

TEST_F(FaceThinTest, RatioTenStretchesRowsTwentyToFourHundredFiftyNineOverTheFrameAfterTheColour) {
    ASSERT_TRUE(thin.Init());
    thin.SetEnable(true);
    thin.SetStretchRatio(10);
    std::vector<BYTE> frame = BandedFrame();
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    // The red and blue strips (rows 0-19 and 460-479) are cut off: at most a
    // trace of them blends into the outermost row.
    for (int top = 0; top < 480; ++top) {
        for (int x : {0, 320, 639}) {
            const unsigned p = PixelTop(frame, 640, 480, x, top);
            const int limit = (top == 0 || top == 479) ? 40 : 0;
            ASSERT_LE(std::abs(Red(p) - Blue(p)), limit) << "row " << top << " x " << x << " " << std::hex << p;
        }
    }
    // The marks move outwards by the stretch 480 / 440: row 130 to about
    // 120, row 350 to about 360; the middle row stays grey.
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 120), kWhite);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 360), kWhite);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 130), kGrey);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 350), kGrey);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 240), kGrey);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 20), kGrey);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 459), kGrey);

    // The colour is adjusted before the stretch.
    thin.SetGreen(50);
    frame = BandedFrame();
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 240), Rgb(128, 192, 128));
    EXPECT_EQ(PixelTop(frame, 640, 480, 320, 120), Rgb(255, 255, 255));
}

TEST_F(FaceThinTest, RatioTooLargeForTheFrameHeightSkipsTheStretch) {
    kernal.AnnounceFormat(640, 240);
    ASSERT_TRUE(thin.Init());
    thin.SetEnable(true);
    thin.SetStretchRatio(60);  // 4 x 60 = 240: no rows would be left
    std::vector<BYTE> frame = BandedFrame(240);
    const std::vector<BYTE> original = frame;
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(frame, original);
    thin.SetStretchRatio(100);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(frame, original);

    // The colour adjustment still applies.
    thin.SetRed(100);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(PixelTop(frame, 640, 240, 5, 120), Rgb(255, 128, 128));

    // Ratio 55 leaves rows 110 to 129, stretched over all 240 rows.
    thin.SetRed(0);
    thin.SetStretchRatio(55);
    frame = BandedFrame(240);
    kernal.RunFrame(frame, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(PixelTop(frame, 640, 240, 5, 0), kGrey);
    EXPECT_EQ(PixelTop(frame, 640, 240, 5, 239), kGrey);
}

}  // namespace
