#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

#include "ZxLib/ZxLib.h"

namespace {

std::wstring OwnExeName() {
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return std::wstring();
        if (n < buf.size()) {
            std::wstring path(buf.data(), n);
            size_t slash = path.find_last_of(L"\\/");
            return slash == std::wstring::npos ? path : path.substr(slash + 1);
        }
        buf.resize(buf.size() * 2);
    }
}

// The ids of the other processes that run an executable of that name.
std::vector<DWORD> OtherProcesses(const std::string& exeName) {
    std::vector<DWORD> ids;
    const std::wstring name = exeName.empty() ? OwnExeName() : Charset::String2WString(exeName);
    if (name.empty()) return ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    const DWORD self = GetCurrentProcessId();
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID != self && lstrcmpiW(entry.szExeFile, name.c_str()) == 0)
            ids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snap);
    return ids;
}

}  // namespace

namespace Process {

bool KillOtherInstance(const std::string& exeName, unsigned waitMs) {
    for (DWORD id : OtherProcesses(exeName)) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
        if (!h) continue;   // gone already, or not ours to end: counted below
        TerminateProcess(h, 1);
        WaitForSingleObject(h, waitMs);
        CloseHandle(h);
    }
    return OtherProcesses(exeName).empty();
}

int CountOtherInstances(const std::string& exeName) { return static_cast<int>(OtherProcesses(exeName).size()); }

bool RunsUnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace Process

bool ProcessExecutor::Exec(const std::string& commandLine, bool wait) {
    std::wstring cmd = Charset::String2WString(commandLine);   // CreateProcessW may write into it
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (wait) WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

namespace Url {

bool OpenUrl(const std::string& url, bool) {
    if (url.empty()) return false;
    HINSTANCE r = ShellExecuteW(nullptr, L"open", Charset::String2WString(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(r) > 32;
}

}  // namespace Url
