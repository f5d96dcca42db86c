#include "VCamSource.h"

#include <vector>

#include "ShareMem.h"
#include "VCamLog.h"
#include "ZxLib/ZxLib.h"

const wchar_t kVCamProgramKey[] = L"SOFTWARE\\orbian\\ZXVCAM";
const wchar_t kVCamProgramValue[] = L"Path";
const wchar_t kVCamProgramMutex[] = L"Velmo_ZxVCam_2014-1-2";

namespace {

bool TokenElevated() {
    // Wine has no user account control: every process of the user has the
    // same (administrator's) token and reports it elevated, so no process
    // with fewer rights can have written the user's value. There the client
    // counts as ordinary; on Windows the token decides.
    if (Process::RunsUnderWine()) return false;
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
                          elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

bool (*volatile g_elevationCheck)() = nullptr;

// The "Path" string of root\SOFTWARE\orbian\ZXVCAM in one registry view, or
// an empty string.
std::wstring ReadFolder(HKEY root, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kVCamProgramKey, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return {};
    std::wstring folder;
    DWORD bytes = 0;
    // REG_EXPAND_SZ values come expanded; any other type is not a folder.
    const DWORD flags = RRF_RT_REG_SZ;
    if (RegGetValueW(key, nullptr, kVCamProgramValue, flags, nullptr, nullptr, &bytes) == ERROR_SUCCESS &&
        bytes >= sizeof(wchar_t) && bytes <= 65536) {
        std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegGetValueW(key, nullptr, kVCamProgramValue, flags, nullptr, buffer.data(), &size) == ERROR_SUCCESS) {
            buffer.back() = L'\0';
            folder = buffer.data();
        }
    }
    RegCloseKey(key);
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

// The machine-wide value: the 64-bit registry view first, then the 32-bit
// one (an installer may write either); only administrators write both.
std::wstring MachineFolder() {
    std::wstring folder = ReadFolder(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    if (folder.empty()) folder = ReadFolder(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    return folder;
}

// The flags that start the program outside the host's job where the job
// lets a child leave it.
DWORD BreakawayFlags() {
    BOOL inJob = FALSE;
    if (!IsProcessInJob(GetCurrentProcess(), nullptr, &inJob) || !inJob) return 0;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits, sizeof(limits), nullptr))
        return 0;
    return (limits.BasicLimitInformation.LimitFlags & JOB_OBJECT_LIMIT_BREAKAWAY_OK) ? CREATE_BREAKAWAY_FROM_JOB : 0;
}

// The user's shell process (the owner of the shell window), opened so that
// it can be named as the parent of a new process; null when there is none.
HANDLE OpenShellProcess() {
    HWND shell = GetShellWindow();
    DWORD pid = 0;
    if (!shell || !GetWindowThreadProcessId(shell, &pid) || !pid) return nullptr;
    return OpenProcess(PROCESS_CREATE_PROCESS | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
}

// Whether process runs elevated.
bool ProcessElevated(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return true;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated = !GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) ||
                          elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

// Launcher state, process-wide.
SRWLOCK g_launchLock = SRWLOCK_INIT;
CONDITION_VARIABLE g_launchDone = CONDITION_VARIABLE_INIT;
bool g_launching = false;
bool g_requested = false;
ULONGLONG g_lastRequest = 0;

DWORD WINAPI LaunchThread(void*) {
    try {
        StartVCamProgram();
    } catch (...) {
        VCamLog("StartVCamSource: out of memory, main program not started");
    }
    AcquireSRWLockExclusive(&g_launchLock);
    g_launching = false;
    WakeAllConditionVariable(&g_launchDone);
    ReleaseSRWLockExclusive(&g_launchLock);
    return 0;
}

}  // namespace

bool VCamClientElevated() {
    bool (*check)() = g_elevationCheck;
    return check ? check() : TokenElevated();
}

void VCamSetElevationCheck(bool (*check)()) { g_elevationCheck = check; }

std::string VCamProgramFolder() {
    if (VCamClientElevated()) return Charset::WString2String(MachineFolder());
    std::wstring folder = ReadFolder(HKEY_CURRENT_USER, 0);
    if (folder.empty()) folder = MachineFolder();
    return Charset::WString2String(folder);
}

std::wstring VCamProgramPath(const std::string& folder) { return Charset::String2WString(folder) + L"\\ZXVCam.exe"; }

bool VCamProgramRunning() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kVCamProgramMutex);
    if (mutex) {
        CloseHandle(mutex);
        return true;
    }
    // A mutex of another account's or integrity level exists all the same.
    return GetLastError() == ERROR_ACCESS_DENIED;
}

