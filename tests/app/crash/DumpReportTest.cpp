// The report program's window with its shipped skin, in this process and as
// the real DumpReport.exe the crash handler starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DuiTestWindow.h"
#include "DumpReportDlg.h"
#include "TestSupport.h"
#include "ZxCrashNames.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace {

class ReportEnvironment : public duitest::GdiplusEnvironment {
public:
    void SetUp() override {
        duitest::GdiplusEnvironment::SetUp();
        CSkinMgr::SetSkinRootPath(Dir::GetZxPath(Dir::kPathResource) + "skin\\base\\");
    }
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new ReportEnvironment);

const char* const kStamp = "20140102030405006_ZxVCam";

class ReportWindow : public duitest::WindowDriver {
public:
    ReportWindow(const std::string& argument, const std::vector<std::string>& folders) : dlg(argument, folders) {
        Open(&dlg, "", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX);
    }
    ~ReportWindow() { Close(); }
    std::string Text(const char* name) {
        CControlUI* c = Find(name);
        return c ? c->GetText() : "<no " + std::string(name) + ">";
    }
    bool Visible(const char* name) {
        CControlUI* c = Find(name);
        return c && c->IsVisible();
    }
    bool Gone() {
        duitest::Pump();
        return !hwnd() || !IsWindow(hwnd());
    }
    CDumpReportDlg dlg;
};

// Waits (pumping this thread's messages) until another process shows a
// top-level window of that class and title ("" = any); null after timeoutMs.
HWND WaitForOtherWindow(const std::wstring& cls, const std::wstring& title, int timeoutMs) {
    struct Found {
        const std::wstring &cls, &title;
        HWND hwnd;
    } f{cls, title, nullptr};
    zxtest::WaitUntil([&] {
        duitest::Pump();
        EnumWindows(
            [](HWND h, LPARAM lp) -> BOOL {
                auto* f = reinterpret_cast<Found*>(lp);
                DWORD pid = 0;
                GetWindowThreadProcessId(h, &pid);
                wchar_t cls[128] = {}, title[256] = {};
                GetClassNameW(h, cls, 128);
                GetWindowTextW(h, title, 256);
                if (pid != GetCurrentProcessId() && IsWindowVisible(h) && (f->cls.empty() || f->cls == cls) &&
                    (f->title.empty() || f->title == title))
                    f->hwnd = h;
                return !f->hwnd;
            },
            reinterpret_cast<LPARAM>(&f));
        return f.hwnd != nullptr;
    }, static_cast<unsigned>(timeoutMs));
    return f.hwnd;
}

// The name a folder's browser window carries: the folder's last part.
std::wstring FolderTitle(const std::string& folder) {
    std::string f = folder;
    while (!f.empty() && f.back() == '\\') f.pop_back();
    return Charset::String2WString(f.substr(f.find_last_of('\\') + 1));
}

// Opens the dump's folder and checks that the file browser came up on it;
// the browser is closed again.
void ExpectFolderOpens(ReportWindow& w, const std::string& folder) {
    w.Click("BtnOpenFolder");
    HWND browser = WaitForOtherWindow(L"", FolderTitle(folder), 20000);
    EXPECT_NE(browser, nullptr) << "a file browser on " << folder;
    if (browser) PostMessageW(browser, WM_CLOSE, 0, 0);
}

// A dump in the log folder, the second place the report looks (the one
// beside the program: TheRealProgramReportsACrashBesideIt).
TEST(DumpReport, NamesADumpInTheLogFolderAndOpensItsFolder) {
    const std::string program = zxtest::MakeTempDir("report-program"), log = zxtest::MakeTempDir("report-log");
    const std::string dump = log + kStamp + ".exe.dmp";
    ASSERT_TRUE(zxtest::WriteFile(dump, "MDMP"));
    ReportWindow w(std::string("\\") + kStamp, {program, log});
    EXPECT_EQ(w.dlg.GetState(), CDumpReportDlg::State::kFound);
    EXPECT_EQ(w.dlg.GetDumpPath(), dump);
    EXPECT_EQ(w.Text("label_heading"), "程序意外退出");
    EXPECT_EQ(w.Text("label_dumpname"), std::string("转储文件：") + kStamp + ".exe.dmp");
    EXPECT_EQ(w.Text("label_dumpfolder") + "\\", log);
    EXPECT_TRUE(w.Visible("BtnOpenFolder"));
    EXPECT_GT(w.BrightPixels(w.Find("label_dumpname")->GetPos()), 40) << "the name is drawn";
    EXPECT_GT(w.BrightPixels(w.Find("label_heading")->GetPos()), 40) << "the heading is drawn";
    ExpectFolderOpens(w, log);
    EXPECT_FALSE(w.Gone()) << "opening the folder keeps the report";
    w.Click("BtnClose");
    EXPECT_TRUE(w.Gone()) << "closed by its close button";
}

