// Label, button, option, progress and slider.
#include "DuiLib/UIControls.h"

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "UIInternal.h"

namespace DuiLib {

namespace {
bool ParseColorAttr(const std::string& value, DWORD& out) {
    if (value.empty()) return false;
    out = CRenderEngine::GetColorValue(value);
    return true;
}
}  // namespace

// --------------------------------------------------------------------- label

CLabelUI::CLabelUI() = default;

std::string CLabelUI::GetClass() const { return "LabelUI"; }

void* CLabelUI::GetInterface(const std::string& name) {
    if (name == "Label") return this;
    return CControlUI::GetInterface(name);
}

int CLabelUI::MeasureTextWidth() {
    // Measured in pixels at the window's scale, given in 96-DPI units like
    // every other width (rounded up, so it fits once scaled again).
    SIZE sz = CRenderEngine::MeasureText(m_pManager, m_sText, m_sFont);
    return Unpx(this, sz.cx) + m_rcTextPadding.left + m_rcTextPadding.right + (m_bShowShadow ? m_ptShadowOffset.x : 0);
}

SIZE CLabelUI::EstimateSize(SIZE szAvailable) {
    SIZE sz = CControlUI::EstimateSize(szAvailable);
    if (m_bAutoCalcWidth && m_pManager) sz.cx = MeasureTextWidth();
    return sz;
}

bool CLabelUI::SetAttribute(const std::string& name, const std::string& value) {
    RECT rc;
    bool b;
    if (name == "align") {
        m_uTextStyle &= ~static_cast<UINT>(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (value == "left") m_uTextStyle |= DT_LEFT;
        else if (value == "center") m_uTextStyle |= DT_CENTER;
        else if (value == "right") m_uTextStyle |= DT_RIGHT;
        else return false;
    } else if (name == "valign") {
        m_uTextStyle &= ~static_cast<UINT>(DT_TOP | DT_VCENTER | DT_BOTTOM);
        if (value == "top") m_uTextStyle |= DT_TOP;
        else if (value == "vcenter" || value == "center") m_uTextStyle |= DT_VCENTER;
        else if (value == "bottom") m_uTextStyle |= DT_BOTTOM;
        else return false;
    } else if (name == "endellipsis") {
        if (!ParseBool(value, b)) return false;
        if (b) m_uTextStyle |= DT_END_ELLIPSIS;
        else m_uTextStyle &= ~static_cast<UINT>(DT_END_ELLIPSIS);
    } else if (name == "multiline" || name == "wordbreak") {
        if (!ParseBool(value, b)) return false;
        if (b) {
            m_uTextStyle &= ~static_cast<UINT>(DT_SINGLELINE);
            m_uTextStyle |= DT_WORDBREAK;
        } else {
            m_uTextStyle |= DT_SINGLELINE;
            m_uTextStyle &= ~static_cast<UINT>(DT_WORDBREAK);
        }
    } else if (name == "textcolor") {
        if (!ParseColorAttr(value, m_dwTextColor)) return false;
    } else if (name == "disabledtextcolor") {
        if (!ParseColorAttr(value, m_dwDisabledTextColor)) return false;
    } else if (name == "font") {
        m_sFont = value;
    } else if (name == "textpadding") {
        if (!ParseRect(value, rc)) return false;
        m_rcTextPadding = rc;
    } else if (name == "showshadow" || name == "shadow") {
        if (!ParseBool(value, b)) return false;
        m_bShowShadow = b;
    } else if (name == "shadowcolor") {
        if (!ParseColorAttr(value, m_dwShadowColor)) return false;
    } else if (name == "shadowoffset") {
        SIZE sz;
        if (!ParseSize(value, sz)) return false;
        m_ptShadowOffset = POINT{sz.cx, sz.cy};
    } else if (name == "autocalcwidth") {
        if (!ParseBool(value, b)) return false;
        m_bAutoCalcWidth = b;
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

void CLabelUI::PaintTextWith(Gdiplus::Graphics& g, DWORD color) {
    if (m_sText.empty()) return;
    if (color == 0) color = 0xFF000000;
    RECT rc = RectDeflate(m_rcItem, Px(this, m_rcTextPadding));
    if (m_bShowShadow) {
        const int dx = Px(this, static_cast<int>(m_ptShadowOffset.x)), dy = Px(this, static_cast<int>(m_ptShadowOffset.y));
        RECT rs{rc.left + dx, rc.top + dy, rc.right + dx, rc.bottom + dy};
        CRenderEngine::DrawText(g, m_pManager, rs, m_sText, m_dwShadowColor, m_sFont, m_uTextStyle);
    }
    CRenderEngine::DrawText(g, m_pManager, rc, m_sText, color, m_sFont, m_uTextStyle);
}

void CLabelUI::PaintText(Gdiplus::Graphics& g) {
    PaintTextWith(g, IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor);
}

// -------------------------------------------------------------------- button

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER; }

std::string CButtonUI::GetClass() const { return "ButtonUI"; }

void* CButtonUI::GetInterface(const std::string& name) {
    if (name == "Button") return this;
    return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, "click");
    return true;
}

void CButtonUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (RectContains(m_rcItem, event.ptMouse)) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
            if (event.Type == UIEVENT_DBLCLICK && m_pManager) {
                TNotifyUI msg;
                msg.sType = "dbbuttondown";
                msg.pSender = this;
                msg.ptMouse = event.ptMouse;
                m_pManager->SendNotify(msg);
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            bool in = RectContains(m_rcItem, event.ptMouse);
            bool pushed = (m_uButtonState & UISTATE_PUSHED) != 0;
            if (in != pushed) {
                if (in) m_uButtonState |= UISTATE_PUSHED;
                else m_uButtonState &= ~UISTATE_PUSHED;
                Invalidate();
            }
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
            if (RectContains(m_rcItem, event.ptMouse)) Activate();
        }
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

bool CButtonUI::SetAttribute(const std::string& name, const std::string& value) {
    const TStateImages images{&m_sNormalImage, &m_sHotImage, &m_sPushedImage, &m_sFocusedImage, &m_sDisabledImage};
    if (images.SetAttribute(name, value)) {
    } else if (name == "foreimage") m_sForeImage = value;
    else if (name == "hotforeimage") m_sHotForeImage = value;
    else if (name == "hottextcolor") return ParseColorAttr(value, m_dwHotTextColor);
    else if (name == "pushedtextcolor") return ParseColorAttr(value, m_dwPushedTextColor);
    else if (name == "focusedtextcolor") return ParseColorAttr(value, m_dwFocusedTextColor);
    else if (name == "hotbkcolor") return ParseColorAttr(value, m_dwHotBkColor);
    else return CLabelUI::SetAttribute(name, value);
    Invalidate();
    return true;
}

void CButtonUI::PaintText(Gdiplus::Graphics& g) {
    DWORD color = m_dwTextColor;
    if (!IsEnabled()) color = m_dwDisabledTextColor;
    else if ((m_uButtonState & UISTATE_PUSHED) && m_dwPushedTextColor) color = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) && m_dwHotTextColor) color = m_dwHotTextColor;
    else if (m_bFocused && m_dwFocusedTextColor) color = m_dwFocusedTextColor;
    PaintTextWith(g, color);
}

