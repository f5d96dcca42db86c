// A capture client process (camera -> Sample Grabber -> Null Renderer) that writes nothing to its
// standard output.
// Usage: ZxVCamClient SECONDS [RUNS] [reformat]
//   RUNS      runs of SECONDS each, stopped in between (1)
//   reformat  first choose 320 x 240, then 640 x 480 again (each a reconnection)
// Soak modes (scripts/soak.sh; frames marked by ZxVKernelHost --mark):
//   --soak SAMPLEFILE --stop-event NAME   one graph until the event; prints its pid, then each
//       second's samples and distinct frames; SAMPLEFILE lines (nothing kept in memory):
//         received-microseconds start valid-mark run frame-number
//   --cycles N [--without-camera]   N build-run-one-sample-release cycles; prints failures,
//       handle count and private memory before, after 10 and at the end, and the handle types
//       added after 10; --without-camera: enumeration and graph only, as a baseline
//   --register | --unregister   the filter's registration
#include <windows.h>

#include <psapi.h>

#include <winternl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

#include "FrameMark.h"
#include "VCamTestSupport.h"

namespace {

// A sample receiver owned by the program (no reference counting).
class Receiver : public ISampleGrabberCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == ZX_IID_ISampleGrabberCB) {
            *ppv = static_cast<ISampleGrabberCB*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, LONG) override { return E_NOTIMPL; }
};

// Counts samples and distinct marked frames, and logs each sample.
class SoakReceiver : public Receiver {
public:
    explicit SoakReceiver(FILE* out) : m_out(out) {}
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
        const double received = Clock::NowUs();
        BYTE* data = nullptr;
        framemark::Mark mark;
        if (SUCCEEDED(sample->GetPointer(&data)) && data) {
            const long n = sample->GetActualDataLength();
            // The filter's RGB24 pictures are (c x 80) x (c x 60) pixels, c x c x 14400 bytes.
            int c = 1;
            while (static_cast<long>((c + 1) * (c + 1)) * 14400 <= n) ++c;
            if (static_cast<long>(c * c) * 14400 == n)
                mark = framemark::Read(data, static_cast<size_t>(n), c * 80, c * 60);
        }
        REFERENCE_TIME start = 0, end = 0;
        if (sample->GetTime(&start, &end) != S_OK) start = -1;
        if (mark.valid && (!m_lastValid || mark.run != m_lastRun || mark.number != m_lastNumber)) {
            ++distinct;
            m_lastValid = true;
            m_lastRun = mark.run;
            m_lastNumber = mark.number;
        }
        ++samples;
        std::fprintf(m_out, "%.0f %lld %d %u %u\n", received, static_cast<long long>(start), mark.valid ? 1 : 0,
                     mark.run, mark.number);
        // Written out about once a second, so a reader of the file is never far behind.
        if (received - m_flushedUs >= 1e6) {
            std::fflush(m_out);
            m_flushedUs = received;
        }
        return S_OK;
    }
    std::atomic<long> samples{0}, distinct{0};

private:
    FILE* m_out;
    bool m_lastValid = false;
    uint32_t m_lastRun = 0, m_lastNumber = 0;
    double m_flushedUs = 0;
};

int Soak(const char* sampleFile, const char* stopEventName) {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, stopEventName);
    if (!stop) return 3;
    FILE* out = std::fopen(sampleFile, "w");
    if (!out) return 7;
    std::printf("client: pid %lu\n", GetCurrentProcessId());
    std::fflush(stdout);
    int result = 0;
    SoakReceiver receiver(out);
    {
        vct::Graph graph;
        graph.UseCallback(&receiver);
        HRESULT hr = graph.Build();
        if (SUCCEEDED(hr)) {
            int width = 0, height = 0;
            graph.ConnectedSize(width, height);
            std::printf("client: connected at %d x %d\n", width, height);
        }
        if (FAILED(hr)) {
            std::printf("client: the graph could not be built (0x%08lx)\n", static_cast<unsigned long>(hr));
            result = 4;
        } else if (FAILED(hr = graph.Run())) {
            std::printf("client: the graph did not run (0x%08lx)\n", static_cast<unsigned long>(hr));
            result = 6;
        } else {
            long lastSamples = 0, lastDistinct = 0;
            const double start = Clock::NowUs();
            for (int second = 1;; ++second) {
                const double next = start + second * 1e6;
                const double now = Clock::NowUs();
                const DWORD wait = next > now ? static_cast<DWORD>((next - now) / 1000) : 0;
                const bool stopped = WaitForSingleObject(stop, wait) == WAIT_OBJECT_0;
                const long s = receiver.samples, d = receiver.distinct;
                std::printf("client: %.0f us: %ld samples, %ld distinct frames\n", Clock::NowUs(), s - lastSamples,
                            d - lastDistinct);
                std::fflush(stdout);
                lastSamples = s;
                lastDistinct = d;
                if (stopped) break;
            }
            graph.Stop();
        }
    }
    std::fclose(out);
    CloseHandle(stop);
    std::printf("client: stopped\n");
    return result;
}

// Signals its event on every sample.
class SampleSignal : public Receiver {
public:
    SampleSignal() : event(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    ~SampleSignal() { CloseHandle(event); }
    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample*) override {
        SetEvent(event);
        return S_OK;
    }
    HANDLE event;
};

// The handle values this process holds (values are multiples of 4; one
// that names no handle fails GetHandleInformation), as CountHandles probes.
std::set<ULONG_PTR> LiveHandles() {
    std::set<ULONG_PTR> live;
    for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) live.insert(value);
    }
    return live;
}

