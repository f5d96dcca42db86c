// Preview window benchmark: the frame work the preview does on the kernel's
// frame thread (scale 640 x 480 to 480 x 360, the recording bar, the
// open-camera button, the DirectDraw present), each as a ratio to one frame
// copy. Also GDI+'s DrawImage scaling, the way the picture could be scaled
// instead, for comparison. Needs a display (scripts/bench.sh starts the
// virtual one).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "DuiLib/UIlib.h"
#include "IDataRecordList.h"
#include "ZxScale/ZxScale.h"
#include "WndVideoShow.h"
#include "ZxLib/ZxLib.h"

namespace {

std::vector<BYTE> MakeFrame(int w, int h) {
    std::vector<BYTE> f(static_cast<size_t>(VideoFrameStride(w, 24)) * h);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<BYTE>((i * 7) ^ (i >> 9));
    return f;
}

// GDI+ scaling as a picture library would do it: lock and fill the source
// bitmap, DrawImage into the destination with the default interpolation,
// lock and read the destination.
struct GdiplusScaler {
    Gdiplus::Bitmap src{640, 480, PixelFormat24bppRGB};
    Gdiplus::Bitmap dst{480, 360, PixelFormat24bppRGB};
    void Scale(const BYTE* frame, BYTE* out) {
        Gdiplus::Rect all(0, 0, 640, 480);
        Gdiplus::BitmapData data;
        if (src.LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat24bppRGB, &data) == Gdiplus::Ok) {
            for (int y = 0; y < 480; ++y)
                std::memcpy(static_cast<BYTE*>(data.Scan0) + y * data.Stride, frame + y * 1920, 1920);
            src.UnlockBits(&data);
        }
        {
            Gdiplus::Graphics g(&dst);
            g.DrawImage(&src, Gdiplus::RectF(0, 0, 480, 360), 0, 0, 640, 480, Gdiplus::UnitPixel);
        }
        Gdiplus::Rect part(0, 0, 480, 360);
        if (dst.LockBits(&part, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) == Gdiplus::Ok) {
            for (int y = 0; y < 360; ++y)
                std::memcpy(out + y * 1440, static_cast<BYTE*>(data.Scan0) + y * data.Stride, 1440);
            dst.UnlockBits(&data);
        }
    }
};

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int main() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    DuiLib::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "btn_VideoWnd_OpenCamera_" + std::to_string(i) + ".png";
        if (auto* image = DuiLib::CRenderEngine::LoadFullPathImageFile(Dir::GetCurrentPath() + "skin\\base\\" + name))
            DuiLib::CImageMgr::AddImage(name, image);
    }

    std::vector<BYTE> frame = MakeFrame(640, 480);
    std::vector<BYTE> copy(frame.size());
    std::vector<BYTE> out(480 * 360 * 3);
    const int runs = 7, iterations = 40;

    const double copyUs = BenchMeasure(runs, 200, [&] { std::memcpy(copy.data(), frame.data(), frame.size()); });
    CZxScaler fixed;
    fixed.Build(640, 480, 480, 360, ZxScaleFilter::Area);
    const double fixedUs = BenchMeasure(runs, iterations, [&] { fixed.Scale(frame.data(), out.data()); });
    double gdiplusUs = 0;
    {
        GdiplusScaler g;
        gdiplusUs = BenchMeasure(runs, 10, [&] { g.Scale(frame.data(), out.data()); });
    }

    // The preview window itself, fed as the chain feeds it.
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"ZxPreviewBenchParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, wc.lpszClassName, L"preview bench", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                                  0, 480, 360, nullptr, nullptr, wc.hInstance, nullptr);
    CWndVideoShow wnd;
    wnd.Create(parent, "", WS_CHILD | WS_VISIBLE, 0, RECT{0, 0, 480, 360});
    Pump();
    VideoFrameFormat format;
    VideoFrameFormatInit(format, 640, 480);
    wnd.OnNotifyFrameSize(format);
    const bool presenting = wnd.Presenter().IsReady();

    IVideoDeal& deal = wnd;
    // Every frame differs from the one before (as a camera's do), so each
    // is put on the screen; an unchanged picture is measured on its own.
    int n = 0;
    auto changed = [&] {
        frame[static_cast<size_t>(n++ % 640) * 3] ^= 0x80;
        return frame.data();
    };
    const double cameraUs =
        BenchMeasure(runs, iterations, [&] { deal.DealVideo(changed(), &format, VIDEO_STREAM_CAMERA); });
    const double idleUs =
        BenchMeasure(runs, iterations, [&] { deal.DealVideo(changed(), &format, VIDEO_STREAM_NONE); });
    const double restUs =
        BenchMeasure(runs, iterations, [&] { deal.DealVideo(frame.data(), &format, VIDEO_STREAM_NONE); });
    ArgList state;
    ArgAppender(state) << static_cast<int>(ZXV_RECORD_RECORDING) << static_cast<int>(ZXV_RECORD_VIDEO);
    static_cast<IDataRecordListObserver&>(wnd).OnMessage(RECORDLIST_MSG_STATE, state);
    const double recordUs =
        BenchMeasure(runs, iterations, [&] { deal.DealVideo(changed(), &format, VIDEO_STREAM_NONE); });

    std::printf("Preview window, per 640x480 frame (median of %d runs), ratio to one frame copy\n", runs);
    std::printf("  frame copy (921600-byte memcpy)        %8.1f us   1.0\n", copyUs);
    std::printf("  scale, fixed-point area (used)         %8.1f us  %5.1f\n", fixedUs, fixedUs / copyUs);
    std::printf("  scale, GDI+ DrawImage (not used)       %8.1f us  %5.1f\n", gdiplusUs, gdiplusUs / copyUs);
    std::printf("  preview, camera: scale + present       %8.1f us  %5.1f\n", cameraUs, cameraUs / copyUs);
    std::printf("  preview, no source: + button           %8.1f us  %5.1f\n", idleUs, idleUs / copyUs);
    std::printf("  preview, recording: + bar + button     %8.1f us  %5.1f   (target <= 3000 us)\n", recordUs,
                recordUs / copyUs);
    std::printf("  preview at rest: the same picture      %8.1f us  %5.1f   (drawn once a second)\n", restUs,
                restUs / copyUs);
    std::printf("  DirectDraw presenting: %s, desktop %d bits, %ld DirectDraw calls\n", presenting ? "yes" : "NO",
                wnd.Presenter().DesktopBitCount(), wnd.Presenter().DDrawCallCount());

    wnd.Uninit();
    Pump();
    DestroyWindow(parent);
    DuiLib::CImageMgr::RemoveAll();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
