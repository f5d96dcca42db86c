// DuiLib: the ordinary controls: label, button, option (group or check
// box), progress, slider, edit box, combo box and its list items.
#pragma once

#include "UIBase.h"
#include "UIContainer.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
public:
    CLabelUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    void SetTextStyle(UINT style) { m_uTextStyle = style; Invalidate(); }
    UINT GetTextStyle() const { return m_uTextStyle; }
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetTextColor(DWORD argb) { m_dwTextColor = argb; Invalidate(); }
    void SetDisabledTextColor(DWORD argb) { m_dwDisabledTextColor = argb; Invalidate(); }
    std::string GetFont() const { return m_sFont; }
    void SetFont(const std::string& font) { m_sFont = font; Invalidate(); }
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetTextPadding(const RECT& rc) { m_rcTextPadding = rc; Invalidate(); }
    bool IsShowShadow() const { return m_bShowShadow; }
    void SetShowShadow(bool b) { m_bShowShadow = b; Invalidate(); }
    DWORD GetShadowColor() const { return m_dwShadowColor; }
    // Width of the text in the control's font plus the text padding.
    int MeasureTextWidth();
    SIZE EstimateSize(SIZE szAvailable) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintText(Gdiplus::Graphics& g) override;

protected:
    // Paints the text with the given colour (shadow first when shown).
    void PaintTextWith(Gdiplus::Graphics& g, DWORD color);
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_LEFT;
    DWORD m_dwTextColor = 0;     // 0 = the default black
    DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
    std::string m_sFont;
    RECT m_rcTextPadding{0, 0, 0, 0};
    bool m_bShowShadow = false;
    DWORD m_dwShadowColor = 0x80000000;
    POINT m_ptShadowOffset{1, 1};
    bool m_bAutoCalcWidth = false;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsFocusable() const override { return IsVisible() && IsEnabled() && IsKeyboardEnabled(); }
    bool Activate() override;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintText(Gdiplus::Graphics& g) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;

    std::string GetNormalImage() const { return m_sNormalImage; }
    void SetNormalImage(const std::string& s) { m_sNormalImage = s; Invalidate(); }
    void SetHotImage(const std::string& s) { m_sHotImage = s; Invalidate(); }
    void SetPushedImage(const std::string& s) { m_sPushedImage = s; Invalidate(); }
    void SetFocusedImage(const std::string& s) { m_sFocusedImage = s; Invalidate(); }
    void SetDisabledImage(const std::string& s) { m_sDisabledImage = s; Invalidate(); }
    std::string GetForeImage() const { return m_sForeImage; }
    void SetForeImage(const std::string& s) { m_sForeImage = s; Invalidate(); }
    void SetHotTextColor(DWORD c) { m_dwHotTextColor = c; }
    void SetPushedTextColor(DWORD c) { m_dwPushedTextColor = c; }

protected:
    std::string m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
    std::string m_sForeImage, m_sHotForeImage;
    DWORD m_dwHotTextColor = 0;
    DWORD m_dwPushedTextColor = 0;
    DWORD m_dwFocusedTextColor = 0;
    DWORD m_dwHotBkColor = 0;
};

// An option: in a group exactly one is selected (selecting one clears the
// others); without a group it is a check box that toggles.
class COptionUI : public CButtonUI {
public:
    ~COptionUI() override;
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    std::string GetGroup() const { return m_sGroupName; }
    void SetGroup(const std::string& group) { m_sGroupName = group; }
    bool IsSelected() const { return m_bSelected; }
    // Changes the state; with bTriggerEvent a "selectchanged" notification
    // follows a change.
    virtual void Selected(bool bSelected, bool bTriggerEvent = true);
    bool Activate() override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;
    void PaintText(Gdiplus::Graphics& g) override;
    void SetSelectedImage(const std::string& s) { m_sSelectedImage = s; Invalidate(); }

protected:
    bool m_bSelected = false;
    std::string m_sGroupName;
    std::string m_sSelectedImage, m_sSelectedHotImage, m_sSelectedForeImage;
    DWORD m_dwSelectedTextColor = 0;
    DWORD m_dwSelectedBkColor = 0;
};

