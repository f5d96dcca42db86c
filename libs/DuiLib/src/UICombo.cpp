// CComboUI and its items: the selection lives in the combo box; the list
// opens in a popup window of its own that shows copies of the items.
#include "DuiLib/UIControls.h"
#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "UIInternal.h"

namespace DuiLib {

// ----------------------------------------------------------------- list item

CListLabelElementUI::CListLabelElementUI() { m_rcTextPadding = RECT{6, 0, 6, 0}; }

std::string CListLabelElementUI::GetClass() const { return "ListLabelElementUI"; }

void* CListLabelElementUI::GetInterface(const std::string& name) {
    if (name == "ListLabelElement") return this;
    return CLabelUI::GetInterface(name);
}

SIZE CListLabelElementUI::EstimateSize(SIZE szAvailable) {
    SIZE sz = CLabelUI::EstimateSize(szAvailable);
    if (sz.cy == 0) {
        auto* combo = m_pOwner ? static_cast<CComboUI*>(m_pOwner->GetInterface("Combo")) : nullptr;
        sz.cy = combo ? combo->GetItemHeight() : 22;
    }
    return sz;
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        return;
    case UIEVENT_BUTTONUP:
        if (RectContains(m_rcItem, event.ptMouse) && m_pManager) m_pManager->SendNotify(this, "itemclick");
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CListLabelElementUI::PaintBkColor(Gdiplus::Graphics& g) {
    auto* combo = m_pOwner ? static_cast<CComboUI*>(m_pOwner->GetInterface("Combo")) : nullptr;
    DWORD c = m_dwBkColor;
    if (combo && m_bSelected) c = combo->GetItemSelectedBkColor();
    if (combo && (m_uButtonState & UISTATE_HOT)) c = combo->GetItemHotBkColor();
    CRenderEngine::DrawColor(g, m_rcItem, c);
}

// -------------------------------------------------------------- popup window

class CComboWnd : public CWindowWnd, public INotifyUI {
public:
    explicit CComboWnd(CComboUI* owner) : m_pOwner(owner) {}

    bool Init() {
        CPaintManagerUI* pm = m_pOwner->GetManager();
        if (!pm || !pm->GetPaintWindow()) return false;
        RECT rc = m_pOwner->GetPos();
        POINT tl{rc.left, rc.bottom};
        ClientToScreen(pm->GetPaintWindow(), &tl);
        const int n = m_pOwner->GetCount();
        int h = Px(m_pOwner, (std::min)(m_pOwner->GetDropHeight(), (std::max)(1, n) * m_pOwner->GetItemHeight() + 2));
        int w = (std::max)(RectWidth(rc), Px(m_pOwner, 40));
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(pm->GetPaintWindow(), MONITOR_DEFAULTTONEAREST), &mi);
        int y = tl.y;
        // Open upwards when the list would leave the screen at the bottom.
        if (y + h > mi.rcWork.bottom) y = tl.y - RectHeight(rc) - h;
        HWND owner = GetAncestor(pm->GetPaintWindow(), GA_ROOT);
        if (!Create(owner, "", WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST, tl.x, y, w, h)) return false;
        ::ShowWindow(m_hWnd, SW_SHOW);
        ::SetFocus(m_hWnd);
        return true;
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType != "itemclick" || !m_pOwner || !msg.pSender) return;
        auto* item = static_cast<CListLabelElementUI*>(msg.pSender->GetInterface("ListLabelElement"));
        if (!item) return;
        CComboUI* owner = m_pOwner;
        int index = item->GetIndex();
        Close();
        owner->SelectItem(index, true);
    }

    void Close() {
        if (m_pOwner && m_pOwner->m_pWindow == this) {
            m_pOwner->m_pWindow = nullptr;
            m_pOwner->Invalidate();
        }
        m_pOwner = nullptr;
        if (m_hWnd) ::PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }

