// The window's way to a kernel module: by its interface type, so the module's
// name and the cast are written once, in the interface (kModule).
//
//     if (auto* media = KernelModule<IDataMediaList>()) media->Play(id);
//
// Null when the kernel is not loaded or has not registered the module.
#pragma once

#include "ZxMusicCore/ZxMusicCore.h"

template <class T>
T* KernelModule() {
    return static_cast<T*>(AfxGetDataManager()->GetData(T::kModule));
}
