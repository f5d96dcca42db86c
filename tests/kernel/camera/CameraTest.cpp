// The camera module against test cameras.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>

#include "Camera.h"
#include "KernelTestSupport.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "VideoMgr.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

// The camera's notifications, as they come.
class CameraObserver : public IMessageObserver {
public:
    void OnMessage(int type, const ArgList& args) override {
        std::lock_guard<std::mutex> g(lock);
        EXPECT_EQ(type, CAMERA_MSG_STATE);
        states.push_back(ArgAt<bool>(args, 0));
    }
    std::vector<bool> States() {
        std::lock_guard<std::mutex> g(lock);
        return states;
    }
    std::mutex lock;
    std::vector<bool> states;
};

std::string Setting(const char* key) {
    std::string value = "<missing>";
    AfxGetConfigManager()->GetString("Camera", key, value);
    return value;
}

int IntSetting(const char* key) {
    int value = -1;
    AfxGetConfigManager()->GetInt("Camera", key, value);
    return value;
}

class CameraTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_TRUE(devices.Ok());
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_home = zxtest::RedirectUserFolders("camera_" + name);
        ZxConfigSetFile((m_home + "camera.ini").c_str());
        before = CCameraDS::GetCameraCount();
        AfxGetMessageManager()->AttachObserver(ZX_MOD_CAMERA_OB, &observer, OBSERVER_MODE_DIRECT);
    }
    void TearDown() override {
        AfxGetMessageManager()->DetachObserver(ZX_MOD_CAMERA_OB, &observer);
        ZxConfigSetFile(nullptr);
        CoUninitialize();
    }
    // Waits until the camera hands out a frame that differs from fill.
    static bool WaitFrame(CCamera& camera, std::vector<BYTE>& frame) {
        return zxtest::WaitUntil([&] {
            std::fill(frame.begin(), frame.end(), BYTE(0x55));
            camera.GetFrame(frame.data(), static_cast<int>(frame.size()));
            return frame[0] != 0x55 || frame[1] != 0x55;
        });
    }
    tdev::TestDevices devices;
    CameraObserver observer;
    std::string m_home;
    int before = 0;
};

TEST_F(CameraTest, ChoosesAUsbCameraElseTheFirstRealOneAndListsAllButTheVirtualCamera) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"ZXVCam"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam1", L"Integrated Webcam"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam2", L"USB2.0 Camera"));
    {
        CCamera camera;
        ASSERT_TRUE(camera.Init(640, 480));
        EXPECT_EQ(AfxGetDataManager()->GetData("modCamera"), static_cast<IDataCamera*>(&camera));
        EXPECT_EQ(camera.GetCurrentCamera(), before + 2);
        EXPECT_EQ(Setting("CurrentUserCameraName"), "USB2.0 Camera");
        std::vector<CameraEntry> list(1, CameraEntry{99, "stale"});
        camera.GetCameraList(list);
        ASSERT_EQ(list.size(), 2u) << "the virtual camera is never listed";
        EXPECT_EQ(list[0].index, before + 1) << "indices keep the device numbering";
        EXPECT_EQ(list[0].name, "Integrated Webcam");
        EXPECT_EQ(list[1].index, before + 2);
        std::string name = "x";
        EXPECT_TRUE(camera.GetCameraName(before + 0, name));
        EXPECT_EQ(name, "ZXVCam");
        EXPECT_TRUE(camera.GetCameraName(before + 7, name));
        EXPECT_EQ(name, "");
        int w = 0, h = 0;
        camera.GetFrameSize(w, h);
        EXPECT_EQ(w, 640) << "the capture size defaults to the output size";
        EXPECT_EQ(h, 480);
        camera.UnInit();
        EXPECT_EQ(AfxGetDataManager()->GetData("modCamera"), nullptr);
    }

    // The configured camera wins while it is there.
    AfxGetConfigManager()->SetString("Camera", "CurrentUserCameraName", "Integrated Webcam", 0);
    {
        CCamera camera;
        camera.Init(640, 480);
        EXPECT_EQ(camera.GetCurrentCamera(), before + 1);
    }

    // Without the USB camera the first real one is taken, replacing a configured name that is gone.
    devices.Remove(L"ZxTestCam2");
    AfxGetConfigManager()->SetString("Camera", "CurrentUserCameraName", "Gone Camera", 0);
    {
        CCamera camera;
        camera.Init(640, 480);
        EXPECT_EQ(camera.GetCurrentCamera(), before + 1);
        EXPECT_EQ(Setting("CurrentUserCameraName"), "Integrated Webcam");
    }

    // Only the virtual camera: nothing is chosen and nothing written.
    devices.Remove(L"ZxTestCam1");
    ZxConfigSetFile((m_home + "fresh.ini").c_str());
    if (before == 0) {
        CCamera camera;
        camera.Init(640, 480);
        EXPECT_EQ(camera.GetCurrentCamera(), -1);
        EXPECT_EQ(Setting("CurrentUserCameraName"), "<missing>");
        EXPECT_FALSE(camera.StartCamera()) << "no camera chosen";
        std::vector<int> widths, heights;
        camera.GetAllFrameSize(widths, heights);
        EXPECT_TRUE(widths.empty());
    }
}

