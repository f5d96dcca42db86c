// DuiLib: CWindowWnd, the native window every skinned window, popup and
// menu is built on.
#pragma once

#include "UIDefine.h"

namespace DuiLib {

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the window (registering its class on first use). The name is
    // UTF-8. Returns the window handle or null (logged).
    HWND Create(HWND hwndParent, const std::string& name, DWORD dwStyle, DWORD dwExStyle,
                int x = CW_USEDEFAULT, int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT,
                int cy = CW_USEDEFAULT, HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, const std::string& name, DWORD dwStyle, DWORD dwExStyle,
                const RECT& rc, HMENU hMenu = nullptr);

    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Runs a modal loop: the owner is disabled until this window closes.
    // Returns the value given to Close.
    UINT ShowModal();
    // Ends the window (posts WM_CLOSE); nRet is what ShowModal returns.
    void Close(UINT nRet = IDOK);
    bool IsModal() const { return m_bModal; }
    // Centres the window over its owner, or over the work area without one.
    void CenterWindow();
    void ResizeClient(int cx = -1, int cy = -1);
    void SetIcon(UINT nRes);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    // The window object that owns a handle created by this class, or null.
    static CWindowWnd* FromHandle(HWND hWnd);

protected:
    virtual std::string GetWindowClassName() const = 0;
    // A system class to build on ("EDIT"); empty for an own class.
    virtual std::string GetSuperClassName() const;
    virtual UINT GetClassStyle() const;
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Called after WM_NCDESTROY, when the handle is already gone.
    virtual void OnFinalMessage(HWND hWnd);

    bool RegisterWindowClass();
    bool RegisterSuperclass();
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ControlProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    // Hands a message to the window object (both procedures above).
    static LRESULT Route(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, bool superclass);

    HWND m_hWnd = nullptr;
    WNDPROC m_OldWndProc = nullptr;
    bool m_bModal = false;
    UINT m_nModalResult = 0;
};

}  // namespace DuiLib
