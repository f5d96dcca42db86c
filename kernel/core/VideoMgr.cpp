#include "VideoMgr.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstring>

#include "GdiPlus.h"
#include "ThreadStop.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

namespace {

const char kLog[] = "ZxVVideoSrc.txt";
const char kModule[] = "CVideoMgr";
const int kFrameMs = 50;

}  // namespace

// Milliseconds from the performance counter: steady and fine-grained.
long long CVideoMgr::SystemClock::NowMs() { return static_cast<long long>(Clock::NowMs()); }

DWORD CVideoMgr::SystemClock::Wait(DWORD count, const HANDLE* events, DWORD ms) {
    return WaitForMultipleObjects(count, events, FALSE, ms);
}

CVideoMgr::CVideoMgr()
    : m_pCallBack(nullptr),
      m_formatChanged(false),
      m_streamType(VIDEO_STREAM_NONE),
      m_hStopEvent(nullptr),
      m_hSourceEvent(nullptr),
      m_hThread(nullptr),
      m_runningCount(0),
      m_clock(&m_systemClock) {
    VideoFrameFormatInit(m_format, 640, 480);
    std::fill(m_sources, m_sources + 4, nullptr);
    m_sources[VIDEO_STREAM_CAMERA] = &m_oCamera;
    m_sources[VIDEO_STREAM_MEDIAFILE] = &m_oMediaFileList;
    m_sources[VIDEO_STREAM_SLIDE] = &m_oSlideList;
}

CVideoMgr::~CVideoMgr() {}

void CVideoMgr::SetSource(eVideoStreamType type, IVideoSource* source) {
    if (type >= VIDEO_STREAM_MEDIAFILE && type <= VIDEO_STREAM_CAMERA) m_sources[type] = source;
}

bool CVideoMgr::Init(int width, int height, IVideoMgrCallBack* callback) {
    LoadDefaultPicture();
    AfxGetDataManager()->AddData(ZX_MOD_VIDEOMGR, this);
    // The image size stays that of the fixed 640 x 480 frame.
    m_format.bmiHeader.biWidth = width;
    m_format.bmiHeader.biHeight = height;
    m_formatChanged = true;

    static const char* const kInitFailed[4] = {nullptr, "Init调用m_oMediaFileList.Init失败",
                                               "Init调用m_oSlideList.Init失败", "Init调用m_oCamera.Init失败"};
    // The camera starts first, then the media-file list, then the slide show.
    static const int kOrder[3] = {VIDEO_STREAM_CAMERA, VIDEO_STREAM_MEDIAFILE, VIDEO_STREAM_SLIDE};
    for (int type : kOrder) {
        if (m_sources[type] && !m_sources[type]->Init(width, height)) {
            YL_Log(kLog, 3, kModule, "%s", kInitFailed[type]);
            return false;
        }
    }

    m_pCallBack = callback;
    if (!m_pCallBack) return false;

    m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hSourceEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The thread is counted as running before it starts, so an UnInit that
    // comes at once still waits for it.
    ++m_runningCount;
    m_hThread = CreateThread(nullptr, 0, &CVideoMgr::FrameThreadProc, this, 0, nullptr);
    if (!m_hThread) --m_runningCount;
    return m_hThread != nullptr;
}

void CVideoMgr::LoadDefaultPicture() {
    const int stride = VideoFrameStride(m_format);
    const int height = m_format.bmiHeader.biHeight;
    // A missing picture gives a black frame.
    m_defaultPicture.assign(static_cast<size_t>(stride) * height, 0);
    std::string path = Dir::GetZxPath(Dir::kPathResource) + "default.jpg";
    Gdiplus::Bitmap* bitmap = Gdiplus::Bitmap::FromFile(Charset::String2WString(path).c_str());
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        YL_Log(kLog, 2, kModule, "加载默认背景(%s)失败", path.c_str());
        delete bitmap;
        return;
    }
    Gdiplus::BitmapData data;
    Gdiplus::Rect whole(0, 0, static_cast<INT>(bitmap->GetWidth()), static_cast<INT>(bitmap->GetHeight()));
    if (bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat24bppRGB, &data) != Gdiplus::Ok) {
        YL_Log(kLog, 2, kModule, "加载默认背景(%s)失败", path.c_str());
        delete bitmap;
        return;
    }
    // Frame rows run bottom-up, bitmap rows top-down; the picture is not
    // scaled, so a smaller one lands in the bottom-left corner.
    const int rows = std::min(static_cast<int>(data.Height), height);
    const size_t rowBytes = static_cast<size_t>(std::min(stride, std::abs(data.Stride)));
    const BYTE* top = static_cast<const BYTE*>(data.Scan0);
    for (int i = 0; i < rows; ++i) {
        const BYTE* src = top + static_cast<ptrdiff_t>(data.Stride) * (static_cast<int>(data.Height) - 1 - i);
        std::memcpy(&m_defaultPicture[static_cast<size_t>(i) * stride], src, rowBytes);
    }
    YL_Log(kLog, 0, kModule, "加载默认背景(%s)成功宽:%d高:%d", path.c_str(), static_cast<int>(bitmap->GetWidth()),
           static_cast<int>(bitmap->GetHeight()));
    bitmap->UnlockBits(&data);
    delete bitmap;
}

DWORD WINAPI CVideoMgr::FrameThreadProc(void* self) {
    static_cast<CVideoMgr*>(self)->FrameThread();
    return 0;
}

void CVideoMgr::Deliver(BYTE* frame, int bytes, int streamType) { m_pCallBack->OnVideoData(frame, bytes, streamType); }

