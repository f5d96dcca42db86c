// The border: one picture of the "pendant" folder stretched over the whole
// frame, its transparency showing the frame through, animated along the
// GIF's frames by their delays. The data module "modVideoEffectBorder" and a
// chain processor of type 3 (after the logo, before the text). The chosen
// border is remembered by name in "VEBorder"/"BorderName".
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "GdiPlus.h"
#include "IDataVEBorder.h"
#include "IVideoDeal.h"
#include "OverlayBlend.h"

// One frame of the border picture stretched to the frame size, kept as the
// runs of pixels that are not fully transparent (premultiplied BGRA), so a
// video frame only touches the pixels the border covers.
using BorderOverlay = PremultipliedOverlay;

class CVideoEffectBorder : public IDataVEBorder, public IVideoDeal {
public:
    CVideoEffectBorder();
    ~CVideoEffectBorder() override;

    // Finds the borders, registers the module and shows the saved border.
    // Always true.
    bool Init();
    // Leaves the bus and the chain and drops the items; the saved name stays.
    // Safe without a preceding Init and when called twice.
    void UnInit();

    // IDataVEBorder
    bool GetBorderList(std::vector<VEBorderItem*>& list) override;
    int GetBorder() override;
    bool SetBorder(int id) override;
    std::string GetBorderName(int id) override;

    // IVideoDeal
    bool OnNotifyFrameSize(const VideoFrameFormat& format) override;
    void DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) override;
    int GetDealType() override { return VIDEO_DEAL_BORDER; }

    // The id of the first item (ids ascending) with exactly this name; -1.
    virtual int FindBorderByName(const std::string& name);
    // The item's picture path; "" for an unknown id.
    virtual std::wstring GetBorderFilePath(int id);

    // The folder the borders are found in: the resource folder + "pendant".
    static std::string GetBorderFolder();

protected:
    // The clock of the animation, in milliseconds (the system tick count).
    virtual DWORD GetTickNow();
    // Fills files with the full paths of the border pictures of the folder,
    // in a stable order; false when the folder cannot be read.
    virtual bool ListBorderFiles(const std::string& folder, std::vector<std::string>& files);

private:
    CVideoEffectBorder(const CVideoEffectBorder&);
    CVideoEffectBorder& operator=(const CVideoEffectBorder&);

    void FindBorders();
    void DeleteItems();
    const VEBorderItem* FindItem(int id) const;
    bool LoadBorderImage(const std::wstring& path);
    // Draws frame index of image stretched to width x height with GDI+ and
    // keeps the result as an overlay; selects that frame of the image.
    static bool RenderOverlay(Gdiplus::Image* image, const GUID& dimension, int index, int width, int height,
                              BorderOverlay& out);
    // The overlay of the current frame at this size, rendered now when it is
    // not cached yet; null when it cannot be rendered. Under m_lock.
    const BorderOverlay* CurrentOverlay(int width, int height);
    static void BlendOverlay(const BorderOverlay& overlay, BYTE* frame, int stride);
    // Drops the picture and its frame state; takes the border lock.
    void ReleaseBorderImage();
    // Joins or leaves the chain through "modKernal".
    bool AddToChain();
    void RemoveFromChain();
    void SaveBorderName(const std::string& name);
    void NotifyBorder(int id, const std::string& name);

    std::map<int, VEBorderItem*> m_items;
    int m_nextId;
    int m_curId;

    // Guarded by m_lock: the picture and its animation state.
    Gdiplus::Image* m_pImage;
    int m_frameCount;
    int m_curFrame;  // -1 until the first frame is drawn
    DWORD m_lastSwitch;
    // The frame delays in hundredths of a second, one per frame; empty when
    // no picture is loaded.
    std::vector<UINT> m_delays;
    GUID m_timeDimension;
    // The frames drawn so far (or prepared at loading), by frame index, all
    // of one size. Frames beyond the cache's budget are drawn into
    // m_scratch when they are shown.
    std::vector<BorderOverlay> m_overlays;
    size_t m_cachedPixels;
    BorderOverlay m_scratch;
    int m_scratchFrame;
    // The frame size the overlays are prepared for: the last one announced.
    int m_frameWidth;
    int m_frameHeight;
    CRITICAL_SECTION m_lock;
};
