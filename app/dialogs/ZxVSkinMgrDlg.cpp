#include "ZxVSkinMgrDlg.h"

#include <cstdlib>

#include "LangUi.h"
#include "DialogCommon.h"
#include "SkinBtn.h"
#include "ZxLib/ZxLib.h"

namespace {
const char kSkinBtnPrefix[] = "localskin_";   // + the skin ID
const int kPerRow = 4;
}  // namespace

CZxVSkinMgrDlg::CZxVSkinMgrDlg(CSkinList* skins) : m_pSkins(skins) {
    SetWindowClassName("CZxVSkinMgrDlg");
    SetXMLPath(ZxDlg::SkinFile("ZxVSkinMgr.xml"));
}

std::string CZxVSkinMgrDlg::FixedBackground(int n) {
    return Dir::GetZxPath(Dir::kPathResource) + "skin\\" + std::to_string(n) + "\\bk.png";
}

LRESULT CZxVSkinMgrDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    ZxDlg::ApplyCommonLook(*this);
    m_pLocalSkinPanel = ZxDlg::FindAs<DuiLib::CVerticalLayoutUI>(*this, "localskinpanel", "VerticalLayout");
    BuildSkinRows();
    return res;
}

void CZxVSkinMgrDlg::BuildSkinRows() {
    if (!m_pLocalSkinPanel || !m_pSkins) return;
    DuiLib::CHorizontalLayoutUI* row = nullptr;
    int n = 0;
    for (const auto& entry : m_pSkins->Skins()) {   // ascending ID
        const SkinRecord& skin = entry.second;
        if (n % kPerRow == 0) {
            row = new DuiLib::CHorizontalLayoutUI;
            row->SetFixedHeight(61);
            // Room between the thumbnails so the hover frame of one never
            // touches its neighbour.
            row->SetChildPadding(8);
            m_pLocalSkinPanel->Add(row);
        }
        auto* btn = new CSkinBtn;
        btn->SetName(kSkinBtnPrefix + std::to_string(skin.id));
        btn->SetFixedHeight(60);
        btn->SetFixedWidth(98);
        btn->SetPadding(RECT{0, 1, 0, 0});
        btn->SetBkImage(skin.thumbnail);
        btn->SetGroup("localskin");
        row->Add(btn);
        btn->Selected(skin.id == m_pSkins->GetCurrentID(), false);
        ++n;
    }
    SetSkinTips();
    // A full last row gets an empty one below it.
    if (n % kPerRow == 0) {
        auto* spare = new DuiLib::CHorizontalLayoutUI;
        spare->SetFixedHeight(71);
        m_pLocalSkinPanel->Add(spare);
    }
}

void CZxVSkinMgrDlg::SetSkinTips() {
    if (!m_pSkins) return;
    for (const auto& entry : m_pSkins->Skins())
        if (DuiLib::CControlUI* btn = FindControl(kSkinBtnPrefix + std::to_string(entry.first)))
            btn->SetToolTip(Lang::FormatUtf8("ui.skins.number", {std::to_string(entry.first)}));
}

LRESULT CZxVSkinMgrDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == LangUi::ChangedMessage()) {
        SetSkinTips();
        return 0;
    }
    return CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
}

void CZxVSkinMgrDlg::Notify(DuiLib::TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender || msg.sType != "click") return;
    const std::string& name = msg.pSender->GetName();
    if (name == "BtnClose") {
        Close(IDOK);
    } else if (name.compare(0, sizeof(kSkinBtnPrefix) - 1, kSkinBtnPrefix) == 0) {
        if (m_pSkins) m_pSkins->Apply(std::atoi(name.c_str() + sizeof(kSkinBtnPrefix) - 1));
    } else if (name == "btnchangeskin1" || name == "btnchangeskin2") {
        // The two fixed backgrounds are shown, not kept: the stored skin
        // stays what it was.
        DuiLib::CSkinMgr::ChangeSubject(FixedBackground(name == "btnchangeskin1" ? 1 : 2), static_cast<DWORD>(-1),
                                        false);
    }
}
