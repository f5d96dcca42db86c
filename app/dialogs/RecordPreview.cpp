#include "RecordPreview.h"

#include <commdlg.h>
#include <gdiplus.h>

#include <cstdio>
#include <cstring>

#include "DialogCommon.h"
#include "IDataPreview.h"
#include "IDataRecordList.h"
#include "KernelModules.h"
#include "LangUi.h"
#include "ZxLib/ZxLib.h"
#include "ZxMusicCore/ZxMusicCore.h"

using namespace DuiLib;

namespace {

const UINT kTimerId = 1;
const char* const kTitles[3] = {"app.preview.video", "app.preview.audio", "app.preview.photo"};
const char* const kBackgrounds[2] = {"preview_video.png", "preview_audio.png"};


std::string HoursMinutesSeconds(int seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
    return text;
}

std::string Extension(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string();
    return path.substr(dot);
}

}  // namespace

CRecordPreview::CRecordPreview() {
    SetWindowClassName("CRecordPreview");
    SetXMLPath(ZxDlg::SkinFile("ZxVRecordPreview.xml"));
    SetBuilderCallback(&m_callback);
    InitializeCriticalSection(&m_pendingLock);
}

CRecordPreview::~CRecordPreview() {
    StopWorker();
    DeleteCriticalSection(&m_pendingLock);
}

void CRecordPreview::Open(int kind, int id, bool justRecorded) {
    m_kind = kind;
    m_id = id;
    m_justRecorded = justRecorded;
    if (IDataRecordList* records = KernelModule<IDataRecordList>()) m_path = records->GetRecordPath(kind, id);
    m_picture.assign(CControlVideoShow::kImageSize, 0);
    m_pending.assign(CControlVideoShow::kImageSize, 0);
    if (kind == kPhoto) return;
    if (IDataPreview* preview = KernelModule<IDataPreview>()) preview->SetPreviewFile(m_path);
    StopWorker();
    m_stop = false;
    // Counted before it starts, so a stop right after Open cannot miss it.
    ++m_running;
    m_worker = std::thread([this] { Worker(); });
}

void CRecordPreview::StopWorker() {
    m_stop = true;
    if (m_worker.joinable()) m_worker.join();
}

void CRecordPreview::Worker() {
    // Pulls the frame due now while playing. The picture control belongs to
    // the window's thread: the frame is handed over through a buffer and a
    // posted message instead of being drawn from here.
    while (!m_stop) {
        if (m_playState == 0) {
            IDataPreview* preview = KernelModule<IDataPreview>();
            if (preview && preview->QueryPreviewFrame(m_picture.data(), static_cast<int>(m_picture.size())) > 0) {
                EnterCriticalSection(&m_pendingLock);
                m_pending.swap(m_picture);
                LeaveCriticalSection(&m_pendingLock);
                if (!m_framePosted.exchange(true) && m_hWnd) ::PostMessageW(m_hWnd, kFrameMessage, 0, 0);
            }
        }
        Sleep(100);
    }
    --m_running;
}

LRESULT CRecordPreview::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (uMsg == LangUi::ChangedMessage()) {
        const LRESULT res = CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
        SetTexts();
        return res;
    }
    if (uMsg == kFrameMessage) {
        m_framePosted = false;
        if (m_pVideo) {
            EnterCriticalSection(&m_pendingLock);
            std::memcpy(m_pVideo->GetPictureBits(), m_pending.data(), CControlVideoShow::kImageSize);
            LeaveCriticalSection(&m_pendingLock);
            m_pVideo->SetHasPicture(true);
            m_pVideo->Invalidate();
        }
        return 0;
    }
    return CZxBaseDialog::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CRecordPreview::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    LRESULT res = CZxBaseDialog::OnCreate(uMsg, wParam, lParam, bHandled);
    ZxDlg::ApplyCommonLook(*this);
    if (CControlUI* c = FindControl("previewVideShow"))
        m_pVideo = static_cast<CControlVideoShow*>(c->GetInterface("ControlVideoShow"));
    m_pCurPos = FindControl("CurPos");
    m_pPosition = ZxDlg::FindAs<CSliderUI>(*this, "PlayerPosition", "Slider");
    LayOut();
    return res;
}

