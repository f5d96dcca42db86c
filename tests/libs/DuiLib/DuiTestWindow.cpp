#include "DuiTestWindow.h"

using namespace DuiLib;

namespace duitest {

void GdiplusEnvironment::SetUp() {
    Gdiplus::GdiplusStartupInput in;
    Gdiplus::GdiplusStartup(&m_token, &in, nullptr);
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
}

void GdiplusEnvironment::TearDown() {
    CImageMgr::RemoveAll();
    CPaintManagerUI::RemoveAllSharedFonts();
    Gdiplus::GdiplusShutdown(m_token);
}

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

void ClickAt(HWND h, POINT pt) {
    const LPARAM at = MAKELPARAM(pt.x, pt.y);
    SendMessageW(h, WM_MOUSEMOVE, 0, at);
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(h, WM_LBUTTONUP, 0, at);
}

DWORD ScreenPixel(HWND wnd, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(wnd, &pt);
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, pt.x, pt.y);
    ReleaseDC(nullptr, screen);
    return static_cast<DWORD>(GetRValue(c)) << 16 | static_cast<DWORD>(GetGValue(c)) << 8 | GetBValue(c);
}

void ClickListItem(CComboUI* combo, int index) {
    const int itemH = combo->GetItemHeight();
    ClickAt(combo->GetDropWindow(), POINT{20, 1 + itemH * index + itemH / 2});
    Pump();
}

void WindowDriver::Open(CZxBaseDialog* dlg, const std::string& title, DWORD style) {
    m_dlg = dlg;
    HWND h = m_dlg->Create(nullptr, title, style, 0, 0, 0, 0, 0);
    EXPECT_TRUE(h != nullptr);
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    m_dlg->ShowWindow(true, true);
    pm().AddNotifier(&rec);
    pm().UpdateNow();
    Pump();
}

void WindowDriver::Close() {
    if (!m_dlg) return;
    pm().RemoveNotifier(&rec);
    if (hwnd()) DestroyWindow(hwnd());
    Pump();
    m_dlg = nullptr;
}

POINT WindowDriver::Center(const CControlUI* c) {
    EXPECT_TRUE(c != nullptr);
    if (!c) return POINT{-1, -1};
    const RECT& rc = c->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

POINT WindowDriver::Center(const std::string& name) {
    CControlUI* c = Find(name);
    EXPECT_TRUE(c != nullptr) << name;
    return c ? Center(c) : POINT{-1, -1};
}

void WindowDriver::Move(POINT pt, WPARAM keys) { SendMessageW(hwnd(), WM_MOUSEMOVE, keys, MAKELPARAM(pt.x, pt.y)); }

void WindowDriver::Down(POINT pt, WPARAM keys) {
    Move(pt, keys);
    SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(pt.x, pt.y));
}

void WindowDriver::Up(POINT pt, WPARAM keys) { SendMessageW(hwnd(), WM_LBUTTONUP, keys, MAKELPARAM(pt.x, pt.y)); }

void WindowDriver::Click(POINT pt, WPARAM keys) {
    Down(pt, keys);
    Up(pt, keys);
}

void WindowDriver::RightClick(POINT pt) {
    Move(pt);
    SendMessageW(hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void WindowDriver::DoubleClick(POINT pt) {
    Click(pt);
    SendMessageW(hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    Up(pt);
}

void WindowDriver::Wheel(POINT pt, int notches, WPARAM keys) {
    POINT s = pt;
    ClientToScreen(hwnd(), &s);
    SendMessageW(hwnd(), WM_MOUSEWHEEL,
                 MAKEWPARAM(keys, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))), MAKELPARAM(s.x, s.y));
}

void WindowDriver::Key(UINT vk) {
    HWND target = GetFocus() ? GetFocus() : hwnd();
    SendMessageW(target, WM_KEYDOWN, vk, 0);
    SendMessageW(target, WM_KEYUP, vk, 0xC0000000);
}

DWORD WindowDriver::Pixel(int x, int y) {
    pm().UpdateNow();
    return pm().GetBackBufferPixel(x, y);
}

template <class Test>
int WindowDriver::CountPixels(const RECT& rc, Test test) {
    pm().UpdateNow();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x)
            if (test(pm().GetBackBufferPixel(x, y))) ++n;
    return n;
}

int WindowDriver::CountColor(const RECT& rc, DWORD c) {
    return CountPixels(rc, [c](DWORD p) { return (p & 0xFFFFFF) == (c & 0xFFFFFF); });
}

int WindowDriver::DarkPixels(const RECT& rc, int threshold) {
    return CountPixels(rc, [threshold](DWORD p) { return R(p) + G(p) + B(p) < threshold; });
}

int WindowDriver::BrightPixels(const RECT& rc, int threshold) {
    return CountPixels(rc, [threshold](DWORD p) { return R(p) + G(p) + B(p) > threshold; });
}

}  // namespace duitest
