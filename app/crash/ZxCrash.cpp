#include "ZxCrash.h"

#include <dbghelp.h>

#include <cwchar>

#include "ZxLib/ZxLib.h"

namespace ZxCrash {
namespace {

// The DbgHelp entry points, resolved at run time so the program starts on a
// machine whose DbgHelp lacks one of them (it then writes no dump).
struct DbgHelp {
    HMODULE module = nullptr;
    decltype(&::SymCleanup) SymCleanup = nullptr;
    decltype(&::SymEnumSymbols) SymEnumSymbols = nullptr;
    decltype(&::SymSetOptions) SymSetOptions = nullptr;
    decltype(&::SymInitialize) SymInitialize = nullptr;
    decltype(&::SymSetContext) SymSetContext = nullptr;
    decltype(&::SymGetLineFromAddr64) SymGetLineFromAddr64 = nullptr;
    decltype(&::SymFromAddr) SymFromAddr = nullptr;
    decltype(&::StackWalk64) StackWalk64 = nullptr;
    decltype(&::SymFunctionTableAccess64) SymFunctionTableAccess64 = nullptr;
    decltype(&::SymGetModuleBase64) SymGetModuleBase64 = nullptr;
    decltype(&::SymGetTypeInfo) SymGetTypeInfo = nullptr;
    decltype(&::MiniDumpWriteDump) MiniDumpWriteDump = nullptr;
};

// Process-wide state. Fixed buffers, filled at install time, so the filter
// needs little from a process that may be in any state.
DbgHelp g_dbghelp;
LPTOP_LEVEL_EXCEPTION_FILTER g_previous = nullptr;
bool g_installed = false;
volatile LONG g_debug = 0;
volatile LONG g_reporting = 0;  // set by the first crash of the process
wchar_t g_programDir[1024];    // no trailing backslash
wchar_t g_exeBase[260];        // "ZxVCam"
wchar_t g_exeExt[64];          // ".exe"
wchar_t g_dumpPath[1400];      // the last dump written

template <class T>
bool Resolve(HMODULE module, const char* name, T& out) {
    out = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return out != nullptr;
}

void LoadDbgHelp() {
    DbgHelp d;
    d.module = LoadLibraryW(L"DBGHELP.DLL");
    if (!d.module) return;
    bool all = Resolve(d.module, "SymCleanup", d.SymCleanup);
    all = Resolve(d.module, "SymEnumSymbols", d.SymEnumSymbols) && all;
    all = Resolve(d.module, "SymSetOptions", d.SymSetOptions) && all;
    all = Resolve(d.module, "SymInitialize", d.SymInitialize) && all;
    all = Resolve(d.module, "SymSetContext", d.SymSetContext) && all;
    all = Resolve(d.module, "SymGetLineFromAddr64", d.SymGetLineFromAddr64) && all;
    all = Resolve(d.module, "SymFromAddr", d.SymFromAddr) && all;
    all = Resolve(d.module, "StackWalk64", d.StackWalk64) && all;
    all = Resolve(d.module, "SymFunctionTableAccess64", d.SymFunctionTableAccess64) && all;
    all = Resolve(d.module, "SymGetModuleBase64", d.SymGetModuleBase64) && all;
    all = Resolve(d.module, "SymGetTypeInfo", d.SymGetTypeInfo) && all;
    Resolve(d.module, "MiniDumpWriteDump", d.MiniDumpWriteDump);
    if (!all) {
        // A DbgHelp too old for the symbol functions is not trusted with
        // the dump either.
        FreeLibrary(d.module);
        return;
    }
    g_dbghelp = d;
}

// The program's folder, name and extension from its module file name.
void RecordProgram() {
    wchar_t path[1024];
    DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(sizeof(path) / sizeof(path[0])));
    if (n == 0 || n >= sizeof(path) / sizeof(path[0])) return;
    wchar_t* slash = wcsrchr(path, L'\\');
    wchar_t* name = slash ? slash + 1 : path;
    wchar_t* dot = wcsrchr(name, L'.');
    if (dot && wcslen(dot) < sizeof(g_exeExt) / sizeof(g_exeExt[0])) {
        wcscpy(g_exeExt, dot);
        *dot = L'\0';
    }
    if (wcslen(name) < sizeof(g_exeBase) / sizeof(g_exeBase[0])) wcscpy(g_exeBase, name);
    if (slash) {
        *slash = L'\0';
        wcscpy(g_programDir, path);
    }
}

void Install() {
    LoadDbgHelp();
    RecordProgram();
    g_previous = SetUnhandledExceptionFilter(UnhandledFilter);
    SetErrorMode(SEM_FAILCRITICALERRORS);
    g_installed = true;
}

void Uninstall() {
    if (!g_installed) return;
    g_installed = false;
    SetUnhandledExceptionFilter(g_previous);
    g_previous = nullptr;
    HMODULE module = g_dbghelp.module;
    g_dbghelp = DbgHelp();
    if (module) FreeLibrary(module);
}

// Installs before WinMain (static initialisation of this file, whose object
// the build puts into every program that links ZxAppCrash) and removes
// after it (static destruction).
struct Installer {
    Installer() { Install(); }
    ~Installer() { Uninstall(); }
    Installer(const Installer&) = delete;
    Installer& operator=(const Installer&) = delete;
};
Installer g_installer;

// One crash to report: the exception and the thread it happened on.
struct Crash {
    EXCEPTION_POINTERS* exception;
    DWORD threadId;
};

void WriteDump(HANDLE file, const Crash& crash) {
    EXCEPTION_POINTERS* exception = crash.exception;
    if (!g_dbghelp.MiniDumpWriteDump) return;
    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = crash.threadId;
    info.ExceptionPointers = exception;
    info.ClientPointers = TRUE;
    const MINIDUMP_TYPE type = g_debug ? MiniDumpWithDataSegs : MiniDumpNormal;
    g_dbghelp.MiniDumpWriteDump(GetCurrentProcess(), GetCurrentProcessId(), file, type,
                                exception ? &info : nullptr, nullptr, nullptr);
}

// Writes the dump of the crash and starts the report program.
void Report(const Crash& crash) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string base = Charset::WString2String(g_exeBase);
    const std::string programDir = Charset::WString2String(g_programDir);

