// Streaming through a real graph (camera -> Sample Grabber -> Null Renderer) as a client does,
// the kernel publishing from its console host in another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

#include "ShareMem.h"
#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

using vct::Frame;
using vct::Graph;
using vct::KernelHost;

constexpr REFERENCE_TIME kFrameTime = 500000;  // 50 ms, the producer's rate
constexpr unsigned kLogoColour = 0xF08214;

// Registered for the whole program, nothing to start on connect, folders in the scratch folder.
class StreamEnvironment : public testing::Environment {
public:
    void SetUp() override {
        zxtest::RedirectUserFolders("stream");
        vct::RedirectFilterLog("stream");
        m_program = new vct::ProgramFolderSetting(nullptr);
        m_com = new vct::ComScope(COINIT_MULTITHREADED);
        m_registration = new vct::RegisteredFilter();
        ASSERT_EQ(S_OK, m_registration->result());
    }
    void TearDown() override {
        delete m_registration;
        delete m_com;
        delete m_program;
    }

private:
    vct::ProgramFolderSetting* m_program = nullptr;
    vct::ComScope* m_com = nullptr;
    vct::RegisteredFilter* m_registration = nullptr;
};
testing::Environment* const g_environment = testing::AddGlobalTestEnvironment(new StreamEnvironment);

// Reads the real channel in a thread, as a second client would: the distinct 640 x 480 pictures.
class ChannelMonitor {
public:
    ChannelMonitor() {
        m_thread = std::thread([this] {
            CShareMem channel;
            if (!channel.Open(kShareMemFileName, kShareMemSize)) return;
            std::vector<uint8_t> packet(kShareMemSize);
            while (!m_stop) {
                DWORD length = 0;
                if (!channel.Read(packet.data(), kShareMemSize, length) || packet[3] != 8) continue;
                std::vector<uint8_t> pixels(packet.begin() + kShareMemHeaderSize, packet.begin() + length);
                std::lock_guard<std::mutex> g(m_lock);
                if (!m_frames.empty() && m_frames.back() == pixels) continue;
                m_frames.push_back(std::move(pixels));
                // The whole run of the kernel host (5 s at 20 frames a second).
                if (m_frames.size() > 100) m_frames.erase(m_frames.begin());
            }
        });
    }
    ~ChannelMonitor() {
        m_stop = true;
        m_thread.join();
    }
    std::vector<std::vector<uint8_t>> Frames() {
        std::lock_guard<std::mutex> g(m_lock);
        return m_frames;
    }

private:
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::vector<std::vector<uint8_t>> m_frames;
    std::thread m_thread;
};

// A sample of size bytes, width wide, showing the kernel's logo colour at (at, at) (the logo
// comes last in the kernel's start-up: its first frames may lack it).
struct LogoAt {
    size_t size;
    int width;
    int at;
};

bool ShowsLogo(const Frame& f, const void* where) {
    const LogoAt& l = *static_cast<const LogoAt*>(where);
    if (f.bytes.size() != l.size) return false;
    const unsigned pixel = vct::PixelAt(f.bytes, l.width, l.at, l.at);
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((kLogoColour >> shift) & 0xFF) - static_cast<int>((pixel >> shift) & 0xFF)) > 12)
            return false;
    return true;
}

// The picture box-averaged by an integral factor: what a correct downscale comes close to.
std::vector<uint8_t> BoxShrink(const std::vector<uint8_t>& picture, int width, int height, int factor) {
    const int w = width / factor, h = height / factor;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += picture[(static_cast<size_t>(y * factor + dy) * width + x * factor + dx) * 3 + c];
                out[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<uint8_t>(sum / (factor * factor));
            }
    return out;
}

// Mean and largest absolute difference per byte, two-pixel border left out (GDI+ edges differ).
double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, int height,
                      int* largest) {
    double sum = 0;
    long n = 0;
    *largest = 0;
    for (int y = 2; y < height - 2; ++y)
        for (int x = 2; x < width - 2; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t i = (static_cast<size_t>(y) * width + x) * 3 + c;
                const int d = std::abs(static_cast<int>(a[i]) - static_cast<int>(b[i]));
                sum += d;
                *largest = std::max(*largest, d);
                ++n;
            }
    return n ? sum / n : 1e9;
}

