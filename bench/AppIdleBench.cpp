// ZxVCam.exe at rest: started as a user starts it (its own user folders in
// a temporary place), the default picture running through the kernel and
// the live preview, and measured from outside after it has settled: its
// share of one core and its private memory over ten seconds. Targets: at
// most 1.5 % of one core and 60 MB.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "ZxLib/ZxLib.h"

namespace {

double FileTimeSeconds(const FILETIME& ft) {
    ULARGE_INTEGER v;
    v.LowPart = ft.dwLowDateTime;
    v.HighPart = ft.dwHighDateTime;
    return static_cast<double>(v.QuadPart) / 1e7;
}

double CpuSeconds(HANDLE process) {
    FILETIME created, ended, kernel, user;
    if (!GetProcessTimes(process, &created, &ended, &kernel, &user)) return 0;
    return FileTimeSeconds(kernel) + FileTimeSeconds(user);
}

double PrivateMB(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc))) return 0;
    return static_cast<double>(pmc.PrivateUsage) / (1024.0 * 1024.0);
}

// Under Wine another process's times and memory counters read as zero; the
// program is a Linux process there, so its figures come from Linux's /proc
// (the Unix root is drive Z:). On Windows this is never needed.
std::string ReadSmall(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string out;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0 && out.size() < 65536) out.append(buf, got);
    CloseHandle(h);
    return out;
}

// The bench starts ZxVCam.exe with this argument (the program ignores its
// command line), so its Linux process can be told from any other copy.
std::string Marker() { return "--idle-bench-" + std::to_string(GetCurrentProcessId()); }

// The Linux process of the ZxVCam.exe this bench started: its command line
// (Wine shows the Windows one there) names ZxVCam.exe and carries the
// marker, so another ZxVCam.exe that happens to run is never measured; 0
// when none.
int LinuxPid() {
    const std::string tag = Marker();
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int pid = 0;
    do {
        const int n = _wtoi(fd.cFileName);
        if (n <= 0) continue;
        const std::wstring dir = L"Z:\\proc\\" + std::to_wstring(n);
        const std::string cmd = ReadSmall(dir + L"\\cmdline");
        if (cmd.find("ZxVCam.exe") != std::string::npos && cmd.find(tag) != std::string::npos) pid = n;
    } while (!pid && FindNextFileW(find, &fd));
    FindClose(find);
    return pid;
}

// User + system seconds of a Linux process (clock ticks of 100 a second).
double LinuxCpuSeconds(int pid) {
    const std::string stat = ReadSmall(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    unsigned long long utime = 0, stime = 0;
    // Fields after the name: state ppid pgrp session tty tpgid flags minflt
    // cminflt majflt cmajflt utime stime.
    if (std::sscanf(stat.c_str() + close + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                    &stime) != 2)
        return 0;
    return static_cast<double>(utime + stime) / 100.0;
}

// Private memory (anonymous and private file pages) of a Linux process, MB.
double LinuxPrivateMB(int pid) {
    const std::string rollup = ReadSmall(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\smaps_rollup");
    double kb = 0;
    for (const char* key : {"Private_Clean:", "Private_Dirty:"}) {
        const size_t at = rollup.find(key);
        if (at != std::string::npos) kb += std::atof(rollup.c_str() + at + std::strlen(key));
    }
    return kb / 1024.0;
}

HWND MainWindow(DWORD pid) {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && GetPropW(w, L"ZxVCamMainWnd") && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

}  // namespace

int main() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring folder(exe);
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring home = std::wstring(temp) + L"zxvcam-idle-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", (home + L"data\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_CACHE_DIR", (home + L"cache\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_LOG_DIR", (home + L"log\\").c_str());

    const std::string marker = Marker();
    std::wstring cmd = L"\"" + folder + L"ZxVCam.exe\" " + std::wstring(marker.begin(), marker.end());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::printf("ZxVCam.exe did not start\n");
        return 1;
    }
    HWND main = nullptr;
    for (int i = 0; i < 600 && !main; ++i) {
        Sleep(100);
        main = MainWindow(pi.dwProcessId);
    }
    if (!main) {
        std::printf("ZxVCam.exe showed no main window\n");
        TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    Sleep(3000);   // settled: skins scanned, the kernel's threads running
    const bool fromLinux = PrivateMB(pi.hProcess) == 0;
    const int linuxPid = fromLinux ? LinuxPid() : 0;
    if (fromLinux && linuxPid == 0) {
        std::printf("ZxVCam.exe: the Linux process of the copy started here was not found; nothing measured\n");
        PostMessageW(main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
        return 1;
    }
    auto cpuNow = [&] { return fromLinux ? LinuxCpuSeconds(linuxPid) : CpuSeconds(pi.hProcess); };
    auto privateNow = [&] { return fromLinux ? LinuxPrivateMB(linuxPid) : PrivateMB(pi.hProcess); };
    if (fromLinux) std::printf("(figures from Linux's /proc for process %d: Wine gives no counters of another process)\n", linuxPid);
    const double cpu0 = cpuNow();
    const double t0 = Clock::NowMs();
    double peakMB = 0;
    for (int i = 0; i < 10; ++i) {
        Sleep(1000);
        const double mb = privateNow();
        if (mb > peakMB) peakMB = mb;
    }
    const double wall = (Clock::NowMs() - t0) / 1000.0;
    const double cpu = cpuNow() - cpu0;
    std::printf("ZxVCam.exe idle with the default picture (20 frames a second through the kernel and the preview)\n");
    std::printf("  CPU: %.2f s in %.1f s = %.1f %% of one core (target <= 1.5 %%)\n", cpu, wall, 100.0 * cpu / wall);
    std::printf("  private memory: %.1f MB at the end, %.1f MB at most (target <= 60 MB)\n", privateNow(), peakMB);
    PostMessageW(main, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return 0;
}
