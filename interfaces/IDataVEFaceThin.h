// "modVideoEffectFaceThin": colour adjustment and face thinning of camera
// frames, driven by the camera panel. Red, green and blue (0 to 100) raise
// their channel by that many percent; thinning cuts 2 x ratio rows off the
// top and the bottom of the picture and stretches the rest back to full
// height. No operation notifies.
#pragma once

#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_VIDEOEFFECTFACETHIN "modVideoEffectFaceThin"

class IDataVEFaceThin : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_VIDEOEFFECTFACETHIN;
    // Switches the thinning on or off (the colour adjustment is independent
    // of it); saved at once. Returns true.
    virtual bool SetEnable(bool enable) = 0;
    virtual bool GetEnable() = 0;
    // The thinning strength, clamped to 0 to 100; saved at once.
    virtual void SetStretchRatio(int ratio) = 0;
    virtual int GetStretchRatio() = 0;
    // The channel levels, 0 to 100; a value outside that range is ignored.
    // Saved at once.
    virtual void SetRed(int red) = 0;
    virtual int GetRed() = 0;
    virtual void SetGreen(int green) = 0;
    virtual int GetGreen() = 0;
    virtual void SetBlue(int blue) = 0;
    virtual int GetBlue() = 0;
};
