#include "CheckWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <string>
#include <vector>

#include "CamCheck.h"
#include "ZxLib/Lang.h"
#include "MFCheck.h"

#include <strsafe.h>

namespace camcheck {

namespace {

// The program's look (resources/skin/LOOK.md).
constexpr COLORREF kBase = RGB(0x0F, 0x16, 0x24);       // window base
constexpr COLORREF kVideoBack = RGB(0x0A, 0x0F, 0x1A);  // behind the picture
constexpr COLORREF kFrame = RGB(0x30, 0x3E, 0x56);      // 1 px frames
constexpr COLORREF kRaised = RGB(0x1F, 0x2B, 0x40);     // a plain control
constexpr COLORREF kHot = RGB(0x29, 0x38, 0x52);        // ... under the mouse or open
constexpr COLORREF kListBack = RGB(0x11, 0x18, 0x27);   // the dropped list
constexpr COLORREF kAccent = RGB(0xF0, 0x82, 0x14);
constexpr COLORREF kText = RGB(0xE6, 0xEC, 0xF5);
constexpr COLORREF kHint = RGB(0x9F, 0xB0, 0xC8);
constexpr COLORREF kDim = RGB(0x5D, 0x6B, 0x82);
constexpr wchar_t kFace[] = L"Microsoft YaHei";

constexpr wchar_t kVideoClass[] = L"ZxCamCheckVideo";
constexpr UINT_PTR kTimerPicture = 1;  // a new sample to show, every 40 ms
constexpr UINT_PTR kTimerFigures = 2;  // the figures, every 250 ms
constexpr int kIdSubtitle = 111;

// Layout at 96 DPI; scaled by the window's DPI.
constexpr int kInset = 22;             // body insets
constexpr int kControlHeight = 30;     // buttons and inputs
constexpr int kVideoTop = 92;
constexpr int kFiguresHeight = 104;    // two rows of label and value
constexpr int kDefaultVideoWidth = 560, kDefaultVideoHeight = 420;

int Dpi(HWND window) {
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpi && window) {
        const UINT dpi = getDpi(window);
        if (dpi) return static_cast<int>(dpi);
    }
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// Per-monitor DPI awareness (v2) where the system has it, else the system
// DPI; either way the window scales its own layout and fonts.
void BeDpiAware() {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    typedef BOOL(WINAPI * SetContextFn)(HANDLE);
    const auto setContext = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) return;
    SetProcessDPIAware();
}

std::wstring Format1(const wchar_t* format, double value) {
    wchar_t text[64];
    StringCchPrintfW(text, 64, format, value);
    return text;
}

// Sets a control's text only when it changed (no flicker, no needless paint).
void SetText(HWND control, const std::wstring& text) {
    wchar_t now[512] = {};
    GetWindowTextW(control, now, 512);
    if (text != now) SetWindowTextW(control, text.c_str());
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    SetDCBrushColor(dc, colour);
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void RoundBox(HDC dc, const RECT& r, int radius, COLORREF fill, COLORREF rim) {
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    SetDCBrushColor(dc, fill);
    SetDCPenColor(dc, rim);
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius * 2, radius * 2);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

class CheckWindow {
public:
    int Run(HINSTANCE instance, int show);

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK VideoProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK ComboProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
    LRESULT Handle(UINT message, WPARAM wp, LPARAM lp);

    int S(int value) const { return MulDiv(value, m_dpi, 96); }
    void Create();
    void MakeFonts();
    void Layout();
    void OpenCamera();
    void OpenMFCamera();
    void Connect(int width, int height);
    void ConnectMF(int width, int height);
    void StopMF();
    void ReadMF();
    void ShowError(const char* key, HRESULT hr);  // the text of key and the error code
    void ShowPicture();
    void ShowFigures();
    void PaintVideo(HDC dc, const RECT& area);
    void PaintCombo(HWND combo, HDC dc);
    void DrawItem(const DRAWITEMSTRUCT& item);

    HINSTANCE m_instance = nullptr;
    HWND m_window = nullptr, m_video = nullptr, m_formats = nullptr, m_way = nullptr;
    WNDPROC m_comboProc = nullptr;
    int m_dpi = 96;
    HFONT m_text = nullptr, m_title = nullptr, m_hint = nullptr;
    HBRUSH m_baseBrush = nullptr, m_listBrush = nullptr;

    Client m_client;
    // The Media Foundation way: the reader, read on a thread of its own
    // (its reads block until a sample comes), which records each picture
    // in m_client's figures.
    bool m_mf = false;
    MFReader m_reader{false};
    std::thread m_mfThread;
    std::atomic<bool> m_mfStop{false};
    std::atomic<HRESULT> m_mfError{S_OK};
    bool m_open = false, m_running = false;
    std::vector<Format> m_formatList;
    std::wstring m_message;             // shown in the video area without a picture
    std::wstring m_launchFolder;
    bool m_programBefore = false;       // the program ran when the graph started
    double m_runUs = 0;
    double m_startedAfterS = -1;        // the program appeared this long after Run
    uint64_t m_shownSamples = 0;
    std::vector<uint8_t> m_pixels;      // the newest picture, 24-bit bottom-up
    int m_width = 0, m_height = 0;
};

int CheckWindow::Run(HINSTANCE instance, int show) {
    m_instance = instance;
    BeDpiAware();
    m_baseBrush = CreateSolidBrush(kBase);
    m_listBrush = CreateSolidBrush(kListBack);

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CheckWindow::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon) wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    wc.hbrBackground = m_baseBrush;
    wc.lpszClassName = kWindowClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = &CheckWindow::VideoProc;
    wc.hbrBackground = nullptr;
    wc.hIcon = wc.hIconSm = nullptr;
    wc.lpszClassName = kVideoClass;
    RegisterClassExW(&wc);

    const std::wstring title = Lang::Text(sizeof(void*) == 8 ? "check.title" : "check.title32");
    m_window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT,
                               CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
    if (!m_window) return 3;
    m_dpi = Dpi(m_window);
    Create();
    // The client area for the default picture size at this DPI.
    RECT r = {0, 0, S(kInset * 2 + kDefaultVideoWidth), S(kVideoTop + kDefaultVideoHeight + kFiguresHeight + 14)};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(m_window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(m_window, show);
    UpdateWindow(m_window);
    OpenCamera();
    SetTimer(m_window, kTimerPicture, 40, nullptr);
    SetTimer(m_window, kTimerFigures, 250, nullptr);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    for (HFONT f : {m_text, m_title, m_hint})
        if (f) DeleteObject(f);
    DeleteObject(m_baseBrush);
    DeleteObject(m_listBrush);
    return static_cast<int>(msg.wParam);
}

void CheckWindow::MakeFonts() {
    for (HFONT f : {m_text, m_title, m_hint})
        if (f) DeleteObject(f);
    auto font = [&](int px, int weight) {
        return CreateFontW(-S(px), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, kFace);
    };
    m_text = font(13, FW_NORMAL);
    m_title = font(14, FW_BOLD);
    m_hint = font(12, FW_NORMAL);
    for (HWND child = GetWindow(m_window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        HFONT f = id == kIdTitle ? m_title : (id >= kIdFormatLabel || id == kIdSubtitle) ? m_hint : m_text;
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(f), FALSE);
    }
    for (HWND combo : {m_formats, m_way}) {
        if (!combo) continue;
        // The closed drop-down is an input, 30 px high; its items a little less.
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), S(kControlHeight) - 6);
        SendMessageW(combo, CB_SETITEMHEIGHT, 0, S(24));
    }
}

