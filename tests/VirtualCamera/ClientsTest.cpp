// Several clients at once, and writers that are fast or hostile: a writer of
// numbered frames (every byte of frame n the same value) in this process,
// clients in processes of their own (ZxVCamClient) or in this one.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ShareMem.h"
#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

constexpr REFERENCE_TIME kFrameTime = 500000;  // 50 ms
constexpr double kFrameSeconds = 0.05;

// Frame n has every byte n % 250 + 1 (never 0, the black of no frame).
uint8_t FrameValue(int n) { return static_cast<uint8_t>(n % 250 + 1); }

// Frame n: every byte FrameValue(n).
void FillNumbered(uint8_t* pixels, int n) { std::memset(pixels, FrameValue(n), 921600); }

// Writes numbered frames (vct::ChannelWriter's arguments after the fill).
class NumberedWriter : public vct::ChannelWriter {
public:
    explicit NumberedWriter(bool paced, int count = 0, bool signalEveryMs = false)
        : vct::ChannelWriter(&FillNumbered, paced, count, signalEveryMs) {}
};

// What one client saw, and the figures the tests look at.
struct Seen {
    std::vector<vct::Frame> frames;
    int mixed = 0;
    // Distinct frames a second while frames were coming: changes of the
    // frame number between consecutive samples, over the receipt times,
    // leaving out the first second (graph start-up).
    double distinctPerSecond = 0;
    // Stamped time against elapsed time from the first sample to the last,
    // and how far the stamps drifted from the arrival times over the run:
    // the median of (arrival - stamp) over the last 20 samples less that
    // over the first 20 (medians, so one late delivery does not count).
    double stampedSeconds = 0, elapsedSeconds = 0, driftSeconds = 0;
};

double MedianOffset(const std::vector<vct::Frame>& frames, size_t from, size_t count) {
    std::vector<double> offsets;
    for (size_t i = from; i < from + count && i < frames.size(); ++i)
        offsets.push_back(frames[i].receivedUs / 1e6 - frames[i].start / 1e7);
    std::sort(offsets.begin(), offsets.end());
    return offsets.empty() ? 0 : offsets[offsets.size() / 2];
}

Seen Summarise(std::vector<vct::Frame> frames) {
    Seen s;
    s.frames = std::move(frames);
    if (s.frames.size() < 2) return s;
    for (const vct::Frame& f : s.frames)
        if (!f.uniform) ++s.mixed;
    const double from = s.frames.front().receivedUs + 1e6;
    int changes = 0;
    double first = 0, last = 0;
    for (size_t i = 1; i < s.frames.size(); ++i) {
        if (s.frames[i].receivedUs < from) continue;
        if (first == 0) first = s.frames[i].receivedUs;
        last = s.frames[i].receivedUs;
        if (s.frames[i].first != s.frames[i - 1].first) ++changes;
    }
    if (last > first) s.distinctPerSecond = changes / ((last - first) / 1e6);
    s.stampedSeconds = (s.frames.back().start - s.frames.front().start) / 1e7;
    s.elapsedSeconds = (s.frames.back().receivedUs - s.frames.front().receivedUs) / 1e6;
    if (s.frames.size() >= 40)
        s.driftSeconds = MedianOffset(s.frames, s.frames.size() - 20, 20) - MedianOffset(s.frames, 0, 20);
    return s;
}

std::vector<vct::Frame> ReadClientFile(const std::string& path) {
    std::vector<vct::Frame> frames;
    std::istringstream in(zxtest::ReadFile(path));
    vct::Frame f;
    int uniform = 0;
    long long start = 0, end = 0;
    while (in >> f.first >> uniform >> start >> end >> f.receivedUs) {
        f.uniform = uniform != 0;
        f.start = start;
        f.end = end;
        f.timed = true;
        frames.push_back(f);
    }
    return frames;
}

// A client process; its standard output goes to stdoutPath when given.
class ClientProcess {
public:
    ClientProcess(const std::string& out, double seconds, const std::string& extra = "",
                  const std::string& stdoutPath = "") {
        std::wstring cmd = L"\"" + Charset::String2WString(Dir::GetCurrentPath() + "ZxVCamClient.exe") + L"\" \"" +
                           Charset::String2WString(out) + L"\" " + std::to_wstring(seconds) + L" " +
                           Charset::String2WString(extra);
        STARTUPINFOW si = {};
        si.cb = sizeof(si);
        HANDLE output = nullptr;
        if (!stdoutPath.empty()) {
            SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
            output = CreateFileW(Charset::String2WString(stdoutPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            si.dwFlags = STARTF_USESTDHANDLES;
            si.hStdOutput = output;
            si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        }
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            m_process = pi.hProcess;
        }
        if (output) CloseHandle(output);
    }
    ~ClientProcess() {
        if (!m_process) return;
        if (WaitForSingleObject(m_process, 1000) != WAIT_OBJECT_0) TerminateProcess(m_process, 99);
        CloseHandle(m_process);
    }
    HANDLE handle() const { return m_process; }
    int ExitCode() const {
        DWORD code = 99;
        if (m_process) GetExitCodeProcess(m_process, &code);
        return static_cast<int>(code);
    }

private:
    HANDLE m_process = nullptr;
};

void ExpectEveryFrameWholeAndOnTime(const Seen& s, const std::string& who) {
    EXPECT_GT(s.frames.size(), 150u) << who;
    EXPECT_EQ(0, s.mixed) << who << ": samples holding two frames";
    EXPECT_GE(s.distinctPerSecond, 19.0) << who;
    EXPECT_GE(s.stampedSeconds, 9.0) << who;
    EXPECT_NEAR(0.0, s.driftSeconds, kFrameSeconds) << who << ": stamped time is not elapsed time";
    for (const vct::Frame& f : s.frames) {
        ASSERT_EQ(kFrameTime, f.end - f.start) << who;
    }
}

TEST(Clients, FourClientsInFourProcessesGetEveryFrameWholeAndOnTime) {
    NumberedWriter writer(true);
    const std::string folder = zxtest::MakeTempDir("four-clients");
    std::vector<std::unique_ptr<ClientProcess>> clients;
    std::vector<HANDLE> handles;
    for (int i = 0; i < 4; ++i) {
        clients.emplace_back(new ClientProcess(folder + "client" + std::to_string(i) + ".txt", 10));
        ASSERT_TRUE(clients.back()->handle() != nullptr);
        handles.push_back(clients.back()->handle());
    }
    // Only a guard against a hung client.
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(4, handles.data(), TRUE, 90000)) << "a client hung";
    writer.Stop();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, clients[i]->ExitCode()) << "client " << i;
        const Seen s = Summarise(ReadClientFile(folder + "client" + std::to_string(i) + ".txt"));
        std::printf("  client %d: %zu samples, %.2f distinct frames/s, %d mixed, %.3f s stamped in %.3f s, drift %.1f ms\n",
                    i, s.frames.size(), s.distinctPerSecond, s.mixed, s.stampedSeconds, s.elapsedSeconds,
                    s.driftSeconds * 1000);
        ExpectEveryFrameWholeAndOnTime(s, "client " + std::to_string(i));
    }
}

