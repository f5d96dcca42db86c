#include "MediaFileList.h"

#include <cstdlib>
#include <ctime>

#include "KernelModules.h"
#include "ListFile.h"
#include "LibWaveOut/LibWaveOut.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVVideoSrc.txt";
const char kModule[] = "CMediaFileList";
const char kSectionMedia[] = "VSMediaFile";
const char kKeyPlayMode[] = "PlayMode";
const char kSectionAudio[] = "AudioSetup";
const char kKeyOutputVol[] = "AudioOutputVol";
const char kKeyOutputDev[] = "AudioOutputDev";
const int kThumbWidth = 80, kThumbHeight = 60;
// The monitor looks at most twice a second; a position that has not moved
// for this long while playing means the file has ended.
const DWORD kCheckEveryMs = 500;
const DWORD kStalledMs = 3000;
const DWORD kPositionStepMs = 50;

bool ValidMode(int mode) { return mode >= MEDIALIST_MODE_ONCE && mode <= MEDIALIST_MODE_RANDOM; }

}  // namespace

CMediaFileList::CMediaFileList()
    : m_playMode(MEDIALIST_MODE_ONCE),
      m_state(MEDIALIST_STATE_STOPPED),
      m_nextId(0),
      m_currentId(-1),
      m_width(640),
      m_height(480),
      m_lastSecond(0),
      m_lastChange(0),
      m_lastCheck(0),
      m_checked(false),
      m_outputDev(-1),
      m_volume(100),
      m_inited(false),
      m_now(&GetTickCount) {}

CMediaFileList::~CMediaFileList() {
    if (m_inited) UnInit();
}

std::string CMediaFileList::ListFilePath() { return Dir::GetZxPath(Dir::kPathUserData) + "MediaFileList.dat"; }

std::string CMediaFileList::ThumbnailPath(const std::string& mediaPath) {
    return Dir::WithSlash(Dir::GetLongPath(Dir::GetZxPath(Dir::kPathThumbCache))) + "ZxVCamMediaFileThumbnail\\" +
           Entrypt::GenerateMD5(mediaPath) + ".bmp";
}

bool CMediaFileList::Init(int width, int height) {
    if (m_inited) return true;
    if (width > 0 && height > 0) {
        m_width = width;
        m_height = height;
    }
    // The saved list: files that vanished or give no thumbnail any more are
    // dropped, and the file is written again without them. A damaged file
    // is set aside and the list starts empty.
    std::vector<std::string> paths;
    CListFile::LoadOrSetAside(ListFilePath(), paths, LIST_FILE_NO_COUNT, kLog, kModule);
    bool dropped = false;
    for (const std::string& path : paths) {
        MediaItem item;
        if (File::IsExistFile(path) && !FindItemByPath(path) && MakeItem(path, item))
            m_items.push_back(std::unique_ptr<MediaItem>(new MediaItem(item)));
        else
            dropped = true;
    }
    if (dropped) SaveList();

    int mode = m_playMode;
    if (AfxGetConfigManager()->GetInt(kSectionMedia, kKeyPlayMode, mode) && ValidMode(mode)) m_playMode = mode;
    RefreshOutputDevices();
    m_volume = 100;
    int volume = m_volume;
    if (AfxGetConfigManager()->GetInt(kSectionAudio, kKeyOutputVol, volume)) m_volume = volume;
    m_oPlayer.SetVolume(m_volume / 100.0);
    AfxGetDataManager()->AddData(ZX_MOD_MEDIALIST, this);
    m_inited = true;
    return true;
}

void CMediaFileList::UnInit() {
    if (!m_inited) return;
    m_oPlayer.Uint();
    SaveList();
    AfxGetDataManager()->RemoveData(ZX_MOD_MEDIALIST);
    m_items.clear();
    m_inited = false;
}

std::vector<MediaItem> CMediaFileList::GetItems() const {
    std::vector<MediaItem> items;
    for (const auto& item : m_items) items.push_back(*item);
    return items;
}

