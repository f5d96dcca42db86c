// "modKernal": the kernel's data module. Frame processors join and leave the
// chain through it, and the program learns from it which of the user's
// files could not be read and were set aside.
#pragma once

#include <string>

#include "IVideoDeal.h"
#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_KERNAL "modKernal"
#define ZX_MOD_KERNAL_OB "modKernal_ob"

// "modKernal_ob" messages.
enum {
    // A list file could not be read and was kept aside as a copy (file,
    // copy); the list started empty. TakeSetAsideFile gives each such file
    // once, also those set aside before anyone observed.
    KERNAL_MSG_FILE_SET_ASIDE = 1,
};

class IDataKernal : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_KERNAL;
    // True when the processor joined the chain.
    virtual bool AddVideoDeal(IVideoDeal* deal) = 0;
    // Once this returns the processor is never called again.
    virtual void RemoveVideoDeal(IVideoDeal* deal) = 0;
    virtual void RemoveAllVideoDeal() = 0;
    // The oldest list file not yet taken that could not be read, and where
    // its copy is; false when there is none left.
    virtual bool TakeSetAsideFile(std::string& file, std::string& copy) {
        (void)file;
        (void)copy;
        return false;
    }
};

// Observer of "modKernal_ob" for the main program.
class IDataKernalObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_KERNAL_OB;
    // (string file, string copy); the window reads the pair from the kernel
    // (TakeSetAsideFile), so its handler takes none.
    using FileSetAsideMsg = CNotification<IDataKernalObserver, KERNAL_MSG_FILE_SET_ASIDE, std::string, std::string>;

    void OnMessage(int type, const ArgList&) override {
        if (type == FileSetAsideMsg::kType) OnFileSetAside();
    }
    virtual void OnFileSetAside() = 0;
};