    CComboUI* m_pOwner;
    CPaintManagerUI m_pm;

protected:
    std::string GetWindowClassName() const override { return "ZxDuiComboList"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS | CS_DROPSHADOW; }
    void OnFinalMessage(HWND) override {
        if (m_pOwner && m_pOwner->m_pWindow == this) m_pOwner->m_pWindow = nullptr;
        delete this;
    }

    void BuildList() {
        auto* root = new CVerticalLayoutUI;
        root->SetBkColor(m_pOwner->m_dwDropBkColor);
        root->SetBorderColor(m_pOwner->m_dwDropBorderColor);
        root->SetBorderSize(1);
        root->SetInset(RECT{1, 1, 1, 1});
        root->EnableScrollBar(true);
        root->GetVerticalScrollBar()->SetLineSize(m_pOwner->GetItemHeight());
        for (int i = 0; i < m_pOwner->GetCount(); ++i) {
            auto* src = static_cast<CListLabelElementUI*>(m_pOwner->GetItemAt(i)->GetInterface("ListLabelElement"));
            if (!src) continue;
            auto* item = new CListLabelElementUI;
            item->SetOwner(m_pOwner);
            item->SetIndex(i);
            item->SetName(src->GetName());
            item->SetText(src->GetText());
            item->SetUserData(src->GetUserData());
            item->SetTag(src->GetTag());
            item->SetFont(m_pOwner->GetItemFont());
            item->SetTextColor(m_pOwner->GetItemTextColor());
            item->SetFixedHeight(m_pOwner->GetItemHeight());
            item->SetSelected(i == m_pOwner->GetCurSel());
            item->SetEnabled(src->IsEnabled());
            root->Add(item);
        }
        m_pm.AttachDialog(root);
        m_pm.AddNotifier(this);
    }

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        LRESULT lRes = 0;
        switch (uMsg) {
        case WM_CREATE:
            m_pm.Init(m_hWnd);
            BuildList();
            if (m_pOwner->GetCurSel() >= 0) {
                m_pm.EnsureLayout();
                auto* root = static_cast<CContainerUI*>(m_pm.GetRoot());
                root->EnsureVisible(root->GetItemAt(m_pOwner->GetCurSel()));
            }
            return 0;
        case WM_KILLFOCUS:
        case WM_ACTIVATEAPP:
            if (uMsg == WM_ACTIVATEAPP && wParam) break;
            // Focus going anywhere else closes the list.
            if (m_hWnd != reinterpret_cast<HWND>(wParam)) Close();
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE || wParam == VK_RETURN) {
                Close();
                return 0;
            }
            if ((wParam == VK_UP || wParam == VK_DOWN) && m_pOwner) {
                CComboUI* owner = m_pOwner;
                int next = owner->GetCurSel() + (wParam == VK_UP ? -1 : 1);
                if (next >= 0 && next < owner->GetCount()) {
                    owner->SelectItem(next, true);
                    auto* root = static_cast<CContainerUI*>(m_pm.GetRoot());
                    for (int i = 0; root && i < root->GetCount(); ++i)
                        static_cast<CListLabelElementUI*>(root->GetItemAt(i))->SetSelected(i == next);
                    if (root) root->EnsureVisible(root->GetItemAt(next));
                }
                return 0;
            }
            break;
        case WM_CLOSE:
            DestroyWindow(m_hWnd);
            return 0;
        default:
            break;
        }
        if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }
};

// ----------------------------------------------------------------- combo box

CComboUI::CComboUI() {
    m_dwBkColor = 0xFFFFFFFF;
    m_dwBorderColor = 0xFFA0A0A0;
    m_nBorderSize = 1;
}

CComboUI::~CComboUI() { DiscardOwnedWindow(m_pWindow); }

std::string CComboUI::GetClass() const { return "ComboUI"; }

void* CComboUI::GetInterface(const std::string& name) {
    if (name == "Combo") return this;
    return CContainerUI::GetInterface(name);
}