class CProgressUI : public CLabelUI {
public:
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsHorizontal() const { return m_bHorizontal; }
    int GetMinValue() const { return m_nMin; }
    int GetMaxValue() const { return m_nMax; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    int GetValue() const { return m_nValue; }
    // Clamped to the range.
    virtual void SetValue(int v);
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;

protected:
    bool m_bHorizontal = true;
    int m_nMin = 0;
    int m_nMax = 100;
    int m_nValue = 0;
    std::string m_sForeImage;
    DWORD m_dwForeColor = 0;
};

// A slider: "valuechanging" while the thumb is dragged, "valuechanged" when
// the button is released (or after a click, wheel or key step).
class CSliderUI : public CProgressUI {
public:
    CSliderUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsFocusable() const override { return IsVisible() && IsEnabled(); }
    int GetChangeStep() const { return m_nStep; }
    void SetChangeStep(int step) { m_nStep = step > 0 ? step : 1; }
    SIZE GetThumbSize() const { return m_szThumb; }
    RECT GetThumbRect() const;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;

protected:
    int ValueAt(POINT pt) const;
    SIZE m_szThumb{10, 10};
    int m_nStep = 1;
    int m_nDragOffset = 0;
    std::string m_sThumbImage, m_sThumbHotImage, m_sThumbPushedImage;
    DWORD m_dwThumbColor = 0xFF3C8CE6;
};

class CEditWnd;

// A text box. While it has the focus a native edit window sits over it,
// so typing, selection, the clipboard and the input method are the
// system's own. "TextChange" follows every change of the text; "killfocus"
// follows the end of editing; "return" follows the Enter key.
class CEditUI : public CLabelUI {
public:
    CEditUI();
    ~CEditUI() override;
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsFocusable() const override { return IsVisible() && IsEnabled(); }
    void SetText(const std::string& text) override;
    void SetMaxChar(int n) { m_nMaxChar = n; }
    int GetMaxChar() const { return m_nMaxChar; }
    void SetReadOnly(bool b) { m_bReadOnly = b; }
    bool IsReadOnly() const { return m_bReadOnly; }
    void SetPasswordMode(bool b) { m_bPassword = b; Invalidate(); }
    bool IsPasswordMode() const { return m_bPassword; }
    // The native edit window while editing, else null.
    HWND GetNativeEditWindow() const;
    void SetPos(RECT rc) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;
    void PaintText(Gdiplus::Graphics& g) override;

protected:
    friend class CEditWnd;
    void StartEdit();
    void EndEdit();
    CEditWnd* m_pWindow = nullptr;
    int m_nMaxChar = 255;
    bool m_bReadOnly = false;
    bool m_bPassword = false;
    DWORD m_dwEditBkColor = 0xFFFFFFFF;
    std::string m_sNormalImage, m_sHotImage, m_sFocusedImage, m_sDisabledImage;
};

// An item of a combo box: text, user data and tag (CControlUI's).
class CListLabelElementUI : public CLabelUI {
public:
    CListLabelElementUI();
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsSelected() const { return m_bSelected; }
    void SetSelected(bool b) { m_bSelected = b; Invalidate(); }
    int GetIndex() const { return m_nIndex; }
    void SetIndex(int i) { m_nIndex = i; }
    void SetOwner(CControlUI* pOwner) { m_pOwner = pOwner; }
    SIZE EstimateSize(SIZE szAvailable) override;
    void DoEvent(TEventUI& event) override;
    void PaintBkColor(Gdiplus::Graphics& g) override;

protected:
    bool m_bSelected = false;
    int m_nIndex = -1;
    CControlUI* m_pOwner = nullptr;
};

class CComboWnd;

// A drop-down list. Its children are CListLabelElementUI items; the list
// opens in a popup window below the box. "itemselect" follows a change of
// the selection (wParam = new index, lParam = old index).
class CComboUI : public CContainerUI {
public:
    CComboUI();
    ~CComboUI() override;
    std::string GetClass() const override;
    void* GetInterface(const std::string& name) override;
    bool IsFocusable() const override { return IsVisible() && IsEnabled(); }
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int index) override;
    bool Remove(CControlUI* pControl) override;
    bool RemoveAt(int index) override;
    void RemoveAll() override;
    int GetCurSel() const { return m_iCurSel; }
    // Selects item index (-1 clears); notifies when bTakeFocus... see cpp.
    bool SelectItem(int index, bool bNotify = true);
    // Selects the first item whose text equals text; false when none does.
    bool SelectItemByText(const std::string& text, bool bNotify = true);
    CListLabelElementUI* GetSelectedItem() const;
    std::string GetText() const override;
    bool Activate() override;   // opens the list
    void CloseDropDown();
    HWND GetDropWindow() const;
    RECT GetTextPadding() const { return m_rcTextPadding; }
    void SetPos(RECT rc) override;
    void DoEvent(TEventUI& event) override;
    bool SetAttribute(const std::string& name, const std::string& value) override;
    void DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint) override;
    void PaintStatusImage(Gdiplus::Graphics& g) override;
    void PaintText(Gdiplus::Graphics& g) override;
    CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags) override;

    // Look of the list items (also used by the popup).
    int GetItemHeight() const { return m_nItemHeight; }
    DWORD GetItemHotBkColor() const { return m_dwItemHotBkColor; }
    DWORD GetItemSelectedBkColor() const { return m_dwItemSelectedBkColor; }
    DWORD GetItemTextColor() const { return m_dwItemTextColor; }
    std::string GetItemFont() const { return m_sItemFont; }
    int GetDropHeight() const { return m_nDropHeight; }

protected:
    friend class CComboWnd;
    void Reindex();
    CComboWnd* m_pWindow = nullptr;
    int m_iCurSel = -1;
    RECT m_rcTextPadding{4, 0, 4, 0};
    DWORD m_dwTextColor = 0;
    std::string m_sFont;
    std::string m_sNormalImage, m_sHotImage, m_sPushedImage, m_sFocusedImage, m_sDisabledImage;
    int m_nItemHeight = 22;
    int m_nDropHeight = 160;
    DWORD m_dwItemHotBkColor = 0xFFE5F1FB;
    DWORD m_dwItemSelectedBkColor = 0xFFCCE4F7;
    DWORD m_dwItemTextColor = 0xFF000000;
    DWORD m_dwDropBkColor = 0xFFFFFFFF;
    DWORD m_dwDropBorderColor = 0xFF7A7A7A;
    std::string m_sItemFont;
};

}  // namespace DuiLib