void CButtonUI::PaintStatusImage(Gdiplus::Graphics& g) {
    // The state image by priority disabled, pushed, hot, focused; the
    // normal one when that state has none or it cannot be drawn.
    const bool enabled = IsEnabled();
    const bool pushed = enabled && (m_uButtonState & UISTATE_PUSHED);
    const bool hot = enabled && !pushed && (m_uButtonState & UISTATE_HOT);
    if (hot && m_dwHotBkColor) CRenderEngine::DrawColor(g, m_rcItem, m_dwHotBkColor);
    DrawStateImage(*this, g,
                   {{!enabled, &m_sDisabledImage, nullptr},
                    {pushed, &m_sPushedImage, &m_sHotImage},
                    {hot, &m_sHotImage, nullptr},
                    {m_bFocused, &m_sFocusedImage, nullptr}},
                   m_sNormalImage);
    if ((m_uButtonState & UISTATE_HOT) && !m_sHotForeImage.empty() && DrawImage(g, m_sHotForeImage)) return;
    DrawImage(g, m_sForeImage);
}

// -------------------------------------------------------------------- option

namespace {
struct GroupWalk {
    COptionUI* self;
    std::string group;
    std::vector<COptionUI*> found;
};
CControlUI* CALLBACK CollectGroup(CControlUI* p, void* data) {
    auto* w = static_cast<GroupWalk*>(data);
    auto* opt = static_cast<COptionUI*>(p->GetInterface("Option"));
    if (opt && opt != w->self && opt->GetGroup() == w->group) w->found.push_back(opt);
    return nullptr;
}
}  // namespace

