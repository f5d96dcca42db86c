#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "GdiPlus.h"
#include "IDataKernal.h"
#include "IDataVideoMgr.h"
#include "KernelTestSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxVKernal.h"

namespace {

// The colour of Logo.png at (x, y) from its bottom-left corner, and its alpha.
unsigned LogoPixel(int x, int y, int& alpha) {
    kt::EnsureGdiplus();
    Gdiplus::Bitmap logo(Charset::String2WString(Dir::GetCurrentPath() + "Logo.png").c_str());
    Gdiplus::Color c;
    logo.GetPixel(x, static_cast<INT>(logo.GetHeight()) - 1 - y, &c);
    alpha = c.GetA();
    return c.GetValue() & 0xFFFFFF;
}

class LoadedKernelTest : public testing::Test {
protected:
    void SetUp() override { zxtest::RedirectUserFolders("kernel"); }
    void TearDown() override { AfxGetDataDllManager()->UnloadDataLibraries(); }
};

TEST_F(LoadedKernelTest, LoadsRegistersFeedsConsumersAndLeavesTheDefaultPicture) {
    ASSERT_TRUE(AfxGetDataDllManager()->LoadDataLibraries(0));
    auto* kernel = static_cast<IDataKernal*>(AfxGetDataManager()->GetData("modKernal"));
    IData* videoMgr = AfxGetDataManager()->GetData("modVideoMgr");
    ASSERT_NE(kernel, nullptr);
    ASSERT_NE(videoMgr, nullptr);

    // A consumer joining later sees the finished frames, logo included.
    kt::RecordingDeal preview(VIDEO_DEAL_OUTPUT);
    preview.keepFrames = true;
    // Told the format on the frame thread's first pass (a later joiner at once: the chain suite).
    ASSERT_TRUE(kernel->AddVideoDeal(&preview));
    zxtest::WaitUntil([&] { return preview.lastWidth == 640; });
    EXPECT_EQ(preview.lastWidth, 640) << "told the current format";
    zxtest::WaitUntil([&] { return preview.frames >= 3; });
    ASSERT_GE(preview.frames, 3);
    std::vector<BYTE> idle;
    {
        std::lock_guard<std::mutex> g(preview.lock);
        idle = preview.lastFrame;
    }
    int alpha = 0;
    unsigned logo = LogoPixel(1, 1, alpha);
    ASSERT_EQ(alpha, 255) << "the logo's lower-left corner is opaque";
    EXPECT_EQ(kt::PixelAt(idle, 640, 6, 6), logo);

    kernel->RemoveVideoDeal(&preview);
    int seen = preview.frames;
    // Frames go on to a consumer that stays: three of them have passed the removed one by.
    {
        kt::RecordingDeal other(VIDEO_DEAL_OUTPUT);
        ASSERT_TRUE(kernel->AddVideoDeal(&other));
        EXPECT_TRUE(zxtest::WaitUntil([&] { return other.frames >= 3; }));
        kernel->RemoveVideoDeal(&other);
    }
    EXPECT_EQ(preview.frames, seen) << "a removed consumer is not called again";
    ASSERT_TRUE(kernel->AddVideoDeal(&preview));

    AfxGetDataDllManager()->UnloadDataLibraries();
    EXPECT_EQ(AfxGetDataManager()->GetData("modKernal"), nullptr);
    EXPECT_EQ(AfxGetDataManager()->GetData("modVideoMgr"), nullptr);
    EXPECT_EQ(GetModuleHandleW(L"ZxVKernal.dll"), nullptr);
    std::lock_guard<std::mutex> g(preview.lock);
    EXPECT_EQ(preview.lastStreamType, 0);
    EXPECT_TRUE(preview.lastFrame == idle) << "the last frame is the default picture with the logo";
}

// A kernel whose worker hangs in its periodic step.
class HangingKernel : public CZxVKernal {
protected:
    void WorkerStep() override {
        entered = true;
        if (hang) WaitForSingleObject(GetCurrentProcess(), INFINITE);
    }

public:
    bool hang = true;
    std::atomic<bool> entered{false};
};

TEST(Kernel, UnInitEndsAHungWorkerAndLogsIt) {
    kt::EnsureGdiplus();
    std::string root = zxtest::RedirectUserFolders("hang");
    {
        HangingKernel kernel;
        ASSERT_TRUE(kernel.Init());
        EXPECT_EQ(AfxGetDataManager()->GetData("modKernal"), static_cast<IDataKernal*>(&kernel));
        ASSERT_TRUE(zxtest::WaitUntil([&] { return kernel.entered.load(); })) << "the worker never ran";
        kernel.UnInit();  // returns: the worker is ended after 2 s of waiting
        EXPECT_EQ(AfxGetDataManager()->GetData("modKernal"), nullptr);
        EXPECT_EQ(kernel.Chain().Count(), 0u);
    }
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    std::string log = zxtest::ReadFile(Dir::GetLogPath() + "ZxVKernal.txt");
    EXPECT_NE(log.find("UnInit::检测线程2秒内没有停止，调用TerminateThread关闭线程"), std::string::npos) << log;
}

}  // namespace
