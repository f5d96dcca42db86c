// DuiLib: containers and layouts, and the scroll bar they use.
#pragma once

#include "UIControl.h"

namespace DuiLib {

class CContainerUI;

// A scroll bar, vertical or horizontal: a track with a draggable thumb.
// Owned by its container.
class CScrollBarUI : public CControlUI {
public:
    CScrollBarUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    void SetOwner(CContainerUI* pOwner) { m_pOwner = pOwner; }
    bool IsHorizontal() const { return m_bHorizontal; }
    void SetHorizontal(bool b);
    // Width of a vertical bar, height of a horizontal one.
    // Thickness in pixels of the window (the skin gives it in 96-DPI units).
    int GetThickness() const;
    int GetScrollRange() const { return m_nRange; }
    void SetScrollRange(int range);
    int GetScrollPos() const { return m_nScrollPos; }
    void SetScrollPos(int pos);
    // One line of scrolling in pixels: what the owner set in pixels (a tile
    // row), else the skin's line size (96-DPI units) scaled.
    int GetLineSize() const;
    void SetLineSize(int size) { m_nLineSize = size > 0 ? size : 1; }
    void SetLinePixels(int px) { m_nLinePx = px > 0 ? px : 0; }
    RECT GetThumbRect() const { return m_rcThumb; }
    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) override;

private:
    void UpdateThumb();
    // Coordinate along the bar's axis.
    LONG Along(POINT pt) const { return m_bHorizontal ? pt.x : pt.y; }
    CContainerUI* m_pOwner = nullptr;
    bool m_bHorizontal = false;
    int m_nRange = 0;
    int m_nScrollPos = 0;
    int m_nLineSize = 30;
    int m_nLinePx = 0;
    RECT m_rcThumb{0, 0, 0, 0};
    int m_nDragOffset = 0;
    bool m_bDragging = false;
    bool m_bThumbHot = false;
    DWORD m_dwTrackColor = 0x20000000;
    DWORD m_dwThumbColor = 0x80808080;
    DWORD m_dwThumbHotColor = 0xC0606060;
    std::string m_sThumbImage;
    std::string m_sBkImageBar;
};

class CContainerUI : public CControlUI {
public:
    CContainerUI();
    ~CContainerUI() override;
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;

    CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* pControl) const;
    int GetCount() const { return static_cast<int>(m_items.size()); }
    // The container owns what is added (deleted on removal unless
    // auto-destroy is off).
    virtual bool Add(CControlUI* pControl);
    virtual bool AddAt(CControlUI* pControl, int index);
    virtual bool Remove(CControlUI* pControl);
    virtual bool RemoveAt(int index);
    virtual void RemoveAll();
    void SetAutoDestroy(bool b) { m_bAutoDestroy = b; }

    RECT GetInset() const { return m_rcInset; }
    void SetInset(const RECT& rc);
    int GetChildPadding() const { return m_iChildPadding; }
    void SetChildPadding(int padding);
    bool IsMouseChildEnabled() const { return m_bMouseChildEnabled; }
    void SetMouseChildEnabled(bool b) { m_bMouseChildEnabled = b; }

    // Scrolling of content larger than the view. EnableScrollBar(b) is the
    // vertical bar; the horizontal one appears when the content is wider.
    // The wheel scrolls vertically, Shift+wheel (or a tilt of the wheel)
    // horizontally.
    void EnableScrollBar(bool bEnable = true);
    void EnableScrollBar(bool bEnableVertical, bool bEnableHorizontal);
    CScrollBarUI* GetVerticalScrollBar() const { return m_pVerticalScrollBar; }
    CScrollBarUI* GetHorizontalScrollBar() const { return m_pHorizontalScrollBar; }
    int GetScrollPos() const;
    int GetScrollRange() const;
    virtual void SetScrollPos(int pos);
    int GetHScrollPos() const;
    int GetHScrollRange() const;
    virtual void SetHScrollPos(int pos);
    void LineUp();
    void LineDown();
    void PageUp();
    void PageDown();
    void HomeUp() { SetScrollPos(0); }
    void EndDown() { SetScrollPos(GetScrollRange()); }
    void LineLeft();
    void LineRight();
    void PageLeft();
    void PageRight();
    void HomeLeft() { SetHScrollPos(0); }
    void EndRight() { SetHScrollPos(GetHScrollRange()); }
    // Scrolls so that the child is fully inside the view.
    void EnsureVisible(CControlUI* pControl);

    void SetPos(RECT rc) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;
    void DoEvent(TEventUI& event) override;
    void DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;

    // The rectangle children are laid out in (inset applied, scroll bars left out).
    RECT GetClientRect() const;

protected:
    // Places the floating children; the rest is the layout's own.
    void SetFloatPos(int index);
    // Shows or hides the vertical scroll bar for content of the given height.
    void ProcessScrollBar(RECT rc, int cyRequired);
    // Places the children inside area, the content moved by scroll (the
    // scroll positions in use), and returns the size the content needs.
    // Layouts override it; the container's own fills area with each child.
    virtual SIZE LayoutChildren(const RECT& area, POINT scroll);
    // Lays the container out at rc: the children through LayoutChildren,
    // with a scroll bar on each axis where the content does not fit.
    void LayoutWithScrollBars(RECT rc);
    // Places the children in one line, top to bottom (bVertical) or left
    // to right: fixed sizes first, the rest shared by the children that
    // ask for none; returns the size the line needs.
    SIZE LayoutLine(const RECT& area, POINT scroll, bool bVertical);

    std::vector<CControlUI*> m_items;
    RECT m_rcInset{0, 0, 0, 0};
    int m_iChildPadding = 0;
    bool m_bAutoDestroy = true;
    bool m_bMouseChildEnabled = true;
    CScrollBarUI* m_pVerticalScrollBar = nullptr;
    int m_nScrollWidth = 8;
    CScrollBarUI* m_pHorizontalScrollBar = nullptr;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    void SetPos(RECT rc) override;

protected:
    SIZE LayoutChildren(const RECT& area, POINT scroll) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    void SetPos(RECT rc) override;

protected:
    SIZE LayoutChildren(const RECT& area, POINT scroll) override;
};

// Pages: one child shown at a time, each filling the layout.
class CTabLayoutUI : public CContainerUI {
public:
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Shows page index; false for an index out of range.
    virtual bool SelectItem(int index);
    bool SelectItem(CControlUI* pControl);
    void SetPos(RECT rc) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;

protected:
    int m_iCurSel = -1;
};

// Tiles in rows: items of one size ("itemsize") or a fixed number of
// columns; scrolls vertically, and horizontally when the columns are wider
// than the view.
class CTileLayoutUI : public CContainerUI {
public:
    CTileLayoutUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    SIZE GetItemSize() const { return m_szItem; }
    void SetItemSize(SIZE sz);
    int GetColumns() const { return m_nColumns; }
    void SetColumns(int cols);
    // Columns in use after the last layout.
    int GetActualColumns() const { return m_nActualColumns; }
    void SetPos(RECT rc) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;

protected:
    SIZE LayoutChildren(const RECT& area, POINT scroll) override;
    SIZE m_szItem{0, 0};
    int m_nColumns = 0;
    int m_nActualColumns = 1;
};

}  // namespace DuiLib
