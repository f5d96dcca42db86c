// "modVideoEffectBorder": the border, a decorative picture (usually an
// animated GIF, transparent in the middle) laid over the whole frame. The
// borders are the "*.gif" files of the program's "pendant" folder, each with
// a ".jpg" thumbnail of the same name beside it. The main program's effect
// panel lists them, chooses one and observes "modVideoEffectBorder_ob".
#pragma once

#include <string>
#include <vector>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_VEBORDER "modVideoEffectBorder"
#define ZX_MOD_VEBORDER_OB "modVideoEffectBorder_ob"

// Notification types of "modVideoEffectBorder_ob".
enum eVEBorderMessage {
    // A border was chosen (id, name) or cleared (-1, "").
    VEBORDER_MSG_CHANGED = 0,
};

// One border picture, owned by the module from its Init to its UnInit.
struct VEBorderItem {
    int id;                 // 0, 1, 2 ... in the order the files were found
    std::string name;       // file name without folder and extension
    std::string thumbPath;  // the ".jpg" thumbnail beside the picture
    std::wstring filePath;  // the picture's full path
};

class IDataVEBorder : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_VEBORDER;
    // Appends every item, ids ascending. The items stay the module's: read
    // them, do not keep them past the module's UnInit. The result carries
    // no meaning (always false); the list is what counts.
    virtual bool GetBorderList(std::vector<VEBorderItem*>& list) = 0;
    // The current id, -1 when no border is shown.
    virtual int GetBorder() = 0;
    // Shows the border with this id (-1 clears it). False for an unknown id
    // or a picture that cannot be loaded; the previous border then stays.
    virtual bool SetBorder(int id) = 0;
    // The item's name; "" for -1 or an unknown id.
    virtual std::string GetBorderName(int id) = 0;
};

// Observer of "modVideoEffectBorder_ob" for the main program: reads the
// arguments by position and calls the typed operation.
class IDataVEBorderObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_VEBORDER_OB;
    using ChangedMsg = CNotification<IDataVEBorderObserver, VEBORDER_MSG_CHANGED, int, std::string>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == ChangedMsg::kType) ChangedMsg::Call(args, this, &IDataVEBorderObserver::OnBorderChanged);
    }
    virtual void OnBorderChanged(int id, const std::string& name) {
        (void)id;
        (void)name;
    }
};
