#include "KernelModules.h"
#include "LangUi.h"
#include "RecordPreview.h"
#include "SettingKeys.h"
#include "TileListUI.h"
#include "VideoSrcLists.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;
using namespace ThumbList;

namespace {

const char* const kGroups[3] = {"VSMyRecordV_", "VSMyRecordA_", "VSMyPhoto_"};
const char* const kTilePrefixes[3] = {"VSMyRecordV_Item_", "VSMyRecordA_Item_", "VSMyPhoto_Item_"};
const char* const kAudioThumbnail = "Record_Audio_thumbnail.png";

}  // namespace

CRecordListPanel::CRecordListPanel(eZXVRecordType type)
    : CThumbListPanel(kGroups[type], kTilePrefixes[type]), m_type(type) {}

void CRecordListPanel::Start(CPaintManagerUI* pm) {
    CThumbListPanel::Start(pm);
    m_observer.emplace(this);
}

void CRecordListPanel::Stop() {
    m_observer.reset();
    CThumbListPanel::Stop();
    m_recording = nullptr;
}

void CRecordListPanel::Load() {
    // The records arrive as record messages on this thread.
    if (IDataRecordList* records = KernelModule<IDataRecordList>()) records->EnumRecords(m_type);
}

void CRecordListPanel::OnNotify(TNotifyUI& msg, const std::string& name) {
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!records) return;
    const std::string& group = Group();
    const bool photos = m_type == ZXV_RECORD_IMAGE;
    if (msg.sType == "click") {
        if (name == group + "btnOpenDir") {
            records->OpenRecordDir(m_type);
        } else if (!photos && name == group + "btnBeginRecord") {
            // A start that fails tells why through the problem message.
            records->StartRecord(m_type);
        } else if (!photos && name == group + "btnEndRecord") {
            records->StopRecord();
        } else if (photos && name == group + "btnSnapshot") {
            records->TakeSnapshot();
        } else if (name == group + "btnDelete") {
            DeleteSelected();
        }
    } else if (msg.sType == "menu") {
        if (IsTile(name)) TileMenu(msg);
    } else if (msg.sType == "dbbuttondown") {
        const int id = TileId(name);
        if (id < 0) return;
        // The tile holds the mouse from the double click; the dialog needs it.
        m_pm->ReleaseCapture();
        ShowRecordPreview(id, false);
    } else if (msg.sType == "delete" && name == group + "tilelayout") {
        DeleteSelected();
    } else if (msg.sType == "recordtip" && name == group + "tilelayout") {
        if (m_pendingTips.empty()) return;
        const std::string text = m_pendingTips.front();
        m_pendingTips.erase(m_pendingTips.begin());
        ShowTip(text.c_str());
    } else if (msg.sType == "recordpreview" && name == group + "tilelayout") {
        ShowRecordPreview(static_cast<int>(msg.lParam), true);
    }
}

void CRecordListPanel::DeleteSelected() {
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!records || !m_layout) return;
    bool refused = false;
    const std::vector<int> ids = RemoveSelectedTiles(records->GetRecordingId(m_type), refused);
    const char* busy = m_type == ZXV_RECORD_AUDIO ? "app.rec.cannot_delete_audio" : "app.rec.cannot_delete_video";
    if (refused) ShowTip(Lang::TextUtf8(busy).c_str());
    if (!ids.empty()) records->DeleteRecords(m_type, ids, true);
}

void CRecordListPanel::TileMenu(TNotifyUI& msg) {
    const std::string third = m_type == ZXV_RECORD_VIDEO   ? Lang::TextUtf8("app.add.playlist")
                              : m_type == ZXV_RECORD_IMAGE ? Lang::TextUtf8("app.add.slides")
                                                           : std::string();
    CTileListItemUI* tile = nullptr;
    const int choice = CThumbListPanel::TileMenu(msg, third.empty() ? nullptr : third.c_str(), tile);
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!records || choice < 1) return;
    const int id = static_cast<int>(tile->GetTag());
    if (choice == 1) {
        DeleteSelected();
    } else if (choice == 2) {
        OpenFolderOf(records->GetRecordPath(m_type, id));
    } else if (choice == 3) {
        const std::string path = records->GetRecordPath(m_type, id);
        if (!File::IsExistFile(path)) {
            tile->SetIcon(LangUi::Picture(m_type == ZXV_RECORD_IMAGE ? kImageInvalid : kVideoInvalid), kIconRect);
        } else if (m_type == ZXV_RECORD_VIDEO) {
            if (IDataMediaList* media = KernelModule<IDataMediaList>()) media->AddFiles({path});
        } else if (IDataSlideList* slides = KernelModule<IDataSlideList>()) {
            slides->AddFiles({path});
        }
    }
}

