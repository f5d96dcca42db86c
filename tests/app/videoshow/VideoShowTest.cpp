#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DialogsTestSupport.h"
#include "DuiTestWindow.h"
#include "IDataCamera.h"
#include "IDataRecordList.h"
#include "KernelTestSupport.h"
#include "TestSupport.h"
#include "WndVideoShow.h"
#include "ZxLib/ZxLib.h"

using namespace DuiLib;

namespace {

::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new duitest::GdiplusEnvironment);

const int kW = CWndVideoShow::kWidth;
const int kH = CWndVideoShow::kHeight;

// "modCamera" for the tests: counts StartCamera and answers what it is told.
class CountingCamera : public IDataCamera {
public:
    CountingCamera() { AfxGetDataManager()->AddData(ZX_MOD_CAMERA, this); }
    ~CountingCamera() override { AfxGetDataManager()->RemoveData(ZX_MOD_CAMERA); }
    void GetCameraList(std::vector<CameraEntry>&) override {}
    int GetCurrentCamera() override { return -1; }
    bool SelectCameraByName(const std::string&) override { return true; }
    bool SelectCamera(int) override { return true; }
    bool GetCameraName(int, std::string&) override { return true; }
    void GetAllFrameSize(std::vector<int>&, std::vector<int>&) override {}
    void SetFrameSize(int, int) override {}
    void GetFrameSize(int& w, int& h) override { w = 640, h = 480; }
    bool StartCamera() override {
        ++starts;
        return startResult;
    }
    void StopCamera() override {}
    void ShowPropertyPage(HWND) override {}
    int starts = 0;
    bool startResult = true;
};

// "modRecordList" for the tests: only the recording time matters here.
class FixedTimeRecords : public IDataRecordList {
public:
    FixedTimeRecords() { AfxGetDataManager()->AddData(ZX_MOD_RECORDLIST, this); }
    ~FixedTimeRecords() override { AfxGetDataManager()->RemoveData(ZX_MOD_RECORDLIST); }
    bool EnumRecords(int) override { return false; }
    int GetRecordDuration(int, int) override { return 0; }
    std::string GetRecordName(int, int) override { return ""; }
    int RenameRecord(int, int, const std::string&) override { return 0; }
    std::string GetRecordThumbnail(int, int) override { return ""; }
    std::string GetRecordPath(int, int) override { return ""; }
    int MoveRecord(int, int, const std::string&) override { return 0; }
    void DeleteRecords(int, const std::vector<int>&, bool) override {}
    void OpenRecordDir(int) override {}
    int StartRecord(int) override { return 1; }
    int GetRecordTime() override { return seconds; }
    void StopRecord() override {}
    int GetRecordingId(int) override { return -1; }
    void TakeSnapshot() override {}
    void EndSnapshot() override {}
    std::string GetDefaultRecordDir(int) override { return ""; }
    int seconds = 0;
};

LRESULT CALLBACK ParentProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

// A top-level window at the display's top-left whose client area holds the
// preview at (0, 0), as the main window's view port does.
HWND MakeParent() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"ZxVideoShowTestParent";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, wc.lpszClassName, L"preview test", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             kW + 40, kH + 40, nullptr, nullptr, wc.hInstance, nullptr);
    UpdateWindow(h);
    return h;
}

// The button pictures as the main window's skin loads them.
void LoadButtonPictures() {
    for (int i = 1; i <= 3; ++i) {
        const std::string name = "btn_VideoWnd_OpenCamera_" + std::to_string(i) + ".png";
        if (CImageMgr::GetImage(name)) continue;
        TImageInfo* image = CRenderEngine::LoadFullPathImageFile(Dir::GetCurrentPath() + "skin\\base\\" + name);
        ASSERT_NE(image, nullptr) << name;
        CImageMgr::AddImage(name, image);
    }
}

// A 24-bit frame (rows bottom-up) whose pixel (x, y), y from the top, is rgb(x, y).
template <class Colour>
std::vector<BYTE> MakeFrame(int w, int h, Colour rgb) {
    const int stride = VideoFrameStride(w, 24);
    std::vector<BYTE> f(static_cast<size_t>(stride) * h);
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x) {
            const unsigned c = rgb(x, h - 1 - row);
            BYTE* p = &f[static_cast<size_t>(row) * stride + x * 3];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    return f;
}

