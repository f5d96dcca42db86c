// Effects benchmark: each effect alone and the whole chain with every effect
// on, per 640 x 480 camera frame, with ratios to one frame copy. Settings go
// to a scratch folder, never to the user's profile.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "GdiPlus.h"
#include "IDataKernal.h"
#include "VideoDealChain.h"
#include "VideoEffectBorder.h"
#include "VideoEffectFaceThin.h"
#include "VideoEffectLogo.h"
#include "VideoEffectPendant.h"
#include "VideoEffectText.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {


// "modKernal" over a bare chain, so each effect joins as it does in the kernel.
class BenchKernal : public IDataKernal {
public:
    BenchKernal() { AfxGetDataManager()->AddData(ZX_MOD_KERNAL, this); }
    ~BenchKernal() override { AfxGetDataManager()->RemoveData(ZX_MOD_KERNAL); }
    bool AddVideoDeal(IVideoDeal* deal) override { return chain.AddVideoDeal(deal); }
    void RemoveVideoDeal(IVideoDeal* deal) override { chain.RemoveVideoDeal(deal); }
    void RemoveAllVideoDeal() override { chain.RemoveAllVideoDeal(); }
    CVideoDealChain chain;
};

std::string Scratch() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ZXVCAM_TEST_TMP", buf, MAX_PATH);
    if (n > 0 && n < MAX_PATH) return Dir::WithSlash(Charset::WString2String(std::wstring(buf, n)));
    n = GetTempPathW(MAX_PATH, buf);
    return Dir::WithSlash(Charset::WString2String(std::wstring(buf, n))) + "zxbench\\";
}

}  // namespace

int main() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    std::string scratch = Scratch();
    Dir::MakeDir(scratch);
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", Charset::String2WString(scratch + "data\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_LOG_DIR", Charset::String2WString(scratch + "log\\").c_str());
    ZxConfigSetFile((scratch + "bench.ini").c_str());

    VideoFrameFormat format;
    VideoFrameFormatInit(format, 640, 480);
    const size_t size = format.bmiHeader.biSizeImage;
    std::vector<BYTE> src(size), frame(size);
    for (size_t i = 0; i < size; ++i) src[i] = static_cast<BYTE>((i * 7) ^ (i >> 9));

    const int runs = 7;
    std::vector<BYTE> frameCopy(size);
    double copy = BenchMeasure(runs, 400, [&] { std::memcpy(frameCopy.data(), src.data(), size); });

    enum { kPendant = 1, kFaceThin = 2, kLogo = 4, kBorder = 8, kText = 16, kAll = 31 };
    int scenario = 0;
    // One scenario: fresh effects and settings, the chosen ones switched on
    // through their own modules as the panels do, then the cost of one
    // camera frame (the copy that restores the source frame is taken off).
    auto measure = [&](int effects, size_t& members) {
        ZxConfigSetFile((scratch + "bench" + std::to_string(++scenario) + ".ini").c_str());
        BenchKernal kernal;
        kernal.chain.OnFrameFormat(format);
        CVideoEffectPendant pendant;
        CVideoEffectFaceThin faceThin;
        CVideoEffectLogo logo;
        CVideoEffectBorder border;
        CVideoEffectText text;
        text.Init();
        pendant.Init();
        faceThin.Init();
        border.Init();
        if (effects & kPendant) pendant.SetPendant(0);
        if (effects & kFaceThin) {
            faceThin.SetEnable(true);
            faceThin.SetStretchRatio(10);
            faceThin.SetRed(30);
        }
        if (effects & kLogo) logo.EnableLogo(true);
        if (effects & kBorder) {
            std::vector<VEBorderItem*> borders;
            border.GetBorderList(borders);
            if (!borders.empty()) border.SetBorder(borders[0]->id);
        }
        if (effects & kText) {
            text.SetText("ZxVCam 维莫美化视频 scrolling caption");
            text.SetMoveDirection(1);
            text.SetEnable(true);
        }
        members = kernal.chain.Count();
        double us = BenchMeasure(runs, 40, [&] {
            std::memcpy(frame.data(), src.data(), size);
            kernal.chain.OnFrame(frame.data(), static_cast<int>(size), 3);
        }) - copy;
        border.UnInit();
        faceThin.UnInit();
        pendant.UnInit();
        text.UnInit();
        kernal.chain.RemoveAllVideoDeal();
        return us;
    };

    struct Row {
        const char* name;
        int effects;
    };
    const Row rows[] = {{"colour filter", kPendant}, {"colour adjust + face thin", kFaceThin}, {"logo", kLogo},
                        {"border", kBorder},         {"caption text", kText},                  {"whole chain", kAll}};
    std::printf("effects, 640x480x24 camera frame, median of %d runs\n", runs);
    std::printf("  frame copy                  %8.1f us   1.00 x copy\n", copy);
    for (const Row& row : rows) {
        size_t members = 0;
        double us = measure(row.effects, members);
        std::printf("  %-26s  %8.1f us  %5.2f x copy   (%zu in chain)\n", row.name, us, us / copy, members);
    }
    std::printf("  frame budget                50000.0 us\n");
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
