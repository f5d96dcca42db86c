// "modVideoEffectPendant": the colour filter. Seven built-in filters each
// multiply the red, green and blue channels of every frame by their own
// factors; at most one is on. The effect panel lists them, chooses one and
// observes "modVideoEffectPendant_ob".
#pragma once

#include <string>
#include <vector>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_VIDEOEFFECTPENDANT "modVideoEffectPendant"
#define ZX_MOD_VIDEOEFFECTPENDANT_OB "modVideoEffectPendant_ob"

// Notification types of "modVideoEffectPendant_ob".
enum eVEPendantMessage {
    // The filter changed; arguments (int id, std::string display name):
    // (-1, "") when the filter was cleared.
    VEPENDANT_MSG_CHANGED = 0,
};

// One filter as the module lists it (copies).
struct VEPendantEntry {
    int id;                 // 0 to 6
    std::string name;       // display name, for example "红润"
    std::string thumbPath;  // the filter's thumbnail picture, "...\filter\红润.jpg"
};
typedef std::vector<VEPendantEntry> VEPendantList;

class IDataVideoEffectPendant : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_VIDEOEFFECTPENDANT;
    // Appends one entry per filter, ids ascending. True when entries were
    // appended (false only while the module is not started).
    virtual bool GetPendantList(VEPendantList& list) = 0;
    // Chooses a filter by id, or none with -1. An unknown id changes nothing;
    // choosing the current id again does nothing.
    virtual void SetPendant(int id) = 0;
    // The current id, -1 for none.
    virtual int GetPendant() = 0;
    // The display name of a filter; "" for -1 or an unknown id.
    virtual std::string GetPendantName(int id) = 0;
};

// Observer of "modVideoEffectPendant_ob": unpacks the notification and calls
// the typed operation, which does nothing unless overridden.
class IDataVEPendantObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_VIDEOEFFECTPENDANT_OB;
    using ChangedMsg = CNotification<IDataVEPendantObserver, VEPENDANT_MSG_CHANGED, int, std::string>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == ChangedMsg::kType) ChangedMsg::Call(args, this, &IDataVEPendantObserver::OnPendantChanged);
    }
    virtual void OnPendantChanged(int /*id*/, const std::string& /*name*/) {}
};
