#include "VideoDealChain.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "AutoLock.h"
#include "StillEffect.h"

CVideoDealChain::CVideoDealChain() : m_inLoop(false) {
    InitializeCriticalSection(&m_lock);
    ZeroMemory(&m_format, sizeof(m_format));
}

CVideoDealChain::~CVideoDealChain() { DeleteCriticalSection(&m_lock); }

bool CVideoDealChain::AddVideoDeal(IVideoDeal* deal) {
    if (!deal) return false;
    CAutoLock lock(m_lock);
    int type = deal->GetDealType();
    auto it = m_deals.find(type);
    if (it != m_deals.end() && std::find(it->second.begin(), it->second.end(), deal) != it->second.end())
        return false;
    if (!deal->OnNotifyFrameSize(m_format)) return false;
    m_deals[type].push_back(deal);
    m_removedInLoop.erase(deal);
    ++m_revision;
    return true;
}

void CVideoDealChain::RemoveVideoDeal(IVideoDeal* deal) {
    if (!deal) return;
    CAutoLock lock(m_lock);
    for (auto it = m_deals.begin(); it != m_deals.end(); ++it) {
        std::vector<IVideoDeal*>& list = it->second;
        auto pos = std::find(list.begin(), list.end(), deal);
        if (pos == list.end()) continue;
        list.erase(pos);
        if (list.empty()) m_deals.erase(it);
        if (m_inLoop) m_removedInLoop.insert(deal);
        ++m_revision;
        return;
    }
}

void CVideoDealChain::RemoveAllVideoDeal() {
    CAutoLock lock(m_lock);
    if (m_inLoop)
        for (auto& entry : m_deals) m_removedInLoop.insert(entry.second.begin(), entry.second.end());
    m_deals.clear();
    ++m_revision;
}

void CVideoDealChain::OnFrameFormat(const VideoFrameFormat& format) {
    CAutoLock lock(m_lock);
    m_format = format;
    ++m_revision;
    for (auto& entry : m_deals)
        for (IVideoDeal* deal : entry.second) deal->OnNotifyFrameSize(m_format);
}

void CVideoDealChain::OnFrame(BYTE* frame, int /*bytes*/, int streamType) {
    CAutoLock lock(m_lock);
    if (m_inLoop) return;  // a frame handed in from inside a processor
    // Whatever buffer this is, a kept still picture is no longer known to
    // be where it was.
    m_stillValid = false;
    Run(frame, streamType, true);
}

bool CVideoDealChain::StillLooks(int streamType, std::vector<uintptr_t>& looks) {
    looks.clear();
    for (auto& entry : m_deals) {
        if (entry.first >= VIDEO_DEAL_OUTPUT) break;
        if (entry.first == VIDEO_DEAL_FACETHIN && streamType != 3) continue;
        for (IVideoDeal* deal : entry.second) {
            IStillEffect* still = dynamic_cast<IStillEffect*>(deal);
            if (!still) return false;
            looks.push_back(still->StillLook());
        }
    }
    return true;
}

void CVideoDealChain::OnStillFrame(BYTE* frame, int bytes, int streamType, const BYTE* picture, bool samePicture) {
    CAutoLock lock(m_lock);
    if (m_inLoop || !frame || !picture) return;
    std::vector<uintptr_t> looks;
    const bool still = StillLooks(streamType, looks);
    const bool keep = samePicture && still && m_stillValid && m_stillFrame == frame && m_stillType == streamType &&
                      m_stillRevision == m_revision && m_stillLooks == looks;
    if (!keep) {
        if (frame != picture && bytes > 0) std::memcpy(frame, picture, static_cast<size_t>(bytes));
        ++m_stillCompositions;
    }
    Run(frame, streamType, !keep);
    // Kept for the next still frame when nothing in it moves; a processor
    // that joined or left during the run shows in the revision.
    m_stillValid = still;
    m_stillFrame = frame;
    m_stillType = streamType;
    m_stillRevision = m_revision;
    m_stillLooks.swap(looks);
}

void CVideoDealChain::Run(BYTE* frame, int streamType, bool compose) {
    std::vector<std::pair<int, IVideoDeal*>> order;
    for (auto& entry : m_deals) {
        if (!compose && entry.first < VIDEO_DEAL_OUTPUT) continue;
        for (IVideoDeal* deal : entry.second) order.push_back(std::make_pair(entry.first, deal));
    }
    m_inLoop = true;
    m_removedInLoop.clear();
    for (auto& step : order) {
        // Colour adjustment and face thinning apply to camera frames only.
        if (step.first == VIDEO_DEAL_FACETHIN && streamType != 3) continue;
        if (!m_removedInLoop.empty() && m_removedInLoop.count(step.second)) continue;
        step.second->DealVideo(frame, &m_format, streamType);
    }
    m_inLoop = false;
    m_removedInLoop.clear();
}

size_t CVideoDealChain::Count() {
    CAutoLock lock(m_lock);
    size_t n = 0;
    for (auto& entry : m_deals) n += entry.second.size();
    return n;
}
