// The playlist driven through the bus, as the main program drives it, with
// the whole kernel loaded: pictures reach the channel, the end of a file is
// reported, and the program's answer takes the play mode's next step.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "IDataKernal.h"
#include "IDataPreview.h"
#include "KernelTestSupport.h"
#include "MediaListTestSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

// The main program's part: when a file has ended, take the next step.
class Program : public mlt::Journal {
public:
    IDataMediaList* list = nullptr;
    void OnEnd() override {
        mlt::Journal::OnEnd();
        list->PlayNextInterval();
    }
};

// The channel pixel (x, y from the bottom-left) another process reads.
bool ProbePixel(int x, int y, int& r, int& g, int& b) {
    std::string text = kt::ProbeChannel(x, y);
    size_t at = text.find("pixel=");
    unsigned rgb = 0;
    if (text.find("ok=1") == std::string::npos || at == std::string::npos ||
        std::sscanf(text.c_str() + at + 6, "%6x", &rgb) != 1)
        return false;
    r = (rgb >> 16) & 255;
    g = (rgb >> 8) & 255;
    b = rgb & 255;
    return true;
}

TEST(MediaKernel, PlaysTheListIntoTheChannelAndStepsOnAtTheEnd) {
    const std::string home = zxtest::RedirectUserFolders("mediakernel");
    ZxConfigSetFile((home + "ZxVCam.ini").c_str());
    const std::string dir = zxtest::MakeTempDir("mediakernel_files");
    const std::string a = mlt::CopyMedia(mlt::SharedMedia("two", 2), dir, "片头.flv");
    const std::string b = mlt::CopyMedia(mlt::SharedMedia("one", 1), dir, "B.flv");

    ASSERT_TRUE(AfxGetDataDllManager()->LoadDataLibraries(0));
    auto* kernel = static_cast<IDataKernal*>(AfxGetDataManager()->GetData("modKernal"));
    auto* list = static_cast<IDataMediaList*>(AfxGetDataManager()->GetData(ZX_MOD_MEDIALIST));
    ASSERT_TRUE(kernel && list);
    EXPECT_NE(AfxGetDataManager()->GetData(ZX_MOD_RECORDPREVIEW), nullptr) << "made with the kernel library";

    Program program;
    program.list = list;
    ASSERT_TRUE(AfxGetMessageManager()->AttachObserver(ZX_MOD_MEDIALIST_OB, &program, OBSERVER_MODE_THREAD));
    kt::RecordingDeal preview(VIDEO_DEAL_OUTPUT);
    preview.keepFrames = true;
    ASSERT_TRUE(kernel->AddVideoDeal(&preview));

    list->AddFiles({a, b});
    list->SetPlayMode(MEDIALIST_MODE_LOOP);
    ASSERT_TRUE(kt::PumpUntil([&] { return program.Count(MEDIALIST_MSG_ITEM) == 2; }, zxtest::kHangGuardMs));
    const std::vector<mlt::Event> items = program.Of(MEDIALIST_MSG_ITEM);
    const int idA = items[0].id, idB = items[1].id;
    ASSERT_TRUE(list->Play(idA));

    // Frames of the file arrive on the 50 ms grid: never more than one a
    // point (a busy machine only delivers fewer; the video manager's own
    // tests check the grid on a clock of their own).
    ASSERT_TRUE(kt::PumpUntil([&] { return preview.lastStreamType == VIDEO_STREAM_MEDIAFILE; }, zxtest::kHangGuardMs));
    const int before = preview.frames;
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(kt::PumpUntil([&] { return preview.frames >= before + 20; }, zxtest::kHangGuardMs));
    const ULONGLONG elapsed = GetTickCount64() - start;
    const int frames = preview.frames - before;
    std::printf("[ frames  ] %d frames in %llu ms of playback\n", frames, static_cast<unsigned long long>(elapsed));
    EXPECT_LE(frames, static_cast<int>(elapsed / 50) + 2);
    {
        std::lock_guard<std::mutex> g(preview.lock);
        int q = mediatest::RedQuadrant(preview.lastFrame.data(), 640, 480);
        EXPECT_TRUE(q >= 0 && q <= 3) << "the file's pattern, scaled to 640 x 480: " << q;
    }
    // Another process reads the file's blue from the channel where the
    // pattern is never red (the lower right).
    int r = 0, g = 0, bl = 0;
    ASSERT_TRUE(ProbePixel(480, 120, r, g, bl));
    EXPECT_GT(bl, 150);
    EXPECT_LT(r, 90);

    // The end of A is reported; the program's next step plays B (loop mode),
    // and after B the list starts again at A.
    ASSERT_TRUE(kt::PumpUntil([&] { return program.Count(MEDIALIST_MSG_END) >= 1; }, zxtest::kHangGuardMs));
    ASSERT_TRUE(kt::PumpUntil([&] { return program.Count(MEDIALIST_MSG_PLAYING) >= 2; }, zxtest::kHangGuardMs));
    std::vector<mlt::Event> playing = program.Of(MEDIALIST_MSG_PLAYING);
    EXPECT_EQ(playing[0].id, idA);
    EXPECT_EQ(playing[1].id, idB);
    EXPECT_EQ(list->GetCurrentItem(), idB);
    EXPECT_FALSE(program.Of(MEDIALIST_MSG_POSITION).empty()) << "positions were reported";
    ASSERT_TRUE(kt::PumpUntil([&] { return program.Count(MEDIALIST_MSG_PLAYING) >= 3; }, zxtest::kHangGuardMs));
    EXPECT_EQ(program.Of(MEDIALIST_MSG_PLAYING)[2].id, idA);

    list->Stop();
    ASSERT_TRUE(kt::PumpUntil([&] { return preview.lastStreamType == VIDEO_STREAM_NONE; }, zxtest::kHangGuardMs));
    EXPECT_EQ(list->GetPlayState(), MEDIALIST_STATE_STOPPED);

    kernel->RemoveVideoDeal(&preview);
    AfxGetMessageManager()->DetachObserver(ZX_MOD_MEDIALIST_OB, &program);
    AfxGetDataDllManager()->UnloadDataLibraries();
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_MEDIALIST), nullptr);
    EXPECT_EQ(AfxGetDataManager()->GetData(ZX_MOD_RECORDPREVIEW), nullptr);
}

}  // namespace
