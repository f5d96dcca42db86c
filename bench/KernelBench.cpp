// Frame-path benchmark: the cost of one 640 x 480 frame copy, of the chain
// with the logo, and of one channel write, with their ratios to the copy.
// Each figure is the median of several runs of many iterations.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "BenchUtil.h"
#include "GdiPlus.h"
#include "ShareMem.h"
#include "VideoDealChain.h"
#include "VideoEffectLogo.h"

int main() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    VideoFrameFormat format;
    VideoFrameFormatInit(format, 640, 480);
    const size_t size = format.bmiHeader.biSizeImage;
    std::vector<BYTE> src(size), dst(size);
    for (size_t i = 0; i < size; ++i) src[i] = static_cast<BYTE>(i * 7);

    const int runs = 9;
    double copy = BenchMeasure(runs, 400, [&] { std::memcpy(dst.data(), src.data(), size); });

    CVideoDealChain chain;
    CVideoEffectLogo logo;
    chain.OnFrameFormat(format);
    bool logoOn = chain.AddVideoDeal(&logo);
    double logoChain = BenchMeasure(runs, 100, [&] { chain.OnFrame(dst.data(), static_cast<int>(size), 0); });

    CShareMem channel;
    char name[64];
    std::snprintf(name, sizeof(name), "ZxKernelBench_%lu", GetCurrentProcessId());
    char readEvent[80], writeEvent[80];
    std::snprintf(readEvent, sizeof(readEvent), "%s_read", name);
    std::snprintf(writeEvent, sizeof(writeEvent), "%s_write", name);
    bool open = channel.Open(name, kShareMemSize, readEvent, writeEvent);
    std::vector<BYTE> packet(kShareMemHeaderSize + size);
    ShareMemMakeHeader(packet.data(), static_cast<uint32_t>(size), ShareMemNow());
    double write = BenchMeasure(runs, 200, [&] { channel.Write(packet.data(), static_cast<DWORD>(packet.size())); });

    std::printf("frame path, 640x480x24 (%zu bytes), median of %d runs\n", size, runs);
    std::printf("  frame copy          %8.1f us   1.00 x copy\n", copy);
    std::printf("  chain with logo     %8.1f us  %5.2f x copy%s\n", logoChain, logoChain / copy,
                logoOn ? "" : "   (Logo.png missing: chain empty)");
    std::printf("  channel write       %8.1f us  %5.2f x copy%s\n", write, write / copy, open ? "" : "   (channel not open)");
    std::printf("  frame budget        50000.0 us  (20 frames per second)\n");
    chain.RemoveAllVideoDeal();
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
