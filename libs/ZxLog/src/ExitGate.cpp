#include "ExitGate.h"

#include "ZxLib/ZxLib.h"

namespace zxlog {
namespace {

using LockFn = LONG(NTAPI*)(ULONG flags, ULONG* disposition, ULONG_PTR* cookie);
using UnlockFn = LONG(NTAPI*)(ULONG flags, ULONG_PTR cookie);

struct LoaderLock {
    LockFn lock = nullptr;
    UnlockFn unlock = nullptr;
};

// The loader lock functions of ntdll, found only when running under Wine.
const LoaderLock& WineLoaderLock() {
    static const LoaderLock fns = [] {
        LoaderLock f;
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (ntdll && Process::RunsUnderWine()) {
            f.lock = reinterpret_cast<LockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
            f.unlock =
                reinterpret_cast<UnlockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
            if (!f.lock || !f.unlock) f = LoaderLock();
        }
        return f;
    }();
    return fns;
}

}  // namespace

void ExitGate::Enter() {
    const LoaderLock& fns = WineLoaderLock();
    if (held_ || !fns.lock) return;
    ULONG disposition = 0;
    held_ = fns.lock(0, &disposition, &cookie_) >= 0;
}

void ExitGate::Leave() {
    if (!held_) return;
    WineLoaderLock().unlock(0, cookie_);
    held_ = false;
}

}  // namespace zxlog