void CRecordListPanel::ShowRecordPreview(int id, bool justRecorded) {
    if (!m_pm) return;
    // The playlist's sound would cover the recording's.
    if (IDataMediaList* media = KernelModule<IDataMediaList>())
        if (media->GetPlayState() == MEDIALIST_STATE_PLAYING) media->Pause();
    int result = CRecordPreview::kResultClose;
    std::string text;
    {
        CRecordPreview dlg;
        dlg.Open(m_type, id, justRecorded);
        dlg.ShowModalDlg(Window(), true);
        dlg.StopWorker();
        result = dlg.GetResult();
        text = dlg.GetResultText();
    }
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!records || !m_layout || !m_pm) return;
    CTileListItemUI* tile = TileByTag(id);
    switch (result) {
    case CRecordPreview::kResultDelete:
        records->DeleteRecords(m_type, {id}, true);
        if (tile) {
            if (tile == m_recording) m_recording = nullptr;
            m_layout->Remove(tile);
        }
        break;
    case CRecordPreview::kResultRename:
    case CRecordPreview::kResultMove: {
        // The record changes only when its file moved; otherwise the user
        // hears why and everything stays as it was.
        const int problem = result == CRecordPreview::kResultRename ? records->RenameRecord(m_type, id, text)
                                                                    : records->MoveRecord(m_type, id, text);
        if (problem != ZXV_RECORD_OK) {
            // A new name goes into the kind's record folder.
            std::string target = text;
            if (result == CRecordPreview::kResultRename) {
                std::string folder = Settings::GetString(Settings::kRecordDir[m_type]);
                if (folder.empty()) folder = records->GetDefaultRecordDir(m_type);
                target = Dir::WithSlash(folder) + text;
            }
            ShowTip(MoveProblemText(problem, target).c_str());
            break;
        }
        if (tile && m_type != ZXV_RECORD_IMAGE) {
            tile->SetText(records->GetRecordName(m_type, id));
            tile->SetToolTip(records->GetRecordName(m_type, id));
        }
        break;
    }
    case CRecordPreview::kResultAddToList:
        if (m_type == ZXV_RECORD_VIDEO) {
            if (IDataMediaList* media = KernelModule<IDataMediaList>()) media->AddFiles({records->GetRecordPath(m_type, id)});
        } else if (m_type == ZXV_RECORD_IMAGE) {
            if (IDataSlideList* slides = KernelModule<IDataSlideList>())
                slides->AddFiles({records->GetRecordPath(m_type, id)});
        }
        break;
    default:
        break;
    }
}

void CRecordListPanel::OnRecord(eZXVRecordType type, int id, const std::string& thumbnail, bool isNew) {
    if (!m_pm || type != m_type) return;
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!records || !m_layout) return;
    LoadThumbnail(thumbnail);
    if (type == ZXV_RECORD_IMAGE) {
        AddTile(id, std::string(), thumbnail, kPhotoTile, kNoTextPadding, isNew);
        if (isNew) records->EndSnapshot();
        return;
    }
    const bool video = type == ZXV_RECORD_VIDEO;
    std::string icon = video ? thumbnail : kAudioThumbnail;
    if (isNew) icon = LangUi::Picture(video ? kVideoRecording : kAudioRecording);
    CTileListItemUI* tile = AddTile(id, records->GetRecordName(type, id), icon, kTallTile, kTallTextPadding, isNew);
    tile->SetExtraTextPadding(kTimePadding);
    tile->SetExtraText(isNew ? "00:00:00" : Hms(records->GetRecordDuration(type, id)));
    if (isNew) m_recording = tile;
}