void CheckWindow::Create() {
    auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
        return CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, m_window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), m_instance, nullptr);
    };
    const DWORD label = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
    make(L"STATIC", kCameraName, label, kIdTitle);
    make(L"STATIC",
         Lang::Text(sizeof(void*) == 8 ? "check.opened64" : "check.opened32").c_str(),
         label, kIdSubtitle);
    make(L"STATIC", Lang::Text("check.format").c_str(), label | SS_CENTERIMAGE, kIdFormatLabel);
    const DWORD combo = CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_VSCROLL | WS_TABSTOP;
    m_formats = make(L"COMBOBOX", L"", combo, kIdFormats);
    m_way = make(L"COMBOBOX", L"", combo, kIdWay);
    for (HWND c : {m_formats, m_way}) {
        m_comboProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CheckWindow::ComboProc)));
        SetWindowLongPtrW(c, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    if (sizeof(void*) == 8) {
        SendMessageW(m_way, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"DirectShow"));
        SendMessageW(m_way, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Media Foundation"));
    } else {
        // The Media Foundation camera is a 64-bit module: a 32-bit program
        // never reads it, so this check cannot either.
        SendMessageW(m_way, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Lang::Text("check.way.dsonly").c_str()));
        EnableWindow(m_way, FALSE);
    }
    SendMessageW(m_way, CB_SETCURSEL, 0, 0);
    m_video = CreateWindowExW(0, kVideoClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, m_window,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kIdVideo)), m_instance, this);
    make(L"STATIC", Lang::Text("check.fps").c_str(), label, kIdFpsLabel);
    make(L"STATIC", L"-", label, kIdFps);
    make(L"STATIC", Lang::Text("check.age").c_str(), label, kIdAgeLabel);
    make(L"STATIC", L"-", label, kIdAge);
    make(L"STATIC", Lang::Text("check.stream").c_str(), label, kIdStreamLabel);
    make(L"STATIC", L"-", label, kIdStream);
    make(L"STATIC", Lang::Text("check.program").c_str(), label, kIdProgramLabel);
    make(L"STATIC", L"-", label, kIdProgram);
    MakeFonts();
    Layout();
}

