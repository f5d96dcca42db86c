// DuiLib: CControlUI, the base of every control: position and size rules,
// colours and pictures, states, events, notifiers, tags and user data.
#pragma once

#include "UIDefine.h"

namespace DuiLib {

// FindControl flags.
enum : UINT {
    UIFIND_VISIBLE = 0x01,
    UIFIND_ENABLED = 0x02,
    UIFIND_HITTEST = 0x04,
    UIFIND_ME_FIRST = 0x80,
};
typedef CControlUI* (*FINDCONTROLPROC)(CControlUI*, void*);

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();

    virtual std::string GetClass() const;
    // The control seen as the named interface ("Control", "Button", ...), or null.
    virtual void* GetInterface(const std::string& name);

    const std::string& GetName() const { return m_sName; }
    void SetName(const std::string& name) { m_sName = name; }
    virtual std::string GetText() const { return m_sText; }
    virtual void SetText(const std::string& text);
    std::string GetToolTip() const { return m_sToolTip; }
    void SetToolTip(const std::string& text) { m_sToolTip = text; }
    std::string GetUserData() const { return m_sUserData; }
    void SetUserData(const std::string& data) { m_sUserData = data; }
    UINT_PTR GetTag() const { return m_tag; }
    void SetTag(UINT_PTR tag) { m_tag = tag; }

    CPaintManagerUI* GetManager() const { return m_pManager; }
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    CControlUI* GetParent() const { return m_pParent; }

    // Geometry. Positions (GetPos) are in pixels of the window; every
    // length the control is given (sizes, paddings, float positions) is in
    // 96-DPI units, scaled at layout. Scaled gives such a length in pixels
    // of the control's window, Unscaled takes pixels back (rounded up).
    int Scaled(int v) const;
    RECT Scaled(const RECT& r) const;
    int Unscaled(int px) const;
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc);
    int GetWidth() const { return RectWidth(m_rcItem); }
    int GetHeight() const { return RectHeight(m_rcItem); }
    RECT GetPadding() const { return m_rcPadding; }
    void SetPadding(const RECT& rc);
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    void SetFixedWidth(int cx);
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedHeight(int cy);
    int GetMinWidth() const { return m_cxyMin.cx; }
    int GetMaxWidth() const { return m_cxyMax.cx; }
    int GetMinHeight() const { return m_cxyMin.cy; }
    int GetMaxHeight() const { return m_cxyMax.cy; }
    // Size the control wants in the space available; 0 = take what is left.
    virtual SIZE EstimateSize(SIZE szAvailable);
    bool IsFloat() const { return m_bFloat; }
    void SetFloat(bool f);
    // Position of a floating control, relative to its parent's top-left.
    RECT GetFloatPos() const { return m_rcFloat; }
    void SetFloatPos(const RECT& rc);

    // Look.
    DWORD GetBkColor() const { return m_dwBkColor; }
    void SetBkColor(DWORD argb);
    std::string GetBkImage() const { return m_sBkImage; }
    void SetBkImage(const std::string& image);
    DWORD GetBorderColor() const { return m_dwBorderColor; }
    void SetBorderColor(DWORD argb);
    void SetBorderSize(int size);
    void SetBorderRound(SIZE round);
    DWORD GetFocusBorderColor() const { return m_dwFocusBorderColor; }

    // States.
    virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
    virtual void SetVisible(bool bVisible = true);
    // Visibility given by the parent (tab pages); not the control's own flag.
    virtual void SetInternVisible(bool bVisible = true);
    virtual bool IsEnabled() const { return m_bEnabled; }
    virtual void SetEnabled(bool bEnable = true);
    bool IsMouseEnabled() const { return m_bMouseEnabled; }
    void SetMouseEnabled(bool b) { m_bMouseEnabled = b; }
    bool IsKeyboardEnabled() const { return m_bKeyboardEnabled; }
    void SetKeyboardEnabled(bool b) { m_bKeyboardEnabled = b; }
    bool IsFocused() const { return m_bFocused; }
    virtual void SetFocus();
    // True when the control takes the keyboard focus (Tab order).
    virtual bool IsFocusable() const { return false; }
    UINT GetState() const { return m_uButtonState; }
    bool IsContextMenuUsed() const { return m_bMenuUsed; }
    void SetContextMenuUsed(bool b) { m_bMenuUsed = b; }
    bool IsSetCursor() const { return m_bSetCursor; }

    // Handles "name"/"value" pairs from the skin; false for an attribute the
    // control does not know (the builder logs it).
    virtual bool SetAttribute(const std::string& name, const std::string& value);
    // Applies a list such as: name="x" width="20" text='a b'.
    bool ApplyAttributeList(const std::string& list);

    // Hit testing and lookup.
    virtual CControlUI* FindControl(FINDCONTROLPROC Proc, void* pData, UINT uFlags);

    // Notifiers attached to this control: they receive its notifications and
    // those of every control inside it.
    void AddNotifier(INotifyUI* pNotifier);
    void RemoveNotifier(INotifyUI* pNotifier);
    const std::vector<INotifyUI*>& GetNotifiers() const { return m_notifiers; }

    // Events and painting.
    void Event(TEventUI& event);
    virtual void DoEvent(TEventUI& event);
    virtual bool Activate();
    virtual void DoInit() {}
    virtual void DoPaint(Gdiplus::Graphics& g, const RECT& rcPaint);
    virtual void PaintBkColor(Gdiplus::Graphics& g);
    virtual void PaintBkImage(Gdiplus::Graphics& g);
    virtual void PaintStatusImage(Gdiplus::Graphics& g);
    virtual void PaintText(Gdiplus::Graphics& g);
    virtual void PaintBorder(Gdiplus::Graphics& g);
    // Draws a picture description into the control rectangle; false when the
    // picture is missing.
    bool DrawImage(Gdiplus::Graphics& g, const std::string& image, const std::string& modify = "");

    void Invalidate();
    void NeedUpdate();
    void NeedParentUpdate();
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }

protected:
    // Keeps the hot state as the mouse enters and leaves (a disabled
    // control never gets hot) and repaints the control when it changes;
    // true when the event was one of those two.
    bool TrackHot(const TEventUI& event);

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    std::string m_sName;
    std::string m_sText;
    std::string m_sToolTip;
    std::string m_sUserData;
    UINT_PTR m_tag = 0;
    RECT m_rcItem{0, 0, 0, 0};
    RECT m_rcPaint{0, 0, 0, 0};   // the area being painted (during DoPaint)
    RECT m_rcPadding{0, 0, 0, 0};
    RECT m_rcFloat{0, 0, 0, 0};
    SIZE m_cxyFixed{0, 0};
    SIZE m_cxyMin{0, 0};
    SIZE m_cxyMax{9999, 9999};
    bool m_bFloat = false;
    bool m_bVisible = true;
    bool m_bInternVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
    bool m_bKeyboardEnabled = true;
    bool m_bFocused = false;
    bool m_bMenuUsed = false;
    bool m_bSetCursor = false;
    bool m_bUpdateNeeded = true;
    UINT m_uButtonState = 0;
    DWORD m_dwBkColor = 0;
    DWORD m_dwBorderColor = 0;
    DWORD m_dwFocusBorderColor = 0;
    int m_nBorderSize = 0;
    SIZE m_cxyBorderRound{0, 0};
    std::string m_sBkImage;
    std::vector<INotifyUI*> m_notifiers;
};

}  // namespace DuiLib
