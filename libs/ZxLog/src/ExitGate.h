// Keeping ExitProcess from stopping the log's writer thread in the middle of
// its work, under Wine.
//
// Wine (8) stops the other threads of an ending process asynchronously,
// wherever they are: a thread stopped inside the heap leaves the heap lock
// held, and one stopped between asking the server for a file's descriptor
// and receiving it leaves the descriptor behind, so the next file operation
// fails an assertion inside Wine. Either would hang or abort the final drain
// of the log in DllMain. Windows takes the heap lock before it stops the
// threads and leaves no such state behind.
//
// Wine's ExitProcess takes the loader lock before it stops the threads. So,
// under Wine only, the writer holds the loader lock while it works (between
// its waits) and lets go of it whenever it waits; the exit then finds it
// waiting. On Windows the gate does nothing.
//
// Lock order: the loader lock is always taken before the queue lock, never
// while holding it (a line logged from some DllMain takes them in that order
// too), and nothing done inside the gate waits for another thread.
#pragma once

#include <windows.h>

namespace zxlog {

class ExitGate {
public:
    ExitGate() = default;
    ~ExitGate() { Leave(); }
    ExitGate(const ExitGate&) = delete;
    ExitGate& operator=(const ExitGate&) = delete;

    void Enter();
    void Leave();

private:
    ULONG_PTR cookie_ = 0;
    bool held_ = false;
};

}  // namespace zxlog
