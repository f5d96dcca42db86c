// CWindowWnd: class registration, the window procedure that routes messages
// to the object, the modal loop and window placement.
#include "DuiLib/UIBase.h"

#include "DuiLib/UIManager.h"
#include "UIInternal.h"

namespace DuiLib {

namespace {
const wchar_t kObjectProp[] = L"ZxDuiWindowObject";
}

bool RunModalLoop(const std::function<bool()>& running, const std::function<bool(const MSG&)>& stopOn,
                  bool skinKeys) {
    MSG msg;
    while (running()) {
        const BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) {
            // The WM_QUIT belongs to the outer loop: posted again for it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return true;
        }
        if (r < 0) break;
        if (stopOn && stopOn(msg)) break;
        if (skinKeys && CPaintManagerUI::TranslateMessage(&msg)) continue;
        ::TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return false;
}

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    // A window object must outlive its window; if it does not, the window
    // is destroyed here so no message reaches a deleted object.
    if (m_hWnd && IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        RemovePropW(h, kObjectProp);
        SetWindowLongPtrW(h, GWLP_USERDATA, 0);
        if (m_OldWndProc) SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_OldWndProc));
        m_hWnd = nullptr;
        DestroyWindow(h);
    }
}

std::string CWindowWnd::GetSuperClassName() const { return std::string(); }
UINT CWindowWnd::GetClassStyle() const { return 0; }

CWindowWnd* CWindowWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    return reinterpret_cast<CWindowWnd*>(GetPropW(hWnd, kObjectProp));
}

bool CWindowWnd::RegisterWindowClass() {
    std::wstring name = ToW(GetWindowClassName());
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    if (GetClassInfoExW(CPaintManagerUI::GetInstance(), name.c_str(), &wc)) return true;
    wc.cbSize = sizeof wc;
    wc.style = GetClassStyle();
    wc.lpfnWndProc = &CWindowWnd::WndProc;
    wc.hInstance = CPaintManagerUI::GetInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = name.c_str();
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        DuiLog(3, "CWindowWnd", "cannot register window class %s (error %lu)", GetWindowClassName().c_str(),
               GetLastError());
        return false;
    }
    return true;
}

bool CWindowWnd::RegisterSuperclass() {
    // A class built on a system class: same look and behaviour, our
    // procedure in front of the system one.
    std::wstring super = ToW(GetSuperClassName());
    std::wstring name = ToW(GetWindowClassName());
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    WNDCLASSEXW sys{};
    sys.cbSize = sizeof sys;
    if (!GetClassInfoExW(nullptr, super.c_str(), &sys) &&
        !GetClassInfoExW(CPaintManagerUI::GetInstance(), super.c_str(), &sys)) {
        DuiLog(3, "CWindowWnd", "no system class %s", GetSuperClassName().c_str());
        return false;
    }
    m_OldWndProc = sys.lpfnWndProc;
    if (GetClassInfoExW(CPaintManagerUI::GetInstance(), name.c_str(), &wc)) return true;
    sys.cbSize = sizeof sys;
    sys.lpfnWndProc = &CWindowWnd::ControlProc;
    sys.hInstance = CPaintManagerUI::GetInstance();
    sys.lpszClassName = name.c_str();
    if (!RegisterClassExW(&sys) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        DuiLog(3, "CWindowWnd", "cannot register class %s", GetWindowClassName().c_str());
        return false;
    }
    return true;
}

HWND CWindowWnd::Create(HWND hwndParent, const std::string& name, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                        HMENU hMenu) {
    return Create(hwndParent, name, dwStyle, dwExStyle, rc.left, rc.top, RectWidth(rc), RectHeight(rc), hMenu);
}

