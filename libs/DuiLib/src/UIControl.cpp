// CControlUI: the common part of every control.
#include "DuiLib/UIControl.h"

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "UIInternal.h"

namespace DuiLib {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager) m_pManager->ReapObjects(this);
}

std::string CControlUI::GetClass() const { return "ControlUI"; }

void* CControlUI::GetInterface(const std::string& name) {
    if (name == "Control") return this;
    return nullptr;
}

void CControlUI::SetText(const std::string& text) {
    if (m_sText == text) return;
    m_sText = text;
    Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && pManager) DoInit();
}

int CControlUI::Scaled(int v) const { return Px(this, v); }
RECT CControlUI::Scaled(const RECT& r) const { return Px(this, r); }
int CControlUI::Unscaled(int px) const { return Unpx(this, px); }

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    m_rcItem = rc;
    m_bUpdateNeeded = false;
}

void CControlUI::SetPadding(const RECT& rc) {
    m_rcPadding = rc;
    NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
    if (cx < 0) return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
    if (cy < 0) return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) { return m_cxyFixed; }

void CControlUI::SetFloat(bool f) {
    m_bFloat = f;
    NeedParentUpdate();
}

void CControlUI::SetFloatPos(const RECT& rc) {
    m_rcFloat = rc;
    if (rc.right > rc.left) m_cxyFixed.cx = rc.right - rc.left;
    if (rc.bottom > rc.top) m_cxyFixed.cy = rc.bottom - rc.top;
    NeedParentUpdate();
}

void CControlUI::SetBkColor(DWORD argb) {
    if (m_dwBkColor == argb) return;
    m_dwBkColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(const std::string& image) {
    if (m_sBkImage == image) return;
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
    m_dwBorderColor = argb;
    Invalidate();
}

void CControlUI::SetBorderSize(int size) {
    m_nBorderSize = size < 0 ? 0 : size;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE round) {
    m_cxyBorderRound = round;
    Invalidate();
}

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    bool was = IsVisible();
    m_bVisible = bVisible;
    if (was && !IsVisible() && m_pManager && m_bFocused) m_pManager->SetFocus(nullptr);
    NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool bVisible) {
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager && m_bFocused) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool bEnable) {
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    if (!bEnable) m_uButtonState &= ~(UISTATE_HOT | UISTATE_PUSHED | UISTATE_CAPTURED);
    Invalidate();
}

void CControlUI::SetFocus() {
    if (m_pManager) m_pManager->SetFocus(this);
}

bool CControlUI::SetAttribute(const std::string& name, const std::string& value) {
    RECT rc;
    SIZE sz;
    bool b;
    int n;
    if (name == "name") m_sName = value;
    else if (name == "text") SetText(value);
    else if (name == "tooltip") m_sToolTip = value;
    else if (name == "userdata") m_sUserData = value;
    else if (name == "tag") m_tag = static_cast<UINT_PTR>(std::strtoull(value.c_str(), nullptr, 10));
    else if (name == "pos") {
        if (!ParseRect(value, rc)) return false;
        SetFloatPos(rc);
    } else if (name == "float") {
        if (!ParseBool(value, b)) return false;
        SetFloat(b);
    } else if (name == "padding") {
        if (!ParseRect(value, rc)) return false;
        SetPadding(rc);
    } else if (name == "width") {
        if (!ParseInt(value, n) || n < 0) return false;
        SetFixedWidth(n);
    } else if (name == "height") {
        if (!ParseInt(value, n) || n < 0) return false;
        SetFixedHeight(n);
    } else if (name == "minwidth") {
        if (!ParseInt(value, n)) return false;
        m_cxyMin.cx = n;
    } else if (name == "minheight") {
        if (!ParseInt(value, n)) return false;
        m_cxyMin.cy = n;
    } else if (name == "maxwidth") {
        if (!ParseInt(value, n)) return false;
        m_cxyMax.cx = n;
    } else if (name == "maxheight") {
        if (!ParseInt(value, n)) return false;
        m_cxyMax.cy = n;
    } else if (name == "bkcolor") SetBkColor(CRenderEngine::GetColorValue(value));
    else if (name == "bkimage") SetBkImage(value);
    else if (name == "bordercolor") SetBorderColor(CRenderEngine::GetColorValue(value));
    else if (name == "focusbordercolor") m_dwFocusBorderColor = CRenderEngine::GetColorValue(value);
    else if (name == "bordersize") {
        if (!ParseInt(value, n)) return false;
        SetBorderSize(n);
    } else if (name == "borderround") {
        if (!ParseSize(value, sz)) return false;
        SetBorderRound(sz);
    } else if (name == "visible") {
        if (!ParseBool(value, b)) return false;
        SetVisible(b);
    } else if (name == "enabled") {
        if (!ParseBool(value, b)) return false;
        SetEnabled(b);
    } else if (name == "mouse") {
        if (!ParseBool(value, b)) return false;
        m_bMouseEnabled = b;
    } else if (name == "keyboard") {
        if (!ParseBool(value, b)) return false;
        m_bKeyboardEnabled = b;
    } else if (name == "menu") {
        if (!ParseBool(value, b)) return false;
        m_bMenuUsed = b;
    } else if (name == "setcursor") {
        if (!ParseBool(value, b)) return false;
        m_bSetCursor = b;
    } else {
        return false;
    }
    return true;
}

