#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "GifWriter.h"
#include "IDataVEBorder.h"
#include "KernelTestSupport.h"
#include "TestSupport.h"
#include "VideoEffectBorder.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

const int kW = 640, kH = 480;
const unsigned kBackground = 0x404040;
// Palette of the test pictures: 0 transparent, then red, green, blue, white.
const std::vector<uint32_t> kPalette = {0xFF00FF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};

// The border under test, with a clock the test sets.
class TestBorder : public CVideoEffectBorder {
public:
    DWORD now = 100000;

protected:
    DWORD GetTickNow() override { return now; }
};

class Events : public IDataVEBorderObserver {
public:
    Events() { AfxGetMessageManager()->AttachObserver(ZX_MOD_VEBORDER_OB, this, OBSERVER_MODE_DIRECT); }
    ~Events() override { AfxGetMessageManager()->DetachObserver(ZX_MOD_VEBORDER_OB, this); }
    void OnBorderChanged(int id, const std::string& name) override { seen.emplace_back(id, name); }
    std::vector<std::pair<int, std::string>> seen;
};

std::string SavedName() {
    std::string name = "<missing>";
    AfxGetConfigManager()->GetString("VEBorder", "BorderName", name);
    return name;
}

class BorderTest : public kt::EffectTest {
protected:
    void SetUp() override {
        kt::EffectTest::SetUp();
        m_pendant = m_res + "pendant\\";
    }
    void TearDown() override {
        m_border.UnInit();
        kt::EffectTest::TearDown();
    }

    // A 64 x 48 picture with an 8-pixel band (80 pixels once stretched over the frame) in one colour per frame.
    void WriteBorder(const std::string& name, const std::vector<uint8_t>& colours, const std::vector<int>& delays) {
        std::vector<gif::Frame> frames;
        for (size_t i = 0; i < colours.size(); ++i) frames.push_back(gif::BandFrame(64, 48, 8, colours[i], delays[i]));
        Dir::MakeDir(m_pendant);
        ASSERT_TRUE(zxtest::WriteFile(m_pendant + name + ".gif", gif::Encode(64, 48, kPalette, 0, frames)));
    }
    void WriteBadBorder(const std::string& name) {
        Dir::MakeDir(m_pendant);
        ASSERT_TRUE(zxtest::WriteFile(m_pendant + name + ".gif", "GIF89a this is not a picture"));
    }

    // Runs one grey frame through the chain and returns it.
    std::vector<BYTE> Frame() {
        std::vector<BYTE> frame(static_cast<size_t>(kW) * kH * 3, 0x40);
        kernal.RunFrame(frame, VIDEO_STREAM_NONE);
        return frame;
    }
    static unsigned At(const std::vector<BYTE>& f, int x, int yFromBottom) { return kt::PixelAt(f, kW, x, yFromBottom); }

    // The colour of the band in a frame: checked at points of all four
    // sides, which must agree; the middle must be untouched.
    static unsigned BandColour(const std::vector<BYTE>& f) {
        unsigned c = At(f, 40, 40);
        EXPECT_EQ(At(f, 600, 440), c) << "upper right";
        EXPECT_EQ(At(f, 320, 20), c) << "bottom edge";
        EXPECT_EQ(At(f, 20, 240), c) << "left edge";
        EXPECT_EQ(At(f, 320, 240), kBackground) << "the middle stays untouched";
        EXPECT_EQ(At(f, 100, 100), kBackground) << "just inside the band";
        EXPECT_EQ(At(f, 540, 380), kBackground) << "just inside the band";
        return c;
    }

    std::string m_pendant;
    TestBorder m_border;
};

TEST_F(BorderTest, MissingOrEmptyFolderGivesNoBordersAndTheSavedNameStays) {
    AfxGetConfigManager()->SetString("VEBorder", "BorderName", "stars", 0);
    for (bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "empty folder" : "no folder");
        if (folder) Dir::MakeDir(m_pendant);
        ASSERT_TRUE(m_border.Init());
        std::vector<VEBorderItem*> list;
        m_border.GetBorderList(list);
        EXPECT_TRUE(list.empty());
        EXPECT_EQ(m_border.GetBorder(), -1);
        EXPECT_EQ(m_border.FindBorderByName("stars"), -1);
        EXPECT_EQ(kernal.chain.Count(), 0u);
        EXPECT_EQ(SavedName(), "stars") << "a saved name without a file stays saved";
        EXPECT_EQ(At(Frame(), 40, 40), kBackground);
        m_border.UnInit();
    }
}