const MediaItem* CMediaFileList::FindItem(int id) const {
    for (const auto& item : m_items)
        if (item->id == id) return item.get();
    return nullptr;
}

const MediaItem* CMediaFileList::FindItemByPath(const std::string& path) const {
    for (const auto& item : m_items)
        if (item->path == path) return item.get();
    return nullptr;
}

bool CMediaFileList::MakeItem(const std::string& path, MediaItem& item) {
    std::string thumb = ThumbnailPath(path);
    Dir::MakeDir(File::GetParentPath(thumb));
    // A thumbnail made before is used as it is.
    if (!File::IsExistFile(thumb) && !LibRecorder::FFThumbnails(path.c_str(), thumb.c_str(), kThumbWidth, kThumbHeight)) {
        YL_Log(kLog, 0, kModule, "no thumbnail for %s: not listed", path.c_str());
        return false;
    }
    item.id = m_nextId++;
    item.path = path;
    item.thumbnail = thumb;
    item.duration = static_cast<int>(LibRecorder::FFGetTotalTm(path.c_str()));
    return true;
}

void CMediaFileList::SaveList() {
    std::vector<std::string> paths;
    for (const auto& item : m_items) paths.push_back(item->path);
    CListFile::Save(ListFilePath(), paths, LIST_FILE_NO_COUNT);
}

bool CMediaFileList::ReportAllItems() {
    for (const auto& item : m_items)
        IDataMediaListObserver::ItemMsg::Send(item->id, item->path, item->thumbnail, false);
    return false;
}

bool CMediaFileList::AddFiles(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        MediaItem item;
        if (!File::IsExistFile(path) || FindItemByPath(path) || !MakeItem(path, item)) continue;
        m_items.push_back(std::unique_ptr<MediaItem>(new MediaItem(item)));
        IDataMediaListObserver::ItemMsg::Send(item.id, item.path, item.thumbnail, true);
    }
    SaveList();
    return true;
}

void CMediaFileList::RemoveFiles(const std::vector<int>& ids, bool deleteFromDisk) {
    for (int id : ids) {
        for (auto it = m_items.begin(); it != m_items.end(); ++it) {
            if ((*it)->id != id) continue;
            if (deleteFromDisk && !DeleteFileW(Charset::String2WString((*it)->path).c_str()))
                YL_Log(kLog, 0, kModule, "RemoveFiles: %s not deleted (%lu)", (*it)->path.c_str(),
                       static_cast<unsigned long>(GetLastError()));
            m_items.erase(it);
            break;
        }
    }
    SaveList();
}

bool CMediaFileList::GetItemTitle(int id, std::string& title) {
    const MediaItem* item = FindItem(id);
    if (!item) return false;
    title = File::GetFileNameWithoutExtension(item->path);
    return true;
}

bool CMediaFileList::GetItemThumbnail(int id, std::string& path) {
    const MediaItem* item = FindItem(id);
    if (!item) return false;
    path = item->thumbnail;
    return true;
}

int CMediaFileList::GetItemDuration(int id) {
    const MediaItem* item = FindItem(id);
    return item ? item->duration : 0;
}

std::string CMediaFileList::GetItemPath(int id) {
    const MediaItem* item = FindItem(id);
    return item ? item->path : std::string();
}

void CMediaFileList::SetState(eMediaFileListPlayState state) {
    m_state = state;
    IDataMediaListObserver::StateMsg::Send(state);
}

void CMediaFileList::SwitchVideo(eVideoStreamType type) {
    if (IDataVideoMgr* mgr = KernelModule<IDataVideoMgr>())
        mgr->OnVideoStreamTypeChange(type);
}

