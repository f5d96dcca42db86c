// Stopping a thread that was asked to end: wait a bounded time for it to say
// it left, then end it by force.
#pragma once

#include <windows.h>

#include <atomic>

// Waits up to waits x intervalMs while running is above 0. Returns true when
// the thread left by itself; otherwise terminates it, clears running and
// returns false (the caller logs that). Closes the handle either way.
inline bool StopThreadBounded(HANDLE& thread, std::atomic<int>& running, int waits, DWORD intervalMs) {
    if (!thread) return true;
    for (int i = 0; i < waits && running > 0; ++i) Sleep(intervalMs);
    bool stopped = running <= 0;
    if (!stopped) {
        TerminateThread(thread, 1);
        running = 0;
    }
    CloseHandle(thread);
    thread = nullptr;
    return stopped;
}
