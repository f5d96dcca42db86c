// ZxCamCheck.exe: shows whether the camera "ZXVCam" works, as a video-call
// program would see it. A console program, so scripts and support get its
// lines and its exit code (ConsoleCheck.h gives the command line); without
// console arguments (as the Start-menu shortcut starts it) it shows its
// window instead (CheckWindow.h).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CheckWindow.h"
#include "ConsoleCheck.h"

namespace {

void Print(const wchar_t* text) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 1), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], bytes, nullptr, nullptr);
    std::fprintf(stderr, "%s\n", utf8.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // The lines are UTF-8 (device names may be in any script).
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    camcheck::Options options;
    std::wstring error;
    if (!camcheck::ParseOptions(args, options, error)) {
        Print(error.c_str());
        Print(camcheck::UsageText().c_str());
        return camcheck::kExitUsage;
    }
    if (options.help) {
        Print(camcheck::UsageText().c_str());
        return camcheck::kExitOk;
    }
    // The graph's filters are free-threaded; the Sample Grabber calls back
    // on the streaming thread.
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return camcheck::kExitGraph;
    int code = 0;
    if (options.console) {
        code = camcheck::RunConsole(options);
        const std::wstring conclusion = camcheck::ConclusionText(code);
        if (!conclusion.empty()) camcheck::Line(L"%ls", conclusion.c_str());
    } else {
        // Started from a shortcut, the console is the program's own: it
        // goes, and only the window stays. Started from a command prompt,
        // the prompt keeps its console.
        DWORD processes[2];
        if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        GetStartupInfoW(&startup);
        const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
        code = camcheck::RunWindow(GetModuleHandleW(nullptr), show);
    }
    CoUninitialize();
    return code;
}