bool CControlUI::ApplyAttributeList(const std::string& list) {
    bool all = true;
    size_t i = 0;
    while (i < list.size()) {
        while (i < list.size() && (list[i] == ' ' || list[i] == '\t' || list[i] == '\r' || list[i] == '\n')) ++i;
        if (i >= list.size()) break;
        size_t eq = list.find('=', i);
        if (eq == std::string::npos) return false;
        std::string name = list.substr(i, eq - i);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        size_t q = eq + 1;
        while (q < list.size() && list[q] == ' ') ++q;
        if (q >= list.size() || (list[q] != '"' && list[q] != '\'')) return false;
        char quote = list[q];
        size_t end = list.find(quote, q + 1);
        if (end == std::string::npos) return false;
        if (!SetAttribute(name, list.substr(q + 1, end - q - 1))) all = false;
        i = end + 1;
    }
    return all;
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if ((uFlags & UIFIND_HITTEST) &&
        (!m_bMouseEnabled || !RectContains(m_rcItem, *static_cast<POINT*>(pData))))
        return nullptr;
    return Proc(this, pData);
}

void CControlUI::AddNotifier(INotifyUI* p) {
    if (p && std::find(m_notifiers.begin(), m_notifiers.end(), p) == m_notifiers.end()) m_notifiers.push_back(p);
}

void CControlUI::RemoveNotifier(INotifyUI* p) {
    m_notifiers.erase(std::remove(m_notifiers.begin(), m_notifiers.end(), p), m_notifiers.end());
}

void CControlUI::Event(TEventUI& event) {
    if (event.Type == UIEVENT_SETFOCUS) m_bFocused = true;
    else if (event.Type == UIEVENT_KILLFOCUS) m_bFocused = false;
    if (!IsEnabled()) {
        switch (event.Type) {
        case UIEVENT_BUTTONDOWN:
        case UIEVENT_BUTTONUP:
        case UIEVENT_DBLCLICK:
        case UIEVENT_RBUTTONDOWN:
        case UIEVENT_RBUTTONUP:
        case UIEVENT_CONTEXTMENU:
        case UIEVENT_MOUSEMOVE:
        case UIEVENT_MOUSEENTER:
        case UIEVENT_KEYDOWN:
        case UIEVENT_KEYUP:
        case UIEVENT_CHAR:
            return;
        case UIEVENT_SCROLLWHEEL:
            if (m_pParent) m_pParent->DoEvent(event);
            return;
        default:
            break;
        }
    }
    DoEvent(event);
}

void CControlUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        break;
    case UIEVENT_TIMER:
        if (m_pManager) m_pManager->SendNotify(this, "timer", event.wParam, event.lParam);
        break;
    case UIEVENT_CONTEXTMENU:
        if (m_bMenuUsed && m_pManager) {
            TNotifyUI msg;
            msg.sType = "menu";
            msg.pSender = this;
            msg.ptMouse = event.ptMouse;
            msg.wParam = event.wParam;
            m_pManager->SendNotify(msg);
        } else if (m_pParent) {
            m_pParent->DoEvent(event);
        }
        break;
    case UIEVENT_SCROLLWHEEL:
    case UIEVENT_KEYDOWN:
    case UIEVENT_KEYUP:
    case UIEVENT_CHAR:
        if (m_pParent) m_pParent->DoEvent(event);
        break;
    default:
        break;
    }
}