TEST(DumpReport, SaysSoWhenTheDumpIsNowhere) {
    const std::string program = zxtest::MakeTempDir("report-program"), log = zxtest::MakeTempDir("report-log");
    ASSERT_TRUE(zxtest::WriteFile(program + "20140102030405007_ZxVCam.exe.dmp", "MDMP"));
    ReportWindow w(std::string("\\") + kStamp, {program, log});
    EXPECT_EQ(w.dlg.GetState(), CDumpReportDlg::State::kMissing);
    EXPECT_EQ(w.Text("label_heading"), "程序意外退出");
    EXPECT_NE(w.Text("label_detail").find(std::string("没有找到这次出错的转储文件（") + kStamp + "）"),
              std::string::npos)
        << w.Text("label_detail");
    EXPECT_FALSE(w.Visible("BtnOpenFolder"));
    EXPECT_FALSE(w.Visible("dumpinfo"));
    EXPECT_TRUE(w.Visible("BtnOk"));
    w.Click("BtnOk");
    EXPECT_TRUE(w.Gone());
}

TEST(DumpReport, WithoutAStampThereIsNothingToReport) {
    const std::string program = zxtest::MakeTempDir("report-program");
    ASSERT_TRUE(zxtest::WriteFile(program + std::string(kStamp) + ".exe.dmp", "MDMP"));
    // Which arguments are stamps is CrashNames'; here the window without one.
    ReportWindow w("", {program});
    EXPECT_EQ(w.dlg.GetState(), CDumpReportDlg::State::kNoStamp);
    EXPECT_EQ(w.Text("label_heading"), "没有要报告的错误");
    EXPECT_EQ(w.Text("label_message"), "没有指定转储文件。");
    EXPECT_FALSE(w.Visible("BtnOpenFolder"));
    w.Click("BtnOk");
    EXPECT_TRUE(w.Gone());
}

// Clicks a control of another process's report window at the place the
// same skin puts it here, with real mouse messages.
void ClickOther(HWND h, const POINT& at) {
    const LPARAM lp = MAKELPARAM(at.x, at.y);
    DWORD_PTR r = 0;
    SendMessageTimeoutW(h, WM_MOUSEMOVE, 0, lp, SMTO_NORMAL, 5000, &r);
    SendMessageTimeoutW(h, WM_LBUTTONDOWN, MK_LBUTTON, lp, SMTO_NORMAL, 5000, &r);
    SendMessageTimeoutW(h, WM_LBUTTONUP, 0, lp, SMTO_NORMAL, 5000, &r);
}

// The real report program started by a crash beside it: it finds the dump,
// opens the program folder and its close button ends it.
TEST(DumpReport, TheRealProgramReportsACrashBesideIt) {
    zxtest::RedirectUserFolders("report-real");
    const std::string bin = Dir::GetCurrentPath();
    std::vector<std::string> before;
    Dir::FindAllFiles(before, bin, "*_ZxCrashBare.exe.dmp", Dir::kFindFiles);

    ASSERT_NE(zxtest::RunProcess("\"" + bin + "ZxCrashBare.exe\""), -1);
    std::vector<std::string> after;
    Dir::FindAllFiles(after, bin, "*_ZxCrashBare.exe.dmp", Dir::kFindFiles);
    ASSERT_EQ(after.size(), before.size() + 1);
    std::string dump;
    for (const std::string& f : after)
        if (std::find(before.begin(), before.end(), f) == before.end()) dump = f;

    HWND report = WaitForOtherWindow(L"CZxDumpReport", L"", 30000);
    ASSERT_NE(report, nullptr) << "DumpReport.exe shows its window";
    DWORD pid = 0;
    GetWindowThreadProcessId(report, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);

    // Where the buttons lie in a report that found its dump.
    POINT open{}, close{};
    {
        const std::string name = File::GetFileName(dump);
        ReportWindow here("\\" + name.substr(0, name.size() - std::string(".exe.dmp").size()), {bin});
        ASSERT_EQ(here.dlg.GetState(), CDumpReportDlg::State::kFound);
        open = here.Center("BtnOpenFolder");
        close = here.Center("BtnOk");
    }
    ClickOther(report, open);
    HWND browser = WaitForOtherWindow(L"", FolderTitle(bin), 20000);
    EXPECT_NE(browser, nullptr) << "the report found the dump and opens its folder";
    if (browser) PostMessageW(browser, WM_CLOSE, 0, 0);
    ClickOther(report, close);
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0) << "its close button ends it";
    CloseHandle(process);
    File::RemoveFile(dump);
}

// The report speaks the language chosen in the program's setup, not the
// system's (the tests' system language is Chinese).
TEST(DumpReport, TheRealProgramSpeaksTheLanguageChosenInTheSetup) {
    zxtest::RedirectUserFolders("report-lang");
    ASSERT_TRUE(zxtest::WriteFile(Dir::GetZxPath(Dir::kPathUserData) + "ZxVCam.ini", "[SetupBasic]\r\nLanguage=en\r\n"));
    void* process = zxtest::StartProcess("\"" + Dir::GetCurrentPath() + "DumpReport.exe\"");
    ASSERT_NE(process, nullptr);
    const std::wstring english =
        Lang::Text(Lang::BuiltIn(Lang::Language::English), Lang::BuiltIn(Lang::Language::Chinese), "dump.title");
    HWND report = WaitForOtherWindow(L"CZxDumpReport", english, 30000);
    EXPECT_NE(report, nullptr) << "the report's title in English";
    if (report) PostMessageW(report, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, zxtest::FinishProcess(process, 20000));
}

}  // namespace
