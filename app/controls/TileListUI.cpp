#include "TileListUI.h"

#include <algorithm>
#include <cstdio>

using namespace DuiLib;

namespace {
bool KeyHeld(int vk) { return GetKeyState(vk) < 0; }

bool IsMouseEvent(int type) {
    switch (type) {
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSEHOVER:
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_BUTTONUP:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
    case UIEVENT_RBUTTONUP:
    case UIEVENT_CONTEXTMENU:
    case UIEVENT_SCROLLWHEEL:
        return true;
    default:
        return false;
    }
}
}  // namespace

// ---------------------------------------------------------------------- tile

const char* const CTileListItemUI::kSelectedMark = "titlelayoutItem_selected_icon.png";
const char* const CTileListItemUI::kFontName = "tileItem.Font";

CTileListItemUI::CTileListItemUI() { m_sFont = kFontName; }

std::string CTileListItemUI::GetClass() const { return "TileListItem"; }

void* CTileListItemUI::GetInterface(const std::string& name) {
    if (name == "ITileListItem") return static_cast<ITileListItem*>(this);
    if (name == "TileListItem") return this;
    return CButtonUI::GetInterface(name);
}

bool CTileListItemUI::SetSelect(bool bSelect) {
    if (m_bSelect != bSelect) {
        m_bSelect = bSelect;
        if (bSelect) m_uButtonState |= UISTATE_SELECTED;
        else m_uButtonState &= ~UISTATE_SELECTED;
        Invalidate();
    }
    return true;
}

void CTileListItemUI::SetExtraText(const std::string& text) {
    if (text == m_sExtraText) return;
    m_sExtraText = text;
    Invalidate();
}

void CTileListItemUI::SetExtraTextPadding(const RECT& rc) {
    m_rcExtraText = rc;
    Invalidate();
}

void CTileListItemUI::SetIcon(const std::string& image, const RECT& rc) {
    std::string name = image;
    if (name.find('\'') != std::string::npos) {
        // A quote would end the name inside the picture description (a
        // user folder such as "O'Brien"), so the picture is drawn through a
        // second name without it; '|' never occurs in a path, so that name
        // cannot be another file's.
        std::string alias = name;
        std::replace(alias.begin(), alias.end(), '\'', '|');
        if (!CImageMgr::GetImage(name))
            if (TImageInfo* img = CRenderEngine::LoadFullPathImageFile(name)) CImageMgr::AddImage(name, img);
        CImageMgr::AddAlias(alias, name);
        name = alias;
    }
    char dest[96];
    std::snprintf(dest, sizeof dest, "' dest='%d,%d,%d,%d'", static_cast<int>(rc.left), static_cast<int>(rc.top),
                  static_cast<int>(rc.right), static_cast<int>(rc.bottom));
    SetForeImage("file='" + name + dest);
}

bool CTileListItemUI::SetAttribute(const std::string& name, const std::string& value) {
    if (name == "extratext") {
        SetExtraText(value);
        return true;
    }
    if (name == "extratextpadding") {
        RECT rc;
        if (!ParseRect(value, rc)) return false;
        SetExtraTextPadding(rc);
        return true;
    }
    return CButtonUI::SetAttribute(name, value);
}

CTileListUI* CTileListItemUI::GetLayout() const {
    return m_pParent ? static_cast<CTileListUI*>(m_pParent->GetInterface("TileList")) : nullptr;
}

void CTileListItemUI::SelectByClick(bool bModifier) {
    CTileListUI* layout = GetLayout();
    if (!layout) return;
    const int index = layout->GetItemIndex(this);
    if (layout->IsMultiSelect() && bModifier) {
        if (m_bSelect) layout->SelectItem(index, false);
        else layout->SelectItem(index, true, false);
    } else {
        layout->SelectItem(index, true, true);
    }
}

void CTileListItemUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_MOUSEENTER:
    case UIEVENT_MOUSELEAVE:
        if (m_pParent) m_pParent->DoEvent(event);
        break;
    case UIEVENT_BUTTONDOWN:
        SelectByClick((event.wKeyState & (MK_SHIFT | MK_CONTROL)) != 0);
        break;
    case UIEVENT_RBUTTONDOWN:
        // A selected tile keeps the whole selection for its context menu.
        if (!m_bSelect)
            if (CTileListUI* layout = GetLayout()) layout->SelectItem(layout->GetItemIndex(this), true, true);
        break;
    case UIEVENT_DBLCLICK:
        SelectByClick(KeyHeld(VK_SHIFT) || KeyHeld(VK_CONTROL));
        break;
    case UIEVENT_KEYDOWN:
        // Keys belong to the layout (Enter activates the selected tile
        // there, arrows move the selection).
        if (CTileListUI* layout = GetLayout()) {
            layout->DoEvent(event);
            return;
        }
        break;
    default:
        break;
    }
    CButtonUI::DoEvent(event);
}