// The object type of a handle ("Event", "Thread", ...), from NtQueryObject.
std::string HandleType(HANDLE handle) {
    typedef LONG(NTAPI * QueryObject)(HANDLE, int, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    // OBJECT_TYPE_INFORMATION starts with the type's name as a UNICODE_STRING; 2 is ObjectTypeInformation.
    alignas(8) BYTE buffer[1024] = {};
    if (!query || query(handle, 2, buffer, sizeof(buffer), nullptr) < 0) return "?";
    const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
    if (!name->Buffer) return "?";
    std::string type;
    for (USHORT i = 0; i < name->Length / 2; ++i) type += static_cast<char>(name->Buffer[i] < 128 ? name->Buffer[i] : '?');
    return type;
}

// Prints the types of the handles in now that were not in before.
void PrintNewHandles(const std::set<ULONG_PTR>& before, const std::set<ULONG_PTR>& now) {
    std::map<std::string, int> types;
    for (ULONG_PTR value : now)
        if (!before.count(value)) ++types[HandleType(reinterpret_cast<HANDLE>(value))];
    std::printf("cycles: handles added since the warm-up, by type:");
    for (const auto& t : types) std::printf(" %s %d", t.first.c_str(), t.second);
    std::printf("%s\n", types.empty() ? " none" : "");
}

void PrintFigures(const char* when) {
    PROCESS_MEMORY_COUNTERS_EX memory = {};
    memory.cb = sizeof(memory);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    // Wine 8 leaves PrivateUsage 0 and fills PagefileUsage, which Windows reports as the same commit charge.
    const SIZE_T privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    std::printf("cycles: %s: handles %lu private %llu\n", when, static_cast<unsigned long>(vct::CountHandles()),
                static_cast<unsigned long long>(privateBytes));
    std::fflush(stdout);
}

int Cycles(int count, bool withCamera) {
    constexpr int kWarmUp = 10;
    std::printf("cycles: pid %lu%s\n", GetCurrentProcessId(), withCamera ? "" : ", without the camera");
    PrintFigures("before");
    SampleSignal signal;
    std::set<ULONG_PTR> warmHandles;
    int failures = 0;
    const double start = Clock::NowUs();
    for (int i = 1; i <= count; ++i) {
        const char* failed = nullptr;
        HRESULT hr = S_OK;
        if (!withCamera) {
            vct::VideoInputDevices();
            vct::Graph graph;
            graph.UseCallback(&signal);
            if (FAILED(hr = graph.Create())) failed = "create";
        } else {
            vct::Graph graph;
            graph.UseCallback(&signal);
            ResetEvent(signal.event);
            if (FAILED(hr = graph.Build())) {
                failed = "build";
            } else if (FAILED(hr = graph.Run())) {
                failed = "run";
            } else if (WaitForSingleObject(signal.event, 5000) != WAIT_OBJECT_0) {
                failed = "no sample within 5 s";
            }
            if (FAILED(graph.Stop()) && !failed) failed = "stop";
        }
        if (failed) {
            ++failures;
            std::printf("cycles: cycle %d failed: %s (0x%08lx)\n", i, failed, static_cast<unsigned long>(hr));
        }
        if (i == kWarmUp) {
            PrintFigures("warm");
            warmHandles = LiveHandles();
        }
        if (i % 100 == 0) {
            std::printf("cycles: %d done, %.1f s\n", i, (Clock::NowUs() - start) / 1e6);
            std::fflush(stdout);
        }
    }
    PrintFigures("after");
    if (count >= kWarmUp) PrintNewHandles(warmHandles, LiveHandles());
    std::printf("cycles: %d cycles, %d failures, %.1f s\n", count, failures, (Clock::NowUs() - start) / 1e6);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && (std::strcmp(argv[1], "--register") == 0 || std::strcmp(argv[1], "--unregister") == 0)) {
        const HRESULT hr = vct::CallRegistration(std::strcmp(argv[1], "--register") == 0);
        std::printf("client: %s 0x%08lx\n", argv[1] + 2, static_cast<unsigned long>(hr));
        return SUCCEEDED(hr) ? 0 : 1;
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--soak") == 0 || std::strcmp(argv[1], "--cycles") == 0)) {
        vct::ComScope com(COINIT_MULTITHREADED);
        if (!com.Ok()) return 3;
        if (argv[1][2] == 'c') {
            const bool without = argc == 4 && std::strcmp(argv[3], "--without-camera") == 0;
            return argc == 3 || without ? Cycles(std::atoi(argv[2]), !without) : 2;
        }
        if (argc != 5 || std::strcmp(argv[3], "--stop-event") != 0) return 2;
        return Soak(argv[2], argv[4]);
    }
    if (argc < 2) return 2;
    const double seconds = std::atof(argv[1]);
    const int runs = argc > 2 ? std::atoi(argv[2]) : 1;
    const bool reformat = argc > 3 && std::strcmp(argv[3], "reformat") == 0;
    vct::ComScope com(COINIT_MULTITHREADED);
    if (!com.Ok()) return 3;
    vct::Graph graph;
    if (FAILED(graph.Build())) return 4;
    if (reformat) {
        vct::Ptr<IAMStreamConfig> config;
        if (FAILED(graph.cameraPin()->QueryInterface(IID_IAMStreamConfig, config.out()))) return 5;
        if (FAILED(vct::SelectCaps(config.get(), 0)) || FAILED(vct::SelectCaps(config.get(), 7))) return 5;
    }
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    int result = 0;
    for (int r = 0; r < runs && result == 0; ++r) {
        if (FAILED(graph.Run())) result = 6;
        // The run lasts its time; nothing ends it early.
        WaitForSingleObject(never, static_cast<DWORD>(seconds * 1000));
        graph.Stop();
    }
    CloseHandle(never);
    return result;
}
