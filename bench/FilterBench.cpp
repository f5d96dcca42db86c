// Capture filter benchmark.
//
// 1. The cost of one FillBuffer (take the newest frame from the channel,
//    copy or scale it, fill the sample) at 640 x 480 RGB24, where the
//    picture is copied, at 320 x 240, where it is scaled, and at 640 x 480
//    in YUY2 and I420, where it is converted; each as a ratio to one frame
//    copy (memcpy of 921600 bytes). Each figure is the median of several
//    runs of many samples.
// 2. The colour conversions alone (YUY2, I420, NV12, RGB32), fast and plain.
// 3. The scaler alone against GDI+'s (what the filter used before) and
//    FFmpeg's swscale, bilinear and area, on the same picture in the same
//    run, with each result's mean difference from PIL's resize of that
//    picture (the test support's reference pictures) as its quality.
//
// Before every sample the bench writes the 640 x 480 frame into the real
// channel again with the current second, as the kernel's next frame would,
// so the filter always finds a new frame and never waits; only the
// FillBuffer call itself is timed (taking the write's time off a figure
// that holds both left the write's effect on the caches in it). The
// stream's pace is restarted before every sample so no sample waits for
// its slot.
#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libswscale/swscale.h>
}

#include "BenchUtil.h"
#include "DShowBase/MediaType.h"
#include "GdiPlusScaler.h"
#include "ShareMem.h"
#include "VCam.h"
#include "VCamFormats.h"
#include "VCamSource.h"
#include "ZxLib/ZxLib.h"
#include "ZxScale/ZxScale.h"
#include "ZxScale/ZxYuv.h"

namespace {

// The published frame, written again for every sample.
class Publisher {
public:
    bool Open() {
        if (!m_writer.Open(kShareMemFileName, kShareMemSize)) return false;
        m_packet.assign(kShareMemHeaderSize + 921600, 0);
        for (size_t i = kShareMemHeaderSize; i < m_packet.size(); ++i) m_packet[i] = static_cast<BYTE>(i * 7);
        Next();
        return true;
    }
    void Next() {
        ShareMemMakeHeader(m_packet.data(), 921600, ShareMemNow());
        m_writer.Write(m_packet.data(), static_cast<DWORD>(m_packet.size()));
    }

private:
    CShareMem m_writer;
    std::vector<BYTE> m_packet;
};

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = _wfopen(Charset::String2WString(path).c_str(), L"rb");
    if (!f) return out;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fseek(f, 0, SEEK_SET);
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        if (std::fread(out.data(), 1, out.size(), f) != out.size()) out.clear();
    }
    std::fclose(f);
    return out;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return -1;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
    return sum / static_cast<double>(a.size());
}

void FillBufferFigures(double copy) {
    Publisher publisher;
    if (!publisher.Open()) {
        std::fprintf(stderr, "filter bench: the channel could not be opened\n");
        std::exit(1);
    }
    HRESULT hr = S_OK;
    CUnknown* object = CVCam::CreateInstance(nullptr, &hr);
    if (!object || FAILED(hr)) std::exit(1);
    object->NonDelegatingAddRef();
    auto* filter = static_cast<CVCam*>(object);
    auto* pin = static_cast<CVCamStream*>(filter->GetPin(0));

    IMemAllocator* allocator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void**>(&allocator))))
        std::exit(1);
    ALLOCATOR_PROPERTIES want = {1, 921600, 1, 0}, got = {};
    allocator->SetProperties(&want, &got);
    allocator->Commit();
    IMediaSample* sample = nullptr;
    allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (!sample) std::exit(1);

    const int runs = 15;
    std::printf("capture filter, FillBuffer per sample, median of %d runs\n", runs);
    std::printf("  frame copy (memcpy 921600 bytes)  %9.1f us   1.00 x copy\n", copy);
    struct Case {
        VCamPixels pixels;
        int code;
        const char* what;
    };
    for (const Case c : {Case{VCamPixels::Rgb24, 8, "RGB24 (copy)"}, Case{VCamPixels::Rgb24, 4, "RGB24 (scaled)"},
                         Case{VCamPixels::Yuy2, 8, "YUY2"}, Case{VCamPixels::I420, 8, "I420"}}) {
        CMediaType mt;
        VCamMakeMediaType(c.pixels, c.code, kVCamFrameTime, &mt);
        pin->SetMediaType(&mt);  // opens the channel reader, as connecting does
        const double fill = BenchMeasureAfter(
            runs, 100,
            [&] {
                publisher.Next();
                pin->OnThreadCreate();  // a new stream: no waiting for the slot
            },
            [&] { pin->FillBuffer(sample); });
        std::printf("  FillBuffer at %3dx%3d %-15s %9.1f us  %5.2f x copy\n", VCamWidth(c.code), VCamHeight(c.code),
                    c.what, fill, fill / copy);
    }
    sample->Release();
    allocator->Decommit();
    allocator->Release();
    object->NonDelegatingRelease();
}

