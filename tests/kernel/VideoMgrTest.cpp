#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "KernelTestSupport.h"
#include "TestSupport.h"
#include "VideoMgr.h"
#include "ZxLib/ZxLib.h"

namespace {

using Sink = kt::FrameSink;

// A source that fills every frame with one byte value.
class FillSource : public IVideoSource {
public:
    explicit FillSource(BYTE value) : m_value(value) {}
    bool Init(int, int) override {
        ++inits;
        return initResult;
    }
    void UnInit() override { ++uninits; }
    bool PullFrame(BYTE* buffer, int length) override {
        memset(buffer, m_value, static_cast<size_t>(length));
        ++pulls;
        return true;
    }
    void StopSource() override { ++stops; }
    bool initResult = true;
    std::atomic<int> inits{0}, uninits{0}, pulls{0}, stops{0};

private:
    BYTE m_value;
};

class StreamTypeObserver : public IMessageObserver {
public:
    void OnMessage(int type, const ArgList& args) override {
        EXPECT_EQ(type, 0);
        changes.push_back(std::make_pair(ArgAt<eVideoStreamType>(args, 0), ArgAt<eVideoStreamType>(args, 1)));
    }
    std::vector<std::pair<int, int>> changes;
};

// The frame thread's clock, moved by the test; Advance returns once everything due by then is done.
class StepClock : public IFrameClock {
public:
    long long NowMs() override {
        std::lock_guard<std::mutex> g(m_lock);
        return m_now;
    }
    DWORD Wait(DWORD count, const HANDLE* events, DWORD ms) override {
        std::unique_lock<std::mutex> l(m_lock);
        const long long until = m_now + ms;
        for (;;) {
            l.unlock();
            const DWORD r = WaitForMultipleObjects(count, events, FALSE, 0);
            l.lock();
            if (r != WAIT_TIMEOUT) return r;
            if (m_now >= until) return WAIT_TIMEOUT;
            // Nothing more is due before the time moves on.
            m_idleAt = m_now;
            m_moved.wait_for(l, std::chrono::milliseconds(1));
        }
    }
    // Waits until the thread waits for a later time than now.
    bool Settle() {
        return zxtest::WaitUntil([this] {
            std::lock_guard<std::mutex> g(m_lock);
            return m_idleAt == m_now;
        });
    }
    bool Advance(long long ms) {
        {
            std::lock_guard<std::mutex> g(m_lock);
            m_now += ms;
        }
        m_moved.notify_all();
        return Settle();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_moved;
    long long m_now = 1000000;
    long long m_idleAt = -1;
};

class VideoMgrTest : public testing::Test {
protected:
    void SetUp() override {
        kt::EnsureGdiplus();
        zxtest::RedirectUserFolders("videomgr");
        m_res = zxtest::MakeTempDir("res");
        SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", Charset::String2WString(m_res).c_str());
        AfxGetMessageManager()->AttachObserver("modVideoMgr_ob", &m_observer, OBSERVER_MODE_DIRECT);
    }
    void TearDown() override {
        AfxGetMessageManager()->DetachObserver("modVideoMgr_ob", &m_observer);
        SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", nullptr);
    }
    static bool WaitFrames(Sink& sink, int n) {
        return zxtest::WaitUntil([&] { return sink.Frames() >= n; });
    }
    std::string m_res;
    StreamTypeObserver m_observer;
};

TEST_F(VideoMgrTest, DefaultPictureOnTheGridOfTwentyASecond) {
    ASSERT_TRUE(kt::WritePicture(m_res + "default.jpg", 640, 480, 0xFF204060, L"image/jpeg"));
    StepClock clock;
    CVideoMgr mgr;
    mgr.SetClock(&clock);
    Sink sink;
    ASSERT_TRUE(mgr.Init(640, 480, &sink));
    EXPECT_EQ(AfxGetDataManager()->GetData("modVideoMgr"), &mgr);
    ASSERT_TRUE(clock.Settle());
    EXPECT_EQ(sink.Frames(), 0) << "the first point of the grid is one frame time after the start";
    // One second in steps of 10 ms: a frame at every 50 ms point, no other.
    for (int step = 1; step <= 100; ++step) {
        ASSERT_TRUE(clock.Advance(10)) << "the frame thread hung";
        ASSERT_EQ(sink.Frames(), step / 5) << "after " << step * 10 << " ms";
    }
    // Stalls of 0.5 s, 5 s (sleep) and 120 ms off the grid: one frame at once, no burst, the next
    // on the grid's next point.
    struct Stall {
        int ms, toNextPoint;
    };
    int frames = 20;
    for (const Stall stall : {Stall{500, 50}, Stall{5000, 50}, Stall{120, 30}}) {
        ASSERT_TRUE(clock.Advance(stall.ms));
        EXPECT_EQ(sink.Frames(), ++frames) << "after a stall of " << stall.ms << " ms";
        ASSERT_TRUE(clock.Advance(stall.toNextPoint - 1));
        EXPECT_EQ(sink.Frames(), frames);
        ASSERT_TRUE(clock.Advance(1));
        EXPECT_EQ(sink.Frames(), ++frames) << "the grid's next point after the stall of " << stall.ms << " ms";
    }
    mgr.UnInit();
    EXPECT_EQ(AfxGetDataManager()->GetData("modVideoMgr"), nullptr);
    EXPECT_EQ(sink.formats, 1);
    EXPECT_TRUE(sink.formatsBeforeFrames);
    EXPECT_EQ(sink.width, 640);
    for (size_t i = 0; i + 1 < sink.types.size(); ++i) EXPECT_EQ(sink.types[i], 0);
    EXPECT_NE(sink.threads.front(), GetCurrentThreadId()) << "frames come from the frame thread";
    ASSERT_EQ(sink.last.size(), 921600u);
    // JPEG is lossy: the colour is close to 0x204060 everywhere.
    unsigned px = kt::PixelAt(sink.last, 640, 320, 240);
    EXPECT_NEAR(int(px >> 16), 0x20, 6);
    EXPECT_NEAR(int((px >> 8) & 255), 0x40, 6);
    EXPECT_NEAR(int(px & 255), 0x60, 6);
}

TEST_F(VideoMgrTest, SmallDefaultPictureFillsTheBottomLeftOverBlackAndNoneGivesBlack) {
    for (bool picture : {true, false}) {
        // A PNG under the JPEG name (decoded by content) keeps the colours exact.
        if (picture) {
            ASSERT_TRUE(kt::WritePicture(m_res + "default.jpg", 320, 240, 0xFF10C020, L"image/png"));
        } else {
            ASSERT_TRUE(DeleteFileW(Charset::String2WString(m_res + "default.jpg").c_str()));
        }
        CVideoMgr mgr;
        Sink sink;
        ASSERT_TRUE(mgr.Init(640, 480, &sink));
        ASSERT_TRUE(WaitFrames(sink, 2));
        mgr.UnInit();
        std::lock_guard<std::mutex> g(sink.lock);
        if (!picture) {
            EXPECT_EQ(sink.last, std::vector<BYTE>(921600, 0));
            continue;
        }
        EXPECT_EQ(kt::PixelAt(sink.last, 640, 0, 0), 0x10C020u);
        EXPECT_EQ(kt::PixelAt(sink.last, 640, 319, 239), 0x10C020u);
        EXPECT_EQ(kt::PixelAt(sink.last, 640, 320, 0), 0u);
        EXPECT_EQ(kt::PixelAt(sink.last, 640, 0, 240), 0u);
        EXPECT_EQ(kt::PixelAt(sink.last, 640, 639, 479), 0u);
    }
}

TEST_F(VideoMgrTest, SwitchingTypesNotifiesOnceAndStopsTheOldSource) {
    CVideoMgr mgr;
    FillSource camera(0x33), slides(0x77);
    mgr.SetSource(VIDEO_STREAM_CAMERA, &camera);
    mgr.SetSource(VIDEO_STREAM_SLIDE, &slides);
    Sink sink;
    ASSERT_TRUE(mgr.Init(640, 480, &sink));
    EXPECT_EQ(camera.inits, 1);
    EXPECT_EQ(slides.inits, 1);

    mgr.OnVideoStreamTypeChange(VIDEO_STREAM_CAMERA);
    mgr.OnVideoStreamTypeChange(VIDEO_STREAM_CAMERA);  // the same type: logged, nothing sent
    int before = sink.Frames();
    ASSERT_TRUE(WaitFrames(sink, before + 3));
    {
        std::lock_guard<std::mutex> g(sink.lock);
        EXPECT_EQ(sink.types.back(), 3);
        EXPECT_EQ(sink.last[1000], 0x33);
    }
    mgr.OnVideoStreamTypeChange(VIDEO_STREAM_SLIDE);
    EXPECT_EQ(camera.stops, 1) << "the camera is stopped when the slide show takes over";
    EXPECT_EQ(slides.stops, 0);
    before = sink.Frames();
    ASSERT_TRUE(WaitFrames(sink, before + 3)) << "the source event stays set";
    {
        std::lock_guard<std::mutex> g(sink.lock);
        EXPECT_EQ(sink.types.back(), 2);
        EXPECT_EQ(sink.last[1000], 0x77);
    }
    mgr.OnVideoStreamTypeChange(VIDEO_STREAM_NONE);
    EXPECT_EQ(slides.stops, 1);
    mgr.OnVideoStreamTypeChange(static_cast<eVideoStreamType>(9));  // refused
    EXPECT_EQ(mgr.GetStreamType(), 0);
    before = sink.Frames();
    ASSERT_TRUE(WaitFrames(sink, before + 3));
    {
        std::lock_guard<std::mutex> g(sink.lock);
        EXPECT_EQ(sink.types.back(), 0);
    }
    EXPECT_EQ(m_observer.changes, (std::vector<std::pair<int, int>>{{0, 3}, {3, 2}, {2, 0}}));
    mgr.UnInit();
    EXPECT_EQ(camera.uninits, 1);
    EXPECT_EQ(slides.uninits, 1);
}

TEST_F(VideoMgrTest, AfterUnInitTheLastFrameIsTheDefaultPicture) {
    ASSERT_TRUE(kt::WritePicture(m_res + "default.jpg", 640, 480, 0xFF0000FF, L"image/png"));
    CVideoMgr mgr;
    FillSource camera(0x55);
    mgr.SetSource(VIDEO_STREAM_CAMERA, &camera);
    Sink sink;
    ASSERT_TRUE(mgr.Init(640, 480, &sink));
    mgr.OnVideoStreamTypeChange(VIDEO_STREAM_CAMERA);
    ASSERT_TRUE(WaitFrames(sink, 3));
    mgr.UnInit();
    int frames = sink.Frames();
    // Nothing announces that nothing comes: two frame times pass first.
    Sleep(120);
    std::lock_guard<std::mutex> g(sink.lock);
    EXPECT_EQ(sink.frames, frames) << "nothing is delivered after UnInit";
    EXPECT_EQ(sink.types.back(), 0);
    EXPECT_EQ(kt::PixelAt(sink.last, 640, 100, 100), 0x0000FFu);
}

TEST_F(VideoMgrTest, FailingSourceStopsInitWithoutAFrameThread) {
    CVideoMgr mgr;
    FillSource camera(1), media(2);
    media.initResult = false;
    mgr.SetSource(VIDEO_STREAM_CAMERA, &camera);
    mgr.SetSource(VIDEO_STREAM_MEDIAFILE, &media);
    Sink sink;
    EXPECT_FALSE(mgr.Init(640, 480, &sink));
    EXPECT_EQ(AfxGetDataManager()->GetData("modVideoMgr"), &mgr) << "it stays registered";
    // Nothing announces that no frame comes: three frame times pass first.
    Sleep(150);
    EXPECT_EQ(sink.Frames(), 0);
    mgr.UnInit();
    EXPECT_EQ(sink.Frames(), 0) << "no callback was stored, so nothing is delivered";
    EXPECT_EQ(AfxGetDataManager()->GetData("modVideoMgr"), nullptr);
}

}  // namespace
