// The frame writer: the last processor of the chain. It copies every
// finished frame, behind its 12-byte header, into the shared-memory channel
// that every instance of the capture filter reads, and into the
// cross-session copy of it (GlobalChannel.h) whenever the Media Foundation
// camera has made one.
#pragma once

#include <vector>

#include "IVideoDeal.h"
#include "ShareMem.h"

class CVCamera : public IVideoDeal {
public:
    CVCamera();
    ~CVCamera();

    // Joins the chain through "modKernal" (even when the channel cannot be
    // opened), then opens the channel.
    bool Init();
    void UnInit();

    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_OUTPUT; }

private:
    CVCamera(const CVCamera&);
    CVCamera& operator=(const CVCamera&);

    // Attaches to the cross-session channel when it exists (looked for at
    // most once a second; never created here).
    void FindGlobalChannel();

    CShareMem m_shareMem;
    CShareMem m_globalChannel;
    DWORD m_lastGlobalLook = 0;
    bool m_globalLooked = false;
    uint8_t m_header[kShareMemHeaderSize];
    size_t m_frameBytes;  // stride x height of the announced format
};
