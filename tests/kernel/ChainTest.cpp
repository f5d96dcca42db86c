#include <windows.h>

#include <gtest/gtest.h>

#include "KernelTestSupport.h"
#include "StillEffect.h"
#include "TestSupport.h"
#include "VideoDealChain.h"
#include "VideoEffectLogo.h"
#include "ZxLib/ZxLib.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

using kt::RecordingDeal;

VideoFrameFormat Format(int w = 640, int h = 480) {
    VideoFrameFormat f;
    VideoFrameFormatInit(f, w, h);
    return f;
}

TEST(Chain, RunsDealsByTypeThenInsertionOrderAndColourAdjustmentOnCameraFramesOnly) {
    std::vector<std::string> journal;
    CVideoDealChain chain;
    RecordingDeal text(4, &journal, "text"), out1(5, &journal, "out1"), out2(5, &journal, "out2"),
        pendant(0, &journal, "pendant"), faceThin(1, &journal, "thin"), logo(2, &journal, "logo"),
        border(3, &journal, "border");
    for (RecordingDeal* d : {&out1, &text, &faceThin, &out2, &border, &pendant, &logo})
        ASSERT_TRUE(chain.AddVideoDeal(d));
    EXPECT_EQ(chain.Count(), 7u);
    const std::vector<std::string> order = {"frame:pendant", "frame:logo", "frame:border", "frame:text",
                                            "frame:out1",    "frame:out2"};
    std::vector<BYTE> frame(921600);
    for (int type : {0, 1, 2}) {
        journal.clear();
        chain.OnFrame(frame.data(), 921600, type);
        EXPECT_EQ(journal, order) << "stream " << type;
    }
    journal.clear();
    chain.OnFrame(frame.data(), 921600, 3);
    std::vector<std::string> camera = order;
    camera.insert(camera.begin() + 1, "frame:thin");
    EXPECT_EQ(journal, camera);
    EXPECT_EQ(faceThin.lastStreamType, 3);
}

TEST(Chain, AddIsRefusedForNullDuplicatesAndDealsThatDeclineTheFormat) {
    CVideoDealChain chain;
    RecordingDeal a(5), declining(2);
    declining.acceptFormat = false;
    EXPECT_FALSE(chain.AddVideoDeal(nullptr));
    EXPECT_TRUE(chain.AddVideoDeal(&a));
    EXPECT_FALSE(chain.AddVideoDeal(&a)) << "already in the chain";
    EXPECT_EQ(chain.Count(), 1u);
    EXPECT_EQ(a.formats, 1) << "the duplicate is refused before it is asked about the format";
    EXPECT_FALSE(chain.AddVideoDeal(&declining));
    EXPECT_EQ(chain.Count(), 1u);
    std::vector<BYTE> frame(921600);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(declining.frames, 0);
    EXPECT_EQ(a.frames, 1);
}

TEST(Chain, RemovingDealsErasesEmptyTypesAndIgnoresStrangers) {
    CVideoDealChain chain;
    RecordingDeal a(3), b(3), stranger(3);
    chain.AddVideoDeal(&a);
    chain.AddVideoDeal(&b);
    chain.RemoveVideoDeal(&stranger);
    chain.RemoveVideoDeal(nullptr);
    EXPECT_EQ(chain.Count(), 2u);
    chain.RemoveVideoDeal(&a);
    chain.RemoveVideoDeal(&a);
    EXPECT_EQ(chain.Count(), 1u);
    std::vector<BYTE> frame(921600);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(a.frames, 0);
    EXPECT_EQ(b.frames, 1);
    chain.RemoveVideoDeal(&b);
    EXPECT_EQ(chain.Count(), 0u);
    EXPECT_TRUE(chain.AddVideoDeal(&a)) << "a removed deal may join again";
    chain.RemoveAllVideoDeal();
    EXPECT_EQ(chain.Count(), 0u);
}

