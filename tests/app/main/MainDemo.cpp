// The main window as a user sees it at a few moments (not a test; the
// screenshots in docs/ are taken of it): the window is built in this
// program with the kernel loaded, as ZxVCam.exe builds it, and driven with
// real mouse messages. With the test camera and microphone registered in
// the prefix for the camera and recording moments.
//   ZxMainDemo.exe --demo idle|camera|record|tray|filter|caption|border
//                  [--at X,Y] [--exit-after MS]
// The last three open the camera, choose a border, switch the caption on
// and choose a filter on the effects page, and end on that effect's page.
// Prints "demo shown" when the moment is on the screen.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "DuiLib/UIlib.h"
#include "TestDeviceSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVCamDlg.h"

using namespace DuiLib;

namespace {

std::string g_demo = "idle";
int g_step = 0;

void ClickControl(const char* name) {
    CControlUI* c = g_pMainDlg ? g_pMainDlg->FindControl(name) : nullptr;
    if (!c) return;
    const RECT rc = c->GetPos();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    const HWND h = g_pMainDlg->GetHWND();
    SendMessageW(h, WM_MOUSEMOVE, 0, at);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(h, WM_LBUTTONUP, 0, at);
    // The mouse leaves again, so no button is drawn hot in the picture.
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(5, 300));
}

void Shown() {
    std::printf("demo shown\n");
    std::fflush(stdout);
}

// Hovers the exit entry of the tray menu once it is up.
void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = CMenuUI::GetActiveMenuWindow();
    if (!menu) return;
    KillTimer(nullptr, id);
    SendMessageW(menu, WM_MOUSEMOVE, 0, MAKELPARAM(60, 4 + 30 + 15));
    Shown();
}

// The moments, one step a timer tick.
void CALLBACK StepTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ++g_step;
    if (g_demo == "idle" || g_demo == "tray") {
        KillTimer(nullptr, id);
        if (g_demo == "idle") {
            Shown();
            return;
        }
        // The tray icon's right click with the mouse near the screen's
        // lower right corner, as over a task bar.
        SetCursorPos(760, 560);
        SetTimer(nullptr, 0, 100, MenuTimer);
        PostMessageW(g_pMainDlg->GetHWND(), CZxVCamDlg::kTrayMessage, CZxVCamDlg::kTrayIconId, WM_RBUTTONUP);
    } else if (g_step == 1) {
        ClickControl("btnOpenCamera");
    } else if (g_demo == "camera" && g_step == 3) {
        KillTimer(nullptr, id);
        Shown();
    } else if (g_demo == "record" && g_step == 3) {
        ClickControl("btnRecordVideoBegin");
    } else if (g_demo == "record" && g_step == 10) {
        KillTimer(nullptr, id);
        Shown();
    } else if (g_demo == "filter" || g_demo == "caption" || g_demo == "border") {
        // One click a tick, as a user would go through the effects page.
        static const char* const kClicks[] = {"optionVideoEffect", "VE_optionBorder", "VEBorder_titleItem_0",
                                              "VE_optionVideoText", "VEText_checkboxEnable", "VE_optionPendant",
                                              "VEPendant_titleItem_1"};
        const int n = g_step - 2;
        if (n >= 0 && n < static_cast<int>(sizeof kClicks / sizeof kClicks[0])) {
            ClickControl(kClicks[n]);
        } else if (n == 7) {
            if (g_demo == "caption") ClickControl("VE_optionVideoText");
            else if (g_demo == "border") ClickControl("VE_optionBorder");
        } else if (n == 9) {
            KillTimer(nullptr, id);
            Shown();
        }
    }
}

void CALLBACK ExitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND menu = CMenuUI::GetActiveMenuWindow()) SendMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    if (g_pMainDlg && g_pMainDlg->GetHWND()) {
        if (g_demo == "record") ClickControl("btnRecordVideoEnd");
        DestroyWindow(g_pMainDlg->GetHWND());
    }
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    POINT at{-1, -1};
    int exitAfter = 20000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = WString2String(wargv[i]), value = WString2String(wargv[i + 1]);
        if (arg == "--demo") g_demo = value;
        else if (arg == "--at") std::sscanf(value.c_str(), "%ld,%ld", &at.x, &at.y);
        else if (arg == "--exit-after") exitAfter = std::atoi(value.c_str());
    }
    LocalFree(wargv);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Gdiplus::GdiplusStartupInput gdiIn;
    ULONG_PTR gdiToken = 0;
    Gdiplus::GdiplusStartup(&gdiToken, &gdiIn, nullptr);
    int status = 0;
    {
        std::unique_ptr<tdev::TestDevices> devices;
        if (g_demo != "idle" && g_demo != "tray") {
            devices = std::make_unique<tdev::TestDevices>();
            devices->AddCamera(L"ZxTestCamera0", L"USB 测试摄像头");
            devices->AddMicrophone(L"ZxTestMicrophone0", L"测试麦克风", 660, 6000);
        }
        AfxGetMessageManager();
        AfxGetDataDllManager()->LoadDataLibraries(0);
        if (devices) {
            // Recordings go to the scratch data folder, with the test microphone.
            const std::string records = Dir::GetZxPath(Dir::kPathUserData) + "Records\\";
            Dir::MakeDir(records);
            for (const char* key : {"VideoDir", "AudioDir", "ImageDir"})
                AfxGetConfigManager()->SetString("VSRecord", key, records.c_str(), 0);
            AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "测试麦克风", 0);
        }
        CSkinMgr::SetSkinRootPath(Dir::GetZxPath(Dir::kPathResource) + "skin\\");
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        g_pMainDlg = new CZxVCamDlg;
        if (!g_pMainDlg->Create(nullptr, "", g_pMainDlg->GetCreateWindowStyle(), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT)) {
            status = 1;
        } else {
            if (at.x >= 0) SetWindowPos(g_pMainDlg->GetHWND(), HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
            g_pMainDlg->ShowWindow(true, true);
            SetTimer(nullptr, 0, 700, StepTimer);
            SetTimer(nullptr, 0, static_cast<UINT>(exitAfter), ExitTimer);
            CPaintManagerUI::MessageLoop();
        }
        delete g_pMainDlg;
        g_pMainDlg = nullptr;
        AfxGetDataDllManager()->UnloadDataLibraries();
    }
    CImageMgr::RemoveAll();
    CPaintManagerUI::RemoveAllSharedFonts();
    Gdiplus::GdiplusShutdown(gdiToken);
    CoUninitialize();
    return status;
}
