// The logo: a fixed picture ("Logo.png" in the resource folder) stamped at its
// natural size 5 pixels from the left and bottom edges of every frame. GDI+
// draws it once, into a premultiplied bitmap of its own size; every frame
// only blends those pixels in.
#pragma once

#include <string>

#include "GdiPlus.h"
#include "IVideoDeal.h"
#include "StillEffect.h"
#include "OverlayBlend.h"

class CVideoEffectLogo : public IVideoDeal, public IStillEffect {
public:
    CVideoEffectLogo();
    ~CVideoEffectLogo();

    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_LOGO; }
    // The logo changes only with the frame format, which the chain follows
    // itself; whether it is drawn from the prepared overlay is the rest.
    uintptr_t StillLook() override { return m_overlayReady ? 1 : 0; }

    // Adds the logo to the chain (true) or removes it (false) through
    // "modKernal"; the result is that of the kernel's AddVideoDeal (true on
    // removal).
    bool EnableLogo(bool enable);

    static std::string GetLogoPath();

private:
    CVideoEffectLogo(const CVideoEffectLogo&);
    CVideoEffectLogo& operator=(const CVideoEffectLogo&);

    void SetLogoAlpha(float alpha);
    bool PrepareOverlay();
    void DrawLogo(BYTE* frame, const VideoFrameFormat* format);

    Gdiplus::Image* m_pImageLogo;
    // Whether loading m_pImageLogo failed. A logo that failed is refused on
    // every later announcement too, rather than joining with no picture.
    bool m_bLoadFailed;
    float m_x, m_y, m_width, m_height;
    Gdiplus::ImageAttributes* m_pAttributes;
    // The logo as drawn with m_pAttributes; prepared when the frame size is
    // announced (the chain's lock keeps frames out meanwhile).
    PremultipliedOverlay m_overlay;
    bool m_overlayReady = false;
};
