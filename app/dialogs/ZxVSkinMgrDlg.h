// The skin manager: the thumbnails of the background skins in rows of four,
// the one in use marked; a click applies a skin at once.
#pragma once

#include "DuiLib/UIlib.h"
#include "SkinList.h"

class CZxVSkinMgrDlg : public DuiLib::CZxBaseDialog {
public:
    // The main window's skin list, borrowed for the dialog's life.
    explicit CZxVSkinMgrDlg(CSkinList* skins);

    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    // Also the change of language: the thumbnails' tooltips follow it.
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    // The fixed background of btnchangeskin1 / btnchangeskin2 (n = 1 or 2):
    // the program's "skin\\<n>\\bk.png".
    static std::string FixedBackground(int n);

private:
    void BuildSkinRows();
    void SetSkinTips();

    CSkinList* m_pSkins;
    DuiLib::CVerticalLayoutUI* m_pLocalSkinPanel = nullptr;
};
