#include "VCamLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"

namespace {

// Bytes of text that fit in at most room bytes without splitting a UTF-8
// character.
size_t FitUtf8(const char* text, size_t length, size_t room) {
    if (length <= room) return length;
    size_t n = room;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut
    // character, which is then left out whole.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

// The queue between the callers and the writer thread. Everything below is
// guarded by g_lock, which is only ever held for a few instructions.
SRWLOCK g_lock = SRWLOCK_INIT;
CONDITION_VARIABLE g_changed = CONDITION_VARIABLE_INIT;
std::vector<std::string>* g_queue = nullptr;  // made on first use, never freed
unsigned long long g_queued = 0;   // lines accepted so far
unsigned long long g_done = 0;     // lines the writer has finished with
unsigned long g_dropped = 0;       // lines refused since the last batch
bool g_writerRunning = false;

// The writer ends after this long without a line.
constexpr DWORD kWriterIdleMs = 3000;
// The writer waits at most this long for another process's line.
constexpr DWORD kFileMutexWaitMs = 1000;

struct Detached {
    DWORD(WINAPI* work)(void*);
    void* context;
    HMODULE module;
};

DWORD WINAPI DetachedEntry(void* param) {
    Detached job = *static_cast<Detached*>(param);
    delete static_cast<Detached*>(param);
    const DWORD result = job.work(job.context);
    // The module stays loaded until this thread no longer runs its code.
    if (job.module) FreeLibraryAndExitThread(job.module, result);
    return result;
}

// Appends line to the open file, moving the file aside first when the line
// would take it past the cap. file is reopened then.
void AppendCapped(HANDLE& file, const std::wstring& path, const std::string& line) {
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart + static_cast<LONGLONG>(line.size()) > kVCamLogCap) {
        CloseHandle(file);
        MoveFileExW(path.c_str(), (path + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
        file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void WriteBatch(const std::vector<std::string>& lines, unsigned long dropped) {
    std::wstring path;
    try {
        path = VCamLogPath();
    } catch (...) {
        return;
    }
    if (path.empty()) return;
    // One writer at a time across every process that loads the filter: an
    // append-only handle is atomic on Windows already, but Wine 8 places each
    // append at an end it read before, so two writers could overwrite each
    // other's line, and the cap needs the size and the write together. This
    // is the filter's own thread: a host's thread never waits here.
    // The user's descriptor: an elevated client and an ordinary one of the
    // same user share the lock, whichever made it first.
    ObjectSecurity::SharedObjectSecurity security(ObjectSecurity::Kind::Mutex);
    HANDLE mutex = CreateMutexW(security.Attributes(), FALSE, L"ZxVCam-FilterLog");
    const bool owned = mutex && WaitForSingleObject(mutex, kFileMutexWaitMs) != WAIT_TIMEOUT;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        try {
            if (dropped) {
                SYSTEMTIME now;
                GetLocalTime(&now);
                char text[80];
                std::snprintf(text, sizeof(text), "%lu lines were dropped (the log writer fell behind)", dropped);
                AppendCapped(file, path, VCamLogLine(now, text));
            }
            for (const std::string& line : lines) {
                if (file == INVALID_HANDLE_VALUE) break;
                AppendCapped(file, path, line);
            }
        } catch (...) {
        }
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    if (owned) ReleaseMutex(mutex);
    if (mutex) CloseHandle(mutex);
}

DWORD WINAPI WriterThread(void*) {
    std::vector<std::string> batch;
    AcquireSRWLockExclusive(&g_lock);
    for (;;) {
        while (g_queue->empty() && g_dropped == 0) {
            if (!SleepConditionVariableSRW(&g_changed, &g_lock, kWriterIdleMs, 0) && g_queue->empty() &&
                g_dropped == 0) {
                g_writerRunning = false;
                ReleaseSRWLockExclusive(&g_lock);
                return 0;
            }
        }
        batch.clear();
        batch.swap(*g_queue);
        const unsigned long dropped = g_dropped;
        g_dropped = 0;
        ReleaseSRWLockExclusive(&g_lock);

        WriteBatch(batch, dropped);

        AcquireSRWLockExclusive(&g_lock);
        g_done += batch.size() + dropped;
        WakeAllConditionVariable(&g_changed);
    }
}

}  // namespace

bool VCamRunDetached(DWORD(WINAPI* work)(void*), void* context) {
    Detached* job = new (std::nothrow) Detached{work, context, nullptr};
    if (!job) return false;
    // A reference of the thread's own; FROM_ADDRESS finds this module
    // whether it is the filter DLL or a program it is linked into.
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DetachedEntry),
                       &job->module);
    HANDLE thread = CreateThread(nullptr, 0, &DetachedEntry, job, 0, nullptr);
    if (!thread) {
        if (job->module) FreeLibrary(job->module);
        delete job;
        return false;
    }
    CloseHandle(thread);
    return true;
}

std::string VCamLogLine(const SYSTEMTIME& time, const char* text) {
    char stamp[64];
    const int stampLength = std::snprintf(stamp, sizeof(stamp), "%d-%d-%d-%d-%d-%d", time.wYear, time.wMonth,
                                          time.wDay, time.wHour, time.wMinute, time.wSecond);
    std::string line(stamp, stampLength > 0 ? static_cast<size_t>(stampLength) : 0);
    line += ": ";
    const char* body = text ? text : "";
    const size_t room = kVCamLogLineMax - line.size() - 2;  // 2 for CR LF
    line.append(body, FitUtf8(body, std::strlen(body), room));
    line += "\r\n";
    return line;
}

std::wstring VCamLogPath() {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"ZXVCAM_FILTER_LOG", buffer, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) return std::wstring(buffer, n);
    const std::string folder = Dir::GetLogPath();
    if (folder.empty()) return std::wstring();
    return Charset::String2WString(folder + "ZxCamSrc.log");
}

void VCamLog(const char* text) {
    // The filter runs in other people's programs: the log must not change
    // the error code a caller may look at next, nor throw into it.
    const DWORD savedError = GetLastError();
    SYSTEMTIME now;
    GetLocalTime(&now);
    bool startWriter = false;
    try {
        std::string line = VCamLogLine(now, text);
        AcquireSRWLockExclusive(&g_lock);
        try {
            if (!g_queue) g_queue = new std::vector<std::string>();
            if (g_queue->size() < kVCamLogQueueMax) {
                g_queue->push_back(std::move(line));
            } else {
                ++g_dropped;
            }
        } catch (...) {
            ++g_dropped;
        }
        ++g_queued;
        startWriter = !g_writerRunning && g_queue;
        if (startWriter) g_writerRunning = true;
        WakeAllConditionVariable(&g_changed);
        ReleaseSRWLockExclusive(&g_lock);
    } catch (...) {
    }
    if (startWriter && !VCamRunDetached(&WriterThread, nullptr)) {
        AcquireSRWLockExclusive(&g_lock);
        g_writerRunning = false;
        ReleaseSRWLockExclusive(&g_lock);
    }
    SetLastError(savedError);
}

void VCamLogF(const char* format, ...) {
    char text[kVCamLogLineBuffer];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (n < 0) text[0] = '\0';
    // vsnprintf cuts to the buffer; VCamLog cuts again to fit the line.
    VCamLog(text);
}

bool VCamLogFlush(DWORD timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    AcquireSRWLockExclusive(&g_lock);
    const unsigned long long target = g_queued;
    bool done = g_done >= target;
    while (!done) {
        // A writer that could not be started leaves the lines in the queue.
        if (!g_writerRunning && g_queue && !g_queue->empty()) {
            g_writerRunning = VCamRunDetached(&WriterThread, nullptr);
            if (!g_writerRunning) break;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= until) break;
        SleepConditionVariableSRW(&g_changed, &g_lock, static_cast<DWORD>(until - now), 0);
        done = g_done >= target;
    }
    ReleaseSRWLockExclusive(&g_lock);
    return done;
}
