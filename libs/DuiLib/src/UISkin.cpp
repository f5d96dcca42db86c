// The skin manager and CZxBaseDialog.
#include "DuiLib/UISkin.h"

#include <map>

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

namespace {
struct SkinState {
    std::string root;
    std::string subject;
    DWORD subjectColor = static_cast<DWORD>(-1);
    std::vector<ISkinImplementer*> implementers;
    std::map<std::string, TBkCfg> bkcfg;
};
SkinState& State() {
    static auto* s = new SkinState;
    return *s;
}
}  // namespace

void CSkinMgr::SetSkinRootPath(const std::string& path) {
    State().root = path;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') State().root += '\\';
}

std::string CSkinMgr::GetSkinRootPath() { return State().root; }

void CSkinMgr::ChangeSubject(const std::string& bkImage, DWORD color, bool) {
    SkinState& s = State();
    if (!bkImage.empty() && !CImageMgr::GetImage(bkImage)) {
        // Loaded once here so every window shares it; a file that cannot be
        // read leaves the windows as they are.
        TImageInfo* img = CRenderEngine::LoadFullPathImageFile(bkImage);
        if (!img) {
            DuiLog(2, "CSkinMgr", "background picture %s cannot be loaded; skin unchanged", bkImage.c_str());
            return;
        }
        CImageMgr::AddImage(bkImage, img);
    }
    s.subject = bkImage;
    s.subjectColor = color;
    std::vector<ISkinImplementer*> list = s.implementers;
    for (ISkinImplementer* p : list) {
        if (std::find(s.implementers.begin(), s.implementers.end(), p) == s.implementers.end()) continue;
        p->OnSubjectChanged(bkImage, color);
    }
}

std::string CSkinMgr::GetSubjectImage() { return State().subject; }
DWORD CSkinMgr::GetSubjectColor() { return State().subjectColor; }

void CSkinMgr::AddImplementer(ISkinImplementer* p) {
    auto& v = State().implementers;
    if (p && std::find(v.begin(), v.end(), p) == v.end()) v.push_back(p);
}

void CSkinMgr::RemoveImplementer(ISkinImplementer* p) {
    auto& v = State().implementers;
    v.erase(std::remove(v.begin(), v.end(), p), v.end());
}

void CSkinMgr::AddBkCfg(const std::string& name, const TBkCfg& cfg) { State().bkcfg[name] = cfg; }

bool CSkinMgr::GetBkCfg(const std::string& name, TBkCfg& out) {
    auto it = State().bkcfg.find(name);
    if (it == State().bkcfg.end()) return false;
    out = it->second;
    return true;
}

// --------------------------------------------------------------- base dialog

CZxBaseDialog::CZxBaseDialog() = default;

CZxBaseDialog::~CZxBaseDialog() { CSkinMgr::RemoveImplementer(this); }

std::string CZxBaseDialog::GetWindowClassName() const { return m_sClassName; }
std::string CZxBaseDialog::GetSuperClassName() const { return std::string(); }
UINT CZxBaseDialog::GetClassStyle() const { return CS_DBLCLKS; }
void CZxBaseDialog::OnFinalMessage(HWND) {}
std::string CZxBaseDialog::GetBkCfgName() const { return std::string(); }

DWORD CZxBaseDialog::GetCreateWindowStyle() const {
    return WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
}

UINT CZxBaseDialog::ShowModalDlg(HWND hParent, bool bCenter) {
    if (!m_hWnd && !Create(hParent, "", GetCreateWindowStyle(), 0, 0, 0, 0, 0)) return 0;
    if (bCenter) CenterWindow();
    return ShowModal();
}

HWND CZxBaseDialog::ShowUnModalDlg(HWND hParent) {
    if (!m_hWnd) {
        if (!Create(hParent, "", GetCreateWindowStyle(), 0, 0, 0, 0, 0)) return nullptr;
        CenterWindow();
    }
    ShowWindow(true, true);
    return m_hWnd;
}

void CZxBaseDialog::Notify(TNotifyUI&) {}

void CZxBaseDialog::OnSubjectChanged(const std::string& bkImage, DWORD bkColor) {
    CControlUI* root = m_pm.GetRoot();
    if (!root) return;
    if (bkImage.empty()) {
        root->SetBkImage(m_sSkinBkImage);
    } else {
        TBkCfg cfg;
        std::string img = "file='" + bkImage + "'";
        if (CSkinMgr::GetBkCfg(GetBkCfgName(), cfg) && !cfg.modifiers.empty()) img += " " + cfg.modifiers;
        root->SetBkImage(img);
    }
    root->SetBkColor(bkColor == static_cast<DWORD>(-1) ? m_dwSkinBkColor : bkColor);
}

LRESULT CZxBaseDialog::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~WS_CAPTION;
    SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = m_sXMLPath.empty() ? nullptr : builder.Create(m_sXMLPath, m_pCallback, &m_pm);
    if (!root) {
        DuiLog(3, "CZxBaseDialog", "window %s: skin '%s' could not be built; the window stays empty",
               m_sClassName.c_str(), m_sXMLPath.c_str());
        root = new CVerticalLayoutUI;
        root->SetBkColor(0xFFF0F0F0);
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    const SIZE sz = m_pm.Scale(m_pm.GetInitSize());
    if (sz.cx > 0 && sz.cy > 0)
        SetWindowPos(m_hWnd, nullptr, 0, 0, sz.cx, sz.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    m_sSkinBkImage = root->GetBkImage();
    m_dwSkinBkColor = root->GetBkColor();
    CSkinMgr::AddImplementer(this);
    if (!CSkinMgr::GetSubjectImage().empty() || CSkinMgr::GetSubjectColor() != static_cast<DWORD>(-1))
        OnSubjectChanged(CSkinMgr::GetSubjectImage(), CSkinMgr::GetSubjectColor());
    return 0;
}

LRESULT CZxBaseDialog::OnTimer(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::OnDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    CSkinMgr::RemoveImplementer(this);
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::OnNcActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (IsIconic(m_hWnd)) {
        bHandled = FALSE;
        return 0;
    }
    // No system frame is drawn on activation changes.
    bHandled = TRUE;
    return wParam == 0 ? TRUE : FALSE;
}

LRESULT CZxBaseDialog::OnNcCalcSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    // The client area is the whole window: the skin draws every pixel.
    bHandled = TRUE;
    return 0;
}

