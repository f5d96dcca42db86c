// ZxCamCheck.exe's window, started as the Start-menu shortcut starts it (no
// arguments) in a process of its own on the virtual display, with a writer
// of a known picture on the channel and a stand-in for the main program in
// the launch folder: the window shows that picture (pixels read from the
// screen inside its video area), its figures (read from its controls) move
// on, the camera's start of the program shows, choosing another size in
// its drop-down reconnects at that size, and closing it ends the process
// with exit code 0. Chosen the Media Foundation way (64-bit), it shows the
// writer's picture read through the camera's media source; the 32-bit check
// says that way is 64-bit only.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

#include "CheckWindow.h"
#include "TestSupport.h"
#include "VCamTestSupport.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"

namespace {

// The picture's four quadrants as the eye sees them, 0xRRGGBB.
constexpr unsigned kTopLeft = 0xE03C28, kTopRight = 0x28B450, kBottomLeft = 0x3250DC, kBottomRight = 0xF0DC32;

void FillQuadrants(uint8_t* pixels, int) {
    const int w = vct::ChannelWriter::kWidth, h = vct::ChannelWriter::kHeight;
    for (int row = 0; row < h; ++row) {  // bottom-up: row 0 is the bottom
        const bool top = row >= h / 2;
        for (int x = 0; x < w; ++x) {
            const unsigned c = top ? (x < w / 2 ? kTopLeft : kTopRight) : (x < w / 2 ? kBottomLeft : kBottomRight);
            uint8_t* p = pixels + (static_cast<size_t>(row) * w + x) * 3;
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    }
}

using zxtest::WaitUntil;

std::wstring Text(HWND control) {
    wchar_t text[512] = {};
    // WM_GETTEXT goes to the other process's window, as a screen reader asks.
    SendMessageTimeoutW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
    return text;
}

// The number of frames in the stream figure, "RGB24 W × H · N frames".
long long FrameCount(const std::wstring& stream) {
    const size_t dot = stream.find(L'\u00B7');
    return dot == std::wstring::npos ? -1 : std::wcstoll(stream.c_str() + dot + 1, nullptr, 10);
}

bool Near(COLORREF screen, unsigned rgb) {
    const int r = GetRValue(screen), g = GetGValue(screen), b = GetBValue(screen);
    return std::abs(r - static_cast<int>(rgb >> 16)) <= 8 && std::abs(g - static_cast<int>((rgb >> 8) & 0xFF)) <= 8 &&
           std::abs(b - static_cast<int>(rgb & 0xFF)) <= 8;
}

// Whether the centres of the picture's quadrants on the screen, read from the
// screen itself, are the writer's.
bool PictureOnScreen(HWND video, int width, int height) {
    RECT r;
    GetWindowRect(video, &r);
    // The picture fits the area in its own proportions, centred.
    const int w = r.right - r.left, h = r.bottom - r.top;
    int pw = w, ph = w * height / width;
    if (ph > h) {
        ph = h;
        pw = h * width / height;
    }
    const int x0 = r.left + (w - pw) / 2, y0 = r.top + (h - ph) / 2;
    HDC screen = GetDC(nullptr);
    const COLORREF tl = GetPixel(screen, x0 + pw / 4, y0 + ph / 4);
    const COLORREF tr = GetPixel(screen, x0 + pw * 3 / 4, y0 + ph / 4);
    const COLORREF bl = GetPixel(screen, x0 + pw / 4, y0 + ph * 3 / 4);
    const COLORREF br = GetPixel(screen, x0 + pw * 3 / 4, y0 + ph * 3 / 4);
    ReleaseDC(nullptr, screen);
    return Near(tl, kTopLeft) && Near(tr, kTopRight) && Near(bl, kBottomLeft) && Near(br, kBottomRight);
}

struct FindWindowOf {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK VisitWindow(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindWindowOf*>(lp);
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    if (owner == f->pid && std::wcscmp(cls, camcheck::kWindowClass) == 0 && IsWindowVisible(w)) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND WindowOf(DWORD pid) {
    FindWindowOf find = {pid, nullptr};
    EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// The drop-down's item whose text starts with prefix, or -1.
int FindItem(HWND combo, const std::wstring& prefix) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) >= 256) continue;
        SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        if (std::wstring(text).compare(0, prefix.size(), prefix) == 0) return static_cast<int>(i);
    }
    return -1;
}

// ZxCamCheck.exe started as the Start-menu shortcut starts it, and its
// window; ended at the end (release set first, for a stand-in program).
struct CheckProcess {
    HANDLE process = nullptr;
    HWND window = nullptr;
    HANDLE release = nullptr;
    // In English unless said otherwise: the texts the cases look for. Every
    // start names its language.
    bool Start(const wchar_t* language = L"en") {
        SetEnvironmentVariableW(L"ZXVCAM_LANG", language);
        process = zxtest::StartProcess("\"" + Dir::GetCurrentPath() + "ZxCamCheck.exe\"");
        const DWORD pid = process ? GetProcessId(process) : 0;
        return process && WaitUntil([&] { return (window = WindowOf(pid)) != nullptr; }, 30000);
    }
    // Closes the window; the process's exit code once it ended by itself.
    int Close() {
        PostMessageW(window, WM_CLOSE, 0, 0);
        const int code = zxtest::FinishProcess(process, 30000);
        process = nullptr;
        return code;
    }
    ~CheckProcess() {
        if (release) SetEvent(release);
        zxtest::FinishProcess(process, 0);
        if (release) CloseHandle(release);
    }
};

// Waits until the stream figure starts with prefix ("RGB24 640 × 480") and
// counts at least frames frames.
bool StreamShows(HWND stream, const wchar_t* prefix, long long frames) {
    return WaitUntil([&] { return Text(stream).rfind(prefix, 0) == 0 && FrameCount(Text(stream)) >= frames; });
}

bool EndsWithMs(const std::wstring& a) { return a.size() > 3 && a.compare(a.size() - 3, 3, L" ms") == 0; }

TEST(CheckWindow, ShowsTheLivePictureEitherWayFollowsTheChosenSizeAndClosesCleanly) {
    vct::ComScope com;
    vct::RegisteredFilter filter;
    ASSERT_EQ(S_OK, filter.result());
    vct::RedirectFilterLog("check-window");
    // The stand-in program, which holds the program's single-instance
    // mutex once the camera has started it.
    const std::string folder = zxtest::MakeTempDir("check-window-program");
    ASSERT_TRUE(CopyFileW(Charset::String2WString(Dir::GetCurrentPath() + "ZxLaunchProbe.exe").c_str(),
                          Charset::String2WString(folder + "ZXVCam.exe").c_str(), FALSE));
    zxtest::WriteFile(folder + "hold.txt", "hold");
    vct::ProgramFolderSetting setting(Charset::String2WString(folder).c_str());
    CheckProcess check;
    HANDLE release = check.release = CreateEventW(nullptr, TRUE, FALSE, L"ZxLaunchProbe_Release");
    ASSERT_NE(nullptr, release);

    vct::ChannelWriter writer(&FillQuadrants, true);

    ASSERT_TRUE(check.Start()) << "no window of ZxCamCheck";
    HWND window = check.window;
    HWND video = GetDlgItem(window, camcheck::kIdVideo), formats = GetDlgItem(window, camcheck::kIdFormats);
    HWND fps = GetDlgItem(window, camcheck::kIdFps), age = GetDlgItem(window, camcheck::kIdAge);
    HWND stream = GetDlgItem(window, camcheck::kIdStream), program = GetDlgItem(window, camcheck::kIdProgram);
    ASSERT_TRUE(video && formats && fps && age && stream && program);

    // Every format the camera offers is in the drop-down, 640 x 480 chosen.
    EXPECT_EQ(24, SendMessageW(formats, CB_GETCOUNT, 0, 0));
    const int vga = FindItem(formats, L"640 \u00D7 480");
    const int quarter = FindItem(formats, L"320 \u00D7 240");
    ASSERT_GE(vga, 0);
    ASSERT_GE(quarter, 0);
    EXPECT_EQ(vga, SendMessageW(formats, CB_GETCURSEL, 0, 0));

    // The stream at that size, frames counting.
    ASSERT_TRUE(StreamShows(stream, L"RGB24 640 \u00D7 480", 10)) << Text(stream);
    // The camera started the program (the stand-in), and the window says so.
    EXPECT_TRUE(WaitUntil([&] { return Text(program).find(L"the camera started it") != std::wstring::npos; }, 30000))
        << Text(program);
    // The picture the writer publishes, in the video area.
    EXPECT_TRUE(WaitUntil([&] { return PictureOnScreen(video, 640, 480); }, 10000));
    // The figures move on: more frames, a rate, an age in milliseconds.
    const long long before = FrameCount(Text(stream));
    EXPECT_TRUE(WaitUntil([&] { return FrameCount(Text(stream)) > before; }, 10000)) << Text(stream);
    EXPECT_TRUE(WaitUntil([&] { return std::wcstod(Text(fps).c_str(), nullptr) > 0; }, 10000)) << Text(fps);
    EXPECT_TRUE(WaitUntil([&] { return EndsWithMs(Text(age)); }, 10000)) << Text(age);

    // Another size: the graph is built again at that size.
    SendMessageW(formats, CB_SETCURSEL, static_cast<WPARAM>(quarter), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(camcheck::kIdFormats, CBN_SELCHANGE), reinterpret_cast<LPARAM>(formats));
    EXPECT_TRUE(StreamShows(stream, L"RGB24 320 \u00D7 240", 5)) << Text(stream);
    EXPECT_TRUE(WaitUntil([&] { return PictureOnScreen(video, 320, 240); }, 10000));

    // The program ends: the window follows.
    SetEvent(release);
    EXPECT_TRUE(WaitUntil([&] { return Text(program).rfind(L"not running", 0) == 0; }, 10000)) << Text(program);

    // The Media Foundation way: the camera's source read at 640 x 480 RGB32,
    // frames counting, the writer's picture on the screen. There is no Media
    // Foundation camera for 32-bit programs: the choice says so.
    HWND way = GetDlgItem(window, camcheck::kIdWay);
    ASSERT_TRUE(way);
#ifdef _WIN64
    const int mf = FindItem(way, L"Media Foundation");
    ASSERT_EQ(1, mf);
    SendMessageW(way, CB_SETCURSEL, static_cast<WPARAM>(mf), 0);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(camcheck::kIdWay, CBN_SELCHANGE), reinterpret_cast<LPARAM>(way));
    EXPECT_TRUE(StreamShows(stream, L"RGB32 640 \u00D7 480", 5)) << Text(stream);
    EXPECT_TRUE(WaitUntil([&] { return PictureOnScreen(video, 640, 480); }, 10000));
#else
    EXPECT_EQ(1, SendMessageW(way, CB_GETCOUNT, 0, 0));
    EXPECT_FALSE(IsWindowEnabled(way));
    EXPECT_GE(FindItem(way, L"DirectShow (Media Foundation: 64-bit only)"), 0);
#endif