void CTileListItemUI::PaintStatusImage(Gdiplus::Graphics& g) {
    CButtonUI::PaintStatusImage(g);
    const int w = Unscaled(GetWidth());
    if (m_bSelect) {
        // (right - 30, top + 32, right - 5, top + 57), relative to the tile
        // as picture modifiers are.
        char dest[80];
        std::snprintf(dest, sizeof dest, "dest='%d,%d,%d,%d'", w - 30, 32, w - 5, 57);
        DrawImage(g, kSelectedMark, dest);
    }
    if (m_uButtonState & UISTATE_HOT) CRenderEngine::DrawBorder(g, m_rcItem, Scaled(2), kHotFrameColor, SIZE{Scaled(2), Scaled(2)});
    if (!m_sExtraText.empty()) {
        DWORD color = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
        if (color == 0) color = 0xFF000000;
        CRenderEngine::DrawText(g, m_pManager, RectDeflate(m_rcItem, Scaled(m_rcExtraText)), m_sExtraText, color, m_sFont,
                                DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
}

// -------------------------------------------------------------------- layout

CTileListUI::CTileListUI() = default;

std::string CTileListUI::GetClass() const { return "TileList"; }

void* CTileListUI::GetInterface(const std::string& name) {
    if (name == "TileList") return this;
    return CTileLayoutUI::GetInterface(name);
}

ITileListItem* CTileListUI::GetTileAt(int index) const {
    CControlUI* c = GetItemAt(index);
    return c ? static_cast<ITileListItem*>(c->GetInterface("ITileListItem")) : nullptr;
}

int CTileListUI::FirstTile() const {
    for (int i = 0; i < GetCount(); ++i)
        if (GetTileAt(i)) return i;
    return -1;
}

int CTileListUI::LastTile() const {
    for (int i = GetCount() - 1; i >= 0; --i)
        if (GetTileAt(i)) return i;
    return -1;
}

std::vector<int> CTileListUI::GetSelectedItems() const {
    return std::vector<int>(m_selected.begin(), m_selected.end());
}

void CTileListUI::NotifySelect() {
    if (m_pManager) m_pManager->SendNotify(this, "itemselect");
}

bool CTileListUI::SelectItems(const std::vector<int>& indices, bool bClearOthers) {
    std::vector<int> req;
    for (int i : indices)
        if (GetTileAt(i)) req.push_back(i);
    // A request that names no tile at all changes nothing (an empty request
    // is the way to clear the selection).
    if (!indices.empty() && req.empty()) return false;
    std::sort(req.begin(), req.end());
    req.erase(std::unique(req.begin(), req.end()), req.end());
    // A layout without multi-select never holds more than one tile.
    if (!m_bMultiSelect) {
        if (req.size() > 1) req.resize(1);
        bClearOthers = true;
    }
    if (req == GetSelectedItems()) return false;

    if (!m_bMultiSelect || !KeyHeld(VK_SHIFT)) {
        if (!req.empty()) m_nAnchor = req.front();
    } else if (req.size() == 1) {
        // Shift: the range from the anchor (the request itself without one).
        if (!GetTileAt(m_nAnchor)) m_nAnchor = req.front();
        const int lo = (std::min)(m_nAnchor, req.front()), hi = (std::max)(m_nAnchor, req.front());
        req.clear();
        for (int i = lo; i <= hi; ++i)
            if (GetTileAt(i)) req.push_back(i);
    }

    std::set<int> next;
    if (!bClearOthers) next = m_selected;
    next.insert(req.begin(), req.end());
    if (next == m_selected) return false;
    for (int i : m_selected)
        if (!next.count(i))
            if (ITileListItem* t = GetTileAt(i)) t->SetSelect(false);
    for (int i : next)
        if (ITileListItem* t = GetTileAt(i)) t->SetSelect(true);
    m_selected = next;
    NotifySelect();
    return true;
}

bool CTileListUI::SelectItem(int index, bool bAdd, bool bClearOthers) {
    if (bAdd) return SelectItems(std::vector<int>(1, index), bClearOthers);
    if (!m_selected.count(index)) return false;
    if (ITileListItem* t = GetTileAt(index)) t->SetSelect(false);
    m_selected.erase(index);
    // Taking one tile out is a change of the selection like any other, so
    // the panels hear of it too.
    NotifySelect();
    return true;
}

void CTileListUI::EnsureItemVisible(int index) {
    CControlUI* c = GetItemAt(index);
    if (!c) return;
    // Tiles added since the last layout have no position yet.
    if (m_pManager) m_pManager->EnsureLayout();
    EnsureVisible(c);
}

void CTileListUI::MoveTo(int index) {
    if (!GetTileAt(index)) return;
    SelectItems(std::vector<int>(1, index), true);
    EnsureItemVisible(index);
}

void CTileListUI::Resync() {
    std::set<int> selected;
    for (int i = 0; i < GetCount(); ++i) {
        if (ITileListItem* t = GetTileAt(i)) {
            t->SetIndex(i);
            if (t->IsSelect()) selected.insert(i);
        }
    }
    m_selected = selected;
    if (m_nAnchor >= GetCount()) m_nAnchor = LastTile();
}

bool CTileListUI::Add(CControlUI* pControl) {
    bool ok = CTileLayoutUI::Add(pControl);
    Resync();
    return ok;
}

bool CTileListUI::AddAt(CControlUI* pControl, int index) {
    const int before = GetCount();
    bool ok = CTileLayoutUI::AddAt(pControl, index);
    // The anchor stays on its tile when one is inserted in front of it.
    if (ok && GetCount() > before && m_nAnchor >= 0 && GetItemIndex(pControl) <= m_nAnchor) ++m_nAnchor;
    Resync();
    return ok;
}

bool CTileListUI::Remove(CControlUI* pControl) {
    const int at = GetItemIndex(pControl);
    bool ok = CTileLayoutUI::Remove(pControl);
    if (ok && at >= 0 && at < m_nAnchor) --m_nAnchor;
    Resync();
    return ok;
}

bool CTileListUI::RemoveAt(int index) {
    bool ok = CTileLayoutUI::RemoveAt(index);
    if (ok && index < m_nAnchor) --m_nAnchor;
    Resync();
    return ok;
}

void CTileListUI::RemoveAll() {
    CTileLayoutUI::RemoveAll();
    m_nAnchor = -1;
    Resync();
}

bool CTileListUI::SetAttribute(const std::string& name, const std::string& value) {
    bool own = true;
    if (name == "MutiSelect") m_bMultiSelect = (value == "true");
    else if (name == "SelectNoneClickNone") m_bSelectNoneClickNone = (value == "true");
    else own = false;
    bool base = CTileLayoutUI::SetAttribute(name, value);
    return own || base;
}

bool CTileListUI::HandleKey(TEventUI& event) {
    switch (event.chKey) {
    case VK_RETURN:
        if (m_selected.size() == 1)
            if (CControlUI* c = GetItemAt(*m_selected.begin())) c->Activate();
        return true;
    case VK_PRIOR:
        PageUp();
        return true;
    case VK_NEXT:
        PageDown();
        return true;
    case VK_END:
        MoveTo(LastTile());
        return true;
    case VK_HOME:
        MoveTo(FirstTile());
        return true;
    case VK_UP:
        if (m_nAnchor > 0) MoveTo(m_nAnchor - 1);
        return true;
    case VK_DOWN:
        MoveTo(m_nAnchor < 0 ? FirstTile() : m_nAnchor + 1);
        return true;
    case VK_DELETE:
        if (m_pManager) m_pManager->SendNotify(this, "delete");
        return false;
    case 'A':
        if (m_bMultiSelect && KeyHeld(VK_CONTROL)) {
            std::vector<int> all;
            for (int i = 0; i < GetCount(); ++i)
                if (GetTileAt(i)) all.push_back(i);
            SelectItems(all, false);
        }
        return false;
    default:
        return false;
    }
}

void CTileListUI::DoEvent(TEventUI& event) {
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent) m_pParent->DoEvent(event);
        else CTileLayoutUI::DoEvent(event);
        return;
    }
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
        if (HandleKey(event)) return;
        break;
    case UIEVENT_BUTTONDOWN:
        if (event.pSender == this && m_bSelectNoneClickNone) SelectNone();
        return;
    case UIEVENT_SCROLLWHEEL:
        // One line per turn; a layout with nothing to scroll leaves the
        // wheel to the controls around it.
        if (GetScrollRange() <= 0) break;
        if (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0) LineUp();
        else LineDown();
        return;
    case UIEVENT_MOUSEENTER:
        m_uButtonState |= UISTATE_HOT;
        return;
    case UIEVENT_MOUSELEAVE:
        m_uButtonState &= ~UISTATE_HOT;
        return;
    case UIEVENT_SETFOCUS:
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        m_bFocused = false;
        Invalidate();
        return;
    default:
        break;
    }
    CTileLayoutUI::DoEvent(event);
}
