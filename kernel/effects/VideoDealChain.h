// The chain of frame processors and consumers. Every frame runs through it
// in deal-type order (colour filter, colour adjustment and face thinning for
// camera frames, logo, border, text, then the consumers).
#pragma once

#include <windows.h>

#include <map>
#include <set>
#include <vector>

#include "IVideoDeal.h"

class CVideoDealChain {
public:
    CVideoDealChain();
    ~CVideoDealChain();

    // Adds a processor: refused when null, already present, or when its
    // OnNotifyFrameSize with the current format returns false.
    bool AddVideoDeal(IVideoDeal* deal);
    // Removes a processor; it is never called again once this returns.
    void RemoveVideoDeal(IVideoDeal* deal);
    void RemoveAllVideoDeal();

    // The frame format: stored and passed to every processor in chain order.
    void OnFrameFormat(const VideoFrameFormat& format);
    // One frame, processed in place by every processor in chain order.
    void OnFrame(BYTE* frame, int bytes, int streamType);

    // How many processors are in the chain.
    size_t Count();

private:
    CVideoDealChain(const CVideoDealChain&);
    CVideoDealChain& operator=(const CVideoDealChain&);

    CRITICAL_SECTION m_lock;
    std::map<int, std::vector<IVideoDeal*>> m_deals;
    VideoFrameFormat m_format;
    // While a frame runs, processors removed from inside the loop (by a
    // notification handled on the frame thread) are skipped for the rest of
    // the frame; the loop itself walks a snapshot, so the map may change.
    bool m_inLoop;
    std::set<IVideoDeal*> m_removedInLoop;
};
