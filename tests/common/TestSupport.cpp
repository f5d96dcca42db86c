#include "TestSupport.h"

#include <windows.h>

#include <atomic>

#include "ZxLib/ZxLib.h"

namespace zxtest {

static std::string ScratchRoot() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetEnvironmentVariableW(L"ZXVCAM_TEST_TMP", buf, MAX_PATH * 2);
    if (n > 0 && n < MAX_PATH * 2) return Dir::WithSlash(Charset::WString2String(std::wstring(buf, n)));
    n = GetTempPathW(MAX_PATH * 2, buf);
    return Dir::WithSlash(Charset::WString2String(std::wstring(buf, n))) + "zxtest-" +
           std::to_string(GetCurrentProcessId()) + "\\";
}

std::string MakeTempDir(const std::string& name) {
    static std::atomic<int> counter{0};
    std::string dir = ScratchRoot() + name + "-" + std::to_string(++counter) + "\\";
    Dir::MakeDir(dir);
    return dir;
}

std::string RedirectUserFolders(const std::string& name) {
    std::string root = MakeTempDir(name);
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", Charset::String2WString(root + "AppData\\ZxVCam\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_CACHE_DIR", Charset::String2WString(root + "Local\\ZxVCam\\Cache\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_LOG_DIR", Charset::String2WString(root + "Local\\ZxVCam\\Log\\").c_str());
    return root;
}

bool WaitUntil(const std::function<bool()>& done, unsigned timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start >= timeoutMs) return done();
        Sleep(1);
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) { return File::WriteAllAtomic(path, bytes); }

std::string ReadFile(const std::string& path) {
    std::string out;
    File::ReadAll(path, out);
    return out;
}

void* StartProcess(const std::string& commandLine, const std::string& outputFile) {
    std::wstring cmd = Charset::String2WString(commandLine);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    HANDLE output = nullptr;
    if (!outputFile.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        output = CreateFileW(Charset::String2WString(outputFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) return nullptr;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = output;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    PROCESS_INFORMATION pi = {};
    const BOOL started =
        CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, output ? TRUE : FALSE, 0, nullptr, nullptr, &si, &pi);
    if (output) CloseHandle(output);
    if (!started) return nullptr;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int FinishProcess(void* process, unsigned timeoutMs) {
    if (!process) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process, &code);
    } else {
        TerminateProcess(process, static_cast<UINT>(-1));
        WaitForSingleObject(process, 5000);
    }
    CloseHandle(process);
    return static_cast<int>(code);
}

int RunProcess(const std::string& commandLine, unsigned timeoutMs, const std::string& outputFile) {
    return FinishProcess(StartProcess(commandLine, outputFile), timeoutMs);
}

UserRegistryDword::UserRegistryDword(const std::wstring& key, const std::wstring& name, unsigned long value)
    : m_key(key), m_name(name) {
    DWORD size = sizeof m_old;
    m_had = RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &m_old, &size) ==
            ERROR_SUCCESS;
    RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), REG_DWORD, &value, sizeof value);
}

UserRegistryDword::~UserRegistryDword() {
    if (m_had) RegSetKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_name.c_str(), REG_DWORD, &m_old, sizeof m_old);
    else RegDeleteKeyValueW(HKEY_CURRENT_USER, m_key.c_str(), m_name.c_str());
}

}  // namespace zxtest
