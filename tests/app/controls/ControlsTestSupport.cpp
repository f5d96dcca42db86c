#include "ControlsTestSupport.h"

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace ctltest {

namespace {
class GdiplusEnv : public ::testing::Environment {
public:
    void SetUp() override {
        Gdiplus::GdiplusStartupInput in;
        Gdiplus::GdiplusStartup(&m_token, &in, nullptr);
        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    }
    void TearDown() override {
        CImageMgr::RemoveAll();
        CPaintManagerUI::RemoveAllSharedFonts();
        Gdiplus::GdiplusShutdown(m_token);
    }

private:
    ULONG_PTR m_token = 0;
};
::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new GdiplusEnv);

bool PngEncoder(CLSID& out) {
    UINT num = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&num, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> buf(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buf.data());
    if (Gdiplus::GetImageEncoders(num, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < num; ++i)
        if (std::wstring(codecs[i].MimeType) == L"image/png") {
            out = codecs[i].Clsid;
            return true;
        }
    return false;
}
}  // namespace

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void AddSolidImage(const std::string& name, int cx, int cy, DWORD argb) {
    std::vector<DWORD> px(static_cast<size_t>(cx) * static_cast<size_t>(cy), argb);
    CImageMgr::AddImage(name, CRenderEngine::CreateImage(cx, cy, px.data()));
}

bool WritePng(const std::string& path, int cx, int cy, DWORD argb) {
    CLSID clsid;
    if (!PngEncoder(clsid)) return false;
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
    m_dlg = new TestDialog(skin);
    HWND h = m_dlg->Create(nullptr, "controls test", WS_POPUP | WS_SYSMENU, 0, 0, 0, 0, 0);
    EXPECT_TRUE(h != nullptr);
    SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    m_dlg->ShowWindow(true, true);
    pm().AddNotifier(&rec);
    pm().UpdateNow();
    Pump();
}

TestWindow::~TestWindow() {
    pm().RemoveNotifier(&rec);
    if (hwnd()) DestroyWindow(hwnd());
    Pump();
    delete m_dlg;
}

POINT TestWindow::Center(const CControlUI* c) {
    EXPECT_TRUE(c != nullptr);
    if (!c) return POINT{-1, -1};
    const RECT& rc = c->GetPos();
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void TestWindow::Move(POINT pt, WPARAM keys) { SendMessageW(hwnd(), WM_MOUSEMOVE, keys, MAKELPARAM(pt.x, pt.y)); }

void TestWindow::Click(POINT pt, WPARAM keys) {
    Move(pt, keys);
    SendMessageW(hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hwnd(), WM_LBUTTONUP, keys, MAKELPARAM(pt.x, pt.y));
}

void TestWindow::RightClick(POINT pt) {
    Move(pt);
    SendMessageW(hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hwnd(), WM_RBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void TestWindow::DoubleClick(POINT pt) {
    Click(pt);
    SendMessageW(hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void TestWindow::Wheel(POINT pt, int notches) {
    POINT s = pt;
    ClientToScreen(hwnd(), &s);
    SendMessageW(hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(notches * WHEEL_DELTA))),
                 MAKELPARAM(s.x, s.y));
}

void TestWindow::Key(UINT vk) {
    HWND target = GetFocus() ? GetFocus() : hwnd();
    SendMessageW(target, WM_KEYDOWN, vk, 0);
    SendMessageW(target, WM_KEYUP, vk, 0xC0000000);
}

DWORD TestWindow::Pixel(int x, int y) {
    pm().UpdateNow();
    return pm().GetBackBufferPixel(x, y);
}

int TestWindow::CountColor(const RECT& rc, DWORD c) {
    pm().UpdateNow();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x)
            if ((pm().GetBackBufferPixel(x, y) & 0xFFFFFF) == (c & 0xFFFFFF)) ++n;
    return n;
}

int TestWindow::BrightPixels(const RECT& rc, int threshold) {
    pm().UpdateNow();
    int n = 0;
    for (LONG y = rc.top; y < rc.bottom; ++y)
        for (LONG x = rc.left; x < rc.right; ++x) {
            DWORD p = pm().GetBackBufferPixel(x, y);
            if (R(p) + G(p) + B(p) > threshold) ++n;
        }
    return n;
}

}  // namespace ctltest
