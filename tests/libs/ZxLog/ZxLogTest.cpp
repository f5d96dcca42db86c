// ZxLog inside one process: the line format, text handling, threads, files
// per name, the size bound, refused names, flushing and the queue bound.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "LogTestSupport.h"
#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

using zxlogtest::Body;
using zxlogtest::LogLine;
using zxlogtest::ReadLog;

namespace {

constexpr unsigned kFlushMs = 30000;

std::string Stamp() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char buf[32];
    snprintf(buf, sizeof(buf), "%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
             t.wSecond, t.wMilliseconds);
    return buf;
}

class ZxLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Lines of an earlier test go to that test's folder before the log
        // folder is moved.
        ASSERT_TRUE(LogFlush(kFlushMs));
        zxtest::RedirectUserFolders(::testing::UnitTest::GetInstance()->current_test_info()->name());
        dir_ = Dir::GetLogPath();
        ASSERT_FALSE(dir_.empty());
    }
    void TearDown() override {
        EXPECT_TRUE(LogFlush(kFlushMs));
        LogSetMaxFileSize(4u << 20);
    }
    std::vector<LogLine> Flushed(const std::string& file) {
        EXPECT_TRUE(LogFlush(kFlushMs));
        return ReadLog(dir_ + file);
    }
    std::string dir_;
};

TEST_F(ZxLogTest, LinesCarryTimeThreadLevelModuleAfterAHeader) {
    LogInit("ORBIAN");
    const std::string before = Stamp();
    YL_Log("Speed.txt", 0, "main", "WinMain LogInit");
    YL_Log("Speed.txt", 3, "CZxVKernal", "value %d, %s, %.2f", 42, "text", 1.5);
    const std::string after = Stamp();
    auto lines = Flushed("Speed.txt");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(zxlogtest::IsHeader(lines[0]));
    EXPECT_EQ(lines[0].text, "==== ORBIAN pid " + std::to_string(GetCurrentProcessId()) + " ====");
    EXPECT_EQ(lines[1].module, "main");
    EXPECT_EQ(lines[1].level, 0);
    EXPECT_EQ(lines[1].text, "WinMain LogInit");
    EXPECT_EQ(lines[2].module, "CZxVKernal");
    EXPECT_EQ(lines[2].level, 3);
    EXPECT_EQ(lines[2].text, "value 42, text, 1.50");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(lines[i].thread, GetCurrentThreadId());
        EXPECT_LE(before, lines[i].stamp);  // local time, same format, so text order is time order
        EXPECT_LE(lines[i].stamp, after);
    }
}

TEST_F(ZxLogTest, LongMessagesAreWholeUpToTheCap) {
    std::string long100k;
    for (int i = 0; long100k.size() < 100 * 1024; ++i) long100k += std::to_string(i) + "中文,";
    YL_Log("Long.txt", 0, "m", "%s|%d", long100k.c_str(), 7);
    // Beyond 1 MiB a message is cut, at a character boundary, with a note.
    const std::string huge(3u << 20, 'x');
    YL_Log("Long.txt", 0, "m", "%s", huge.c_str());
    auto body = Body(Flushed("Long.txt"));
    ASSERT_EQ(body.size(), 2u);
    EXPECT_EQ(body[0].text, long100k + "|7");
    EXPECT_EQ(body[1].text.compare(0, 1000, huge, 0, 1000), 0);
    EXPECT_NE(body[1].text.find("more bytes cut]"), std::string::npos);
    EXPECT_LE(body[1].text.size(), (1u << 20) + 64);
}