    // Closed, the process ends by itself, with 0.
    EXPECT_EQ(0, check.Close());
}

// Whether a static control's text fits its width in the control's font.
bool TextFits(HWND control) {
    const std::wstring text = Text(control);
    RECT r;
    GetClientRect(control, &r);
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx <= r.right - r.left;
}

// The window in each language, chosen as a user's Windows chooses it (here
// through ZXVCAM_LANG, which stands in for the display language): its
// title and labels from that language's table, each label whole.
TEST(CheckWindow, SpeaksChineseOrEnglishAndEveryLabelFits) {
    const std::string titleKey = sizeof(void*) == 8 ? "check.title" : "check.title32";
    for (const wchar_t* lang : {L"zh", L"en"}) {
        const Lang::Language language = std::wstring(lang) == L"zh" ? Lang::Language::Chinese : Lang::Language::English;
        const Lang::Table& table = Lang::BuiltIn(language);
        CheckProcess check;
        ASSERT_TRUE(check.Start(lang));
        wchar_t title[128] = {};
        GetWindowTextW(check.window, title, 128);
        EXPECT_EQ(std::wstring(title), *table.Find(titleKey));
        const struct {
            int id;
            const char* key;
        } labels[] = {{camcheck::kIdFormatLabel, "check.format"}, {camcheck::kIdFpsLabel, "check.fps"},
                      {camcheck::kIdAgeLabel, "check.age"},       {camcheck::kIdStreamLabel, "check.stream"},
                      {camcheck::kIdProgramLabel, "check.program"}};
        for (const auto& l : labels) {
            HWND label = GetDlgItem(check.window, l.id);
            EXPECT_EQ(Text(label), *table.Find(l.key)) << l.key;
            EXPECT_TRUE(TextFits(label)) << l.key << " is cut off";
        }
        EXPECT_EQ(0, check.Close());
    }
}

}  // namespace
