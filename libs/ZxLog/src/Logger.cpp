#include "Logger.h"

#include <algorithm>

#include "LogText.h"
#include "ZxLib/ZxLib.h"

namespace zxlog {
namespace {

// The writer ends after this long without work (and is started again by
// the next line), which is what lets the DLL be unloaded.
constexpr DWORD kIdleExitMs = 2000;
// How long the writer waits for another process to finish its append.
constexpr DWORD kWriterMutexWaitMs = 15000;
// The same inside DllMain at exit, where waiting long would hold up the exit.
constexpr DWORD kDetachMutexWaitMs = 1000;
// How long DllMain at exit waits for the writer thread to be stopped.
constexpr DWORD kDetachThreadWaitMs = 2000;
// One batch: enough to make few opens, small enough to keep memory bounded.
constexpr size_t kBatchLines = 4096;
constexpr size_t kBatchBytes = 2u << 20;
// Log names whose dropped lines are counted apiece; further ones are counted
// under the log's own file.
constexpr size_t kMaxDropCounters = 64;

// The program's file name without extension: the name in the file headers
// until LogInit gives one.
std::string ProgramName() {
    wchar_t buf[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "program";
    return File::GetFileNameWithoutExtension(Charset::WString2String(std::wstring(buf, n)));
}

}  // namespace

Logger::Logger(HMODULE module) : module_(module), appName_(ProgramName()) {}

Logger::~Logger() {
    if (HANDLE thread = writerThread_.exchange(nullptr)) CloseHandle(thread);
}

void Logger::SetAppName(const std::string& name) {
    Guard g(lock_);
    appName_ = name;
}

void Logger::SetMaxFileSize(size_t bytes) { maxFileSize_ = std::max(bytes, kMinFileSize); }

void Logger::Push(std::string file, std::string line) {
    bool start = false;
    {
        Guard g(lock_);
        const size_t cost = file.size() + line.size();
        if (queue_.size() >= kMaxQueueLines || bytes_ + cost > kMaxQueueBytes) {
            CountDroppedLocked(file);
            return;
        }
        queue_.push_back(Entry{std::move(file), std::move(line), pushed_ + 1, false});
        pushed_ = queue_.back().seq;
        bytes_ += cost;
        if (!writerRunning_) writerRunning_ = start = true;
        WakeConditionVariable(&work_);
    }
    if (start) StartWriter();
}

void Logger::CountDropped(const std::string& file) noexcept {
    try {
        Guard g(lock_);
        CountDroppedLocked(file);
    } catch (...) {
    }
}

void Logger::CountDroppedLocked(const std::string& file) {
    const bool ownCounter = dropped_.size() < kMaxDropCounters || dropped_.count(file) > 0;
    ++dropped_[ownCounter ? file : std::string(kFallbackFile)];
}

bool Logger::Flush(unsigned timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    uint64_t target = 0;
    bool start = false;
    {
        Guard g(lock_);
        target = pushed_;
        if (completed_ >= target) return true;
        if (!writerRunning_) writerRunning_ = start = true;  // an earlier start failed: try again
    }
    if (start) StartWriter();
    Guard g(lock_);
    while (completed_ < target) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        SleepConditionVariableSRW(&done_, &lock_, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 0x7fffffff)),
                                  0);
    }
    return true;
}

void Logger::StartWriter() {
    // The thread's own reference to this DLL (the HMODULE is the DLL's base
    // address, so it lies inside it). It is given back by the thread with
    // FreeLibraryAndExitThread, the one way a thread can release the code it
    // runs in.
    HMODULE ref = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(module_), &ref)) {
        HANDLE thread = CreateThread(nullptr, 0, &Logger::WriterMain, this, 0, nullptr);
        if (thread) {
            if (HANDLE previous = writerThread_.exchange(thread)) CloseHandle(previous);
            return;
        }
        FreeLibrary(ref);
    }
    // The lines stay queued; the next line or flush tries again.
    Guard g(lock_);
    writerRunning_ = false;
}

