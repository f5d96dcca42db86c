#include "LogFiles.h"

#include <algorithm>

#include "LogText.h"
#include "ZxLib/ZxLib.h"

namespace zxlog {
namespace {

// Distinct files remembered at most; beyond that the memory is reset (a
// process that writes to hundreds of log folders only gets extra headers).
constexpr size_t kMaxRememberedFiles = 256;

// Full, canonical Windows path of the log file in the current log folder, or
// empty when there is no log folder.
std::wstring FullPathOf(const std::string& name) {
    const std::string folder = Dir::GetLogPath();
    if (folder.empty()) return std::wstring();
    const std::wstring path = Charset::String2WString(Dir::WithSlash(folder) + name);
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return full;
}

// File names are case-insensitive; the same lower-casing in every process
// gives every writer of one file the same mutex name.
std::wstring LowerCase(const std::wstring& text) {
    if (text.empty()) return text;
    std::wstring out(text.size(), L'\0');
    int n = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.c_str(), static_cast<int>(text.size()), &out[0],
                          static_cast<int>(out.size()), nullptr, nullptr, 0);
    if (n <= 0) return text;
    out.resize(static_cast<size_t>(n));
    return out;
}

HANDLE OpenForAppend(const std::wstring& path, DWORD& error) {
    // A sharing violation (a reader without write sharing, a virus scanner)
    // is usually gone a moment later.
    for (int attempt = 0;; ++attempt) {
        HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        error = GetLastError();
        const bool transient = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        if (!transient || attempt >= 4) return INVALID_HANDLE_VALUE;
        Sleep(10 * (attempt + 1));
    }
}

uint64_t SizeOf(HANDLE h) {
    LARGE_INTEGER size;
    return GetFileSizeEx(h, &size) && size.QuadPart > 0 ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool WriteAll(HANDLE h, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30));
        DWORD put = 0;
        if (!WriteFile(h, data.data() + done, piece, &put, nullptr) || put == 0) return false;
        done += put;
    }
    return true;
}

// A line too long for even an empty file, cut to fit `budget` bytes.
std::string CutToFit(const std::string& line, size_t budget) {
    static const char kMarker[] = " ...[cut: longer than the log file size limit]\r\n";
    const size_t markerSize = sizeof(kMarker) - 1;
    const size_t keep = budget > markerSize ? budget - markerSize : 0;
    std::string out = line.substr(0, Utf8Boundary(line, std::min(keep, line.size())));
    out += kMarker;
    return out;
}

std::string HeaderLine(const std::string& appName) {
    return OwnLine(0, "==== " + appName + " pid " + std::to_string(GetCurrentProcessId()) + " ====");
}

}  // namespace

LogFiles::~LogFiles() {
    for (auto& file : files_)
        if (file.second.mutex) CloseHandle(file.second.mutex);
}

LogFiles::FileState& LogFiles::StateFor(const std::wstring& key) {
    auto it = files_.find(key);
    if (it != files_.end()) return it->second;
    if (files_.size() >= kMaxRememberedFiles) {
        for (auto& file : files_)
            if (file.second.mutex) CloseHandle(file.second.mutex);
        files_.clear();
    }
    FileState& state = files_[key];
    const std::string digest = Entrypt::GenerateMD5(Charset::WString2String(key));
    if (!digest.empty())
        state.mutex = CreateMutexW(nullptr, FALSE, (L"Local\\ZxLog_" + Charset::String2WString(digest)).c_str());
    return state;
}

size_t LogFiles::Append(const std::string& name, const std::string& note, const std::vector<const std::string*>& lines,
                        const Options& options, const Committed& committed, DWORD& error) {
    error = 0;
    const std::wstring path = FullPathOf(name);
    if (path.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return 0;
    }
    FileState& state = StateFor(LowerCase(path));
    bool locked = false;
    if (state.mutex) {
        // WAIT_ABANDONED: the last holder died; the mutex is ours now.
        if (options.gate) options.gate->Leave();
        const DWORD r = WaitForSingleObject(state.mutex, options.mutexWaitMs);
        if (options.gate) options.gate->Enter();
        locked = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    }
    // Without the mutex (a writer elsewhere hangs, or no mutex could be made)
    // the lines are still appended, which is safe, but the file is not
    // rotated, since another process might be appending to it right now.
    size_t done = 0;
    try {
        done = Write(path, state, locked, note, lines, options, committed, error);
    } catch (...) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    if (locked) ReleaseMutex(state.mutex);
    return done;
}

size_t LogFiles::Write(const std::wstring& path, FileState& state, bool mayRotate, const std::string& note,
                       const std::vector<const std::string*>& lines, const Options& options,
                       const Committed& committed, DWORD& error) {
    HANDLE h = OpenForAppend(path, error);
    if (h == INVALID_HANDLE_VALUE) return 0;
    uint64_t pos = SizeOf(h);
    const size_t limit = options.maxFileSize;
    bool bounded = mayRotate;
    bool needHeader = !state.started;
    std::string pendingNote = note;
    size_t i = 0;
    const size_t n = lines.size();
    while (i < n || !pendingNote.empty()) {
        inflight_.active = false;
        std::string& chunk = inflight_.data;
        chunk.clear();
        if (needHeader) chunk += HeaderLine(options.appName);
        chunk += pendingNote;
        const size_t from = i;
        while (i < n && (!bounded || pos + chunk.size() + lines[i]->size() <= limit)) chunk += *lines[i++];
        if (i == from && i < n) {
            // The next line does not fit into what is left of the file.
            if (pos > 0) {
                CloseHandle(h);
                if (MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_REPLACE_EXISTING)) {
                    state.rotateFailNoted = false;
                    needHeader = true;
                } else {
                    // Keep writing rather than lose lines; say so once.
                    const DWORD e = GetLastError();
                    bounded = false;
                    if (!state.rotateFailNoted) {
                        pendingNote += OwnLine(2, "could not rename the log file to \"" +
                                                      Charset::WString2String(path) + ".old\" (error " +
                                                      std::to_string(e) + "); it grows past its size limit");
                        state.rotateFailNoted = true;
                    }
                }
                h = OpenForAppend(path, error);
                if (h == INVALID_HANDLE_VALUE) return from;
                pos = SizeOf(h);
                // Someone who did not wait for the mutex started the new
                // file already: append after them rather than rotate again.
                if (pos > 0) bounded = false;
                continue;
            }
            const size_t used = chunk.size();
            chunk += CutToFit(*lines[i++], limit > used ? limit - used : 0);
        }
        inflight_.path = path;
        inflight_.offset = pos;
        inflight_.from = from;
        inflight_.to = i;
        inflight_.active = true;
        if (!WriteAll(h, chunk)) {
            error = GetLastError();
            inflight_.active = false;
            CloseHandle(h);
            return from;
        }
        committed(from, i);
        inflight_.active = false;
        pos += chunk.size();
        needHeader = false;
        state.started = true;
        pendingNote.clear();
    }
    CloseHandle(h);
    return n;
}

bool LogFiles::InterruptedChunkWritten(size_t& from, size_t& to) {
    if (!inflight_.active) return false;
    inflight_.active = false;
    const std::string& data = inflight_.data;
    HANDLE h = CreateFileW(inflight_.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool same = false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(inflight_.offset);
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && data.size() < (1u << 30)) {
        std::string found(data.size(), '\0');
        DWORD got = 0;
        same = ReadFile(h, &found[0], static_cast<DWORD>(found.size()), &got, nullptr) && got == found.size() &&
               found == data;
    }
    CloseHandle(h);
    from = inflight_.from;
    to = inflight_.to;
    return same;
}

}  // namespace zxlog
