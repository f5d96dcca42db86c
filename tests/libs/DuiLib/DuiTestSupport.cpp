#include "DuiTestSupport.h"

#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace duitest {

namespace {
// GDI+ for the run, with the gallery skin as the skin root from the start.
class GalleryEnvironment : public GdiplusEnvironment {
public:
    void SetUp() override {
        GdiplusEnvironment::SetUp();
        CSkinMgr::SetSkinRootPath(GallerySkinDir());
    }
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new GalleryEnvironment);
}  // namespace

std::string GallerySkinDir() { return Dir::GetCurrentPath() + "gallery\\"; }

GalleryWindow::GalleryWindow() {
    CSkinMgr::SetSkinRootPath(GallerySkinDir());
    Open(&dlg, "gallery test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX);
}

GalleryWindow::~GalleryWindow() { Close(); }

}  // namespace duitest