void CheckWindow::Layout() {
    RECT client;
    GetClientRect(m_window, &client);
    const int w = client.right, h = client.bottom;
    const int left = S(kInset), inner = std::max(w - 2 * S(kInset), S(100));
    auto place = [&](int id, int x, int y, int cx, int cy) {
        SetWindowPos(GetDlgItem(m_window, id), nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
    };
    // The title line.
    HDC dc = GetDC(m_window);
    HGDIOBJ old = SelectObject(dc, m_title);
    SIZE title = {};
    GetTextExtentPoint32W(dc, kCameraName, static_cast<int>(wcslen(kCameraName)), &title);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
    place(kIdTitle, left, S(16), title.cx + S(4), S(22));
    place(kIdSubtitle, left + title.cx + S(12), S(18), std::max(inner - static_cast<int>(title.cx) - S(12), S(10)), S(20));
    // The format line.
    place(kIdFormatLabel, left, S(46), S(56), S(kControlHeight));
    const int formats = std::min(S(300), inner - S(60));
    place(kIdFormats, left + S(60), S(46), formats, S(360));
    place(kIdWay, left + S(72) + formats, S(46), std::max(inner - S(72) - formats, S(10)), S(120));
    // The picture, then two rows of figures under it.
    const int videoHeight = std::max(h - S(kVideoTop) - S(kFiguresHeight) - S(14), S(60));
    place(kIdVideo, left, S(kVideoTop), inner, videoHeight);
    int y = S(kVideoTop) + videoHeight + S(16);
    // The rate and the age are short; the stream's line is the longest.
    const int ids[3][2] = {{kIdFpsLabel, kIdFps}, {kIdAgeLabel, kIdAge}, {kIdStreamLabel, kIdStream}};
    const int starts[4] = {0, inner * 26 / 100, inner * 56 / 100, inner};
    for (int i = 0; i < 3; ++i) {
        const int cx = starts[i + 1] - starts[i] - (i < 2 ? S(12) : 0);
        place(ids[i][0], left + starts[i], y, cx, S(18));
        place(ids[i][1], left + starts[i], y + S(19), cx, S(22));
    }
    y += S(48);
    place(kIdProgramLabel, left, y, inner, S(18));
    place(kIdProgram, left, y + S(19), inner, S(22));
    InvalidateRect(m_window, nullptr, TRUE);
}

void CheckWindow::OpenCamera() {
    StopMF();
    m_reader.Close();
    m_client.Close();
    m_open = m_running = false;
    m_pixels.clear();
    m_formatList.clear();
    SendMessageW(m_formats, CB_RESETCONTENT, 0, 0);
    EnableWindow(m_formats, TRUE);
    if (m_mf) {
        OpenMFCamera();
    } else {
        // Exactly the console mode's way in: the device from the system
        // device enumerator, bound to its filter, then the capture graph.
        const HRESULT hr = m_client.Open(kCameraName);
        if (hr == VFW_E_NOT_FOUND) {
            m_message = Lang::Text("check.msg.nocamera");
            EnableWindow(m_formats, FALSE);
        } else if (FAILED(hr)) {
            ShowError("check.err.open", hr);
        } else {
            m_open = true;
            m_formatList = m_client.Formats();
        }
    }
    if (!m_open) {
        InvalidateRect(m_video, nullptr, FALSE);
        ShowFigures();
        return;
    }
    int chosen = -1;
    for (const Format& f : m_formatList) {
        wchar_t text[128];
        StringCchPrintfW(text, 128, L"%d \u00D7 %d   %ls, %.0f fps", f.width, f.height, SubtypeName(f.subtype).c_str(),
                 FramesPerSecond(f.interval));
        const LRESULT item = SendMessageW(m_formats, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        SendMessageW(m_formats, CB_SETITEMDATA, static_cast<WPARAM>(item), f.index);
        // 640 x 480 first, as video-call programs ask for it.
        if (chosen < 0 && f.width == 640 && f.height == 480) chosen = static_cast<int>(item);
    }
    if (m_formatList.empty()) {
        m_message = Lang::Text("check.msg.noformats");
        InvalidateRect(m_video, nullptr, FALSE);
        return;
    }
    if (chosen < 0) chosen = 0;
    SendMessageW(m_formats, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    const Format& f = m_formatList[static_cast<size_t>(chosen)];
    Connect(f.width, f.height);
}

void CheckWindow::ShowError(const char* key, HRESULT hr) {
    wchar_t code[16];
    StringCchPrintfW(code, 16, L"%08lX", static_cast<unsigned long>(hr));
    m_message = Lang::Format("check.err.code", {Lang::Text(key), code});
}

void CheckWindow::OpenMFCamera() {
    // Exactly the --mf console mode's way in; its types become the
    // drop-down's formats.
    std::wstring how;
    const HRESULT hr = m_reader.Open(kCameraName, how);
    if (hr == MF_E_NOT_FOUND) {
        m_message = Lang::Text("check.msg.nomf");
        EnableWindow(m_formats, FALSE);
        return;
    }
    if (FAILED(hr)) {
        ShowError("check.err.openmf", hr);
        return;
    }
    m_open = true;
    const std::vector<MFReader::Type>& types = m_reader.Types();
    for (size_t i = 0; i < types.size(); ++i) {
        Format f;
        f.index = static_cast<int>(i);
        f.subtype = types[i].subtype;
        f.width = types[i].width;
        f.height = types[i].height;
        f.interval = types[i].fps > 0 ? static_cast<REFERENCE_TIME>(1e7 / types[i].fps + 0.5) : 0;
        m_formatList.push_back(f);
    }
}

void CheckWindow::ConnectMF(int width, int height) {
    // A new size: the reader is made again, as a program that changes its
    // resolution does.
    StopMF();
    m_reader.Close();
    std::wstring how;
    HRESULT hr = m_reader.Open(kCameraName, how);
    if (SUCCEEDED(hr)) hr = m_reader.Select(width, height);
    if (hr == E_INVALIDARG) {
        m_message = Lang::Text("check.msg.norgb32");
    } else if (FAILED(hr)) {
        ShowError("check.err.reader", hr);
    } else {
        m_client.Restart(width, height);
        m_launchFolder = LaunchFolder();
        m_programBefore = ProgramRunning();
        m_startedAfterS = -1;
        m_runUs = Clock::NowUs();
        m_mfStop = false;
        m_mfError = S_OK;
        m_mfThread = std::thread(&CheckWindow::ReadMF, this);
        m_running = true;
        m_message = Lang::Text("check.msg.waiting");
    }
}

void CheckWindow::ReadMF() {
    // The source and the reader are free-threaded: this thread joins the
    // process's multithreaded apartment the window's thread is in.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::vector<uint8_t> picture;
    while (!m_mfStop) {
        LONGLONG stamp = 0;
        const HRESULT hr = m_reader.Read(picture, stamp);
        if (FAILED(hr)) {
            m_mfError = hr;
            break;
        }
        if (hr == S_OK) m_client.Record(picture.data(), picture.size());
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

void CheckWindow::StopMF() {
    // A read ends with the next sample, which the camera sends at its rate
    // (the placeholder when there is no frame), so the thread ends soon.
    m_mfStop = true;
    if (m_mfThread.joinable()) m_mfThread.join();
}

void CheckWindow::Connect(int width, int height) {
    // A new size: the graph is built again around the device, as a program
    // that changes its resolution does.
    m_running = false;
    m_pixels.clear();
    m_width = m_height = 0;
    m_shownSamples = 0;
    if (m_mf) {
        ConnectMF(width, height);
        InvalidateRect(m_video, nullptr, FALSE);
        ShowFigures();
        return;
    }
    HRESULT hr = m_client.Open(kCameraName);
    if (SUCCEEDED(hr)) hr = m_client.Select(width, height);
    if (hr == E_INVALIDARG) {
        m_message = Lang::Text("check.msg.norgb24");
    } else if (SUCCEEDED(hr) && SUCCEEDED(hr = m_client.Connect())) {
        m_launchFolder = LaunchFolder();
        m_programBefore = ProgramRunning();
        m_startedAfterS = -1;
        m_runUs = Clock::NowUs();
        hr = m_client.Run();
        m_running = SUCCEEDED(hr);
    }
    if (!m_running && hr != E_INVALIDARG) {
        ShowError("check.err.graph", hr);
    } else if (m_running) {
        m_message = Lang::Text("check.msg.waiting");
    }
    InvalidateRect(m_video, nullptr, FALSE);
    ShowFigures();
}

void CheckWindow::ShowPicture() {
    if (!m_running) return;
    const HRESULT failed = m_mfError;
    if (m_mf && FAILED(failed)) {
        // The Media Foundation stream ended or failed: the reason instead
        // of a picture that no longer changes.
        StopMF();
        m_running = false;
        m_pixels.clear();
        ShowError("check.err.read", failed);
        InvalidateRect(m_video, nullptr, FALSE);
        return;
    }
    uint64_t samples = 0;
    double last = 0;
    m_client.Clock(samples, last);
    if (samples == m_shownSamples) return;
    m_shownSamples = samples;
    if (m_client.NewestPicture(m_pixels, m_width, m_height)) InvalidateRect(m_video, nullptr, FALSE);
}

void CheckWindow::ShowFigures() {
    HWND fps = GetDlgItem(m_window, kIdFps), age = GetDlgItem(m_window, kIdAge);
    HWND stream = GetDlgItem(m_window, kIdStream), program = GetDlgItem(m_window, kIdProgram);
    const bool running = ProgramRunning();
    if (m_running && !m_programBefore && running && m_startedAfterS < 0) m_startedAfterS = (Clock::NowUs() - m_runUs) / 1e6;
    std::wstring state;
    if (running && m_startedAfterS >= 0) {
        state = Lang::Format("check.state.started", {Format1(L"%.1f", m_startedAfterS)});
    } else if (running) {
        state = Lang::Text("check.state.running");
    } else if (m_startedAfterS >= 0) {
        state = Lang::Text("check.state.ended");
    } else if (m_launchFolder.empty()) {
        state = Lang::Text("check.state.nofolder");
    } else {
        state = Lang::Text("check.state.notrunning");
    }
    SetText(program, state);
    if (!m_running) {
        SetText(fps, L"-");
        SetText(age, L"-");
        SetText(stream, Lang::Text(m_open ? "check.stream.notconnected" : "check.stream.nocamera"));
        return;
    }
    const Figures f = m_client.Now();
    SetText(fps, f.samples >= 2 ? Format1(L"%.1f", f.fps) : std::wstring(L"-"));
    if (f.publisherLive && f.newestAgeMs >= 0) {
        SetText(age, Lang::Format("check.age.ms", {Format1(L"%.0f", f.newestAgeMs)}));
    } else {
        SetText(age, Lang::Text(f.newestAgeMs >= 0 ? "check.age.stale" : "check.age.none"));
    }
    SetText(stream, Lang::Format("check.stream.figures", {m_mf ? L"RGB32" : L"RGB24", std::to_wstring(f.width),
                                                          std::to_wstring(f.height), std::to_wstring(f.samples)}));
}

void CheckWindow::PaintVideo(HDC dc, const RECT& area) {
    Fill(dc, area, kVideoBack);
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (!m_pixels.empty() && m_width > 0 && m_height > 0) {
        // The whole picture, as large as fits, in its own proportions.
        int cw = w, ch = static_cast<int>(static_cast<long long>(w) * m_height / m_width);
        if (ch > h) {
            ch = h;
            cw = static_cast<int>(static_cast<long long>(h) * m_width / m_height);
        }
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = m_width;
        info.bmiHeader.biHeight = m_height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchDIBits(dc, area.left + (w - cw) / 2, area.top + (h - ch) / 2, cw, ch, 0, 0, m_width, m_height,
                      m_pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
    } else {
        RECT text = area;
        InflateRect(&text, -S(24), -S(24));
        HGDIOBJ old = SelectObject(dc, m_text);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, kHint);
        RECT measure = text;
        DrawTextW(dc, m_message.c_str(), -1, &measure, DT_CENTER | DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
        const int height = measure.bottom - measure.top;
        text.top += std::max(0L, (text.bottom - text.top - height) / 2);
        DrawTextW(dc, m_message.c_str(), -1, &text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, old);
    }
    // The 1 px frame of the look around the area.
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, kFrame);
    Rectangle(dc, area.left, area.top, area.right, area.bottom);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
}

void CheckWindow::PaintCombo(HWND combo, HDC dc) {
    RECT r;
    GetClientRect(combo, &r);
    Fill(dc, r, kBase);
    const bool enabled = IsWindowEnabled(combo) != FALSE;
    const bool open = SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    const bool focused = GetFocus() == combo;
    RoundBox(dc, r, S(4), open ? kHot : kRaised, focused || open ? kAccent : kFrame);
    const LRESULT selected = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    std::wstring text;
    if (selected >= 0) {
        const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
        if (length > 0) {
            text.resize(static_cast<size_t>(length) + 1);
            SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&text[0]));
            text.resize(static_cast<size_t>(length));
        }
    }
    RECT t = r;
    t.left += S(10);
    t.right -= S(28);
    HGDIOBJ old = SelectObject(dc, m_text);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? kText : kDim);
    DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, old);
    // A chevron for the list.
    const int cx = r.right - S(16), cy = (r.top + r.bottom) / 2;
    const int a = S(4);
    HPEN pen = CreatePen(PS_SOLID, std::max(1, S(2) - 1), enabled ? kHint : kDim);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    POINT v[3] = {{cx - a, cy - a / 2}, {cx, cy + a / 2 + 1}, {cx + a, cy - a / 2}};
    Polyline(dc, v, 3);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void CheckWindow::DrawItem(const DRAWITEMSTRUCT& item) {
    const bool field = (item.itemState & ODS_COMBOBOXEDIT) != 0;
    const bool selected = (item.itemState & ODS_SELECTED) != 0 && !field;
    Fill(item.hDC, item.rcItem, field ? kRaised : selected ? kAccent : kListBack);
    if (item.itemID == static_cast<UINT>(-1)) return;
    wchar_t text[128] = {};
    if (SendMessageW(item.hwndItem, CB_GETLBTEXTLEN, item.itemID, 0) < 128)
        SendMessageW(item.hwndItem, CB_GETLBTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
    RECT t = item.rcItem;
    t.left += field ? S(6) : S(10);
    HGDIOBJ old = SelectObject(item.hDC, m_text);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, selected ? RGB(0xFF, 0xFF, 0xFF) : kText);
    DrawTextW(item.hDC, text, -1, &t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(item.hDC, old);
}

LRESULT CheckWindow::Handle(UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_SIZE:
        if (m_video) Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lp);
        RECT r = {0, 0, S(kInset * 2 + 320), S(kVideoTop + 180 + kFiguresHeight + 14)};
        AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
        info->ptMinTrackSize.x = r.right - r.left;
        info->ptMinTrackSize.y = r.bottom - r.top;
        return 0;
    }
    case 0x02E0: {  // WM_DPICHANGED: new fonts and layout at the suggested size
        m_dpi = HIWORD(wp);
        MakeFonts();
        const RECT* r = reinterpret_cast<const RECT*>(lp);
        SetWindowPos(m_window, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        Layout();
        return 0;
    }
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wp);
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lp));
        SetTextColor(dc, (id >= kIdFormatLabel || id == kIdSubtitle) ? kHint : kText);
        SetBkColor(dc, kBase);
        return reinterpret_cast<LRESULT>(m_baseBrush);
    }
    case WM_CTLCOLORLISTBOX:
        SetTextColor(reinterpret_cast<HDC>(wp), kText);
        SetBkColor(reinterpret_cast<HDC>(wp), kListBack);
        return reinterpret_cast<LRESULT>(m_listBrush);
    case WM_MEASUREITEM: {
        auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
        item->itemHeight = item->itemID == static_cast<UINT>(-1) ? S(kControlHeight) - 6 : S(24);
        return TRUE;
    }
    case WM_DRAWITEM:
        if (wp == static_cast<WPARAM>(kIdFormats) || wp == static_cast<WPARAM>(kIdWay)) {
            DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
            return TRUE;
        }
        break;
    case WM_COMMAND:
        if (LOWORD(wp) == kIdFormats && HIWORD(wp) == CBN_SELCHANGE) {
            const LRESULT item = SendMessageW(m_formats, CB_GETCURSEL, 0, 0);
            if (item >= 0) {
                const LRESULT index = SendMessageW(m_formats, CB_GETITEMDATA, static_cast<WPARAM>(item), 0);
                for (const Format& f : m_formatList)
                    if (f.index == index) Connect(f.width, f.height);
            }
            InvalidateRect(m_formats, nullptr, FALSE);
            return 0;
        }
        if (LOWORD(wp) == kIdWay && HIWORD(wp) == CBN_SELCHANGE) {
            const bool mf = SendMessageW(m_way, CB_GETCURSEL, 0, 0) == 1 && sizeof(void*) == 8;
            if (mf != m_mf) {
                m_mf = mf;
                OpenCamera();
            }
            InvalidateRect(m_way, nullptr, FALSE);
            InvalidateRect(m_formats, nullptr, FALSE);
            return 0;
        }
        if ((LOWORD(wp) == kIdFormats || LOWORD(wp) == kIdWay) && (HIWORD(wp) == CBN_DROPDOWN || HIWORD(wp) == CBN_CLOSEUP ||
                                         HIWORD(wp) == CBN_SETFOCUS || HIWORD(wp) == CBN_KILLFOCUS)) {
            InvalidateRect(reinterpret_cast<HWND>(lp), nullptr, FALSE);
            return 0;
        }
        break;
    case WM_TIMER:
        if (wp == kTimerPicture) ShowPicture();
        if (wp == kTimerFigures) ShowFigures();
        return 0;
    case WM_DESTROY:
        // The graph stops and goes before the window does, so no sample
        // arrives for a window that is gone.
        KillTimer(m_window, kTimerPicture);
        KillTimer(m_window, kTimerFigures);
        m_running = false;
        StopMF();
        m_reader.Close();
        m_client.Close();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(m_window, message, wp, lp);
}

