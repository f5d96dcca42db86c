// The chain of frame processors and consumers. Every frame runs through it
// in deal-type order (colour filter, colour adjustment and face thinning for
// camera frames, logo, border, text, then the consumers).
#pragma once

#include <windows.h>

#include <map>
#include <cstdint>
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
    // One frame of a still picture: composed from picture (copied into
    // frame, then every processor) unless samePicture holds, the previous
    // still frame was composed in this same buffer, nothing in the chain
    // changed since and every effect it runs is still (IStillEffect) with the
    // same look; then only the consumers run, on the picture composed
    // before. The channel and the recorder still get every frame.
    void OnStillFrame(BYTE* frame, int bytes, int streamType, const BYTE* picture, bool samePicture);
    // How many still frames were composed (not merely handed on) so far.
    long StillCompositions() const { return m_stillCompositions; }

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

    // Runs the frame through the chain; effects too when compose is set.
    void Run(BYTE* frame, int streamType, bool compose);
    // The looks of the effects a frame of streamType runs through; false
    // when one of them is not still.
    bool StillLooks(int streamType, std::vector<uintptr_t>& looks);
    // Bumped by every change of the chain (a processor in or out, a format).
    unsigned long m_revision = 0;
    // What the last still frame was composed with, and where.
    bool m_stillValid = false;
    const BYTE* m_stillFrame = nullptr;
    int m_stillType = -1;
    unsigned long m_stillRevision = 0;
    std::vector<uintptr_t> m_stillLooks;
    long m_stillCompositions = 0;
};