// Every sample lasts one frame time, on the grid after the previous one (a missed slot is skipped).
void ExpectContiguousTimes(const std::vector<Frame>& frames, const char* what) {
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].timed) << what << " sample " << i;
        EXPECT_EQ(kFrameTime, frames[i].end - frames[i].start) << what << " sample " << i;
        if (i > 0) {
            EXPECT_GE(frames[i].start, frames[i - 1].end) << what << " sample " << i;
        }
    }
}

// Writes frames into the real channel like a kernel would.
class ChannelWriter {
public:
    ChannelWriter() { m_open = m_channel.Open(kShareMemFileName, kShareMemSize); }
    bool Open() const { return m_open; }
    // A valid frame of size code code, every byte from seed.
    void WriteFrame(int code, uint8_t seed) {
        const uint32_t size = static_cast<uint32_t>(code * code * 14400);
        std::vector<uint8_t> packet(kShareMemHeaderSize + size);
        ShareMemMakeHeader(packet.data(), size, ShareMemNow());
        for (uint32_t i = 0; i < size; ++i) packet[kShareMemHeaderSize + i] = static_cast<uint8_t>(seed + i % 251);
        m_channel.Write(packet.data(), static_cast<DWORD>(packet.size()));
    }
    void WriteRaw(const void* bytes, DWORD length) { m_channel.Write(bytes, length); }

private:
    CShareMem m_channel;
    bool m_open = false;
};

TEST(Stream, ReaderWhoseChannelCannotOpenStillPacesItself) {
    // A too-small mapping of the channel's name: the pin's reader cannot open it, reads return at once.
    HANDLE squatter = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                         Charset::String2WString(kShareMemFileName).c_str());
    ASSERT_TRUE(squatter != nullptr);
    ASSERT_NE(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError()) << "someone holds the real channel";
    {
        Graph graph;
        ASSERT_EQ(S_OK, graph.Build());
        ASSERT_EQ(S_OK, graph.RemoveClock());
        const double runAt = Clock::NowUs();
        ASSERT_EQ(S_OK, graph.Run());
        ASSERT_TRUE(graph.collector.WaitFor(1, zxtest::kHangGuardMs));
        const size_t first = graph.collector.Count();
        EXPECT_TRUE(graph.collector.WaitFor(first + 20, zxtest::kHangGuardMs)) << "samples keep coming";
        // Taken before the stop, which lets the sample in hand go early.
        const std::vector<Frame> frames = graph.collector.Since(0);
        ASSERT_EQ(S_OK, graph.Stop());
        double worst = 0;
        const int early = vct::SamplesBeforeTheirTime(frames, runAt, &worst);
        std::printf("  closed channel, no clock: %zu samples, at most %.1f ms before their time\n", frames.size(),
                    worst / 1000);
        EXPECT_EQ(0, early) << "the streaming thread spins on a closed channel";
        for (const Frame& f : graph.collector.Since(first)) EXPECT_EQ(921600, f.length);
        const Frame last = graph.collector.Last();
        EXPECT_TRUE(vct::AllZero(last.bytes));
    }
    CloseHandle(squatter);
}

