#include "ZxVCamDlg.h"

#include <cstdio>

#include "AppLinks.h"
#include "DialogCommon.h"
#include "Feedback.h"
#include "IDataAudioProcess.h"
#include "KernelModules.h"
#include "LangUi.h"
#include "SettingKeys.h"
#include "SingleInstance.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"
#include "ZxVSetupDlg.h"
#include "ZxVSkinMgrDlg.h"

using namespace DuiLib;

CZxVCamDlg* g_pMainDlg = nullptr;

const wchar_t* const CZxVCamDlg::kWindowMark = L"ZxVCamMainWnd";

namespace {

const int kIconResource = 107;
// Posted to tell the user about list files set aside.
const UINT kTellSetAsideMessage = WM_APP + 25;

// The list a list file holds, as the user knows it.
std::string ListName(const std::string& file) {
    static const char* const kNames[][2] = {
        {"MediaFileList.dat", "app.list.media"}, {"SlideFileList.dat", "app.list.slides"},
        {"VideoList.dat", "app.list.videos"},    {"AudioList.dat", "app.list.audios"},
        {"ImageList.dat", "app.list.photos"},
    };
    const std::string name = File::GetFileName(file);
    for (const auto& n : kNames)
        if (lstrcmpiA(name.c_str(), n[0]) == 0) return Lang::FormatUtf8("app.list.named", {Lang::TextUtf8(n[1]), name});
    return name;
}

std::string HoursMinutesSeconds(int seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

// Sent by the shell when the task bar is made again (Explorer restarted):
// every tray icon must be added anew.
UINT TaskbarCreatedMessage() {
    static const UINT msg = RegisterWindowMessageW(L"TaskbarCreated");
    return msg;
}

}  // namespace

CZxVCamDlg::CZxVCamDlg() {
    SetWindowClassName("CZxVCamDlg");
    SetXMLPath(ZxDlg::SkinFile("ZxVCam.xml"));
    m_pCallback = new CDialogBuilderCallbackEx;
    SetBuilderCallback(m_pCallback);
    m_hIcon = LoadIconW(CPaintManagerUI::GetInstance(), MAKEINTRESOURCEW(kIconResource));
}

CZxVCamDlg::~CZxVCamDlg() {
    SetBuilderCallback(nullptr);
    delete m_pCallback;
    m_skins.Free();
}

LRESULT CZxVCamDlg::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    // Without its skin the window would open empty, with no control to use
    // and no way to close it but the task manager: it is not made at all,
    // and the program says why.
    if (!FindControl("ViewPortWnd")) {
        m_createFailure = Lang::FormatUtf8("app.err.skin", {ZxDlg::SkinFile("ZxVCam.xml")});
        ZxDlg::Log(3, "CZxVCamDlg", "the main window's skin %s is missing or damaged",
                   ZxDlg::SkinFile("ZxVCam.xml").c_str());
        bHandled = TRUE;
        return -1;
    }

    LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~WS_MAXIMIZEBOX;
    SetWindowLongW(m_hWnd, GWL_STYLE, style | WS_SYSMENU | WS_THICKFRAME);
    SetWindowTextW(m_hWnd, Lang::Text("app.title").c_str());

    CControlUI* position = FindControl("PlayerPosition");
    m_pPlayerPosition = position ? static_cast<CSliderUI*>(position->GetInterface("Slider")) : nullptr;
    m_pCurPos = FindControl("CurPos");
    m_pTotalPos = FindControl("TotalPos");
    CenterWindow();

    PostMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    PostMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    AddTrayIcon();

    m_skins.Scan(CSkinList::DefaultFolder());
    m_skins.Apply(Settings::GetInt(Settings::kSkinId, 0));

    // The live picture: a child window laid over the skin's view port.
    if (CControlUI* view = FindControl("ViewPortWnd")) {
        // Laid out now (the window is not shown yet, so no paint has done
        // it) to know where the view port is.
        RECT client;
        GetClientRect(m_hWnd, &client);
        if (m_pm.GetRoot()) m_pm.GetRoot()->SetPos(client);
        const RECT rc = view->GetPos();
        if (!m_wndVideoShow.Create(m_hWnd, "", WS_CHILD | WS_VISIBLE, 0, rc))
            ZxDlg::Log(3, "CZxVCamDlg", "the preview window could not be created");
    }