TEST_F(CameraTest, SelectingStoresTheNameAndTheCurrentOneWritesNothing) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Camera A"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam1", L"Camera B"));
    CCamera camera;
    camera.Init(640, 480);
    ASSERT_EQ(camera.GetCurrentCamera(), before + 0);
    AfxGetConfigManager()->SetString("Camera", "CurrentUserCameraName", "marker", 0);
    const std::string ini = zxtest::ReadFile(m_home + "camera.ini");
    EXPECT_TRUE(camera.SelectCamera(before + 0));
    EXPECT_EQ(zxtest::ReadFile(m_home + "camera.ini"), ini) << "the current index changes nothing";
    EXPECT_TRUE(camera.SelectCameraByName("Camera B"));
    EXPECT_EQ(camera.GetCurrentCamera(), before + 1);
    EXPECT_EQ(Setting("CurrentUserCameraName"), "Camera B");
    EXPECT_TRUE(camera.SelectCameraByName("No Such Camera"));
    EXPECT_EQ(camera.GetCurrentCamera(), -1);
    EXPECT_EQ(Setting("CurrentUserCameraName"), "");
    EXPECT_TRUE(observer.States().empty()) << "choosing sends nothing";
}

TEST_F(CameraTest, OpeningAdoptsAndStoresTheSizeTheCameraChose) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"VGA Camera", L"640x480,640x480/32"));
    AfxGetConfigManager()->SetInt("Camera", "CameraCaptureWidth", 1280);
    AfxGetConfigManager()->SetInt("Camera", "CameraCaptureHeight", 720);
    CCamera camera;
    camera.Init(640, 480);
    int w = 0, h = 0;
    camera.GetFrameSize(w, h);
    EXPECT_EQ(w, 1280);

    // Listing the sizes opens the camera for the purpose and closes it again.
    std::vector<int> widths(1, 1), heights(1, 1);
    camera.GetAllFrameSize(widths, heights);
    EXPECT_EQ(widths, (std::vector<int>{1, 640, 640})) << "appended; one size in two pixel formats is listed twice";
    EXPECT_EQ(heights, (std::vector<int>{1, 480, 480}));
    EXPECT_FALSE(camera.IsRunning());
    EXPECT_EQ(IntSetting("CameraCaptureWidth"), 640) << "the open adopted the camera's size";
    EXPECT_EQ(IntSetting("CameraCaptureHeight"), 480);

    AfxGetConfigManager()->SetInt("Camera", "CameraCaptureWidth", 1280);
    camera.SetFrameSize(1280, 720);
    EXPECT_EQ(IntSetting("CameraCaptureWidth"), 1280) << "stored at once";
    ASSERT_TRUE(camera.StartCamera());
    EXPECT_TRUE(camera.IsRunning());
    camera.GetFrameSize(w, h);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(IntSetting("CameraCaptureWidth"), 640);
    EXPECT_EQ(IntSetting("CameraCaptureHeight"), 480);
    camera.StopCamera();
    EXPECT_EQ(observer.States(), (std::vector<bool>{true, false}));
    camera.UnInit();
}

