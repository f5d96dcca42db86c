#include "MainWindowFixture.h"

#include "IDataMediaList.h"
#include "MediaTestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace mainwin {

void MainWindowFixture::SetUp() {
    home = FreshUserFolders(m_prefix + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

void MainWindowFixture::StartSession() {
    session.emplace(GetModuleHandleW(nullptr),
                    CAppSession::Options{Dir::GetZxPath(Dir::kPathResource) + "skin\\", true});
    ASSERT_TRUE(session->KernelLoaded());
}

void MainWindowFixture::RestartKernel() { ASSERT_TRUE(session->ReloadKernel()); }

void MainWindowFixture::Close() {
    w.reset();
    // A destroyed main window asks the loop to end; this thread's pump must
    // not keep that for what follows.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

void MainWindowFixture::TearDown() {
    Close();
    session.reset();
    ZxConfigSetFile(nullptr);
}

void MainWindowFixture::Open() {
    w = std::make_unique<OpenDialog<CZxVCamDlg>>();
    w->pm().UpdateNow();
}

void MainWindowFixture::ClickNow(const char* name) {
    w->pm().UpdateNow();
    ASSERT_NE(w->Find(name), nullptr) << name;
    w->Click(name);
}

std::string MainWindowFixture::Text(const std::string& name) {
    return w->Find(name) ? w->Find(name)->GetText() : "<none>";
}

int MainWindowFixture::Page(const char* tab) {
    auto* t = w->FindAs<DuiLib::CTabLayoutUI>(tab, "TabLayout");
    return t ? t->GetCurSel() : -100;
}

bool MainWindowFixture::Enabled(const char* name) { return w->Find(name) && w->Find(name)->IsEnabled(); }

std::vector<int> MainWindowFixture::AddClips(const std::vector<std::string>& names, int seconds) {
    struct Items : IDataMediaListObserver {
        void OnItem(int id, const std::string&, const std::string&, bool added) override {
            if (added) ids.push_back(id);
        }
        std::vector<int> ids;
    } items;
    std::vector<std::string> paths;
    for (const std::string& n : names) {
        paths.push_back(home + n);
        Dir::MakeDir(File::GetParentPath(paths.back()));
        EXPECT_TRUE(mediatest::RecordPattern(paths.back(), 160, 120, seconds * 20)) << n;
    }
    {
        CObserverLink<IDataMediaListObserver> link(&items, OBSERVER_MODE_DIRECT);
        KernelModule<IDataMediaList>()->AddFiles(paths);
    }
    return items.ids;
}

int RunCaptureClient(const std::string& picture, DWORD timeoutMs) {
    std::wstring line = L"\"" + String2WString(Dir::GetCurrentPath() + "ZxVCamSnapshot.exe") + L"\" \"" +
                        String2WString(picture) + L"\" 20";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    CloseHandle(pi.hThread);
    const DWORD end = GetTickCount() + timeoutMs;
    int code = -1;
    for (;;) {
        const int left = static_cast<int>(end - GetTickCount());
        const DWORD wait = left > 0 ? MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, static_cast<DWORD>(left), QS_ALLINPUT)
                                    : WAIT_TIMEOUT;
        if (wait == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeProcess(pi.hProcess, &exitCode);
            code = static_cast<int>(exitCode);
            break;
        }
        if (wait != WAIT_OBJECT_0 + 1) {
            TerminateProcess(pi.hProcess, 99);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
        Pump(0);
    }
    CloseHandle(pi.hProcess);
    return code;
}

TipWatcher* TipWatcher::s_self = nullptr;

TipWatcher::TipWatcher() {
    s_self = this;
    m_timer = SetTimer(nullptr, 0, 40, OnTimer);
}

TipWatcher::~TipWatcher() {
    KillTimer(nullptr, m_timer);
    s_self = nullptr;
}

void CALLBACK TipWatcher::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (s_self) EnumThreadWindows(GetCurrentThreadId(), OnWindow, 0);
}

BOOL CALLBACK TipWatcher::OnWindow(HWND h, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (wcscmp(cls, L"CZxVMsgTip") != 0 || !IsWindowVisible(h) || s_self->m_seen.count(h)) return TRUE;
    s_self->m_seen.insert(h);
    auto* dlg = dynamic_cast<DuiLib::CZxBaseDialog*>(DuiLib::CWindowWnd::FromHandle(h));
    DuiLib::CControlUI* label = dlg ? dlg->FindControl("label_msgtext") : nullptr;
    s_self->texts.push_back(label ? label->GetText() : "<none>");
    PostMessageW(h, WM_CLOSE, 0, 0);
    return TRUE;
}

}  // namespace mainwin