void CComboUI::Reindex() {
    for (int i = 0; i < GetCount(); ++i) {
        auto* item = static_cast<CListLabelElementUI*>(GetItemAt(i)->GetInterface("ListLabelElement"));
        if (!item) continue;
        item->SetIndex(i);
        item->SetOwner(this);
        item->SetSelected(i == m_iCurSel);
        item->SetInternVisible(false);  // items show only in the drop-down list
    }
}

bool CComboUI::Add(CControlUI* p) { return AddAt(p, GetCount()); }

bool CComboUI::AddAt(CControlUI* p, int index) {
    if (!p || !p->GetInterface("ListLabelElement")) {
        DuiLog(2, "CComboUI", "combo box %s takes only list items", m_sName.c_str());
        return false;
    }
    if (!CContainerUI::AddAt(p, index)) return false;
    if (index < GetCount() - 1 && m_iCurSel >= index) ++m_iCurSel;
    Reindex();
    return true;
}

bool CComboUI::Remove(CControlUI* p) {
    int i = GetItemIndex(p);
    return i >= 0 && RemoveAt(i);
}

bool CComboUI::RemoveAt(int index) {
    if (m_pWindow) CloseDropDown();
    if (!CContainerUI::RemoveAt(index)) return false;
    if (index == m_iCurSel) m_iCurSel = -1;
    else if (index < m_iCurSel) --m_iCurSel;
    Reindex();
    Invalidate();
    return true;
}

void CComboUI::RemoveAll() {
    if (m_pWindow) CloseDropDown();
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    Invalidate();
}

bool CComboUI::SelectItem(int index, bool bNotify) {
    if (index < -1 || index >= GetCount()) return false;
    if (index == m_iCurSel) return true;
    int old = m_iCurSel;
    m_iCurSel = index;
    Reindex();
    Invalidate();
    if (bNotify && m_pManager)
        m_pManager->SendNotify(this, "itemselect", static_cast<WPARAM>(index), static_cast<LPARAM>(old));
    return true;
}

bool CComboUI::SelectItemByText(const std::string& text, bool bNotify) {
    for (int i = 0; i < GetCount(); ++i)
        if (GetItemAt(i)->GetText() == text) return SelectItem(i, bNotify);
    return false;
}

CListLabelElementUI* CComboUI::GetSelectedItem() const {
    CControlUI* p = GetItemAt(m_iCurSel);
    return p ? static_cast<CListLabelElementUI*>(p->GetInterface("ListLabelElement")) : nullptr;
}

std::string CComboUI::GetText() const {
    CControlUI* p = GetItemAt(m_iCurSel);
    return p ? p->GetText() : std::string();
}

bool CComboUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pWindow) return true;
    CComboWnd* w = new CComboWnd(this);
    m_pWindow = w;
    if (!w->Init()) {
        DiscardOwnedWindow(m_pWindow);
        return false;
    }
    Invalidate();
    if (m_pManager) m_pManager->SendNotify(this, "dropdown");
    return true;
}

void CComboUI::CloseDropDown() {
    if (m_pWindow) m_pWindow->Close();
}

HWND CComboUI::GetDropWindow() const { return m_pWindow ? m_pWindow->GetHWND() : nullptr; }

void CComboUI::SetPos(RECT rc) {
    // The items are not laid out in the box; only the box itself.
    CControlUI::SetPos(rc);
}

CControlUI* CComboUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if (uFlags & UIFIND_HITTEST) return CControlUI::FindControl(Proc, pData, uFlags);
    return CContainerUI::FindControl(Proc, pData, uFlags);
}

void CComboUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (m_pWindow) CloseDropDown();
        else Activate();
        m_uButtonState |= UISTATE_PUSHED;
        Invalidate();
        return;
    case UIEVENT_BUTTONUP:
        m_uButtonState &= ~UISTATE_PUSHED;
        Invalidate();
        return;
    case UIEVENT_KEYDOWN:
        if (event.chKey == VK_UP && m_iCurSel > 0) SelectItem(m_iCurSel - 1);
        else if (event.chKey == VK_DOWN && m_iCurSel + 1 < GetCount()) SelectItem(m_iCurSel + 1);
        else if (event.chKey == VK_F4 || event.chKey == VK_SPACE) Activate();
        else break;
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_bFocused) {
            const int delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
            int next = m_iCurSel + (delta > 0 ? -1 : 1);
            if (next >= 0 && next < GetCount()) SelectItem(next);
            return;
        }
        break;
    default:
        break;
    }
    CControlUI::DoEvent(event);
}

