// Containers and layouts: children, insets, child padding, floating
// children, vertical scrolling, and the vertical, horizontal, tab and tile
// layouts.
#include "DuiLib/UIContainer.h"

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"

namespace DuiLib {

// ---------------------------------------------------------------- scroll bar

CScrollBarUI::CScrollBarUI() {
    m_cxyFixed.cx = 8;
    m_bVisible = false;
}

std::string CScrollBarUI::GetClass() const { return "ScrollBarUI"; }

void* CScrollBarUI::GetInterface(const std::string& name) {
    if (name == "ScrollBar") return this;
    return CControlUI::GetInterface(name);
}

void CScrollBarUI::SetScrollRange(int range) {
    m_nRange = range < 0 ? 0 : range;
    if (m_nScrollPos > m_nRange) m_nScrollPos = m_nRange;
    UpdateThumb();
}

void CScrollBarUI::SetScrollPos(int pos) {
    m_nScrollPos = (std::max)(0, (std::min)(pos, m_nRange));
    UpdateThumb();
    Invalidate();
}

void CScrollBarUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    UpdateThumb();
}

void CScrollBarUI::UpdateThumb() {
    const int track = RectHeight(m_rcItem);
    if (track <= 0) {
        m_rcThumb = RECT{0, 0, 0, 0};
        return;
    }
    const int view = track;
    int thumb = m_nRange > 0 ? static_cast<int>(static_cast<long long>(track) * view / (view + m_nRange)) : track;
    thumb = (std::max)((std::min)(20, track), thumb);
    int top = m_rcItem.top;
    if (m_nRange > 0) top += static_cast<int>(static_cast<long long>(track - thumb) * m_nScrollPos / m_nRange);
    m_rcThumb = RECT{m_rcItem.left, top, m_rcItem.right, top + thumb};
}

void CScrollBarUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (RectContains(m_rcThumb, event.ptMouse)) {
            m_bDragging = true;
            m_nDragOffset = event.ptMouse.y - m_rcThumb.top;
        } else if (m_pOwner) {
            if (event.ptMouse.y < m_rcThumb.top) m_pOwner->PageUp();
            else m_pOwner->PageDown();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_bDragging && m_pOwner) {
            const int free = RectHeight(m_rcItem) - RectHeight(m_rcThumb);
            if (free > 0) {
                int top = event.ptMouse.y - m_nDragOffset - m_rcItem.top;
                m_pOwner->SetScrollPos(static_cast<int>(static_cast<long long>(top) * m_nRange / free));
            }
        } else {
            bool hot = RectContains(m_rcThumb, event.ptMouse);
            if (hot != m_bThumbHot) {
                m_bThumbHot = hot;
                Invalidate();
            }
        }
        return;
    case UIEVENT_BUTTONUP:
        m_bDragging = false;
        return;
    case UIEVENT_MOUSELEAVE:
        if (m_bThumbHot) {
            m_bThumbHot = false;
            Invalidate();
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        if (m_pOwner) m_pOwner->DoEvent(event);
        return;
    default:
        CControlUI::DoEvent(event);
    }
}

bool CScrollBarUI::SetAttribute(const std::string& name, const std::string& value) {
    if (name == "trackcolor") m_dwTrackColor = CRenderEngine::GetColorValue(value);
    else if (name == "thumbcolor") m_dwThumbColor = CRenderEngine::GetColorValue(value);
    else if (name == "thumbhotcolor") m_dwThumbHotColor = CRenderEngine::GetColorValue(value);
    else if (name == "thumbimage") m_sThumbImage = value;
    else if (name == "linesize") {
        int n;
        if (!ParseInt(value, n)) return false;
        SetLineSize(n);
    } else return CControlUI::SetAttribute(name, value);
    return true;
}

void CScrollBarUI::DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) {
    if (RectEmpty(RectIntersect(rcPaint, m_rcItem))) return;
    m_rcPaint = RectIntersect(rcPaint, m_rcItem);
    CControlUI::PaintBkColor(g);
    CControlUI::PaintBkImage(g);
    CRenderEngine::DrawColor(g, m_rcItem, m_dwTrackColor);
    if (!m_sThumbImage.empty() &&
        CRenderEngine::DrawImageString(g, m_pManager, m_rcThumb, m_rcPaint, m_sThumbImage))
        return;
    CRenderEngine::DrawColor(g, m_rcThumb, (m_bThumbHot || m_bDragging) ? m_dwThumbHotColor : m_dwThumbColor);
}

