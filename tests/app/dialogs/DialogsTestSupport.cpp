#include "DialogsTestSupport.h"

#include <map>

#include "TestSupport.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

using namespace DuiLib;

namespace dlgtest {

namespace {
std::map<UINT_PTR, WhenShown*>& Timers() {
    static std::map<UINT_PTR, WhenShown*> timers;
    return timers;
}

struct FindData {
    const std::wstring* cls;
    const std::wstring* title;
    HWND found;
};

BOOL CALLBACK FindOwn(HWND hwnd, LPARAM lp) {
    auto* d = reinterpret_cast<FindData*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[128] = {}, title[256] = {};
    GetClassNameW(hwnd, cls, 128);
    GetWindowTextW(hwnd, title, 256);
    if (*d->cls == cls && (d->title->empty() || *d->title == title)) {
        d->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

WhenShown::WhenShown(const std::wstring& cls, const std::wstring& title, std::function<void(HWND)> act,
                     int timeoutMs)
    : m_cls(cls), m_title(title), m_act(std::move(act)), m_deadline(GetTickCount() + static_cast<DWORD>(timeoutMs)) {
    m_timer = SetTimer(nullptr, 0, 30, &WhenShown::OnTimer);
    Timers()[m_timer] = this;
}

WhenShown::~WhenShown() {
    if (m_timer) {
        KillTimer(nullptr, m_timer);
        Timers().erase(m_timer);
    }
}

void CALLBACK WhenShown::OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Timers().find(id);
    if (it != Timers().end()) it->second->Poll();
}

void WhenShown::Poll() {
    FindData d{&m_cls, &m_title, nullptr};
    EnumWindows(FindOwn, reinterpret_cast<LPARAM>(&d));
    const bool late = static_cast<int>(GetTickCount() - m_deadline) > 0;
    if (!d.found && !late) return;
    KillTimer(nullptr, m_timer);
    Timers().erase(m_timer);
    m_timer = 0;
    if (d.found) {
        m_done = true;
        m_act(d.found);
    }
}

TipWatcher* TipWatcher::s_self = nullptr;

TipWatcher::TipWatcher() {
    s_self = this;
    m_timer = SetTimer(nullptr, 0, 40, OnTimer);
}

TipWatcher::~TipWatcher() {
    KillTimer(nullptr, m_timer);
    s_self = nullptr;
}

void CALLBACK TipWatcher::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (s_self) EnumThreadWindows(GetCurrentThreadId(), OnWindow, 0);
}

BOOL CALLBACK TipWatcher::OnWindow(HWND h, LPARAM) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (wcscmp(cls, L"CZxVMsgTip") != 0 || !IsWindowVisible(h) || s_self->m_seen.count(h)) return TRUE;
    s_self->m_seen.insert(h);
    auto* dlg = dynamic_cast<DuiLib::CZxBaseDialog*>(DuiLib::CWindowWnd::FromHandle(h));
    DuiLib::CControlUI* label = dlg ? dlg->FindControl("label_msgtext") : nullptr;
    s_self->texts.push_back(label ? label->GetText() : "<none>");
    PostMessageW(h, WM_CLOSE, 0, 0);
    return TRUE;
}

std::wstring MessageBoxText(HWND box) {
    // The message is the box's static control with the longest text.
    std::wstring best;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        wchar_t cls[32] = {}, text[512] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, text, 512);
        if (lstrcmpiW(cls, L"Static") == 0 && wcslen(text) > best.size()) best = text;
    }
    return best;
}

bool ClickIn(HWND hwnd, const std::string& control) {
    auto* wnd = dynamic_cast<CZxBaseDialog*>(CWindowWnd::FromHandle(hwnd));
    CControlUI* c = wnd ? wnd->FindControl(control) : nullptr;
    if (!c) return false;
    duitest::ClickAt(hwnd, duitest::WindowDriver::Center(c));
    return true;
}

std::string FreshUserFolders(const std::string& name) {
    const std::string home = zxtest::RedirectUserFolders(name);
    ZxConfigSetFile((home + "ZxVCam.ini").c_str());
    return home;
}

std::string ReadProgramLog() {
    LogFlush(zxtest::kHangGuardMs);
    return zxtest::ReadFile(Dir::GetLogPath() + "Speed.txt");
}

bool WritePicture(const std::string& path, int cx, int cy, DWORD argb) {
    std::string ext = path.substr(path.find_last_of('.') + 1);
    const wchar_t* mime = ext == "jpg" ? L"image/jpeg" : ext == "bmp" ? L"image/bmp" : L"image/png";
    CLSID clsid;
    if (!CRenderEngine::FindImageEncoder(mime, clsid)) return false;
    Gdiplus::Bitmap bmp(cx, cy, PixelFormat32bppARGB);
    Gdiplus::Graphics g(&bmp);
    Gdiplus::SolidBrush brush{Gdiplus::Color(argb)};
    g.FillRectangle(&brush, 0, 0, cx, cy);
    return bmp.Save(Charset::String2WString(path).c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

DWORD PictureCentre(const std::string& path) {
    Gdiplus::Bitmap bmp(Charset::String2WString(path).c_str());
    if (bmp.GetLastStatus() != Gdiplus::Ok || bmp.GetWidth() == 0) return 0xFFFFFFFF;
    Gdiplus::Color c;
    bmp.GetPixel(static_cast<INT>(bmp.GetWidth() / 2), static_cast<INT>(bmp.GetHeight() / 2), &c);
    return c.GetValue() & 0xFFFFFF;
}

}  // namespace dlgtest
