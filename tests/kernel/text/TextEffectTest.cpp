// The caption effect through its data-module interface and the real chain.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "GdiPlus.h"
#include "IDataVideoEffectText.h"
#include "KernelTestSupport.h"
#include "TestSupport.h"
#include "VideoEffectText.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

const int kW = 640;
const int kH = 480;

// The effect with a clock the test moves by hand.
class ClockedText : public CVideoEffectText {
public:
    DWORD now = 100000;

protected:
    DWORD GetNow() override { return now; }
};

class EnableRecorder : public IDataVideoEffectTextObserver {
public:
    void OnTextEnable(bool enabled) override { calls.push_back(enabled); }
    std::vector<bool> calls;
};

// A frame filled with one colour (0xRRGGBB).
std::vector<BYTE> Frame(unsigned rgb, int width = kW, int height = kH) {
    std::vector<BYTE> frame(static_cast<size_t>(VideoFrameStride(width, 24)) * height);
    for (size_t i = 0; i + 2 < frame.size(); i += 3) {
        frame[i] = static_cast<BYTE>(rgb);
        frame[i + 1] = static_cast<BYTE>(rgb >> 8);
        frame[i + 2] = static_cast<BYTE>(rgb >> 16);
    }
    return frame;
}

// Pixels of rows [fromBottom, toBottom) and columns [x0, x1) for which the test holds.
template <typename Test>
int CountPixels(const std::vector<BYTE>& frame, int fromBottom, int toBottom, int x0, int x1, Test test) {
    int n = 0;
    for (int y = fromBottom; y < toBottom; ++y)
        for (int x = x0; x < x1; ++x)
            if (test(kt::PixelAt(frame, kW, x, y))) ++n;
    return n;
}

// The white text over a dark band.
int BrightPixels(const std::vector<BYTE>& frame, int fromBottom, int toBottom, int x0 = 0, int x1 = kW) {
    return CountPixels(frame, fromBottom, toBottom, x0, x1, [](unsigned p) { return (p & 0xFF) > 150; });
}

void ExpectBlended(unsigned pixel, unsigned bandRgb, int alpha, unsigned oldRgb, const char* where) {
    for (int shift : {16, 8, 0}) {
        const int band = (bandRgb >> shift) & 0xFF, old = (oldRgb >> shift) & 0xFF;
        EXPECT_NEAR(static_cast<int>((pixel >> shift) & 0xFF), (band * alpha + old * (255 - alpha)) / 255.0, 1.0)
            << where;
    }
}

class TextTest : public testing::Test {
protected:
    void SetUp() override {
        kt::EnsureGdiplus();
        m_ini = zxtest::RedirectUserFolders("text") + "ZxVCam.ini";
        ZxConfigSetFile(m_ini.c_str());
    }
    void TearDown() override {
        LogFlush(zxtest::kHangGuardMs);
        ZxConfigSetFile(nullptr);
    }
    // Every setting of the caption in one line.
    static std::string Settings(CVideoEffectText& t) {
        char line[160];
        std::snprintf(line, sizeof(line), "size=%d bui=%d%d%d colours=%08X/%08X move=%d/%d pos=%d alpha=%d on=%d",
                      t.GetFontSize(), t.GetBold(), t.GetUnderLine(), t.GetItalic(),
                      static_cast<unsigned>(t.GetTextColor()), static_cast<unsigned>(t.GetBkColor()),
                      t.GetMoveDirection(), t.GetMoveSpeed(), t.GetTextPos(), t.GetBkAlpha(), t.GetEnable());
        return t.GetText() + "|" + t.GetFont() + "|" + line;
    }
    // Announces the frame format (unless asked not to) and starts the caption.
    void Start(CVideoEffectText& text, bool announce = true) {
        if (announce) kernel.AnnounceFormat();
        ASSERT_TRUE(text.Init());
    }
    uint32_t Stored(const char* key) {
        uint32_t value = 0xDEADBEEF;
        AfxGetConfigManager()->GetUInt("VEText", key, value);
        return value;
    }
    std::string m_ini;
    kt::TestKernal kernel;  // outlives every caption of a test: the captions leave its chain as they go
};