// ----------------------------------------------------------------- container

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    if (m_bAutoDestroy)
        for (CControlUI* p : items) delete p;
    delete m_pVerticalScrollBar;
}

std::string CContainerUI::GetClass() const { return "ContainerUI"; }

void* CContainerUI::GetInterface(const std::string& name) {
    if (name == "Container") return this;
    return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    return m_items[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* p) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == p) return static_cast<int>(i);
    return -1;
}

bool CContainerUI::Add(CControlUI* p) { return AddAt(p, GetCount()); }

bool CContainerUI::AddAt(CControlUI* p, int index) {
    if (!p || index < 0 || index > GetCount() || GetItemIndex(p) >= 0) return false;
    m_items.insert(m_items.begin() + index, p);
    if (m_pManager) m_pManager->InitControls(p, this);
    else p->SetManager(nullptr, this, false);
    NeedUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* p) {
    int i = GetItemIndex(p);
    if (i < 0) return false;
    return RemoveAt(i);
}

bool CContainerUI::RemoveAt(int index) {
    CControlUI* p = GetItemAt(index);
    if (!p) return false;
    m_items.erase(m_items.begin() + index);
    if (m_pManager) {
        m_pManager->ReapObjects(p);
        if (m_bAutoDestroy) m_pManager->AddDelayedCleanup(p);
    } else if (m_bAutoDestroy) {
        delete p;
    }
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* p : items) {
        if (m_pManager) {
            m_pManager->ReapObjects(p);
            if (m_bAutoDestroy) m_pManager->AddDelayedCleanup(p);
        } else if (m_bAutoDestroy) {
            delete p;
        }
    }
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetScrollPos(0);
    NeedUpdate();
}

void CContainerUI::SetInset(const RECT& rc) {
    m_rcInset = rc;
    NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
    m_iChildPadding = padding;
    NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool bEnable) {
    if (bEnable && !m_pVerticalScrollBar) {
        m_pVerticalScrollBar = new CScrollBarUI;
        m_pVerticalScrollBar->SetOwner(this);
        m_pVerticalScrollBar->SetManager(m_pManager, this, false);
    } else if (!bEnable && m_pVerticalScrollBar) {
        if (m_pManager) m_pManager->ReapObjects(m_pVerticalScrollBar);
        delete m_pVerticalScrollBar;
        m_pVerticalScrollBar = nullptr;
    }
    NeedUpdate();
}

int CContainerUI::GetScrollPos() const { return m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0; }

int CContainerUI::GetScrollRange() const {
    return m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollRange() : 0;
}

void CContainerUI::SetScrollPos(int pos) {
    if (!m_pVerticalScrollBar) return;
    int old = m_pVerticalScrollBar->GetScrollPos();
    m_pVerticalScrollBar->SetScrollPos(pos);
    if (m_pVerticalScrollBar->GetScrollPos() == old) return;
    // Only this container's content moves: lay it out again and repaint it.
    SetPos(m_rcItem);
    Invalidate();
}

void CContainerUI::LineUp() {
    if (m_pVerticalScrollBar) SetScrollPos(GetScrollPos() - m_pVerticalScrollBar->GetLineSize());
}

void CContainerUI::LineDown() {
    if (m_pVerticalScrollBar) SetScrollPos(GetScrollPos() + m_pVerticalScrollBar->GetLineSize());
}

void CContainerUI::PageUp() { SetScrollPos(GetScrollPos() - (std::max)(1, RectHeight(GetClientRect()))); }

void CContainerUI::PageDown() { SetScrollPos(GetScrollPos() + (std::max)(1, RectHeight(GetClientRect()))); }

void CContainerUI::EnsureVisible(CControlUI* p) {
    if (!p || !m_pVerticalScrollBar || GetItemIndex(p) < 0) return;
    RECT client = GetClientRect();
    RECT rc = p->GetPos();
    if (rc.top < client.top) SetScrollPos(GetScrollPos() - (client.top - rc.top));
    else if (rc.bottom > client.bottom) SetScrollPos(GetScrollPos() + (rc.bottom - client.bottom));
}

