#include "SlideList.h"

#include <algorithm>
#include <cstring>

#include "AutoLock.h"
#include "KernelModules.h"
#include "ListFile.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVVideoSrc.txt";
const char kModule[] = "CSlideList";
const char kSection[] = "VSSlide";
const char kKeyPlayMode[] = "PlayMode";
const int kFramesPerSecond = 20;

bool ValidMode(int mode) { return mode >= SLIDE_MODE_ONCE && mode <= SLIDE_MODE_RANDOM; }

}  // namespace

CSlideList::CSlideList() : m_width(640), m_height(480), m_listLoaded(false), m_savedRead(false), m_inited(false), m_playMode(1) {
    InitializeCriticalSection(&m_frameLock);
}

CSlideList::~CSlideList() {
    if (m_inited) UnInit();
    DeleteCriticalSection(&m_frameLock);
}

std::string CSlideList::ListFilePath() { return Dir::GetZxPath(Dir::kPathUserData) + "SlideFileList.dat"; }

bool CSlideList::Init(int width, int height) {
    if (m_inited) return true;
    if (width > 0 && height > 0) {
        m_width = width;
        m_height = height;
    }
    {
        CAutoLock lock(m_frameLock);
        m_frameBytes = static_cast<size_t>(VideoFrameStride(m_width, 24)) * m_height;
        std::vector<BYTE>().swap(m_frame);
    }
    AfxGetDataManager()->AddData(ZX_MOD_SLIDELIST, this);
    m_oEngine.Start(kFramesPerSecond, m_width, m_height, this);
    int mode = m_playMode;
    // A missing or unusable value leaves the mode as it is.
    if (AfxGetConfigManager()->GetInt(kSection, kKeyPlayMode, mode) && ValidMode(mode)) m_playMode = mode;
    m_oEngine.SetPlayMode(m_playMode);
    m_inited = true;
    return true;
}

void CSlideList::UnInit() {
    if (!m_inited) return;
    // The loaders finish the picture each is on first, so what they have
    // not reached yet is still written with the list.
    m_oEngine.StopLoaders();
    SaveList();
    m_oEngine.Shutdown();
    AfxGetDataManager()->RemoveData(ZX_MOD_SLIDELIST);
    {
        CAutoLock lock(m_frameLock);
        std::vector<BYTE>().swap(m_frame);
    }
    m_inited = false;
}

void CSlideList::StopEngine() { m_oEngine.Stop(); }

void CSlideList::GetFrame(BYTE* destination, int length) {
    if (!destination || length <= 0) return;
    CAutoLock lock(m_frameLock);
    size_t n = std::min(static_cast<size_t>(length), m_frameBytes);
    if (m_frame.size() < n) {
        std::memset(destination, 0, n);
        return;
    }
    if (n) memcpy(destination, m_frame.data(), n);
}

void CSlideList::OnFrame(const BYTE* frame, int length) {
    if (!frame || length <= 0) return;
    CAutoLock lock(m_frameLock);
    if (m_frame.size() != m_frameBytes) m_frame.assign(m_frameBytes, 0);
    size_t n = std::min(static_cast<size_t>(length), m_frame.size());
    if (n) memcpy(m_frame.data(), frame, n);
}

void CSlideList::OnItemLoaded(const SlideItemReport& report) {
    IDataSlideListObserver::LoadedMsg::Send(report.id, report.loaded, report.path, report.thumbPath, report.fromList);
}

void CSlideList::OnItemRemoved(int id, const std::string& path) {
    IDataSlideListObserver::RemovedMsg::Send(id, path);
}

void CSlideList::SaveList() {
    std::vector<std::string> paths = m_oEngine.SavePaths();
    if (!m_listLoaded) {
        // The saved list was never read (the slide page not visited yet):
        // its pictures are kept behind the ones added since, where they go
        // when it is loaded, rather than being overwritten.
        // The file is read once, before the first write changes it.
        if (!m_savedRead) {
            CListFile::LoadOrSetAside(ListFilePath(), m_savedPaths, LIST_FILE_NO_COUNT, kLog, kModule);
            m_savedRead = true;
        }
        for (const std::string& p : m_savedPaths)
            if (std::find(paths.begin(), paths.end(), p) == paths.end()) paths.push_back(p);
    }
    CListFile::Save(ListFilePath(), paths, LIST_FILE_NO_COUNT);
}

IDataVideoMgr* CSlideList::VideoMgr() {
    return KernelModule<IDataVideoMgr>();
}

void CSlideList::LoadList() {
    std::vector<std::string> paths;
    CListFile::LoadOrSetAside(ListFilePath(), paths, LIST_FILE_NO_COUNT, kLog, kModule);
    m_oEngine.AddPaths(paths, true);
    m_listLoaded = true;
}

bool CSlideList::AddFiles(const std::vector<std::string>& paths) {
    m_oEngine.AddPaths(paths, false);
    SaveList();
    return true;
}

void CSlideList::RemoveFiles(const std::vector<int>& ids) {
    m_oEngine.Remove(ids);
    SaveList();
}

void CSlideList::RemoveAll() { m_oEngine.RemoveAll(); }

bool CSlideList::Play(int id) {
    m_oEngine.Play(id);
    if (IDataVideoMgr* mgr = VideoMgr()) mgr->OnVideoStreamTypeChange(VIDEO_STREAM_SLIDE);
    return true;
}

bool CSlideList::Pause() {
    m_oEngine.Pause();
    return true;
}

void CSlideList::Stop() {
    if (m_oEngine.GetPlayState() == SLIDE_STATE_STOPPED) return;
    // The video manager stops the engine as the outgoing source.
    if (IDataVideoMgr* mgr = VideoMgr()) mgr->OnVideoStreamTypeChange(VIDEO_STREAM_NONE);
    m_oEngine.Stop();
}

void CSlideList::SetPlayMode(int mode) {
    if (mode == m_playMode || !ValidMode(mode)) return;
    m_playMode = mode;
    m_oEngine.SetPlayMode(mode);
    AfxGetConfigManager()->SetInt(kSection, kKeyPlayMode, mode);
}
