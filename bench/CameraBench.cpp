// Camera path benchmark: the per-frame cost of pulling the newest camera
// frame and shrinking it from 1280 x 720 to the 640 x 480 output (the area
// scaler the camera path uses, and DirectDraw's stretch it used before),
// with the ratio to one frame copy. The camera is the test camera (built with the
// tests), registered in the prefix for the run and removed afterwards.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "Camera.h"
#include "TestDeviceSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxScale/ZxScale.h"

int main() {
    CoInitialize(nullptr);
    const int runs = 7;
    const int sw = 1280, sh = 720, dw = 640, dh = 480;
    std::vector<BYTE> source(static_cast<size_t>(CCameraFrameScaler::RowBytes(sw, 24)) * sh);
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<BYTE>(i * 7);
    std::vector<BYTE> out(static_cast<size_t>(CCameraFrameScaler::RowBytes(dw, 24)) * dh), copy(out.size());

    const double copyUs = BenchMeasure(runs, 400, [&] { std::memcpy(copy.data(), out.data(), out.size()); });
    CCameraFrameScaler scaler;
    bool scaled = true;
    const double scaleUs = BenchMeasure(runs, 50, [&] {
        scaled = scaler.Scale(source.data(), static_cast<int>(source.size()), sw, sh, out.data(),
                              static_cast<int>(out.size()), dw, dh, 24) && scaled;
    });
    CCameraFrameScaler rebuilt;
    const double rebuildUs = BenchMeasure(runs, 10, [&] {
        rebuilt.Release();
        rebuilt.Scale(source.data(), static_cast<int>(source.size()), sw, sh, out.data(), static_cast<int>(out.size()),
                      dw, dh, 24);
    });

    CZxScaler area;
    area.Build(sw, sh, dw, dh, ZxScaleFilter::Area);
    const double areaUs = BenchMeasure(runs, 50, [&] { area.Scale(source.data(), out.data()); });

    std::printf("camera path, one frame 1280x720 -> 640x480 RGB24, median of %d runs\n", runs);
    std::printf("  frame copy 640x480           %8.1f us   1.00 x copy\n", copyUs);
    std::printf("  area scaler (the camera's)   %8.1f us  %5.2f x copy\n", areaUs, areaUs / copyUs);
    std::printf("  DirectDraw (surfaces kept)   %8.1f us  %5.2f x copy%s\n", scaleUs, scaleUs / copyUs,
                scaled ? "" : "  (DirectDraw failed)");
    std::printf("  DirectDraw (surfaces rebuilt)%8.1f us  %5.2f x copy\n", rebuildUs, rebuildUs / copyUs);

    // The live path through the test camera.
    {
        tdev::TestDevices devices;
        // The test camera by its name: where the program is installed, the
        // list also holds ZXVCam, and opening that would start the program.
        auto benchCamera = [] {
            char name[256];
            for (int i = 0; i < CCameraDS::GetCameraCount(); ++i)
                if (CCameraDS::GetCameraName(i, name, sizeof(name)) && std::strcmp(name, "Bench Camera") == 0) return i;
            return -1;
        };
        int index = -1;
        if (!devices.Ok() || !devices.AddCamera(L"ZxBenchCam0", L"Bench Camera", L"1280x720") ||
            (index = benchCamera()) < 0) {
            std::printf("  (test camera not available: query not measured)\n");
        } else {
            // Settings of the run beside the program, removed afterwards.
            const std::string ini = Dir::GetCurrentPath() + "ZxCameraBench.ini";
            ZxConfigSetFile(ini.c_str());
            AfxGetConfigManager()->SetString("Camera", "CurrentUserCameraName", "Bench Camera", 0);
            AfxGetConfigManager()->SetInt("Camera", "CameraCaptureWidth", sw);
            AfxGetConfigManager()->SetInt("Camera", "CameraCaptureHeight", sh);
            // The pull alone, on a capture object of its own (one camera
            // graph per process at a time).
            double queryUs = 0;
            int size = 0;
            {
                CCameraDS query;
                if (query.OpenCamera(index, sw, sh) && query.StartCapture() == 0) {
                    for (int i = 0; i < 200 && size == 0; ++i) {
                        Sleep(10);
                        query.QueryFrame(size);
                    }
                    queryUs = BenchMeasure(runs, 50, [&] { query.QueryFrame(size); });
                }
                query.CloseCamera();
            }
            CCamera camera;
            camera.Init(dw, dh);
            if (size > 0 && camera.GetCurrentCamera() == index && camera.StartCamera()) {
                Sleep(300);  // the first frames
                const double pathUs =
                    BenchMeasure(runs, 50, [&] { camera.GetFrame(out.data(), static_cast<int>(out.size())); });
                std::printf("  query 1280x720 (%d bytes)  %8.1f us  %5.2f x copy\n", size, queryUs, queryUs / copyUs);
                std::printf("  query + scale (GetFrame)     %8.1f us  %5.2f x copy\n", pathUs, pathUs / copyUs);
                std::printf("  share of one core at 20 fps  %8.2f %%\n", pathUs * 20 / 1e4);
                camera.StopCamera();
            } else {
                std::printf("  (test camera did not start: query not measured)\n");
            }
            camera.UnInit();
            ZxConfigSetFile(nullptr);
            DeleteFileW(Charset::String2WString(ini).c_str());
        }
    }
    CoUninitialize();
    return 0;
}