TEST(Chain, FormatChangeReachesEveryDealInOrderBeforeTheNextFrame) {
    std::vector<std::string> journal;
    CVideoDealChain chain;
    RecordingDeal out(5, &journal, "out"), pendant(0, &journal, "pendant");
    chain.AddVideoDeal(&out);
    EXPECT_EQ(out.lastWidth, 0) << "before the first announcement the format is all zero";
    chain.AddVideoDeal(&pendant);
    journal.clear();
    chain.OnFrameFormat(Format(320, 240));
    std::vector<BYTE> frame(921600);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"format:pendant", "format:out", "frame:pendant", "frame:out"}));
    EXPECT_EQ(out.lastWidth, 320);
    RecordingDeal late(4);
    chain.AddVideoDeal(&late);
    EXPECT_EQ(late.lastWidth, 320) << "a deal joining later is told the current format";
}

// An effect that lifts every byte by one, so a picture composed twice shows.
class LiftingStillDeal : public RecordingDeal, public IStillEffect {
public:
    LiftingStillDeal() : RecordingDeal(VIDEO_DEAL_PENDANT) {}
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override {
        RecordingDeal::DealVideo(frame, format, streamType);
        for (DWORD i = 0; i < format->bmiHeader.biSizeImage; ++i) ++frame[i];
    }
    uintptr_t StillLook() override { return look; }
    uintptr_t look = 1;
};

TEST(Chain, AStillPictureIsComposedOnceUntilTheChainOrALookChangesAndConsumersGetEveryFrame) {
    CVideoDealChain chain;
    chain.OnFrameFormat(Format(64, 48));
    LiftingStillDeal lift;
    RecordingDeal out(VIDEO_DEAL_OUTPUT), animated(VIDEO_DEAL_BORDER);
    out.keepFrames = true;
    ASSERT_TRUE(chain.AddVideoDeal(&lift));
    ASSERT_TRUE(chain.AddVideoDeal(&out));
    const int bytes = 64 * 48 * 3;
    const std::vector<BYTE> picture(bytes, 10);
    std::vector<BYTE> work(bytes, 0);
    auto still = [&](bool same) { chain.OnStillFrame(work.data(), bytes, 0, picture.data(), same); };
    auto shown = [&] {
        std::lock_guard<std::mutex> g(out.lock);
        return out.lastFrame.empty() ? -1 : static_cast<int>(out.lastFrame[bytes / 2]);
    };
    still(false);
    for (int i = 0; i < 4; ++i) still(true);
    EXPECT_EQ(lift.frames, 1) << "composed once";
    EXPECT_EQ(out.frames, 5) << "the consumers get every frame";
    EXPECT_EQ(shown(), 11) << "the kept picture, lifted once";
    EXPECT_EQ(chain.StillCompositions(), 1);

    lift.look = 2;  // another filter chosen
    still(true);
    still(true);
    EXPECT_EQ(lift.frames, 2);
    EXPECT_EQ(shown(), 11) << "composed again from the picture, not over the kept one";

    still(false);  // the caller says the picture is new
    EXPECT_EQ(lift.frames, 3);

    chain.OnFrame(work.data(), bytes, 1);  // a source's frame in the same buffer
    still(true);
    EXPECT_EQ(lift.frames, 5) << "after another frame the still picture is composed again";
    EXPECT_EQ(shown(), 11);

    ASSERT_TRUE(chain.AddVideoDeal(&animated));
    for (int i = 0; i < 3; ++i) still(true);
    EXPECT_EQ(animated.frames, 3) << "an effect that is not still makes every frame composed";
    EXPECT_EQ(lift.frames, 8);
    chain.RemoveVideoDeal(&animated);
    still(true);
    still(true);
    EXPECT_EQ(lift.frames, 9) << "with the chain still again, composed once more and then kept";
    EXPECT_EQ(shown(), 11);
    EXPECT_EQ(out.frames, 15);
}

