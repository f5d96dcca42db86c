// The exported functions and the DLL entry point.
#include "ZxLog/ZxLog.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <new>
#include <string>

#include "LogText.h"
#include "Logger.h"

using zxlog::Logger;

namespace {

// Made when the DLL is loaded, so every export can use it without a race;
// never a static object, whose destructor the runtime would run at exit
// while other threads may still be logging.
std::atomic<Logger*> g_logger{nullptr};

constexpr size_t kMaxModuleBytes = 128;
constexpr size_t kMaxAppNameBytes = 128;

// Logging must not change the caller's GetLastError, which is often logged
// and then still used.
class KeepLastError {
public:
    KeepLastError() : error_(GetLastError()) {}
    ~KeepLastError() { SetLastError(error_); }
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;

private:
    DWORD error_;
};

}  // namespace

extern "C" {

ZXLOG_API void LogInit(const char* appName) {
    Logger* logger = g_logger.load();
    if (!logger || !appName) return;
    KeepLastError keep;
    try {
        std::string name = zxlog::OneLine(appName, kMaxAppNameBytes);
        if (!name.empty()) logger->SetAppName(name);
    } catch (...) {
    }
}

ZXLOG_API void YL_Log(const char* logFile, int level, const char* module, const char* format, ...) {
    Logger* logger = g_logger.load();
    if (!logger) return;
    KeepLastError keep;
    SYSTEMTIME now;
    GetLocalTime(&now);
    const DWORD threadId = GetCurrentThreadId();
    const bool goodName = zxlog::IsBareFileName(logFile);
    std::string text;
    zxlog::FormatResult result = zxlog::FormatResult::kOk;
    if (format) {
        va_list args;
        va_start(args, format);
        result = zxlog::FormatText(text, format, args);
        va_end(args);
    }
    try {
        if (result == zxlog::FormatResult::kNoMemory) throw std::bad_alloc();
        if (!format)
            text = "(no format given)";
        else if (result == zxlog::FormatResult::kBadFormat)
            text = "(log format error in \"" + zxlog::OneLine(format, 200) + "\")";
        zxlog::MakeOneLine(text);
        // A refused name must not reach the file system; the line is kept,
        // in the log's own file, with the name it asked for.
        std::string file = goodName ? std::string(logFile) : std::string(zxlog::kFallbackFile);
        if (!goodName)
            text = "[refused log file name " + (logFile ? "\"" + zxlog::OneLine(logFile, 200) + "\"" : "(null)") +
                   ": not a bare file name] " + text;
        std::string moduleName = module ? zxlog::OneLine(module, kMaxModuleBytes) : std::string();
        if (moduleName.empty()) moduleName = "-";
        logger->Push(std::move(file), zxlog::BuildLine(now, threadId, level, moduleName, text));
    } catch (...) {
        logger->CountDropped(goodName ? std::string(logFile) : std::string(zxlog::kFallbackFile));
    }
}

ZXLOG_API bool LogFlush(unsigned timeoutMs) {
    Logger* logger = g_logger.load();
    if (!logger) return false;
    KeepLastError keep;
    try {
        return logger->Flush(timeoutMs);
    } catch (...) {
        return false;
    }
}

ZXLOG_API void LogSetMaxFileSize(size_t bytes) {
    Logger* logger = g_logger.load();
    if (logger) logger->SetMaxFileSize(bytes);
}

// Unloading. Nothing here waits for a thread: a thread cannot start or end
// while DllMain holds the loader lock, so waiting for the writer here would
// deadlock. Instead the writer holds its own reference to the DLL while it
// runs and ends itself (FreeLibraryAndExitThread) once idle, so:
// - FreeLibrary by the last user: the writer finishes the queued lines, ends
//   after its idle time and lets go of the DLL; only then does the unload
//   happen, with no thread left in this DLL. The drain below then finds an
//   empty queue (unless starting the writer failed) and the state is freed.
// - Process exit: the system stops every other thread, the writer
//   included, possibly in the middle of a write. The drain makes sure the
//   writer is gone (a bounded wait: a stopped thread needs no loader lock),
//   then writes what is still queued, synchronously, if the queue lock is
//   free; the state is left alone, since a stopped thread may have held any
//   part of it.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        try {
            g_logger = new Logger(instance);
        } catch (...) {
            return FALSE;
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        Logger* logger = g_logger.exchange(nullptr);
        if (logger) {
            logger->DrainOnDetach(reserved != nullptr);
            if (!reserved) delete logger;
        }
    }
    return TRUE;
}

}  // extern "C"