TEST_F(TextTest, StartsWithTheDefaultsSavesEveryChangeAtOnceAndRestoresIt) {
    {
        CVideoEffectText text;
        ASSERT_TRUE(text.Init());
        ASSERT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTTEXT),
                  static_cast<IData*>(static_cast<IDataVideoEffectText*>(&text)));
        EXPECT_EQ(kernel.chain.Count(), 0u);
        EXPECT_EQ(Settings(text),
                  "维莫虚拟摄像头|宋体|size=20 bui=000 colours=FFFFFFFF/FF000000 move=0/100 pos=0 alpha=127 on=0");

        text.SetText("Hello 字幕");  // written after a pause or at UnInit: the typing case
        text.SetFont("Tahoma");
        text.SetFontSize(33);
        EXPECT_EQ(Stored("FontSize"), 33u) << "saved the moment it changes";
        text.SetBold(true);
        text.SetUnderLine(true);
        text.SetItalic(true);
        text.SetTextColor(0x00123456);
        text.SetBkColor(0x00654321);
        text.SetMoveDirection(2);
        text.SetMoveSpeed(42);
        text.SetTextPos(50);
        text.SetBkAlpha(200);
        text.SetEnable(true);
        text.UnInit();
        EXPECT_EQ(kernel.chain.Count(), 0u) << "stopping leaves the chain";
        EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTTEXT), nullptr);
    }
    const std::string ini = zxtest::ReadFile(m_ini);
    for (const char* line : {"[VEText]", "Text=Hello 字幕", "Font=Tahoma", "FontSize=33", "Bold=1", "UnderLine=1",
                             "Italic=1", "TextColor=1193046", "BkColor=6636321", "MoveDirection=2", "MoveSpeed=42",
                             "TextPos=50", "BkAlpha=200", "Enable=1"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << " in\n" << ini;

    ZxConfigSetFile(m_ini.c_str());  // read the file afresh, as at the next start
    CVideoEffectText again;
    again.Init();
    EXPECT_EQ(Settings(again),
              "Hello 字幕|Tahoma|size=33 bui=111 colours=00123456/00654321 move=2/42 pos=50 alpha=200 on=1");
    EXPECT_EQ(kernel.chain.Count(), 1u) << "an enabled caption joins the chain at start";
}

TEST_F(TextTest, TypingIsDrawnAtOnceAndTheTextIsWrittenAfterAPauseOrAtUnInit) {
    std::string stored;
    {
        CVideoEffectText text;
        ASSERT_TRUE(text.Init());
        text.SetTextSaveDelay(60000);   // no pause long enough during the test
        std::string typed;
        for (const char* key : {"H", "e", "l", "l", "o", " ", "字", "幕"}) {
            typed += key;
            text.SetText(typed);
            EXPECT_EQ(text.GetText(), typed) << "each keystroke reaches the caption at once";
        }
        EXPECT_EQ(zxtest::ReadFile(m_ini).find("Text=H"), std::string::npos)
            << "nothing written while the typing goes on";
        EXPECT_FALSE(text.WaitTextSaved(0));
        text.UnInit();
        EXPECT_NE(zxtest::ReadFile(m_ini).find("Text=Hello 字幕"), std::string::npos) << "UnInit writes the last text";

        // After a pause the saver writes the newest text, once.
        ASSERT_TRUE(text.Init());
        text.SetTextSaveDelay(50);
        text.SetText("A");
        text.SetText("AB");
        ASSERT_TRUE(text.WaitTextSaved(10000));
        EXPECT_TRUE(AfxGetConfigManager()->GetString("VEText", "Text", stored));
        EXPECT_EQ(stored, "AB");
        EXPECT_NE(zxtest::ReadFile(m_ini).find("Text=AB"), std::string::npos);
        text.SetText("ABC");
    }   // the destructor's UnInit writes the last text too
    ZxConfigSetFile(m_ini.c_str());
    EXPECT_TRUE(AfxGetConfigManager()->GetString("VEText", "Text", stored));
    EXPECT_EQ(stored, "ABC");
}

TEST_F(TextTest, DamagedSettingsKeepTheDefaultsWithALogLineAndStayInTheFile) {
    ASSERT_TRUE(zxtest::WriteFile(m_ini, "[VEText]\r\nFontSize=300\r\nMoveDirection=7\r\nMoveSpeed=1000\r\n"
                                         "TextPos=500\r\nBkAlpha=999\r\nTextColor=abc\r\nText=\r\n"));
    ZxConfigSetFile(m_ini.c_str());
    CVideoEffectText text;
    text.Init();
    // The damaged values keep their defaults; an empty text that was saved is the user's choice.
    EXPECT_EQ(Settings(text), "|宋体|size=20 bui=000 colours=FFFFFFFF/FF000000 move=0/100 pos=0 alpha=127 on=0");
    text.UnInit();
    EXPECT_EQ(Stored("FontSize"), 300u) << "nothing is overwritten";
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    const std::string log = zxtest::ReadFile(Dir::GetLogPath() + "ZxVVideoEffect.txt");
    EXPECT_NE(log.find("FontSize=300"), std::string::npos) << log;
    EXPECT_NE(log.find("TextPos=500"), std::string::npos) << log;
}

TEST_F(TextTest, EnablingTwiceNotifiesOnceAndDisablingLeavesTheChainAtOnce) {
    CVideoEffectText text;
    Start(text);
    EnableRecorder observer;
    ASSERT_TRUE(AfxGetMessageManager()->AttachObserver(ZX_MOD_VIDEOEFFECTTEXT_OB, &observer, OBSERVER_MODE_DIRECT));
    text.SetEnable(true);
    text.SetEnable(true);
    EXPECT_EQ(observer.calls, std::vector<bool>{true});
    EXPECT_EQ(kernel.chain.Count(), 1u);
    EXPECT_EQ(Stored("Enable"), 1u);

    text.SetEnable(false);
    text.SetEnable(false);
    EXPECT_EQ(observer.calls, (std::vector<bool>{true, false}));
    EXPECT_EQ(kernel.chain.Count(), 0u);
    EXPECT_EQ(Stored("Enable"), 0u);
    std::vector<BYTE> frame = Frame(0x808080);
    kernel.RunFrame(frame, 0);
    EXPECT_TRUE(frame == Frame(0x808080)) << "the very next frame is untouched";
    AfxGetMessageManager()->DetachObserver(ZX_MOD_VIDEOEFFECTTEXT_OB, &observer);
}

TEST_F(TextTest, TheBandSitsOnTheBottomAtZeroAndOnTheTopAtHundredWithTheTextInside) {
    CVideoEffectText text;
    Start(text);
    text.SetMoveDirection(1);  // the text at x = 0, away from the right edge
    text.SetBkColor(0x80102030);  // the high byte is ignored: red 0x30, green 0x20, blue 0x10
    text.SetBkAlpha(200);
    text.SetEnable(true);
    const int h = static_cast<int>(text.GetTextHeight());
    ASSERT_GT(h, 10);
    ASSERT_LT(text.GetTextWidth(), 400.0f);
    auto untouched = [](unsigned p) { return p == 0xC86432u; };

    std::vector<BYTE> frame;
    for (const int pos : {0, 100}) {
        SCOPED_TRACE(pos);
        text.SetTextPos(pos);
        const int bottom = pos == 0 ? 0 : kH - h;  // the band's lowest row, counted from the bottom
        EXPECT_EQ(text.GetBandTop(), kH - h - bottom);
        frame = Frame(0xC86432);
        kernel.RunFrame(frame, 0);
        ExpectBlended(kt::PixelAt(frame, kW, 639, bottom), 0x302010, 200, 0xC86432, "bottom row of the band");
        ExpectBlended(kt::PixelAt(frame, kW, 639, bottom + h - 1), 0x302010, 200, 0xC86432, "top row of the band");
        EXPECT_EQ(CountPixels(frame, 0, kH, 0, kW, untouched), (kH - h) * kW) << "nothing drawn outside the band";
        EXPECT_GT(BrightPixels(frame, bottom, bottom + h), 30) << "the white text inside the band";
    }
    text.SetTextPos(50);
    EXPECT_EQ(text.GetBandTop(), (kH - h) / 2);

    // An opaque blue band: fully covered text pixels take the (red) text colour.
    text.SetBkAlpha(255);
    text.SetBkColor(0x00FF0000);
    text.SetTextColor(0x000000FF);
    text.SetTextPos(0);
    frame = Frame(0x00FF00);
    kernel.RunFrame(frame, 0);
    EXPECT_EQ(kt::PixelAt(frame, kW, 639, 0), 0x0000FFu);
    EXPECT_GT(CountPixels(frame, 0, h, 0, kW, [](unsigned p) { return p == 0xFF0000u; }), 10);
}

TEST_F(TextTest, EveryChangeOfTextOrFontIsMeasuredFromTheFirstFormatOnAndAMissingFontFallsBack) {
    CVideoEffectText text;
    Start(text, false);    // no format announced yet: 0 x 0
    text.SetEnable(true);  // the effect learns the frame size by joining the chain
    EXPECT_EQ(text.GetTextWidth(), 0.0f);
    EXPECT_EQ(text.GetTextHeight(), 0.0f);
    EXPECT_EQ(text.GetBandTop(), 0);
    EXPECT_EQ(text.GetTextX(), 0.0f) << "direction 0 starts at the frame width, still 0";
    kernel.AnnounceFormat();
    EXPECT_GT(text.GetTextWidth(), 0.0f) << "the first format measures again";
    EXPECT_EQ(text.GetBandTop(), kH - static_cast<int>(text.GetTextHeight()));
    EXPECT_EQ(text.GetTextX(), 0.0f) << "measuring leaves the text where it is";

    text.SetMoveDirection(1);
    text.SetText("II");
    const float narrow = text.GetTextWidth();
    text.SetText("IIIIIIIIIIII");
    EXPECT_GT(text.GetTextWidth(), narrow + 10);
    const float small = text.GetTextHeight();
    text.SetFontSize(40);
    EXPECT_GT(text.GetTextHeight(), small + 10);
    EXPECT_EQ(text.GetBandTop(), kH - static_cast<int>(text.GetTextHeight()));

    text.SetText("测试字幕测试字幕");
    const int h = static_cast<int>(text.GetTextHeight()), w = static_cast<int>(text.GetTextWidth());
    std::vector<BYTE> frame = Frame(0x202020);
    kernel.RunFrame(frame, 0);
    EXPECT_GT(BrightPixels(frame, 0, h, 0, w), 200) << "the text is drawn from x = 0";
    EXPECT_EQ(BrightPixels(frame, 0, h, w + 4, kW), 0) << "and nowhere past its width";

    WCHAR generic[LF_FACESIZE] = {0};
    ASSERT_EQ(Gdiplus::FontFamily::GenericSansSerif()->GetFamilyName(generic), Gdiplus::Ok);
    text.SetFont(Charset::WString2String(generic));
    const float genericWidth = text.GetTextWidth();
    text.SetFont("No Such Font 不存在");
    EXPECT_EQ(text.GetFont(), "No Such Font 不存在") << "the chosen name is kept";
    EXPECT_EQ(text.GetDrawnFontFamily(), Charset::WString2String(generic));
    EXPECT_FLOAT_EQ(text.GetTextWidth(), genericWidth);
    frame = Frame(0x202020);
    kernel.RunFrame(frame, 0);
    EXPECT_GT(BrightPixels(frame, 0, h, 0, w), 200) << "and the text is still drawn";
}

TEST_F(TextTest, DirectionsStartWhereTheTextEntersAndSpeedSetsTheInterval) {
    ClockedText text;
    Start(text);
    std::vector<BYTE> frame = Frame(0);
    auto run = [&](DWORD ms) {
        text.now += ms;
        kernel.RunFrame(frame, 0);
        return text.GetTextX();
    };
    text.SetEnable(true);
    EXPECT_EQ(text.GetTextX(), 640.0f) << "right to left enters at the right edge";
    EXPECT_EQ(run(4), 640.0f) << "speed 100 steps every 5 ms";
    EXPECT_EQ(run(1), 638.0f);
    EXPECT_EQ(run(1000), 636.0f) << "one step per frame however long the pause";

    text.SetMoveDirection(1);
    EXPECT_EQ(text.GetTextX(), 0.0f);
    EXPECT_EQ(run(1000), 0.0f) << "still never steps";
    text.SetMoveSpeed(0);
    run(1000);
    EXPECT_EQ(text.GetMoveSpeed(), 0) << "nor clamps the speed";

    text.SetMoveSpeed(1);
    text.SetMoveDirection(0);
    EXPECT_EQ(text.GetTextX(), 640.0f);
    EXPECT_EQ(run(499), 640.0f) << "leaving the still mode restarts the interval; speed 1 is 500 ms";
    EXPECT_EQ(run(1), 638.0f);

    text.SetMoveSpeed(0);
    EXPECT_EQ(Stored("MoveSpeed"), 0u) << "saved as given";
    run(0);
    EXPECT_EQ(text.GetMoveSpeed(), 1) << "clamped by the first frame";
    text.SetMoveSpeed(200);
    run(0);
    EXPECT_EQ(text.GetMoveSpeed(), 100);

    text.SetEnable(false);
    text.SetMoveDirection(2);
    text.SetEnable(true);
    EXPECT_EQ(text.GetTextX(), -text.GetTextWidth()) << "left to right enters just off the left edge";
    EXPECT_EQ(run(5), -text.GetTextWidth() + 2);
}

TEST_F(TextTest, ScrollingWrapsAroundAtBothEdges) {
    kernel.AnnounceFormat(80, 60);
    ClockedText text;
    text.Init();
    text.SetText("ab");
    text.SetEnable(true);
    const float w = text.GetTextWidth();
    ASSERT_GT(w, 4.0f);
    std::vector<BYTE> frame = Frame(0, 80, 60);
    for (int direction : {0, 2}) {
        text.SetMoveDirection(direction);
        const float step = direction == 0 ? -2.0f : 2.0f;
        float previous = text.GetTextX();
        int wraps = 0;
        for (int i = 0; i < 200 && !wraps; ++i) {
            text.now += 5;
            kernel.RunFrame(frame, 0);
            const float x = text.GetTextX();
            if (x == previous + step) {
                previous = x;
                continue;
            }
            ++wraps;
            if (direction == 0) {
                EXPECT_EQ(x, 80.0f);
                EXPECT_TRUE(previous + w >= 0 && previous - 2 + w < 0) << "wholly off the left edge";
            } else {
                EXPECT_EQ(x, -w);
                EXPECT_TRUE(previous <= 80 && previous + 2 > 80) << "wholly off the right edge";
            }
        }
        EXPECT_EQ(wraps, 1) << "direction " << direction;
    }
}

TEST_F(TextTest, LongTextsScrollInFullAndWithoutJumps) {
    kernel.AnnounceFormat();
    // A caption kept whole between frames, and one so large that only a part
    // of it is kept and rendered again as it scrolls by (3600 steps go past
    // the end of that part).
    struct Case {
        uint8_t size;
        int repeat;
        int steps;
    };
    for (Case c : {Case{20, 100, 400}, Case{255, 40, 3600}}) {
        SCOPED_TRACE(testing::Message() << "size " << int(c.size));
        ZxConfigSetFile(zxtest::MakeTempDir("long").append("ZxVCam.ini").c_str());
        ClockedText text;
        text.Init();
        std::string caption;
        for (int i = 0; i < c.repeat; ++i) caption += "测";
        text.SetText(caption);
        text.SetFontSize(c.size);
        text.SetMoveDirection(2);
        text.SetEnable(true);
        ASSERT_GT(text.GetTextWidth(), 1900.0f);
        const int h = std::min(static_cast<int>(text.GetTextHeight()), kH);
        std::vector<BYTE> frame, previous;
        int worstMismatch = 0;
        for (int step = 1; step <= c.steps; ++step) {
            text.now += 5;
            frame.assign(921600, 0);
            kernel.RunFrame(frame, 0);
            if (step == 100) {
                ASSERT_FLOAT_EQ(text.GetTextX(), -text.GetTextWidth() + 200);
                EXPECT_GT(BrightPixels(frame, 0, h, 0, 200), 100) << "the end of the text has come in";
                EXPECT_EQ(BrightPixels(frame, 0, h, 210, kW), 0);
            }
            if (!previous.empty()) {
                // Each frame is the one before moved 2 pixels to the right.
                int mismatch = 0;
                for (int r = 0; r < 8; ++r) {
                    const int y = (2 * r + 1) * h / 16;
                    for (int x = 0; x + 2 < kW; ++x)
                        if (kt::PixelAt(frame, kW, x + 2, y) != kt::PixelAt(previous, kW, x, y)) ++mismatch;
                }
                worstMismatch = std::max(worstMismatch, mismatch);
            }
            previous.swap(frame);
        }
        EXPECT_LE(worstMismatch, 8 * kW / 100) << "the text never jumps";
        EXPECT_GT(BrightPixels(previous, 0, h, 0, 320), 100) << "the text fills the frame";
        EXPECT_GT(BrightPixels(previous, 0, h, 320, kW), 100);
        text.UnInit();
    }
}

TEST_F(TextTest, SettingsChangeSafelyWhileFramesRun) {
    CVideoEffectText text;
    Start(text);
    text.SetEnable(true);
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread frameThread([&] {  // as the video manager's frame thread
        std::vector<BYTE> frame(921600, 0);
        while (!stop) {
            kernel.RunFrame(frame, 0);
            ++frames;
        }
    });
    const char* texts[] = {"短", "一段比较长的字幕文字 with some Latin text", ""};
    for (int i = 0; i < 20; ++i) {
        text.SetText(texts[i % 3]);
        text.SetFont(i % 2 ? "Tahoma" : "No Such Font");
        text.SetFontSize(static_cast<uint8_t>(15 + 2 * i));
        text.SetItalic(i % 2 == 0);
        text.SetMoveDirection(i % 3);
        text.SetTextPos((i % 3) * 50);
        text.SetEnable(i % 5 != 0);  // leaving and joining the chain while frames run
    }
    text.SetEnable(true);
    text.SetTextPos(0);
    const int before = frames;
    EXPECT_TRUE(zxtest::WaitUntil([&] { return frames >= before + 3; }));
    stop = true;
    frameThread.join();
    EXPECT_EQ(kernel.chain.Count(), 1u);
    EXPECT_EQ(text.GetText(), texts[19 % 3]);
    EXPECT_EQ(text.GetBandTop(), kH - static_cast<int>(text.GetTextHeight()));
}

}  // namespace
