// The colour filter "modVideoEffectPendant": tints every frame, whatever its
// source, with one of seven built-in filters (or none). The chosen filter is
// kept in the settings ("VEPendant", "PendantID") and comes back at the next
// start. Each filter's factors can be overridden in the same section under
// its key stem plus "R", "G" or "B" (for example "HuaiJiuB=0.5").
#pragma once

#include <atomic>
#include <map>
#include <string>

#include "IDataVideoEffectPendant.h"
#include "IVideoDeal.h"
#include "StillEffect.h"

class CVideoEffectPendant : public IDataVideoEffectPendant, public IVideoDeal, public IStillEffect {
public:
    // One filter.
    struct PendantItem {
        int id;
        std::string name;
        std::string thumbPath;
        double red, green, blue;
        std::string keyStem;
    };

    CVideoEffectPendant();
    ~CVideoEffectPendant() override;

    // Builds the filters (reading the factor overrides), registers the data
    // module and, when a filter was saved, joins the chain. Always true.
    bool Init();
    // Leaves the chain and the bus and drops the filters; the saved id stays.
    void UnInit();

    // IDataVideoEffectPendant
    bool GetPendantList(VEPendantList& list) override;
    void SetPendant(int id) override;
    int GetPendant() override;
    std::string GetPendantName(int id) override;

    // IVideoDeal
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_PENDANT; }
    // The filter chosen is all that decides what it draws.
    uintptr_t StillLook() override { return reinterpret_cast<uintptr_t>(m_pCurrentItem.load()); }

    // The filter of an id, or null (valid until UnInit).
    const PendantItem* FindItem(int id) const;

private:
    CVideoEffectPendant(const CVideoEffectPendant&);
    CVideoEffectPendant& operator=(const CVideoEffectPendant&);

    void BuildItems();
    void Notify(int id, const std::string& name);

    std::map<int, PendantItem> m_items;
    int m_currentId;
    // Read by the frame thread; replaced by one store. Items are dropped only
    // in UnInit, after the module has left the chain.
    std::atomic<const PendantItem*> m_pCurrentItem;
    bool m_bInit;
};
