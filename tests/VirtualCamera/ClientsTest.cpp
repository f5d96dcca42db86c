// A client fed numbered frames by paced, fast or hostile writers; a client process (ZxVCamClient) while the
// filter starts the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

constexpr REFERENCE_TIME kFrameTime = 500000;  // 50 ms

// Frame n has every byte n % 250 + 1 (never 0, the black of no frame).
void FillNumbered(uint8_t* pixels, int n) { std::memset(pixels, n % 250 + 1, 921600); }

// Writes numbered frames (vct::ChannelWriter's arguments after the fill).
class NumberedWriter : public vct::ChannelWriter {
public:
    explicit NumberedWriter(bool paced, bool signalEveryMs = false)
        : vct::ChannelWriter(&FillNumbered, paced, signalEveryMs) {}
};

// What one client saw.
struct Seen {
    std::vector<vct::Frame> frames;
    int mixed = 0;
    int changes = 0;    // picture changes from sample to sample
    int backwards = 0;  // changes to a frame number not after the one before
    int badStamps = 0;  // stamps off the grid, not one frame time long, or not after the last
};

Seen Summarise(std::vector<vct::Frame> frames) {
    Seen s;
    s.frames = std::move(frames);
    for (const vct::Frame& f : s.frames)
        if (!f.uniform) ++s.mixed;
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
    }
    return s;
}

// At least changes picture changes, every sample one whole frame in the writer's order, stamps
// one frame time long on the grid, each after the one before.
void ExpectWholeFramesInOrder(const Seen& s, int changes) {
    EXPECT_GE(s.changes, changes);
    EXPECT_EQ(0, s.mixed) << "samples holding two frames";
    EXPECT_EQ(0, s.backwards) << "an older frame after a newer one";
    EXPECT_EQ(0, s.badStamps);
    ASSERT_FALSE(s.frames.empty());
    EXPECT_TRUE(s.frames.front().timed);
    EXPECT_EQ(kFrameTime, s.frames.front().end - s.frames.front().start);
}

// The client runs until the picture has changed this often.
constexpr int kChanges = 40;

TEST(Clients, OneClientGetsWholeFramesInOrderWithConsistentStamps) {
    NumberedWriter paced(true);
    vct::Graph graph;
    ASSERT_EQ(S_OK, graph.Build());
    ASSERT_EQ(S_OK, graph.Run());
    EXPECT_TRUE(graph.collector.WaitForChanges(kChanges, zxtest::kHangGuardMs));
    paced.Stop();
    ExpectWholeFramesInOrder(Summarise(graph.collector.Since(0)), kChanges);

    // A writer as fast as it can never gives a mixed frame: frames back to back until 20 samples were taken meanwhile.
    const size_t before = graph.collector.Count();
    size_t after = before;
    {
        NumberedWriter writer(false);
        EXPECT_TRUE(graph.collector.WaitFor(before + 20, zxtest::kHangGuardMs));
        writer.Stop();
        after = graph.collector.Count();
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
    NumberedWriter writer(true, true);
    const double runAt = Clock::NowUs();
    ASSERT_EQ(S_OK, graph.Run());
    ASSERT_TRUE(graph.collector.WaitFor(45, zxtest::kHangGuardMs));
    // Taken before the stop, which lets the sample in hand go early.
    const std::vector<vct::Frame> frames = graph.collector.Since(0);
    ASSERT_EQ(S_OK, graph.Stop());
    // Extra samples for the extra signals would run ahead of their stamps.
    EXPECT_EQ(0, vct::SamplesBeforeTheirTime(frames, runAt)) << "samples before their time: the pace broke down";
    EXPECT_EQ(0, Summarise(frames).badStamps);
}

TEST(Clients, LauncherWritesNothingToTheClientsOutput) {
    const std::string root = zxtest::MakeTempDir("client-launch");
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                          Charset::String2WString(root + "ZXVCam.exe").c_str(), FALSE));
    vct::ProgramFolderSetting setting(Charset::String2WString(root).c_str());
    const std::string stdoutPath = root + "stdout.txt";
    // A client process: two reconnections for format changes, then two runs of a second.
    const std::string client = "\"" + Dir::GetCurrentPath() + "ZxVCamClient.exe\" 1 2 reformat";
    EXPECT_EQ(0, zxtest::RunProcess(client, 60000, stdoutPath));
    EXPECT_EQ("", zxtest::ReadFile(stdoutPath)) << "the filter wrote to the client's standard output";
    // The filter started the program (how often is the launcher suite's), which has ended.
    EXPECT_TRUE(zxtest::WaitUntil([&] { return vct::CountLines(zxtest::ReadFile(root + "launched.txt")) >= 1; }));
    EXPECT_TRUE(vct::WaitUntilNoProcess(L"ZXVCam.exe", zxtest::kHangGuardMs));
}

}  // namespace
