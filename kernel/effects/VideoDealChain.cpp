#include "VideoDealChain.h"

#include <algorithm>
#include <utility>

#include "AutoLock.h"

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
        return;
    }
}

void CVideoDealChain::RemoveAllVideoDeal() {
    CAutoLock lock(m_lock);
    if (m_inLoop)
        for (auto& entry : m_deals) m_removedInLoop.insert(entry.second.begin(), entry.second.end());
    m_deals.clear();
}

void CVideoDealChain::OnFrameFormat(const VideoFrameFormat& format) {
    CAutoLock lock(m_lock);
    m_format = format;
    for (auto& entry : m_deals)
        for (IVideoDeal* deal : entry.second) deal->OnNotifyFrameSize(m_format);
}

void CVideoDealChain::OnFrame(BYTE* frame, int /*bytes*/, int streamType) {
    CAutoLock lock(m_lock);
    if (m_inLoop) return;  // a frame handed in from inside a processor
    std::vector<std::pair<int, IVideoDeal*>> order;
    for (auto& entry : m_deals)
        for (IVideoDeal* deal : entry.second) order.push_back(std::make_pair(entry.first, deal));
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
