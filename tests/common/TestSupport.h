// Helpers shared by the test programs.
#pragma once

#include <functional>
#include <string>

namespace zxtest {

// How long a test waits for something that must happen before it calls it
// a hang. Only a guard: a loaded machine makes things slow, never wrong, so
// no test measures speed with it.
constexpr unsigned kHangGuardMs = 30000;

// Waits until done() is true, looking every millisecond or so; false only
// when timeoutMs pass first (a hang).
bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs = kHangGuardMs);

// A fresh, empty folder for one test (ending in a backslash), inside the
// scratch folder the test runner gives the program (ZXVCAM_TEST_TMP), so no
// test writes outside the build tree. Removed again by the runner.
std::string MakeTempDir(const std::string& name);

// Points every folder of Dir::GetZxPath and the log folder at sub-folders of
// a fresh temporary folder, and returns that folder.
std::string RedirectUserFolders(const std::string& name);

// Writes a whole file (binary); true on success.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Starts a command line (the program's path quoted, its arguments after
// it), its standard output and error into outputFile when one is named;
// the process's handle, or null when it did not start.
void* StartProcess(const std::string& commandLine, const std::string& outputFile = "");
// Waits at most timeoutMs for a process StartProcess gave (ending it after
// that) and closes its handle; its exit code, or -1 when there is none.
int FinishProcess(void* process, unsigned timeoutMs = 60000);
// A command line run to its end: StartProcess, then FinishProcess.
int RunProcess(const std::string& commandLine, unsigned timeoutMs = 60000, const std::string& outputFile = "");

}  // namespace zxtest
