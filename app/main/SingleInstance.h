// One copy of the program at a time. A second start finds the first copy's
// main window by its mark and shows it. A first copy that is still starting
// (no window yet) is waited for, not ended. Only a copy whose main window
// does not answer a message several times in a row is taken to be hung: it
// is ended, unless it records (a recording is never thrown away), and this
// start then runs as the one copy.
#pragma once

#include <windows.h>

namespace SingleInstance {

// The mutex every copy creates.
extern const wchar_t* const kMutexName;   // L"Velmo_ZxVCam_2014-1-2"

enum Result {
    kRunThisCopy,        // no other copy (or a hung one was ended): start normally
    kOtherCopyShown,     // the other copy's window was shown: end with 0
    kOtherCopyRefused,   // a hung copy could not (or must not) be ended; the user was told
};

struct Timing {
    // How long the other copy's window has to answer one message.
    DWORD answerMs = 3000;
    // How many unanswered messages in a row make it hung, and the pause
    // between two of them.
    int tries = 3;
    DWORD pauseMs = 1000;
    // How long a copy that holds the mutex but has no window yet (still
    // loading its kernel) is waited for before it counts as hung.
    DWORD startWaitMs = 120000;
};

// Decides whether this start runs. The first copy keeps the mutex open for
// its whole life and publishes its process id for later starts.
Result Check(const Timing& timing = Timing());

// Published by the main window while a recording runs, so that a later
// start never ends this copy then, even when its window stops answering.
void SetRecording(bool recording);

// Whether the copy with that process id says it records.
bool IsRecording(DWORD pid);

}  // namespace SingleInstance
