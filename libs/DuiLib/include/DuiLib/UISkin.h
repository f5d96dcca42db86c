// DuiLib: the skin manager (skin root folder, background configurations,
// the background picture shared by every open window) and CZxBaseDialog,
// the base of every skinned window of the program.
#pragma once

#include "UIBase.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"

namespace DuiLib {

// A window that shows the shared background picture.
class ISkinImplementer {
public:
    virtual ~ISkinImplementer() = default;
    // Called with the new background picture ("" = none) and colour (-1 =
    // keep the skin's own).
    virtual void OnSubjectChanged(const std::string& bkImage, DWORD bkColor) = 0;
};

// A named way of drawing the background picture: picture modifiers
// ("corner='4,4,4,4' fade='200'"), a colour drawn when there is no picture
// and an own picture that overrides the shared one.
// Popup menus drawn with a configuration also take its text, hot-entry,
// separator and frame colours (0 = the menu's own light colours).
struct TBkCfg {
    std::string modifiers;
    DWORD color = 0;
    std::string image;
    DWORD textColor = 0;
    DWORD hotColor = 0;
    DWORD hotTextColor = 0;
    DWORD lineColor = 0;
    DWORD borderColor = 0;
};

class CSkinMgr {
public:
    static void SetSkinRootPath(const std::string& path);
    static std::string GetSkinRootPath();
    // Sets the background picture (full path or "" for none) of every open
    // skinned window, and of windows opened later. color (DWORD)-1 keeps
    // each skin's own colour. bSave is kept for the caller's bookkeeping.
    static void ChangeSubject(const std::string& bkImage, DWORD color, bool bSave);
    static std::string GetSubjectImage();
    static DWORD GetSubjectColor();
    static void AddImplementer(ISkinImplementer* p);
    static void RemoveImplementer(ISkinImplementer* p);
    static void AddBkCfg(const std::string& name, const TBkCfg& cfg);
    static bool GetBkCfg(const std::string& name, TBkCfg& out);
};

class CZxBaseDialog : public CWindowWnd, public INotifyUI, public ISkinImplementer {
public:
    CZxBaseDialog();
    ~CZxBaseDialog() override;

    void SetWindowClassName(const std::string& name) { m_sClassName = name; }
    // The skin file (full path, or relative to the skin root).
    void SetXMLPath(const std::string& path) { m_sXMLPath = path; }
    const std::string& GetXMLPath() const { return m_sXMLPath; }
    // Creates controls of the program's own classes while the skin is read
    // (not owned).
    void SetBuilderCallback(IDialogBuilderCallback* p) { m_pCallback = p; }
    CPaintManagerUI& GetPaintManager() { return m_pm; }
    CControlUI* FindControl(const std::string& name) const { return m_pm.FindControl(name); }

    std::string GetWindowClassName() const override;
    std::string GetSuperClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    // Creates the window owned by hParent and runs it modally; returns the
    // value given to Close. bCenter centres it over the owner.
    virtual UINT ShowModalDlg(HWND hParent, bool bCenter = true);
    // Creates the window (or shows the existing one) without a modal loop.
    virtual HWND ShowUnModalDlg(HWND hParent);
    // The background configuration this window is drawn with ("" = plain).
    virtual std::string GetBkCfgName() const;
    virtual DWORD GetCreateWindowStyle() const;
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcRButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSizing(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMoving(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnRButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnRButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDblClk(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void Notify(TNotifyUI& msg) override;
    void OnSubjectChanged(const std::string& bkImage, DWORD bkColor) override;

protected:
    CPaintManagerUI m_pm;
    std::string m_sClassName = "ZxDuiDialog";
    std::string m_sXMLPath;
    IDialogBuilderCallback* m_pCallback = nullptr;
    std::string m_sSkinBkImage;   // the root's own background from the skin
    DWORD m_dwSkinBkColor = 0;
};

}  // namespace DuiLib
