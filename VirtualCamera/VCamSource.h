// What the filter does when a client starts to use the camera (its graph
// leaves the stopped state): it makes sure the channel reader is open and
// starts the main program, ZXVCam.exe,
// from the folder the installation wrote to the registry:
//   HKEY_CURRENT_USER\SOFTWARE\orbian\ZXVCAM, string value "Path"
//   (the folder, without a trailing backslash).
//
// There is no test whether the main program already runs: every call starts
// a new copy, and the main program's single-instance rule ends the newcomer.
#pragma once

#include <string>

class CShareMem;

// The registry key and value of the main program's folder.
extern const wchar_t kVCamProgramKey[];    // SOFTWARE\orbian\ZXVCAM
extern const wchar_t kVCamProgramValue[];  // Path

// The main program's folder from the registry (UTF-8, trailing backslashes
// removed), or an empty string when the key or the value is missing, empty
// or not a string.
std::string VCamProgramFolder();

// The full path of the main program in folder: folder\ZXVCam.exe.
std::wstring VCamProgramPath(const std::string& folder);

// Opens reader on the real channel when it is not open yet, then starts the
// main program (hidden, in a console of its own) and writes to the debug
// log what it did, the new process's ids included; nothing goes to the
// caller's standard output. Nothing is started when the folder is not known. The
// program's path is passed as the application name and, quoted, as the
// command line, so a folder with spaces never starts another program.
// True when a process was started.
bool StartVCamSource(CShareMem& reader);
