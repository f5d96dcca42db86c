// LibReplay: playing a recording of the moving pattern.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LibWaveOut/LibWaveOut.h"
#include "MediaTestSupport.h"

using namespace mediatest;

namespace {

struct Frame {
    int width, height;
    std::vector<unsigned char> rows;
    Frame(int w, int h) : width(w), height(h), rows(static_cast<size_t>(Stride(w)) * h) {}
    int Query(LibReplay& p) { return p.QueryFrame(rows.data(), static_cast<unsigned>(rows.size())); }
    int Red() const { return RedQuadrant(rows.data(), width, height); }
};


// Waits until the frame due shows red quadrant q and gives the position read
// right after it (the clock had reached the frame's time); false on a hang.
bool ShowsQuadrant(LibReplay& p, Frame& f, int q, double* positionAfter = nullptr) {
    return zxtest::WaitUntil([&] {
        if (f.Query(p) <= 0 || f.Red() != q) return false;
        if (positionAfter) *positionAfter = Position(p);
        return true;
    });
}

}  // namespace

class LibReplayTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(LibReplayTest, PlaysFramesOfTheAskedSizeThatFollowThePattern) {
    ASSERT_FALSE(PatternRecording().empty());
    const int w = GetParam().first, h = GetParam().second;
    LibReplay player;
    ASSERT_EQ(player.Init(PatternRecording().c_str(), w, h, true, true), 0);
    double cur = -1, total = 0;
    player.GetCurTm(cur, total);
    EXPECT_NEAR(total, 3.0, 0.25);
    EXPECT_GE(cur, 0.0);

    // The first frame: top left, so the rows are bottom-up.
    Frame f(w, h);
    double at = 0;
    EXPECT_TRUE(zxtest::WaitUntil([&] { return f.Query(player) > 0; }));
    EXPECT_EQ(f.Query(player), static_cast<int>(f.rows.size()));
    const double afterFirst = Position(player);
    if (afterFirst < 1.0) {
        EXPECT_EQ(f.Red(), 0) << "at " << afterFirst;
    }
    Frame tooSmall(w, h - 1);
    EXPECT_EQ(tooSmall.Query(player), 0);

    // Into the second second: the red quadrant moves to the top right, and
    // never before the clock is there (a busy machine may show it later).
    ASSERT_TRUE(ShowsQuadrant(player, f, 1, &at)) << "the picture of the second second never came";
    EXPECT_GT(at, 0.9) << "the second second's picture ahead of the clock";
    player.Uint();
}

INSTANTIATE_TEST_SUITE_P(Sizes, LibReplayTest,
                         ::testing::Values(std::make_pair(640, 480), std::make_pair(320, 240),
                                           std::make_pair(174, 98)));

TEST(LibReplay, PauseHoldsPositionAndPicture) {
    LibReplay player;
    ASSERT_EQ(player.Init(PatternRecording().c_str(), 320, 240, true, true), 0);
    ASSERT_TRUE(PlaysPast(player, 0.3));
    player.PasueSwitch(true);
    double held = Position(player);
    Frame a(320, 240), b(320, 240);
    ASSERT_GT(a.Query(player), 0);
    // Holding is time passing without a change: nothing announces it, so
    // the test lets time pass (long enough for several frames) and looks.
    Sleep(700);
    EXPECT_NEAR(Position(player), held, 0.05);
    ASSERT_GT(b.Query(player), 0);
    EXPECT_EQ(a.rows, b.rows);
    player.PasueSwitch(true);  // pausing twice changes nothing
    player.PasueSwitch(false);
    EXPECT_TRUE(PlaysPast(player, held + 0.3)) << "playback did not resume";
}

TEST(LibReplay, SeekLandsNearTheTarget) {
    LibReplay player;
    ASSERT_EQ(player.Init(PatternRecording().c_str(), 320, 240, true, true), 0);
    player.Seek(2.2);
    double at = Position(player);
    EXPECT_NEAR(at, 2.2, 0.3);
    // The picture of the third second comes, and the clock goes on from the
    // target, not from the start.
    Frame f(320, 240);
    EXPECT_TRUE(ShowsQuadrant(player, f, 2, &at)) << "the picture after the seek never came";
    EXPECT_GT(at, 2.0);
    // Back to the start, while paused: the picture of the first second comes.
    player.PasueSwitch(true);
    player.Seek(0.22);  // between two frames
    EXPECT_NEAR(Position(player), 0.22, 0.05);
    EXPECT_TRUE(ShowsQuadrant(player, f, 0)) << "the picture at the target never came while paused";
    EXPECT_NEAR(Position(player), 0.22, 0.05) << "paused: the position holds";
    // Past the end: kept inside the file.
    player.PasueSwitch(false);
    player.Seek(99);
    double cur, total;
    player.GetCurTm(cur, total);
    EXPECT_LE(cur, total + 0.01);
}

