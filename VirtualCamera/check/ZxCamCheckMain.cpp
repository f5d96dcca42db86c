// ZxCamCheck.exe: shows whether the camera "ZXVCam" works, as a video-call
// program would see it. A console program, so scripts and support get its
// lines and its exit code (ConsoleCheck.h gives the command line).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

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
        Print(camcheck::UsageText());
        return camcheck::kExitUsage;
    }
    if (options.help) {
        Print(camcheck::UsageText());
        return camcheck::kExitOk;
    }
    // The graph's filters are free-threaded; the Sample Grabber calls back
    // on the streaming thread.
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return camcheck::kExitGraph;
    const int code = camcheck::RunConsole(options);
    CoUninitialize();
    return code;
}
