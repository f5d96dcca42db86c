// A console host for the kernel: loads it through the data-library manager
// exactly as the main program does, joins the chain as a frame consumer (as
// the preview window does), prints once a second how many frames were
// published, and stops cleanly on Ctrl+C or after --seconds N.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "GdiPlus.h"
#include "IDataKernal.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleCtrl(DWORD) {
    SetEvent(g_stop);
    return TRUE;
}

// Counts the finished frames the kernel hands to its consumers.
class CFrameCounter : public IVideoDeal {
public:
    bool OnNotifyFrameSize(const VideoFrameFormat&) override { return true; }
    void DealVideo(BYTE*, const VideoFrameFormat*, int) override { ++frames; }
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }
    std::atomic<long> frames{0};
};

}  // namespace

int main(int argc, char** argv) {
    double seconds = 0;  // 0: until Ctrl+C
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: ZxVKernelHost [--seconds N]\n");
            return 2;
        }
    }
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(&OnConsoleCtrl, TRUE);

    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    LogInit("ORBIAN");
    AfxGetMessageManager();
    if (!AfxGetDataDllManager()->LoadDataLibraries(0)) {
        std::fprintf(stderr, "kernel host: the kernel library did not load (see ZxMusicCore.txt in the log folder)\n");
        return 1;
    }
    IDataKernal* kernel = static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL));
    if (!kernel) {
        std::fprintf(stderr, "kernel host: \"modKernal\" is not registered\n");
        AfxGetDataDllManager()->UnloadDataLibraries();
        return 1;
    }
    CFrameCounter counter;
    kernel->AddVideoDeal(&counter);
    std::printf("kernel host: kernel running, publishing to the shared-memory channel%s\n",
                seconds > 0 ? "" : " (Ctrl+C stops)");
    std::fflush(stdout);

    LARGE_INTEGER freq, start, now;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&start);
    long last = 0;
    int tick = 0;
    for (;;) {
        ++tick;
        // Wake at whole seconds from the start, so each line covers 1 s.
        QueryPerformanceCounter(&now);
        double elapsed = double(now.QuadPart - start.QuadPart) / double(freq.QuadPart);
        double until = (seconds > 0 && seconds < tick) ? seconds : tick;
        DWORD wait = until > elapsed ? static_cast<DWORD>((until - elapsed) * 1000) : 0;
        bool stopped = WaitForSingleObject(g_stop, wait) == WAIT_OBJECT_0;
        long total = counter.frames;
        std::printf("%3d s: %ld frames published (%ld in all)\n", tick, total - last, total);
        std::fflush(stdout);
        last = total;
        if (stopped || (seconds > 0 && tick >= seconds)) break;
    }
    QueryPerformanceCounter(&now);
    double elapsed = double(now.QuadPart - start.QuadPart) / double(freq.QuadPart);
    long total = counter.frames;
    kernel->RemoveVideoDeal(&counter);
    AfxGetDataDllManager()->UnloadDataLibraries();
    std::printf("kernel host: %ld frames in %.2f s = %.2f frames per second; kernel stopped\n", total, elapsed,
                elapsed > 0 ? total / elapsed : 0.0);
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    return 0;
}
