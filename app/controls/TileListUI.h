// The thumbnail lists of the video-source and video-effect panels: a tile
// layout whose tiles can be selected one at a time or, with multi-select
// on, several at once (Shift for a range from the anchor, Control to add
// or remove one tile), driven by mouse and keyboard.
#pragma once

#include <set>
#include <vector>

#include "DuiLib/UIlib.h"

// What the layout needs of a tile.
class ITileListItem {
public:
    virtual ~ITileListItem() = default;
    // The tile's position in its layout (the layout keeps it current).
    virtual void SetIndex(int index) = 0;
    virtual int GetIndex() const = 0;
    // Marks the tile selected or not and redraws it when that changes.
    virtual bool SetSelect(bool bSelect) = 0;
    virtual bool IsSelect() const = 0;
    // The tile's tag (the panels keep the item id there).
    virtual int GetTagValue() const = 0;
};

class CTileListUI;

// One tile: a button with a thumbnail, a name and an extra text (the time
// of a media file or recording); it paints a selected mark and a frame
// while the mouse is over it.
class CTileListItemUI : public DuiLib::CButtonUI, public ITileListItem {
public:
    static const char* const kSelectedMark;   // "titlelayoutItem_selected_icon.png"
    static constexpr DWORD kHotFrameColor = 0xFF00EAFF;
    static const char* const kFontName;       // "tileItem.Font"

    CTileListItemUI();

    std::string GetClass() const override;
    // "ITileListItem" answers the ITileListItem part,
    // "TileListItem" the control itself.
    void* GetInterface(const std::string& name) override;

    void SetIndex(int index) override { m_nIndex = index; }
    int GetIndex() const override { return m_nIndex; }
    bool SetSelect(bool bSelect) override;
    bool IsSelect() const override { return m_bSelect; }
    int GetTagValue() const override { return static_cast<int>(GetTag()); }

    const std::string& GetExtraText() const { return m_sExtraText; }
    void SetExtraText(const std::string& text);
    // Insets of the extra text's rectangle from the tile's edges.
    RECT GetExtraTextPadding() const { return m_rcExtraText; }
    void SetExtraTextPadding(const RECT& rc);
    // Shows a picture (image manager name or file) stretched into rc,
    // given relative to the tile's top-left corner. Any path works, also
    // one with a quote in it.
    void SetIcon(const std::string& image, const RECT& rc);

    // "extratext" and "extratextpadding"; the rest goes to the button.
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void DoEvent(DuiLib::TEventUI& event) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;

private:
    CTileListUI* GetLayout() const;
    // Button down and double click: Shift or Control toggles this tile in
    // a multi-select layout, otherwise it becomes the only selected tile.
    void SelectByClick(bool bModifier);

    int m_nIndex = -1;
    bool m_bSelect = false;
    std::string m_sExtraText;
    RECT m_rcExtraText{0, 0, 0, 0};
};

class CTileListUI : public DuiLib::CTileLayoutUI {
public:
    CTileListUI();

    std::string GetClass() const override;
    // "TileList" answers the control itself.
    void* GetInterface(const std::string& name) override;
    // The layout takes the keyboard focus, so keys reach it after a click
    // on its empty part too.
    bool IsFocusable() const override { return IsVisible() && IsEnabled(); }

    bool IsMultiSelect() const { return m_bMultiSelect; }
    void SetMultiSelect(bool b) { m_bMultiSelect = b; }
    bool IsSelectNoneClickNone() const { return m_bSelectNoneClickNone; }
    void SetSelectNoneClickNone(bool b) { m_bSelectNoneClickNone = b; }

    // bAdd: select the tile (bClearOthers: as the only one); otherwise
    // take just that tile out of the selection. False when the selection
    // stays as it was.
    bool SelectItem(int index, bool bAdd = true, bool bClearOthers = true);
    // Selects the tiles at the given positions (bClearOthers: and no
    // others). With multi-select and Shift held, one position selects the
    // range from the anchor to it. Indices that name no tile are ignored.
    // Sends "itemselect" and returns true when the selection changed.
    bool SelectItems(const std::vector<int>& indices, bool bClearOthers = true);
    // Empties the selection ("itemselect" when it was not empty).
    bool SelectNone() { return SelectItems(std::vector<int>(), true); }
    // Selected positions, ascending.
    std::vector<int> GetSelectedItems() const;
    int GetAnchor() const { return m_nAnchor; }
    // Scrolls so that the tile at index is fully in view.
    void EnsureItemVisible(int index);
    // The tile at a position, or null.
    ITileListItem* GetTileAt(int index) const;

    // Tiles are numbered by position; the numbers and the selection follow
    // every insertion and removal.
    bool Add(DuiLib::CControlUI* pControl) override;
    bool AddAt(DuiLib::CControlUI* pControl, int index) override;
    bool Remove(DuiLib::CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;

    // "MutiSelect" and "SelectNoneClickNone"; every attribute also goes to
    // the tile layout.
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void DoEvent(DuiLib::TEventUI& event) override;

private:
    bool HandleKey(DuiLib::TEventUI& event);
    // Selects one tile alone and brings it into view (keyboard moves).
    void MoveTo(int index);
    int FirstTile() const;
    int LastTile() const;
    // Renumbers the tiles and rebuilds the selection from their states.
    void Resync();
    void NotifySelect();

    std::set<int> m_selected;
    int m_nAnchor = -1;
    bool m_bMultiSelect = false;
    bool m_bSelectNoneClickNone = false;
};
