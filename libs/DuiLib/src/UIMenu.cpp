// CMenuUI: a popup menu drawn by its own paint manager, run in a modal
// loop until an entry is chosen or the menu is dismissed.
#include "DuiLib/UIMenu.h"

#include "DuiLib/UIContainer.h"
#include "DuiLib/UIRender.h"
#include "DuiLib/UISkin.h"
#include "UIInternal.h"
#include "ZxLib/ZxLib.h"

namespace DuiLib {

namespace {

HWND g_activeMenu = nullptr;

const int kMenuWidthMin = 120;
const int kIconArea = 28;
const int kSeparatorHeight = 9;

class CMenuElementUI : public CControlUI {
public:
    CMenuElementUI(const ZxMenuItem& item, int index, const TBkCfg& look) : m_item(item), m_index(index) {
        if (look.textColor) m_text = look.textColor;
        if (look.hotColor) m_hot = look.hotColor;
        m_hotText = look.hotTextColor ? look.hotTextColor : m_text;
        if (look.lineColor) m_line = look.lineColor;
        SetFixedHeight(item.bSeparator ? kSeparatorHeight : CMenuUI::kItemHeight);
        SetEnabled(item.bEnabled && !item.bSeparator);
        m_sText = item.sText;
    }
    std::string GetClass() const override { return "MenuElementUI"; }
    void* GetInterface(const std::string& name) override {
        if (name == "MenuElement") return this;
        return CControlUI::GetInterface(name);
    }
    int GetIndex() const { return m_index; }
    bool IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }
    void SetHot(bool hot) {
        if (hot) m_uButtonState |= UISTATE_HOT;
        else m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
    }
    void DoEvent(TEventUI& event) override {
        if (TrackHot(event)) return;
        switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_RBUTTONDOWN:
        case UIEVENT_DBLCLICK:
            return;
        case UIEVENT_BUTTONUP:
        case UIEVENT_RBUTTONUP:
            if (RectContains(m_rcItem, event.ptMouse) && m_pManager) m_pManager->SendNotify(this, "click");
            return;
        default:
            break;
        }
        CControlUI::DoEvent(event);
    }
    void DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) override {
        if (RectEmpty(RectIntersect(rcPaint, m_rcItem))) return;
        m_rcPaint = RectIntersect(rcPaint, m_rcItem);
        if (m_item.bSeparator) {
            const LONG y = (m_rcItem.top + m_rcItem.bottom) / 2;
            CRenderEngine::DrawColor(
                g, RECT{m_rcItem.left + Px(this, 6), y, m_rcItem.right - Px(this, 6), y + Px(this, 1)}, m_line);
            return;
        }
        const bool hot = IsHot() && IsEnabled();
        if (hot) CRenderEngine::DrawColor(g, m_rcItem, m_hot);
        const std::string& icon = (hot && !m_item.sIconHot.empty()) ? m_item.sIconHot : m_item.sIcon;
        if (!icon.empty()) {
            const int s = 16;
            const int x = (kIconArea - s) / 2;
            const int y = Unpx(this, (RectHeight(m_rcItem) - Px(this, s)) / 2);
            DrawImage(g, icon, "dest='" + std::to_string(x) + "," + std::to_string(y) + "," + std::to_string(x + s) +
                                   "," + std::to_string(y + s) + "'");
        }
        RECT rcText{m_rcItem.left + Px(this, kIconArea), m_rcItem.top, m_rcItem.right - Px(this, 8), m_rcItem.bottom};
        CRenderEngine::DrawText(g, m_pManager, rcText, m_sText, !IsEnabled() ? 0xFFA0A0A0 : hot ? m_hotText : m_text, "",
                                DT_SINGLELINE | DT_VCENTER | DT_LEFT);
    }

private:
    ZxMenuItem m_item;
    int m_index;
    DWORD m_text = 0xFF202020;
    DWORD m_hot = 0xFFE5F1FB;
    DWORD m_hotText = 0xFF202020;
    DWORD m_line = 0xFFD0D0D0;
};

}  // namespace

class CMenuWnd : public CWindowWnd, public INotifyUI {
public:
    CMenuWnd(const std::vector<ZxMenuItem>& items, const std::string& bkCfg) : m_items(items), m_bkCfg(bkCfg) {}