// Four coloured quarters: top-left red, top-right green, bottom-left blue,
// bottom-right white.
std::vector<BYTE> QuarterFrame(int w, int h) {
    return MakeFrame(w, h, [&](int x, int y) -> unsigned {
        return y < h / 2 ? (x < w / 2 ? 0xFF0000 : 0x00FF00) : (x < w / 2 ? 0x0000FF : 0xFFFFFF);
    });
}

std::vector<BYTE> SolidFrame(int w, int h, unsigned rgb) { return MakeFrame(w, h, [rgb](int, int) { return rgb; }); }

// Pixel (x, y) of the composed picture, y from the top, as 0xRRGGBB.
unsigned PicturePixel(const BYTE* bits, int x, int y) {
    const BYTE* p = bits + static_cast<size_t>(kH - 1 - y) * kW * 3 + x * 3;
    return (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[0];
}

// The real chain behind "modKernal", the two modules the preview talks to and
// the preview in a parent window, as the main window creates it.
class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        LoadButtonPictures();
        parent = MakeParent();
        ASSERT_NE(parent, nullptr);
        const RECT rc{0, 0, kW, kH};
        ASSERT_NE(wnd.Create(parent, "", WS_CHILD | WS_VISIBLE, 0, rc), nullptr);
        ASSERT_EQ(AfxGetMessageManager()->GetObserverCount(ZX_MOD_RECORDLIST_OB), 1);
        kernal.AnnounceFormat(640, 480);
        duitest::Pump();
    }
    void TearDown() override {
        wnd.Uninit();
        EXPECT_EQ(AfxGetMessageManager()->GetObserverCount(ZX_MOD_RECORDLIST_OB), 0);
        duitest::Pump();
        DestroyWindow(parent);
    }
    void Frame(std::vector<BYTE>& f, int streamType) { kernal.RunFrame(f, streamType); }
    // Moves, presses and releases with real messages at client points.
    void Send(UINT msg, POINT pt, WPARAM keys = 0) { SendMessageW(wnd.GetHWND(), msg, keys, MAKELPARAM(pt.x, pt.y)); }

    kt::TestKernal kernal;
    CountingCamera camera;
    FixedTimeRecords records;
    HWND parent = nullptr;
    CWndVideoShow wnd;
};

const POINT kInButton{240, 280};
const POINT kOutOfButton{40, 40};

TEST_F(PreviewTest, ShowsA640x480FrameScaledTo480x360OnTheScreenAndA480x360FrameAsItIs) {
    EXPECT_EQ(kernal.chain.AddVideoDeal(&wnd), false) << "the window joined the chain in WM_CREATE";
    std::vector<BYTE> f = QuarterFrame(640, 480);
    Frame(f, VIDEO_STREAM_CAMERA);
    const BYTE* bits = wnd.PreviewBits();
    ASSERT_NE(bits, nullptr);
    // Each quarter of the frame fills a quarter of the picture (no aspect
    // correction); only the seams are blended.
    EXPECT_EQ(PicturePixel(bits, 10, 10), 0xFF0000u);
    EXPECT_EQ(PicturePixel(bits, 237, 177), 0xFF0000u);
    EXPECT_EQ(PicturePixel(bits, 243, 10), 0x00FF00u);
    EXPECT_EQ(PicturePixel(bits, 10, 183), 0x0000FFu);
    EXPECT_EQ(PicturePixel(bits, 479, 359), 0xFFFFFFu);
    EXPECT_EQ(PicturePixel(bits, 240, 280), 0xFFFFFFu) << "no button with a camera source";

    // On the screen, through DirectDraw.
    EXPECT_GT(wnd.Presenter().DDrawCallCount(), 0);
    EXPECT_EQ(wnd.Presenter().LastBltResult(), S_OK);
    // Wine blits on its drawing thread: wait until the screen shows the first
    // quarter (at most 5 s), then check all four.
    const HWND h = wnd.GetHWND();
    kt::PumpUntil([&] {
        if (duitest::ScreenPixel(h, 10, 10) == 0xFF0000u) return true;
        Frame(f, VIDEO_STREAM_CAMERA);
        return false;
    }, 5000);
    EXPECT_EQ(duitest::ScreenPixel(h, 10, 10), 0xFF0000u);
    EXPECT_EQ(duitest::ScreenPixel(h, 470, 10), 0x00FF00u);
    EXPECT_EQ(duitest::ScreenPixel(h, 10, 350), 0x0000FFu);
    EXPECT_EQ(duitest::ScreenPixel(h, 470, 350), 0xFFFFFFu);

    // A 480 x 360 frame is the picture, byte for byte.
    kernal.AnnounceFormat(480, 360);
    std::vector<BYTE> same = QuarterFrame(480, 360);
    same[12345] = 77;
    Frame(same, VIDEO_STREAM_MEDIAFILE);
    EXPECT_EQ(std::memcmp(wnd.PreviewBits(), same.data(), CWndVideoShow::kImageSize), 0);
}

