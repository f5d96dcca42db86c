#include "SingleInstance.h"

#include "DialogCommon.h"
#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"
#include "ZxVCamDlg.h"

namespace SingleInstance {

const wchar_t* const kMutexName = L"Velmo_ZxVCam_2014-1-2";

namespace {

// The other copy's main window: a top-level window carrying the mark.
HWND FindMarkedWindow() {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w && IsWindow(w); w = GetWindow(w, GW_HWNDNEXT))
        if (GetPropW(w, CZxVCamDlg::kWindowMark)) return w;
    return nullptr;
}

}  // namespace

bool IsOtherInstanceRunning(DWORD attemptWaitMs) {
    // The user's descriptor (ZxLib/ObjectSecurity.h): every copy of this
    // user opens it, elevated or not, and no other account can take or
    // change it (a null DACL let any process hold or re-secure it).
    ObjectSecurity::SharedObjectSecurity security(ObjectSecurity::Kind::Mutex);
    HANDLE mutex = CreateMutexW(security.Attributes(), FALSE, kMutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS) return false;   // kept open for the life of the process

    for (int attempt = 0; attempt < 3; ++attempt) {
        if (HWND other = FindMarkedWindow()) {
            ShowWindow(other, SW_SHOWNORMAL);
            SetForegroundWindow(other);
            if (mutex) CloseHandle(mutex);
            return true;
        }
        Sleep(attemptWaitMs);
    }
    // No window after three tries: the other copy hangs.
    ZxDlg::Log(2, "main", "another copy holds the mutex but shows no window; ending it");
    if (!Process::KillOtherInstance()) {
        Sleep(500);
        if (!Process::KillOtherInstance())
            MessageBoxW(nullptr,
                        L"系统中还有维莫美化视频进程没有退出,\n请从任务管理器中关闭ZxVCam.exe进程,稍后再运行.",
                        L"维莫美化视频", MB_OK);
    }
    if (mutex) CloseHandle(mutex);
    return true;
}

}  // namespace SingleInstance
