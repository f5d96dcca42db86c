#include "ControlsTestSupport.h"

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace ctltest {

namespace {
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new duitest::GdiplusEnvironment);
}  // namespace

void AddSolidImage(const std::string& name, int cx, int cy, DWORD argb) {
    std::vector<DWORD> px(static_cast<size_t>(cx) * static_cast<size_t>(cy), argb);
    CImageMgr::AddImage(name, CRenderEngine::CreateImage(cx, cy, px.data()));
}

bool WritePng(const std::string& path, int cx, int cy, DWORD argb) {
    CLSID clsid;
    if (!CRenderEngine::FindImageEncoder(L"image/png", clsid)) return false;
    Gdiplus::Bitmap bmp(cx, cy, PixelFormat32bppARGB);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) bmp.SetPixel(x, y, Gdiplus::Color(argb));
    return bmp.Save(Charset::String2WString(path).c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

HeldKeys::HeldKeys(std::initializer_list<int> keys) : m_keys(keys) {
    BYTE state[256];
    GetKeyboardState(state);
    for (int k : m_keys) state[k] |= 0x80;
    SetKeyboardState(state);
}

HeldKeys::~HeldKeys() {
    BYTE state[256];
    GetKeyboardState(state);
    for (int k : m_keys) state[k] &= 0x7F;
    SetKeyboardState(state);
}

TestDialog::TestDialog(const std::string& skinPath) {
    SetWindowClassName("ZxControlsTest");
    SetXMLPath(skinPath);
    SetBuilderCallback(&m_callback);
}

TestWindow::TestWindow(const std::string& skinXml, const std::string& folderName) {
    m_folder = zxtest::MakeTempDir(folderName);
    const std::string skin = m_folder + "test.xml";
    EXPECT_TRUE(zxtest::WriteFile(skin, skinXml));
    CSkinMgr::SetSkinRootPath(m_folder);
    m_dlg = std::make_unique<TestDialog>(skin);
    Open(m_dlg.get(), "controls test", WS_POPUP | WS_SYSMENU);
}

TestWindow::~TestWindow() { Close(); }

}  // namespace ctltest