void CRecordPreview::SetTexts() {
    const int kind = m_kind >= kVideo && m_kind <= kPhoto ? m_kind : kVideo;
    if (CControlUI* title = FindControl("previewWndTitle")) title->SetText(Lang::TextUtf8(kTitles[kind]));
    if (CControlUI* add = FindControl("btnAddToList"))
        if (kind != kAudio) add->SetText(Lang::TextUtf8(kind == kVideo ? "app.add.playlist" : "app.add.slides"));
}

void CRecordPreview::LayOut() {
    const int kind = m_kind >= kVideo && m_kind <= kPhoto ? m_kind : kVideo;
    SetTexts();
    if (CControlUI* add = FindControl("btnAddToList"))
        if (kind == kAudio) add->SetVisible(false);
    SIZE size = m_pm.GetInitSize();
    if (kind != kPhoto) {
        if (m_pVideo) m_pVideo->SetBkImage(kBackgrounds[kind]);
        IDataPreview* preview = KernelModule<IDataPreview>();
        m_duration = preview ? preview->GetTotalTime() : 0;
        if (CControlUI* total = FindControl("TotalPos")) total->SetText(HoursMinutesSeconds(m_duration));
    } else {
        auto* container = static_cast<CContainerUI*>(
            FindControl("previewContaner") ? FindControl("previewContaner")->GetInterface("Container") : nullptr);
        if (container && FindControl("previewPlayControl")) container->Remove(FindControl("previewPlayControl"));
        m_pCurPos = nullptr;
        m_pPosition = nullptr;
        size.cy -= 30;
        ShowPhoto();
    }
    if (m_justRecorded) {
        IDataRecordList* records = KernelModule<IDataRecordList>();
        if (CControlUI* edit = FindControl("editpreviewRename"))
            edit->SetText(records ? records->GetRecordName(m_kind, m_id) : std::string());
    } else {
        CControlUI* bar = FindControl("horizontallayoutRename");
        if (bar && bar->GetParent()) {
            if (auto* parent = static_cast<CContainerUI*>(bar->GetParent()->GetInterface("Container")))
                parent->Remove(bar);
        }
        size.cy -= 40;
        SetPage("tablayoutpreview_recordend", 1);
    }
    m_pm.SetInitSize(size.cx, size.cy);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, m_pm.Scale(size.cx), m_pm.Scale(size.cy),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
}

void CRecordPreview::ShowPhoto() {
    // The photo stretched to 400 x 300, copied bottom-up into the picture;
    // a photo that cannot be read leaves the picture white.
    if (!m_pVideo) return;
    const int w = CControlVideoShow::kWidth, h = CControlVideoShow::kHeight;
    std::memset(m_picture.data(), 0xFF, m_picture.size());
    Gdiplus::Bitmap source(Charset::String2WString(m_path).c_str());
    if (source.GetLastStatus() == Gdiplus::Ok && source.GetWidth() > 0 && source.GetHeight() > 0) {
        Gdiplus::Bitmap frame(w, h, PixelFormat24bppRGB);
        {
            Gdiplus::Graphics g(&frame);
            g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
            g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
            g.DrawImage(&source, Gdiplus::Rect(0, 0, w, h), 0, 0, static_cast<INT>(source.GetWidth()),
                        static_cast<INT>(source.GetHeight()), Gdiplus::UnitPixel);
        }
        Gdiplus::Rect all(0, 0, w, h);
        Gdiplus::BitmapData data{};
        if (frame.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) == Gdiplus::Ok) {
            const int row = w * 3;
            for (int y = 0; y < h; ++y)
                std::memcpy(m_picture.data() + static_cast<size_t>(h - 1 - y) * row,
                            static_cast<const unsigned char*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride, row);
            frame.UnlockBits(&data);
        }
    }
    std::memcpy(m_pVideo->GetPictureBits(), m_picture.data(), CControlVideoShow::kImageSize);
    m_pVideo->SetHasPicture(true);
    m_pVideo->Invalidate();
}

LRESULT CRecordPreview::OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    m_pm.KillTimer(m_pm.GetRoot());
    StopWorker();
    m_pVideo = nullptr;
    return CZxBaseDialog::OnDestroy(uMsg, wParam, lParam, bHandled);
}

