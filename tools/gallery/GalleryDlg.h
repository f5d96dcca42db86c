// The gallery window: the skin "gallery.xml" with a little behaviour of its
// own (page options switch the pages, the slider shows its value, the menu
// button pops up a menu). Used by the gallery program and the tests.
#pragma once

#include "DuiLib/UIlib.h"

class CGalleryDlg : public DuiLib::CZxBaseDialog {
public:
    CGalleryDlg();
    // The program ends its message loop when the window goes.
    void SetQuitOnDestroy(bool b) { m_bQuitOnDestroy = b; }
    // The result of the last menu (-1 = dismissed, -2 = none shown yet).
    int GetLastMenuResult() const { return m_lastMenu; }

    // Pops up the gallery's menu with its top-left at a client point and
    // waits for it; returns the chosen id or -1.
    int ShowMenu(POINT clientPt);

    void Notify(DuiLib::TNotifyUI& msg) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;

private:
    void SetStatus(const std::string& text);
    bool m_bQuitOnDestroy = false;
    int m_lastMenu = -2;
};
