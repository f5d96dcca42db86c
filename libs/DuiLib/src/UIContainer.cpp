// Containers and layouts: children, insets, child padding, floating
// children, scrolling on both axes, and the vertical, horizontal, tab and
// tile layouts.
#include "DuiLib/UIContainer.h"

#include "DuiLib/UIManager.h"
#include "DuiLib/UIRender.h"
#include "UIInternal.h"

namespace DuiLib {

// ---------------------------------------------------------------- scroll bar

CScrollBarUI::CScrollBarUI() {
    m_cxyFixed.cx = 8;
    m_cxyFixed.cy = 8;
    m_bVisible = false;
}

std::string CScrollBarUI::GetClass() const { return "ScrollBarUI"; }

void* CScrollBarUI::GetInterface(const std::string& name) {
    if (name == "ScrollBar") return this;
    return CControlUI::GetInterface(name);
}

int CScrollBarUI::GetThickness() const {
    return Px(this, static_cast<int>(m_bHorizontal ? m_cxyFixed.cy : m_cxyFixed.cx));
}

int CScrollBarUI::GetLineSize() const { return m_nLinePx > 0 ? m_nLinePx : Px(this, m_nLineSize); }

void CScrollBarUI::SetHorizontal(bool b) {
    m_bHorizontal = b;
    UpdateThumb();
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
    const LONG start = m_bHorizontal ? m_rcItem.left : m_rcItem.top;
    const int track = m_bHorizontal ? RectWidth(m_rcItem) : RectHeight(m_rcItem);
    if (track <= 0) {
        m_rcThumb = RECT{0, 0, 0, 0};
        return;
    }
    // The thumb is to the track as the view is to the whole content.
    const int view = track;
    int thumb = m_nRange > 0 ? static_cast<int>(static_cast<long long>(track) * view / (view + m_nRange)) : track;
    thumb = (std::max)((std::min)(Px(this, 20), track), thumb);
    LONG at = start;
    if (m_nRange > 0) at += static_cast<LONG>(static_cast<long long>(track - thumb) * m_nScrollPos / m_nRange);
    m_rcThumb = m_bHorizontal ? RECT{at, m_rcItem.top, at + thumb, m_rcItem.bottom}
                              : RECT{m_rcItem.left, at, m_rcItem.right, at + thumb};
}

void CScrollBarUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (RectContains(m_rcThumb, event.ptMouse)) {
            m_bDragging = true;
            m_nDragOffset = Along(event.ptMouse) - (m_bHorizontal ? m_rcThumb.left : m_rcThumb.top);
            Invalidate();
        } else if (m_pOwner) {
            // A press on the track pages towards it.
            const bool before = Along(event.ptMouse) < (m_bHorizontal ? m_rcThumb.left : m_rcThumb.top);
            if (m_bHorizontal) before ? m_pOwner->PageLeft() : m_pOwner->PageRight();
            else before ? m_pOwner->PageUp() : m_pOwner->PageDown();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_bDragging && m_pOwner) {
            const int track = m_bHorizontal ? RectWidth(m_rcItem) : RectHeight(m_rcItem);
            const int thumb = m_bHorizontal ? RectWidth(m_rcThumb) : RectHeight(m_rcThumb);
            const int free = track - thumb;
            if (free > 0) {
                const LONG start = m_bHorizontal ? m_rcItem.left : m_rcItem.top;
                const int at = static_cast<int>(Along(event.ptMouse) - m_nDragOffset - start);
                const int pos = static_cast<int>(static_cast<long long>(at) * m_nRange / free);
                if (m_bHorizontal) m_pOwner->SetHScrollPos(pos);
                else m_pOwner->SetScrollPos(pos);
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
        if (m_bDragging) {
            m_bDragging = false;
            Invalidate();
        }
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
    } else if (name == "thickness") {
        int n;
        if (!ParseInt(value, n) || n <= 0) return false;
        m_cxyFixed.cx = m_cxyFixed.cy = n;
        if (m_pOwner) m_pOwner->NeedUpdate();
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

namespace {
// Sets a bar's range for content of `need` pixels in a view of `view`,
// shows it when the content does not fit and hides it (at 0) when it does.
void FitBar(CScrollBarUI* bar, bool shown, int need, int view) {
    if (!bar) return;
    bar->SetVisible(shown);
    bar->SetScrollRange(shown ? need - view : 0);
    if (!shown) bar->SetScrollPos(0);
}
}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    if (m_bAutoDestroy)
        for (CControlUI* p : items) delete p;
    delete m_pVerticalScrollBar;
    delete m_pHorizontalScrollBar;
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

namespace {
// A child that left the container: forgotten by the window and, when the
// container owns it, deleted once the current message is done.
void Discard(CPaintManagerUI* pm, CControlUI* p, bool owned) {
    if (pm) {
        pm->ReapObjects(p);
        if (owned) pm->AddDelayedCleanup(p);
    } else if (owned) {
        delete p;
    }
}
}  // namespace

bool CContainerUI::RemoveAt(int index) {
    CControlUI* p = GetItemAt(index);
    if (!p) return false;
    m_items.erase(m_items.begin() + index);
    Discard(m_pManager, p, m_bAutoDestroy);
    NeedUpdate();
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(m_items);
    for (CControlUI* p : items) Discard(m_pManager, p, m_bAutoDestroy);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetScrollPos(0);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetScrollPos(0);
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

void CContainerUI::EnableScrollBar(bool bEnable) { EnableScrollBar(bEnable, m_pHorizontalScrollBar != nullptr); }

void CContainerUI::EnableScrollBar(bool bEnableVertical, bool bEnableHorizontal) {
    CScrollBarUI** bars[2] = {&m_pVerticalScrollBar, &m_pHorizontalScrollBar};
    const bool enable[2] = {bEnableVertical, bEnableHorizontal};
    for (int i = 0; i < 2; ++i) {
        CScrollBarUI*& bar = *bars[i];
        if (enable[i] && !bar) {
            bar = new CScrollBarUI;
            bar->SetOwner(this);
            bar->SetHorizontal(i == 1);
            bar->SetManager(m_pManager, this, false);
        } else if (!enable[i] && bar) {
            if (m_pManager) m_pManager->ReapObjects(bar);
            delete bar;
            bar = nullptr;
        }
    }
    NeedUpdate();
}

int CContainerUI::GetScrollPos() const { return m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollPos() : 0; }

int CContainerUI::GetScrollRange() const {
    return m_pVerticalScrollBar ? m_pVerticalScrollBar->GetScrollRange() : 0;
}

int CContainerUI::GetHScrollPos() const {
    return m_pHorizontalScrollBar ? m_pHorizontalScrollBar->GetScrollPos() : 0;
}

int CContainerUI::GetHScrollRange() const {
    return m_pHorizontalScrollBar ? m_pHorizontalScrollBar->GetScrollRange() : 0;
}

namespace {
// Moves a bar; true when its position changed.
bool MoveBar(CScrollBarUI* bar, int pos) {
    if (!bar) return false;
    const int old = bar->GetScrollPos();
    bar->SetScrollPos(pos);
    return bar->GetScrollPos() != old;
}
int LineOf(const CScrollBarUI* bar) { return bar ? bar->GetLineSize() : 0; }
}  // namespace

// Only this container's content moves when it scrolls: it is laid out
// again and repainted, nothing else.
void CContainerUI::SetScrollPos(int pos) {
    if (!MoveBar(m_pVerticalScrollBar, pos)) return;
    SetPos(m_rcItem);
    Invalidate();
}

void CContainerUI::SetHScrollPos(int pos) {
    if (!MoveBar(m_pHorizontalScrollBar, pos)) return;
    SetPos(m_rcItem);
    Invalidate();
}

void CContainerUI::LineUp() { SetScrollPos(GetScrollPos() - LineOf(m_pVerticalScrollBar)); }
void CContainerUI::LineDown() { SetScrollPos(GetScrollPos() + LineOf(m_pVerticalScrollBar)); }
void CContainerUI::PageUp() { SetScrollPos(GetScrollPos() - (std::max)(1, RectHeight(GetClientRect()))); }
void CContainerUI::PageDown() { SetScrollPos(GetScrollPos() + (std::max)(1, RectHeight(GetClientRect()))); }
void CContainerUI::LineLeft() { SetHScrollPos(GetHScrollPos() - LineOf(m_pHorizontalScrollBar)); }
void CContainerUI::LineRight() { SetHScrollPos(GetHScrollPos() + LineOf(m_pHorizontalScrollBar)); }
void CContainerUI::PageLeft() { SetHScrollPos(GetHScrollPos() - (std::max)(1, RectWidth(GetClientRect()))); }
void CContainerUI::PageRight() { SetHScrollPos(GetHScrollPos() + (std::max)(1, RectWidth(GetClientRect()))); }

void CContainerUI::EnsureVisible(CControlUI* p) {
    if (!p || GetItemIndex(p) < 0) return;
    const RECT client = GetClientRect();
    const RECT rc = p->GetPos();
    if (m_pVerticalScrollBar) {
        if (rc.top < client.top) SetScrollPos(GetScrollPos() - (client.top - rc.top));
        else if (rc.bottom > client.bottom) SetScrollPos(GetScrollPos() + (rc.bottom - client.bottom));
    }
    if (m_pHorizontalScrollBar) {
        const RECT now = p->GetPos();
        if (now.left < client.left) SetHScrollPos(GetHScrollPos() - (client.left - now.left));
        else if (now.right > client.right) SetHScrollPos(GetHScrollPos() + (now.right - client.right));
    }
}

RECT CContainerUI::GetClientRect() const {
    RECT rc = RectDeflate(m_rcItem, Px(this, m_rcInset));
    if (m_pVerticalScrollBar && m_pVerticalScrollBar->IsVisible()) rc.right -= m_pVerticalScrollBar->GetThickness();
    if (m_pHorizontalScrollBar && m_pHorizontalScrollBar->IsVisible())
        rc.bottom -= m_pHorizontalScrollBar->GetThickness();
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    return rc;
}

void CContainerUI::SetFloatPos(int index) {
    CControlUI* p = GetItemAt(index);
    if (!p || !p->IsFloat()) return;
    RECT f = Px(this, p->GetFloatPos());
    RECT rc{m_rcItem.left + f.left, m_rcItem.top + f.top, m_rcItem.left + f.right, m_rcItem.top + f.bottom};
    p->SetPos(rc);
}

void CContainerUI::ProcessScrollBar(RECT rc, int cyRequired) {
    if (!m_pVerticalScrollBar) return;
    RECT client = RectDeflate(rc, Px(this, m_rcInset));
    const int view = RectHeight(client);
    FitBar(m_pVerticalScrollBar, cyRequired > view, cyRequired, view);
    if (cyRequired > view) {
        const int w = m_pVerticalScrollBar->GetThickness();
        m_pVerticalScrollBar->SetPos(RECT{client.right - w, client.top, client.right, client.bottom});
    }
}

SIZE CContainerUI::LayoutChildren(const RECT& area, POINT) {
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* p = m_items[static_cast<size_t>(i)];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) SetFloatPos(i);
        else p->SetPos(RectDeflate(area, Px(this, p->GetPadding())));
    }
    return SIZE{0, 0};
}

void CContainerUI::LayoutWithScrollBars(RECT rc) {
    CControlUI::SetPos(rc);
    const RECT inner = RectDeflate(m_rcItem, Px(this, m_rcInset));
    CScrollBarUI* vbar = m_pVerticalScrollBar;
    CScrollBarUI* hbar = m_pHorizontalScrollBar;
    // A bar that is needed takes room from the view, which may make the
    // other one needed too; bars only ever get added, so three passes
    // settle it.
    bool withV = false, withH = false;
    RECT area = inner;
    SIZE need{0, 0};
    for (int pass = 0; pass < 3; ++pass) {
        area = inner;
        if (withV) area.right -= vbar->GetThickness();
        if (withH) area.bottom -= hbar->GetThickness();
        if (area.right < area.left) area.right = area.left;
        if (area.bottom < area.top) area.bottom = area.top;
        const POINT scroll{withH ? hbar->GetScrollPos() : 0, withV ? vbar->GetScrollPos() : 0};
        need = LayoutChildren(area, scroll);
        const bool wantV = withV || (vbar && need.cy > RectHeight(area));
        const bool wantH = withH || (hbar && need.cx > RectWidth(area));
        if (wantV == withV && wantH == withH) break;
        withV = wantV;
        withH = wantH;
    }
    const POINT used{withH ? hbar->GetScrollPos() : 0, withV ? vbar->GetScrollPos() : 0};
    FitBar(vbar, withV, need.cy, RectHeight(area));
    FitBar(hbar, withH, need.cx, RectWidth(area));
    if (withV) vbar->SetPos(RECT{area.right, area.top, area.right + vbar->GetThickness(), area.bottom});
    if (withH) hbar->SetPos(RECT{area.left, area.bottom, area.right, area.bottom + hbar->GetThickness()});
    // Content that shrank pulls the scroll positions back: place it again.
    if (GetScrollPos() != used.y || GetHScrollPos() != used.x)
        LayoutChildren(area, POINT{GetHScrollPos(), GetScrollPos()});
}

void CContainerUI::SetPos(RECT rc) { LayoutWithScrollBars(rc); }

void CContainerUI::SetVisible(bool bVisible) { CControlUI::SetVisible(bVisible); }

void CContainerUI::SetInternVisible(bool bVisible) { CControlUI::SetInternVisible(bVisible); }

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    for (CControlUI* p : m_items) p->SetManager(pManager, this, bInit);
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetManager(pManager, this, bInit);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) {
    if ((uFlags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
    if ((uFlags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
    if (uFlags & UIFIND_HITTEST) {
        POINT pt = *static_cast<POINT*>(pData);
        if (!RectContains(m_rcItem, pt)) return nullptr;
        if (!m_bMouseChildEnabled) return CControlUI::FindControl(Proc, pData, uFlags);
        for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar}) {
            if (bar && bar->IsVisible())
                if (CControlUI* p = bar->FindControl(Proc, pData, uFlags)) return p;
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
    if (event.Type == UIEVENT_SCROLLWHEEL) {
        // Shift turns the wheel sideways; a container that cannot scroll
        // that way hands the wheel on to its parent.
        const bool sideways = (event.wKeyState & MK_SHIFT) != 0;
        CScrollBarUI* bar = sideways ? m_pHorizontalScrollBar : m_pVerticalScrollBar;
        if (bar && bar->IsVisible() && bar->GetScrollRange() > 0) {
            const int delta = GET_WHEEL_DELTA_WPARAM(event.wParam);
            const int notches = (std::max)(1, (delta < 0 ? -delta : delta) / WHEEL_DELTA);
            for (int i = 0; i < notches; ++i) {
                if (sideways) delta > 0 ? LineLeft() : LineRight();
                else delta > 0 ? LineUp() : LineDown();
            }
            return;
        }
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
    for (CScrollBarUI* bar : {m_pVerticalScrollBar, m_pHorizontalScrollBar})
        if (bar && bar->IsVisible()) bar->DoPaint(g, rcTemp);
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
        EnableScrollBar(b, m_pHorizontalScrollBar != nullptr);
    } else if (name == "hscrollbar") {
        if (!ParseBool(value, b)) return false;
        EnableScrollBar(m_pVerticalScrollBar != nullptr, b);
    } else if (name == "vscrollbarstyle") {
        EnableScrollBar(true, m_pHorizontalScrollBar != nullptr);
        return m_pVerticalScrollBar->ApplyAttributeList(value);
    } else if (name == "hscrollbarstyle") {
        EnableScrollBar(m_pVerticalScrollBar != nullptr, true);
        return m_pHorizontalScrollBar->ApplyAttributeList(value);
    } else if (name == "autodestroy") {
        if (!ParseBool(value, b)) return false;
        m_bAutoDestroy = b;
    } else {
        return CControlUI::SetAttribute(name, value);
    }
    return true;
}

// ------------------------------------------------------------- line layouts

namespace {
// The size along the line a child gets: its own (kept within its minimum
// and maximum), or a share of what is left when it asks for none.
int ShareOrOwn(int own, int& remainLeft, int& adjustLeft, int minSize, int maxSize) {
    int s;
    if (own == 0) {
        s = adjustLeft > 0 ? remainLeft / adjustLeft : 0;
        remainLeft -= s;
        --adjustLeft;
    } else {
        s = own;
    }
    return (std::max)(minSize, (std::min)(s, maxSize));
}

// One axis of a rectangle or size: "main" runs along the line of
// children, "cross" across it.
struct Axis {
    bool vertical;
    LONG Main(SIZE s) const { return vertical ? s.cy : s.cx; }
    LONG Cross(SIZE s) const { return vertical ? s.cx : s.cy; }
    LONG Main(POINT p) const { return vertical ? p.y : p.x; }
    LONG Cross(POINT p) const { return vertical ? p.x : p.y; }
    LONG Lead(const RECT& r) const { return vertical ? r.top : r.left; }
    LONG Trail(const RECT& r) const { return vertical ? r.bottom : r.right; }
    LONG CrossLead(const RECT& r) const { return vertical ? r.left : r.top; }
    LONG CrossTrail(const RECT& r) const { return vertical ? r.right : r.bottom; }
    int MinMain(const CControlUI* p) const { return vertical ? p->GetMinHeight() : p->GetMinWidth(); }
    int MaxMain(const CControlUI* p) const { return vertical ? p->GetMaxHeight() : p->GetMaxWidth(); }
    int MinCross(const CControlUI* p) const { return vertical ? p->GetMinWidth() : p->GetMinHeight(); }
    int MaxCross(const CControlUI* p) const { return vertical ? p->GetMaxWidth() : p->GetMaxHeight(); }
    RECT Make(LONG main, LONG cross, LONG mainLen, LONG crossLen) const {
        return vertical ? RECT{cross, main, cross + crossLen, main + mainLen}
                        : RECT{main, cross, main + mainLen, cross + crossLen};
    }
    SIZE MakeSize(LONG main, LONG cross) const { return vertical ? SIZE{cross, main} : SIZE{main, cross}; }
};
}  // namespace

SIZE CContainerUI::LayoutLine(const RECT& area, POINT scroll, bool bVertical) {
    const Axis ax{bVertical};
    const SIZE avail{RectWidth(area), RectHeight(area)};
    const SIZE availUnits{Unpx(this, avail.cx), Unpx(this, avail.cy)};
    const int mainLen = ax.Main(avail), crossLen = ax.Cross(avail);
    // Children of a fixed size, paddings and the gaps between children are
    // lengths in 96-DPI units; the rest is shared, in pixels, by the
    // children that ask for no size. Every fixed edge is the scaled sum of
    // the fixed lengths before it (plus the shared pixels before it), so a
    // fixed child's width may differ by a pixel from its scaled width but
    // neighbours always meet and the line ends where it ends unscaled.
    int fixedUnits = 0, nAdjust = 0, nVisible = 0;
    for (CControlUI* p : m_items) {
        if (!p->IsVisible() || p->IsFloat()) continue;
        ++nVisible;
        const LONG own = ax.Main(p->EstimateSize(availUnits));
        const RECT pad = p->GetPadding();
        if (own == 0) ++nAdjust;
        else fixedUnits += (std::max)(ax.MinMain(p), (std::min)(static_cast<int>(own), ax.MaxMain(p)));
        fixedUnits += ax.Lead(pad) + ax.Trail(pad);
    }
    if (nVisible > 1) fixedUnits += (nVisible - 1) * m_iChildPadding;
    int remainLeft = mainLen - Px(this, fixedUnits), adjustLeft = nAdjust;
    const LONG start = ax.Lead(area) - ax.Main(scroll);
    int units = 0;      // fixed lengths passed so far
    LONG shared = 0;    // pixels given to sharing children so far
    auto at = [&] { return start + Px(this, units) + shared; };
    int crossNeed = 0;
    bool first = true;
    for (size_t i = 0; i < m_items.size(); ++i) {
        CControlUI* p = m_items[i];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            SetFloatPos(static_cast<int>(i));
            continue;
        }
        if (!first) units += m_iChildPadding;
        first = false;
        const RECT pad = p->GetPadding();
        const SIZE sz = p->EstimateSize(availUnits);
        units += ax.Lead(pad);
        const LONG lead = at();
        int m;
        if (ax.Main(sz) == 0) {
            m = ShareOrOwn(0, remainLeft, adjustLeft, Px(this, ax.MinMain(p)), Px(this, ax.MaxMain(p)));
            shared += m;
        } else {
            units += (std::max)(ax.MinMain(p), (std::min)(static_cast<int>(ax.Main(sz)), ax.MaxMain(p)));
            m = static_cast<int>(at() - lead);
        }
        const int padLead = Px(this, static_cast<int>(ax.CrossLead(pad)));
        const int padTrail = Px(this, static_cast<int>(ax.CrossTrail(pad)));
        int c = ax.Cross(sz) == 0 ? crossLen - padLead - padTrail : Px(this, static_cast<int>(ax.Cross(sz)));
        c = (std::max)(Px(this, ax.MinCross(p)), (std::min)(c, Px(this, ax.MaxCross(p))));
        const LONG crossPos = ax.CrossLead(area) - ax.Cross(scroll) + padLead;
        p->SetPos(ax.Make(lead, crossPos, m, c));
        units += ax.Trail(pad);
        crossNeed = (std::max)(crossNeed, padLead + c + padTrail);
    }
    return ax.MakeSize(at() - start, crossNeed);
}

// ----------------------------------------------------------- vertical layout

std::string CVerticalLayoutUI::GetClass() const { return "VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const std::string& name) {
    if (name == "VerticalLayout") return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc) { LayoutWithScrollBars(rc); }

SIZE CVerticalLayoutUI::LayoutChildren(const RECT& area, POINT scroll) { return LayoutLine(area, scroll, true); }

// --------------------------------------------------------- horizontal layout

std::string CHorizontalLayoutUI::GetClass() const { return "HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const std::string& name) {
    if (name == "HorizontalLayout") return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc) { LayoutWithScrollBars(rc); }

SIZE CHorizontalLayoutUI::LayoutChildren(const RECT& area, POINT scroll) { return LayoutLine(area, scroll, false); }

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
    RECT client = RectDeflate(rc, Px(this, m_rcInset));
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* p = m_items[static_cast<size_t>(i)];
        if (i != m_iCurSel || !p->IsVisible()) continue;
        if (p->IsFloat()) SetFloatPos(i);
        else p->SetPos(RectDeflate(client, Px(this, p->GetPadding())));
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

void CTileLayoutUI::SetPos(RECT rc) { LayoutWithScrollBars(rc); }

SIZE CTileLayoutUI::LayoutChildren(const RECT& area, POINT scroll) {
    const int areaW = RectWidth(area);
    // Cells are placed at scaled multiples of the cell and gap lengths, so
    // the grid keeps its pitch at every scale.
    const int gap = Px(this, m_iChildPadding);
    const int itemW = Px(this, static_cast<int>(m_szItem.cx));
    // A fixed number of columns of a fixed width may be wider than the
    // view (it then scrolls sideways); a width alone fits as many as it can.
    int cols = m_nColumns;
    if (m_szItem.cx > 0 && m_nColumns <= 0) cols = (std::max)(1, (areaW + gap) / (itemW + gap));
    if (cols <= 0) cols = 1;
    const int cellW = m_szItem.cx > 0 ? itemW : (std::max)(0, (areaW - (cols - 1) * gap) / cols);
    int cellH = Px(this, static_cast<int>(m_szItem.cy));
    if (cellH <= 0) {
        for (CControlUI* p : m_items)
            if (p->IsVisible() && !p->IsFloat())
                cellH = (std::max)(cellH, Px(this, static_cast<int>(p->GetFixedHeight() + p->GetPadding().top +
                                                                    p->GetPadding().bottom)));
        if (cellH <= 0) cellH = cellW;
    }
    m_nActualColumns = cols;
    if (m_pVerticalScrollBar) m_pVerticalScrollBar->SetLinePixels(cellH + gap);
    if (m_pHorizontalScrollBar) m_pHorizontalScrollBar->SetLinePixels(cellW + gap);
    int n = 0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        CControlUI* p = m_items[i];
        if (!p->IsVisible()) continue;
        if (p->IsFloat()) {
            SetFloatPos(static_cast<int>(i));
            continue;
        }
        const int col = n % cols, row = n / cols;
        const int x = area.left - scroll.x + col * (cellW + gap);
        const int y = area.top - scroll.y + row * (cellH + gap);
        const RECT pad = Px(this, p->GetPadding());
        const SIZE sz = Px(this, p->EstimateSize(SIZE{Unpx(this, cellW), Unpx(this, cellH)}));
        int w = sz.cx > 0 ? (std::min)(static_cast<int>(sz.cx), cellW) : cellW - pad.left - pad.right;
        int h = sz.cy > 0 ? (std::min)(static_cast<int>(sz.cy), cellH) : cellH - pad.top - pad.bottom;
        p->SetPos(RECT{x + pad.left, y + pad.top, x + pad.left + w, y + pad.top + h});
        ++n;
    }
    const int rows = (n + cols - 1) / cols;
    const int usedCols = (std::min)(n, cols);
    return SIZE{usedCols > 0 ? usedCols * cellW + (usedCols - 1) * gap : 0,
                rows > 0 ? rows * cellH + (rows - 1) * gap : 0};
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
