// IVideoDeal: the one interface of every frame processor (the effects) and
// frame consumer (the shared-memory writer, the recorder, the preview).
#pragma once

#include "VideoFrame.h"

// A processor's fixed place in the chain; lower types run first.
enum eVideoDealType {
    VIDEO_DEAL_PENDANT = 0,   // colour filter
    VIDEO_DEAL_FACETHIN = 1,  // colour adjustment and face thinning (camera frames only)
    VIDEO_DEAL_LOGO = 2,
    VIDEO_DEAL_BORDER = 3,
    VIDEO_DEAL_TEXT = 4,
    VIDEO_DEAL_OUTPUT = 5,    // consumers of the finished frame
};

class IVideoDeal {
public:
    // Called when the processor joins the chain and whenever the frame
    // format changes. Returning false on joining keeps it out of the chain;
    // later results are ignored.
    virtual bool OnNotifyFrameSize(const VideoFrameFormat& format) = 0;
    // Processes one frame in place. streamType is the eVideoStreamType of
    // the frame's source.
    virtual void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) = 0;
    // The processor's eVideoDealType.
    virtual int GetDealType() = 0;

protected:
    ~IVideoDeal() {}
};