// UTF-8 survives, breaks and controls stay on one line, missing arguments and format errors give a line.
TEST_F(ZxLogTest, AnyTextGivesOneLine) {
    YL_Log("Odd.txt", 2, "摄像头模块", "加载默认背景(%s)失败", "C:\\图片\\默认.jpg");
    YL_Log("Odd.txt", 0, "mod\r\nule", "first\r\nsecond\nthird\rfourth\tfifth\n");
    YL_Log("Odd.txt", 0, "m", "%s%c%s", "nul", '\0', "inside");
    SetLastError(1234);
    YL_Log("Odd.txt", 1, nullptr, "no module");
    EXPECT_EQ(GetLastError(), 1234u);  // logging leaves the caller's error alone
    YL_Log("Odd.txt", 2, "m", nullptr);
    YL_Log("Odd.txt", 2, "", "empty module");
    // A field too wide to format safely is a format error, not a crash.
    YL_Log("Odd.txt", 2, "m", "wide %100000000d", 1);
    YL_Log("Odd.txt", -5, "m", "after %d", 1);
    YL_Log("Odd.txt", 0, "m", "%5d|%-4s|%%|%.3f|%lld|%.2s|%.5000s", 42, "ab", 1.0, 7LL, "xyz", "long precision");
    auto body = Body(Flushed("Odd.txt"));
    ASSERT_EQ(body.size(), 9u);
    EXPECT_EQ(body[0].module, "摄像头模块");
    EXPECT_EQ(body[0].text, "加载默认背景(C:\\图片\\默认.jpg)失败");
    EXPECT_EQ(body[1].module, "mod ule");
    EXPECT_EQ(body[1].text, "first second third fourth\tfifth");
    EXPECT_EQ(body[2].text, "nul inside");
    EXPECT_EQ(body[3].module, "-");
    EXPECT_EQ(body[3].text, "no module");
    EXPECT_EQ(body[4].text, "(no format given)");
    EXPECT_EQ(body[5].module, "-");
    EXPECT_EQ(body[6].text, "(log format error in \"wide %100000000d\")");
    EXPECT_EQ(body[7].level, -5);
    EXPECT_EQ(body[7].text, "after 1");
    EXPECT_EQ(body[8].text, "   42|ab  |%|1.000|7|xy|long precision");
}

TEST_F(ZxLogTest, EightThreadsArriveWholeCompleteAndInOrder) {
    constexpr int kThreads = 8, kLines = 500;
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &ready] {
            ++ready;
            while (ready < kThreads) std::this_thread::yield();
            for (int i = 0; i < kLines; ++i) YL_Log("Threads.txt", 0, "worker", "thread %d line %d end", t, i);
        });
    }
    for (auto& th : threads) th.join();
    auto body = Body(Flushed("Threads.txt"));
    ASSERT_EQ(body.size(), static_cast<size_t>(kThreads * kLines));
    std::map<int, int> next;
    std::map<int, unsigned long> threadIds;
    for (const auto& l : body) {
        int t = -1, i = -1;
        char end[8] = {};
        ASSERT_EQ(sscanf(l.text.c_str(), "thread %d line %d %3s", &t, &i, end), 3) << l.text;
        EXPECT_STREQ(end, "end");
        EXPECT_EQ(i, next[t]++) << "thread " << t << " out of order";
        if (!threadIds.count(t)) threadIds[t] = l.thread;
        EXPECT_EQ(l.thread, threadIds[t]);
    }
    ASSERT_EQ(next.size(), static_cast<size_t>(kThreads));
    for (const auto& n : next) EXPECT_EQ(n.second, kLines);
}

TEST_F(ZxLogTest, EachLogNameHasItsOwnFile) {
    for (int i = 0; i < 20; ++i) {
        YL_Log("ZxVKernal.txt", 0, "k", "kernel %d", i);
        YL_Log("ZxVVideoEffect.txt", 0, "e", "effect %d", i);
    }
    YL_Log("zxvkernal.TXT", 0, "k", "same file, other case");
    ASSERT_TRUE(LogFlush(kFlushMs));
    auto kernel = ReadLog(dir_ + "ZxVKernal.txt");
    auto effect = Body(ReadLog(dir_ + "ZxVVideoEffect.txt"));
    ASSERT_EQ(kernel.size(), 22u);  // one header: the other case names the same file
    EXPECT_EQ(Body(kernel).size(), 21u);
    EXPECT_EQ(kernel.back().text, "same file, other case");
    ASSERT_EQ(effect.size(), 20u);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(kernel[i + 1].text, "kernel " + std::to_string(i));
        EXPECT_EQ(effect[i].text, "effect " + std::to_string(i));
    }
}