// The recording bar as the preview must draw it over a picture: the grey
// band, the dot and the text, with the same GDI+ calls.
std::vector<BYTE> ExpectedBar(std::vector<BYTE> picture, bool red, const wchar_t* text) {
    Gdiplus::Bitmap bmp(kW, kH, -kW * 3, PixelFormat24bppRGB, picture.data() + static_cast<size_t>(kH - 1) * kW * 3);
    Gdiplus::Graphics g(&bmp);
    g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    Gdiplus::SolidBrush band(Gdiplus::Color(0x807D7873));
    g.FillRectangle(&band, 0, 0, kW, 25);
    Gdiplus::SolidBrush dot(Gdiplus::Color(red ? 0xFFFF0000 : 0xFF00FF00));
    g.FillEllipse(&dot, 5, 5, 14, 14);
    Gdiplus::FontFamily family(L"Times New Roman");
    Gdiplus::Font font(&family, 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    g.DrawString(text, -1, &font, Gdiplus::RectF(25, 5, 180, 25), nullptr, &white);
    return picture;
}

bool SameBar(const BYTE* a, const std::vector<BYTE>& b) {
    // The band is the top 25 rows, the last 25 rows of the bottom-up buffer.
    const size_t from = static_cast<size_t>(kH - 25) * kW * 3;
    return std::memcmp(a + from, b.data() + from, static_cast<size_t>(25) * kW * 3) == 0;
}

TEST_F(PreviewTest, RecordingBarShowsTheSoundTextAndItsDotBlinksWithProgress) {
    std::vector<BYTE> f = SolidFrame(640, 480, 0x204060);
    Frame(f, VIDEO_STREAM_CAMERA);
    const std::vector<BYTE> plain(wnd.PreviewBits(), wnd.PreviewBits() + CWndVideoShow::kImageSize);
    EXPECT_EQ(PicturePixel(plain.data(), 12, 12), 0x204060u) << "no bar while not recording";

    records.seconds = 7;
    IDataRecordListObserver::StateMsg::Send(ZXV_RECORD_RECORDING, ZXV_RECORD_AUDIO);
    ASSERT_TRUE(kt::PumpUntil([&] { return wnd.BlinkOn(); }, zxtest::kHangGuardMs));
    Frame(f, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(PicturePixel(wnd.PreviewBits(), 12, 12), 0xFF0000u) << "red right after the state message";
    EXPECT_TRUE(SameBar(wnd.PreviewBits(), ExpectedBar(plain, true, L"录音中... 00:00:00")));

    const unsigned dots[] = {0x00FF00u, 0xFF0000u, 0x00FF00u};
    for (unsigned dot : dots) {
        const bool before = wnd.BlinkOn();
        IDataRecordListObserver::ProgressMsg::Send(ZXV_RECORD_AUDIO);
        ASSERT_TRUE(kt::PumpUntil([&] { return wnd.BlinkOn() != before; }, zxtest::kHangGuardMs));
        Frame(f, VIDEO_STREAM_CAMERA);
        EXPECT_EQ(PicturePixel(wnd.PreviewBits(), 12, 12), dot);
    }
    // Band, dot and text exactly as drawn for "录音中... 00:00:07", and neither
    // the video text nor another time (so the text is drawn at all).
    EXPECT_TRUE(SameBar(wnd.PreviewBits(), ExpectedBar(plain, false, L"录音中... 00:00:07")));
    EXPECT_FALSE(SameBar(wnd.PreviewBits(), ExpectedBar(plain, false, L"录像中... 00:00:07")));
    EXPECT_FALSE(SameBar(wnd.PreviewBits(), ExpectedBar(plain, false, L"录音中... 00:00:08")));

    // Stopped: the bar goes.
    IDataRecordListObserver::StateMsg::Send(ZXV_RECORD_STOPPED, ZXV_RECORD_AUDIO);
    ASSERT_TRUE(kt::PumpUntil([&] { return wnd.RecordState() == ZXV_RECORD_STOPPED; }, zxtest::kHangGuardMs));
    Frame(f, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(std::memcmp(wnd.PreviewBits(), plain.data(), CWndVideoShow::kImageSize), 0);
}

// The button's look as the picture shows it, compared with its image.
bool ShowsButton(const BYTE* bits, int look) {
    const std::string name = "btn_VideoWnd_OpenCamera_" + std::to_string(look) + ".png";
    TImageInfo* image = CImageMgr::GetImage(name);
    if (!image) return false;
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 150; ++x) {
            const BYTE* p = image->pBits() + (static_cast<size_t>(y) * image->nX + x) * 4;
            const unsigned rgb = (static_cast<unsigned>(p[2]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[0];
            if (PicturePixel(bits, 165 + x, 255 + y) != rgb) return false;
        }
    return true;
}

HCURSOR CursorAfterSetCursor(HWND wnd, POINT client) {
    POINT screen = client;
    ClientToScreen(wnd, &screen);
    SetCursorPos(screen.x, screen.y);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    SendMessageW(wnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(wnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
}

TEST_F(PreviewTest, OpenCameraButtonAndHandCursorOnlyWithoutSource) {
    const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
    std::vector<BYTE> f = SolidFrame(640, 480, 0x000000);
    Frame(f, VIDEO_STREAM_NONE);
    EXPECT_TRUE(ShowsButton(wnd.PreviewBits(), 1)) << "normal look, opaque";
    EXPECT_EQ(CursorAfterSetCursor(wnd.GetHWND(), kInButton), hand);
    EXPECT_NE(CursorAfterSetCursor(wnd.GetHWND(), kOutOfButton), hand);

    Send(WM_MOUSEMOVE, kInButton);
    Frame(f, VIDEO_STREAM_NONE);
    EXPECT_TRUE(ShowsButton(wnd.PreviewBits(), 2)) << "hover look";
    Send(WM_LBUTTONDOWN, kInButton, MK_LBUTTON);
    Frame(f, VIDEO_STREAM_NONE);
    EXPECT_TRUE(ShowsButton(wnd.PreviewBits(), 3)) << "pressed look";
    Send(WM_MOUSEMOVE, kOutOfButton, MK_LBUTTON);
    Send(WM_LBUTTONUP, kOutOfButton);

    // With a camera or media source: no button, no hand, clicks do nothing.
    for (int type : {VIDEO_STREAM_CAMERA, VIDEO_STREAM_MEDIAFILE}) {
        Frame(f, type);
        EXPECT_EQ(PicturePixel(wnd.PreviewBits(), 240, 280), 0u) << type;
        EXPECT_NE(CursorAfterSetCursor(wnd.GetHWND(), kInButton), hand) << type;
        Send(WM_LBUTTONDOWN, kInButton, MK_LBUTTON);
        Send(WM_LBUTTONUP, kInButton);
    }
    EXPECT_EQ(camera.starts, 0);
}

TEST_F(PreviewTest, PressInsideAndReleaseOutsideStartsNothingAndAFailedStartShowsTheTip) {
    std::vector<BYTE> f = SolidFrame(640, 480, 0x000000);
    Frame(f, VIDEO_STREAM_NONE);

    Send(WM_LBUTTONDOWN, kInButton, MK_LBUTTON);
    Send(WM_MOUSEMOVE, kOutOfButton, MK_LBUTTON);
    EXPECT_EQ(wnd.ButtonLook(), CWndVideoShow::LOOK_NORMAL);
    Send(WM_MOUSEMOVE, kInButton, MK_LBUTTON);
    EXPECT_EQ(wnd.ButtonLook(), CWndVideoShow::LOOK_PRESSED) << "back inside while held";
    Send(WM_MOUSEMOVE, kOutOfButton, MK_LBUTTON);
    Send(WM_LBUTTONUP, kOutOfButton);
    EXPECT_EQ(camera.starts, 0);
    EXPECT_EQ(wnd.ButtonLook(), CWndVideoShow::LOOK_NORMAL);
    // A release over the button that follows no press on it starts nothing.
    Send(WM_LBUTTONUP, kInButton);
    EXPECT_EQ(camera.starts, 0);

    // A full click starts the camera.
    Send(WM_LBUTTONDOWN, kInButton, MK_LBUTTON);
    Send(WM_LBUTTONUP, kInButton);
    EXPECT_EQ(camera.starts, 1);
    EXPECT_EQ(wnd.ButtonLook(), CWndVideoShow::LOOK_HOVER);

    // A failed start tells the user with the message tip over the parent.
    camera.startResult = false;
    dlgtest::TipWatcher tips;
    Send(WM_LBUTTONDOWN, kInButton, MK_LBUTTON);
    Send(WM_LBUTTONUP, kInButton);
    EXPECT_EQ(camera.starts, 2);
    EXPECT_EQ(tips.texts.size(), 1u) << "the tip was shown (and closed) before the click returned";
}

TEST_F(PreviewTest, AnUnchangedPictureIsDrawnOnlyOnceASecondAndAfterAPaint) {
    std::vector<BYTE> f = SolidFrame(640, 480, 0x445566);
    Frame(f, VIDEO_STREAM_CAMERA);
    const long first = wnd.Presenter().DDrawCallCount();
    ASSERT_GT(first, 0);
    for (int i = 0; i < 10; ++i) Frame(f, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(wnd.Presenter().DDrawCallCount(), first) << "half a second of the same picture draws nothing";
    for (int i = 0; i < 10; ++i) Frame(f, VIDEO_STREAM_CAMERA);
    const long second = wnd.Presenter().DDrawCallCount();
    EXPECT_GT(second, first) << "once a second all the same";
    // Painted over (another window moved away): drawn at the next frame.
    InvalidateRect(wnd.GetHWND(), nullptr, TRUE);
    UpdateWindow(wnd.GetHWND());
    Frame(f, VIDEO_STREAM_CAMERA);
    const long painted = wnd.Presenter().DDrawCallCount();
    EXPECT_GT(painted, second);
    // Any change is drawn at once.
    std::vector<BYTE> g = SolidFrame(640, 480, 0x445567);
    Frame(g, VIDEO_STREAM_CAMERA);
    EXPECT_GT(wnd.Presenter().DDrawCallCount(), painted);
}


HRESULT WINAPI RefuseDirectDraw(GUID*, LPDIRECTDRAW* out, IUnknown*) {
    if (out) *out = nullptr;
    return DDERR_NODIRECTDRAWHW;
}

TEST_F(PreviewTest, WithDirectDrawRefusedThePictureReachesTheScreenThroughGdi) {
    CDDrawPresenter::SetDirectDrawCreate(&RefuseDirectDraw);
    struct Restore {
        ~Restore() { CDDrawPresenter::SetDirectDrawCreate(nullptr); }
    } restore;
    ASSERT_FALSE(wnd.Presenter().Create(wnd.GetHWND(), kW, kH, 0, 0)) << "DirectDraw is refused";
    const std::string logFile = Dir::GetLogPath() + "Speed.txt";
    const std::string note = "drawn through GDI";
    auto notes = [&] {
        const std::string log = zxtest::ReadFile(logFile);
        int n = 0;
        for (size_t at = log.find(note); at != std::string::npos; at = log.find(note, at + 1)) ++n;
        return n;
    };
    const int before = notes();

    // Top half one colour, bottom half another, seen by no earlier test.
    std::vector<BYTE> f = SolidFrame(640, 480, 0x12AB34);
    const std::vector<BYTE> bottom = SolidFrame(640, 240, 0x5634CD);
    std::memcpy(f.data(), bottom.data(), bottom.size());   // rows are bottom-up
    const HWND h = wnd.GetHWND();
    kt::PumpUntil([&] {
        Frame(f, VIDEO_STREAM_CAMERA);
        return duitest::ScreenPixel(h, 10, 10) == 0x12AB34u;
    }, 5000);
    EXPECT_FALSE(wnd.Presenter().IsReady());
    EXPECT_EQ(duitest::ScreenPixel(h, 10, 10), 0x12AB34u);
    EXPECT_EQ(duitest::ScreenPixel(h, 470, 170), 0x12AB34u);
    EXPECT_EQ(duitest::ScreenPixel(h, 10, 190), 0x5634CDu);
    EXPECT_EQ(duitest::ScreenPixel(h, 470, 350), 0x5634CDu);
    for (int i = 0; i < 3; ++i) Frame(f, VIDEO_STREAM_CAMERA);
    EXPECT_EQ(notes() - before, 1) << "said once in the log";
}

}  // namespace
