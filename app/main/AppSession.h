// The start-up and shutdown of every program that shows our skinned windows
// (ZxVCam.exe, the main-window demo, the dialog viewer, the gallery and the
// window tests), in the one order that is safe:
//
//   up:   GDI+, COM on this thread (the shell's folder browser needs it), the
//         module bus and through it the kernel (when asked for), the skin
//         folder, the instance the windows are made from and the language
//         their texts are in;
//   down: the main window (closed if it still exists, then deleted), then the
//         kernel, so no notification or frame can reach a window that is
//         gone; the shared pictures and fonts; COM; GDI+ last.
//
// The object is made at the top of main and lives until its end; the window
// made in between is handed over with AdoptWindow.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace DuiLib {
class CWindowWnd;
}

class CAppSession {
public:
    struct Options {
        // The skin folder, ending in a backslash.
        std::string skinRoot;
        // The module bus and the data libraries (the kernel) in this process.
        bool loadKernel = true;
    };

    CAppSession(HINSTANCE instance, const Options& options);
    ~CAppSession();
    CAppSession(const CAppSession&) = delete;
    CAppSession& operator=(const CAppSession&) = delete;

    // Whether every data library loaded (false too when none was asked for).
    bool KernelLoaded() const { return m_kernelLoaded; }

    // The main window of this run, made with new: the session ends it before
    // the kernel goes. onDeleted runs right after the delete (to clear the
    // program's own pointer to it).
    void AdoptWindow(DuiLib::CWindowWnd* window, std::function<void()> onDeleted = {});
    // Ends the adopted window now: WM_CLOSE while it still exists, then the
    // delete. Nothing when there is none.
    void EndWindow();
    // Unloads and loads the kernel again (the demo does, after it wrote the
    // lists the kernel reads at load); the adopted window is ended first.
    bool ReloadKernel();

private:
    ULONG_PTR m_gdiplusToken = 0;
    bool m_com = false;
    bool m_kernel = false;
    bool m_kernelLoaded = false;
    DuiLib::CWindowWnd* m_window = nullptr;
    std::function<void()> m_onDeleted;
};
