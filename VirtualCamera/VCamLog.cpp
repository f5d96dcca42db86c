#include "VCamLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

}  // namespace

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
    return L"c:\\VCam.log";
}

void VCamLog(const char* text) {
    // The filter runs in other people's programs: the log must not change
    // the error code a caller may look at next.
    const DWORD savedError = GetLastError();
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string line = VCamLogLine(now, text);
    const std::wstring path = VCamLogPath();
    // One writer at a time across every process that loads the filter. An
    // append-only handle is atomic on Windows already; Wine 8 places each
    // append at an end it read before, so two writers can overwrite each
    // other's line. The mutex is opened per line so that no handle outlives
    // the call (the module may be unloaded at any time). A writer that
    // cannot get it within a second writes anyway.
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"ZxVCam-FilterLog");
    const bool owned = mutex && WaitForSingleObject(mutex, 1000) != WAIT_TIMEOUT;
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    if (owned) ReleaseMutex(mutex);
    if (mutex) CloseHandle(mutex);
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
