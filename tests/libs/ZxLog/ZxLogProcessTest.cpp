// ZxLog across processes and module lifetimes: two processes writing one
// file, lines logged right before a process ends, and unloading the DLL.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
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

// Starts ZxLogChild (beside this program) logging `count` lines "<tag> <i>".
void* StartChild(const std::string& file, const std::string& tag, int count) {
    return zxtest::StartProcess("\"" + Dir::GetCurrentPath() + "ZxLogChild.exe\" " + file + " " + tag + " " +
                                std::to_string(count));
}

// The numbers of the lines "<tag> <i>" in file order.
std::map<std::string, std::vector<int>> Numbers(const std::vector<LogLine>& body) {
    std::map<std::string, std::vector<int>> out;
    for (const auto& l : body) {
        size_t space = l.text.find(' ');
        if (space == std::string::npos) {
            ADD_FAILURE() << "unexpected line " << l.text;
            continue;
        }
        out[l.text.substr(0, space)].push_back(std::stoi(l.text.substr(space + 1)));
    }
    return out;
}

std::vector<int> Count(int n) {
    std::vector<int> v(n);
    for (int i = 0; i < n; ++i) v[i] = i;
    return v;
}

class ZxLogProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(LogFlush(kFlushMs));
        // Children inherit the redirected log folder with the environment.
        zxtest::RedirectUserFolders(::testing::UnitTest::GetInstance()->current_test_info()->name());
        dir_ = Dir::GetLogPath();
    }
    std::string dir_;
};

TEST_F(ZxLogProcessTest, ProcessesSharingAFileWriteWholeLines) {
    HANDLE a = StartChild("Shared.txt", "A", 3000);
    HANDLE b = StartChild("Shared.txt", "B", 3000);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    for (int i = 0; i < 1000; ++i) YL_Log("Shared.txt", 0, "parent", "P %d", i);
    ASSERT_TRUE(LogFlush(kFlushMs));
    EXPECT_EQ(zxtest::FinishProcess(a), 0);
    EXPECT_EQ(zxtest::FinishProcess(b), 0);
    auto lines = ReadLog(dir_ + "Shared.txt");
    int headers = 0;
    for (const auto& l : lines) headers += zxlogtest::IsHeader(l) ? 1 : 0;
    EXPECT_EQ(headers, 3);  // each process names itself once
    auto numbers = Numbers(Body(lines));
    EXPECT_EQ(numbers["A"], Count(3000));
    EXPECT_EQ(numbers["B"], Count(3000));
    EXPECT_EQ(numbers["P"], Count(1000));
    EXPECT_EQ(numbers.size(), 3u);
}

TEST_F(ZxLogProcessTest, LinesLoggedRightBeforeExitAreWrittenOnce) {
    // The children end without flushing, with most lines still queued.
    for (int run = 0; run < 3; ++run) {
        const std::string file = "Exit" + std::to_string(run) + ".txt";
        ASSERT_EQ(zxtest::FinishProcess(StartChild(file, "C", 5000)), 0);
        auto lines = ReadLog(dir_ + file);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].text.compare(0, 13, "==== Child-C "), 0) << lines[0].text;
        auto numbers = Numbers(Body(lines));
        EXPECT_EQ(numbers["C"], Count(5000)) << "run " << run;
    }
}

TEST_F(ZxLogProcessTest, UnloadingTheDllKeepsItsLinesAndEndsItsThread) {
    // A copy of the DLL is a module of its own that this test can unload.
    const std::string copy = zxtest::MakeTempDir("unload") + "ZxLogCopy.dll";
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLog.dll").c_str(),
                          Charset::String2WString(copy).c_str(), FALSE));
    const std::wstring wcopy = Charset::String2WString(copy);
    using LogFn = void (*)(const char*, int, const char*, const char*, ...);
    for (int round = 0; round < 2; ++round) {
        HMODULE dll = LoadLibraryW(wcopy.c_str());
        ASSERT_NE(dll, nullptr);
        auto log = reinterpret_cast<LogFn>(reinterpret_cast<void*>(GetProcAddress(dll, "YL_Log")));
        ASSERT_NE(log, nullptr);
        for (int i = 0; i < 2000; ++i) log("Unload.txt", 0, "copy", "R%d %d", round, i);
        // Unloaded while lines are still queued: the DLL stays until its
        // writer has written them and ended.
        FreeLibrary(dll);
        const bool gone = zxtest::WaitUntil([&] { return GetModuleHandleW(wcopy.c_str()) == nullptr; });
        ASSERT_TRUE(gone) << "the DLL copy was never unloaded";
    }
    auto lines = ReadLog(dir_ + "Unload.txt");
    int headers = 0;
    for (const auto& l : lines) headers += zxlogtest::IsHeader(l) ? 1 : 0;
    EXPECT_EQ(headers, 2);  // each load starts afresh
    auto numbers = Numbers(Body(lines));
    EXPECT_EQ(numbers["R0"], Count(2000));
    EXPECT_EQ(numbers["R1"], Count(2000));
}

}  // namespace
