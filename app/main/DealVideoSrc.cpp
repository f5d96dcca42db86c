#include "DealVideoSrc.h"

#include "DialogCommon.h"

using namespace DuiLib;

namespace {

const char* const kPage = "tabPageMainRideoSrc";
const char* const kPageOptions[5] = {"optionVideoSrcMediaFile", "optionVideoSrcImage", "optionVideoSrcMyRecordV",
                                     "optionVideoSrcMyRecordA", "optionVideoSrcMyPhoto"};

}  // namespace

CDealVideoSrc::CDealVideoSrc() {
    for (int type = 0; type < 3; ++type)
        m_records[type] = std::make_unique<CRecordListPanel>(static_cast<eZXVRecordType>(type));
}

CThumbListPanel* CDealVideoSrc::List(int page) {
    if (page == 0) return &m_media;
    if (page == 1) return &m_slides;
    return m_records[page - 2].get();
}

bool CDealVideoSrc::Init(CPaintManagerUI* pm) {
    if (!pm) return false;
    CControlUI* page = pm->FindControl(kPage);
    CControlUI* tab = pm->FindControl("TabVideoSrc");
    auto* tabLayout = tab ? static_cast<CTabLayoutUI*>(tab->GetInterface("TabLayout")) : nullptr;
    bool lists = true;
    for (int i = 0; i < 5; ++i) lists = List(i)->FindLayout(pm) && lists;
    if (!page || !tabLayout || !lists) {
        ZxDlg::Log(3, "CDealVideoSrc", "the video-source page lacks controls; the panel stays inert");
        return false;
    }
    m_pm = pm;
    m_pTab = tabLayout;
    page->AddNotifier(this);
    // The media list last: starting it fills it.
    for (int i = 4; i >= 0; --i) List(i)->Start(pm);
    return true;
}

void CDealVideoSrc::Uninit() {
    if (!m_pm) return;
    for (int i = 0; i < 5; ++i) List(i)->Stop();
    if (CControlUI* page = m_pm->FindControl(kPage)) page->RemoveNotifier(this);
    m_pm = nullptr;
}

void CDealVideoSrc::OnLanguageChanged() {
    if (!m_pm) return;
    m_media.ShowMode();
    m_slides.ShowMode();
    for (int i = 0; i < 5; ++i) List(i)->ShowPicturesInLanguage();
}

void CDealVideoSrc::Notify(TNotifyUI& msg) {
    if (!m_pm || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    for (int i = 0; i < 5; ++i) {
        if (ThumbList::StartsWith(name, List(i)->Group().c_str())) {
            List(i)->OnNotify(msg, name);
            return;
        }
    }
    if (msg.sType == "click") {
        for (int page = 0; page < 5; ++page)
            if (name == kPageOptions[page]) ShowPage(page);
    }
}

void CDealVideoSrc::ShowPage(int page) {
    m_pTab->SelectItem(page);
    if (m_loaded[page]) return;
    m_loaded[page] = true;
    if (page == 1) m_slides.Load();
    else m_records[page - 2]->Load();
}