    // Beside the program when it may be written there; an installed
    // program's folder usually may not, and then the per-user log folder,
    // where the report program looks too.
    const std::string folder = ChooseDumpFolder(programDir);
    const std::wstring path =
        Charset::String2WString(folder + DumpFileName(now, base, Charset::WString2String(g_exeExt)));
    if (path.size() < sizeof(g_dumpPath) / sizeof(g_dumpPath[0])) wcscpy(g_dumpPath, path.c_str());

    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        WriteDump(file, crash);
        CloseHandle(file);
    }

    // The report program lies beside the program. It is named by its full
    // path, so neither the current folder nor the search path decides
    // which program is started.
    if (!programDir.empty()) {
        const std::string command =
            "\"" + programDir + "\\" + kReportProgram + "\" " + ReportArgument(now, base);
        ProcessExecutor::Exec(command, false);
    }
}

DWORD WINAPI ReportThread(void* crash) {
    Report(*static_cast<const Crash*>(crash));
    return 0;
}

}  // namespace

bool EnsureInstalled() { return g_installed; }

void SetDebugFlag(bool debug) { InterlockedExchange(&g_debug, debug ? 1 : 0); }
bool GetDebugFlag() { return g_debug != 0; }
bool CanWriteDumps() { return g_dbghelp.MiniDumpWriteDump != nullptr; }

std::string GetProgramDir() { return Charset::WString2String(g_programDir); }

void SetProgramDir(const std::string& dir) {
    std::wstring w = Charset::String2WString(dir);
    while (!w.empty() && (w.back() == L'\\' || w.back() == L'/')) w.pop_back();
    if (w.size() >= sizeof(g_programDir) / sizeof(g_programDir[0])) return;
    wcscpy(g_programDir, w.c_str());
}

std::string LastDumpPath() { return Charset::WString2String(g_dumpPath); }

LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* exception) {
    if (IsDebuggerPresent()) return EXCEPTION_CONTINUE_SEARCH;
    const DWORD code = exception && exception->ExceptionRecord ? exception->ExceptionRecord->ExceptionCode : 0;
    if (code == static_cast<DWORD>(EXCEPTION_BREAKPOINT)) return EXCEPTION_CONTINUE_SEARCH;

    // One report per process: a second thread that crashes while the first
    // is still writing waits here, and ends with the process when the
    // first thread's filter returns.
    if (InterlockedExchange(&g_reporting, 1) != 0) {
        for (;;) Sleep(INFINITE);
    }

    Crash crash{exception, GetCurrentThreadId()};
    if (code == static_cast<DWORD>(EXCEPTION_STACK_OVERFLOW)) {
        // The faulting thread has only the few pages past its guard page
        // left, far too little for DbgHelp: the report is made on a fresh
        // thread with a stack of its own while this one waits.
        HANDLE helper = CreateThread(nullptr, 1u << 20, ReportThread, &crash, 0, nullptr);
        if (helper) {
            WaitForSingleObject(helper, INFINITE);
            CloseHandle(helper);
            return EXCEPTION_EXECUTE_HANDLER;
        }
    }
    Report(crash);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace ZxCrash
