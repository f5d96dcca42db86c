// A console host for the kernel: loads it through the data-library manager
// exactly as the main program does, joins the chain as a frame consumer (as
// the preview window does), prints once a second how many frames were
// published, and stops cleanly on Ctrl+C, after --seconds N, or when the
// named event of --stop-event NAME is set.
//
// --mark RUN puts a mark on every frame before it is published (FrameMark.h:
// RUN and the frame's number), so camera clients can count distinct frames
// and tell the frames of one host run from another's. The host prints its
// process id and, on the performance counter in microseconds (the same
// counter in every process), when it started and when its first frame was
// published.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "FrameMark.h"
#include "GdiPlus.h"
#include "IDataKernal.h"
#include "KernelModules.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxLib/ZxLib.h"

namespace {

HANDLE g_stop = nullptr;

BOOL WINAPI OnConsoleCtrl(DWORD) {
    SetEvent(g_stop);
    return TRUE;
}


// Counts the finished frames the kernel hands to its consumers. It joins
// after the channel's writer, so its first call comes once the first frame
// is in the channel.
class CFrameCounter : public IVideoDeal {
public:
    bool OnNotifyFrameSize(const VideoFrameFormat&) override { return true; }
    void DealVideo(BYTE*, const VideoFrameFormat*, int) override {
        if (frames == 0) firstUs = Clock::NowUs();
        ++frames;
        SetEvent(firstFrame);
    }
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }
    std::atomic<long> frames{0};
    std::atomic<double> firstUs{0};
    HANDLE firstFrame = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Marks each frame with the run and its number, ahead of every consumer
// (the text effect's place, the last one before the output).
class CFrameMarker : public IVideoDeal {
public:
    explicit CFrameMarker(uint32_t run) : m_run(run) {}
    bool OnNotifyFrameSize(const VideoFrameFormat&) override { return true; }
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int) override {
        if (!frame || !format || format->bmiHeader.biBitCount != 24 || format->bmiHeader.biHeight <= 0) return;
        framemark::Put(frame, format->bmiHeader.biWidth, format->bmiHeader.biHeight, m_run, m_number++);
    }
    int GetDealType() override { return VIDEO_DEAL_TEXT; }

private:
    uint32_t m_run;
    uint32_t m_number = 0;
};

}  // namespace

int main(int argc, char** argv) {
    const double startUs = Clock::NowUs();
    double seconds = 0;  // 0: until Ctrl+C
    const char* stopEvent = nullptr;
    long markRun = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--stop-event") == 0 && i + 1 < argc) {
            stopEvent = argv[++i];
        } else if (std::strcmp(argv[i], "--mark") == 0 && i + 1 < argc) {
            markRun = std::atol(argv[++i]) & 0xFFFF;
        } else {
            std::fprintf(stderr, "usage: ZxVKernelHost [--seconds N] [--stop-event NAME] [--mark RUN]\n");
            return 2;
        }
    }
    // A named manual-reset event lets another process stop the host cleanly;
    // without a name only Ctrl+C and the time do.
    g_stop = CreateEventA(nullptr, TRUE, FALSE, stopEvent);
    if (!g_stop) {
        std::fprintf(stderr, "kernel host: the stop event could not be made (error %lu)\n", GetLastError());
        return 2;
    }
    std::printf("kernel host: pid %lu, started at %.0f us\n", GetCurrentProcessId(), startUs);
    std::fflush(stdout);
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
    IDataKernal* kernel = KernelModule<IDataKernal>();
    if (!kernel) {
        std::fprintf(stderr, "kernel host: \"modKernal\" is not registered\n");
        AfxGetDataDllManager()->UnloadDataLibraries();
        return 1;
    }
    CFrameCounter counter;
    CFrameMarker marker(static_cast<uint32_t>(markRun));
    if (markRun >= 0) kernel->AddVideoDeal(&marker);
    kernel->AddVideoDeal(&counter);
    std::printf("kernel host: kernel running, publishing to the shared-memory channel%s\n",
                seconds > 0 ? "" : " (Ctrl+C stops)");
    std::fflush(stdout);

    const double start = Clock::NowMs();
    long last = 0;
    int tick = 0;
    bool firstReported = false;
    for (;;) {
        ++tick;
        // Wake at whole seconds from the start, so each line covers 1 s; the
        // first frame's time is printed as soon as it is there.
        const double until = (seconds > 0 && seconds < tick) ? seconds : tick;
        bool stopped = false;
        for (;;) {
            const double elapsed = (Clock::NowMs() - start) / 1000.0;
            const DWORD wait = until > elapsed ? static_cast<DWORD>((until - elapsed) * 1000) : 0;
            HANDLE waits[2] = {g_stop, counter.firstFrame};
            const DWORD woke = WaitForMultipleObjects(firstReported ? 1 : 2, waits, FALSE, wait);
            if (woke == WAIT_OBJECT_0 + 1) {
                firstReported = true;
                std::printf("kernel host: first frame published at %.0f us (%.3f s after start)\n",
                            counter.firstUs.load(), (counter.firstUs.load() - startUs) / 1e6);
                std::fflush(stdout);
                continue;
            }
            stopped = woke == WAIT_OBJECT_0;
            break;
        }
        long total = counter.frames;
        std::printf("%3d s: %ld frames published (%ld in all)\n", tick, total - last, total);
        std::fflush(stdout);
        last = total;
        if (stopped || (seconds > 0 && tick >= seconds)) break;
    }
    double elapsed = (Clock::NowMs() - start) / 1000.0;
    long total = counter.frames;
    kernel->RemoveVideoDeal(&counter);
    if (markRun >= 0) kernel->RemoveVideoDeal(&marker);
    AfxGetDataDllManager()->UnloadDataLibraries();
    std::printf("kernel host: %ld frames in %.2f s = %.2f frames per second; kernel stopped\n", total, elapsed,
                elapsed > 0 ? total / elapsed : 0.0);
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    return 0;
}
