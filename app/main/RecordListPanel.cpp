#include "KernelModules.h"
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
const char* const kVideoRecording = "recordVideo_thumbnail_Recording.png";
const char* const kAudioRecording = "recordAudio_thumbnail_Recording.png";
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
    if (refused) ShowTip(m_type == ZXV_RECORD_AUDIO ? "不能删除正在录制的音频" : "不能删除正在录制的视频");
    if (!ids.empty()) records->DeleteRecords(m_type, ids, true);
}

void CRecordListPanel::TileMenu(TNotifyUI& msg) {
    const char* third = m_type == ZXV_RECORD_VIDEO   ? "添加到视频列表"
                        : m_type == ZXV_RECORD_IMAGE ? "添加到图片列表"
                                                     : nullptr;
    CTileListItemUI* tile = nullptr;
    const int choice = CThumbListPanel::TileMenu(msg, third, tile);
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
            tile->SetIcon(m_type == ZXV_RECORD_IMAGE ? kImageInvalid : kVideoInvalid, kIconRect);
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
    if (isNew) icon = video ? kVideoRecording : kAudioRecording;
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
    const std::string stopped = midway ? "，录制已停止" : "，无法录制";
    switch (problem) {
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        return (midway ? "录制文件夹已不存在：" : "录制文件夹不存在，也无法创建：") + detail +
               (midway ? "，录制已停止" : "");
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        return "录制文件夹无法写入：" + detail + stopped;
    case ZXV_RECORD_ERR_DISK_FULL:
        return "磁盘空间已满：" + detail + stopped;
    case ZXV_RECORD_ERR_ENCODER:
        return midway ? "编码器出错，录制已停止" : "编码器无法启动，无法录制";
    case ZXV_RECORD_ERR_MICROPHONE:
        return "录音需要麦克风：没有可用的麦克风，或打开麦克风失败";
    case ZXV_RECORD_NOTE_NO_SOUND:
        return "没有可用的麦克风，本次录像没有声音";
    default:
        if (type == ZXV_RECORD_IMAGE) return "无法保存照片：" + detail;
        return "无法写入录制文件：" + detail + stopped;
    }
}

std::string CRecordListPanel::MoveProblemText(int problem, const std::string& target) {
    const std::string folder = File::GetParentPath(target);
    switch (problem) {
    case ZXV_RECORD_ERR_EXISTS:
        return "已有同名文件：" + target + "，未更改";
    case ZXV_RECORD_ERR_BAD_NAME:
        return "文件名不允许：" + File::GetFileName(target) + "，未更改";
    case ZXV_RECORD_ERR_FOLDER_READONLY:
        return folder.empty() ? "文件夹无法写入，未更改" : "文件夹无法写入：" + folder + "，未更改";
    case ZXV_RECORD_ERR_FOLDER_MISSING:
        return "文件夹不存在：" + folder + "，未更改";
    case ZXV_RECORD_ERR_DISK_FULL:
        return "磁盘空间已满：" + folder + "，未更改";
    case ZXV_RECORD_ERR_NO_FILE:
        return "录制文件已不存在，未更改";
    default:
        return "无法移动文件到：" + target + "，未更改";
    }
}