DWORD WINAPI Logger::WriterMain(void* param) {
    Logger* self = static_cast<Logger*>(param);
    const HMODULE module = self->module_;
    self->RunWriter();
    // This may be the last reference: then the DLL is unloaded here, its
    // DllMain runs on this thread, and the thread ends without returning
    // into the unloaded code.
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

void Logger::RunWriter() {
    ExitGate gate;
    for (;;) {
        {
            Guard g(lock_);
            while (queue_.empty()) {
                if (!SleepConditionVariableSRW(&work_, &lock_, kIdleExitMs, 0) && queue_.empty()) {
                    // Idle: end. No member is touched after the lock is let go.
                    writerRunning_ = false;
                    return;
                }
            }
        }
        // Work happens inside the gate, waits outside it (see ExitGate.h).
        gate.Enter();
        std::vector<Entry*> batch;
        LogFiles::Options options;
        options.gate = &gate;
        {
            Guard g(lock_);
            try {
                // Entries stay in the queue (and count against its bound)
                // until written, so lines in flight when the process ends are
                // still there for the final drain. Pointers stay valid: other
                // threads only add at the back, and only this thread removes.
                size_t bytes = 0;
                for (Entry& e : queue_) {
                    if (batch.size() >= kBatchLines || bytes >= kBatchBytes) break;
                    batch.push_back(&e);
                    bytes += e.line.size();
                }
                options.appName = appName_;
            } catch (...) {
                batch.clear();
            }
        }
        if (batch.empty()) {  // out of memory: try again in a moment
            gate.Leave();
            Sleep(50);
            continue;
        }
        options.maxFileSize = maxFileSize_;
        options.mutexWaitMs = kWriterMutexWaitMs;
        WriteEntries(batch, options, true);
        {
            Guard g(lock_);
            for (size_t i = 0; i < batch.size(); ++i) {
                bytes_ -= CostOf(queue_.front());
                completed_ = queue_.front().seq;
                queue_.pop_front();
            }
            QueueDropNotesLocked();
            WakeAllConditionVariable(&done_);
        }
        gate.Leave();
    }
}

void Logger::WriteEntries(const std::vector<Entry*>& entries, const LogFiles::Options& options, bool live) {
    // One group per file, in the order the files first appear; each keeps
    // the order of its lines.
    std::vector<std::vector<Entry*>> groups;
    try {
        for (Entry* e : entries) {
            auto it = std::find_if(groups.begin(), groups.end(),
                                   [e](const std::vector<Entry*>& g) { return g.front()->file == e->file; });
            if (it == groups.end()) {
                groups.emplace_back();
                it = groups.end() - 1;
            }
            it->push_back(e);
        }
    } catch (...) {
        return;  // out of memory: the lines are given up (taken off by the caller)
    }
    for (const auto& group : groups) WriteGroup(group.front()->file, std::string(), group, options, live);
    currentGroup_.clear();
}

void Logger::WriteGroup(const std::string& file, const std::string& note, const std::vector<Entry*>& group,
                        const LogFiles::Options& options, bool live) {
    size_t done = 0;
    DWORD error = 0;
    try {
        currentGroup_ = group;
        std::vector<const std::string*> lines;
        lines.reserve(group.size());
        for (Entry* e : group) lines.push_back(&e->line);
        auto committed = [this, &group, live](size_t from, size_t to) {
            if (live) AcquireSRWLockExclusive(&lock_);
            for (size_t i = from; i < to; ++i) group[i]->written = true;
            if (live) ReleaseSRWLockExclusive(&lock_);
        };
        done = files_.Append(file, note, lines, options, committed, error);
    } catch (...) {
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    currentGroup_.clear();
    if (done >= group.size() || file == kFallbackFile) return;  // all written, or nowhere left to go
    // The file cannot be written (a read-only file, a folder of that name, a
    // full disk): the rest goes to the log's own file with a note, so the
    // lines are not lost.
    try {
        const std::vector<Entry*> rest(group.begin() + static_cast<std::ptrdiff_t>(done), group.end());
        WriteGroup(kFallbackFile,
                   OwnLine(2, "could not write to log file \"" + file + "\" (error " + std::to_string(error) +
                                  "); its lines follow here"),
                   rest, options, live);
    } catch (...) {
    }
}

void Logger::QueueDropNotesLocked() {
    try {
        while (!dropped_.empty()) {
            auto it = dropped_.begin();
            std::string line = OwnLine(2, std::to_string(it->second) + " log lines dropped: the log queue was full");
            queue_.push_back(Entry{it->first, std::move(line), pushed_ + 1, false});
            pushed_ = queue_.back().seq;
            bytes_ += CostOf(queue_.back());
            dropped_.erase(it);
        }
    } catch (...) {
    }
}

void Logger::DrainOnDetach(bool processExit) noexcept {
    // At process exit the system stops every other thread, wherever it was.
    // Windows has done so before DllMain is called; Wine sends the stop and
    // lets the threads go asynchronously, so the writer may still be running
    // for a moment. Waiting for it is safe here, as a thread being stopped
    // runs no DllMain and needs no loader lock; the wait is bounded all the
    // same. (On FreeLibrary the writer has ended already; it may even be the
    // thread running this, so it is not waited for.)
    if (processExit) {
        if (HANDLE thread = writerThread_.load()) WaitForSingleObject(thread, kDetachThreadWaitMs);
    }
    // A thread stopped while holding the queue lock would make waiting for
    // the lock hang the exit, so only try, for a moment (under Wine a thread
    // being stopped may still let go of it): else those lines are lost.
    bool locked = TryAcquireSRWLockExclusive(&lock_) != 0;
    for (int i = 0; !locked && processExit && i < 50; ++i) {
        Sleep(2);
        locked = TryAcquireSRWLockExclusive(&lock_) != 0;
    }
    if (!locked) return;
    try {
        // The writer may have been stopped inside a write: its chunk counts
        // as written only if its bytes are in the file.
        size_t from = 0, to = 0;
        if (files_.InterruptedChunkWritten(from, to))
            for (size_t i = from; i < to && i < currentGroup_.size(); ++i) currentGroup_[i]->written = true;
        QueueDropNotesLocked();
        std::vector<Entry*> rest;
        for (Entry& e : queue_)
            if (!e.written) rest.push_back(&e);
        LogFiles::Options options;
        options.appName = appName_;
        options.maxFileSize = maxFileSize_;
        options.mutexWaitMs = kDetachMutexWaitMs;
        // The lock stays held: nothing else may use the queue any more.
        WriteEntries(rest, options, false);
        queue_.clear();
        bytes_ = 0;
    } catch (...) {
    }
    ReleaseSRWLockExclusive(&lock_);
}

}  // namespace zxlog