    bool m_done = false;
    int m_result = -1;

    void Notify(TNotifyUI& msg) override {
        if (msg.sType != "click" || !msg.pSender) return;
        auto* e = static_cast<CMenuElementUI*>(msg.pSender->GetInterface("MenuElement"));
        if (!e || !e->IsEnabled()) return;
        Finish(m_items[static_cast<size_t>(e->GetIndex())].nID);
    }

    void Finish(int result) {
        if (m_done) return;
        m_done = true;
        m_result = result;
    }

    SIZE Measure() {
        int w = kMenuWidthMin, h = 8;
        for (const auto& it : m_items) {
            h += it.bSeparator ? kSeparatorHeight : CMenuUI::kItemHeight;
            if (!it.bSeparator) {
                SIZE sz = CRenderEngine::MeasureText(&m_pm, it.sText, "");
                w = (std::max)(w, m_pm.Unscale(static_cast<int>(sz.cx)) + kIconArea + 24);
            }
        }
        return m_pm.Scale(SIZE{w, h});
    }

    CPaintManagerUI m_pm;

protected:
    std::string GetWindowClassName() const override { return "ZxDuiMenu"; }
    UINT GetClassStyle() const override { return CS_DROPSHADOW; }

    void Build() {
        auto* root = new CVerticalLayoutUI;
        TBkCfg cfg;
        root->SetBkColor(0xFFFFFFFF);
        root->SetBorderColor(0xFFB0B0B0);
        root->SetBorderSize(1);
        if (CSkinMgr::GetBkCfg(m_bkCfg, cfg)) {
            if (cfg.color) root->SetBkColor(cfg.color);
            if (cfg.borderColor) root->SetBorderColor(cfg.borderColor);
            if (!cfg.image.empty()) {
                std::string img = cfg.image.find('\'') == std::string::npos ? "file='" + cfg.image + "'" : cfg.image;
                root->SetBkImage(img + (cfg.modifiers.empty() ? "" : " " + cfg.modifiers));
            }
        }
        root->SetInset(RECT{1, 4, 1, 4});
        for (size_t i = 0; i < m_items.size(); ++i) root->Add(new CMenuElementUI(m_items[i], static_cast<int>(i), cfg));
        m_pm.AttachDialog(root);
        m_pm.AddNotifier(this);
    }

    void MoveHot(int dir) {
        auto* root = static_cast<CContainerUI*>(m_pm.GetRoot());
        if (!root || root->GetCount() == 0) return;
        int cur = -1;
        for (int i = 0; i < root->GetCount(); ++i)
            if (static_cast<CMenuElementUI*>(root->GetItemAt(i))->IsHot()) cur = i;
        int n = root->GetCount();
        for (int step = 1; step <= n; ++step) {
            int next = ((cur < 0 ? (dir > 0 ? -1 : 0) : cur) + dir * step + n * 2) % n;
            auto* e = static_cast<CMenuElementUI*>(root->GetItemAt(next));
            if (!e->IsEnabled()) continue;
            for (int i = 0; i < n; ++i) static_cast<CMenuElementUI*>(root->GetItemAt(i))->SetHot(i == next);
            return;
        }
    }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        LRESULT lRes = 0;
        switch (uMsg) {
        case WM_CREATE:
            m_pm.Init(m_hWnd);
            Build();
            return 0;
        case WM_KILLFOCUS:
            // Focus gone elsewhere: the menu is dismissed.
            if (reinterpret_cast<HWND>(wParam) != m_hWnd && !WinesOwnDeactivation()) Finish(-1);
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE && !WinesOwnDeactivation()) Finish(-1);
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE || wParam == VK_LEFT) {
                Finish(-1);
                return 0;
            }
            if (wParam == VK_UP || wParam == VK_DOWN) {
                MoveHot(wParam == VK_UP ? -1 : 1);
                return 0;
            }
            if (wParam == VK_RETURN || wParam == VK_SPACE) {
                auto* root = static_cast<CContainerUI*>(m_pm.GetRoot());
                for (int i = 0; root && i < root->GetCount(); ++i) {
                    auto* e = static_cast<CMenuElementUI*>(root->GetItemAt(i));
                    if (e->IsHot() && e->IsEnabled()) Finish(m_items[static_cast<size_t>(i)].nID);
                }
                return 0;
            }
            break;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            break;
        }
        if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