TEST_F(BorderTest, ListsTheFolderPicturesWithTheirThumbnailsAndRegistersTheModule) {
    const std::string chinese = "\xE6\x98\x9F\xE5\x85\x89";  // 星光
    WriteBorder("b", {1}, {0});
    WriteBorder("a", {2}, {0});
    WriteBorder(chinese, {3}, {0});
    ASSERT_TRUE(zxtest::WriteFile(m_pendant + "a.jpg", "thumbnail"));
    // Which files of the folder are pictures is the folder search's own (ZxLib's FindTest).
    ASSERT_TRUE(zxtest::WriteFile(m_pendant + "c.gifx", "not a border"));
    ASSERT_TRUE(m_border.Init());
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VEBORDER), static_cast<IData*>(&m_border));

    VEBorderItem before = {};
    std::vector<VEBorderItem*> list = {&before};
    EXPECT_FALSE(m_border.GetBorderList(list)) << "the result carries no meaning";
    ASSERT_EQ(list.size(), 4u) << "appended after what the caller had";
    EXPECT_EQ(list[0], &before);
    const std::string folder = m_res + "pendant";
    const char* names[] = {"a", "b", nullptr};
    names[2] = chinese.c_str();
    for (int i = 0; i < 3; ++i) {
        const VEBorderItem* item = list[static_cast<size_t>(i) + 1];
        EXPECT_EQ(item->id, i);
        EXPECT_EQ(item->name, names[i]);
        EXPECT_EQ(item->thumbPath, folder + "\\" + names[i] + ".jpg");
        EXPECT_EQ(item->filePath, Charset::String2WString(folder + "\\" + names[i] + ".gif"));
        EXPECT_EQ(m_border.GetBorderName(i), names[i]);
        EXPECT_EQ(m_border.FindBorderByName(names[i]), i);
    }
    EXPECT_EQ(m_border.GetBorderName(3), "");
    EXPECT_EQ(m_border.GetBorderFilePath(7), L"");
    EXPECT_EQ(m_border.FindBorderByName("A"), -1) << "names match exactly";
    EXPECT_EQ(m_border.GetBorder(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);

    m_border.UnInit();
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_VEBORDER), nullptr);
    list.clear();
    m_border.GetBorderList(list);
    EXPECT_TRUE(list.empty());
}

