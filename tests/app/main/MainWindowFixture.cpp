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
    void* client = zxtest::StartProcess("\"" + Dir::GetCurrentPath() + "ZxVCamSnapshot.exe\" \"" + picture + "\" 20");
    PumpUntil([&] { return !client || WaitForSingleObject(client, 0) == WAIT_OBJECT_0; }, timeoutMs);
    return zxtest::FinishProcess(client, 0);
}

}  // namespace mainwin