RECT CContainerUI::GetClientRect() const {
    RECT rc = RectDeflate(m_rcItem, m_rcInset);
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

void CContainerUI::SetFloatPos(int index) {
    CControlUI* p = GetItemAt(index);
    if (!p || !p->IsFloat()) return;
    RECT f = p->GetFloatPos();
    RECT rc{m_rcItem.left + f.left, m_rcItem.top + f.top, m_rcItem.left + f.right, m_rcItem.top + f.bottom};
    p->SetPos(rc);
}

void CContainerUI::ProcessScrollBar(RECT rc, int cyRequired) {
    if (!m_pVerticalScrollBar) return;
    RECT client = RectDeflate(rc, m_rcInset);
    const int view = RectHeight(client);
    if (cyRequired > view) {
        m_pVerticalScrollBar->SetVisible(true);
        m_pVerticalScrollBar->SetScrollRange(cyRequired - view);
        const int w = m_pVerticalScrollBar->GetFixedWidth();
        m_pVerticalScrollBar->SetPos(RECT{client.right - w, client.top, client.right, client.bottom});
    } else {
        m_pVerticalScrollBar->SetScrollRange(0);
        m_pVerticalScrollBar->SetScrollPos(0);
        m_pVerticalScrollBar->SetVisible(false);
    }
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT client = GetClientRect();
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* p = m_items[static_cast<size_t>(i)];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        p->SetPos(RectDeflate(client, p->GetPadding()));
    }
}

void CContainerUI::SetVisible(bool bVisible) { CControlUI::SetVisible(bVisible); }

void CContainerUI::SetInternVisible(bool bVisible) { CControlUI::SetInternVisible(bVisible); }

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (CControlUI* p : m_items) p->SetManager(pManager, this, bInit);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if (uFlags & UIFIND_HITTEST) {
        POINT pt = *static_cast<POINT*>(pData);
        if (!RectContains(m_rcItem, pt)) return nullptr;
        if (!m_bMouseChildEnabled) return CControlUI::FindControl(Proc, pData, uFlags);
        if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) {
            if (CControlUI* p = m_pVerticalScrollBar->FindControl(Proc, pData, uFlags)) return p;
        }
        // Floating children lie over the others; later children over earlier.
        RECT client = GetClientRect();
        for (int i = GetCount() - 1; i >= 0; --i) {
            CControlUI* c = m_items[static_cast<size_t>(i)];
            if (!c->IsFloat() && !RectContains(client, pt)) continue;
            if (CControlUI* p = c->FindControl(Proc, pData, uFlags)) return p;
        }
        return CControlUI::FindControl(Proc, pData, uFlags);
    }
    if (uFlags & UIFIND_ME_FIRST) {
        if (CControlUI* p = CControlUI::FindControl(Proc, pData, uFlags)) return p;
    }
    for (CControlUI* c : m_items)
        if (CControlUI* p = c->FindControl(Proc, pData, uFlags)) return p;
    if (!(uFlags & UIFIND_ME_FIRST)) return CControlUI::FindControl(Proc, pData, uFlags);
    return nullptr;
}

void CContainerUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SCROLLWHEEL && m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible() &&
        GetScrollRange() > 0) {
        const int delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
        const int notches = (std::max)(1, (delta < 0 ? -delta : delta) / WHEEL_DELTA);
        for (int i = 0; i < notches; ++i) {
            if (delta > 0) LineUp();
            else LineDown();
        }
        return;
    }
    CControlUI::DoEvent(event);
}

void CContainerUI::DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) {
    RECT rcTemp = RectIntersect(rcPaint, m_rcItem);
    if (RectEmpty(rcTemp)) return;
    m_rcPaint = rcTemp;
    PaintBkColor(g);
    PaintBkImage(g);
    PaintStatusImage(g);
    PaintText(g);
    if (!m_items.empty()) {
        RECT rcClient = RectIntersect(rcTemp, GetClientRect());
        for (CControlUI* c : m_items) {
            if (!c->IsVisible()) continue;
            const RECT& clip = c->IsFloat() ? rcTemp : rcClient;
            if (RectEmpty(RectIntersect(clip, c->GetPos()))) continue;
            RECT old = CRenderEngine::PushClip(g, clip);
            c->DoPaint(g, clip);
            CRenderEngine::RestoreClip(g, old);
        }
    }
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) m_pVerticalScrollBar->DoPaint(g, rcTemp);
    PaintBorder(g);
}

