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

namespace {
const std::vector<MenuStep>* g_steps = nullptr;
bool g_shown = false;
void CALLBACK MenuTimer(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = CMenuUI::GetActiveMenuWindow();
    if (!menu || !g_steps) return;
    KillTimer(nullptr, id);
    g_shown = IsWindowVisible(menu) != FALSE;
    for (const MenuStep& s : *g_steps) {
        if (s.to) PostMessageW(s.to, s.msg, s.wParam, s.lParam);
        else SendMessageW(menu, s.msg, s.wParam, s.lParam);
    }
}
}  // namespace

bool RunMenu(const std::function<void()>& open, const std::vector<MenuStep>& steps) {
    g_steps = &steps;
    g_shown = false;
    const UINT_PTR t = SetTimer(nullptr, 0, 30, MenuTimer);
    open();
    KillTimer(nullptr, t);
    g_steps = nullptr;
    return g_shown;
}

namespace {
CGalleryDlg* g_modalDlg = nullptr;
std::function<void()> g_inModal;
void CALLBACK ModalTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (!g_modalDlg || !g_modalDlg->GetHWND() || !IsWindowVisible(g_modalDlg->GetHWND())) return;
    KillTimer(nullptr, id);
    g_inModal();
}
}  // namespace

UINT ShowModalAndRun(CGalleryDlg& dlg, HWND owner, std::function<void()> act) {
    g_modalDlg = &dlg;
    g_inModal = std::move(act);
    const UINT_PTR t = SetTimer(nullptr, 0, 30, ModalTimer);
    const UINT result = dlg.ShowModalDlg(owner, true);
    KillTimer(nullptr, t);
    g_modalDlg = nullptr;
    return result;
}

}  // namespace duitest
