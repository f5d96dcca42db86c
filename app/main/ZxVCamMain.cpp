// The entry of ZxVCam.exe (its crash handler is installed before this runs,
// see ZxCrash.h): one copy at a time, GDI+ and the log, the module
// bus and through it the kernel, the skin folder, the main window and its
// message loop; then everything down again in the reverse order, the kernel
// only after the main window is gone (so no notification can reach it) and
// GDI+ last. The command line is ignored and the exit code is always 0.
#include <windows.h>
#include <objbase.h>

#include "DuiLib/UIlib.h"
#include "SingleInstance.h"
#include "ZxCrash.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    if (SingleInstance::IsOtherInstanceRunning()) return 0;

    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr) != Gdiplus::Ok) gdiplusToken = 0;
    // The shell's folder browser of the setup dialog needs COM on this thread.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));

    LogInit("ORBIAN");
    YL_Log("Speed.txt", 0, "main", "WinMain LogInit");

    AfxGetMessageManager();
    if (!AfxGetDataDllManager()->LoadDataLibraries(0))
        YL_Log("Speed.txt", 3, "main", "the data libraries did not all load; the program runs without them");

    // The crash handler (installed before this function ran) writes the
    // program's global data into its dumps only when asked to.
    std::string level;
    AfxGetConfigManager()->GetString("LogMsg", "realloglevel", level);
    ZxCrash::SetDebugFlag(ZxCrash::IsDebugLogLevel(level));

    DuiLib::CSkinMgr::SetSkinRootPath(Dir::GetZxPath(Dir::kPathResource) + "skin\\");
    DuiLib::CPaintManagerUI::SetInstance(hInstance);

    g_pMainDlg = new CZxVCamDlg;
    if (g_pMainDlg->Create(nullptr, "", g_pMainDlg->GetCreateWindowStyle(), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT)) {
        g_pMainDlg->ShowWindow(true, true);
        DuiLib::CPaintManagerUI::MessageLoop();
    } else {
        YL_Log("Speed.txt", 3, "main", "the main window could not be created");
    }

    if (g_pMainDlg->GetHWND() && IsWindow(g_pMainDlg->GetHWND())) g_pMainDlg->SendMessage(WM_CLOSE);
    delete g_pMainDlg;
    g_pMainDlg = nullptr;
    AfxGetDataDllManager()->UnloadDataLibraries();
    YL_Log("Speed.txt", 0, "main", "WinMain: the kernel is unloaded; GDI+ shuts down");
    if (com) CoUninitialize();
    DuiLib::CImageMgr::RemoveAll();
    DuiLib::CPaintManagerUI::RemoveAllSharedFonts();
    if (gdiplusToken) Gdiplus::GdiplusShutdown(gdiplusToken);
    return 0;
}