bool CContainerUI::SetAttribute(const std::string& name, const std::string& value) {
    RECT rc;
    int n;
    bool b;
    if (name == "inset") {
        if (!ParseRect(value, rc)) return false;
        SetInset(rc);
    } else if (name == "childpadding") {
        if (!ParseInt(value, n)) return false;
        SetChildPadding(n);
    } else if (name == "mousechild") {
        if (!ParseBool(value, b)) return false;
        m_bMouseChildEnabled = b;
    } else if (name == "vscrollbar") {
        if (!ParseBool(value, b)) return false;
        EnableScrollBar(b);
    } else if (name == "vscrollbarstyle") {
        EnableScrollBar(true);
        return m_pVerticalScrollBar->ApplyAttributeList(value);
    } else if (name == "autodestroy") {
        if (!ParseBool(value, b)) return false;
        m_bAutoDestroy = b;
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

// ----------------------------------------------------------- vertical layout

std::string CVerticalLayoutUI::GetClass() const { return "VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const std::string& name) {
    if (name == "VerticalLayout") return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT inner = RectDeflate(rc, m_rcInset);
    bool withBar = false;
    for (int pass = 0; pass < 2; ++pass) {
        RECT area = inner;
        if (withBar) area.right -= m_pVerticalScrollBar->GetFixedWidth();
        const int areaW = (std::max)(0L, area.right - area.left);
        const int areaH = (std::max)(0L, area.bottom - area.top);
        int cyFixed = 0, nAdjust = 0, nVisible = 0;
        for (CControlUI* p : m_items) {
            if (!p->IsVisible() || p->IsFloat()) continue;
            ++nVisible;
            SIZE sz = p->EstimateSize(SIZE{areaW, areaH});
            RECT pad = p->GetPadding();
            if (sz.cy == 0) ++nAdjust;
            else cyFixed += (std::max)(p->GetMinHeight(), (std::min)(static_cast<int>(sz.cy), p->GetMaxHeight()));
            cyFixed += pad.top + pad.bottom;
        }
        if (nVisible > 1) cyFixed += (nVisible - 1) * m_iChildPadding;
        const int remain = areaH - cyFixed;
        const int scroll = withBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
        int y = area.top - scroll;
        int adjustLeft = nAdjust, remainLeft = remain;
        bool first = true;
        for (size_t i = 0; i < m_items.size(); ++i) {
            CControlUI* p = m_items[i];
            if (!p->IsVisible()) continue;
            if (p->IsFloat()) {
                SetFloatPos(static_cast<int>(i));
                continue;
            }
            if (!first) y += m_iChildPadding;
            first = false;
            RECT pad = p->GetPadding();
            SIZE sz = p->EstimateSize(SIZE{areaW, areaH});
            int h;
            if (sz.cy == 0) {
                h = adjustLeft > 0 ? remainLeft / adjustLeft : 0;
                remainLeft -= h;
                --adjustLeft;
                h = (std::max)(h, p->GetMinHeight());
                h = (std::min)(h, p->GetMaxHeight());
            } else {
                h = (std::max)(p->GetMinHeight(), (std::min)(static_cast<int>(sz.cy), p->GetMaxHeight()));
            }
            int w = sz.cx == 0 ? areaW - pad.left - pad.right : static_cast<int>(sz.cx);
            w = (std::max)(p->GetMinWidth(), (std::min)(w, p->GetMaxWidth()));
            y += pad.top;
            const int x = area.left + pad.left;
            p->SetPos(RECT{x, y, x + w, y + h});
            y += h + pad.bottom;
        }
        const int required = y + scroll - area.top;
        if (pass == 0 && m_pVerticalScrollBar && required > areaH) {
            withBar = true;
            ProcessScrollBar(rc, required);
            continue;
        }
        if (m_pVerticalScrollBar) {
            if (withBar) ProcessScrollBar(rc, required);
            else ProcessScrollBar(rc, 0);
        }
        break;
    }
}

// --------------------------------------------------------- horizontal layout

std::string CHorizontalLayoutUI::GetClass() const { return "HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const std::string& name) {
    if (name == "HorizontalLayout") return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT area = RectDeflate(rc, m_rcInset);
    const int areaW = (std::max)(0L, area.right - area.left);
    const int areaH = (std::max)(0L, area.bottom - area.top);
    int cxFixed = 0, nAdjust = 0, nVisible = 0;
    for (CControlUI* p : m_items) {
        if (!p->IsVisible() || p->IsFloat()) continue;
        ++nVisible;
        SIZE sz = p->EstimateSize(SIZE{areaW, areaH});
        RECT pad = p->GetPadding();
        if (sz.cx == 0) ++nAdjust;
        else cxFixed += (std::max)(p->GetMinWidth(), (std::min)(static_cast<int>(sz.cx), p->GetMaxWidth()));
        cxFixed += pad.left + pad.right;
    }
    if (nVisible > 1) cxFixed += (nVisible - 1) * m_iChildPadding;
    int remainLeft = areaW - cxFixed;
    int adjustLeft = nAdjust;
    int x = area.left;
    bool first = true;
    for (size_t i = 0; i < m_items.size(); ++i) {
        CControlUI* p = m_items[i];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            SetFloatPos(static_cast<int>(i));
            continue;
        }
        if (!first) x += m_iChildPadding;
        first = false;
        RECT pad = p->GetPadding();
        SIZE sz = p->EstimateSize(SIZE{areaW, areaH});
        int w;
        if (sz.cx == 0) {
            w = adjustLeft > 0 ? remainLeft / adjustLeft : 0;
            remainLeft -= w;
            --adjustLeft;
            w = (std::max)(w, p->GetMinWidth());
            w = (std::min)(w, p->GetMaxWidth());
        } else {
            w = (std::max)(p->GetMinWidth(), (std::min)(static_cast<int>(sz.cx), p->GetMaxWidth()));
        }
        int h = sz.cy == 0 ? areaH - pad.top - pad.bottom : static_cast<int>(sz.cy);
        h = (std::max)(p->GetMinHeight(), (std::min)(h, p->GetMaxHeight()));
        x += pad.left;
        const int y = area.top + pad.top;
        p->SetPos(RECT{x, y, x + w, y + h});
        x += w + pad.right;
    }
}

// ---------------------------------------------------------------- tab layout

std::string CTabLayoutUI::GetClass() const { return "TabLayoutUI"; }

void* CTabLayoutUI::GetInterface(const std::string& name) {
    if (name == "TabLayout") return this;
    return CContainerUI::GetInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* p) { return AddAt(p, GetCount()); }

bool CTabLayoutUI::AddAt(CControlUI* p, int index) {
    if (!CContainerUI::AddAt(p, index)) return false;
    // A page inserted before the shown one keeps the shown page shown; a
    // page added at the end leaves the choice alone (the skin may name a
    // page that is still to come).
    if (m_iCurSel < 0) m_iCurSel = 0;
    else if (index < GetCount() - 1 && index <= m_iCurSel) ++m_iCurSel;
    for (int i = 0; i < GetCount(); ++i) m_items[static_cast<size_t>(i)]->SetInternVisible(i == m_iCurSel);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* p) {
    int index = GetItemIndex(p);
    if (index < 0) return false;
    if (!CContainerUI::RemoveAt(index)) return false;
    if (GetCount() == 0) m_iCurSel = -1;
    else if (index < m_iCurSel) --m_iCurSel;
    else if (index == m_iCurSel) m_iCurSel = (std::min)(m_iCurSel, GetCount() - 1);
    for (int i = 0; i < GetCount(); ++i) m_items[static_cast<size_t>(i)]->SetInternVisible(i == m_iCurSel);
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

bool CTabLayoutUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount()) return false;
    if (index == m_iCurSel) return true;
    CControlUI* oldPage = GetItemAt(m_iCurSel);
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) m_items[static_cast<size_t>(i)]->SetInternVisible(i == m_iCurSel);
    if (m_pManager && oldPage) {
        for (CControlUI* f = m_pManager->GetFocus(); f; f = f->GetParent()) {
            if (f == oldPage) {
                m_pManager->SetFocus(nullptr);
                break;
            }
        }
    }
    NeedUpdate();
    return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* p) { return SelectItem(GetItemIndex(p)); }

void CTabLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT client = RectDeflate(rc, m_rcInset);
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* p = m_items[static_cast<size_t>(i)];
        if (i != m_iCurSel || !p->IsVisible()) continue;
        if (p->IsFloat()) SetFloatPos(i);
        else p->SetPos(RectDeflate(client, p->GetPadding()));
    }
}

bool CTabLayoutUI::SetAttribute(const std::string& name, const std::string& value) {
    if (name == "selectedid") {
        int n;
        if (!ParseInt(value, n)) return false;
        if (GetCount() == 0 || !SelectItem(n)) m_iCurSel = n;  // applied when the pages are added
        return true;
    }
    return CContainerUI::SetAttribute(name, value);
}

// --------------------------------------------------------------- tile layout

CTileLayoutUI::CTileLayoutUI() {}

std::string CTileLayoutUI::GetClass() const { return "TileLayoutUI"; }

void* CTileLayoutUI::GetInterface(const std::string& name) {
    if (name == "TileLayout") return this;
    return CContainerUI::GetInterface(name);
}

void CTileLayoutUI::SetItemSize(SIZE sz) {
    m_szItem = sz;
    NeedUpdate();
}

void CTileLayoutUI::SetColumns(int cols) {
    m_nColumns = cols < 0 ? 0 : cols;
    NeedUpdate();
}

void CTileLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT inner = RectDeflate(rc, m_rcInset);
    bool withBar = false;
    for (int pass = 0; pass < 2; ++pass) {
        RECT area = inner;
        if (withBar) area.right -= m_pVerticalScrollBar->GetFixedWidth();
        const int areaW = (std::max)(0L, area.right - area.left);
        int cols = m_nColumns;
        if (m_szItem.cx > 0)
            cols = (std::max)(1, (areaW + m_iChildPadding) / (static_cast<int>(m_szItem.cx) + m_iChildPadding));
        if (cols <= 0) cols = 1;
        const int cellW = m_szItem.cx > 0 ? static_cast<int>(m_szItem.cx)
                                          : (std::max)(0, (areaW - (cols - 1) * m_iChildPadding) / cols);
        int cellH = static_cast<int>(m_szItem.cy);
        if (cellH <= 0) {
            for (CControlUI* p : m_items)
                if (p->IsVisible() && !p->IsFloat())
                    cellH = (std::max)(cellH, static_cast<int>(p->GetFixedHeight() + p->GetPadding().top + p->GetPadding().bottom));
            if (cellH <= 0) cellH = cellW;
        }
        m_nActualColumns = cols;
        if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetLineSize(cellH + m_iChildPadding);
        const int scroll = withBar ? m_pVerticalScrollBar->GetScrollPos() : 0;
        int n = 0;
        for (size_t i = 0; i < m_items.size(); ++i) {
            CControlUI* p = m_items[i];
            if (!p->IsVisible()) continue;
            if (p->IsFloat()) {
                SetFloatPos(static_cast<int>(i));
                continue;
            }
            const int col = n % cols, row = n / cols;
            const int x = area.left + col * (cellW + m_iChildPadding);
            const int y = area.top - scroll + row * (cellH + m_iChildPadding);
            RECT pad = p->GetPadding();
            SIZE sz = p->EstimateSize(SIZE{cellW, cellH});
            int w = sz.cx > 0 ? (std::min)(static_cast<int>(sz.cx), cellW) : cellW - pad.left - pad.right;
            int h = sz.cy > 0 ? (std::min)(static_cast<int>(sz.cy), cellH) : cellH - pad.top - pad.bottom;
            p->SetPos(RECT{x + pad.left, y + pad.top, x + pad.left + w, y + pad.top + h});
            ++n;
        }
        const int rows = (n + cols - 1) / cols;
        const int required = rows > 0 ? rows * cellH + (rows - 1) * m_iChildPadding : 0;
        if (pass == 0 && m_pVerticalScrollBar && required > RectHeight(inner)) {
            withBar = true;
            ProcessScrollBar(rc, required);
            continue;
        }
        if (m_pVerticalScrollBar) ProcessScrollBar(rc, withBar ? required : 0);
        break;
    }
}

bool CTileLayoutUI::SetAttribute(const std::string& name, const std::string& value) {
    if (name == "itemsize") {
        SIZE sz;
        if (!ParseSize(value, sz)) return false;
        SetItemSize(sz);
        return true;
    }
    if (name == "columns") {
        int n;
        if (!ParseInt(value, n)) return false;
        SetColumns(n);
        return true;
    }
    return CContainerUI::SetAttribute(name, value);
}

}  // namespace DuiLib
