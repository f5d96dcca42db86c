// Helpers of the skinned-window library tests: the shared window driver of
// DuiTestWindow.h, with the gallery window opened at the top-left corner of
// the virtual display and its skin as the skin root for the whole run.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DuiTestWindow.h"
#include "GalleryDlg.h"

namespace duitest {

// The folder of the test program's own gallery skin copy ("...\gallery\").
std::string GallerySkinDir();

// The gallery, shown at (0, 0) and painted once.
class GalleryWindow : public WindowDriver {
public:
    GalleryWindow();
    ~GalleryWindow();
    CGalleryDlg dlg;
};

// A message for the open menu (to null) or posted to another window.
struct MenuStep {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam = 0;
    HWND to = nullptr;
};
// Runs open (it shows a menu and returns when the menu ends) while a timer
// of the menu's loop gives it the steps; false when no menu was shown.
bool RunMenu(const std::function<void()>& open, const std::vector<MenuStep>& steps);

// Shows dlg modally over owner and runs act once from inside its modal loop,
// when its window is visible; what ShowModalDlg returned.
UINT ShowModalAndRun(CGalleryDlg& dlg, HWND owner, std::function<void()> act);

}  // namespace duitest
