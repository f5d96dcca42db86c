// Appending lines to the log files on disk.
//
// Each append opens the file for appending only, writes whole chunks of lines
// with one WriteFile each and closes it again, so other processes and people
// can read, rename or delete the file at any time. Writers of one file in
// different processes are serialised by a named mutex derived from the file's
// full path; whoever holds it may also rotate the file ("<name>" becomes
// "<name>.old") when the next chunk would take it past the size limit.
//
// One object is used by one thread at a time: the log's writer thread, or,
// once that thread is gone, the final drain when the DLL goes away.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ExitGate.h"

namespace zxlog {

class LogFiles {
public:
    struct Options {
        size_t maxFileSize = 4u << 20;  // bytes; at least 4 KiB
        DWORD mutexWaitMs = 15000;      // how long to wait for another writer of the file
        std::string appName;            // named in the first line of each file this process starts
        ExitGate* gate = nullptr;       // held by the caller; let go while waiting for the mutex
    };
    // Told, after each chunk reached the file, which of the given lines it held.
    using Committed = std::function<void(size_t from, size_t to)>;

    LogFiles() = default;
    ~LogFiles();
    LogFiles(const LogFiles&) = delete;
    LogFiles& operator=(const LogFiles&) = delete;

    // Appends the lines (each a whole line ending in CR LF) to the log file
    // `name` in the current log folder, after `note` (a whole line, or empty).
    // Returns how many of the lines were written; fewer when the file could
    // not be opened or written, with the Win32 error in `error`.
    size_t Append(const std::string& name, const std::string& note, const std::vector<const std::string*>& lines,
                  const Options& options, const Committed& committed, DWORD& error);

    // For the final drain after the writer thread was stopped by the system:
    // true when it was stopped inside a write whose bytes did reach the file,
    // with the range of lines of that chunk. Compares the file's bytes with
    // the chunk, so a chunk is neither lost nor written twice.
    bool InterruptedChunkWritten(size_t& from, size_t& to);

private:
    struct FileState {
        HANDLE mutex = nullptr;        // named mutex shared with other processes
        bool started = false;          // this process has written its first line here
        bool rotateFailNoted = false;  // a failed rename was already noted in the file
    };

    // The chunk being written, kept where the final drain can find it.
    struct InFlight {
        std::atomic<bool> active{false};
        std::wstring path;
        uint64_t offset = 0;
        std::string data;
        size_t from = 0, to = 0;
    };

    FileState& StateFor(const std::wstring& key);
    size_t Write(const std::wstring& path, FileState& state, bool mayRotate, const std::string& note,
                 const std::vector<const std::string*>& lines, const Options& options, const Committed& committed,
                 DWORD& error);

    std::map<std::wstring, FileState> files_;
    InFlight inflight_;
};

}  // namespace zxlog
