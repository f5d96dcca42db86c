// Streaming through a real graph (camera -> Sample Grabber -> Null Renderer) as a client does,
// the kernel publishing from its console host in another process.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <cstdlib>
#include <cstring>
#include <random>

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

// A 640 x 480 sample showing the kernel's logo colour at (8, 8) (the logo comes last in the
// kernel's start-up: its first frames may lack it).
bool ShowsLogo(const Frame& f, const void*) {
    if (f.bytes.size() != 921600) return false;
    const unsigned pixel = vct::PixelAt(f.bytes, 640, 8, 8);
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(static_cast<int>((kLogoColour >> shift) & 0xFF) - static_cast<int>((pixel >> shift) & 0xFF)) > 12)
            return false;
    return true;
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
        EXPECT_EQ(0, vct::SamplesBeforeTheirTime(frames, runAt)) << "the streaming thread spins on a closed channel";
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

    Frame live;
    {
        KernelHost host(5);
        ASSERT_TRUE(host.Started());
        ASSERT_TRUE(graph.collector.WaitForFrame(&ShowsLogo, nullptr, zxtest::kHangGuardMs, live))
            << "the kernel's picture with its logo never came";
        // A few more; the newest one's logo is checked pixel by pixel.
        ASSERT_TRUE(graph.collector.WaitFor(graph.collector.Count() + 5, 20000));
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
}

TEST(Stream, HostileChannelNeverHurtsTheClient) {
    Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    CShareMem writer;
    ASSERT_TRUE(writer.Open(kShareMemFileName, kShareMemSize));
    // A valid frame of size code code, every byte from seed.
    auto writeFrame = [&writer](int code, uint8_t seed) {
        const uint32_t size = static_cast<uint32_t>(code * code * 14400);
        std::vector<uint8_t> packet(kShareMemHeaderSize + size);
        ShareMemMakeHeader(packet.data(), size, ShareMemNow());
        for (uint32_t i = 0; i < size; ++i) packet[kShareMemHeaderSize + i] = static_cast<uint8_t>(seed + i % 251);
        writer.Write(packet.data(), static_cast<DWORD>(packet.size()));
    };
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
                writeFrame(static_cast<int>(1 + random() % 18), byte());
                continue;
        }
        writer.Write(header, sizeof(header));
        ++headers;
        Sleep(5);  // the damaged writer's pace
    }
    const size_t during = graph.collector.Count() - before;
    EXPECT_GE(during, 20u) << "samples stalled while the channel was garbage";

    // A good frame afterwards is delivered exactly.
    writeFrame(8, 77);
    Frame good;
    auto isPattern = [](const Frame& f, const void*) {
        return f.bytes.size() == 921600 && f.bytes[0] == 77 && f.bytes[1000] == static_cast<uint8_t>(77 + 1000 % 251);
    };
    const bool seen = zxtest::WaitUntil([&] {
        writeFrame(8, 77);
        return graph.collector.WaitForFrame(isPattern, nullptr, 150, good);
    });
    EXPECT_TRUE(seen) << "a valid frame after the garbage did not come through";
    ASSERT_EQ(S_OK, graph.Stop());
    for (const Frame& f : graph.collector.Since(before)) EXPECT_EQ(921600, f.length);
    ExpectContiguousTimes(graph.collector.Since(0), "hostile channel");
}

TEST(Stream, ConnectingTwoHundredTimesLeaksNoHandlesAndLetsTheModuleGo) {
    // Frames in the channel at a kernel's pace, so that runs copy and scale for real.
    vct::ChannelWriter writer([](uint8_t* pixels, int n) { std::memset(pixels, n, 921600); }, true);

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
    writer.Stop();
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(200, ok);
    // A leak per cycle would show as hundreds; a few come and go with system threads.
    EXPECT_LE(vct::CountHandles(), handlesBefore + 5) << "handles leaked";
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