private:
    // Under Wine on an X display without a window manager, the X input
    // focus follows the pointer into a menu that maps under it and then
    // falls back to the root a moment later; Wine turns that into a
    // deactivation of the menu that nobody asked for, and the menu closed
    // before the user could choose. Under Wine, a deactivation while the
    // pointer is on the menu is therefore not taken as a dismissal (a press
    // outside the menu still dismisses it). On Windows every deactivation
    // dismisses the menu, as the system's menus do.
    bool WinesOwnDeactivation() const {
        POINT pt;
        RECT rc;
        return Process::RunsUnderWine() && GetCursorPos(&pt) && GetWindowRect(m_hWnd, &rc) && PtInRect(&rc, pt);
    }

    std::vector<ZxMenuItem> m_items;
    std::string m_bkCfg;
};

CMenuUI::CMenuUI(const std::string& bkCfgName) : m_bkCfg(bkCfgName) {}

CMenuUI::~CMenuUI() = default;

void CMenuUI::AddItem(const ZxMenuItem& item) { m_items.push_back(item); }

void CMenuUI::AddItem(int id, const std::string& text, const std::string& icon, const std::string& iconHot) {
    ZxMenuItem it;
    it.nID = id;
    it.sText = text;
    it.sIcon = icon;
    it.sIconHot = iconHot;
    m_items.push_back(it);
}

void CMenuUI::AddSeparator() {
    ZxMenuItem it;
    it.bSeparator = true;
    it.nID = -1;
    m_items.push_back(it);
}

HWND CMenuUI::GetActiveMenuWindow() { return g_activeMenu; }

int CMenuUI::TrackPopupMenu(HWND hOwner, POINT pt) {
    if (g_activeMenu || m_items.empty()) return -1;
    CMenuWnd wnd(m_items, m_bkCfg);
    // Measured at the scale of the window the menu belongs to (of the
    // system for a menu without one).
    wnd.m_pm.SetDpi(CPaintManagerUI::DpiOfWindow(hOwner ? GetAncestor(hOwner, GA_ROOT) : nullptr));
    SIZE sz = wnd.Measure();
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi);
    // Kept on the screen: flipped to the left or upwards of the point when
    // it would leave the work area.
    if (pt.x + sz.cx > mi.rcWork.right) pt.x = (std::max)(mi.rcWork.left, pt.x - sz.cx);
    if (pt.y + sz.cy > mi.rcWork.bottom) pt.y = (std::max)(mi.rcWork.top, pt.y - sz.cy);
    HWND owner = hOwner ? GetAncestor(hOwner, GA_ROOT) : nullptr;
    if (!wnd.Create(owner, "", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, pt.x, pt.y, sz.cx, sz.cy)) return -1;
    g_activeMenu = wnd.GetHWND();
    // The owner comes to the front first (a tray menu may open while it is
    // hidden or behind others); then the menu takes the activation.
    if (owner) SetForegroundWindow(owner);
    ::ShowWindow(wnd.GetHWND(), SW_SHOW);
    ::SetFocus(wnd.GetHWND());
    const HWND hMenu = wnd.GetHWND();
    RunModalLoop([&] { return !wnd.m_done && IsWindow(hMenu); },
                 [&](const MSG& msg) {
                     // A button press anywhere outside the menu dismisses
                     // it, and is used up by that (as with the system's
                     // menus).
                     const bool press = msg.message == WM_LBUTTONDOWN || msg.message == WM_RBUTTONDOWN ||
                                        msg.message == WM_MBUTTONDOWN || msg.message == WM_NCLBUTTONDOWN ||
                                        msg.message == WM_NCRBUTTONDOWN;
                     if (!press || msg.hwnd == hMenu) return false;
                     wnd.Finish(-1);
                     return true;
                 },
                 false);
    int result = wnd.m_done ? wnd.m_result : -1;
    g_activeMenu = nullptr;
    if (IsWindow(hMenu)) DestroyWindow(hMenu);
    return result;
}

}  // namespace DuiLib
