// The entry of ZxVCam.exe (its crash handler is installed before this runs,
// see ZxCrash.h): one copy at a time, GDI+ and the log, the module
// bus and through it the kernel, the skin folder, the main window and its
// message loop; then everything down again in the reverse order, the kernel
// only after the main window is gone (so no notification can reach it) and
// GDI+ last. The command line holds at most the tray switch ("/tray", what
// the start-with-Windows entry passes): the main window then starts hidden,
// with its tray icon, and the kernel publishes as usual. The exit code is 0, except when
// the program could not start: a main window that cannot be made (after a
// message box that says what failed), or another copy that hangs and could
// not be ended.
#include <windows.h>

#include <string>

#include "AppSession.h"
#include "DuiLib/UIlib.h"
#include "SettingKeys.h"
#include "SingleInstance.h"
#include "ZxCrash.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"
#include "ZxVSetupDlg.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    switch (SingleInstance::Check()) {
    case SingleInstance::kRunThisCopy: break;
    case SingleInstance::kOtherCopyShown: return 0;
    case SingleInstance::kOtherCopyRefused: return 1;
    }

    // Logging first, so the start-up itself is logged.
    LogInit("ORBIAN");
    YL_Log("Speed.txt", 0, "main", "WinMain LogInit");
    CAppSession session(hInstance, {Dir::GetZxPath(Dir::kPathResource) + "skin\\", true});

    // The crash handler (installed before this function ran) writes the
    // program's global data into its dumps only when asked to.
    ZxCrash::SetDebugFlag(ZxCrash::IsDebugLogLevel(Settings::GetString(Settings::kLogLevel)));

    int exitCode = 0;
    g_pMainDlg = new CZxVCamDlg;
    session.AdoptWindow(g_pMainDlg, [] { g_pMainDlg = nullptr; });
    if (g_pMainDlg->Create(nullptr, "", g_pMainDlg->GetCreateWindowStyle(), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT)) {
        if (StartWithWindows::StartedInTray())
            YL_Log("Speed.txt", 0, "main", "WinMain: started with the tray switch; the main window stays hidden");
        else
            g_pMainDlg->ShowWindow(true, true);
        DuiLib::CPaintManagerUI::MessageLoop();
    } else {
        // Without its window the program can do nothing: the user is told
        // what failed rather than seeing nothing happen.
        const DWORD error = GetLastError();
        std::string cause = g_pMainDlg->CreateFailure();
        if (cause.empty()) cause = Lang::FormatUtf8("app.err.window_refused", {std::to_string(error)});
        YL_Log("Speed.txt", 3, "main", "the main window could not be created: %s", cause.c_str());
        const std::wstring text = Lang::Format("app.err.no_window", {String2WString(cause)});
        MessageBoxW(nullptr, text.c_str(), Lang::Text("app.title").c_str(), MB_OK | MB_ICONERROR);
        exitCode = 2;
    }
    // The session ends the window, then the kernel, then GDI+.
    return exitCode;
}
