// The gallery program (not shipped): shows every control of the skinned
// window library from the skin in "gallery\" beside the program.
//   Gallery.exe                 shows the window until it is closed
//   Gallery.exe --at X,Y        places the window there
//   Gallery.exe --exit-after MS closes it after that many milliseconds
//   Gallery.exe --menu-at X,Y   opens the menu at that client point once shown
//   Gallery.exe --bench         prints the painting figures and ends
//   Gallery.exe --controls      shows the program's own controls instead
//   Gallery.exe --controls --demo X,Y
//                               with a multi-selection, a tile counting down
//                               and the mouse at that client point
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "AppSession.h"
#include "ControlsDlg.h"
#include "GalleryDlg.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Paints the whole window repeatedly, then a hover and a press over one
// button, then scrolls, and prints the time of each and the area repainted.
void Bench(CGalleryDlg& dlg) {
    CPaintManagerUI& pm = dlg.GetPaintManager();
    HWND h = dlg.GetHWND();
    pm.UpdateNow();
    std::vector<double> full, layout;
    for (int i = 0; i < 40; ++i) {
        pm.Invalidate(RECT{0, 0, 32767, 32767});
        pm.UpdateNow();
        full.push_back(pm.GetPaintStats().lastMs);
    }
    for (int i = 0; i < 20; ++i) {
        pm.GetRoot()->NeedUpdate();
        pm.UpdateNow();
        layout.push_back(pm.GetPaintStats().lastMs);
    }
    CControlUI* btn = pm.FindControl("btnNormal");
    RECT rc = btn->GetPos();
    const LPARAM inside = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    std::vector<double> hover, press;
    RECT hoverRect{}, pressRect{};
    for (int i = 0; i < 20; ++i) {
        SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(2, 300));
        pm.UpdateNow();
        SendMessageW(h, WM_MOUSEMOVE, 0, inside);
        pm.UpdateNow();
        hover.push_back(pm.GetPaintStats().lastMs);
        hoverRect = pm.GetPaintStats().lastRect;
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, inside);
        pm.UpdateNow();
        press.push_back(pm.GetPaintStats().lastMs);
        pressRect = pm.GetPaintStats().lastRect;
        // Released outside, so no click (and no status change) follows.
        SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(2, 300));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(2, 300));
        pm.UpdateNow();
    }
    // Scrolling: the tile list one row down and back with the wheel, the
    // wide strip one line sideways with Shift+wheel.
    std::vector<double> scroll;
    RECT scrollRect{};
    for (const char* name : {"tileList", "stripWide"}) {
        CControlUI* box = pm.FindControl(name);
        if (!box) continue;
        RECT br = box->GetPos();
        POINT s{(br.left + br.right) / 2, (br.top + br.bottom) / 2};
        ClientToScreen(h, &s);
        const WPARAM keys = std::strcmp(name, "stripWide") == 0 ? MK_SHIFT : 0;
        for (int i = 0; i < 10; ++i) {
            for (short delta : {static_cast<short>(-WHEEL_DELTA), static_cast<short>(WHEEL_DELTA)}) {
                SendMessageW(h, WM_MOUSEWHEEL, MAKEWPARAM(keys, static_cast<WORD>(delta)), MAKELPARAM(s.x, s.y));
                pm.UpdateNow();
                scroll.push_back(pm.GetPaintStats().lastMs);
            }
        }
        scrollRect = pm.GetPaintStats().lastRect;
    }
    SIZE sz = pm.GetBackBufferSize();
    std::printf("gallery %ldx%ld, painted with GDI+ into a 32-bit back buffer\n", sz.cx, sz.cy);
    std::printf("full paint:          median %.2f ms (min %.2f, max %.2f, %zu runs)\n", Median(full),
                *std::min_element(full.begin(), full.end()), *std::max_element(full.begin(), full.end()),
                full.size());
    std::printf("layout + full paint: median %.2f ms\n", Median(layout));
    std::printf("hover repaint:       median %.2f ms, area %ldx%ld at %ld,%ld\n", Median(hover),
                hoverRect.right - hoverRect.left, hoverRect.bottom - hoverRect.top, hoverRect.left, hoverRect.top);
    std::printf("press repaint:       median %.2f ms, area %ldx%ld at %ld,%ld\n", Median(press),
                pressRect.right - pressRect.left, pressRect.bottom - pressRect.top, pressRect.left, pressRect.top);
    if (!scroll.empty())
        std::printf("scroll repaint:      median %.2f ms (tile list and strip; last area %ldx%ld at %ld,%ld)\n",
                    Median(scroll), scrollRect.right - scrollRect.left, scrollRect.bottom - scrollRect.top,
                    scrollRect.left, scrollRect.top);
    std::fflush(stdout);
}

