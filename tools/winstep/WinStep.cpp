// WinStep: steps the pages of another program's window for the screenshot
// scripts, without a mouse: the same messages a click sends.
//
//   WinStep wait TITLE [TEXT]      waits (60 s at most) for a visible window
//                                  whose title starts with TITLE and, when
//                                  TEXT is given, holds a visible control
//                                  whose text contains TEXT; prints the
//                                  window's rectangle "X Y WIDTH HEIGHT"
//   WinStep click TITLE ID         presses the button with that control id
//                                  once it is enabled (BM_CLICK)
//   WinStep tick TITLE TEXT on|off sets the check box whose text contains
//                                  TEXT
//   WinStep move TITLE X Y [TEXT]  moves the window (the one holding TEXT)
//                                  to X, Y, on top
//   WinStep close TITLE            asks the window to close (WM_CLOSE)
//   WinStep closed TITLE           waits until no such window is left
// Exit code 0 when done, 1 on a timeout, 2 on bad arguments.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
    std::wstring title, text;
    int id = 0;
    HWND window = nullptr, control = nullptr;
};

std::wstring TextOf(HWND w) {
    wchar_t text[512] = {};
    SendMessageTimeoutW(w, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

BOOL CALLBACK VisitChild(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (!IsWindowVisible(w)) return TRUE;
    if (s->id ? GetDlgCtrlID(w) == s->id : TextOf(w).find(s->text) != std::wstring::npos) {
        s->control = w;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK VisitTop(HWND w, LPARAM lp) {
    auto* s = reinterpret_cast<Search*>(lp);
    if (!IsWindowVisible(w)) return TRUE;
    wchar_t title[512] = {};
    GetWindowTextW(w, title, 512);
    if (std::wstring(title).compare(0, s->title.size(), s->title) != 0) return TRUE;
    s->control = nullptr;
    if (s->id || !s->text.empty()) {
        EnumChildWindows(w, &VisitChild, lp);  // every descendant
        if (!s->control) return TRUE;
    }
    s->window = w;
    return FALSE;
}

// Polls for the window (and control) until found; the bound only guards
// against a page that never comes.
bool Find(Search& s, DWORD timeoutMs = 60000) {
    const DWORD start = GetTickCount();
    for (;;) {
        s.window = nullptr;
        EnumWindows(&VisitTop, reinterpret_cast<LPARAM>(&s));
        if (s.window && (!s.control || IsWindowEnabled(s.control))) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring verb = argv[1];
    Search s;
    s.title = argv[2];
    if (verb == L"wait") {
        if (argc > 3) s.text = argv[3];
        if (!Find(s)) return 1;
        RECT r;
        GetWindowRect(s.window, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (verb == L"click" && argc > 3) {
        s.id = _wtoi(argv[3]);
        if (!Find(s)) return 1;
        PostMessageW(s.control, BM_CLICK, 0, 0);
        return 0;
    }
    if (verb == L"tick" && argc > 4) {
        s.text = argv[3];
        if (!Find(s)) return 1;
        const bool on = std::wcscmp(argv[4], L"on") == 0;
        if ((SendMessageW(s.control, BM_GETCHECK, 0, 0) == BST_CHECKED) != on) SendMessageW(s.control, BM_CLICK, 0, 0);
        return 0;
    }
    if (verb == L"move" && argc > 4) {
        if (argc > 5) s.text = argv[5];
        if (!Find(s)) return 1;
        SetWindowPos(s.window, HWND_TOPMOST, _wtoi(argv[3]), _wtoi(argv[4]), 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        return 0;
    }
    if (verb == L"close") {
        if (!Find(s)) return 1;
        PostMessageW(s.window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (verb == L"closed") {
        const DWORD start = GetTickCount();
        for (;;) {
            s.window = nullptr;
            EnumWindows(&VisitTop, reinterpret_cast<LPARAM>(&s));
            if (!s.window) return 0;
            if (GetTickCount() - start > 60000) return 1;
            Sleep(50);
        }
    }
    return 2;
}
