// The fixture of the main-window suites: the program's main window built in
// the test program, started as the program starts (CAppSession: GDI+, COM,
// the whole kernel), driven by real messages on the virtual display, in a
// fresh settings and data folder per case.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppSession.h"
#include "DialogsTestSupport.h"
#include "KernelModules.h"
#include "TestSupport.h"
#include "ZxVCamDlg.h"

namespace mainwin {

using namespace dlgtest;

// Pumps this thread's messages until done holds; false after timeoutMs (a
// guard against a hang, not a measure of speed).
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs = zxtest::kHangGuardMs) {
    return zxtest::WaitUntil([&] {
        Pump();
        return done();
    }, timeoutMs);
}

// A capture client of "ZXVCam" in a process of its own (ZxVCamSnapshot):
// it writes the 20th sample it receives to picture. This thread's messages
// keep running meanwhile; after timeoutMs the client is ended. Its exit
// code, or -1 when it did not start or had to be ended.
int RunCaptureClient(const std::string& picture, DWORD timeoutMs = 60000);

class MainWindowFixture : public ::testing::Test {
protected:
    // prefix names the case's folders (prefix_<case>).
    explicit MainWindowFixture(const char* prefix) : m_prefix(prefix) {}
    void SetUp() override;
    void TearDown() override;
    // Starts GDI+, COM and the kernel as the program does (after the case
    // has written the settings and registered the devices the kernel reads
    // at load).
    void StartSession();
    // The kernel again, as at a later start of the program: every list
    // from its file.
    void RestartKernel();
    void Open();
    void Close();
    // A click once the layout has caught up with a page change.
    void ClickNow(const char* name);
    std::string Text(const std::string& name);
    int Page(const char* tab);
    bool Enabled(const char* name);
    // Media files of the test pattern, seconds long each, made under home
    // and added to the playlist; their ids in list order.
    std::vector<int> AddClips(const std::vector<std::string>& names, int seconds);

    std::string home;
    std::optional<CAppSession> session;
    std::unique_ptr<OpenDialog<CZxVCamDlg>> w;

private:
    std::string m_prefix;
};

}  // namespace mainwin
