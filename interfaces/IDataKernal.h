// "modKernal": the kernel's data module. Frame processors join and leave the
// chain through it.
#pragma once

#include "IVideoDeal.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_KERNAL "modKernal"

class IDataKernal : public IData {
public:
    // True when the processor joined the chain.
    virtual bool AddVideoDeal(IVideoDeal* deal) = 0;
    // Once this returns the processor is never called again.
    virtual void RemoveVideoDeal(IVideoDeal* deal) = 0;
    virtual void RemoveAllVideoDeal() = 0;
};
