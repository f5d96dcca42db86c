// The real ZxVCam.exe started as a user starts it: one copy at a time, a hung
// copy ended unless it records, a failed main window, the tray start, the way out.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const wchar_t kMutex[] = L"Velmo_ZxVCam_2014-1-2";

struct Child {
    HANDLE process = nullptr;
    DWORD pid = 0;
    ~Child() {
        if (process) {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
            CloseHandle(process);
        }
    }
    // Waits for the end; the exit code, or -1 when it did not end in time.
    long Wait(DWORD ms) {
        if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process, &code);
        return static_cast<long>(code);
    }
};

// Starts a command line (the program's path quoted, arguments after it).
bool Start(const std::string& commandLine, Child& child) {
    child.process = zxtest::StartProcess(commandLine);
    child.pid = child.process ? GetProcessId(child.process) : 0;
    return child.process != nullptr;
}

// The marked main window of that process (only a shown one when shown is
// true); nullptr when there is none.
HWND FindMainWindow(DWORD pid, bool shown) {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && GetPropW(w, L"ZxVCamMainWnd") && (!shown || IsWindowVisible(w))) return w;
    }
    return nullptr;
}

// The marked main window of that process once it is shown, waited for up
// to ms.
HWND WaitForMainWindow(DWORD pid, DWORD ms) {
    HWND w = nullptr;
    zxtest::WaitUntil([&] { return (w = FindMainWindow(pid, true)) != nullptr; }, ms);
    return w;
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The time stamp ("2026-12-07 05:38:55.944") of the first line holding what.
std::string StampOf(const std::string& log, const std::string& what) {
    const size_t at = log.find(what);
    if (at == std::string::npos) return std::string();
    const size_t line = log.rfind('\n', at);
    return log.substr(line == std::string::npos ? 0 : line + 1, 23);
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        home = zxtest::RedirectUserFolders("program_" + name);   // inherited by the programs started
        // The program's own settings file (the folder is made here).
        ZxConfigSetFile((Dir::GetZxPath(Dir::kPathUserData) + "ZxVCam.ini").c_str());
        program = Dir::GetCurrentPath() + "ZxVCam.exe";
        ASSERT_TRUE(File::IsExistFile(program));
    }
    void TearDown() override { ZxConfigSetFile(nullptr); }
    std::string Log(const char* file) { return zxtest::ReadFile(Dir::GetLogPath() + file); }
    std::string home, program;
};

TEST_F(ProgramTest, ASecondStartShowsTheFirstWindowAndEnds) {
    Child first;
    ASSERT_TRUE(Start("\"" + program + "\"", first));
    const HWND main = WaitForMainWindow(first.pid, 60000);
    ASSERT_NE(main, nullptr) << "the program shows its main window";
    // Closed with the close button's command: nothing stored, so it hides
    // to the tray and keeps running.
    SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_EQ(first.Wait(0), -1) << "still running in the tray";

    Child second;
    ASSERT_TRUE(Start("\"" + program + "\"", second));
    EXPECT_EQ(second.Wait(60000), 0) << "the second start ends with 0";
    EXPECT_TRUE(IsWindowVisible(main)) << "and has shown the first copy's window";

    // The tray menu's way out: the window closes and the program ends.
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.Wait(60000), 0);
    const std::string speed = Log("Speed.txt"), kernel = Log("ZxVKernal.txt");
    EXPECT_EQ(Count(speed, "WinMain LogInit"), 1) << "the second start logged nothing:\n" << speed;
    EXPECT_EQ(Count(kernel, "ZxDllInit"), 1) << "the kernel was loaded once:\n" << kernel;
    EXPECT_EQ(Count(kernel, "ZxDllExit"), 1);
    const std::string unloaded = StampOf(kernel, "ZxDllExit"), gdiplus = StampOf(speed, "GDI+ shuts down");
    ASSERT_FALSE(gdiplus.empty()) << speed;
    EXPECT_LE(unloaded, gdiplus) << "the kernel is unloaded before GDI+ goes";
}

// The start-with-Windows entry: hidden, in the tray, publishing; the icon's click shows it.
TEST_F(ProgramTest, TheTraySwitchStartsHiddenInTheTrayAndPublishes) {
    Child child;
    ASSERT_TRUE(Start("\"" + program + "\" /tray", child));
    std::vector<uint8_t> frame;
    int sizeCode = 0;
    ASSERT_TRUE(vct::ReadPublishedFrame(frame, sizeCode, 60000)) << "the kernel publishes";
    EXPECT_FALSE(vct::AllZero(frame)) << "the idle picture";
    // Past the point where a start without the switch shows its window.
    ASSERT_TRUE(zxtest::WaitUntil([&] { return Log("Speed.txt").find("main window stays hidden") != std::string::npos; }))
        << Log("Speed.txt");
    const HWND main = FindMainWindow(child.pid, false);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(IsWindowVisible(main));
    // The shell holds the icon: a change of nothing succeeds only on an
    // icon that exists (and fails on an id the program never added).
    const UINT kTrayIconId = 109, kTrayMessage = 2557;  // the main window's
    NOTIFYICONDATAW icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = main;
    icon.uID = kTrayIconId;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon)) << "the tray icon is there";
    icon.uID = kTrayIconId + 1;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    SendMessageW(main, kTrayMessage, kTrayIconId, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(main)) << "the icon's click shows the window";
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.Wait(60000), 0);
}