COptionUI::~COptionUI() = default;

std::string COptionUI::GetClass() const { return "OptionUI"; }

void* COptionUI::GetInterface(const std::string& name) {
    if (name == "Option") return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::Selected(bool bSelected, bool bTriggerEvent) {
    if (m_bSelected == bSelected) return;
    m_bSelected = bSelected;
    if (bSelected) m_uButtonState |= UISTATE_SELECTED;
    else m_uButtonState &= ~UISTATE_SELECTED;
    if (bSelected && !m_sGroupName.empty()) {
        CControlUI* root = m_pManager ? m_pManager->GetRoot() : nullptr;
        if (!root) {
            root = this;
            while (root->GetParent()) root = root->GetParent();
        }
        GroupWalk w{this, m_sGroupName, {}};
        root->FindControl(CollectGroup, &w, 0);
        for (COptionUI* o : w.found) o->Selected(false, bTriggerEvent);
    }
    Invalidate();
    if (bTriggerEvent && m_pManager) m_pManager->SendNotify(this, "selectchanged");
}

bool COptionUI::Activate() {
    if (!CControlUI::Activate()) return false;
    // The new state is in place before "click", so a handler reads it.
    if (!m_sGroupName.empty()) Selected(true);
    else Selected(!m_bSelected);
    if (m_pManager) m_pManager->SendNotify(this, "click");
    return true;
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CButtonUI::SetManager(pManager, pParent, bInit);
}

bool COptionUI::SetAttribute(const std::string& name, const std::string& value) {
    bool b;
    if (name == "group") m_sGroupName = value;
    else if (name == "selected") {
        if (!ParseBool(value, b)) return false;
        Selected(b, false);
    } else if (name == "selectedimage") m_sSelectedImage = value;
    else if (name == "selectedhotimage") m_sSelectedHotImage = value;
    else if (name == "selectedforeimage") m_sSelectedForeImage = value;
    else if (name == "selectedtextcolor") return ParseColorAttr(value, m_dwSelectedTextColor);
    else if (name == "selectedbkcolor") return ParseColorAttr(value, m_dwSelectedBkColor);
    else return CButtonUI::SetAttribute(name, value);
    Invalidate();
    return true;
}

void COptionUI::PaintStatusImage(Gdiplus::Graphics& g) {
    if (m_bSelected) {
        if (m_dwSelectedBkColor) CRenderEngine::DrawColor(g, m_rcItem, m_dwSelectedBkColor);
        bool drawn = false;
        if (!IsEnabled()) drawn = DrawImage(g, m_sDisabledImage);
        if (!drawn && (m_uButtonState & UISTATE_HOT)) drawn = DrawImage(g, m_sSelectedHotImage);
        if (!drawn) drawn = DrawImage(g, m_sSelectedImage);
        if (!drawn) DrawImage(g, m_sNormalImage);
        if (!m_sSelectedForeImage.empty() && DrawImage(g, m_sSelectedForeImage)) return;
        DrawImage(g, m_sForeImage);
        return;
    }
    CButtonUI::PaintStatusImage(g);
}

void COptionUI::PaintText(Gdiplus::Graphics& g) {
    if (m_bSelected && m_dwSelectedTextColor && IsEnabled()) {
        PaintTextWith(g, m_dwSelectedTextColor);
        return;
    }
    CButtonUI::PaintText(g);
}

// ------------------------------------------------------------------ progress

std::string CProgressUI::GetClass() const { return "ProgressUI"; }

void* CProgressUI::GetInterface(const std::string& name) {
    if (name == "Progress") return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int v) {
    m_nMin = v;
    if (m_nMax < m_nMin) m_nMax = m_nMin;
    SetValue(m_nValue);
    Invalidate();
}

void CProgressUI::SetMaxValue(int v) {
    m_nMax = v;
    if (m_nMin > m_nMax) m_nMin = m_nMax;
    SetValue(m_nValue);
    Invalidate();
}

void CProgressUI::SetValue(int v) {
    v = (std::max)(m_nMin, (std::min)(v, m_nMax));
    if (v == m_nValue) return;
    m_nValue = v;
    Invalidate();
}

bool CProgressUI::SetAttribute(const std::string& name, const std::string& value) {
    int n;
    bool b;
    if (name == "hor") {
        if (!ParseBool(value, b)) return false;
        m_bHorizontal = b;
    } else if (name == "min") {
        if (!ParseInt(value, n)) return false;
        SetMinValue(n);
    } else if (name == "max") {
        if (!ParseInt(value, n)) return false;
        SetMaxValue(n);
    } else if (name == "value") {
        if (!ParseInt(value, n)) return false;
        SetValue(n);
    } else if (name == "foreimage") {
        m_sForeImage = value;
    } else if (name == "forecolor") {
        return ParseColorAttr(value, m_dwForeColor);
    } else {
        return CLabelUI::SetAttribute(name, value);
    }
    Invalidate();
    return true;
}

void CProgressUI::PaintStatusImage(Gdiplus::Graphics& g) {
    if (m_nMax <= m_nMin) return;
    const double frac = static_cast<double>(m_nValue - m_nMin) / (m_nMax - m_nMin);
    RECT rc = m_rcItem;
    if (m_bHorizontal) rc.right = rc.left + static_cast<LONG>(RectWidth(m_rcItem) * frac + 0.5);
    else rc.top = rc.bottom - static_cast<LONG>(RectHeight(m_rcItem) * frac + 0.5);
    if (RectEmpty(rc)) return;
    CRenderEngine::DrawColor(g, rc, m_dwForeColor);
    if (!m_sForeImage.empty()) {
        RECT old = CRenderEngine::PushClip(g, rc);
        DrawImage(g, m_sForeImage);
        CRenderEngine::RestoreClip(g, old);
    }
}

// -------------------------------------------------------------------- slider

CSliderUI::CSliderUI() { m_uTextStyle = DT_SINGLELINE | DT_CENTER | DT_VCENTER; }

std::string CSliderUI::GetClass() const { return "SliderUI"; }

void* CSliderUI::GetInterface(const std::string& name) {
    if (name == "Slider") return this;
    return CProgressUI::GetInterface(name);
}

RECT CSliderUI::GetThumbRect() const {
    const SIZE m_szThumb = Px(this, this->m_szThumb);
    const int range = m_nMax - m_nMin;
    const double frac = range > 0 ? static_cast<double>(m_nValue - m_nMin) / range : 0.0;
    if (m_bHorizontal) {
        const int free = RectWidth(m_rcItem) - m_szThumb.cx;
        const int x = m_rcItem.left + static_cast<int>(free * frac + 0.5);
        const int y = (m_rcItem.top + m_rcItem.bottom - m_szThumb.cy) / 2;
        return RECT{x, y, x + m_szThumb.cx, y + m_szThumb.cy};
    }
    const int free = RectHeight(m_rcItem) - m_szThumb.cy;
    const int y = m_rcItem.bottom - m_szThumb.cy - static_cast<int>(free * frac + 0.5);
    const int x = (m_rcItem.left + m_rcItem.right - m_szThumb.cx) / 2;
    return RECT{x, y, x + m_szThumb.cx, y + m_szThumb.cy};
}

int CSliderUI::ValueAt(POINT pt) const {
    const SIZE m_szThumb = Px(this, this->m_szThumb);
    const int range = m_nMax - m_nMin;
    double frac;
    if (m_bHorizontal) {
        const int free = RectWidth(m_rcItem) - m_szThumb.cx;
        frac = free > 0 ? static_cast<double>(pt.x - m_rcItem.left - m_szThumb.cx / 2) / free : 0.0;
    } else {
        const int free = RectHeight(m_rcItem) - m_szThumb.cy;
        frac = free > 0 ? static_cast<double>(m_rcItem.bottom - m_szThumb.cy / 2 - pt.y) / free : 0.0;
    }
    frac = (std::max)(0.0, (std::min)(1.0, frac));
    int v = m_nMin + static_cast<int>(frac * range + 0.5);
    // Values move in steps of the change step from the minimum.
    if (m_nStep > 1) v = m_nMin + ((v - m_nMin + m_nStep / 2) / m_nStep) * m_nStep;
    return (std::max)(m_nMin, (std::min)(v, m_nMax));
}

void CSliderUI::DoEvent(TEventUI& event) {
    if (TrackHot(event)) return;
    auto step = [this](int delta) {
        int old = m_nValue;
        SetValue(m_nValue + delta);
        if (m_nValue != old && m_pManager) m_pManager->SendNotify(this, "valuechanged");
    };
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (RectContains(m_rcItem, event.ptMouse)) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            RECT thumb = GetThumbRect();
            if (RectContains(thumb, event.ptMouse)) {
                // Dragging keeps the grip point under the mouse.
                m_nDragOffset = m_bHorizontal ? event.ptMouse.x - (thumb.left + thumb.right) / 2
                                              : event.ptMouse.y - (thumb.top + thumb.bottom) / 2;
            } else {
                m_nDragOffset = 0;
                int old = m_nValue;
                SetValue(ValueAt(event.ptMouse));
                if (m_nValue != old && m_pManager) m_pManager->SendNotify(this, "valuechanging");
            }
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            POINT pt = event.ptMouse;
            if (m_bHorizontal) pt.x -= m_nDragOffset;
            else pt.y -= m_nDragOffset;
            int old = m_nValue;
            SetValue(ValueAt(pt));
            if (m_nValue != old && m_pManager) m_pManager->SendNotify(this, "valuechanging");
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            // A release forced by a lost capture keeps the value reached.
            if (event.ptMouse.x != -30000) {
                POINT pt = event.ptMouse;
                if (m_bHorizontal) pt.x -= m_nDragOffset;
                else pt.y -= m_nDragOffset;
                SetValue(ValueAt(pt));
            }
            Invalidate();
            if (m_pManager) m_pManager->SendNotify(this, "valuechanged");
        }
        return;
    case UIEVENT_SCROLLWHEEL: {
        const int delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
        step(delta > 0 ? m_nStep : -m_nStep);
        return;
    }
    case UIEVENT_KEYDOWN:
        switch (event.chKey) {
        case VK_LEFT:
        case VK_DOWN:
            step(-m_nStep);
            return;
        case VK_RIGHT:
        case VK_UP:
            step(m_nStep);
            return;
        case VK_HOME:
            step(m_nMin - m_nValue);
            return;
        case VK_END:
            step(m_nMax - m_nValue);
            return;
        default:
            break;
        }
        break;
    default:
        break;
    }
    CProgressUI::DoEvent(event);
}