HWND CWindowWnd::Create(HWND hwndParent, const std::string& name, DWORD dwStyle, DWORD dwExStyle, int x, int y,
                        int cx, int cy, HMENU hMenu) {
    if (m_hWnd) return m_hWnd;
    bool ok = GetSuperClassName().empty() ? RegisterWindowClass() : RegisterSuperclass();
    if (!ok) return nullptr;
    HWND h = CreateWindowExW(dwExStyle, ToW(GetWindowClassName()).c_str(), ToW(name).c_str(), dwStyle, x, y, cx, cy,
                             hwndParent, hMenu, CPaintManagerUI::GetInstance(), this);
    if (!h) {
        DuiLog(3, "CWindowWnd", "CreateWindowEx of %s failed (error %lu)", GetWindowClassName().c_str(),
               GetLastError());
        m_hWnd = nullptr;
    }
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool bShow, bool bTakeFocus) {
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    ::ShowWindow(m_hWnd, bShow ? (bTakeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

UINT CWindowWnd::ShowModal() {
    if (!m_hWnd || !IsWindow(m_hWnd)) return 0;
    HWND owner = GetWindow(m_hWnd, GW_OWNER);
    m_bModal = true;
    m_nModalResult = 0;
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    if (owner) EnableWindow(owner, FALSE);
    RunModalLoop([this] { return m_hWnd && IsWindow(m_hWnd); }, nullptr, true);
    if (owner) {
        EnableWindow(owner, TRUE);
        SetFocus(owner);
    }
    m_bModal = false;
    return m_nModalResult;
}

void CWindowWnd::Close(UINT nRet) {
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    m_nModalResult = nRet;
    ::PostMessageW(m_hWnd, WM_CLOSE, static_cast<WPARAM>(nRet), 0);
}

void CWindowWnd::CenterWindow() {
    if (!m_hWnd || !IsWindow(m_hWnd)) return;
    RECT rcWnd;
    GetWindowRect(m_hWnd, &rcWnd);
    HWND owner = (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) ? GetParent(m_hWnd) : GetWindow(m_hWnd, GW_OWNER);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    RECT rcArea = mi.rcWork;
    RECT rcCenter = rcArea;
    if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &rcCenter);
    int w = RectWidth(rcWnd), h = RectHeight(rcWnd);
    int x = (rcCenter.left + rcCenter.right) / 2 - w / 2;
    int y = (rcCenter.top + rcCenter.bottom) / 2 - h / 2;
    if (GetWindowLongW(m_hWnd, GWL_STYLE) & WS_CHILD) {
        RECT rcParent;
        GetClientRect(owner, &rcParent);
        x = (RectWidth(rcParent) - w) / 2;
        y = (RectHeight(rcParent) - h) / 2;
    } else {
        x = (std::max)(static_cast<int>(rcArea.left), (std::min)(x, static_cast<int>(rcArea.right) - w));
        y = (std::max)(static_cast<int>(rcArea.top), (std::min)(y, static_cast<int>(rcArea.bottom) - h));
    }
    SetWindowPos(m_hWnd, nullptr, x, y, -1, -1, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
    if (!m_hWnd) return;
    RECT rc;
    if (!GetClientRect(m_hWnd, &rc)) return;
    if (cx != -1) rc.right = cx;
    if (cy != -1) rc.bottom = cy;
    AdjustWindowRectEx(&rc, static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE)),
                       GetMenu(m_hWnd) != nullptr, static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_EXSTYLE)));
    SetWindowPos(m_hWnd, nullptr, 0, 0, RectWidth(rc), RectHeight(rc), SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT nRes) {
    HICON big = static_cast<HICON>(LoadImageW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    if (big) ::SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    HICON small = static_cast<HICON>(LoadImageW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(nRes), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (small) ::SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (m_OldWndProc) return CallWindowProcW(m_OldWndProc, m_hWnd, uMsg, wParam, lParam);
    return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

LRESULT CWindowWnd::Route(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, bool superclass) {
    CWindowWnd* pThis = nullptr;
    if (uMsg == WM_NCCREATE) {
        auto cs = reinterpret_cast<LPCREATESTRUCTW>(lParam);
        pThis = static_cast<CWindowWnd*>(cs->lpCreateParams);
        pThis->m_hWnd = hWnd;
        SetPropW(hWnd, kObjectProp, pThis);
    } else {
        pThis = reinterpret_cast<CWindowWnd*>(GetPropW(hWnd, kObjectProp));
    }
    // A window built on a system class always knows that class's procedure.
    if (!pThis || (superclass && !pThis->m_OldWndProc)) return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    if (uMsg == WM_CLOSE && pThis->m_bModal) {
        // Give the owner back its input before this window goes, so the
        // activation returns to it rather than to another program.
        HWND owner = GetWindow(hWnd, GW_OWNER);
        if (owner) EnableWindow(owner, TRUE);
    }
    if (uMsg == WM_NCDESTROY) {
        LRESULT lRes = superclass ? CallWindowProcW(pThis->m_OldWndProc, hWnd, uMsg, wParam, lParam)
                                  : DefWindowProcW(hWnd, uMsg, wParam, lParam);
        RemovePropW(hWnd, kObjectProp);
        pThis->m_hWnd = nullptr;
        pThis->OnFinalMessage(hWnd);
        return lRes;
    }
    return pThis->HandleMessage(uMsg, wParam, lParam);
}

LRESULT CALLBACK CWindowWnd::WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return Route(hWnd, uMsg, wParam, lParam, false);
}

LRESULT CALLBACK CWindowWnd::ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return Route(hWnd, uMsg, wParam, lParam, true);
}

}  // namespace DuiLib
