// The capture layer against test cameras registered in the Wine prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "CameraDS.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"

namespace {

std::string Name(int index) {
    char buffer[128] = "untouched";
    EXPECT_TRUE(CCameraDS::GetCameraName(index, buffer, sizeof(buffer)));
    return buffer;
}

// The pattern pixel (x, y from the bottom) of a 24-bit frame.
unsigned Pixel(const BYTE* frame, int width, int x, int y) {
    const int stride = ((width * 24 + 31) / 32) * 4;
    const BYTE* p = frame + static_cast<size_t>(y) * stride + 3 * x;
    return (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[0];
}

// Waits for a frame of the expected size.
BYTE* WaitFrame(CCameraDS& camera, int expectBytes, int& size) {
    BYTE* frame = nullptr;
    zxtest::WaitUntil([&] {
        frame = camera.QueryFrame(size);
        return frame && size == expectBytes;
    });
    return frame && size == expectBytes ? frame : nullptr;
}

class CameraDSTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_TRUE(devices.Ok()) << "regsvr32 ZxTestDevices.dll";
    }
    void TearDown() override { CoUninitialize(); }
    tdev::TestDevices devices;
};

TEST_F(CameraDSTest, OnlyDevicesWithADevicePathCountAndKeepTheirIndex) {
    const int before = CCameraDS::GetCameraCount();
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"ZXVCam"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam1", L"No Path Camera", ZXTEST_DEFAULT_CAPS, false));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam2", L"Integrated Webcam"));
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam3", L"USB2.0 摄像头"));
    EXPECT_EQ(CCameraDS::GetCameraCount(), before + 3);
    EXPECT_EQ(Name(before + 0), "ZXVCam");
    EXPECT_EQ(Name(before + 1), "Integrated Webcam") << "the device without a path has no index";
    EXPECT_EQ(Name(before + 2), "USB2.0 摄像头");
    EXPECT_EQ(Name(before + 3), "untouched") << "an index beyond the devices leaves the buffer alone";
    EXPECT_EQ(Name(-1), "untouched");
    char small[6];
    EXPECT_TRUE(CCameraDS::GetCameraName(before + 1, small, sizeof(small)));
    EXPECT_STREQ(small, "Integ") << "cut to the buffer and terminated";

    devices.Remove(L"ZxTestCam2");
    EXPECT_EQ(CCameraDS::GetCameraCount(), before + 2);
    EXPECT_EQ(Name(before + 1), "USB2.0 摄像头");
}

TEST(CameraFrameSize, NearestWidthWinsAndTiesGoToTheEarlier) {
    struct Case {
        std::vector<int> widths, heights;
        int askW, askH, w, h;
    } cases[] = {
        {{640, 1280}, {480, 720}, 800, 600, 640, 480},
        {{960, 1040}, {540, 780}, 1000, 10, 960, 540},  // a tie: the earlier
        {{640, 640}, {360, 480}, 640, 480, 640, 480},   // an exact match beats an earlier same width
        {{}, {}, 320, 240, 320, 240},                   // without candidates the request stays
    };
    for (const Case& c : cases) {
        int w = c.askW, h = c.askH;
        CCameraDS::ChooseFrameSize(c.widths.data(), c.heights.data(), static_cast<int>(c.widths.size()), w, h);
        EXPECT_EQ(w, c.w) << c.askW << "x" << c.askH;
        EXPECT_EQ(h, c.h) << c.askW << "x" << c.askH;
    }
}