bool CSliderUI::SetAttribute(const std::string& name, const std::string& value) {
    if (name == "thumbsize") {
        SIZE sz;
        if (!ParseSize(value, sz)) return false;
        m_szThumb = sz;
    } else if (name == "thumbimage") m_sThumbImage = value;
    else if (name == "thumbhotimage") m_sThumbHotImage = value;
    else if (name == "thumbpushedimage") m_sThumbPushedImage = value;
    else if (name == "thumbcolor") return ParseColorAttr(value, m_dwThumbColor);
    else if (name == "step") {
        int n;
        if (!ParseInt(value, n)) return false;
        SetChangeStep(n);
    } else return CProgressUI::SetAttribute(name, value);
    Invalidate();
    return true;
}

void CSliderUI::PaintStatusImage(Gdiplus::Graphics& g) {
    CProgressUI::PaintStatusImage(g);
    RECT thumb = GetThumbRect();
    const std::string* img = &m_sThumbImage;
    if ((m_uButtonState & UISTATE_PUSHED) && !m_sThumbPushedImage.empty()) img = &m_sThumbPushedImage;
    else if ((m_uButtonState & UISTATE_HOT) && !m_sThumbHotImage.empty()) img = &m_sThumbHotImage;
    if (!img->empty() && CRenderEngine::DrawImageString(g, m_pManager, thumb, m_rcPaint, *img)) return;
    DWORD c = m_dwThumbColor;
    if (m_uButtonState & (UISTATE_PUSHED | UISTATE_HOT)) c = (c & 0xFF000000) | ((c & 0x00FEFEFE) >> 1);
    CRenderEngine::DrawColor(g, thumb, c);
}

}  // namespace DuiLib