TEST(LibReplay, StopsAtTheEnd) {
    LibReplay player;
    ASSERT_EQ(player.Init(PatternRecording().c_str(), 160, 120, true, true), 0);
    player.Seek(2.6);
    double a = 0, total = 0;
    player.GetCurTm(a, total);
    // At the end the position stays at the end: wait for the end, then let
    // time pass (nothing announces that nothing moves) and look again.
    ASSERT_TRUE(zxtest::WaitUntil([&] {
        player.GetCurTm(a, total);
        return a >= total - 0.01;
    })) << "the end never came: " << a << " of " << total;
    ASSERT_TRUE(zxtest::WaitUntil([&] {
        a = Position(player);
        Sleep(200);
        return Position(player) == a;
    })) << "the position never stopped moving";
    EXPECT_NEAR(a, total, 0.15);
    Sleep(400);
    double b = Position(player);
    EXPECT_NEAR(b, a, 0.01);  // the position no longer moves
    Frame f(160, 120);
    ASSERT_GT(f.Query(player), 0);  // the last picture stays
    EXPECT_EQ(f.Red(), 2);
}

TEST(LibReplay, VolumeDevicesAndRelease) {
    std::string copy = zxtest::MakeTempDir("释放") + "副本.flv";
    ASSERT_TRUE(CopyFileW(Charset::String2WString(PatternRecording()).c_str(), Charset::String2WString(copy).c_str(),
                          FALSE));
    LibReplay player;
    player.SetVolume(0.5);
    for (int dev : {-1, 0, static_cast<int>(LibWaveOut::GetWaveOutDevNums()) + 5}) {
        // A device that does not exist plays the picture without sound.
        player.SetOutputDev(dev);
        ASSERT_EQ(player.Init(copy.c_str(), 320, 240, true, true), 0) << "device " << dev;
        player.SetVolume(0.0);
        player.SetVolume(1.7);  // clamped
        EXPECT_TRUE(PlaysPast(player, 0.1)) << "device " << dev;
    }
    player.Uint();
    double cur = 1, total = 1;
    player.GetCurTm(cur, total);
    EXPECT_EQ(cur, 0.0);
    EXPECT_EQ(total, 0.0);
    Frame f(320, 240);
    EXPECT_EQ(f.Query(player), 0);
    // Released: the file can go.
    EXPECT_TRUE(DeleteFileW(Charset::String2WString(copy).c_str()));
    player.Uint();
    player.Seek(1);
    player.PasueSwitch(true);
}

TEST(LibReplay, DamagedFilesFailCleanly) {
    std::string dir = zxtest::MakeTempDir("坏文件");
    std::string whole = zxtest::ReadFile(PatternRecording());
    ASSERT_GT(whole.size(), 4000u);
    std::string junk(200 * 1024, '\0');
    unsigned v = 777;
    for (char& c : junk) c = static_cast<char>((v = v * 1103515245u + 12345u) >> 16);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"random.flv", junk},
        {"random.mp4", junk},
        {"header-only.flv", whole.substr(0, 400)},
        {"empty.avi", std::string()},
        {"junk-after-header.flv", whole.substr(0, 13) + junk},
    };
    LibReplay player;
    for (const Case& c : cases) {
        std::string path = dir + c.name;
        ASSERT_TRUE(zxtest::WriteFile(path, c.bytes));
        EXPECT_EQ(player.Init(path.c_str(), 320, 240, true, true), -1) << c.name;
        Frame f(320, 240);
        EXPECT_EQ(f.Query(player), 0) << c.name;
        EXPECT_TRUE(DeleteFileW(Charset::String2WString(path).c_str())) << c.name;
    }
    EXPECT_EQ(player.Init((dir + "missing.flv").c_str(), 320, 240, true, true), -1);
    EXPECT_EQ(player.Init(nullptr, 320, 240, true, true), -1);
    EXPECT_EQ(player.Init(PatternRecording().c_str(), 0, 240, true, true), -1);

    // A recording cut in the middle plays up to the cut.
    std::string half = dir + "half.flv";
    ASSERT_TRUE(zxtest::WriteFile(half, whole.substr(0, whole.size() / 2)));
    EXPECT_EQ(player.Init(half.c_str(), 320, 240, true, true), 0);
    Frame f(320, 240);
    EXPECT_GT(f.Query(player), 0);
}

TEST(LibReplay, ToleratesCallsFromSeveralThreads) {
    LibReplay player;
    ASSERT_EQ(player.Init(PatternRecording().c_str(), 320, 240, true, true), 0);
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0}, queries{0};
    std::thread frameThread([&] {
        Frame f(320, 240);
        while (!stop) {
            if (f.Query(player) > 0) ++frames;
            ++queries;
            Sleep(5);  // the frame thread's pace
        }
    });
    std::thread monitor([&] {
        while (!stop) {
            double c, t;
            player.GetCurTm(c, t);
            EXPECT_GE(c, 0.0);
            EXPECT_LE(c, t + 0.2);
            Sleep(3);  // the monitor's pace
        }
    });
    for (int i = 0; i < 12; ++i) {
        switch (i % 4) {
        case 0: player.Seek(i * 0.2); break;
        case 1: player.PasueSwitch(true); break;
        case 2: player.PasueSwitch(false); break;
        case 3: ASSERT_EQ(player.Init(PatternRecording().c_str(), 320, 240, true, true), 0); break;
        }
        // A few frame queries between two calls, however slow the machine.
        const int q = queries;
        EXPECT_TRUE(zxtest::WaitUntil([&] { return queries >= q + 3; }));
        if (i == 9) player.Uint();
    }
    stop = true;
    frameThread.join();
    monitor.join();
    EXPECT_GT(frames.load(), 0);
}