void CVideoMgr::FrameThread() {
    // Short waits must be short on Windows too, whose default timer
    // resolution is about 15 ms.
    timeBeginPeriod(1);
    std::vector<BYTE> work;
    IFrameClock* time = m_clock;
    long long clock = time->NowMs();
    HANDLE events[2] = {m_hStopEvent, m_hSourceEvent};
    // Whether work holds what the chain made of the default picture: only
    // then may the chain hand it on without composing it again.
    bool stillInWork = false;
    for (;;) {
        if (m_formatChanged) {
            stillInWork = false;
            work.assign(static_cast<size_t>(VideoFrameStride(m_format)) * m_format.bmiHeader.biHeight, 0);
            m_pCallBack->OnVideoFormat(m_format);
            m_formatChanged = false;
        }
        // Asleep until the next point of the frame grid (a stop or a source
        // wakes it at once): polling every few milliseconds instead cost
        // several percent of a core at rest, mostly in waking up.
        // A point already due is served without waiting (the events are
        // still looked at).
        const long long due = clock + kFrameMs - time->NowMs();
        DWORD wait = time->Wait(2, events, static_cast<DWORD>(due > 0 ? (due < kFrameMs ? due : kFrameMs) : 0));
        if (wait == WAIT_OBJECT_0) break;  // stop wins when both are set
        long long now = time->NowMs();
        // A thread that missed points of its grid (it was held up, the
        // machine slept) rejoins the grid at its latest point: one frame now
        // and the next on time, not every missed frame back to back.
        if (now - clock >= 2 * kFrameMs) clock += ((now - clock) / kFrameMs - 1) * kFrameMs;
        if (wait == WAIT_OBJECT_0 + 1) {
            if (now - clock < kFrameMs) {
                // A source is current (its event stays set): wait out the
                // rest of the frame for the stop event alone.
                const long long rest = clock + kFrameMs - now;
                if (time->Wait(1, &m_hStopEvent, static_cast<DWORD>(rest > 1 ? rest : 1)) == WAIT_OBJECT_0) break;
                continue;
            }
            clock += kFrameMs;
            int type = m_streamType;
            IVideoSource* source = (type >= 1 && type <= 3) ? m_sources[type] : nullptr;
            stillInWork = false;
            if (source && source->PullFrame(work.data(), static_cast<int>(work.size())))
                Deliver(work.data(), static_cast<int>(work.size()), type);
        } else if (wait == WAIT_TIMEOUT) {
            if (now - clock >= kFrameMs) {
                clock += kFrameMs;
                // The default picture does not move: the chain composes it
                // once and hands that on until something in it changes.
                const int bytes = static_cast<int>(std::min(work.size(), m_defaultPicture.size()));
                m_pCallBack->OnStillVideoData(work.data(), bytes, VIDEO_STREAM_NONE, m_defaultPicture.data(),
                                              stillInWork);
                stillInWork = true;
            }
        } else {
            // The events are gone: nothing more can be waited for.
            YL_Log(kLog, 2, kModule, "FrameThread wait failed (%lu)", static_cast<unsigned long>(GetLastError()));
            break;
        }
    }
    timeEndPeriod(1);
    --m_runningCount;
}

void CVideoMgr::OnVideoStreamTypeChange(eVideoStreamType type) {
    int old = m_streamType;
    YL_Log(kLog, 0, kModule, "OnVideoStreamTypeChange 当前视频流类型:%d,修改为%d", old, static_cast<int>(type));
    if (type < VIDEO_STREAM_NONE || type > VIDEO_STREAM_CAMERA) {
        YL_Log(kLog, 2, kModule, "OnVideoStreamTypeChange: unknown stream type %d ignored", static_cast<int>(type));
        return;
    }
    if (type == old) return;
    IDataVideoMgrObserver::StreamTypeMsg::Send(old, type);
    if (old != VIDEO_STREAM_NONE) {
        if (m_sources[old]) m_sources[old]->StopSource();
        if (type == VIDEO_STREAM_NONE && m_hSourceEvent) ResetEvent(m_hSourceEvent);
    } else if (m_hSourceEvent) {
        SetEvent(m_hSourceEvent);
    }
    m_streamType = type;
}

void CVideoMgr::CheckPlayState() {
    for (int type = 1; type <= 3; ++type)
        if (m_sources[type]) m_sources[type]->Tick();
}

void CVideoMgr::StopThread() {
    if (!m_hThread) return;
    SetEvent(m_hStopEvent);
    if (!StopThreadBounded(m_hThread, m_runningCount, 25, 50))
        YL_Log(kLog, 2, kModule, "StopThread指定的时间内线程没有停止，调用TerminateThread关闭线程");
}

void CVideoMgr::UnInit() {
    StopThread();
    // The outputs are left showing the default picture.
    if (m_pCallBack)
        m_pCallBack->OnVideoData(m_defaultPicture.data(), static_cast<int>(m_defaultPicture.size()), VIDEO_STREAM_NONE);
    if (m_hStopEvent) CloseHandle(m_hStopEvent);
    if (m_hSourceEvent) CloseHandle(m_hSourceEvent);
    m_hStopEvent = m_hSourceEvent = nullptr;
    static const int kOrder[3] = {VIDEO_STREAM_SLIDE, VIDEO_STREAM_MEDIAFILE, VIDEO_STREAM_CAMERA};
    for (int type : kOrder)
        if (m_sources[type]) m_sources[type]->UnInit();
    AfxGetDataManager()->RemoveData(ZX_MOD_VIDEOMGR);
    m_defaultPicture.clear();
    m_pCallBack = nullptr;
}