LRESULT CALLBACK CheckWindow::Proc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<CheckWindow*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->Handle(message, wp, lp) : DefWindowProcW(window, message, wp, lp);
}

LRESULT CALLBACK CheckWindow::VideoProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    auto* self = reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_ERASEBKGND) return 1;
    if (message == WM_PAINT && self) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        // Drawn off screen, then copied: no flicker at 20 frames a second.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(1L, r.right), std::max(1L, r.bottom));
        HGDIOBJ old = SelectObject(memory, bitmap);
        self->PaintVideo(memory, r);
        BitBlt(dc, 0, 0, r.right, r.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcW(window, message, wp, lp);
}

LRESULT CALLBACK CheckWindow::ComboProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CheckWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wp, lp);
    // The closed drop-down drawn whole in the look (a rounded input with a
    // chevron) instead of the system's sunken field and grey button.
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        self->PaintCombo(window, dc);
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 1;
    const LRESULT result = CallWindowProcW(self->m_comboProc, window, message, wp, lp);
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS || message == WM_ENABLE) InvalidateRect(window, nullptr, FALSE);
    return result;
}

}  // namespace

int RunWindow(HINSTANCE instance, int show) {
    CheckWindow window;
    return window.Run(instance, show);
}

}  // namespace camcheck
