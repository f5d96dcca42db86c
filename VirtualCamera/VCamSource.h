// What the filter does when a client starts to use the camera (its graph
// leaves the stopped state): it asks for the main program, ZXVCam.exe, to be
// started from the folder the installation wrote to the registry, string
// value "Path" (the folder, without a trailing backslash) under
// SOFTWARE\orbian\ZXVCAM:
// - in an ordinary client, the current user's value (HKEY_CURRENT_USER),
//   else the machine-wide one (HKEY_LOCAL_MACHINE) when the user has none;
// - in an elevated client, the machine-wide value only: the user's value can
//   be changed by any of the user's unelevated programs, the machine-wide one
//   only by administrators. The program is then started with the rights of
//   the user's shell (not elevated), or not at all.
//
// The start happens on a thread of the filter's own, never on the host's
// thread (which holds the graph's locks), at most once every
// kVCamLaunchIntervalMs, and only when the program does not run already (its
// single-instance mutex exists). The program runs in its own folder and, where
// the host's job allows it, outside that job. Every decision goes to the log.
#pragma once

#include <windows.h>

#include <string>

class CShareMem;

// The registry key and value of the main program's folder.
extern const wchar_t kVCamProgramKey[];    // SOFTWARE\orbian\ZXVCAM
extern const wchar_t kVCamProgramValue[];  // Path
// The main program's single-instance mutex.
extern const wchar_t kVCamProgramMutex[];  // Velmo_ZxVCam_2014-1-2
// Requests closer together than this start nothing.
constexpr DWORD kVCamLaunchIntervalMs = 5000;

// Whether this process runs elevated. Tests replace the check (null puts
// the real one back).
bool VCamClientElevated();
void VCamSetElevationCheck(bool (*check)());

// The main program's folder from the registry as described above (UTF-8,
// trailing backslashes removed), or an empty string when there is none that
// may be used (missing, empty or not a string).
std::string VCamProgramFolder();

// The full path of the main program in folder: folder\ZXVCam.exe.
std::wstring VCamProgramPath(const std::string& folder);

// True when the main program runs (its single-instance mutex exists).
bool VCamProgramRunning();

// Starts the main program now, on the calling thread, unless it runs already
// or no folder is known (hidden, in a console of its own, in its folder;
// in an elevated client with the shell's rights). Writes to the log what it
// did, the new process's ids included; nothing goes to the caller's standard
// output. The program's path is passed as the application name and, quoted,
// as the command line, so a folder with spaces never starts another program.
// True when a process was started.
bool StartVCamProgram();

// Opens reader on the real channel when it is not open yet, then
// StartVCamProgram.
bool StartVCamSource(CShareMem& reader);

// What a graph leaving the stopped state calls: returns at once; the start
// (StartVCamProgram) runs on a thread of its own unless one is under way or
// the last request was less than kVCamLaunchIntervalMs ago. True when a start
// was set off.
bool RequestVCamProgram();

// Waits up to timeoutMs until no start set off by RequestVCamProgram is
// under way (for tests); false when one still is.
bool VCamWaitForLauncher(DWORD timeoutMs);

// Forgets the last request, so the next one starts at once (for tests).
void VCamResetLauncher();