// A deal that, while the frame runs, asks (through a notification handled
// on the frame thread) for deals to leave the chain.
class RemovingDeal : public IVideoDeal, public IMessageObserver {
public:
    RemovingDeal(CVideoDealChain& chain, std::vector<IVideoDeal*> victims) : m_chain(chain), m_victims(victims) {}
    bool OnNotifyFrameSize(const VideoFrameFormat&) override { return true; }
    void DealVideo(BYTE*, const VideoFrameFormat*, int) override {
        ++frames;
        AfxGetMessageManager()->NotifyEx("modChainTest_ob", 1, 0, ArgList());
    }
    int GetDealType() override { return 2; }
    void OnMessage(int, const ArgList&) override {
        for (IVideoDeal* d : m_victims) m_chain.RemoveVideoDeal(d);
    }
    int frames = 0;

private:
    CVideoDealChain& m_chain;
    std::vector<IVideoDeal*> m_victims;
};

TEST(Chain, RemovalRequestedFromInsideTheFrameLoopDoesNotDisturbIt) {
    CVideoDealChain chain;
    RecordingDeal before(0), border(3), text(4), out(5);
    RemovingDeal remover(chain, {&border, &before});
    ASSERT_TRUE(AfxGetMessageManager()->AttachObserver("modChainTest_ob", &remover, OBSERVER_MODE_DIRECT));
    for (IVideoDeal* d : std::vector<IVideoDeal*>{&before, &remover, &border, &text, &out}) chain.AddVideoDeal(d);
    std::vector<BYTE> frame(921600);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(before.frames, 1);
    EXPECT_EQ(border.frames, 0) << "removed during the frame: never called again";
    EXPECT_EQ(text.frames, 1) << "the rest of the loop still runs";
    EXPECT_EQ(out.frames, 1);
    EXPECT_EQ(chain.Count(), 3u);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(before.frames, 1);
    EXPECT_EQ(text.frames, 2);
    AfxGetMessageManager()->DetachObserver("modChainTest_ob", &remover);
}

class LogoTest : public testing::Test {
protected:
    void SetUp() override {
        kt::EnsureGdiplus();
        zxtest::RedirectUserFolders("logo");
        m_res = zxtest::MakeTempDir("res");
        SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", Charset::String2WString(m_res).c_str());
    }
    void TearDown() override { SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", nullptr); }
    std::string m_res;
};

TEST_F(LogoTest, MissingLogoKeepsTheLogoOutOfTheChain) {
    CVideoDealChain chain;
    chain.OnFrameFormat(Format());
    CVideoEffectLogo logo;
    EXPECT_FALSE(chain.AddVideoDeal(&logo));
    EXPECT_EQ(chain.Count(), 0u);
    // It is not loaded again later, even once the file exists.
    ASSERT_TRUE(kt::WritePicture(m_res + "Logo.png", 20, 10, 0xFFFF0000, L"image/png"));
    EXPECT_FALSE(chain.AddVideoDeal(&logo));
}

TEST_F(LogoTest, DrawnAtNaturalSizeFivePixelsFromTheBottomLeft) {
    ASSERT_TRUE(kt::WritePicture(m_res + "Logo.png", 20, 10, 0xFFFF0000, L"image/png"));
    CVideoDealChain chain;
    chain.OnFrameFormat(Format());
    CVideoEffectLogo logo;
    ASSERT_TRUE(chain.AddVideoDeal(&logo));
    std::vector<BYTE> frame(921600, 0);
    chain.OnFrame(frame.data(), 921600, 0);
    EXPECT_EQ(kt::PixelAt(frame, 640, 5, 5), 0xFF0000u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 24, 14), 0xFF0000u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 4, 5), 0u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 25, 5), 0u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 5, 4), 0u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 5, 15), 0u);
    EXPECT_EQ(kt::PixelAt(frame, 640, 320, 240), 0u);
}

}  // namespace
