#include "ZxVMsgTip.h"

#include "DialogCommon.h"

CZxVMsgTip::CZxVMsgTip() {
    SetWindowClassName("CZxVMsgTip");
    SetXMLPath(ZxDlg::SkinFile("ZxVMsgTip.xml"));
}

LRESULT CZxVMsgTip::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    ZxDlg::ApplyCommonLook(*this);
    if (DuiLib::CControlUI* label = FindControl("label_msgtext")) label->SetText(m_sMsgText);
    return res;
}

void CZxVMsgTip::Notify(DuiLib::TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender || msg.sType != "click") return;
    // The caption's close button and the answer button below the text
    // both close the tip.
    const std::string& name = msg.pSender->GetName();
    if (name == "BtnClose" || name == "BtnOk") Close(IDOK);
}