    m_funDlg.Attach(&m_pm);

    m_observers.emplace(this);
    // Lists the kernel read before this window existed are told once the
    // window shows.
    PostMessage(kTellSetAsideMessage);

    if (auto* mic = ZxDlg::FindAs<CSliderUI>(*this, "sliderMic", "Slider"))
        if (auto* audio = KernelModule<IDataAudioProcess>()) mic->SetValue(audio->GetInputVol());
    if (auto* volume = ZxDlg::FindAs<CSliderUI>(*this, "sliderValume", "Slider"))
        if (auto* media = KernelModule<IDataMediaList>()) volume->SetValue(media->GetVolume());
    // Marked last: a second start that finds the mark finds a whole window.
    SetPropW(m_hWnd, kWindowMark, reinterpret_cast<HANDLE>(1));
    m_created = true;
    return res;
}

void CZxVCamDlg::AddTrayIcon() {
    const bool added = m_tray && m_tray->hIcon;
    if (!m_tray) {
        m_tray = std::make_unique<NOTIFYICONDATAW>();
        ZeroMemory(m_tray.get(), sizeof(NOTIFYICONDATAW));
        m_tray->cbSize = sizeof(NOTIFYICONDATAW);
        m_tray->uID = kTrayIconId;
    }
    if (!m_hIcon) return;
    const std::wstring tip = Lang::Text("app.title");
    lstrcpynW(m_tray->szTip, tip.c_str(), ARRAYSIZE(m_tray->szTip));
    m_tray->uFlags |= NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_tray->hWnd = m_hWnd;
    m_tray->uCallbackMessage = kTrayMessage;
    m_tray->hIcon = m_hIcon;
    if (!Shell_NotifyIconW(added ? NIM_MODIFY : NIM_ADD, m_tray.get()))
        ZxDlg::Log(2, "CZxVCamDlg", "the tray icon could not be %s", added ? "changed" : "added");
}

void CZxVCamDlg::RemoveTrayIcon() {
    if (m_tray && m_tray->hIcon) Shell_NotifyIconW(NIM_DELETE, m_tray.get());
    m_tray.reset();
}

LRESULT CZxVCamDlg::OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    ShowWindow(false, true);
    return CZxBaseDialog::OnClose(uMsg, wParam, lParam, bHandled);
}

LRESULT CZxVCamDlg::OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    // A window whose creation failed set nothing up and ends no message
    // loop: the program's message box about it comes next and must not be
    // closed by WM_QUIT.
    if (!m_created) return CZxBaseDialog::OnDestroy(uMsg, wParam, lParam, bHandled);
    m_funDlg.Detach();
    m_wndVideoShow.Uninit();
    if (m_audioEffect.GetHWND()) DestroyWindow(m_audioEffect.GetHWND());
    m_skins.Free();
    RemoveTrayIcon();
    m_observers.reset();
    LRESULT res = CZxBaseDialog::OnDestroy(uMsg, wParam, lParam, bHandled);
    SingleInstance::SetRecording(false);
    m_created = false;
    PostQuitMessage(0);
    return res;
}

LRESULT CZxVCamDlg::OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    CControlUI* view = FindControl("ViewPortWnd");
    if (wParam == SIZE_RESTORED && view && m_wndVideoShow.GetHWND()) {
        // Laid out at the new size now (a new screen scale changes the view
        // port's size too), so the preview follows it at once.
        RECT client{0, 0, LOWORD(lParam), HIWORD(lParam)};
        if (m_pm.GetRoot()) m_pm.GetRoot()->SetPos(client);
        const RECT rc = view->GetPos();
        if (rc.right > rc.left && rc.bottom > rc.top)
            SetWindowPos(m_wndVideoShow.GetHWND(), nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return CZxBaseDialog::OnSize(uMsg, wParam, lParam, bHandled);
}

LRESULT CZxVCamDlg::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    if ((wParam & 0xFFF0) != SC_CLOSE) return CZxBaseDialog::OnSysCommand(uMsg, wParam, lParam, bHandled);
    bHandled = TRUE;
    if (Settings::GetInt(Settings::kCloseToTray, 1) != 0) ShowWindow(false, true);
    else Close();
    return 0;
}