TEST(Stream, BlackUntilTheKernelRunsThenItsPictureThenFrozen) {
    Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    int width = 0, height = 0;
    graph.ConnectedSize(width, height);
    ASSERT_EQ(640, width);
    ASSERT_EQ(480, height);
    ASSERT_EQ(S_OK, graph.Run());

    // No kernel yet: black 640 x 480 RGB24 samples.
    ASSERT_TRUE(graph.collector.WaitFor(5, 20000)) << "no samples";
    for (const Frame& f : graph.collector.Since(0)) {
        ASSERT_EQ(921600u, f.bytes.size());
        EXPECT_TRUE(vct::AllZero(f.bytes)) << "a sample before the kernel ran is not black";
    }

    ChannelMonitor published;
    Frame live;
    {
        KernelHost host(5);
        ASSERT_TRUE(host.Started());
        const LogoAt logo{921600, 640, 8};
        ASSERT_TRUE(graph.collector.WaitForFrame(&ShowsLogo, &logo, zxtest::kHangGuardMs, live))
            << "the kernel's picture with its logo never came";
        // A few more, all of them pictures the kernel published.
        const size_t from = graph.collector.Count();
        ASSERT_TRUE(graph.collector.WaitFor(from + 5, 20000));
        const auto frames = published.Frames();
        ASSERT_FALSE(frames.empty()) << "this process could not read the channel";
        size_t matched = 0;
        for (const Frame& f : graph.collector.Since(from)) {
            for (const auto& p : frames)
                if (p == f.bytes) {
                    ++matched;
                    break;
                }
        }
        std::printf("  live: %zu samples of 921600 bytes checked, %zu equal byte for byte to a published frame\n",
                    static_cast<size_t>(5), matched);
        EXPECT_EQ(5u, matched) << "samples differ from what the kernel published";
        live = graph.collector.Last();
        for (int y = 5; y < 15; y += 3)
            for (int x = 5; x < 15; x += 3)
                EXPECT_EQ(kLogoColour, vct::PixelAt(live.bytes, 640, x, y)) << "logo pixel " << x << "," << y;
        EXPECT_EQ(0, host.Wait(30000)) << "the kernel host did not end cleanly";
    }

    // The writer is gone: samples keep coming, frozen on the last picture.
    const size_t after = graph.collector.Count();
    ASSERT_TRUE(graph.collector.WaitFor(after + 25, 30000)) << "samples stopped with the kernel";
    const auto frozen = graph.collector.Since(after + 15);  // past the second in which the last frame was stamped
    ASSERT_GE(frozen.size(), 10u);
    for (const Frame& f : frozen) EXPECT_TRUE(f.bytes == live.bytes) << "not frozen on the last picture";
    ASSERT_EQ(S_OK, graph.Stop());

    const auto all = graph.collector.Since(0);
    EXPECT_EQ(0, all.front().start) << "stream time starts at 0";
    ExpectContiguousTimes(all, "whole run");
    std::printf("  %zu samples in all, times 0 to %.1f s on the 50 ms grid\n", all.size(), all.back().end / 1e7);
}