bool CControlUI::TrackHot(const TEventUI& event) {
    UINT state = m_uButtonState;
    if (event.Type == UIEVENT_MOUSEENTER && IsEnabled()) state |= UISTATE_HOT;
    else if (event.Type == UIEVENT_MOUSELEAVE) state &= ~static_cast<UINT>(UISTATE_HOT);
    else return false;
    if (state != m_uButtonState) {
        m_uButtonState = state;
        Invalidate();
    }
    return true;
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) {
    if (RectEmpty(RectIntersect(rcPaint, m_rcItem))) return;
    m_rcPaint = RectIntersect(rcPaint, m_rcItem);
    PaintBkColor(g);
    PaintBkImage(g);
    PaintStatusImage(g);
    PaintText(g);
    PaintBorder(g);
}

void CControlUI::PaintBkColor(Gdiplus::Graphics& g) { CRenderEngine::DrawColor(g, m_rcItem, m_dwBkColor); }

void CControlUI::PaintBkImage(Gdiplus::Graphics& g) {
    if (!m_sBkImage.empty()) DrawImage(g, m_sBkImage);
}

void CControlUI::PaintStatusImage(Gdiplus::Graphics&) {}
void CControlUI::PaintText(Gdiplus::Graphics&) {}

void CControlUI::PaintBorder(Gdiplus::Graphics& g) {
    DWORD color = (m_bFocused && m_dwFocusBorderColor) ? m_dwFocusBorderColor : m_dwBorderColor;
    if (m_nBorderSize > 0 && color)
        CRenderEngine::DrawBorder(g, m_rcItem, Px(this, m_nBorderSize), color, Px(this, m_cxyBorderRound));
}

bool CControlUI::DrawImage(Gdiplus::Graphics& g, const std::string& image, const std::string& modify) {
    if (image.empty()) return false;
    std::string s = image;
    if (!modify.empty()) {
        if (s.find('\'') == std::string::npos) s = "file='" + s + "'";
        s += " " + modify;
    }
    return CRenderEngine::DrawImageString(g, m_pManager, m_rcItem, m_rcPaint, s);
}

void CControlUI::Invalidate() {
    if (!m_pManager || !IsVisible()) return;
    RECT rc = m_rcItem;
    // Only the part inside every parent can be on screen.
    for (CControlUI* p = m_pParent; p; p = p->GetParent()) {
        rc = RectIntersect(rc, p->GetPos());
        if (RectEmpty(rc)) return;
    }
    m_pManager->Invalidate(rc);
}

void CControlUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    if (m_pManager) {
        m_pManager->NeedUpdate();
        m_pManager->Invalidate(RECT{0, 0, 32767, 32767});
    }
}

void CControlUI::NeedParentUpdate() {
    if (m_pParent) m_pParent->NeedUpdate();
    else NeedUpdate();
}

bool TStateImages::SetAttribute(const std::string& name, const std::string& value) const {
    std::string* slot = nullptr;
    if (name == "normalimage") slot = normal;
    else if (name == "hotimage") slot = hot;
    else if (name == "pushedimage") slot = pushed;
    else if (name == "focusedimage") slot = focused;
    else if (name == "disabledimage") slot = disabled;
    if (!slot) return false;
    *slot = value;
    return true;
}

bool DrawStateImage(CControlUI& control, Gdiplus::Graphics& g, std::initializer_list<TStateStep> steps,
                    const std::string& normal) {
    bool drawn = false;
    for (const TStateStep& step : steps) {
        if (!step.holds) continue;
        drawn = (step.image && control.DrawImage(g, *step.image)) ||
                (step.fallback && control.DrawImage(g, *step.fallback));
        break;
    }
    return drawn || control.DrawImage(g, normal);
}

}  // namespace DuiLib
