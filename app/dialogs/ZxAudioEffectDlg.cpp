#include "ZxAudioEffectDlg.h"

#include <mmsystem.h>

#include <cstdlib>

#include "LangUi.h"
#include "DialogCommon.h"
#include "ZxLib/ZxLib.h"

namespace {
const char kClipPrefix[] = "audioeffect_";   // + the clip's position
const int kPerRow = 4;

// The program's own clips (resources/wav) by the name in their file, and the
// key of that name in the program's texts.
struct ClipName {
    const char* file;
    const char* key;
};
const ClipName kClipNames[] = {
    {"掌声", "ui.clips.applause"}, {"笑声", "ui.clips.laughter"}, {"击鼓", "ui.clips.drums"},
    {"铃声", "ui.clips.bell"},     {"哨声", "ui.clips.whistle"},  {"登场", "ui.clips.fanfare"},
    {"倒计时", "ui.clips.countdown"}, {"欢呼", "ui.clips.cheers"},
};
}  // namespace

CZxAudioEffectDlg::CZxAudioEffectDlg() {
    SetWindowClassName("CZxAudioEffectDlg");
    SetXMLPath(ZxDlg::SkinFile("ZxAudioEffect.xml"));
}

std::string CZxAudioEffectDlg::ClipTitle(const std::string& path) {
    std::string title = File::GetFileNameWithoutExtension(path);
    size_t digits = 0;
    while (digits < title.size() && title[digits] >= '0' && title[digits] <= '9') ++digits;
    // A name of digits alone keeps them: a button must say something.
    if (digits < title.size()) title.erase(0, digits);
    for (const ClipName& clip : kClipNames)
        if (title == clip.file) return Lang::TextUtf8(clip.key);
    return title;
}

LRESULT CZxAudioEffectDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    m_pPanel = ZxDlg::FindAs<DuiLib::CVerticalLayoutUI>(*this, "panelAudioEffect", "VerticalLayout");
    ZxDlg::ApplyCommonLook(*this);
    BuildClipList();
    CenterWindow();
    return res;
}

void CZxAudioEffectDlg::BuildClipList() {
    m_clips.clear();
    Dir::FindAllFiles(m_clips, Dir::GetZxPath(Dir::kPathResource) + "wav", "*.wav", Dir::kFindFiles);
    if (!m_pPanel) return;
    DuiLib::CHorizontalLayoutUI* row = nullptr;
    for (size_t i = 0; i < m_clips.size(); ++i) {
        if (i % kPerRow == 0) {
            row = new DuiLib::CHorizontalLayoutUI;
            row->SetChildPadding(12);
            row->SetFixedHeight(42);
            m_pPanel->Add(row);
        }
        auto* btn = new DuiLib::CButtonUI;
        btn->SetName(kClipPrefix + std::to_string(i));
        btn->SetFixedWidth(90);
        btn->SetFixedHeight(27);
        btn->SetPadding(RECT{0, 10, 0, 0});
        // btn_audioeffect.png holds the four states side by side.
        btn->SetNormalImage("file='btn_audioeffect.png' source='0,0,90,27'");
        btn->SetHotImage("file='btn_audioeffect.png' source='90,0,180,27'");
        btn->SetPushedImage("file='btn_audioeffect.png' source='180,0,270,27'");
        btn->SetDisabledImage("file='btn_audioeffect.png' source='270,0,360,27'");
        btn->SetTextPadding(RECT{18, 0, 0, 0});
        btn->SetTextColor(0xFFFFFFFF);
        btn->SetTextStyle(DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS);
        btn->SetAttribute("setcursor", "true");
        row->Add(btn);
    }
    SetClipTitles();
}

void CZxAudioEffectDlg::SetClipTitles() {
    for (size_t i = 0; i < m_clips.size(); ++i) {
        if (DuiLib::CControlUI* btn = FindControl(kClipPrefix + std::to_string(i))) {
            const std::string title = ClipTitle(m_clips[i]);
            btn->SetText(title);
            btn->SetToolTip(title);
        }
    }
}

LRESULT CZxAudioEffectDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == LangUi::ChangedMessage()) {
        SetClipTitles();
        return 0;
    }
    return CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
}

void CZxAudioEffectDlg::Notify(DuiLib::TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender || msg.sType != "click") return;
    const std::string& name = msg.pSender->GetName();
    if (name == "BtnClose") {
        ShowWindow(false, true);
    } else if (name.compare(0, sizeof(kClipPrefix) - 1, kClipPrefix) == 0) {
        const int index = std::atoi(name.c_str() + sizeof(kClipPrefix) - 1);
        if (index >= 0 && static_cast<size_t>(index) < m_clips.size()) PlayClip(static_cast<size_t>(index));
    }
}

void CZxAudioEffectDlg::PlayClip(size_t index) {
    // Asynchronous: the sound system plays it on its own and a new clip
    // stops the one before. A clip that cannot be played is not an error
    // worth a message.
    m_lastPlayed = m_clips[index];
    m_lastAccepted = PlaySoundW(Charset::String2WString(m_lastPlayed).c_str(), nullptr,
                                SND_FILENAME | SND_ASYNC | SND_NODEFAULT) != FALSE;
}
