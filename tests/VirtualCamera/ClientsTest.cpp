// Several clients at once (ZxVCamClient processes or this one), fed numbered frames by fast or hostile writers.
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

// What one client saw; receipt-time figures are printed, never asserted (soak.sh measures rates).
struct Seen {
    std::vector<vct::Frame> frames;
    int mixed = 0;
    int changes = 0;    // picture changes from sample to sample
    int backwards = 0;  // changes to a frame number not after the one before
    int badStamps = 0;  // stamps off the grid, not one frame time long, or not after the last
    // For the record: distinct frames a second after the first second, and the stamped time.
    double distinctPerSecond = 0;
    double stampedSeconds = 0;
};

Seen Summarise(std::vector<vct::Frame> frames) {
    Seen s;
    s.frames = std::move(frames);
    if (s.frames.empty()) return s;
    for (const vct::Frame& f : s.frames)
        if (!f.uniform) ++s.mixed;
    const double from = s.frames.front().receivedUs + 1e6;
    int lateChanges = 0;
    double first = 0, last = 0;
    for (size_t i = 1; i < s.frames.size(); ++i) {
        const vct::Frame& f = s.frames[i];
        const vct::Frame& before = s.frames[i - 1];
        if (!f.timed || f.start % kFrameTime != 0 || f.end - f.start != kFrameTime || f.start < before.end)
            ++s.badStamps;
        if (f.first != before.first) {
            ++s.changes;
            // Values 1..250 go round; black (0) before the first frame is no number.
            const int step = (f.first - before.first + 250) % 250;
            if (before.first != 0 && (step == 0 || step >= 125)) ++s.backwards;
        }
        if (f.receivedUs < from) continue;
        if (first == 0) first = f.receivedUs;
        last = f.receivedUs;
        if (f.first != before.first) ++lateChanges;
    }
    if (last > first) s.distinctPerSecond = lateChanges / ((last - first) / 1e6);
    s.stampedSeconds = (s.frames.back().start - s.frames.front().start) / 1e7;
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

// A client process; its standard output and error go to stdoutPath when given.
class ClientProcess {
public:
    ClientProcess(const std::string& out, double seconds, const std::string& extra = "",
                  const std::string& stdoutPath = "")
        : m_process(zxtest::StartProcess("\"" + Dir::GetCurrentPath() + "ZxVCamClient.exe\" \"" + out + "\" " +
                                             std::to_string(seconds) + " " + extra,
                                         stdoutPath)) {}
    ~ClientProcess() { zxtest::FinishProcess(m_process, 1000); }
    HANDLE handle() const { return m_process; }
    int ExitCode() const {
        DWORD code = 99;
        if (m_process) GetExitCodeProcess(m_process, &code);
        return static_cast<int>(code);
    }

private:
    HANDLE m_process = nullptr;
};

// At least changes picture changes, every sample one whole frame in the writer's order, stamps
// one frame time long on the grid, each after the one before.
void ExpectWholeFramesInOrder(const Seen& s, int changes, const std::string& who) {
    std::printf("  %s: %zu samples, %d changes, %d mixed, %d backwards, %d bad stamps; %.2f distinct frames/s, "
                "%.3f s stamped\n",
                who.c_str(), s.frames.size(), s.changes, s.mixed, s.backwards, s.badStamps, s.distinctPerSecond,
                s.stampedSeconds);
    EXPECT_GE(s.changes, changes) << who;
    EXPECT_EQ(0, s.mixed) << who << ": samples holding two frames";
    EXPECT_EQ(0, s.backwards) << who << ": an older frame after a newer one";
    EXPECT_EQ(0, s.badStamps) << who;
    ASSERT_FALSE(s.frames.empty()) << who;
    EXPECT_TRUE(s.frames.front().timed) << who;
    EXPECT_EQ(kFrameTime, s.frames.front().end - s.frames.front().start) << who;
}

// Each client runs until the picture has changed this often.
constexpr int kChanges = 40;

TEST(Clients, FourClientsInFourProcessesGetWholeFramesInOrder) {
    NumberedWriter writer(true);
    const std::string folder = zxtest::MakeTempDir("four-clients");
    std::vector<std::unique_ptr<ClientProcess>> clients;
    std::vector<HANDLE> handles;
    for (int i = 0; i < 4; ++i) {
        // Each client ends after kChanges picture changes; 120 s only guard against a hang.
        clients.emplace_back(new ClientProcess(folder + "client" + std::to_string(i) + ".txt", 120, "1 changes=" +
                                                                                                      std::to_string(kChanges)));
        ASSERT_TRUE(clients.back()->handle() != nullptr);
        handles.push_back(clients.back()->handle());
    }
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(4, handles.data(), TRUE, 180000)) << "a client hung";
    writer.Stop();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, clients[i]->ExitCode()) << "client " << i << " (8: the picture did not change often enough)";
        const Seen s = Summarise(ReadClientFile(folder + "client" + std::to_string(i) + ".txt"));
        ExpectWholeFramesInOrder(s, kChanges, "client " + std::to_string(i));
    }
}

