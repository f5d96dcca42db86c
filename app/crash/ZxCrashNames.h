// The names a crash leaves behind, shared by the crash handler that writes
// the dump and the report program that looks for it:
//
//   dump file   <folder>\20140102030405006_ZxVCam.exe.dmp
//   argument    \20140102030405006_ZxVCam      (what DumpReport.exe is given)
//   stamp       20140102030405006_ZxVCam       (17 digits of local time down
//                                               to the millisecond, an
//                                               underscore, the program's
//                                               file name without extension)
//
// Nothing here installs anything; the report program links this alone.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace ZxCrash {

// The file name of the report program, looked for in the program's folder.
extern const char* const kReportProgram;   // "DumpReport.exe"

// The stamp of a crash of the program exeBase ("ZxVCam") at time t.
std::string DumpStamp(const SYSTEMTIME& t, const std::string& exeBase);

// The dump's file name: the stamp, the program's extension (".exe", with its
// dot, may be empty) and ".dmp".
std::string DumpFileName(const SYSTEMTIME& t, const std::string& exeBase, const std::string& exeExt);

// The argument the report program is started with: a backslash and the
// stamp. Put in double quotes when it holds a space, so it stays one
// argument.
std::string ReportArgument(const SYSTEMTIME& t, const std::string& exeBase);

// The stamp in an argument of the report program ("\\<stamp>" or
// "<stamp>"); empty when the argument is not a stamp: 17 digits, an
// underscore and a file name that names no other folder (no "\\", "/", ":",
// wildcards or quotes), so a crafted argument cannot point the search
// elsewhere.
std::string StampFromArgument(const std::string& argument);

// The first dump of that stamp ("<stamp>.<ext>.dmp" or "<stamp>.dmp") in the
// folders, tried in order; the full path, or "" when none holds one.
std::string FindDump(const std::string& stamp, const std::vector<std::string>& folders);

// The folders a dump may lie in, in the order the handler prefers them: the
// program's folder, then the per-user log folder (Dir::GetLogPath) for a
// program folder nobody may write to. Both end in a backslash.
std::vector<std::string> DumpFolders(const std::string& programDir);

// Where the handler writes a dump: the program's folder when a file can be
// created there, else the log folder. Ends in a backslash.
std::string ChooseDumpFolder(const std::string& programDir);

// True for the value of the setting LogMsg/realloglevel that asks for the
// detailed dump: exactly "debug" (case matters: "Debug" is not it).
bool IsDebugLogLevel(const std::string& value);

}  // namespace ZxCrash