bool StartVCamProgram() {
    VCamLog("StartVCamSource");
    if (VCamProgramRunning()) {
        VCamLog("StartVCamSource: the main program runs already, not started again");
        return false;
    }
    const bool elevated = VCamClientElevated();
    const std::string folder = VCamProgramFolder();
    if (folder.empty()) {
        VCamLog(elevated ? "StartVCamSource: elevated client and no \"Path\" under HKEY_LOCAL_MACHINE\\SOFTWARE\\orbian\\"
                           "ZXVCAM, main program not started"
                         : "StartVCamSource: no \"Path\" under HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE\\SOFTWARE\\"
                           "orbian\\ZXVCAM, main program not started");
        return false;
    }

    const std::wstring program = VCamProgramPath(folder);
    const std::wstring directory = Charset::String2WString(folder) + L"\\";
    std::wstring commandLine = L"\"" + program + L"\"";
    VCamLog(Charset::WString2String(commandLine).c_str());

    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup.StartupInfo);
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    DWORD flags = CREATE_NEW_CONSOLE;
    HANDLE shell = nullptr;
    std::vector<BYTE> attributes;
    if (elevated) {
        // An elevated client starts the program as a child of the user's
        // shell, so it gets the shell's (unelevated) token; without such a
        // shell it starts nothing.
        shell = OpenShellProcess();
        if (!shell || ProcessElevated(shell)) {
            if (shell) CloseHandle(shell);
            VCamLog("StartVCamSource: elevated client and no unelevated shell to start the main program from, "
                    "main program not started");
            return false;
        }
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes.resize(size);
        startup.lpAttributeList = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
        if (!InitializeProcThreadAttributeList(startup.lpAttributeList, 1, 0, &size) ||
            !UpdateProcThreadAttribute(startup.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &shell,
                                       sizeof(shell), nullptr, nullptr)) {
            CloseHandle(shell);
            VCamLogF("StartVCamSource: elevated client, the shell cannot be the parent (error %lu), main program "
                     "not started", static_cast<unsigned long>(GetLastError()));
            return false;
        }
        startup.StartupInfo.cb = sizeof(startup);
        flags |= EXTENDED_STARTUPINFO_PRESENT;
        VCamLog("StartVCamSource: elevated client, the machine-wide folder, started with the shell's rights");
    } else {
        flags |= BreakawayFlags();
    }

    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, flags, nullptr,
                                  directory.c_str(), &startup.StartupInfo, &process);
    if (!started && (flags & CREATE_BREAKAWAY_FROM_JOB) && GetLastError() == ERROR_ACCESS_DENIED) {
        started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                 flags & ~CREATE_BREAKAWAY_FROM_JOB, nullptr, directory.c_str(), &startup.StartupInfo,
                                 &process);
    }
    const DWORD error = started ? 0 : GetLastError();
    if (startup.lpAttributeList) DeleteProcThreadAttributeList(startup.lpAttributeList);
    if (shell) CloseHandle(shell);
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        VCamLogF("新进程的ID号：%lu", static_cast<unsigned long>(process.dwProcessId));
        VCamLogF("新进程的主线程ID号：%lu", static_cast<unsigned long>(process.dwThreadId));
    } else {
        VCamLogF("StartVCamSource: the main program did not start (error %lu)", static_cast<unsigned long>(error));
    }
    return started != FALSE;
}

bool StartVCamSource(CShareMem& reader) {
    // Opens the channel once; a reader that is open stays as it is.
    if (!reader.IsOpen()) reader.Open(kShareMemFileName, kShareMemSize);
    return StartVCamProgram();
}

bool RequestVCamProgram() {
    AcquireSRWLockExclusive(&g_launchLock);
    const ULONGLONG now = GetTickCount64();
    const bool start = !g_launching && (!g_requested || now - g_lastRequest >= kVCamLaunchIntervalMs);
    if (start) {
        g_launching = true;
        g_requested = true;
        g_lastRequest = now;
    }
    ReleaseSRWLockExclusive(&g_launchLock);
    if (!start) return false;
    if (VCamRunDetached(&LaunchThread, nullptr)) return true;
    AcquireSRWLockExclusive(&g_launchLock);
    g_launching = false;
    WakeAllConditionVariable(&g_launchDone);
    ReleaseSRWLockExclusive(&g_launchLock);
    VCamLog("StartVCamSource: no thread for the start, main program not started");
    return false;
}

bool VCamWaitForLauncher(DWORD timeoutMs) {
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    AcquireSRWLockExclusive(&g_launchLock);
    while (g_launching) {
        const ULONGLONG now = GetTickCount64();
        if (now >= until) break;
        SleepConditionVariableSRW(&g_launchDone, &g_launchLock, static_cast<DWORD>(until - now), 0);
    }
    const bool idle = !g_launching;
    ReleaseSRWLockExclusive(&g_launchLock);
    return idle;
}

void VCamResetLauncher() {
    AcquireSRWLockExclusive(&g_launchLock);
    g_requested = false;
    ReleaseSRWLockExclusive(&g_launchLock);
}
