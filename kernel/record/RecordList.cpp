#include "RecordList.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "AutoLock.h"
#include "GdiPlus.h"
#include "IDataKernal.h"
#include "KernelModules.h"
#include "ListFile.h"
#include "SettingKeys.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVRecord.txt";
const char kModule[] = "CRecordList";
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

IDataKernal* Kernel() { return KernelModule<IDataKernal>(); }

bool DeleteFileUtf8(const std::string& path) { return DeleteFileW(Charset::String2WString(path).c_str()) != FALSE; }

bool SamePath(const std::string& a, const std::string& b) {
    return _wcsicmp(Charset::String2WString(a).c_str(), Charset::String2WString(b).c_str()) == 0;
}

long long FileSize(const std::string& path) { return File::GetFileSize(path); }

std::string LowerExtension(const std::string& path) {
    const std::string name = File::GetFileName(path);
    const size_t dot = name.find_last_of('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot);
    for (char& c : ext) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return ext;
}

}  // namespace

CRecordList::CRecordList()
    : m_state(ZXV_RECORD_STOPPED),
      m_type(ZXV_RECORD_VIDEO),
      m_current(nullptr),
      m_firstFrame(false),
      m_snapshot(false),
      m_writeFailed(false),
      m_lastElapsed(0),
      m_lastTick(0),
      m_ticked(false),
      m_width(640),
      m_height(480),
      m_inited(false) {
    std::fill(m_nextId, m_nextId + 3, 0);
    InitializeCriticalSection(&m_listLock);
    InitializeCriticalSection(&m_recorderLock);
    InitializeCriticalSection(&m_controlLock);
}