void CRecordPreview::SetPage(const char* tabLayout, int page) {
    if (auto* tab = ZxDlg::FindAs<CTabLayoutUI>(*this, tabLayout, "TabLayout")) tab->SelectItem(page);
}

void CRecordPreview::ShowPosition(int seconds) {
    if (m_pPosition)
        m_pPosition->SetValue(m_duration > 0 ? m_pPosition->GetMaxValue() * seconds / m_duration : 0);
    if (m_pCurPos) m_pCurPos->SetText(HoursMinutesSeconds(seconds));
}

void CRecordPreview::Play() {
    IDataPreview* preview = KernelModule<IDataPreview>();
    if (!preview) return;
    SetPage("tablayoutFoldPlay_Pause", 1);
    if (m_playState == 2) {
        if (!preview->PlayPreview(0, CControlVideoShow::kWidth, CControlVideoShow::kHeight)) {
            SetPage("tablayoutFoldPlay_Pause", 0);
            ZxDlg::Log(2, "CRecordPreview", "the recording cannot be played: %s", m_path.c_str());
            return;
        }
        m_lastPos = 0;
    } else if (m_playState == 1) {
        preview->ResumePreview();
    }
    m_stillTicks = 0;
    m_lastPos = preview->GetPreviewTime();
    ShowPosition(m_lastPos);
    m_pm.SetTimer(m_pm.GetRoot(), kTimerId, kPositionTimerMs);
    m_playState = 0;
}

void CRecordPreview::Pause() {
    SetPage("tablayoutFoldPlay_Pause", 0);
    if (IDataPreview* preview = KernelModule<IDataPreview>()) preview->PausePreview();
    m_playState = 1;
    m_pm.KillTimer(m_pm.GetRoot(), kTimerId);
}

void CRecordPreview::UpdatePosition() {
    IDataPreview* preview = KernelModule<IDataPreview>();
    if (!preview || m_playState != 0) return;
    const int pos = preview->GetPreviewTime();
    if (pos == m_lastPos) ++m_stillTicks;
    else m_stillTicks = 0;
    if (m_stillTicks < kStillTicksAtEnd) {
        if (pos != m_lastPos) {
            m_lastPos = pos;
            ShowPosition(pos);
        }
        return;
    }
    // Four ticks without progress: the recording has played to its end.
    SetPage("tablayoutFoldPlay_Pause", 0);
    if (m_pCurPos) m_pCurPos->SetText("00:00:00");
    if (m_pPosition) m_pPosition->SetValue(0);
    preview->StopPreview();
    m_playState = 2;
    m_lastPos = 0;
    m_stillTicks = 0;
    m_pm.KillTimer(m_pm.GetRoot(), kTimerId);
}

void CRecordPreview::EndWithResult(int result, const std::string& text) {
    if (m_kind != kPhoto && (m_playState == 0 || m_playState == 1)) {
        if (IDataPreview* preview = KernelModule<IDataPreview>()) preview->StopPreview();
        m_playState = 2;
    }
    m_result = result;
    m_resultText = text;
    m_pm.KillTimer(m_pm.GetRoot());
    Close(static_cast<UINT>(result));
}

std::string CRecordPreview::RenameProblem(const std::string& name, const std::string& folder, const std::string& ext,
                                          const std::string& currentPath) {
    switch (RecordNameRule(name)) {
    case 1:
        return Lang::TextUtf8("app.rename.empty");
    case 2:
        return Lang::TextUtf8("app.rename.chars");
    case 3:
        return Lang::TextUtf8("app.rename.end");
    case 4:
        return Lang::TextUtf8("app.rename.reserved");
    default:
        break;
    }
    const std::string target = folder + name + ext;
    if (_wcsicmp(Charset::String2WString(target).c_str(), Charset::String2WString(currentPath).c_str()) != 0 &&
        File::IsExistFile(target))
        return Lang::TextUtf8("app.rename.exists");
    return std::string();
}

void CRecordPreview::TryRename() {
    const std::string name = FindControl("editpreviewRename") ? FindControl("editpreviewRename")->GetText() : "";
    const std::string problem = RenameProblem(name, File::GetParentPath(m_path), Extension(m_path), m_path);
    if (!problem.empty()) {
        // Refused: the dialog stays, with the recording as it was.
        ZxDlg::ShowMsgTip(m_hWnd, problem);
        return;
    }
    EndWithResult(kResultRename, name);
}

