// "modVideoEffectFaceThin": colour adjustment and face thinning of camera
// frames (the chain calls it for camera frames only). It stays in the chain
// from Init to UnInit; its settings (section "VEFaceThin") decide what it
// changes:
// - red, green, blue (0 to 100): each channel is scaled by 1 + value / 100,
//   whether or not the thinning is on;
// - thinning on with a stretch ratio r > 0: 2r rows are cut off the top and
//   2r off the bottom and the band between is stretched back to the full
//   height, which makes faces look slimmer.
#pragma once

#include <atomic>
#include <vector>

#include "IDataVEFaceThin.h"
#include "IVideoDeal.h"

class CVideoEffectFaceThin : public IDataVEFaceThin, public IVideoDeal {
public:
    CVideoEffectFaceThin();
    ~CVideoEffectFaceThin() override;

    // Registers the data module, reads the settings and joins the chain.
    // Always true.
    bool Init();
    // Leaves the chain, then the bus.
    void UnInit();

    // IDataVEFaceThin
    bool SetEnable(bool enable) override;
    bool GetEnable() override { return m_bEnable; }
    void SetStretchRatio(int ratio) override;
    int GetStretchRatio() override { return m_stretchRatio; }
    void SetRed(int red) override;
    int GetRed() override { return m_red; }
    void SetGreen(int green) override;
    int GetGreen() override { return m_green; }
    void SetBlue(int blue) override;
    int GetBlue() override { return m_blue; }

    // IVideoDeal
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_FACETHIN; }

private:
    CVideoEffectFaceThin(const CVideoEffectFaceThin&);
    CVideoEffectFaceThin& operator=(const CVideoEffectFaceThin&);

    void SetLevel(std::atomic<int>& level, int value, const char* key);
    void Thin(BYTE* frame, const VideoFrameFormat& format, int ratio);

    // Each setting changes by one store; a frame sees it before or after.
    std::atomic<int> m_stretchRatio;
    std::atomic<bool> m_bEnable;
    std::atomic<int> m_red;
    std::atomic<int> m_green;
    std::atomic<int> m_blue;

    // Frame thread only: a copy of the frame the stretched band is read from,
    // and the ratio and height last reported as too large to stretch.
    std::vector<BYTE> m_source;
    int m_skippedRatio;
    int m_skippedHeight;
};
