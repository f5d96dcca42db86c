#include "DealNotifyFunDlg.h"

using namespace DuiLib;

namespace {
const char* const kFunOptions[3] = {"optionCamera", "optionVideoSrc", "optionVideoEffect"};
const char* const kFillers[3] = {"control_FunWndFill1", "control_FunWndFill2", "control_FunWndFill3"};
// The filler behind the selected tab: black at alpha 0x30.
const DWORD kSelectedFill = 0x30000000;
}  // namespace

void CDealNotifyFunDlg::Attach(CPaintManagerUI* pm) {
    m_pm = pm;
    if (CControlUI* area = m_pm ? m_pm->FindControl("vFunWnd") : nullptr) area->AddNotifier(this);
    if (!m_pm) return;
    m_dealVideoEffect.Init(m_pm);
    m_dealCamera.Init(m_pm);
    m_videoSrc.Init(m_pm);
}

void CDealNotifyFunDlg::Detach() {
    m_dealVideoEffect.Uninit();
    m_dealCamera.Uninit();
    if (CControlUI* area = m_pm ? m_pm->FindControl("vFunWnd") : nullptr) area->RemoveNotifier(this);
    m_videoSrc.Uninit();
}

void CDealNotifyFunDlg::OnLanguageChanged() {
    if (!m_pm) return;
    m_dealVideoEffect.OnLanguageChanged();
    m_videoSrc.OnLanguageChanged();
}

void CDealNotifyFunDlg::Notify(TNotifyUI& msg) {
    if (msg.sType != "click" || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    for (int page = 0; page < 3; ++page)
        if (name == kFunOptions[page]) ShowFunPage(page);
}

void CDealNotifyFunDlg::ShowFunPage(int page) {
    if (!m_pm) return;
    CControlUI* tabMain = m_pm->FindControl("tabMain");
    if (auto* tab = tabMain ? static_cast<CTabLayoutUI*>(tabMain->GetInterface("TabLayout")) : nullptr)
        tab->SelectItem(page);
    for (int i = 0; i < 3; ++i)
        if (CControlUI* filler = m_pm->FindControl(kFillers[i])) filler->SetBkColor(i == page ? kSelectedFill : 0);
}

void CDealNotifyFunDlg::ShowVideoSrcList(const char* option) {
    if (!m_pm) return;
    ShowFunPage(1);
    if (CControlUI* c = m_pm->FindControl("optionVideoSrc"))
        if (auto* opt = static_cast<COptionUI*>(c->GetInterface("Option"))) opt->Selected(true, false);
    // The list's own option, clicked as the user would, so the video-source
    // page shows that list.
    if (CControlUI* c = m_pm->FindControl(option)) {
        if (auto* opt = static_cast<COptionUI*>(c->GetInterface("Option"))) opt->Selected(true, false);
        m_pm->SendNotify(c, "click");
    }
}