CGalleryDlg* g_dlg = nullptr;
CControlsDlg* g_controls = nullptr;
POINT g_menuAt{-1, -1};
POINT g_demoAt{-1, -1};

// The end of a timed run: a menu still open is dismissed, then the window
// goes (which ends the message loop).
void CALLBACK ExitTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (HWND menu = CMenuUI::GetActiveMenuWindow()) SendMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    if (g_dlg && g_dlg->GetHWND()) DestroyWindow(g_dlg->GetHWND());
    if (g_controls && g_controls->GetHWND()) DestroyWindow(g_controls->GetHWND());
}

void CALLBACK DemoTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_controls && g_controls->GetHWND()) g_controls->ShowDemoState(g_demoAt);
    std::printf("gallery shown\n");
    std::fflush(stdout);
}

// The window of the program's own controls, until it is closed.
int RunControls(int x, int y, int exitAfter) {
    CControlsDlg dlg;
    dlg.SetQuitOnDestroy(true);
    if (!dlg.Create(nullptr, "自有控件展示", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, 0)) return 1;
    if (x == CW_USEDEFAULT) dlg.CenterWindow();
    else SetWindowPos(dlg.GetHWND(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    dlg.ShowWindow(true, true);
    g_controls = &dlg;
    if (exitAfter > 0) SetTimer(nullptr, 0, static_cast<UINT>(exitAfter), ExitTimer);
    if (g_demoAt.x >= 0) {
        SetTimer(nullptr, 0, 200, DemoTimer);
    } else {
        std::printf("gallery shown\n");
        std::fflush(stdout);
    }
    CPaintManagerUI::MessageLoop();
    g_controls = nullptr;
    return 0;
}

void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    std::printf("gallery shown\n");
    std::fflush(stdout);
    if (g_dlg && g_dlg->GetHWND()) g_dlg->ShowMenu(g_menuAt);
}

}  // namespace

int main(int argc, char** argv) {
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, exitAfter = 0;
    bool bench = false, controls = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--bench")) bench = true;
        else if (!std::strcmp(argv[i], "--at") && i + 1 < argc) std::sscanf(argv[++i], "%d,%d", &x, &y);
        else if (!std::strcmp(argv[i], "--exit-after") && i + 1 < argc) exitAfter = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--controls")) controls = true;
        else if (!std::strcmp(argv[i], "--demo") && i + 1 < argc)
            std::sscanf(argv[++i], "%ld,%ld", &g_demoAt.x, &g_demoAt.y);
        else if (!std::strcmp(argv[i], "--menu-at") && i + 1 < argc)
            std::sscanf(argv[++i], "%ld,%ld", &g_menuAt.x, &g_menuAt.y);
    }
    // The gallery shows the skinned-window library alone: no kernel.
    CAppSession session(GetModuleHandleW(nullptr), {Dir::GetCurrentPath() + "gallery\\", false});
    int rc = 0;
    if (controls) {
        rc = RunControls(x, y, exitAfter);
    } else {
        CGalleryDlg dlg;
        dlg.SetQuitOnDestroy(true);
        if (!dlg.Create(nullptr, "DuiLib 控件展示", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, 0)) return 1;
        if (x == CW_USEDEFAULT) dlg.CenterWindow();
        else SetWindowPos(dlg.GetHWND(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        dlg.ShowWindow(true, true);
        if (bench) {
            Bench(dlg);
            DestroyWindow(dlg.GetHWND());
        } else {
            g_dlg = &dlg;
            if (exitAfter > 0) SetTimer(nullptr, 0, static_cast<UINT>(exitAfter), ExitTimer);
            if (g_menuAt.x >= 0) {
                SetTimer(nullptr, 0, 200, MenuTimer);
            } else {
                std::printf("gallery shown\n");
                std::fflush(stdout);
            }
            CPaintManagerUI::MessageLoop();
            g_dlg = nullptr;
        }
    }
    return rc;
}
