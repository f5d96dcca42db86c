// Helpers of the skin control tests: the window driver shared with the
// skinned-window library tests (DuiTestWindow.h), here for a window built
// from a skin text through CDialogBuilderCallbackEx; real mouse and key
// messages with Shift and Control held in the thread's key state; pictures
// made in memory and on disk.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "DialogBuilderCallbackEx.h"
#include "DuiLib/UIlib.h"
#include "DuiTestWindow.h"

namespace ctltest {

using duitest::B;
using duitest::G;
using duitest::Pump;
using duitest::R;
using duitest::Recorder;

// A colour as the back buffer holds an opaque one (0xAARRGGBB).
const DWORD kSelectedMarkColor = 0xFFFF00FF;   // the test's selected mark picture

// Puts a picture of one colour into the image manager under name.
void AddSolidImage(const std::string& name, int cx, int cy, DWORD argb);
// Writes a PNG file of one colour (straight alpha); true on success.
bool WritePng(const std::string& path, int cx, int cy, DWORD argb);

// Holds keys down in this thread's key state (GetKeyState) while alive.
class HeldKeys {
public:
    HeldKeys(std::initializer_list<int> keys);
    ~HeldKeys();

private:
    std::vector<int> m_keys;
};

class TestDialog : public DuiLib::CZxBaseDialog {
public:
    TestDialog(const std::string& skinPath);

private:
    CDialogBuilderCallbackEx m_callback;
};

// A window built from the skin text (written to a fresh folder that is also
// the skin root), shown at (0, 0) and painted once.
class TestWindow : public duitest::WindowDriver {
public:
    explicit TestWindow(const std::string& skinXml, const std::string& folderName = "skin");
    ~TestWindow();
    TestDialog& dlg() { return *m_dlg; }
    const std::string& Folder() const { return m_folder; }

private:
    std::string m_folder;
    std::unique_ptr<TestDialog> m_dlg;
};

}  // namespace ctltest