bool CMediaFileList::PlayInterval(const std::string& path) {
    YL_Log(kLog, 0, kModule, "PlayInterval: %s beg", path.c_str());
    m_oPlayer.SetOutputDev(m_outputDev);
    if (m_oPlayer.Init(path.c_str(), static_cast<unsigned>(m_width), static_cast<unsigned>(m_height), true, true) ==
        -1) {
        YL_Log(kLog, 0, kModule, "PlayInterval: %s 失败", path.c_str());
        return false;
    }
    m_lastSecond = 0;
    m_lastChange = m_now();
    SetState(MEDIALIST_STATE_PLAYING);
    return true;
}

void CMediaFileList::StopInterval() {
    YL_Log(kLog, 0, kModule, "StopInterval");
    m_oPlayer.Uint();
    m_currentId = -1;
    SetState(MEDIALIST_STATE_STOPPED);
}

bool CMediaFileList::Play(int id) {
    const MediaItem* item = FindItem(id);
    if (!item || !File::IsExistFile(item->path)) return false;
    const std::string path = item->path;
    if (m_state != MEDIALIST_STATE_STOPPED) StopInterval();
    if (!PlayInterval(path)) return false;
    SwitchVideo(VIDEO_STREAM_MEDIAFILE);
    m_currentId = id;
    NotifyPlaying(id);
    return true;
}

void CMediaFileList::Stop() {
    if (m_state == MEDIALIST_STATE_STOPPED) return;
    StopInterval();
    // The video manager stops the list once more as the outgoing source.
    SwitchVideo(VIDEO_STREAM_NONE);
    SetState(MEDIALIST_STATE_STOPPED);
}

const MediaItem* CMediaFileList::FindNext(int mode) {
    int pos = -1;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->id == m_currentId) pos = static_cast<int>(i);
    const int count = static_cast<int>(m_items.size());
    switch (mode) {
    case MEDIALIST_MODE_ONCE:
        if (pos < 0 || count <= 1 || pos + 1 >= count) return nullptr;
        return m_items[pos + 1].get();
    case MEDIALIST_MODE_LOOP:
        if (pos < 0) return nullptr;
        return m_items[(pos + 1) % count].get();
    case MEDIALIST_MODE_REPEAT:
        return pos < 0 ? nullptr : m_items[pos].get();
    case MEDIALIST_MODE_RANDOM: {
        std::vector<const MediaItem*> candidates;
        for (const auto& item : m_items)
            if (item->id != m_currentId) candidates.push_back(item.get());
        if (candidates.empty()) return nullptr;
        srand(static_cast<unsigned>(time(nullptr)));
        return candidates[static_cast<size_t>(rand()) % candidates.size()];
    }
    default:
        return nullptr;
    }
}

const MediaItem* CMediaFileList::FindPrev() {
    int pos = -1;
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->id == m_currentId) pos = static_cast<int>(i);
    if (pos < 0 || m_items.size() <= 1 || pos == 0) return nullptr;
    return m_items[pos - 1].get();
}

bool CMediaFileList::StepTo(const MediaItem& item) {
    const int id = item.id;
    const std::string path = item.path;
    StopInterval();
    if (!PlayInterval(path)) {
        SwitchVideo(VIDEO_STREAM_NONE);
        m_currentId = -1;
        return false;
    }
    m_currentId = id;
    NotifyPlaying(id);
    return true;
}

void CMediaFileList::NotifyPlaying(int id) {
    IDataMediaListObserver::PlayingMsg::Send(id);
}

void CMediaFileList::PlayNext() {
    if (m_currentId < 0) return;
    if (const MediaItem* next = FindNext(MEDIALIST_MODE_ONCE))
        StepTo(*next);
    else
        Stop();
}

void CMediaFileList::PlayPrev() {
    if (m_currentId < 0) return;
    if (const MediaItem* prev = FindPrev())
        StepTo(*prev);
    else
        Stop();
}

