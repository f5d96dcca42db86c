// Helpers shared by the test programs.
#pragma once

#include <functional>
#include <string>

namespace zxtest {

// How long a test waits before it calls a wait a hang (a guard, never a speed measure).
constexpr unsigned kHangGuardMs = 30000;

// Waits until done() is true, looking every millisecond or so; false only
// when timeoutMs pass first (a hang).
bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs = kHangGuardMs);

// A fresh, empty folder for one test (ending in a backslash) inside the
// runner's scratch folder (ZXVCAM_TEST_TMP), so no test writes outside the build.
std::string MakeTempDir(const std::string& name);

// Points every folder of Dir::GetZxPath and the log folder at sub-folders of
// a fresh temporary folder, and returns that folder.
std::string RedirectUserFolders(const std::string& name);

// Writes a whole file (binary); true on success.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Starts a command line, its output into outputFile when named; the
// process's handle, or null when it did not start.
void* StartProcess(const std::string& commandLine, const std::string& outputFile = "");
// Waits at most timeoutMs for a process StartProcess gave (ending it after
// that) and closes its handle; its exit code, or -1 when there is none.
int FinishProcess(void* process, unsigned timeoutMs = 60000);
// A command line run to its end: StartProcess, then FinishProcess.
int RunProcess(const std::string& commandLine, unsigned timeoutMs = 60000, const std::string& outputFile = "");

// A REG_DWORD value under HKEY_CURRENT_USER set while alive; what was there
// before (or nothing) is put back when it goes.
class UserRegistryDword {
public:
    UserRegistryDword(const std::wstring& key, const std::wstring& name, unsigned long value);
    ~UserRegistryDword();

private:
    std::wstring m_key, m_name;
    unsigned long m_old = 0;
    bool m_had = false;
};

}  // namespace zxtest