CRecordList::~CRecordList() {
    if (m_inited) UnInit();
    DeleteCriticalSection(&m_controlLock);
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
    // The drive is chosen once a run: the free space of two drives on one
    // disk changes as files are written, and the default folders must not
    // move from one drive to the other while the program runs.
    static const std::string drive = Dir::GetLargestFreeBytesDisk();
    std::string root = drive;
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
    std::string dir = Settings::GetString(Settings::kRecordDir[type]);
    if (dir.empty() || !(Dir::IsDirectory(dir) || Dir::MakeDir(dir))) {
        dir = GetDefaultRecordDir(type);
        Settings::SetString(Settings::kRecordDir[type], dir);
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
        // Gone, or an empty file (nothing of a recording in it).
        if (!File::IsExistFile(path) || FileSize(path) == 0) {
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
    IDataRecordListObserver::RecordMsg::Send(static_cast<eZXVRecordType>(type), id, thumbnail, isNew);
}

void CRecordList::NotifyState(int state, int type) {
    IDataRecordListObserver::StateMsg::Send(static_cast<eZXVRecordState>(state), static_cast<eZXVRecordType>(type));
}

void CRecordList::NotifyProblem(int type, int problem, const std::string& detail, bool midway) {
    YL_Log(kLog, 2, kModule, "problem %d with a recording of type %d (%s)%s", problem, type, detail.c_str(),
           midway ? ", stopped while recording" : "");
    IDataRecordListObserver::ProblemMsg::Send(static_cast<eZXVRecordType>(type),
                                              static_cast<eZXVRecordProblem>(problem), detail, midway);
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

int CRecordList::CheckFileName(const std::string& name) {
    return RecordNameRule(name) == 0 ? ZXV_RECORD_OK : ZXV_RECORD_ERR_BAD_NAME;
}

int CRecordList::ProblemOf(unsigned long error) {
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ZXV_RECORD_ERR_DISK_FULL;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
        return ZXV_RECORD_ERR_FOLDER_MISSING;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return ZXV_RECORD_ERR_FOLDER_READONLY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return ZXV_RECORD_ERR_EXISTS;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return ZXV_RECORD_ERR_BAD_NAME;
    default:
        return ZXV_RECORD_ERR_WRITE;
    }
}

bool CRecordList::RecycleFile(const std::string& path) {
    // The list of names ends with an empty one.
    std::wstring from = Charset::String2WString(path);
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted && !File::IsExistFile(path);
}

// Moves a record's file; the record follows only when the file moved. A
// picture whose new extension names another format is written anew in that
// format. The list is saved at once, so it always names real files.
int CRecordList::MoveItemFile(int type, RecordItem& item, const std::string& path, bool replace) {
    if (path == item.path) return ZXV_RECORD_OK;
    // The one being recorded is still being written.
    if (&item == m_current.load()) return ZXV_RECORD_ERR_WRITE;
    if (!File::IsExistFile(item.path)) return ZXV_RECORD_ERR_NO_FILE;
    if (!replace && File::IsExistFile(path) && !SamePath(path, item.path)) return ZXV_RECORD_ERR_EXISTS;
    const std::wstring from = Charset::String2WString(item.path), to = Charset::String2WString(path);
    // Picture formats by extension: 0 JPEG, 1 BMP, 2 PNG, -1 another.
    const auto formatOf = [](const std::string& file) {
        const std::string ext = LowerExtension(file);
        return ext == ".png" ? 2 : (ext == ".jpg" || ext == ".jpeg") ? 0 : ext == ".bmp" ? 1 : -1;
    };
    const int encoder = formatOf(path);
    const std::string ext = LowerExtension(path);
    const bool convert = type == ZXV_RECORD_IMAGE && encoder >= 0 && encoder != formatOf(item.path);
    DWORD error = 0;
    if (convert) {
        static const wchar_t* const kMime[3] = {L"image/jpeg", L"image/bmp", L"image/png"};
        std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromFile(from.c_str()));
        CLSID clsid;
        // Written beside the target first, so a failed save leaves no
        // half-made file where another one was.
        const std::wstring part = to + L".part";
        if (!picture || picture->GetLastStatus() != Gdiplus::Ok || !FindImageEncoder(kMime[encoder], clsid)) {
            error = ERROR_INVALID_DATA;
        } else if (picture->Save(part.c_str(), &clsid, nullptr) != Gdiplus::Ok) {
            // GDI+ gives no Windows error: try the folder with a file of our own.
            HANDLE h = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            error = h == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_WRITE_FAULT;
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            DeleteFileW(part.c_str());
        } else {
            picture.reset();
            if (!MoveFileExW(part.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED)) {
                error = GetLastError();
                DeleteFileW(part.c_str());
            } else if (!DeleteFileW(from.c_str())) {
                YL_Log(kLog, 2, kModule, "%s stays beside its %s copy (%lu)", item.path.c_str(), ext.c_str(),
                       static_cast<unsigned long>(GetLastError()));
            }
        }
    } else {
        const DWORD flags = MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (!MoveFileExW(from.c_str(), to.c_str(), flags)) error = GetLastError();
    }
    if (error != 0) {
        YL_Log(kLog, 2, kModule, "moving %s to %s failed (%lu)", item.path.c_str(), path.c_str(),
               static_cast<unsigned long>(error));
        if (error == ERROR_INVALID_DATA) return ZXV_RECORD_ERR_NO_FILE;
        const int problem = ProblemOf(error);
        // A folder that is there but takes no new file cannot be written
        // (Wine reports such a folder, e.g. Z:\proc, as "file not found").
        if (problem == ZXV_RECORD_ERR_FOLDER_MISSING && Dir::IsDirectory(File::GetParentPath(path)))
            return ZXV_RECORD_ERR_FOLDER_READONLY;
        return problem;
    }
    item.path = path;
    return ZXV_RECORD_OK;
}

int CRecordList::RenameRecord(int type, int id, const std::string& name) {
    if (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO) return ZXV_RECORD_OK;
    if (CheckFileName(name) != ZXV_RECORD_OK) return ZXV_RECORD_ERR_BAD_NAME;
    const std::string path = GetRecordDir(type) + name + kExtensions[type];
    int problem;
    {
        CAutoLock lock(m_listLock);
        RecordItem* item = Find(type, id);
        if (!item) return ZXV_RECORD_ERR_NO_FILE;
        problem = MoveItemFile(type, *item, path, false);
        if (problem == ZXV_RECORD_OK) item->name = name;
    }
    if (problem == ZXV_RECORD_OK) SaveList(type);
    return problem;
}

int CRecordList::MoveRecord(int type, int id, const std::string& path) {
    if (!ValidType(type)) return ZXV_RECORD_ERR_NO_FILE;
    if (CheckFileName(File::GetFileName(path)) != ZXV_RECORD_OK) return ZXV_RECORD_ERR_BAD_NAME;
    int problem;
    {
        CAutoLock lock(m_listLock);
        RecordItem* item = Find(type, id);
        if (!item) return ZXV_RECORD_ERR_NO_FILE;
        problem = MoveItemFile(type, *item, path, true);
        if (problem == ZXV_RECORD_OK && type != ZXV_RECORD_IMAGE)
            item->name = File::GetFileNameWithoutExtension(path);
    }
    if (problem == ZXV_RECORD_OK) SaveList(type);
    return problem;
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
        // Into the recycle bin, from where the user can bring it back.
        if (deleteFiles && File::IsExistFile(removed->path) && !RecycleFile(removed->path))
            YL_Log(kLog, 2, kModule, "DeleteRecords: %s could not go to the recycle bin", removed->path.c_str());
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

int CRecordList::RecordFolderFor(int type, std::string& folder) {
    const std::string configured = Settings::GetString(Settings::kRecordDir[type]);
    // A chosen folder that is gone (a drive taken out) is told to the user
    // rather than silently replaced: the choice stays for when it is back.
    if (!configured.empty() && !Dir::IsDirectory(configured) && !Dir::MakeDir(configured)) {
        folder = configured;
        return ZXV_RECORD_ERR_FOLDER_MISSING;
    }
    folder = GetRecordDir(type);
    return Dir::IsDirectory(folder) ? ZXV_RECORD_OK : ZXV_RECORD_ERR_FOLDER_MISSING;
}

int CRecordList::RecorderProblem(const std::string& path, std::string& detail, bool midway) {
    unsigned long system = 0;
    const int error = m_oRecorder.FFGetLastError(&system);
    detail = File::GetParentPath(path);
    if (error == LIBREC_ERR_ENCODER) return ZXV_RECORD_ERR_ENCODER;
    if (error != LIBREC_ERR_FILE) return ZXV_RECORD_ERR_WRITE;
    int problem = ProblemOf(system);
    // At the start, a folder that is there but takes no new file cannot be
    // written (Wine reports such a folder as "file not found"); while
    // recording, "not found" means the folder went away.
    if (!midway && problem == ZXV_RECORD_ERR_FOLDER_MISSING && Dir::IsDirectory(detail))
        problem = ZXV_RECORD_ERR_FOLDER_READONLY;
    // A file that cannot be written for another reason is named itself.
    if (problem == ZXV_RECORD_ERR_WRITE || problem == ZXV_RECORD_ERR_EXISTS || problem == ZXV_RECORD_ERR_BAD_NAME) {
        detail = path;
        return ZXV_RECORD_ERR_WRITE;
    }
    return problem;
}

int CRecordList::StartRecord(int type) {
    CAutoLock control(m_controlLock);
    StopRecord();
    if (type != ZXV_RECORD_VIDEO && type != ZXV_RECORD_AUDIO) return 1;
    std::string folder;
    if (RecordFolderFor(type, folder) != ZXV_RECORD_OK) {
        YL_Log(kLog, 3, kModule, "StartRecord: the record folder %s is missing", folder.c_str());
        NotifyProblem(type, ZXV_RECORD_ERR_FOLDER_MISSING, folder, false);
        return 1;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string path = folder + RecordFileName(now, type);
    m_firstFrame = false;
    m_writeFailed = false;
    // Video: with the microphone's sound when the microphone starts,
    // otherwise the picture alone (and the user is told once).
    const auto open = [&](bool sound) {
        CAutoLock lock(m_recorderLock);
        return type == ZXV_RECORD_AUDIO
                   ? m_oRecorder.FFAudioInit(path.c_str(), kChannels, kSampleRate, kSoundBitRate, LIBSTREAM_CODEC_MP3)
                   : m_oRecorder.FFVideoInit(path.c_str(), m_width, m_height, kFrameRate, kVideoBitRate,
                                             sound ? kChannels : 0, kSampleRate, kVideoAudioBitRate,
                                             LIBSTREAM_CODEC_AAC, LIBSTREAM_CODEC_H264, 0, true, 3);
    };
    const auto failed = [&]() {
        std::string detail;
        const int problem = RecorderProblem(path, detail, false);
        YL_Log(kLog, 3, kModule, "StartRecord: %s cannot be recorded", path.c_str());
        DeleteFileUtf8(path);
        NotifyProblem(type, problem, detail, false);
        return 1;
    };
    if (open(true) != 0) return failed();
    bool sound = m_oAudioProcess.StartAudioCapture(kSampleRate, kChannels, m_oRecorder.FFGetAudioInputSize());
    if (!sound) {
        YL_Log(kLog, 2, kModule, "StartRecord: the microphone did not start");
        {
            CAutoLock lock(m_recorderLock);
            m_oRecorder.FFUint();
        }
        DeleteFileUtf8(path);
        if (type == ZXV_RECORD_AUDIO) {
            NotifyProblem(type, ZXV_RECORD_ERR_MICROPHONE, std::string(), false);
            return 1;
        }
        if (open(false) != 0) return failed();
    }
    if (type == ZXV_RECORD_VIDEO) AddRecordDeal();
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
    if (!sound) NotifyProblem(type, ZXV_RECORD_NOTE_NO_SOUND, std::string(), false);
    return 0;
}

void CRecordList::StopRecord() {
    CAutoLock control(m_controlLock);
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
        const double seconds = LibRecorder::FFGetTotalTm(current->path.c_str());
        // A file with nothing in it (the first writes already failed) is no
        // recording: it leaves the list and the disk.
        if (FileSize(current->path) <= 0 || seconds <= 0) {
            YL_Log(kLog, 2, kModule, "StopRecord: %s holds nothing and is dropped", current->path.c_str());
            DeleteFileUtf8(current->path);
            CAutoLock lock(m_listLock);
            auto& list = m_lists[type];
            for (auto it = list.begin(); it != list.end(); ++it)
                if (it->get() == current) {
                    list.erase(it);
                    break;
                }
        } else {
            CAutoLock lock(m_listLock);
            current->duration = static_cast<int>(seconds);
        }
    }
    NotifyState(ZXV_RECORD_STOPPED, type);
    SaveList(type);
}

void CRecordList::StopAfterFailure() {
    CAutoLock control(m_controlLock);
    RecordItem* current = m_current;
    if (m_state != ZXV_RECORD_RECORDING || !current) return;
    const int type = m_type;
    const std::string path = current->path;
    std::string detail;
    int problem;
    {
        CAutoLock lock(m_recorderLock);
        problem = RecorderProblem(path, detail, true);
    }
    StopRecord();
    NotifyProblem(type, problem, detail, true);
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
    // A recording whose writes failed stops here, off the frame and sound
    // threads (which hold the chain and the capture).
    if (m_writeFailed.exchange(false)) StopAfterFailure();
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
    if (ms - m_lastElapsed * 1000.0 >= 500)
        IDataRecordListObserver::ProgressMsg::Send(static_cast<eZXVRecordType>(static_cast<int>(m_type)));
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
            if (m_oRecorder.FFAppendVideo(frame, bytes) != 0 && m_oRecorder.FFGetLastError() != LIBREC_OK)
                m_writeFailed = true;
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
        // The observers hear why (and end the snapshot they asked for).
        const std::string folder = File::GetParentPath(path);
        if (Dir::IsDirectory(folder))
            NotifyProblem(ZXV_RECORD_IMAGE, ZXV_RECORD_ERR_WRITE, path, false);
        else
            NotifyProblem(ZXV_RECORD_IMAGE, ZXV_RECORD_ERR_FOLDER_MISSING, folder, false);
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
    if (m_state == ZXV_RECORD_RECORDING && m_oRecorder.FFAppendAudio(data, length) != 0 &&
        m_oRecorder.FFGetLastError() != LIBREC_OK)
        m_writeFailed = true;
}