void CMediaFileList::PlayNextInterval() {
    const MediaItem* next = FindNext(m_playMode);
    if (!next) {
        StopInterval();
        YL_Log(kLog, 0, kModule, "PlayNextInterval: NULL == lpMediaInfo");
        SwitchVideo(VIDEO_STREAM_NONE);
        return;
    }
    const std::string path = next->path;
    if (!StepTo(*next)) YL_Log(kLog, 0, kModule, "PlayNextInterval: %s 失败", path.c_str());
}

bool CMediaFileList::SetPlayPos(double seconds) {
    double current = 0, total = 0;
    m_oPlayer.GetCurTm(current, total);
    YL_Log(kLog, 0, kModule, "SetPlayPos: Pos:%f; curtime:%f; totaltime:%f", seconds, current, total);
    if (m_state == MEDIALIST_STATE_PLAYING || m_state == MEDIALIST_STATE_PAUSED) m_oPlayer.Seek(seconds);
    return true;
}

bool CMediaFileList::Pause() {
    if (m_state == MEDIALIST_STATE_PLAYING) {
        m_oPlayer.PasueSwitch(true);
        SetState(MEDIALIST_STATE_PAUSED);
    }
    return true;
}

void CMediaFileList::Resume() {
    if (m_state != MEDIALIST_STATE_PAUSED) return;
    m_oPlayer.PasueSwitch(false);
    SetState(MEDIALIST_STATE_PLAYING);
}

void CMediaFileList::SetVolume(int percent) {
    m_volume = percent;
    m_oPlayer.SetVolume(percent / 100.0);
    AfxGetConfigManager()->SetInt(kSectionAudio, kKeyOutputVol, percent);
}

void CMediaFileList::SetPlayMode(int mode) {
    m_playMode = mode;
    AfxGetConfigManager()->SetInt(kSectionMedia, kKeyPlayMode, mode);
}

void CMediaFileList::CheckPlayState() {
    const DWORD now = m_now();
    if (m_checked && now - m_lastCheck < kCheckEveryMs) return;
    m_checked = true;
    m_lastCheck = now;
    const int state = m_state;
    if (state == MEDIALIST_STATE_PAUSED) {
        m_lastChange = now;
        return;
    }
    if (state != MEDIALIST_STATE_PLAYING) return;
    double current = 0, total = 0;
    m_oPlayer.GetCurTm(current, total);
    const int second = static_cast<int>(current);
    if (second == m_lastSecond) {
        if (now - m_lastChange > kStalledMs) IDataMediaListObserver::EndMsg::Send();
    } else if (now - m_lastChange > kPositionStepMs) {
        IDataMediaListObserver::PositionMsg::Send(static_cast<int>(m_currentId), current);
        m_lastSecond = second;
        m_lastChange = now;
    }
}

void CMediaFileList::RefreshOutputDevices() {
    m_devices.clear();
    const unsigned count = LibWaveOut::GetWaveOutDevNums();
    for (unsigned i = 0; i < count; ++i) {
        char name[260] = {};
        if (LibWaveOut::GetWaveOutNameByIdx(name, sizeof(name), i) >= 0) m_devices[static_cast<int>(i)] = name;
    }
    std::string saved;
    if (AfxGetConfigManager()->GetString(kSectionAudio, kKeyOutputDev, saved)) {
        int index = FindOutputDevice(saved);
        if (index >= 0) m_outputDev = index;
    }
}

bool CMediaFileList::GetOutputDeviceName(int index, std::string& name) {
    auto it = m_devices.find(index);
    if (it == m_devices.end()) return false;
    name = it->second;
    return true;
}

int CMediaFileList::FindOutputDevice(const std::string& name) {
    for (const auto& device : m_devices)
        if (device.second == name) return device.first;
    return -1;
}

void CMediaFileList::SetOutputDevice(int index) {
    m_outputDev = index;
    auto it = m_devices.find(index);
    if (it != m_devices.end()) AfxGetConfigManager()->SetString(kSectionAudio, kKeyOutputDev, it->second.c_str(), 0);
}
