#include "ZxLib/ZxLib.h"

#include <windows.h>

#include <algorithm>

using Charset::String2WString;

namespace File {

bool IsExistFile(const std::string& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesW(String2WString(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t GetFileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(String2WString(path).c_str(), GetFileExInfoStandard, &data)) return -1;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return -1;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool ReadAll(const std::string& path, std::string& out, size_t maxBytes) {
    out.clear();
    HANDLE h = CreateFileW(String2WString(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart >= 0 && static_cast<uint64_t>(size.QuadPart) <= maxBytes;
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (ok && done < out.size()) {
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size() - done, 1u << 20));
            DWORD got = 0;
            ok = ReadFile(h, &out[done], chunk, &got, nullptr) && got > 0;
            done += got;
        }
        if (!ok) out.clear();
    }
    CloseHandle(h);
    return ok;
}

namespace {
// The temporary file of a write: "<name>.tmp<process id>_<thread id>", so
// two threads or processes never share one, and a stale one names its writer.
const char kTempMark[] = ".tmp";
}  // namespace

bool WriteAllAtomic(const std::string& path, const std::string& data) {
    std::wstring target = String2WString(path);
    std::wstring temp = target + String2WString(kTempMark) + std::to_wstring(GetCurrentProcessId()) + L"_" +
                        std::to_wstring(GetCurrentThreadId());
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < data.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
        DWORD put = 0;
        ok = WriteFile(h, data.data() + done, chunk, &put, nullptr) && put == chunk;
        done += put;
    }
    ok = ok && FlushFileBuffers(h);
    CloseHandle(h);
    if (ok) ok = MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

void RemoveStaleTemps(const std::string& path) {
    const std::string prefix = GetFileName(path) + kTempMark;
    std::vector<std::string> found;
    if (prefix.size() == sizeof(kTempMark) - 1 ||
        !Dir::FindAllFiles(found, GetParentPath(path), prefix + "*", Dir::kFindFiles))
        return;
    for (const std::string& temp : found) {
        // The writer's process id: the digits after the mark, up to '_'.
        const std::string rest = GetFileName(temp).substr(prefix.size());
        const size_t bar = rest.find('_');
        if (bar == 0 || bar == std::string::npos || bar > 10 ||
            rest.find_first_not_of("0123456789") != bar || rest.find_first_not_of("0123456789", bar + 1) != std::string::npos)
            continue;
        const unsigned long long pid = std::stoull(rest.substr(0, bar));
        if (pid > 0xFFFFFFFFull) continue;
        if (pid == GetCurrentProcessId()) continue;
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid))) {
            const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
            CloseHandle(process);
            if (running) continue;
        }
        DeleteFileW(String2WString(temp).c_str());
    }
}

bool RemoveFile(const std::string& path) { return DeleteFileW(String2WString(path).c_str()) != 0; }

std::string GetFileName(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string GetFileNameWithoutExtension(const std::string& path) {
    std::string name = GetFileName(path);
    size_t dot = name.find_last_of('.');
    return (dot == std::string::npos || dot == 0) ? name : name.substr(0, dot);
}

std::string GetParentPath(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace File