TEST_F(CameraTest, FramesAreStretchedToTheOutputSizeWithoutBars) {
    struct Point {
        int x, y;
        unsigned rgb;
    };
    struct Case {
        const wchar_t* caps;
        int width, height, outWidth, outHeight;
        std::vector<Point> points;
    } cases[] = {
        // Every corner of the picture is the camera's, so nothing is boxed.
        {L"1280x720", 1280, 720, 640, 480,
         {{0, 0, 0xFF0000}, {639, 0, 0x00FF00}, {0, 238, 0xFF0000}, {0, 242, 0x0000FF}, {318, 300, 0x0000FF},
          {322, 300, 0xFFFFFF}}},
        {L"640x480", 640, 480, 640, 360, {{0, 0, 0xFF0000}, {0, 178, 0xFF0000}, {0, 182, 0x0000FF}, {639, 300, 0xFFFFFF}}},
        {L"640x480", 640, 480, 640, 480, {{319, 239, 0xFF0000}, {320, 240, 0xFFFFFF}}},  // copied
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " to " << c.outWidth << "x" << c.outHeight);
        ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"HD Camera", c.caps));
        AfxGetConfigManager()->SetInt("Camera", "CameraCaptureWidth", c.width);
        AfxGetConfigManager()->SetInt("Camera", "CameraCaptureHeight", c.height);
        CCamera camera;
        camera.Init(c.outWidth, c.outHeight);
        std::vector<BYTE> frame(static_cast<size_t>(c.outWidth) * c.outHeight * 3, 0x55);
        camera.GetFrame(frame.data(), static_cast<int>(frame.size()));
        EXPECT_EQ(frame[0], 0x55) << "no sample: the destination is left alone";
        ASSERT_TRUE(camera.StartCamera());
        ASSERT_TRUE(WaitFrame(camera, frame));
        for (const Point& p : c.points) EXPECT_EQ(kt::PixelAt(frame, c.outWidth, p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
}

TEST_F(CameraTest, FramesReachTheVideoManagerAsTheCameraStream) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"USB HD Camera", L"1280x720"));
    AfxGetConfigManager()->SetInt("Camera", "CameraCaptureWidth", 1280);
    AfxGetConfigManager()->SetInt("Camera", "CameraCaptureHeight", 720);
    kt::EnsureGdiplus();
    kt::FrameSink sink;
    CVideoMgr mgr;
    ASSERT_TRUE(mgr.Init(640, 480, &sink));
    auto* camera = static_cast<IDataCamera*>(AfxGetDataManager()->GetData("modCamera"));
    ASSERT_NE(camera, nullptr);
    ASSERT_TRUE(camera->StartCamera());
    EXPECT_EQ(mgr.GetStreamType(), VIDEO_STREAM_CAMERA);
    EXPECT_TRUE(zxtest::WaitUntil([&] { return sink.NewestPixel(600, 10, VIDEO_STREAM_CAMERA) == 0x00FF00u; }))
        << "camera frames reach the video manager's consumer";
    camera->StopCamera();
    EXPECT_EQ(mgr.GetStreamType(), VIDEO_STREAM_NONE);
    // Once through the video manager's switch and once by the camera itself.
    EXPECT_EQ(observer.States(), (std::vector<bool>{true, false, false}));
    mgr.UnInit();
}

TEST_F(CameraTest, ACameraThatIsGoneFailsToStartAndLogs) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Unplugged Camera"));
    CCamera camera;
    camera.Init(640, 480);
    ASSERT_EQ(camera.GetCurrentCamera(), before);
    devices.Remove(L"ZxTestCam0");
    EXPECT_FALSE(camera.StartCamera());
    EXPECT_FALSE(camera.IsRunning());
    std::vector<BYTE> frame(640 * 480 * 3, 7);
    camera.GetFrame(frame.data(), static_cast<int>(frame.size()));
    EXPECT_EQ(frame[0], 7);
    std::vector<int> widths, heights;
    camera.GetAllFrameSize(widths, heights);
    EXPECT_TRUE(widths.empty());
    camera.StopCamera();
    camera.UnInit();
    ASSERT_TRUE(LogFlush(zxtest::kHangGuardMs));
    char expect[160];
    std::snprintf(expect, sizeof(expect), "OpenCameraInternal调用m_oCameraCapture.OpenCamera(%d)打开摄像头失败", before);
    EXPECT_NE(zxtest::ReadFile(Dir::GetLogPath() + "ZxVVideoSrc.txt").find(expect), std::string::npos);
}

TEST_F(CameraTest, SwitchingAndClosingWhileTheFrameThreadPullsIsSafe) {
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Camera A", L"640x480,1280x720"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam1", L"Camera B", L"320x240"));
    CCamera camera;
    camera.Init(640, 480);
    std::atomic<bool> stop(false);
    std::atomic<int> pulls(0);
    std::thread frameThread([&] {
        std::vector<BYTE> frame(640 * 480 * 3);
        while (!stop) {
            camera.GetFrame(frame.data(), static_cast<int>(frame.size()));
            ++pulls;
        }
    });
    // A few pulls of the frame thread between two steps, however slow the machine.
    auto letItPull = [&pulls] {
        const int from = pulls;
        EXPECT_TRUE(zxtest::WaitUntil([&] { return pulls >= from + 3; }));
    };
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(camera.StartCamera());
        letItPull();
        camera.SetFrameSize(1280, 720);
        letItPull();
        camera.SelectCamera(before + 1);
        letItPull();
        camera.SelectCamera(before + 0);
        camera.SetFrameSize(640, 480);
        camera.StopCamera();
    }
    stop = true;
    frameThread.join();
    EXPECT_GT(pulls, 0);
}

}  // namespace