TEST(Clients, OneClientGetsWholeFramesInOrderWithConsistentStamps) {
    NumberedWriter paced(true);
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_TRUE(graph.collector.WaitForChanges(kChanges, zxtest::kHangGuardMs));
    paced.Stop();
    ExpectWholeFramesInOrder(Summarise(graph.collector.Since(0)), kChanges, "one client");

    // A writer as fast as it can never gives a mixed frame: frames back to back until 20 samples were taken meanwhile.
    const size_t before = graph.collector.Count();
    size_t after = before;
    {
        NumberedWriter writer(false);
        EXPECT_TRUE(graph.collector.WaitFor(before + 20, zxtest::kHangGuardMs));
        writer.Stop();
        after = graph.collector.Count();
        std::printf("  %d frames back to back: %zu samples meanwhile\n", writer.Written(), after - before);
        EXPECT_GT(writer.Written(), 0);
    }
    ASSERT_EQ(S_OK, graph.Stop());
    EXPECT_GE(after - before, 20u);
    EXPECT_EQ(0, Summarise(graph.collector.Since(before)).mixed);
}

TEST(Clients, HostileWriterSignallingEveryMillisecondGetsNoExtraSamples) {
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ASSERT_EQ(S_OK, graph.RemoveClock());
    NumberedWriter writer(true, 0, true);
    const double runAt = Clock::NowUs();
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.collector.WaitFor(45, zxtest::kHangGuardMs));
    // Taken before the stop, which lets the sample in hand go early.
    const std::vector<vct::Frame> frames = graph.collector.Since(0);
    ASSERT_EQ(S_OK, graph.Stop());
    // Extra samples for the extra signals would run ahead of their stamps.
    const Seen s = Summarise(frames);
    double worst = 0;
    const int early = vct::SamplesBeforeTheirTime(frames, runAt, &worst);
    std::printf("  event signalled every ms: %zu samples, %.3f s stamped, at most %.1f ms before their time\n",
                s.frames.size(), s.stampedSeconds, worst / 1000);
    EXPECT_EQ(0, early) << "samples before their time: the pace broke down";
    EXPECT_EQ(0, s.badStamps);
}

TEST(Clients, LauncherWritesNothingToTheClientsOutputAndStartsOnceForRunsCloseTogether) {
    const std::string root = zxtest::MakeTempDir("client-launch");
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                          Charset::String2WString(root + "ZXVCam.exe").c_str(), FALSE));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    const std::string stdoutPath = root + "stdout.txt";
    {
        // Two reconnections for format changes, then two runs.
        ClientProcess client(root + "samples.txt", 1, "2 reformat", stdoutPath);
        ASSERT_TRUE(client.handle() != nullptr);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(client.handle(), 60000));
        EXPECT_EQ(0, client.ExitCode());
    }
    EXPECT_EQ("", zxtest::ReadFile(stdoutPath)) << "the filter wrote to the client's standard output";
    const std::string marker = root + "launched.txt";
    // The client has ended: once no probe runs, the marker is complete.
    EXPECT_TRUE(zxtest::WaitUntil([&] { return vct::CountLines(zxtest::ReadFile(marker)) >= 1; }));
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
    // The second run came within a few seconds of the first: one start.
    EXPECT_EQ(1u, vct::CountLines(zxtest::ReadFile(marker))) << zxtest::ReadFile(marker);
}

}  // namespace