TEST(Clients, OneClientGetsEveryFrameWholeAndTenSecondsAreStampedTenSeconds) {
    NumberedWriter writer(true);
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ASSERT_EQ(S_OK, graph.Run());
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 10000);  // ten seconds of capture
    CloseHandle(never);
    ASSERT_EQ(S_OK, graph.Stop());
    const Seen s = Summarise(graph.collector.Since(0));
    std::printf("  one client: %zu samples, %.2f distinct frames/s, %d mixed, %.3f s stamped in %.3f s, drift %.1f ms\n",
                s.frames.size(), s.distinctPerSecond, s.mixed, s.stampedSeconds, s.elapsedSeconds,
                s.driftSeconds * 1000);
    ExpectEveryFrameWholeAndOnTime(s, "one client");
}

TEST(Clients, WriterAsFastAsItCanNeverGivesAMixedFrame) {
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.collector.WaitFor(2, 20000));
    const size_t before = graph.collector.Count();
    {
        NumberedWriter writer(false, 2000);
        writer.WaitDone();
        EXPECT_EQ(2000, writer.Written());
    }
    const size_t after = graph.collector.Count();
    ASSERT_EQ(S_OK, graph.Stop());
    const Seen s = Summarise(graph.collector.Since(before));
    std::printf("  2000 frames back to back: %zu samples meanwhile, %d mixed\n", after - before, s.mixed);
    EXPECT_GT(after - before, 0u);
    EXPECT_EQ(0, s.mixed);
}

TEST(Clients, HostileWriterSignallingEveryMillisecondGetsNoExtraSamples) {
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    // No clock: the renderer takes every sample at once, so only the pin's
    // own pace limits the samples.
    vct::Ptr<IMediaFilter> graphFilter;
    ASSERT_EQ(S_OK, graph.builder()->QueryInterface(IID_IMediaFilter, graphFilter.out()));
    ASSERT_EQ(S_OK, graphFilter->SetSyncSource(nullptr));
    NumberedWriter writer(true, 0, true);
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.collector.WaitFor(5, 20000));
    const size_t first = graph.collector.Count();
    const double start = vct::NowUs();
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    WaitForSingleObject(never, 3000);
    CloseHandle(never);
    const size_t last = graph.collector.Count();
    const double seconds = (vct::NowUs() - start) / 1e6;
    ASSERT_EQ(S_OK, graph.Stop());
    const size_t samples = last - first;
    std::printf("  event signalled every ms: %zu samples in %.2f s (the interval allows %.0f)\n", samples, seconds,
                seconds / kFrameSeconds);
    EXPECT_LE(static_cast<double>(samples), seconds / kFrameSeconds + 2);
    EXPECT_GE(static_cast<double>(samples), seconds / kFrameSeconds * 0.8) << "the pace broke down";
}

size_t CountLines(const std::string& text) {
    size_t n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
}

TEST(Clients, LauncherWritesNothingToTheClientsOutputAndStartsOncePerRun) {
    const std::string root = zxtest::MakeTempDir("client-launch");
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                          Charset::String2WString(root + "ZXVCam.exe").c_str(), FALSE));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    const std::string stdoutPath = root + "stdout.txt";
    {
        // Two format changes while connected (two reconnections), then two
        // runs of the graph.
        ClientProcess client(root + "samples.txt", 1, "2 reformat", stdoutPath);
        ASSERT_TRUE(client.handle() != nullptr);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(client.handle(), 60000));
        EXPECT_EQ(0, client.ExitCode());
    }
    EXPECT_EQ("", zxtest::ReadFile(stdoutPath)) << "the filter wrote to the client's standard output";
    const std::string marker = root + "launched.txt";
    const DWORD start = GetTickCount();
    while (CountLines(zxtest::ReadFile(marker)) < 2 && GetTickCount() - start < 15000) Sleep(50);
    Sleep(500);  // a third start, if there were one, would show by now
    EXPECT_EQ(2u, CountLines(zxtest::ReadFile(marker))) << "one start per run: " << zxtest::ReadFile(marker);
}

}  // namespace
