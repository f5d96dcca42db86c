// The dialog viewer (not shipped): opens one of the program's dialogs with
// the kernel loaded and the background skins scanned, as the program shows
// them, so a person (or scripts/screenshot-dialogs.sh) can look at it.
//   DialogShow.exe --dialog setup|setup-voice|skins|clips|tip
//                  [--skin N]        background skin N (default: the saved one)
//                  [--at X,Y]        window position (default: centred)
//                  [--mouse X,Y]     the mouse rests at that client point
//                  [--text T]        the message tip's text
//                  [--exit-after MS] closes the window after that time
// Prints "dialog shown" once the window is up and painted.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "AppSession.h"
#include "DuiLib/UIlib.h"
#include "SettingKeys.h"
#include "SkinList.h"
#include "ZxAudioEffectDlg.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVMsgTip.h"
#include "ZxVSetupDlg.h"
#include "ZxVSkinMgrDlg.h"

using namespace DuiLib;

namespace {

DuiLib::CZxBaseDialog* g_dlg = nullptr;
POINT g_mouse{-1, -1};

bool ParsePoint(const char* text, POINT& pt) {
    return text && std::sscanf(text, "%ld,%ld", &pt.x, &pt.y) == 2;
}

void CALLBACK ShownTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_dlg && g_dlg->GetHWND() && g_mouse.x >= 0) {
        SendMessageW(g_dlg->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(g_mouse.x, g_mouse.y));
        g_dlg->GetPaintManager().UpdateNow();
    }
    std::printf("dialog shown\n");
    std::fflush(stdout);
}

void CALLBACK ExitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_dlg && g_dlg->GetHWND()) DestroyWindow(g_dlg->GetHWND());
    PostQuitMessage(0);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string dialog = "setup", text = "打开摄像头失败";
    int skin = -2, exitAfter = 0;
    POINT at{CW_USEDEFAULT, CW_USEDEFAULT};
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string arg = WString2String(wargv[i]), value = WString2String(wargv[i + 1]);
        if (arg == "--dialog") dialog = value;
        else if (arg == "--skin") skin = std::atoi(value.c_str());
        else if (arg == "--at") ParsePoint(value.c_str(), at);
        else if (arg == "--mouse") ParsePoint(value.c_str(), g_mouse);
        else if (arg == "--text") text = value;
        else if (arg == "--exit-after") exitAfter = std::atoi(value.c_str());
        else continue;
        ++i;
    }
    LocalFree(wargv);

    CAppSession session(GetModuleHandleW(nullptr), {Dir::GetZxPath(Dir::kPathResource) + "skin\\base\\", true});
    if (!session.KernelLoaded()) std::printf("the kernel did not load; devices stay empty\n");

    int status = 0;
    {
        CSkinList skins;
        skins.Scan(CSkinList::DefaultFolder());
        if (skin == -2) skin = Settings::GetInt(Settings::kSkinId, 0);
        skins.Apply(skin);

        std::unique_ptr<CZxBaseDialog> dlg;
        if (dialog == "setup" || dialog == "setup-voice") dlg = std::make_unique<CZxVSetupDlg>();
        else if (dialog == "skins") dlg = std::make_unique<CZxVSkinMgrDlg>(&skins);
        else if (dialog == "clips") dlg = std::make_unique<CZxAudioEffectDlg>();
        else if (dialog == "tip") {
            auto tip = std::make_unique<CZxVMsgTip>();
            tip->SetMsgText(text);
            dlg = std::move(tip);
        }
        if (!dlg || !dlg->ShowUnModalDlg(nullptr)) {
            std::printf("unknown dialog or no window: %s\n", dialog.c_str());
            status = 1;
        } else {
            g_dlg = dlg.get();
            if (at.x != CW_USEDEFAULT)
                SetWindowPos(dlg->GetHWND(), HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
            if (dialog == "setup-voice") {
                // As a click on the page's option does it.
                if (CControlUI* opt = dlg->FindControl("optionsetupVoice")) {
                    static_cast<COptionUI*>(opt->GetInterface("Option"))->Selected(true, false);
                    dlg->GetPaintManager().SendNotify(opt, "click");
                }
            }
            dlg->GetPaintManager().UpdateNow();
            SetTimer(nullptr, 0, 300, ShownTimer);
            if (exitAfter > 0) SetTimer(nullptr, 0, static_cast<UINT>(exitAfter), ExitTimer);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (!CPaintManagerUI::TranslateMessage(&msg)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
                if (!IsWindow(dlg->GetHWND()) || !IsWindowVisible(dlg->GetHWND())) break;
            }
            g_dlg = nullptr;
        }
    }
    return status;
}
