#include "DuiTestSupport.h"

#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace duitest {

namespace {
class GdiplusEnv : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput in;
        Gdiplus::GdiplusStartup(&m_token, &in, nullptr);
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        CSkinMgr::SetSkinRootPath(GallerySkinDir());
    }
    void TearDown() override {
        CImageMgr::RemoveAll();
        CPaintManagerUI::RemoveAllSharedFonts();
        Gdiplus::GdiplusShutdown(m_token);
    }

private:
    ULONG_PTR m_token = 0;
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new GdiplusEnv);
}  // namespace

std::string GallerySkinDir() { return Dir::GetCurrentPath() + "gallery\\"; }

void Pump(int ms) {
    DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms > 0) Sleep(5);
    } while (ms > 0 && static_cast<int>(end - GetTickCount()) > 0);
}

GalleryWindow::GalleryWindow() {
    CSkinMgr::SetSkinRootPath(GallerySkinDir());
    HWND h = dlg.Create(nullptr, "gallery test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, 0);
    EXPECT_TRUE(h != nullptr);
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    dlg.ShowWindow(true, true);
    pm().AddNotifier(&rec);
    pm().UpdateNow();
    Pump();
}

GalleryWindow::~GalleryWindow() {
    pm().RemoveNotifier(&rec);
    if (hwnd()) DestroyWindow(hwnd());
    Pump();
}

POINT GalleryWindow::Center(const std::string& name) {
    CControlUI* c = Find(name);
    EXPECT_TRUE(c != nullptr) << name;
    if (!c) return POINT{-1, -1};
    const RECT& rc = c->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void GalleryWindow::Move(POINT pt, WPARAM keys) { SendMessageW(hwnd(), WM_MOUSEMOVE, keys, MAKELPARAM(pt.x, pt.y)); }
void GalleryWindow::Down(POINT pt) {
    Move(pt);
    SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
}
void GalleryWindow::Up(POINT pt) { SendMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y)); }
void GalleryWindow::Click(const std::string& name) { Click(Center(name)); }
void GalleryWindow::Click(POINT pt) {
    Down(pt);
    Up(pt);
}
void GalleryWindow::RightClick(POINT pt) {
    Move(pt);
    SendMessageW(hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}
void GalleryWindow::DoubleClick(POINT pt) {
    Click(pt);
    SendMessageW(hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    Up(pt);
}
void GalleryWindow::Wheel(POINT pt, int notches) {
    POINT s = pt;
    ClientToScreen(hwnd(), &s);
    SendMessageW(hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
                 MAKELPARAM(s.x, s.y));
}
void GalleryWindow::Key(UINT vk) {
    HWND target = GetFocus() ? GetFocus() : hwnd();
    SendMessageW(target, WM_KEYDOWN, vk, 0);
    SendMessageW(target, WM_KEYUP, vk, 0xC0000000);
}

DWORD GalleryWindow::Pixel(int x, int y) {
    pm().UpdateNow();
    return pm().GetBackBufferPixel(x, y);
}

int GalleryWindow::DarkPixels(const RECT& rc, int threshold) {
    pm().UpdateNow();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x) {
            DWORD p = pm().GetBackBufferPixel(x, y);
            int sum = static_cast<int>(((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF));
            if (sum < threshold) ++n;
        }
    return n;
}

}  // namespace duitest