// A stand-in for a hung copy (ZxHungCopy.exe) started under the program's
// name, once it holds the mutex.
void StartHungCopy(Child& stuck, const char* argument) {
    const std::string folder = zxtest::MakeTempDir("hung");
    const std::string hung = folder + "ZxVCam.exe";
    ASSERT_TRUE(CopyFileW(String2WString(Dir::GetCurrentPath() + "ZxHungCopy.exe").c_str(),
                          String2WString(hung).c_str(), FALSE));
    ASSERT_TRUE(Start("\"" + hung + "\" " + argument, stuck));
    ASSERT_TRUE(zxtest::WaitUntil([&] { return FindMainWindow(stuck.pid, false) != nullptr; }))
        << "the hung copy holds the mutex and its marked window";
}

// The message box a process shows: its text, and it is closed. Empty when
// none showed in time.
std::string TakeMessageBox(DWORD pid) {
    std::string text;
    zxtest::WaitUntil([&] {
        for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t cls[16] = {};
            GetClassNameW(w, cls, 16);
            if (owner != pid || lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(w)) continue;
            for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                wchar_t buf[1024] = {};
                GetWindowTextW(c, buf, 1024);
                text += WString2String(buf) + "\n";
            }
            PostMessageW(w, WM_COMMAND, IDOK, 0);
            return true;
        }
        return false;
    }, 60000);
    return text;
}

TEST_F(ProgramTest, ASlowFirstCopyIsWaitedForAndShownNotEnded) {
    // The first copy's data library takes 8 s: still starting, not hung. With
    // "exit" as the close behaviour the close command ends it.
    AfxGetConfigManager()->SetInt("SetupBasic", "Close", 0);
    SetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", L"ZxSlowStart.dll;ZxVKernal.dll");
    Child first;
    const bool started = Start("\"" + program + "\"", first);
    SetEnvironmentVariableW(L"ZXVCAM_DATA_LIBS", nullptr);
    ASSERT_TRUE(started);
    ASSERT_TRUE(zxtest::WaitUntil([] {
        HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, kMutex);
        if (m) CloseHandle(m);
        return m != nullptr;
    })) << "the first copy holds the mutex";

    Child second;
    ASSERT_TRUE(Start("\"" + program + "\"", second));
    EXPECT_EQ(second.Wait(120000), 0) << "the second start waits for the first window, shows it and ends";
    EXPECT_EQ(first.Wait(0), -1) << "the first copy was not ended";
    const HWND main = WaitForMainWindow(first.pid, 1000);
    ASSERT_NE(main, nullptr) << "its window is shown";
    EXPECT_EQ(Count(Log("Speed.txt"), "WinMain LogInit"), 1) << "the second start started nothing itself";
    SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(first.Wait(60000), 0);
}

TEST_F(ProgramTest, AHungCopyIsEndedAndThisStartRuns) {
    Child stuck;
    ASSERT_NO_FATAL_FAILURE(StartHungCopy(stuck, ""));
    AfxGetConfigManager()->SetInt("SetupBasic", "Close", 0);
    Child start;
    ASSERT_TRUE(Start("\"" + program + "\"", start));
    // This start goes on as the one copy: its own window shows.
    const HWND main = WaitForMainWindow(start.pid, 120000);
    EXPECT_EQ(stuck.Wait(zxtest::kHangGuardMs), 1) << "the hung copy was ended";
    ASSERT_NE(main, nullptr);
    SendMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(start.Wait(60000), 0);
}

TEST_F(ProgramTest, AHungCopyThatRecordsIsNeverEnded) {
    Child stuck;
    ASSERT_NO_FATAL_FAILURE(StartHungCopy(stuck, "recording"));
    Child start;
    ASSERT_TRUE(Start("\"" + program + "\"", start));
    const std::string box = TakeMessageBox(start.pid);
    EXPECT_NE(box.find("正在录制"), std::string::npos) << "the user is told why: " << box;
    EXPECT_EQ(start.Wait(60000), 1) << "this start ends without starting";
    EXPECT_EQ(stuck.Wait(0), -1) << "the recording copy still runs";
    EXPECT_EQ(Count(Log("ZxVKernal.txt"), "ZxDllInit"), 0);
}

TEST_F(ProgramTest, AMainWindowThatCannotBeMadeSaysWhatFailedAndExitsNonZero) {
    // An installation whose skin files are gone: the resource folder is empty.
    const std::string empty = zxtest::MakeTempDir("noskin");
    SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", String2WString(empty).c_str());
    Child start;
    const bool started = Start("\"" + program + "\"", start);
    SetEnvironmentVariableW(L"ZXVCAM_RES_DIR", nullptr);
    ASSERT_TRUE(started);
    const std::string box = TakeMessageBox(start.pid);
    EXPECT_NE(box.find("主窗口无法创建"), std::string::npos) << box;
    EXPECT_NE(box.find("ZxVCam.xml"), std::string::npos) << "it names the missing file: " << box;
    const long code = start.Wait(60000);
    EXPECT_NE(code, 0);
    EXPECT_NE(code, -1) << "it ended";
    EXPECT_EQ(Count(Log("ZxVKernal.txt"), "ZxDllExit"), 1) << "the kernel was unloaded on the way out";
}

}  // namespace
