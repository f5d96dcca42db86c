// A program that crashes on request, with the program's crash handler
// linked in exactly as ZxVCam.exe links it (installed before main).
//   ZxCrashProbe.exe [--program-dir DIR] [--settings] ACTION
//     --program-dir DIR  the folder the handler treats as the program's
//     --settings         sets the debug flag from LogMsg/realloglevel of
//                        the settings file, as the program does at start
//     ACTION  fault             writes through a null pointer
//             fault-thread      the same on a second thread
//             overflow          recurses until the stack overflows
//             fault-together    four threads fault at the same moment
//             breakpoint        raises a breakpoint exception
//             filter-breakpoint calls the filter with a breakpoint record;
//                               exit 100 + what the filter returned
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "ZxCrash.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

int Fault() {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
    return 2;
}

DWORD WINAPI FaultThread(void*) { return static_cast<DWORD>(Fault()); }

// Released together by the event, so the faults come at one moment.
HANDLE g_go = nullptr;
DWORD WINAPI FaultOnSignal(void*) {
    WaitForSingleObject(g_go, INFINITE);
    return static_cast<DWORD>(Fault());
}

// Each call keeps a page of its own on the stack until there is none left.
int Overflow(int depth) {
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    if (depth >= 0) page[1] = static_cast<char>(Overflow(depth + 1));
    return page[0] + page[1];
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::string action;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = Charset::WString2String(argv[i]);
        if (arg == "--program-dir" && i + 1 < argc) ZxCrash::SetProgramDir(Charset::WString2String(argv[++i]));
        else if (arg == "--settings") {
            std::string level;
            AfxGetConfigManager()->GetString("LogMsg", "realloglevel", level);
            ZxCrash::SetDebugFlag(ZxCrash::IsDebugLogLevel(level));
        } else action = arg;
    }
    LocalFree(argv);

    if (action == "fault") return Fault();
    if (action == "fault-thread") {
        HANDLE t = CreateThread(nullptr, 0, FaultThread, nullptr, 0, nullptr);
        if (t) WaitForSingleObject(t, INFINITE);
        return 2;
    }
    if (action == "fault-together") {
        g_go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE threads[4];
        for (HANDLE& t : threads) t = CreateThread(nullptr, 0, FaultOnSignal, nullptr, 0, nullptr);
        SetEvent(g_go);
        WaitForMultipleObjects(4, threads, TRUE, INFINITE);
        return 2;
    }
    if (action == "overflow") return Overflow(0) == 0 ? 2 : 2;
    if (action == "breakpoint") {
        DebugBreak();
        return 2;
    }
    if (action == "filter-breakpoint") {
        EXCEPTION_RECORD record{};
        record.ExceptionCode = static_cast<DWORD>(EXCEPTION_BREAKPOINT);
        CONTEXT context{};
        RtlCaptureContext(&context);
        EXCEPTION_POINTERS pointers{&record, &context};
        return 100 + static_cast<int>(ZxCrash::UnhandledFilter(&pointers));
    }
    return 4;
}
