// A remote control for the running program (not shipped), for scripts:
//   ZxVCamCtl.exe wait SECONDS   waits until the main window is shown; prints
//                                "window X Y WIDTH HEIGHT" (screen pixels)
//   ZxVCamCtl.exe tray-exit      ends the program as a user does from the
//                                tray: a right click on the tray icon opens
//                                the menu, a click on "退出" closes the window
// Exit code 0 on success, 1 when there is no main window or no menu.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const UINT kTrayMessage = 2557;
const UINT kTrayIconId = 109;

HWND FindMainWindow(bool visible) {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (GetPropW(w, L"ZxVCamMainWnd") && (!visible || IsWindowVisible(w))) return w;
    return nullptr;
}

HWND FindMenu(DWORD pid) {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        wchar_t cls[32] = {};
        GetClassNameW(w, cls, 32);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && lstrcmpW(cls, L"ZxDuiMenu") == 0 && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

int Wait(double seconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    for (;;) {
        if (HWND w = FindMainWindow(true)) {
            RECT rc;
            GetWindowRect(w, &rc);
            std::printf("window %ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
            return 0;
        }
        if (static_cast<int>(end - GetTickCount()) <= 0) break;
        Sleep(100);
    }
    std::printf("no main window\n");
    return 1;
}

int TrayExit() {
    HWND main = FindMainWindow(false);
    if (!main) {
        std::printf("no main window\n");
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    // Posted, not sent: the program runs the menu inside its handler.
    PostMessageW(main, kTrayMessage, kTrayIconId, WM_RBUTTONUP);
    HWND menu = nullptr;
    for (int i = 0; i < 100 && !menu; ++i) {
        Sleep(50);
        menu = FindMenu(pid);
    }
    if (!menu) {
        std::printf("the tray menu did not open\n");
        return 1;
    }
    // "退出" is the second entry: below a 4-pixel inset, entries 30 high.
    const LPARAM at = MAKELPARAM(40, 4 + 30 + 15);
    PostMessageW(menu, WM_MOUSEMOVE, 0, at);
    PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(menu, WM_LBUTTONUP, 0, at);
    std::printf("chose 退出 in the tray menu\n");
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    int status = 2;
    if (argc >= 3 && lstrcmpW(argv[1], L"wait") == 0) status = Wait(_wtof(argv[2]));
    else if (argc >= 2 && lstrcmpW(argv[1], L"tray-exit") == 0) status = TrayExit();
    else std::printf("usage: ZxVCamCtl wait SECONDS | tray-exit\n");
    LocalFree(argv);
    std::fflush(stdout);
    return status;
}