TEST(Stream, ChosenSizesAreScaledFromTheKernelsPicture) {
    Graph graph;
    ASSERT_EQ(S_OK, graph.Build([](IAMStreamConfig* c) { return vct::SelectCaps(c, 0); }));
    int width = 0, height = 0;
    graph.ConnectedSize(width, height);
    ASSERT_EQ(320, width) << "GetStreamCaps(0) is 320 x 240";
    ASSERT_EQ(240, height);

    ChannelMonitor published;
    KernelHost host(15);
    ASSERT_TRUE(host.Started());
    ASSERT_EQ(S_OK, graph.Run());

    struct Step {
        int width, height, factor;
    };
    for (const Step step : {Step{320, 240, 2}, Step{160, 120, 4}}) {
        if (step.width == 160) {
            // A new size while connected: the graph reconnects the pin while stopped.
            ASSERT_EQ(S_OK, graph.Stop());
            vct::Ptr<IAMStreamConfig> config;
            ASSERT_EQ(S_OK, graph.cameraPin()->QueryInterface(IID_IAMStreamConfig, config.out()));
            ASSERT_EQ(S_OK, vct::SelectCaps(config.get(), 2));
            zxtest::WaitUntil([&] {
                graph.ConnectedSize(width, height);
                return width == 160;
            });
            ASSERT_EQ(160, width) << "the reconnection did not take the new size";
            ASSERT_EQ(120, height);
            graph.collector.Clear();
            ASSERT_EQ(S_OK, graph.Run());
        }
        const size_t size = static_cast<size_t>(step.width) * step.height * 3;
        // The 10 x 10 logo block at 5, 5 shrinks to the block at 5/f.
        const int inner = (5 + step.factor) / step.factor + 1;
        const LogoAt logoAt{size, step.width, inner};
        Frame scaled;
        ASSERT_TRUE(graph.collector.WaitForFrame(&ShowsLogo, &logoAt, zxtest::kHangGuardMs, scaled))
            << step.width << ": the kernel's picture with its logo, scaled, never came";
        // A few more, so this process's own reader has seen the frames too.
        const size_t from = graph.collector.Count();
        ASSERT_TRUE(graph.collector.WaitFor(from + 3, zxtest::kHangGuardMs));
        scaled = graph.collector.Last();
        ASSERT_EQ(size, scaled.bytes.size());
        const auto frames = published.Frames();
        ASSERT_FALSE(frames.empty()) << "this process could not read the channel";
        double best = 1e9;
        int largest = 0;
        for (const auto& p : frames) {
            int l = 0;
            const double d = MeanDifference(scaled.bytes, BoxShrink(p, 640, 480, step.factor), step.width,
                                            step.height, &l);
            if (d < best) {
                best = d;
                largest = l;
            }
        }
        std::printf("  %dx%d: mean difference %.2f per byte (largest %d) from a %dx%d box average of the kernel's picture\n",
                    step.width, step.height, best, largest, step.factor, step.factor);
        EXPECT_LT(best, 6.0) << step.width << " x " << step.height << " is not the kernel's picture scaled";
        EXPECT_TRUE(ShowsLogo(scaled, &logoAt)) << "logo at " << inner << " in " << step.width;
    }
    ASSERT_EQ(S_OK, graph.Stop());
    ExpectContiguousTimes(graph.collector.Since(0), "after the reconnection");
}

TEST(Stream, HostileChannelNeverHurtsTheClient) {
    Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ChannelWriter writer;
    ASSERT_TRUE(writer.Open());
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.collector.WaitFor(2, 20000));
    const size_t before = graph.collector.Count();

    std::mt19937 random(12345);
    auto byte = [&] { return static_cast<uint8_t>(random() & 0xFF); };
    // Damaged headers until 400 were written and 20 samples delivered meanwhile.
    const ULONGLONG start = GetTickCount64();
    int headers = 0;
    while ((headers < 400 || graph.collector.Count() - before < 20) && GetTickCount64() - start < zxtest::kHangGuardMs) {
        uint8_t header[kShareMemHeaderSize];
        const int now = ShareMemNow();
        // Current and flagged, with the given size code and image size.
        auto flagged = [&](uint8_t code, uint32_t size) {
            header[0] = 0;
            header[1] = header[2] = 1;
            header[3] = code;
            std::memcpy(header + 4, &now, 4);
            std::memcpy(header + 8, &size, 4);
        };
        switch (random() % 5) {
            case 0:  // noise
                for (uint8_t& b : header) b = byte();
                break;
            case 1:  // sizes beyond the mapping
                flagged(byte(), static_cast<uint32_t>(kShareMemSize - 12 + random() % 100000));
                break;
            case 2:  // code and size that disagree
                flagged(static_cast<uint8_t>(1 + random() % 20), static_cast<uint32_t>(random() % kShareMemSize));
                break;
            case 3:  // a negative size code with the largest size
                flagged(static_cast<uint8_t>(0x80 | byte()), 0xFFFFFFFFu);
                break;
            default:  // a real frame of another size, which the pin scales
                writer.WriteFrame(static_cast<int>(1 + random() % 18), byte());
                continue;
        }
        writer.WriteRaw(header, sizeof(header));
        ++headers;
        Sleep(5);  // the damaged writer's pace
    }
    const size_t during = graph.collector.Count() - before;
    EXPECT_GE(during, 20u) << "samples stalled while the channel was garbage";

    // A good frame afterwards is delivered exactly.
    writer.WriteFrame(8, 77);
    Frame good;
    auto isPattern = [](const Frame& f, const void*) {
        return f.bytes.size() == 921600 && f.bytes[0] == 77 && f.bytes[1000] == static_cast<uint8_t>(77 + 1000 % 251);
    };
    const bool seen = zxtest::WaitUntil([&] {
        writer.WriteFrame(8, 77);
        return graph.collector.WaitForFrame(isPattern, nullptr, 150, good);
    });
    EXPECT_TRUE(seen) << "a valid frame after the garbage did not come through";
    ASSERT_EQ(S_OK, graph.Stop());
    for (const Frame& f : graph.collector.Since(before)) EXPECT_EQ(921600, f.length);
    ExpectContiguousTimes(graph.collector.Since(0), "hostile channel");
    std::printf("  %d damaged headers; %zu samples delivered meanwhile\n", headers, during);
}