TEST_F(BorderTest, ChosenBorderIsDrawnOverTheEdgeSavedAndAnnounced) {
    WriteBorder("red", {1}, {0});
    WriteBorder("green", {2}, {0});
    ASSERT_TRUE(m_border.Init());
    Events events;
    std::vector<BYTE> plain = Frame();
    EXPECT_EQ(plain, std::vector<BYTE>(plain.size(), 0x40)) << "no border chosen: the frame is untouched";

    const int green = m_border.FindBorderByName("green");
    ASSERT_TRUE(m_border.SetBorder(green));
    EXPECT_EQ(m_border.GetBorder(), green);
    EXPECT_EQ(SavedName(), "green");
    EXPECT_EQ(kernal.chain.Count(), 1u);
    ASSERT_EQ(events.seen.size(), 1u);
    EXPECT_EQ(events.seen[0], std::make_pair(green, std::string("green")));
    EXPECT_EQ(BandColour(Frame()), 0x00FF00u);

    EXPECT_TRUE(m_border.SetBorder(green)) << "the same border again";
    EXPECT_EQ(events.seen.size(), 1u) << "choosing the current border changes nothing";

    const int red = m_border.FindBorderByName("red");
    ASSERT_TRUE(m_border.SetBorder(red));
    EXPECT_EQ(kernal.chain.Count(), 1u) << "another border does not join the chain twice";
    EXPECT_EQ(BandColour(Frame()), 0xFF0000u);
    EXPECT_EQ(SavedName(), "red");

    ASSERT_TRUE(m_border.SetBorder(-1));
    EXPECT_EQ(m_border.GetBorder(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(SavedName(), "");
    ASSERT_EQ(events.seen.size(), 3u);
    EXPECT_EQ(events.seen[2], std::make_pair(-1, std::string()));
    EXPECT_EQ(Frame(), plain);
    EXPECT_TRUE(m_border.SetBorder(-1));
    EXPECT_EQ(events.seen.size(), 3u);
}

TEST_F(BorderTest, PictureThatFailsToLoadIsRefusedAndThePreviousBorderStays) {
    WriteBorder("good", {3}, {0});
    WriteBadBorder("broken");
    // A real picture, but not one with frame delays.
    ASSERT_TRUE(kt::WritePicture(m_pendant + "still.gif", 64, 48, 0xFFFFFFFF, L"image/png"));
    ASSERT_TRUE(m_border.Init());
    Events events;
    const int good = m_border.FindBorderByName("good");
    ASSERT_TRUE(m_border.SetBorder(good));
    events.seen.clear();
    for (const char* bad : {"broken", "still"}) {
        int id = m_border.FindBorderByName(bad);
        ASSERT_NE(id, -1) << bad << " is listed";
        EXPECT_FALSE(m_border.SetBorder(id)) << bad;
        EXPECT_EQ(m_border.GetBorder(), good);
        EXPECT_EQ(SavedName(), "good");
        EXPECT_EQ(BandColour(Frame()), 0x0000FFu) << "the previous border stays on screen";
    }
    EXPECT_FALSE(m_border.SetBorder(99));
    EXPECT_FALSE(m_border.SetBorder(-5));
    EXPECT_EQ(m_border.GetBorder(), good);
    EXPECT_TRUE(events.seen.empty());
    EXPECT_EQ(kernal.chain.Count(), 1u);

    // Without a border, a refused one leaves the chain alone too.
    ASSERT_TRUE(m_border.SetBorder(-1));
    EXPECT_FALSE(m_border.SetBorder(m_border.FindBorderByName("broken")));
    EXPECT_EQ(m_border.GetBorder(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(SavedName(), "");
}

TEST_F(BorderTest, SavedBorderReturnsAtStartAndOneThatFailsIsCleared) {
    WriteBorder("blue", {3}, {0});
    WriteBadBorder("broken");
    AfxGetConfigManager()->SetString("VEBorder", "BorderName", "blue", 0);
    m_border.UnInit();  // before Init: harmless, and frames pass untouched
    EXPECT_EQ(At(Frame(), 40, 40), kBackground);
    {
        Events events;
        ASSERT_TRUE(m_border.Init());
        EXPECT_TRUE(events.seen.empty()) << "no notification at start";
    }
    EXPECT_EQ(m_border.GetBorder(), m_border.FindBorderByName("blue"));
    EXPECT_EQ(kernal.chain.Count(), 1u);
    EXPECT_EQ(BandColour(Frame()), 0x0000FFu);
    m_border.UnInit();
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(m_border.GetBorder(), -1);
    EXPECT_EQ(SavedName(), "blue") << "the saved name outlives UnInit";
    m_border.UnInit();  // a second UnInit does no harm

    AfxGetConfigManager()->SetString("VEBorder", "BorderName", "broken", 0);
    ASSERT_TRUE(m_border.Init());
    EXPECT_EQ(m_border.GetBorder(), -1);
    EXPECT_EQ(kernal.chain.Count(), 0u);
    EXPECT_EQ(SavedName(), "") << "a saved border that fails to load is cleared";
}

TEST_F(BorderTest, FramesAdvanceByTheirOwnDelaysTheClockMayWrapAndOneFrameNeverChanges) {
    const unsigned R = 0xFF0000, G = 0x00FF00, B = 0x0000FF, W = 0xFFFFFF;
    // Red for 50 ms, green for 100 ms, blue with a delay of 0.
    WriteBorder("anim", {1, 2, 3}, {5, 10, 0});
    WriteBorder("fast", {1, 2, 3, 4}, {0, 0, 0, 0});
    WriteBorder("slow", {1, 2}, {2, 2});
    WriteBorder("still", {4}, {0});
    ASSERT_TRUE(m_border.Init());
    struct Case {
        const char* name;
        std::vector<DWORD> times;
        std::vector<unsigned> colours;
    } cases[] = {
        // The first frame starts the clock; a frame is drawn, then switches
        // once more than its delay has passed; a delay of 0 needs the clock
        // to move on.
        {"anim", {1000, 1050, 1051, 1051, 1151, 1152, 1152, 1152, 1153, 1153}, {R, R, R, G, G, G, B, B, B, R}},
        {"fast", {5, 6, 7, 7, 8, 9}, {R, R, G, B, B, W}},
        // Choosing a border starts it from its first frame; 0xFFFFFFF0 -> 4
        // is 20 ms: not more than the delay; -> 5 is 21 ms.
        {"slow", {0xFFFFFFF0u, 4, 5, 5}, {R, R, R, G}},
        {"still", {10, 11, 5000, 90000}, {W, W, W, W}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(m_border.SetBorder(m_border.FindBorderByName(c.name)));
        std::vector<unsigned> seen;
        for (DWORD t : c.times) {
            m_border.now = t;
            seen.push_back(BandColour(Frame()));
        }
        EXPECT_EQ(seen, c.colours) << c.name;
    }
}

TEST_F(BorderTest, PictureIsStretchedToTheAnnouncedFrameSize) {
    WriteBorder("red", {1}, {0});
    ASSERT_TRUE(m_border.Init());
    ASSERT_TRUE(m_border.SetBorder(0));
    EXPECT_EQ(BandColour(Frame()), 0xFF0000u);
    // At 320 x 240 the band is 40 pixels wide.
    kernal.AnnounceFormat(320, 240);
    std::vector<BYTE> small(static_cast<size_t>(VideoFrameStride(320, 24)) * 240, 0x40);
    kernal.RunFrame(small, VIDEO_STREAM_NONE);
    EXPECT_EQ(kt::PixelAt(small, 320, 20, 20), 0xFF0000u);
    EXPECT_EQ(kt::PixelAt(small, 320, 300, 220), 0xFF0000u);
    EXPECT_EQ(kt::PixelAt(small, 320, 60, 60), kBackground);
    EXPECT_EQ(kt::PixelAt(small, 320, 160, 120), kBackground);
    kernal.AnnounceFormat(kW, kH);
    EXPECT_EQ(BandColour(Frame()), 0xFF0000u);
}

// The pictures the program ships in bin\pendant (made by resources/make_pendants.py).
TEST(ShippedBorders, AnimatedAndStillPicturesTransparentInTheMiddleWithThumbnails) {
    kt::EnsureGdiplus();
    std::string root = zxtest::RedirectUserFolders("shipped");
    ZxConfigSetFile((root + "ZxVCam.ini").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", nullptr);
    kt::TestKernal kernel;
    kernel.AnnounceFormat(kW, kH);
    TestBorder border;
    ASSERT_TRUE(border.Init());
    EXPECT_EQ(CVideoEffectBorder::GetBorderFolder(), Dir::GetCurrentPath() + "pendant");
    std::vector<VEBorderItem*> list;
    border.GetBorderList(list);
    ASSERT_GE(list.size(), 4u);
    int still = 0, animated = 0;
    for (const VEBorderItem* item : list) {
        SCOPED_TRACE(item->name);
        {
            Gdiplus::Image thumb(Charset::String2WString(item->thumbPath).c_str(), FALSE);
            GUID format = {};
            ASSERT_EQ(thumb.GetLastStatus(), Gdiplus::Ok) << "thumbnail beside the picture";
            thumb.GetRawFormat(&format);
            EXPECT_TRUE(format == Gdiplus::ImageFormatJPEG);
        }
        ASSERT_TRUE(border.SetBorder(item->id));
        std::vector<std::vector<BYTE>> distinct;
        for (int f = 0; f < 16; ++f) {
            border.now += 1000;  // longer than any delay: one frame further each time
            std::vector<BYTE> frame(static_cast<size_t>(kW) * kH * 3, 0x40);
            kernel.RunFrame(frame, VIDEO_STREAM_CAMERA);
            int changedEdge = 0;
            for (int y = 0; y < kH; y += 2)
                for (int x = 0; x < kW; x += 2) {
                    bool middle = x >= 120 && x < 520 && y >= 100 && y < 380;
                    bool edge = x < 48 || x >= kW - 48 || y < 48 || y >= kH - 48;
                    unsigned p = kt::PixelAt(frame, kW, x, y);
                    if (middle) {
                        ASSERT_EQ(p, kBackground) << "middle at " << x << "," << y;
                    }
                    if (edge && p != kBackground) ++changedEdge;
                }
            EXPECT_GT(changedEdge, 300) << "the border covers part of the edge";
            bool known = false;
            for (const auto& d : distinct) known = known || d == frame;
            if (!known) distinct.push_back(frame);
        }
        (distinct.size() > 1 ? animated : still)++;
    }
    EXPECT_GE(animated, 3);
    EXPECT_GE(still, 1);
    border.UnInit();
    ZxConfigSetFile(nullptr);
}

}  // namespace