LRESULT CZxVCamDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == WM_NCACTIVATE) {
        // Without the thick frame for the moment, activation changes never
        // draw the system's frame over the skin.
        LONG style = GetWindowLongW(m_hWnd, GWL_STYLE);
        SetWindowLongW(m_hWnd, GWL_STYLE, style & ~WS_THICKFRAME);
        LRESULT res = CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
        SetWindowLongW(m_hWnd, GWL_STYLE, GetWindowLongW(m_hWnd, GWL_STYLE) | WS_THICKFRAME);
        return res;
    }
    if (uMsg == LangUi::ChangedMessage()) {
        // The skin's own texts first, then those this code sets.
        const LRESULT res = CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
        SetWindowTextW(m_hWnd, Lang::Text("app.title").c_str());
        if (m_tray && m_tray->hIcon) AddTrayIcon();
        m_funDlg.OnLanguageChanged();
        m_wndVideoShow.OnLanguageChanged();
        return res;
    }
    if (uMsg == kTellSetAsideMessage) {
        TellSetAsideFiles();
        return 0;
    }
    if (uMsg == kTrayMessage) {
        if (!m_tray) AddTrayIcon();
        if (lParam == WM_LBUTTONUP) ShowMainWindow();
        else if (lParam == WM_RBUTTONUP) ShowTrayMenu();
        return 0;
    }
    if (uMsg == TaskbarCreatedMessage() && m_tray && m_tray->hIcon) {
        Shell_NotifyIconW(NIM_ADD, m_tray.get());
        return 0;
    }
    return CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
}

void CZxVCamDlg::ShowMainWindow() {
    if (IsIconic(m_hWnd)) ::ShowWindow(m_hWnd, SW_RESTORE);
    ShowWindow(true, true);
    SetForegroundWindow(m_hWnd);
}

void CZxVCamDlg::ShowTrayMenu() {
    SetForegroundWindow(m_hWnd);
    CMenuUI menu("MenuBk");
    menu.AddItem(1, Lang::TextUtf8("app.tray.open"));
    menu.AddItem(3, Lang::TextUtf8("app.tray.exit"), "menu_icon_exit_2.png", "menu_icon_exit_1.png");
    POINT pt{};
    GetCursorPos(&pt);
    const int choice = menu.TrackPopupMenu(m_hWnd, pt);
    if (choice == 1) ShowMainWindow();
    else if (choice == 3) Close();
}

void CZxVCamDlg::ShowTip(const char* text) { ZxDlg::ShowMsgTip(m_hWnd, text); }

void CZxVCamDlg::OnFileSetAside() { PostMessage(kTellSetAsideMessage); }

void CZxVCamDlg::TellSetAsideFiles() {
    // A tip is modal: a report that arrives meanwhile is taken by the loop
    // below, not by a second one inside the tip.
    if (m_tellingSetAside) return;
    m_tellingSetAside = true;
    std::string file, copy;
    while (m_hWnd && AfxGetConfigManager()->TakeSetAsideFile(file, copy))
        ShowTip(Lang::FormatUtf8("app.tip.settings_damaged", {File::GetFileName(file), copy}).c_str());
    auto* kernal = KernelModule<IDataKernal>();
    while (m_hWnd && kernal && kernal->TakeSetAsideFile(file, copy))
        ShowTip(Lang::FormatUtf8("app.tip.list_damaged", {ListName(file), copy}).c_str());
    m_tellingSetAside = false;
}

void CZxVCamDlg::OpenHelpPage() {
    const std::string page = Dir::GetCurrentPath() + AppLinks::kHelpPage;
    if (!File::IsExistFile(page)) {
        ZxDlg::Log(2, "CZxVCamDlg", "the help page %s is missing", page.c_str());
        ShowTip(Lang::FormatUtf8("app.tip.help_missing", {page}).c_str());
    } else if (!Url::OpenUrl(page, true)) {
        ZxDlg::Log(2, "CZxVCamDlg", "no program opened the help page %s", page.c_str());
        ShowTip(Lang::FormatUtf8("app.tip.help_cannot_open", {page}).c_str());
    }
}