LRESULT CZxBaseDialog::OnNcPaint(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    return 0;
}

LRESULT CZxBaseDialog::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    POINT pt{LParamX(lParam), LParamY(lParam)};
    ScreenToClient(m_hWnd, &pt);
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (!IsZoomed(m_hWnd)) {
        const RECT sb = m_pm.Scale(m_pm.GetSizeBox());
        const bool top = pt.y < client.top + sb.top, bottom = pt.y >= client.bottom - sb.bottom;
        const bool left = pt.x < client.left + sb.left, right = pt.x >= client.right - sb.right;
        if (top && left) return HTTOPLEFT;
        if (top && right) return HTTOPRIGHT;
        if (bottom && left) return HTBOTTOMLEFT;
        if (bottom && right) return HTBOTTOMRIGHT;
        if (top) return HTTOP;
        if (bottom) return HTBOTTOM;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
    }
    const RECT cap = m_pm.Scale(m_pm.GetCaptionRect());
    RECT rcCap{client.left + cap.left, client.top + cap.top, client.right - cap.right, client.top + cap.bottom};
    if (RectContains(rcCap, pt)) {
        // Over a control the user works with, the mouse belongs to it; over
        // the plain caption it moves the window.
        CControlUI* ctl = m_pm.FindControl(pt);
        if (!ctl || !(ctl->GetInterface("Button") || ctl->GetInterface("Edit") || ctl->GetInterface("Combo") ||
                      ctl->GetInterface("Slider") || ctl->GetInterface("ScrollBar")))
            return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT CZxBaseDialog::OnNcRButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnNcLButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnNcLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnNcMouseMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnSize(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnSizing(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnMoving(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &mi);
    // Maximised, the window covers the work area, not the task bar.
    mmi->ptMaxPosition.x = mi.rcWork.left - mi.rcMonitor.left;
    mmi->ptMaxPosition.y = mi.rcWork.top - mi.rcMonitor.top;
    mmi->ptMaxSize.x = RectWidth(mi.rcWork);
    mmi->ptMaxSize.y = RectHeight(mi.rcWork);
    const SIZE mn = m_pm.Scale(m_pm.GetMinInfo()), mx = m_pm.Scale(m_pm.GetMaxInfo());
    if (mn.cx > 0) mmi->ptMinTrackSize.x = mn.cx;
    if (mn.cy > 0) mmi->ptMinTrackSize.y = mn.cy;
    if (mx.cx > 0) mmi->ptMaxTrackSize.x = mx.cx;
    if (mx.cy > 0) mmi->ptMaxTrackSize.y = mx.cy;
    bHandled = TRUE;
    return 0;
}

LRESULT CZxBaseDialog::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    if ((wParam & 0xFFF0) == SC_CLOSE) {
        Close();
        return 0;
    }
    return DefWindowProcW(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CZxBaseDialog::OnMouseWheel(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnLButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnRButtonDown(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnRButtonUp(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnLButtonDblClk(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}
LRESULT CZxBaseDialog::OnMouseMove(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CZxBaseDialog::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: lRes = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_TIMER: lRes = OnTimer(uMsg, wParam, lParam, bHandled); break;
    case WM_KILLFOCUS: lRes = OnKillFocus(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: lRes = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_DESTROY: lRes = OnDestroy(uMsg, wParam, lParam, bHandled); break;
    case WM_NCACTIVATE: lRes = OnNcActivate(uMsg, wParam, lParam, bHandled); break;
    case WM_NCCALCSIZE: lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled); break;
    case WM_NCPAINT: lRes = OnNcPaint(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case WM_NCRBUTTONDOWN: lRes = OnNcRButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_NCLBUTTONDOWN: lRes = OnNcLButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_NCLBUTTONUP: lRes = OnNcLButtonUp(uMsg, wParam, lParam, bHandled); break;
    case WM_NCMOUSEMOVE: lRes = OnNcMouseMove(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZE: lRes = OnSize(uMsg, wParam, lParam, bHandled); break;
    case WM_SIZING: lRes = OnSizing(uMsg, wParam, lParam, bHandled); break;
    case WM_MOVE: lRes = OnMove(uMsg, wParam, lParam, bHandled); break;
    case WM_MOVING: lRes = OnMoving(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: lRes = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEWHEEL: lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONDOWN: lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONUP: lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled); break;
    case WM_RBUTTONDOWN: lRes = OnRButtonDown(uMsg, wParam, lParam, bHandled); break;
    case WM_RBUTTONUP: lRes = OnRButtonUp(uMsg, wParam, lParam, bHandled); break;
    case WM_LBUTTONDBLCLK: lRes = OnLButtonDblClk(uMsg, wParam, lParam, bHandled); break;
    case WM_MOUSEMOVE: lRes = OnMouseMove(uMsg, wParam, lParam, bHandled); break;
    default: bHandled = FALSE; break;
    }
    if (bHandled) return lRes;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

}  // namespace DuiLib