TEST_F(CameraDSTest, OpensAtTheNearestSizeAndDeliversThePattern) {
    const int before = CCameraDS::GetCameraCount();
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Test Camera", L"640x480,1280x720,640x480/32"));
    CCameraDS camera;
    ASSERT_TRUE(camera.OpenCamera(before, 1000, 700));
    EXPECT_EQ(camera.GetWidth(), 1280);
    EXPECT_EQ(camera.GetHeight(), 720);
    EXPECT_FALSE(camera.OpenCamera(before, 640, 480)) << "a connected object is not opened again";
    std::string sizes = "keep";
    camera.GetFrameSizes(sizes);
    EXPECT_EQ(sizes, "keep|640x480|1280x720|640x480") << "appended, in capability order, duplicates kept";

    int size = -1;
    EXPECT_EQ(camera.QueryFrame(size), nullptr);
    EXPECT_EQ(size, 0) << "no frame before the graph runs";
    ASSERT_EQ(camera.StartCapture(), 0);
    BYTE* frame = WaitFrame(camera, 1280 * 720 * 3, size);
    ASSERT_NE(frame, nullptr) << "last size " << size;
    EXPECT_EQ(Pixel(frame, 1280, 10, 10), 0xFF0000u);
    EXPECT_EQ(Pixel(frame, 1280, 1270, 10), 0x00FF00u);
    EXPECT_EQ(Pixel(frame, 1280, 10, 500), 0x0000FFu);
    EXPECT_EQ(Pixel(frame, 1280, 1270, 500), 0xFFFFFFu);
    // The bar in the top band moves: each query copies the newest sample.
    const size_t topRow = static_cast<size_t>(719) * 1280 * 3;
    const std::vector<BYTE> band(frame + topRow, frame + topRow + 1280 * 3);
    const bool moved = zxtest::WaitUntil([&] {
        frame = camera.QueryFrame(size);
        return frame && size == 1280 * 720 * 3 && !std::equal(band.begin(), band.end(), frame + topRow);
    });
    EXPECT_TRUE(moved);
    EXPECT_EQ(camera.StopCapture(), 0);
    camera.CloseCamera();
    EXPECT_EQ(camera.GetWidth(), 0);
    EXPECT_EQ(camera.QueryFrame(size), nullptr);
    EXPECT_EQ(size, 0);
    sizes.clear();
    camera.GetFrameSizes(sizes);
    EXPECT_EQ(sizes, "") << "a closed camera lists nothing";
    camera.CloseCamera();  // closing twice is harmless

    // Opened again, at a size it offers exactly.
    ASSERT_TRUE(camera.OpenCamera(before, 640, 480));
    EXPECT_EQ(camera.GetWidth(), 640);
    ASSERT_EQ(camera.StartCapture(), 0);
    ASSERT_NE(WaitFrame(camera, 640 * 480 * 3, size), nullptr);
    camera.CloseCamera();
}

TEST_F(CameraDSTest, MissingDevicesFailCleanly) {
    const int count = CCameraDS::GetCameraCount();
    CCameraDS camera;
    EXPECT_FALSE(camera.OpenCamera(count, 640, 480));
    EXPECT_FALSE(camera.OpenCamera(-1, 640, 480));
    EXPECT_EQ(camera.StartCapture(), 0) << "no graph: nothing to run";
    int size = 7;
    EXPECT_EQ(camera.QueryFrame(size), nullptr);
    EXPECT_EQ(size, 0);
    camera.CloseCamera();
    // Opening after a failure works.
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Late Camera", L"320x240"));
    ASSERT_TRUE(camera.OpenCamera(count, 640, 480));
    EXPECT_EQ(camera.GetWidth(), 320);
    camera.CloseCamera();
}

TEST_F(CameraDSTest, CloseWhileAnotherThreadQueriesIsSafe) {
    const int before = CCameraDS::GetCameraCount();
    ASSERT_TRUE(devices.AddCamera(L"ZxTestCam0", L"Test Camera", L"1280x720"));
    CCameraDS camera;
    std::atomic<bool> stop(false);
    std::atomic<int> frames(0);
    std::thread reader([&] {
        while (!stop) {
            camera.Lock();
            int size = 0;
            BYTE* frame = camera.QueryFrame(size);
            // Read the whole frame while the buffer is held.
            if (frame && size == 1280 * 720 * 3) {
                unsigned sum = 0;
                for (int i = 0; i < size; i += 4096) sum += frame[i];
                if (sum || !sum) ++frames;
            }
            camera.Unlock();
        }
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(camera.OpenCamera(before, 1280, 720));
        ASSERT_EQ(camera.StartCapture(), 0);
        const int seen = frames;
        EXPECT_TRUE(zxtest::WaitUntil([&] { return frames > seen; }));
        camera.CloseCamera();  // while the reader runs
    }
    stop = true;
    reader.join();
}

}  // namespace
