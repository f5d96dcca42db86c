// Helpers of the skinned-window library tests: the shared window driver of
// DuiTestWindow.h, with the gallery window opened at the top-left corner of
// the virtual display and its skin as the skin root for the whole run.
#pragma once

#include <string>

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

}  // namespace duitest
