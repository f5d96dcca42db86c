#include "RecordList.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "AutoLock.h"
#include "GdiPlus.h"
#include "IDataKernal.h"
#include "ListFile.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVRecord.txt";
const char kModule[] = "CRecordList";
const char kSection[] = "VSRecord";
const char* const kDirKeys[3] = {"VideoDir", "AudioDir", "ImageDir"};
const char* const kSubFolders[3] = {"Video", "Audio", "Image"};
const char* const kListFiles[3] = {"VideoList.dat", "AudioList.dat", "ImageList.dat"};
const char* const kExtensions[3] = {".flv", ".mp3", ".bmp"};
const DWORD kProgressEveryMs = 500;

// The recording formats LibStream is asked for.
const int kFrameRate = 20, kVideoBitRate = 400000, kChannels = 1, kSampleRate = 44100;
const int kVideoAudioBitRate = 128000, kSoundBitRate = 64000;

bool ValidType(int type) { return type >= ZXV_RECORD_VIDEO && type <= ZXV_RECORD_IMAGE; }

// Process-wide: video recordings and snapshots share the reasons to be in
// the chain.
std::mutex g_chainLock;
int g_chainReferences = 0;

IDataKernal* Kernel() { return static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL)); }

bool MoveFileUtf8(const std::string& from, const std::string& to) {
    return MoveFileW(Charset::String2WString(from).c_str(), Charset::String2WString(to).c_str()) != FALSE;
}

// Moves a record's file; the record follows only when the move succeeded.
void MoveItemFile(RecordItem& item, const std::string& path) {
    if (path == item.path) return;
    if (MoveFileUtf8(item.path, path))
        item.path = path;
    else
        YL_Log(kLog, 2, kModule, "moving %s to %s failed (%lu)", item.path.c_str(), path.c_str(),
               static_cast<unsigned long>(GetLastError()));
}

bool DeleteFileUtf8(const std::string& path) { return DeleteFileW(Charset::String2WString(path).c_str()) != FALSE; }

}  // namespace

CRecordList::CRecordList()
    : m_state(ZXV_RECORD_STOPPED),
      m_type(ZXV_RECORD_VIDEO),
      m_current(nullptr),
      m_firstFrame(false),
      m_snapshot(false),
      m_lastElapsed(0),
      m_lastTick(0),
      m_ticked(false),
      m_width(640),
      m_height(480),
      m_inited(false) {
    std::fill(m_nextId, m_nextId + 3, 0);
    InitializeCriticalSection(&m_listLock);
    InitializeCriticalSection(&m_recorderLock);
}

CRecordList::~CRecordList() {
    if (m_inited) UnInit();
    DeleteCriticalSection(&m_recorderLock);
    DeleteCriticalSection(&m_listLock);
}

// ---- folders, names, lists ----

std::string CRecordList::RecordFileName(const SYSTEMTIME& t, int type) {
    char name[32];
    std::snprintf(name, sizeof(name), "%02d%02d_%02d%02d%02d%04d", t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return std::string(name) + (ValidType(type) ? kExtensions[type] : "");
}

std::string CRecordList::NewRecordPath(int type) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return GetRecordDir(type) + RecordFileName(now, type);
}

std::string CRecordList::GetDefaultRecordDir(int type) {
    if (!ValidType(type)) return std::string();
    std::string root = Dir::GetLargestFreeBytesDisk();
    if (root.empty()) {
        // No writable fixed drive at all: the user's own data folder.
        root = Dir::GetZxPath(Dir::kPathUserData);
        YL_Log(kLog, 2, kModule, "GetDefaultRecordDir: no fixed drive, using %s", root.c_str());
    }
    std::string dir = root + "ZxVRecord\\" + kSubFolders[type] + "\\";
    Dir::MakeDir(dir);
    return dir;
}

std::string CRecordList::GetRecordDir(int type) {
    if (!ValidType(type)) return std::string();
    std::string dir;
    AfxGetConfigManager()->GetString(kSection, kDirKeys[type], dir);
    if (dir.empty() || !(Dir::IsDirectory(dir) || Dir::MakeDir(dir))) {
        dir = GetDefaultRecordDir(type);
        AfxGetConfigManager()->SetString(kSection, kDirKeys[type], dir.c_str(), 0);
    }
    return dir;
}