TEST_F(ZxLogTest, FilesAreRotatedAtTheSizeLimit) {
    LogSetMaxFileSize(4096);
    const std::string pad(60, 'p');
    for (int i = 0; i < 300; ++i) YL_Log("Rot.txt", 0, "r", "line %d %s", i, pad.c_str());
    ASSERT_TRUE(LogFlush(kFlushMs));
    const std::string cur = dir_ + "Rot.txt", old = cur + ".old";
    EXPECT_LE(File::GetFileSize(cur), 4096);
    EXPECT_GT(File::GetFileSize(old), 3000);
    EXPECT_LE(File::GetFileSize(old), 4096);
    // Both files start with a header; together they hold the newest lines
    // without a gap.
    auto oldLines = ReadLog(old), curLines = ReadLog(cur);
    ASSERT_FALSE(oldLines.empty());
    ASSERT_FALSE(curLines.empty());
    EXPECT_TRUE(zxlogtest::IsHeader(oldLines[0]));
    EXPECT_TRUE(zxlogtest::IsHeader(curLines[0]));
    std::vector<LogLine> all = Body(oldLines);
    for (const auto& l : Body(curLines)) all.push_back(l);
    ASSERT_FALSE(all.empty());
    int first = -1;
    ASSERT_EQ(sscanf(all[0].text.c_str(), "line %d", &first), 1);
    for (size_t k = 0; k < all.size(); ++k)
        EXPECT_EQ(all[k].text, "line " + std::to_string(first + static_cast<int>(k)) + " " + pad);
    EXPECT_EQ(first + static_cast<int>(all.size()), 300);

    // A single line longer than the limit is cut to fit an empty file.
    YL_Log("Big.txt", 0, "r", "%s", std::string(10000, 'b').c_str());
    auto big = Body(Flushed("Big.txt"));
    ASSERT_EQ(big.size(), 1u);
    EXPECT_NE(big[0].text.find("[cut: longer than the log file size limit]"), std::string::npos);
    EXPECT_LE(File::GetFileSize(dir_ + "Big.txt"), 4096);

    // Limits below 4 KiB count as 4 KiB.
    LogSetMaxFileSize(100);
    for (int i = 0; i < 30; ++i) YL_Log("Small.txt", 0, "r", "line %d %s", i, pad.c_str());
    EXPECT_EQ(Body(Flushed("Small.txt")).size(), 30u);
    EXPECT_FALSE(File::IsExistFile(dir_ + "Small.txt.old"));
}

TEST_F(ZxLogTest, RefusedNamesWriteNothingOutsideTheFolder) {
    const char* names[] = {"..\\evil1.txt", "sub/evil2.txt", "a\\evil3.txt", "..",   "C:evil4.txt",
                           "evil5.txt:ads", "CON",           "NUL.txt",     "",     "evil6.txt.",
                           "evil7<>.txt",   nullptr};
    const int count = static_cast<int>(sizeof(names) / sizeof(names[0]));
    for (int i = 0; i < count; ++i) YL_Log(names[i], 2, "m", "refused %d", i);
    ASSERT_TRUE(LogFlush(kFlushMs));
    EXPECT_EQ(zxlogtest::ListFolder(dir_), std::vector<std::string>{dir_ + "ZxLog.txt"});
    const std::string parent = Dir::WithSlash(File::GetParentPath(dir_.substr(0, dir_.size() - 1)));
    EXPECT_EQ(zxlogtest::ListFolder(parent), std::vector<std::string>{parent + "Log"});
    auto body = Body(ReadLog(dir_ + "ZxLog.txt"));
    ASSERT_EQ(body.size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(body[i].text.compare(0, 23, "[refused log file name "), 0) << body[i].text;
        const std::string tail = "refused " + std::to_string(i);
        EXPECT_EQ(body[i].text.substr(body[i].text.size() - tail.size()), tail);
    }
    EXPECT_NE(body[0].text.find("\"..\\evil1.txt\""), std::string::npos);
    EXPECT_NE(body[count - 1].text.find("(null)"), std::string::npos);
}

// Another writer holds the file: lines queue up and the caller goes on; a
// flush drains the queue once the file is free; beyond 10000 queued lines new
// ones are dropped and counted.
TEST_F(ZxLogTest, AHeldFileQueuesLinesWithoutWaitingAndAFullQueueDropsNewOnesSayingHowMany) {
    EXPECT_TRUE(LogFlush(0));  // nothing queued
    const std::string path = dir_ + "Full.txt";
    HANDLE mutex = CreateMutexW(nullptr, FALSE, zxlogtest::MutexNameFor(path).c_str());
    ASSERT_NE(mutex, nullptr);
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    for (int i = 0; i < 10050; ++i) YL_Log("Full.txt", 0, "full", "line %d", i);
    EXPECT_FALSE(LogFlush(300));
    EXPECT_FALSE(File::IsExistFile(path));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    auto body = Body(Flushed("Full.txt"));
    ASSERT_EQ(body.size(), 10001u);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(body[i].text, "line " + std::to_string(i));
    EXPECT_EQ(body[10000].module, "ZxLog");
    EXPECT_EQ(body[10000].text.compare(0, 22, "50 log lines dropped: "), 0) << body[10000].text;
}

}  // namespace