std::string CZxVCamDlg::MakeFeedback(const std::string& folder) {
    const std::string where = folder.empty() ? Feedback::DesktopFolder() : folder;
    std::string zip, error;
    if (where.empty() || !Feedback::MakeZip(where, zip, error)) {
        ShowTip(Lang::FormatUtf8("app.tip.feedback_failed",
                                 {where.empty() ? Lang::TextUtf8("app.feedback.no_desktop") : error})
                    .c_str());
        return std::string();
    }
    // The folder opens with the file selected, ready to be attached.
    const std::wstring args = L"/select,\"" + String2WString(zip) + L"\"";
    ShellExecuteW(m_hWnd, L"open", L"explorer.exe", args.c_str(), nullptr, SW_SHOWNORMAL);
    ShowTip(Lang::FormatUtf8("app.tip.feedback_saved", {File::GetFileName(zip)}).c_str());
    return zip;
}

void CZxVCamDlg::SelectPage(const char* tabLayout, int page) {
    if (auto* tab = ZxDlg::FindAs<CTabLayoutUI>(*this, tabLayout, "TabLayout")) tab->SelectItem(page);
}

void CZxVCamDlg::EnableControl(const char* name, bool enable) {
    if (CControlUI* c = FindControl(name)) c->SetEnabled(enable);
}

void CZxVCamDlg::Notify(TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "valuechanged" || msg.sType == "valuechanging") {
        // The position seeks once the thumb is let go; the volumes follow
        // it while it moves.
        if (name == "PlayerPosition" && msg.sType == "valuechanging") return;
        if (auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface("Slider")))
            OnSliderValue(name, slider->GetValue());
        return;
    }
    if (msg.sType != "click") return;
    // A damaged settings file is set aside at the first change of a
    // setting, which a click here (or a dialog it opens) makes.
    PostMessage(kTellSetAsideMessage);

    auto* camera = KernelModule<IDataCamera>();
    auto* records = KernelModule<IDataRecordList>();
    auto* media = KernelModule<IDataMediaList>();
    auto* audio = KernelModule<IDataAudioProcess>();
    if (name == "BtnClose") {
        SendMessage(WM_SYSCOMMAND, SC_CLOSE);
    } else if (name == "btnGoHome") {
        OpenHelpPage();
    } else if (name == "BtnFeedback") {
        MakeFeedback();
    } else if (name == "BtnMin") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE);
    } else if (name == "btnOpenCamera") {
        if (!camera || !camera->StartCamera()) ShowTip(Lang::TextUtf8("app.tip.camera_failed").c_str());
    } else if (name == "btnCloseCamera") {
        if (camera) camera->StopCamera();
    } else if (name == "BtnChangeSkin") {
        CZxVSkinMgrDlg dlg(&m_skins);
        dlg.ShowModalDlg(m_hWnd, true);
    } else if (name == "BtnSetup") {
        CZxVSetupDlg dlg;
        dlg.ShowModalDlg(m_hWnd, true);
    } else if (name == "btnRecordAudioBegin" || name == "btnRecordVideoBegin") {
        const bool video = name == "btnRecordVideoBegin";
        if (video) m_funDlg.ShowMyRecordVideos();
        else m_funDlg.ShowMyRecordAudios();
        // A start that fails tells why through the record list's problem
        // message (the video-source page shows it).
        if (records) records->StartRecord(video ? ZXV_RECORD_VIDEO : ZXV_RECORD_AUDIO);
    } else if (name == "btnRecordAudioEnd" || name == "btnRecordVideoEnd") {
        if (records) records->StopRecord();
    } else if (name == "btnRecordImage") {
        m_funDlg.ShowMyPhotos();
        if (records) records->TakeSnapshot();
    } else if (name == "btnPreMedia") {
        if (media) media->PlayPrev();
    } else if (name == "btnNextMedia") {
        if (media) media->PlayNext();
    } else if (name == "btnPlayMedia") {
        if (media) {
            if (media->GetPlayState() == MEDIALIST_STATE_PAUSED) media->Resume();
            else media->Play(media->GetCurrentItem());
        }
    } else if (name == "btnPauseMedia") {
        if (media) media->Pause();
    } else if (name == "BtnValume") {
        // Muted: the slider keeps its level, so unmuting brings it back.
        if (media) media->SetVolume(0);
        SelectPage("tablayourVolume_mute", 1);
    } else if (name == "btnMute") {
        auto* volume = ZxDlg::FindAs<CSliderUI>(*this, "sliderValume", "Slider");
        if (media && volume) media->SetVolume(volume->GetValue());
        SelectPage("tablayourVolume_mute", 0);
    } else if (name == "BtnMic") {
        if (audio) audio->SetInputVol(0);
        SelectPage("tablayoutbtnMicOpen_Close", 1);
    } else if (name == "btnMicClose") {
        auto* mic = ZxDlg::FindAs<CSliderUI>(*this, "sliderMic", "Slider");
        if (audio && mic) audio->SetInputVol(mic->GetValue());
        SelectPage("tablayoutbtnMicOpen_Close", 0);
    } else if (name == "btnPlayAudioEffect") {
        if (m_audioEffect.GetHWND() && IsWindow(m_audioEffect.GetHWND())) m_audioEffect.ShowWindow(true, true);
        else m_audioEffect.ShowUnModalDlg(nullptr);
    }
}

