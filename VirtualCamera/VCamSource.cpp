#include "VCamSource.h"

#include <windows.h>

#include <vector>

#include "ShareMem.h"
#include "VCamLog.h"
#include "ZxLib/ZxLib.h"

const wchar_t kVCamProgramKey[] = L"SOFTWARE\\orbian\\ZXVCAM";
const wchar_t kVCamProgramValue[] = L"Path";

std::string VCamProgramFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kVCamProgramKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return {};
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
    return Charset::WString2String(folder);
}

std::wstring VCamProgramPath(const std::string& folder) { return Charset::String2WString(folder) + L"\\ZXVCam.exe"; }

bool StartVCamSource(CShareMem& reader) {
    // Opens the channel once; a reader that is open stays as it is.
    if (!reader.IsOpen()) reader.Open(kShareMemFileName, kShareMemSize);

    const std::string folder = VCamProgramFolder();
    if (folder.empty()) {
        VCamLog("StartVCamSource");
        VCamLog("StartVCamSource: no \"Path\" under HKEY_CURRENT_USER\\SOFTWARE\\orbian\\ZXVCAM, main program not started");
        return false;
    }

    const std::wstring program = VCamProgramPath(folder);
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE,
                                        nullptr, nullptr, &startup, &process);
    const DWORD error = started ? 0 : GetLastError();
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    VCamLog("StartVCamSource");
    VCamLog(Charset::WString2String(commandLine).c_str());
    // The process lines go to the debug log, never to the client's standard
    // output: a client may be writing its video there.
    if (started) {
        VCamLogF("新进程的ID号：%lu", static_cast<unsigned long>(process.dwProcessId));
        VCamLogF("新进程的主线程ID号：%lu", static_cast<unsigned long>(process.dwThreadId));
    } else {
        VCamLogF("StartVCamSource: the main program did not start (error %lu)", static_cast<unsigned long>(error));
    }
    return started != FALSE;
}