bool CComboUI::SetAttribute(const std::string& name, const std::string& value) {
    RECT rc;
    int n;
    if (name == "textpadding") {
        if (!ParseRect(value, rc)) return false;
        m_rcTextPadding = rc;
    } else if (name == "textcolor") m_dwTextColor = CRenderEngine::GetColorValue(value);
    else if (name == "font") m_sFont = value;
    else if (TStateImages{&m_sNormalImage, &m_sHotImage, &m_sPushedImage, &m_sFocusedImage, &m_sDisabledImage}
                 .SetAttribute(name, value)) {
    } else if (name == "itemheight") {
        if (!ParseInt(value, n) || n <= 0) return false;
        m_nItemHeight = n;
    } else if (name == "dropheight") {
        if (!ParseInt(value, n) || n <= 0) return false;
        m_nDropHeight = n;
    } else if (name == "itemhotbkcolor") m_dwItemHotBkColor = CRenderEngine::GetColorValue(value);
    else if (name == "itemselectedbkcolor") m_dwItemSelectedBkColor = CRenderEngine::GetColorValue(value);
    else if (name == "itemtextcolor") m_dwItemTextColor = CRenderEngine::GetColorValue(value);
    else if (name == "itemfont") m_sItemFont = value;
    else if (name == "dropbkcolor") m_dwDropBkColor = CRenderEngine::GetColorValue(value);
    else if (name == "dropbordercolor") m_dwDropBorderColor = CRenderEngine::GetColorValue(value);
    else if (name == "selectedid") {
        if (!ParseInt(value, n)) return false;
        m_iCurSel = n;  // applied as the items arrive
    } else return CContainerUI::SetAttribute(name, value);
    Invalidate();
    return true;
}

void CComboUI::DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) { CControlUI::DoPaint(g, rcPaint); }

void CComboUI::PaintStatusImage(Gdiplus::Graphics& g) {
    const bool enabled = IsEnabled();
    const bool open = (m_uButtonState & UISTATE_PUSHED) || m_pWindow;
    const bool drawn = DrawStateImage(*this, g,
                                      {{!enabled, &m_sDisabledImage, nullptr},
                                       {open, &m_sPushedImage, nullptr},
                                       {(m_uButtonState & UISTATE_HOT) != 0, &m_sHotImage, nullptr},
                                       {m_bFocused, &m_sFocusedImage, nullptr}},
                                      m_sNormalImage);
    if (!drawn) {
        // No pictures: a small arrow at the right end shows it opens.
        const float k = static_cast<float>(Px(this, 96)) / 96.0f;
        const float cx = static_cast<float>(m_rcItem.right) - 12 * k;
        const float cy = static_cast<float>((m_rcItem.top + m_rcItem.bottom) / 2);
        Gdiplus::PointF pts[3] = {{cx - 4 * k, cy - 2 * k}, {cx + 4 * k, cy - 2 * k}, {cx, cy + 3 * k}};
        Gdiplus::SolidBrush b{Gdiplus::Color(IsEnabled() ? 0xFF505050 : 0xFFA0A0A0)};
        g.FillPolygon(&b, pts, 3);
    }
}

void CComboUI::PaintText(Gdiplus::Graphics& g) {
    std::string text = GetText();
    if (text.empty()) return;
    RECT rc = RectDeflate(m_rcItem, Px(this, m_rcTextPadding));
    DWORD c = IsEnabled() ? (m_dwTextColor ? m_dwTextColor : 0xFF000000) : 0xFFA7A6AA;
    CRenderEngine::DrawText(g, m_pManager, rc, text, c, m_sFont, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
}

}  // namespace DuiLib