TEST(Stream, ConnectingTwoHundredTimesLeaksNoHandlesAndLetsTheModuleGo) {
    // Frames in the channel, so that runs copy and scale for real.
    ChannelWriter writer;
    ASSERT_TRUE(writer.Open());
    std::atomic<bool> stop{false};
    std::thread frames([&] {
        while (!stop) {
            writer.WriteFrame(8, 3);
            Sleep(50);  // a kernel's pace
        }
    });

    // Wine 8 leaks handles per device enumeration and per graph: the cycles share one graph and
    // make the camera from its class (through the enumerator once first), counting its own.
    Graph graph;
    ASSERT_EQ(S_OK, graph.Create());
    ASSERT_EQ(S_OK, graph.AddCamera(true));
    graph.RemoveCamera();
    auto cycle = [&graph](int i) {
        HRESULT hr = graph.AddCamera(false);
        if (SUCCEEDED(hr)) {
            const Graph::Select select = [](IAMStreamConfig* c) { return vct::SelectCaps(c, 0); };
            hr = graph.Connect(i % 3 == 0 ? select : nullptr);
        }
        EXPECT_EQ(S_OK, hr) << "cycle " << i;
        if (SUCCEEDED(hr) && i % 20 == 0) {
            graph.collector.Clear();
            EXPECT_EQ(S_OK, graph.Run()) << "cycle " << i;
            EXPECT_TRUE(graph.collector.WaitFor(2, zxtest::kHangGuardMs)) << "cycle " << i;
            EXPECT_EQ(S_OK, graph.Stop());
        }
        graph.RemoveCamera();
        return SUCCEEDED(hr);
    };
    for (int i = 1; i <= 5; ++i) cycle(i);  // everything the system loads once is loaded
    CoFreeUnusedLibrariesEx(0, 0);
    const DWORD handlesBefore = vct::CountHandles();
    int ok = 0;
    for (int i = 0; i < 200; ++i) ok += cycle(i) ? 1 : 0;
    stop = true;
    frames.join();
    CoFreeUnusedLibrariesEx(0, 0);
    const DWORD handlesAfter = vct::CountHandles();
    std::printf("  200 connect/disconnect cycles (%d built): %lu handles before, %lu after\n", ok,
                static_cast<unsigned long>(handlesBefore), static_cast<unsigned long>(handlesAfter));
    EXPECT_EQ(200, ok);
    // A leak per cycle would show as hundreds; a few come and go with system threads.
    EXPECT_LE(handlesAfter, handlesBefore + 5) << "handles leaked";
    graph.TearDown();

    // Nothing of the filter is alive: the module says so and COM unloads it.
    HMODULE module = GetModuleHandleW(L"ZxCamSrc.dll");
    if (module) {
        typedef HRESULT(STDAPICALLTYPE * CanUnload)();
        auto canUnload =
            reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        ASSERT_TRUE(canUnload != nullptr);
        EXPECT_EQ(S_OK, canUnload());
        CoFreeUnusedLibrariesEx(0, 0);
    }
    // The filter's own threads (log writer, program start) keep the module until they end.
    EXPECT_TRUE(zxtest::WaitUntil([] { return GetModuleHandleW(L"ZxCamSrc.dll") == nullptr; }))
        << "COM did not unload the module";
}

}  // namespace
