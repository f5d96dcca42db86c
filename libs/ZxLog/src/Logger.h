// The queue of log lines and the thread that writes them.
//
// Callers only format their line and push it onto the queue under a short
// lock; a background writer thread, started on first use, takes the lines
// off in batches and appends them to their files (LogFiles). The queue is
// bounded; when it is full new lines are counted and dropped, and one line
// "N log lines dropped" is written once there is room again.
//
// Lifetime of the writer thread: it holds a reference to this DLL while it
// runs and ends itself with FreeLibraryAndExitThread after a short idle
// time; the next line starts a new one. So an unload by FreeLibrary can only
// happen once the writer has ended, and nothing inside DllMain ever waits
// for a thread. See DrainOnDetach.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "LogFiles.h"

namespace zxlog {

class Logger {
public:
    // Limits of the queue of lines not yet written.
    static constexpr size_t kMaxQueueLines = 10000;
    static constexpr size_t kMaxQueueBytes = 8u << 20;
    static constexpr size_t kMinFileSize = 4u << 10;
    static constexpr size_t kDefaultFileSize = 4u << 20;

    explicit Logger(HMODULE module);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    void SetAppName(const std::string& name);
    void SetMaxFileSize(size_t bytes);

    // Queues one whole line for the (validated) log file name. Never waits
    // for the disk. May throw std::bad_alloc.
    void Push(std::string file, std::string line);

    // Counts a line that could not be queued; reported with the next write.
    void CountDropped(const std::string& file) noexcept;

    // Waits until every line queued before the call is written.
    bool Flush(unsigned timeoutMs);

    // Called from DllMain on DLL_PROCESS_DETACH: writes what is still queued,
    // synchronously, if the queue lock can be had without waiting.
    // processExit: the process is ending and the system is stopping every
    // other thread; the writer is first given a moment to be gone.
    void DrainOnDetach(bool processExit) noexcept;

private:
    struct Entry {
        std::string file;
        std::string line;
        uint64_t seq = 0;
        bool written = false;  // reached its file (set under the lock)
    };

    class Guard {
    public:
        explicit Guard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
        ~Guard() { ReleaseSRWLockExclusive(&lock_); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        SRWLOCK& lock_;
    };

    static DWORD WINAPI WriterMain(void* param);
    void StartWriter();
    void RunWriter();
    void WriteEntries(const std::vector<Entry*>& entries, const LogFiles::Options& options, bool live);
    void WriteGroup(const std::string& file, const std::string& note, const std::vector<Entry*>& group,
                    const LogFiles::Options& options, bool live);
    void CountDroppedLocked(const std::string& file);
    void QueueDropNotesLocked();
    static size_t CostOf(const Entry& e) { return e.file.size() + e.line.size(); }

    const HMODULE module_;
    // The newest writer thread (closed when the next one starts).
    std::atomic<HANDLE> writerThread_{nullptr};

    // Guarded by lock_.
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE work_ = CONDITION_VARIABLE_INIT;  // lines were queued
    CONDITION_VARIABLE done_ = CONDITION_VARIABLE_INIT;  // lines were written
    std::deque<Entry> queue_;  // written entries leave from the front only
    size_t bytes_ = 0;
    uint64_t pushed_ = 0;      // sequence number of the last queued line
    uint64_t completed_ = 0;   // sequence number of the last line taken off as written
    bool writerRunning_ = false;
    std::map<std::string, uint64_t> dropped_;
    std::string appName_;

    std::atomic<size_t> maxFileSize_{kDefaultFileSize};

    // Used by the writer thread only (or by the final drain once it is gone).
    LogFiles files_;
    std::vector<Entry*> currentGroup_;  // the lines LogFiles is writing now
};

}  // namespace zxlog