void CZxVCamDlg::OnSliderValue(const std::string& name, int value) {
    if (name == "PlayerPosition") {
        auto* media = KernelModule<IDataMediaList>();
        if (!media || !m_pPlayerPosition) return;
        const int id = media->GetCurrentItem();
        const int max = m_pPlayerPosition->GetMaxValue();
        if (id == -1 || max <= 0) return;
        const int seconds = static_cast<int>(static_cast<double>(value) / max * media->GetItemDuration(id));
        media->SetPlayPos(static_cast<double>(seconds));
    } else if (name == "sliderValume") {
        if (auto* media = KernelModule<IDataMediaList>()) media->SetVolume(value);
        SelectPage("tablayourVolume_mute", 0);
    } else if (name == "sliderMic") {
        if (auto* audio = KernelModule<IDataAudioProcess>()) audio->SetInputVol(value);
        SelectPage("tablayoutbtnMicOpen_Close", 0);
    }
}

void CZxVCamDlg::OnCameraState(bool open) { SelectPage("tablayoutbtnCameraOpen_Close", open ? 1 : 0); }

void CZxVCamDlg::OnStreamTypeChanged(int, int newType) {
    if (m_pPlayerPosition) m_pPlayerPosition->SetEnabled(newType == VIDEO_STREAM_MEDIAFILE);
}

void CZxVCamDlg::OnRecordState(eZXVRecordState state, eZXVRecordType type) {
    if (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO) return;
    const bool video = type == ZXV_RECORD_VIDEO;
    const bool recording = state == ZXV_RECORD_RECORDING;
    // A later start never ends this copy while it records.
    SingleInstance::SetRecording(recording);
    SelectPage(video ? "tablayoutbtnRecordVideoBegin_End" : "tablayoutbtnRecordAudioBegin_End", recording ? 1 : 0);
    // One recording at a time: the other kind's start waits.
    EnableControl(video ? "btnRecordAudioBegin" : "btnRecordVideoBegin", !recording);
}

void CZxVCamDlg::ShowPosition(int id, double seconds) {
    auto* media = KernelModule<IDataMediaList>();
    const int duration = media && id != -1 ? media->GetItemDuration(id) : 0;
    if (m_pPlayerPosition) {
        // A file of unknown length (0) keeps the slider at the start rather
        // than dividing by zero.
        const int max = m_pPlayerPosition->GetMaxValue();
        m_pPlayerPosition->SetValue(duration > 0 ? static_cast<int>(max * seconds / duration) : 0);
    }
    if (m_pCurPos) m_pCurPos->SetText(HoursMinutesSeconds(static_cast<int>(seconds)));
}

void CZxVCamDlg::OnPosition(int id, double seconds) { ShowPosition(id, seconds); }

void CZxVCamDlg::OnPlaying(int id) {
    if (m_pPlayerPosition) m_pPlayerPosition->SetValue(0);
    if (m_pCurPos) m_pCurPos->SetText("00:00:00");
    auto* media = KernelModule<IDataMediaList>();
    if (m_pTotalPos)
        m_pTotalPos->SetText(id == -1 || !media ? "00:00:00" : HoursMinutesSeconds(media->GetItemDuration(id)));
}

void CZxVCamDlg::OnState(eMediaFileListPlayState state) {
    SelectPage("tablayoutFoldPlay_Pause", state == MEDIALIST_STATE_PLAYING ? 1 : 0);
    if (state == MEDIALIST_STATE_STOPPED) {
        if (m_pPlayerPosition) m_pPlayerPosition->SetValue(0);
        if (m_pCurPos) m_pCurPos->SetText("00:00:00");
        if (m_pTotalPos) m_pTotalPos->SetText("00:00:00");
    }
}