std::string CRecordList::ListFilePath(int type) {
    std::string dir = Dir::GetZxPath(Dir::kPathUserData) + "Record\\Dat\\";
    Dir::MakeDir(dir);
    return ValidType(type) ? dir + kListFiles[type] : std::string();
}

std::string CRecordList::GetThumbnailPath(int type, const std::string& source) {
    std::string dir = Dir::WithSlash(Dir::GetLongPath(Dir::GetZxPath(Dir::kPathThumbCache))) +
                      (type == ZXV_RECORD_VIDEO ? "RecordThumbnailVideo\\" : "RecordThumbnailImage\\");
    Dir::MakeDir(dir);
    return dir + Entrypt::GenerateMD5(source) + (type == ZXV_RECORD_VIDEO ? ".bmp" : ".jpg");
}

bool CRecordList::MakePictureThumbnail(int encoder, const std::string& source, const std::string& thumbnail,
                                       int width, int height) {
    static const wchar_t* const kMime[3] = {L"image/jpeg", L"image/bmp", L"image/png"};
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromFile(Charset::String2WString(source).c_str()));
    if (!picture || picture->GetLastStatus() != Gdiplus::Ok) return false;
    if (File::IsExistFile(thumbnail)) return true;
    if (encoder < 0 || encoder > 2) return false;
    std::unique_ptr<Gdiplus::Image> small(picture->GetThumbnailImage(width, height, nullptr, nullptr));
    if (!small || small->GetLastStatus() != Gdiplus::Ok) return false;
    CLSID clsid;
    if (!FindImageEncoder(kMime[encoder], clsid)) return false;
    return small->Save(Charset::String2WString(thumbnail).c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

std::vector<std::unique_ptr<RecordItem>>* CRecordList::List(int type) {
    return ValidType(type) ? &m_lists[type] : nullptr;
}

RecordItem* CRecordList::Find(int type, int id) {
    auto* list = List(type);
    if (!list) return nullptr;
    for (auto& item : *list)
        if (item->id == id) return item.get();
    return nullptr;
}

std::vector<RecordItem> CRecordList::GetRecords(int type) {
    std::vector<RecordItem> out;
    CAutoLock lock(m_listLock);
    if (auto* list = List(type))
        for (auto& item : *list) out.push_back(*item);
    return out;
}

void CRecordList::SaveList(int type) {
    std::vector<std::string> paths;
    {
        CAutoLock lock(m_listLock);
        for (auto& item : m_lists[type]) paths.push_back(item->path);
    }
    CListFile::Save(ListFilePath(type), paths, LIST_FILE_WITH_COUNT);
}

void CRecordList::LoadList(int type) {
    const std::string file = ListFilePath(type);
    std::vector<std::string> paths;
    // Missing or damaged (then set aside as "<file>.bad"): the list starts empty.
    CListFile::LoadOrSetAside(file, paths, LIST_FILE_WITH_COUNT, kLog, kModule);
    bool dirty = false;
    for (const std::string& path : paths) {
        if (!File::IsExistFile(path)) {
            dirty = true;
            continue;
        }
        std::unique_ptr<RecordItem> item(new RecordItem);
        item->path = path;
        if (type == ZXV_RECORD_VIDEO) {
            item->thumbnail = GetThumbnailPath(type, path);
            if (!File::IsExistFile(item->thumbnail) &&
                !LibRecorder::FFThumbnails(path.c_str(), item->thumbnail.c_str(), 80, 60)) {
                dirty = true;
                continue;
            }
        } else if (type == ZXV_RECORD_IMAGE) {
            item->thumbnail = GetThumbnailPath(type, path);
            if (!MakePictureThumbnail(0, path, item->thumbnail, 80, 60)) {
                dirty = true;
                continue;
            }
        }
        if (type != ZXV_RECORD_IMAGE) {
            item->name = File::GetFileNameWithoutExtension(path);
            item->duration = static_cast<int>(LibRecorder::FFGetTotalTm(path.c_str()));
        }
        item->id = m_nextId[type]++;
        CAutoLock lock(m_listLock);
        m_lists[type].push_back(std::move(item));
    }
    if (dirty) SaveList(type);
}

// ---- life ----

bool CRecordList::Init() {
    if (m_inited) return true;
    if (!m_oAudioProcess.Init(this)) YL_Log(kLog, 2, kModule, "Init: the audio module did not start");
    for (int type = ZXV_RECORD_VIDEO; type <= ZXV_RECORD_IMAGE; ++type) LoadList(type);
    AfxGetDataManager()->AddData(ZX_MOD_RECORDLIST, this);
    m_inited = true;
    return true;
}

void CRecordList::UnInit() {
    if (!m_inited) return;
    // A recording still running is finished and kept.
    StopRecord();
    m_oAudioProcess.UnInit();
    AfxGetDataManager()->RemoveData(ZX_MOD_RECORDLIST);
    for (int type = ZXV_RECORD_VIDEO; type <= ZXV_RECORD_IMAGE; ++type) SaveList(type);
    {
        CAutoLock lock(m_listLock);
        for (auto& list : m_lists) list.clear();
    }
    // A snapshot still due leaves the chain with the recorder.
    std::lock_guard<std::mutex> g(g_chainLock);
    if (g_chainReferences > 0) {
        g_chainReferences = 0;
        if (IDataKernal* kernel = Kernel()) kernel->RemoveVideoDeal(this);
    }
    m_inited = false;
}

// ---- notifications ----

void CRecordList::NotifyRecord(int type, int id, const std::string& thumbnail, bool isNew) {
    ArgList args;
    ArgAppender(args) << static_cast<eZXVRecordType>(type) << id << thumbnail << isNew;
    AfxGetMessageManager()->NotifyEx(ZX_MOD_RECORDLIST_OB, RECORDLIST_MSG_RECORD, 0, args);
}

void CRecordList::NotifyState(int state, int type) {
    ArgList args;
    ArgAppender(args) << static_cast<eZXVRecordState>(state) << static_cast<eZXVRecordType>(type);
    AfxGetMessageManager()->NotifyEx(ZX_MOD_RECORDLIST_OB, RECORDLIST_MSG_STATE, 0, args);
}

bool CRecordList::EnumRecords(int type) {
    if (!ValidType(type)) return true;
    for (const RecordItem& item : GetRecords(type))
        NotifyRecord(type, item.id, type == ZXV_RECORD_AUDIO ? std::string() : item.thumbnail, false);
    return false;
}

// ---- records ----

int CRecordList::GetRecordDuration(int type, int id) {
    if (type == ZXV_RECORD_IMAGE) return 0;
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    return item ? item->duration : 0;
}

std::string CRecordList::GetRecordName(int type, int id) {
    if (type == ZXV_RECORD_IMAGE) return std::string();
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    return item ? item->name : std::string();
}

std::string CRecordList::GetRecordThumbnail(int type, int id) {
    if (type == ZXV_RECORD_AUDIO) return std::string();
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    return item ? item->thumbnail : std::string();
}

std::string CRecordList::GetRecordPath(int type, int id) {
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    return item ? item->path : std::string();
}

void CRecordList::RenameRecord(int type, int id, const std::string& name) {
    if (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO) return;
    const std::string path = GetRecordDir(type) + name + kExtensions[type];
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    if (!item) return;
    MoveItemFile(*item, path);
    item->name = name;
}

void CRecordList::MoveRecord(int type, int id, const std::string& path) {
    CAutoLock lock(m_listLock);
    RecordItem* item = Find(type, id);
    if (!item) return;
    MoveItemFile(*item, path);
    if (type != ZXV_RECORD_IMAGE) item->name = File::GetFileNameWithoutExtension(path);
}

void CRecordList::DeleteRecords(int type, const std::vector<int>& ids, bool deleteFiles) {
    auto* list = List(type);
    if (!list) return;
    for (int id : ids) {
        RecordItem* current = m_current;
        if (m_state == ZXV_RECORD_RECORDING && m_type == type && current && current->id == id) continue;
        std::unique_ptr<RecordItem> removed;
        {
            CAutoLock lock(m_listLock);
            for (auto it = list->begin(); it != list->end(); ++it) {
                if ((*it)->id != id) continue;
                removed = std::move(*it);
                list->erase(it);
                break;
            }
        }
        if (!removed) continue;
        if (deleteFiles && !DeleteFileUtf8(removed->path))
            YL_Log(kLog, 2, kModule, "DeleteRecords: %s not deleted (%lu)", removed->path.c_str(),
                   static_cast<unsigned long>(GetLastError()));
        SaveList(type);
    }
}

void CRecordList::OpenRecordDir(int type) {
    if (!ValidType(type)) return;
    ShellExecuteW(nullptr, L"open", Charset::String2WString(GetRecordDir(type)).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}

// ---- recording ----

void CRecordList::AddRecordDeal() {
    std::lock_guard<std::mutex> g(g_chainLock);
    if (g_chainReferences == 0) {
        IDataKernal* kernel = Kernel();
        if (!kernel || !kernel->AddVideoDeal(this))
            YL_Log(kLog, 2, kModule, "AddRecordDeal: the recorder could not join the chain");
    }
    ++g_chainReferences;
}

void CRecordList::ReleaseRecordDeal() {
    std::lock_guard<std::mutex> g(g_chainLock);
    if (g_chainReferences <= 0) return;
    if (--g_chainReferences == 0)
        if (IDataKernal* kernel = Kernel()) kernel->RemoveVideoDeal(this);
}

int CRecordList::ChainReferences() {
    std::lock_guard<std::mutex> g(g_chainLock);
    return g_chainReferences;
}

int CRecordList::StartRecord(int type) {
    StopRecord();
    if (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO) return 1;
    const std::string path = NewRecordPath(type);
    m_firstFrame = false;
    int opened;
    {
        CAutoLock lock(m_recorderLock);
        opened = type == ZXV_RECORD_AUDIO
                     ? m_oRecorder.FFAudioInit(path.c_str(), kChannels, kSampleRate, kSoundBitRate,
                                               LIBSTREAM_CODEC_MP3)
                     : m_oRecorder.FFVideoInit(path.c_str(), m_width, m_height, kFrameRate, kVideoBitRate, kChannels,
                                               kSampleRate, kVideoAudioBitRate, LIBSTREAM_CODEC_AAC,
                                               LIBSTREAM_CODEC_H264, 0, true, 3);
    }
    if (opened != 0) {
        YL_Log(kLog, 3, kModule, "StartRecord: %s cannot be recorded", path.c_str());
        DeleteFileUtf8(path);
        return 1;
    }
    if (type == ZXV_RECORD_VIDEO) AddRecordDeal();
    if (!m_oAudioProcess.StartAudioCapture(kSampleRate, kChannels, m_oRecorder.FFGetAudioInputSize())) {
        // Nothing of the failed start is left behind: the recorder is
        // closed, the chain let go and the half-made file removed.
        YL_Log(kLog, 3, kModule, "StartRecord: the microphone did not start");
        if (type == ZXV_RECORD_VIDEO) ReleaseRecordDeal();
        {
            CAutoLock lock(m_recorderLock);
            m_oRecorder.FFUint();
        }
        DeleteFileUtf8(path);
        return 1;
    }
    std::unique_ptr<RecordItem> item(new RecordItem);
    item->path = path;
    item->name = File::GetFileNameWithoutExtension(path);
    if (type == ZXV_RECORD_VIDEO) item->thumbnail = GetThumbnailPath(type, path);
    RecordItem* current = item.get();
    {
        CAutoLock lock(m_listLock);
        item->id = m_nextId[type]++;
        m_lists[type].insert(m_lists[type].begin(), std::move(item));
    }
    m_current = current;
    NotifyRecord(type, current->id, std::string(), true);
    m_type = type;
    m_lastElapsed = 0;
    m_state = ZXV_RECORD_RECORDING;
    NotifyState(ZXV_RECORD_RECORDING, type);
    return 0;
}

void CRecordList::StopRecord() {
    if (m_state == ZXV_RECORD_STOPPED) return;
    m_state = ZXV_RECORD_STOPPED;
    // The capture ends first, so no sound arrives while the file closes.
    m_oAudioProcess.StopAudioCapture();
    const int type = m_type;
    RecordItem* current = m_current;
    if (type == ZXV_RECORD_VIDEO) ReleaseRecordDeal();
    m_current = nullptr;
    {
        CAutoLock lock(m_recorderLock);
        m_oRecorder.FFUint();
    }
    // The duration is read from the finished file, which holds everything
    // the encoder still had in hand at the stop.
    if (current) {
        const int duration = static_cast<int>(LibRecorder::FFGetTotalTm(current->path.c_str()));
        CAutoLock lock(m_listLock);
        current->duration = duration;
    }
    NotifyState(ZXV_RECORD_STOPPED, type);
    SaveList(type);
}

int CRecordList::GetRecordTime() {
    double ms;
    {
        CAutoLock lock(m_recorderLock);
        ms = m_oRecorder.GetCurTm();
    }
    int seconds = static_cast<int>(ms / 1000);
    m_lastElapsed = seconds;
    return seconds;
}

int CRecordList::GetRecordingId(int type) {
    RecordItem* current = m_current;
    if (m_state != ZXV_RECORD_RECORDING || m_type != type || !current) return -1;
    return current->id;
}

void CRecordList::TakeSnapshot() {
    m_snapshot = true;
    AddRecordDeal();
}

void CRecordList::EndSnapshot() { ReleaseRecordDeal(); }

void CRecordList::ProgressTick() { ProgressTick(GetTickCount()); }

void CRecordList::ProgressTick(DWORD now) {
    if (m_ticked && now - m_lastTick < kProgressEveryMs) return;
    m_ticked = true;
    m_lastTick = now;
    if (m_state != ZXV_RECORD_RECORDING) return;
    double ms;
    {
        CAutoLock lock(m_recorderLock);
        ms = m_oRecorder.GetCurTm();
    }
    // Both sides in milliseconds: the time moved at least half a second
    // past what the observers last asked for.
    if (ms - m_lastElapsed * 1000.0 >= 500) {
        ArgList args;
        ArgAppender(args) << static_cast<eZXVRecordType>(static_cast<int>(m_type));
        AfxGetMessageManager()->Notify(ZX_MOD_RECORDLIST_OB, RECORDLIST_MSG_PROGRESS, args);
    }
}

// ---- frames and sound ----

bool CRecordList::OnNotifyFrameSize(const VideoFrameFormat& format) {
    if (format.bmiHeader.biWidth > 0 && format.bmiHeader.biHeight != 0) {
        m_width = format.bmiHeader.biWidth;
        m_height = std::abs(format.bmiHeader.biHeight);
    }
    return true;
}

void CRecordList::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    if (!frame || !format) return;
    const int width = format->bmiHeader.biWidth, height = std::abs(format->bmiHeader.biHeight);
    const int bytes = VideoFrameStride(*format) * height;
    if (m_state == ZXV_RECORD_RECORDING && m_type == ZXV_RECORD_VIDEO) {
        CAutoLock lock(m_recorderLock);
        // Checked again under the lock: a stop may have closed the file.
        if (m_state == ZXV_RECORD_RECORDING) {
            m_oRecorder.FFAppendVideo(frame, bytes);
            if (!m_firstFrame) {
                m_firstFrame = true;
                if (RecordItem* current = m_current)
                    LibRecorder::FFSaveAsBitmap(frame, width, height, 80, 80, current->thumbnail.c_str());
            }
        }
    }
    if (m_snapshot.exchange(false)) SaveSnapshot(frame, width, height);
}

void CRecordList::SaveSnapshot(const BYTE* frame, int width, int height) {
    const std::string path = NewRecordPath(ZXV_RECORD_IMAGE);
    const std::string thumbnail = GetThumbnailPath(ZXV_RECORD_IMAGE, path);
    if (!LibRecorder::FFSaveAsBitmap(frame, width, height, width, height, path.c_str())) {
        YL_Log(kLog, 3, kModule, "TakeSnapshot: %s could not be written", path.c_str());
        return;
    }
    // The ".jpg" thumbnail holds a BMP, which every reader of pictures takes.
    if (!MakePictureThumbnail(1, path, thumbnail, 80, 80))
        YL_Log(kLog, 2, kModule, "TakeSnapshot: no thumbnail for %s", path.c_str());
    int id;
    {
        CAutoLock lock(m_listLock);
        std::unique_ptr<RecordItem> item(new RecordItem);
        item->id = id = m_nextId[ZXV_RECORD_IMAGE]++;
        item->path = path;
        item->thumbnail = thumbnail;
        m_lists[ZXV_RECORD_IMAGE].insert(m_lists[ZXV_RECORD_IMAGE].begin(), std::move(item));
    }
    NotifyRecord(ZXV_RECORD_IMAGE, id, thumbnail, true);
    SaveList(ZXV_RECORD_IMAGE);
}

void CRecordList::OnAudioProcess(double /*sampleTime*/, BYTE* data, int length) {
    if (!data || length <= 0) return;
    if (m_state != ZXV_RECORD_RECORDING || (m_type != ZXV_RECORD_VIDEO && m_type != ZXV_RECORD_AUDIO)) return;
    CAutoLock lock(m_recorderLock);
    if (m_state == ZXV_RECORD_RECORDING) m_oRecorder.FFAppendAudio(data, length);
}
