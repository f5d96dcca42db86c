// The crash handler of the program: a process-wide unhandled-exception
// filter that writes a minidump and starts the report program
// DumpReport.exe, so a crash leaves a dump and a report instead of a silent
// death.
//
// It is installed by a static object of this library before WinMain runs
// and removed by that object's destructor after WinMain returns. The build
// puts this object into every program that links ZxAppCrash (an object
// library), so linking it installs the handler; with a build that makes it
// a static library instead, the program must refer to a function declared
// here (EnsureInstalled) to keep the installing object in the executable.
//
// Only the program links this library; the report program links the names
// alone (ZxCrashNames.h), so it never reports its own crash with itself.
#pragma once

#include <windows.h>

#include <string>

#include "ZxCrashNames.h"

namespace ZxCrash {

// True when the filter is installed (it is from before WinMain until the
// program's static objects are destroyed).
bool EnsureInstalled();

// The detail of the dump: with the flag set, MiniDumpWithDataSegs (the
// program's global data included); otherwise MiniDumpNormal. The program
// sets it once from its settings:
//     ZxCrash::SetDebugFlag(ZxCrash::IsDebugLogLevel(value of LogMsg/realloglevel));
void SetDebugFlag(bool debug);
bool GetDebugFlag();

// True when DbgHelp was found with all the entry points the handler
// resolves, so a dump can be written.
bool CanWriteDumps();

// The folder of the running program, no trailing backslash: where the dump
// goes when that folder is writable, and where DumpReport.exe is started
// from. Tests and tools may point it elsewhere.
std::string GetProgramDir();
void SetProgramDir(const std::string& dir);

// The filter itself, as given to SetUnhandledExceptionFilter. A breakpoint,
// or any exception while a debugger is attached, is passed on
// (EXCEPTION_CONTINUE_SEARCH); anything else writes the dump, starts the
// report program and returns EXCEPTION_EXECUTE_HANDLER, so the process ends
// without the system's error box.
LONG WINAPI UnhandledFilter(EXCEPTION_POINTERS* exception);

// The full path of the last dump the filter wrote ("" before any).
std::string LastDumpPath();

}  // namespace ZxCrash
