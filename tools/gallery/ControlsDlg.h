// The gallery's second window: the program's own skin controls from
// "controls.xml", with tiles and skin buttons made in code the way the
// panels and the skin manager make them.
#pragma once

#include "DialogBuilderCallbackEx.h"
#include "DuiLib/UIlib.h"

class CTileListUI;

class CControlsDlg : public DuiLib::CZxBaseDialog {
public:
    CControlsDlg();
    void SetQuitOnDestroy(bool b) { m_bQuitOnDestroy = b; }
    // The state the screenshot shows: a selection of several tiles, one
    // tile counting down as if it played, and the mouse over another tile
    // (clientPt, moved there for real so the hover stays).
    void ShowDemoState(POINT clientPt);

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

private:
    void FillTiles();
    void FillSkinButtons();
    void SetStatus(const std::string& text);
    void DeleteSelectedTiles();

    CDialogBuilderCallbackEx m_callback;
    CTileListUI* m_pTiles = nullptr;
    bool m_bQuitOnDestroy = false;
    int m_colorStep = 0;
};
