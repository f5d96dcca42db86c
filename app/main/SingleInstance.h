// One copy of the program at a time. A second start finds the first one's
// main window by its mark and shows it; a copy that holds the mark's mutex
// but shows no window for about six seconds is taken to be hung and ended.
#pragma once

#include <windows.h>

namespace SingleInstance {

// The mutex every copy creates.
extern const wchar_t* const kMutexName;   // L"Velmo_ZxVCam_2014-1-2"

// True when another copy runs (or ran) and this start must end; false for
// the first copy, which keeps the mutex open for its whole life.
// attemptWaitMs is the pause between the three searches for the other
// copy's window (2000 in the program; tests pass less).
bool IsOtherInstanceRunning(DWORD attemptWaitMs = 2000);

}  // namespace SingleInstance