void CRecordListPanel::OnRecordState(eZXVRecordState state, eZXVRecordType type) {
    if (!m_pm || type != m_type || type == ZXV_RECORD_IMAGE) return;
    const bool video = type == ZXV_RECORD_VIDEO;
    const bool started = state == ZXV_RECORD_RECORDING;
    if (CControlUI* c = m_pm->FindControl(video ? "tablayoutRecordVideoBegin_End" : "tablayoutRecordAudioBegin_End"))
        if (auto* tab = static_cast<CTabLayoutUI*>(c->GetInterface("TabLayout"))) tab->SelectItem(started ? 1 : 0);
    // One recording at a time: the other kind's start waits.
    if (CControlUI* other = m_pm->FindControl(video ? "VSMyRecordA_btnBeginRecord" : "VSMyRecordV_btnBeginRecord"))
        other->SetEnabled(!started);
    if (started || !m_recording) return;
    CTileListItemUI* tile = m_recording;
    m_recording = nullptr;
    const int id = static_cast<int>(tile->GetTag());
    IDataRecordList* records = KernelModule<IDataRecordList>();
    // A recording with nothing in it was dropped by the recorder: its tile
    // goes, and there is nothing to preview.
    if (records && records->GetRecordPath(type, id).empty()) {
        if (m_layout) m_layout->Remove(tile);
        return;
    }
    if (video) {
        const std::string thumb = records ? records->GetRecordThumbnail(type, id) : std::string();
        LoadThumbnail(thumb);
        tile->SetIcon(thumb, kIconRect);
    } else {
        tile->SetIcon(kAudioThumbnail, kIconRect);
    }
    if (records) tile->SetExtraText(Hms(records->GetRecordDuration(type, id)));
    // The preview opens once this message is through, so the rest of the
    // window (the main window's own record buttons observe the same
    // message) shows the stopped recording behind the dialog.
    m_pm->SendNotify(m_layout, "recordpreview", static_cast<WPARAM>(type), static_cast<LPARAM>(id), true);
}

void CRecordListPanel::OnProgress(eZXVRecordType type) {
    if (!m_pm || type != m_type) return;
    IDataRecordList* records = KernelModule<IDataRecordList>();
    if (!m_recording || !records) return;
    m_recording->SetExtraText(Hms(records->GetRecordTime()));
    m_recording->Invalidate();
}

void CRecordListPanel::OnRecordProblem(eZXVRecordType type, eZXVRecordProblem problem, const std::string& detail,
                                       bool midway) {
    if (type != m_type) return;
    // A snapshot that failed ends the request as a taken one does.
    if (type == ZXV_RECORD_IMAGE)
        if (IDataRecordList* records = KernelModule<IDataRecordList>()) records->EndSnapshot();
    if (!m_pm || !m_layout) return;
    m_pendingTips.push_back(ProblemText(type, problem, detail, midway));
    m_pm->SendNotify(m_layout, "recordtip", static_cast<WPARAM>(type), 0, true);
}

std::string CRecordListPanel::ProblemText(int type, int problem, const std::string& detail, bool midway) {
    // Each problem has a sentence for a recording that could not start and
    // one for a recording that stopped midway.
    const char* key = nullptr;
    switch (problem) {
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        key = midway ? "app.rec.folder_gone" : "app.rec.folder_missing";
        break;
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        key = midway ? "app.rec.folder_readonly_stopped" : "app.rec.folder_readonly";
        break;
    case ZXV_RECORD_ERR_DISK_FULL:
        key = midway ? "app.rec.disk_full_stopped" : "app.rec.disk_full";
        break;
    case ZXV_RECORD_ERR_ENCODER:
        key = midway ? "app.rec.encoder_stopped" : "app.rec.encoder";
        break;
    case ZXV_RECORD_ERR_MICROPHONE:
        key = "app.rec.no_microphone";
        break;
    case ZXV_RECORD_NOTE_NO_SOUND:
        key = "app.rec.no_sound";
        break;
    default:
        key = type == ZXV_RECORD_IMAGE ? "app.rec.photo_failed" : midway ? "app.rec.write_stopped" : "app.rec.write";
        break;
    }
    return Lang::FormatUtf8(key, {detail});
}

std::string CRecordListPanel::MoveProblemText(int problem, const std::string& target) {
    const std::string folder = File::GetParentPath(target);
    switch (problem) {
    case ZXV_RECORD_ERR_EXISTS:
        return Lang::FormatUtf8("app.move.exists", {target});
    case ZXV_RECORD_ERR_BAD_NAME:
        return Lang::FormatUtf8("app.move.bad_name", {File::GetFileName(target)});
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        return folder.empty() ? Lang::TextUtf8("app.move.readonly_unnamed")
                              : Lang::FormatUtf8("app.move.readonly", {folder});
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        return Lang::FormatUtf8("app.move.no_folder", {folder});
    case ZXV_RECORD_ERR_DISK_FULL:
        return Lang::FormatUtf8("app.move.disk_full", {folder});
    case ZXV_RECORD_ERR_NO_FILE:
        return Lang::TextUtf8("app.move.gone");
    default:
        return Lang::FormatUtf8("app.move.failed", {target});
    }
}