// The colour conversions alone at 640 x 480, the fast path and the plain one.
void ConversionFigures(double copy) {
    std::vector<uint8_t> source(921600), out(ZxRgb32Bytes(640, 480));
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>((i * 7) ^ (i >> 9));
    using Convert = bool (*)(const uint8_t*, int, int, uint8_t*, ZxConvertPath);
    struct Row {
        const char* name;
        Convert convert;
    };
    std::printf("conversion alone from 640x480 RGB24, median of 15 runs (fast path: %s)\n",
                ZxConvertUsesAvx2() ? "AVX2" : ZxConvertUsesSsse3() ? "SSSE3" : ZxConvertUsesSse2() ? "SSE2" : "plain C");
    for (const Row r : {Row{"YUY2", ZxBgrToYuy2}, Row{"I420", ZxBgrToI420}, Row{"NV12", ZxBgrToNv12},
                        Row{"RGB32", ZxBgrToRgb32}}) {
        const double fast = BenchMeasure(15, 40, [&] { r.convert(source.data(), 640, 480, out.data(), ZxConvertPath::Best); });
        const double plain = BenchMeasure(15, 10, [&] { r.convert(source.data(), 640, 480, out.data(), ZxConvertPath::Plain); });
        std::printf("  %-6s fast %9.1f us %5.2f x copy   plain C %9.1f us %5.2f x copy\n", r.name, fast, fast / copy,
                    plain, plain / copy);
    }
}

void ScalerFigures(double copy) {
    const std::string folder = Dir::GetCurrentPath() + "scale-reference\\";
    const std::vector<uint8_t> source = ReadAll(folder + "source.bgr");
    if (source.size() != 921600) {
        std::printf("scaler: no reference pictures in %s (built with the tests)\n", folder.c_str());
        return;
    }
    std::printf("scaler alone, 640x480 source, median of 15 runs; quality = mean difference from PIL's resize\n");
    std::printf("  %-9s %-24s %9s %8s %8s\n", "size", "scaler", "us", "x copy", "quality");
    struct Size {
        int w, h;
    };
    for (const Size s : {Size{320, 240}, Size{160, 120}, Size{560, 420}}) {
        const std::string size = std::to_string(s.w) + "x" + std::to_string(s.h);
        const std::vector<uint8_t> pilBilinear = ReadAll(folder + size + "-bilinear.bgr");
        const std::vector<uint8_t> pilArea = ReadAll(folder + size + "-area.bgr");
        std::vector<uint8_t> out(CZxScaler::PictureBytes(s.w, s.h));
        auto report = [&](const char* name, double us, const std::vector<uint8_t>& reference) {
            std::printf("  %-9s %-24s %9.1f %8.2f %8.3f\n", size.c_str(), name, us, us / copy, MeanDifference(out, reference));
        };
        for (const ZxScaleFilter filter : {ZxScaleFilter::Bilinear, ZxScaleFilter::Area}) {
            CZxScaler scaler;
            scaler.Build(640, 480, s.w, s.h, filter);
            const bool area = filter == ZxScaleFilter::Area;
            const double us = BenchMeasure(15, 40, [&] { scaler.Scale(source.data(), out.data()); });
            report(area ? "ours area (SSE2)" : "ours bilinear (SSE2)", us, area ? pilArea : pilBilinear);
            scaler.SetPlain(true);
            const double plain = BenchMeasure(15, 10, [&] { scaler.Scale(source.data(), out.data()); });
            report(area ? "ours area (plain C)" : "ours bilinear (plain C)", plain, area ? pilArea : pilBilinear);
        }
        for (const int flags : {SWS_BILINEAR, SWS_AREA}) {
            const int full = SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP | SWS_ACCURATE_RND;
            SwsContext* sws = sws_getContext(640, 480, AV_PIX_FMT_BGR24, s.w, s.h, AV_PIX_FMT_BGR24, flags | full,
                                             nullptr, nullptr, nullptr);
            if (!sws) continue;
            const uint8_t* srcPlanes[1] = {source.data()};
            const int srcStride[1] = {640 * 3};
            uint8_t* dstPlanes[1] = {out.data()};
            const int dstStride[1] = {static_cast<int>(CZxScaler::Stride(s.w))};
            const double us = BenchMeasure(15, 20, [&] { sws_scale(sws, srcPlanes, srcStride, 0, 480, dstPlanes, dstStride); });
            report(flags == SWS_AREA ? "swscale area" : "swscale bilinear", us, flags == SWS_AREA ? pilArea : pilBilinear);
            sws_freeContext(sws);
        }
        CGdiPlusScaler gdiplus;
        if (gdiplus.Build(640, 480, 24, s.w, s.h, 24)) {
            const double us = BenchMeasure(15, 10, [&] { gdiplus.Scale(source.data(), source.size(), out.data(), out.size()); });
            report("GDI+ (default)", us, pilBilinear);
        }
    }
}

}  // namespace

int main() {
    if (!VCamProgramFolder().empty()) {
        std::fprintf(stderr, "filter bench: the launcher's Path is set; the filter would start the "
                             "main program. Run the bench where it is not set.\n");
        return 2;
    }
    // The filter's debug log goes to the scratch folder, not to c:\.
    wchar_t scratch[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"ZXVCAM_TEST_TMP", scratch, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2) n = GetTempPathW(MAX_PATH * 2, scratch);
    std::wstring logPath = std::wstring(scratch, n);
    if (!logPath.empty() && logPath.back() != L'\\') logPath += L'\\';
    SetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", (logPath + L"FilterBench-VCam.log").c_str());

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const size_t frameBytes = 921600;
    std::vector<BYTE> src(frameBytes), dst(frameBytes);
    for (size_t i = 0; i < frameBytes; ++i) src[i] = static_cast<BYTE>(i * 7);
    const double copy = BenchMeasure(15, 400, [&] { std::memcpy(dst.data(), src.data(), frameBytes); });
    FillBufferFigures(copy);
    ConversionFigures(copy);
    ScalerFigures(copy);
    CoUninitialize();
    return 0;
}
