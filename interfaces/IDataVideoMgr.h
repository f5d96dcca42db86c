// "modVideoMgr": the video manager, the clock of the picture. The sources
// tell it which of them is current; the main program only observes
// "modVideoMgr_ob".
#pragma once

#include <cstdint>
#include <cstring>

#include "VideoFrame.h"
#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_VIDEOMGR "modVideoMgr"
#define ZX_MOD_VIDEOMGR_OB "modVideoMgr_ob"

// Notification types of "modVideoMgr_ob".
enum eVideoMgrMessage {
    // The stream type changed; arguments (old, new) as eVideoStreamType.
    VIDEOMGR_MSG_STREAM_TYPE = 0,
};

class IDataVideoMgr : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_VIDEOMGR;
    // Called by a source: the camera with 3 when it starts and 0 when it
    // stops, the media list with 1 and 0, the slide show with 2 and 0.
    virtual void OnVideoStreamTypeChange(eVideoStreamType type) = 0;
    // Three operations kept in the interface's layout; they have no effect.
    virtual void SetReserved1(uint32_t value) = 0;
    virtual void SetReserved2(uint32_t value) = 0;
    virtual void Reserved3() = 0;
};

// Observer of "modVideoMgr_ob" for the main program: reads the arguments by
// position and calls the typed operation.
class IDataVideoMgrObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_VIDEOMGR_OB;
    // (old type, new type), both eVideoStreamType values.
    using StreamTypeMsg = CNotification<IDataVideoMgrObserver, VIDEOMGR_MSG_STREAM_TYPE, int, int>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == StreamTypeMsg::kType)
            StreamTypeMsg::Call(args, this, &IDataVideoMgrObserver::OnStreamTypeChanged);
    }
    virtual void OnStreamTypeChanged(int oldType, int newType) {
        (void)oldType;
        (void)newType;
    }
};

// Implemented by the kernel for its video manager.
class IVideoMgrCallBack {
public:
    // One frame on the frame thread; the byte count is informational.
    virtual void OnVideoData(BYTE* frame, int bytes, int streamType) = 0;
    // The frame format, announced on the frame thread before the first frame.
    virtual void OnVideoFormat(const VideoFrameFormat& format) = 0;
    // One frame of a still picture (the default picture): picture is copied
    // into frame and handed on as OnVideoData. samePicture says that the
    // picture and frame are those of the previous call and nothing else was
    // written into frame since, so a receiver that kept what it made of the
    // previous frame in frame may skip the copy and its own work.
    virtual void OnStillVideoData(BYTE* frame, int bytes, int streamType, const BYTE* picture, bool samePicture) {
        (void)samePicture;
        if (frame != picture && bytes > 0) std::memcpy(frame, picture, static_cast<size_t>(bytes));
        OnVideoData(frame, bytes, streamType);
    }

protected:
    ~IVideoMgrCallBack() {}
};
