// Helpers of the dialog tests: an open dialog, actions run while a modal
// window is up, pictures on disk, and one test's settings file.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ControlsTestSupport.h"
#include "TestSupport.h"

namespace dlgtest {

using duitest::B;
using duitest::G;
using duitest::Pump;
using duitest::R;

// A dialog of the program opened without a modal loop at (0, 0), painted
// and recording its notifications; closed when the object goes.
template <class Dlg>
class OpenDialog : public duitest::WindowDriver {
public:
    template <class... Args>
    explicit OpenDialog(Args&&... args) : dlg(std::forward<Args>(args)...) {
        Open(&dlg, "", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX);
    }
    ~OpenDialog() { Close(); }
    Dlg dlg;
};

// Calls act once, on this thread, when a visible window of this process with
// the class (and title) shows; a timer polls, so also in a modal loop.
class WhenShown {
public:
    WhenShown(const std::wstring& cls, const std::wstring& title, std::function<void(HWND)> act,
              int timeoutMs = static_cast<int>(zxtest::kHangGuardMs));
    ~WhenShown();
    bool Done() const { return m_done; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD);
    void Poll();
    std::wstring m_cls, m_title;
    std::function<void(HWND)> m_act;
    DWORD m_deadline;
    UINT_PTR m_timer = 0;
    bool m_done = false;
};

// Reads and closes every message tip this process shows while alive (polled
// by a timer, so also inside the tips' modal loops), in the order they show.
class TipWatcher {
public:
    TipWatcher();
    ~TipWatcher();
    std::vector<std::string> texts;

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK OnWindow(HWND h, LPARAM);
    static TipWatcher* s_self;
    UINT_PTR m_timer;
    std::set<HWND> m_seen;
};

// The text of a message box window (its static control).
std::wstring MessageBoxText(HWND box);
// Clicks a DuiLib control of the window that hwnd belongs to, by name, with
// real mouse messages; false when there is no such window or control.
bool ClickIn(HWND hwnd, const std::string& control);

// A fresh folder for the test's settings, data, cache and logs; the
// settings file is <folder>ZxVCam.ini and used from now on.
std::string FreshUserFolders(const std::string& name);
// Waits for the log and returns the program's log "Speed.txt".
std::string ReadProgramLog();

// Writes a picture of one colour (0xAARRGGBB) in the format of the file's
// extension (".png", ".jpg", ".bmp").
bool WritePicture(const std::string& path, int cx, int cy, DWORD argb);

// The colour a picture file shows at its centre (0xRRGGBB), read by GDI+;
// 0xFFFFFFFF when it cannot be read.
DWORD PictureCentre(const std::string& path);

}  // namespace dlgtest
