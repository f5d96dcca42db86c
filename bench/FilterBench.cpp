// Capture filter benchmark: the cost of one FillBuffer (read the newest
// frame from the channel, copy or scale it, fill the sample) at 640 x 480,
// where the picture is copied, and at 320 x 240, where it is scaled, each
// with its ratio to one frame copy (memcpy of 921600 bytes). Each figure is
// the median of several runs of many samples.
//
// A 640 x 480 frame is published in the real channel once; before every
// sample the bench only restamps it with the current second and signals the
// channel's event, as the kernel's next frame would, so the filter never
// waits for a frame.
#include <windows.h>

#include <dshow.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "DShowBase/MediaType.h"
#include "ShareMem.h"
#include "VCam.h"
#include "VCamFormats.h"
#include "VCamSource.h"
#include "ZxLib/ZxLib.h"

namespace {

double NowUs() {
    static LARGE_INTEGER f = [] {
        LARGE_INTEGER x;
        QueryPerformanceFrequency(&x);
        return x;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1e6 / double(f.QuadPart);
}

// Median over runs of the mean time of one call, in microseconds.
double Measure(int runs, int iterations, const std::function<void()>& fn) {
    fn();  // warm
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        double t0 = NowUs();
        for (int i = 0; i < iterations; ++i) fn();
        samples.push_back((NowUs() - t0) / iterations);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

// The published frame, kept current.
class Publisher {
public:
    bool Open() {
        if (!m_writer.Open(kShareMemFileName, kShareMemSize)) return false;
        m_mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, Charset::String2WString(kShareMemFileName).c_str());
        if (m_mapping) m_view = static_cast<BYTE*>(MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, kShareMemSize));
        m_event = OpenEventW(EVENT_MODIFY_STATE, FALSE, Charset::String2WString(kShareMemReadEvent).c_str());
        if (!m_view || !m_event) return false;
        std::vector<BYTE> packet(kShareMemHeaderSize + 921600);
        ShareMemMakeHeader(packet.data(), 921600, ShareMemNow());
        for (size_t i = kShareMemHeaderSize; i < packet.size(); ++i) packet[i] = static_cast<BYTE>(i * 7);
        m_writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
        return true;
    }
    ~Publisher() {
        if (m_view) UnmapViewOfFile(m_view);
        if (m_mapping) CloseHandle(m_mapping);
        if (m_event) CloseHandle(m_event);
    }
    // Restamps the frame with the current second and signals it.
    void Next() {
        ShareMemMakeHeader(m_view, 921600, ShareMemNow());
        SetEvent(m_event);
    }

private:
    CShareMem m_writer;
    HANDLE m_mapping = nullptr;
    BYTE* m_view = nullptr;
    HANDLE m_event = nullptr;
};

}  // namespace

int main() {
    if (!VCamProgramFolder().empty()) {
        std::fprintf(stderr, "filter bench: HKCU\\SOFTWARE\\orbian\\ZXVCAM\\Path is set; the filter would start the "
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
    Publisher publisher;
    if (!publisher.Open()) {
        std::fprintf(stderr, "filter bench: the channel could not be opened\n");
        return 1;
    }

    const size_t frameBytes = 921600;
    std::vector<BYTE> src(frameBytes), dst(frameBytes);
    for (size_t i = 0; i < frameBytes; ++i) src[i] = static_cast<BYTE>(i * 7);
    const int runs = 15;
    const double copy = Measure(runs, 400, [&] { std::memcpy(dst.data(), src.data(), frameBytes); });

    HRESULT hr = S_OK;
    CUnknown* object = CVCam::CreateInstance(nullptr, &hr);
    if (!object || FAILED(hr)) return 1;
    object->NonDelegatingAddRef();
    auto* filter = static_cast<CVCam*>(object);
    auto* pin = static_cast<CVCamStream*>(filter->GetPin(0));

    IMemAllocator* allocator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                                reinterpret_cast<void**>(&allocator))))
        return 1;
    ALLOCATOR_PROPERTIES want = {1, static_cast<long>(frameBytes), 1, 0}, got = {};
    allocator->SetProperties(&want, &got);
    allocator->Commit();
    IMediaSample* sample = nullptr;
    allocator->GetBuffer(&sample, nullptr, nullptr, 0);
    if (!sample) return 1;

    // The bench's own part of every sample: restamping and signalling.
    const double next = Measure(runs, 400, [&] { publisher.Next(); });

    std::printf("capture filter, FillBuffer per sample, median of %d runs\n", runs);
    std::printf("  frame copy (memcpy 921600 bytes)  %9.1f us   1.00 x copy\n", copy);
    std::printf("  (restamp and signal, bench only)  %9.1f us  %5.2f x copy, taken off the figures below)\n", next,
                next / copy);
    for (int code : {8, 4}) {
        CMediaType mt;
        VCamMakeMediaType(code, kVCamFrameTime, &mt);
        pin->SetMediaType(&mt);  // opens the channel reader, as connecting does
        pin->OnThreadCreate();
        const int iterations = code == 8 ? 200 : 50;
        const double fill = Measure(runs, iterations, [&] {
            publisher.Next();
            pin->FillBuffer(sample);
        }) - next;
        std::printf("  FillBuffer at %3dx%3d%-12s %9.1f us  %5.2f x copy\n", VCamWidth(code), VCamHeight(code),
                    code == 8 ? " (copy)" : " (scaled)", fill, fill / copy);
    }

    sample->Release();
    allocator->Decommit();
    allocator->Release();
    object->NonDelegatingRelease();
    CoUninitialize();
    return 0;
}