std::string CRecordPreview::SaveAsPath(int kind, const std::string& chosen, int filterIndex) {
    // Photos are written in the format the user picked; a name without a
    // picture extension gets the chosen format's.
    if (kind != kPhoto) return chosen;
    static const char* const kPictureExts[3] = {".bmp", ".jpg", ".png"};
    std::string ext = Extension(chosen);
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (ext == ".bmp" || ext == ".jpg" || ext == ".jpeg" || ext == ".png") return chosen;
    const int i = filterIndex >= 1 && filterIndex <= 3 ? filterIndex - 1 : 0;
    return chosen + kPictureExts[i];
}

void CRecordPreview::SaveAs() {
    // Photos can be saved in three formats; the order is that of SaveAsPath.
    const std::wstring filters[3] = {LangUi::FileFilter({{"app.files.video_flv", L"*.flv"}}),
                                     LangUi::FileFilter({{"app.files.sound_mp3", L"*.mp3"}}),
                                     LangUi::FileFilter({{"app.files.picture_bmp", L"*.bmp"},
                                                         {"app.files.picture_jpg", L"*.jpg;*.jpeg"},
                                                         {"app.files.picture_png", L"*.png"}})};
    static const wchar_t* const kExts[3] = {L"flv", L"mp3", L"bmp"};
    const int kind = m_kind >= kVideo && m_kind <= kPhoto ? m_kind : kVideo;
    wchar_t file[261] = {};
    const std::wstring name = Charset::String2WString(File::GetFileName(m_path));
    lstrcpynW(file, name.c_str(), 261);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filters[kind].c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 261;
    ofn.lpstrDefExt = kExts[kind];
    // The dialog asks before a file is replaced; the move then replaces it.
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn)) return;   // cancelled: the dialog stays
    EndWithResult(kResultMove, SaveAsPath(kind, Charset::WString2String(file), static_cast<int>(ofn.nFilterIndex)));
}

void CRecordPreview::Notify(TNotifyUI& msg) {
    if (!m_hWnd || !IsWindow(m_hWnd) || !msg.pSender) return;
    const std::string& name = msg.pSender->GetName();
    if (msg.sType == "timer") {
        if (m_playState == 0) UpdatePosition();
        return;
    }
    if (msg.sType == "valuechanged" || msg.sType == "valuechanging") {
        auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface("Slider"));
        IDataPreview* preview = KernelModule<IDataPreview>();
        if (!slider || !preview) return;
        if (name == "PlayerPosition" && msg.sType == "valuechanged") {
            // Seeking only while playing; a paused or stopped recording
            // keeps its place.
            if (m_playState == 0 && slider->GetMaxValue() > 0)
                preview->SeekPreview(m_duration * slider->GetValue() / slider->GetMaxValue());
        } else if (name == "sliderValume") {
            preview->SetPreviewVolume(slider->GetValue());
        }
        return;
    }
    if (msg.sType != "click") return;
    if (name == "BtnClose" || name == "btnClose") {
        // The caption's close keeps a fresh recording, as the close button
        // does: deleting it is the delete button's choice alone.
        EndWithResult(kResultClose);
    } else if (name == "btnAddToList") {
        EndWithResult(kResultAddToList);
    } else if (name == "btnDelete") {
        EndWithResult(kResultDelete);
    } else if (name == "btnSave") {
        TryRename();
    } else if (name == "btnReSave") {
        SaveAs();
    } else if (name == "btnPlayMedia") {
        Play();
    } else if (name == "btnPauseMedia") {
        Pause();
    } else if (name == "BtnValume") {
        if (IDataPreview* preview = KernelModule<IDataPreview>()) preview->SetPreviewVolume(0);
        SetPage("tablayourVolume_mute", 1);
    } else if (name == "btnMute") {
        auto* volume = ZxDlg::FindAs<CSliderUI>(*this, "sliderValume", "Slider");
        if (IDataPreview* preview = KernelModule<IDataPreview>()) preview->SetPreviewVolume(volume ? volume->GetValue() : 100);
        SetPage("tablayourVolume_mute", 0);
    }
}
