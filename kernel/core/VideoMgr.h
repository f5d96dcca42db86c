// The video manager: the clock of the picture. Its frame thread produces one
// frame every 50 ms on a fixed grid, from the current source or, when there
// is none, the default picture, and hands it to the kernel.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "Camera.h"
#include "IDataVideoMgr.h"
#include "MediaFileList.h"
#include "SlideList.h"
#include "VideoSource.h"

// The frame thread's time: milliseconds of a steady clock, and the waits on
// its events that end on that clock. Tests put a clock of their own in its
// place to drive the frame grid step by step.
class IFrameClock {
public:
    virtual long long NowMs() = 0;
    // Waits until one of the count events is set or ms of this clock have
    // passed: WAIT_OBJECT_0 + index (the lowest set one), WAIT_TIMEOUT or
    // WAIT_FAILED, as WaitForMultipleObjects answers.
    virtual DWORD Wait(DWORD count, const HANDLE* events, DWORD ms) = 0;

protected:
    ~IFrameClock() {}
};

class CVideoMgr : public IDataVideoMgr {
public:
    CVideoMgr();
    ~CVideoMgr() override;

    // Plugs a source in under its stream type (1 to 3), before Init.
    void SetSource(eVideoStreamType type, IVideoSource* source);
    // The frame thread's clock, before Init (null: the performance counter
    // and WaitForMultipleObjects).
    void SetClock(IFrameClock* clock) { m_clock = clock ? clock : &m_systemClock; }

    bool Init(int width, int height, IVideoMgrCallBack* callback);
    void UnInit();
    // The 100 ms step of the kernel's worker thread.
    void CheckPlayState();

    // IDataVideoMgr
    void OnVideoStreamTypeChange(eVideoStreamType type) override;
    void SetReserved1(uint32_t) override {}
    void SetReserved2(uint32_t) override {}
    void Reserved3() override {}

    int GetStreamType() const { return m_streamType; }
    const VideoFrameFormat& GetFormat() const { return m_format; }

private:
    CVideoMgr(const CVideoMgr&);
    CVideoMgr& operator=(const CVideoMgr&);

    void LoadDefaultPicture();
    void StopThread();
    static DWORD WINAPI FrameThreadProc(void* self);
    void FrameThread();
    void Deliver(BYTE* frame, int bytes, int streamType);

    class SystemClock : public IFrameClock {
    public:
        long long NowMs() override;
        DWORD Wait(DWORD count, const HANDLE* events, DWORD ms) override;
    };

    // The sources it owns.
    CCamera m_oCamera;
    CMediaFileList m_oMediaFileList;
    CSlideList m_oSlideList;
    IVideoMgrCallBack* m_pCallBack;
    VideoFrameFormat m_format;
    std::atomic<bool> m_formatChanged;
    IVideoSource* m_sources[4];
    volatile int m_streamType;
    HANDLE m_hStopEvent;
    HANDLE m_hSourceEvent;
    HANDLE m_hThread;
    std::atomic<int> m_runningCount;
    std::vector<BYTE> m_defaultPicture;
    SystemClock m_systemClock;
    IFrameClock* m_clock;
};
