// Stands in for the main program: appends its path, command line and folder to "launched.txt".
// With "hold.txt" beside it, it then holds the program's single-instance mutex (ending when
// another copy has it) until "ZxLaunchProbe_Release" is set or a minute passed.
#include <windows.h>

#include <string>

int main() {
    wchar_t self[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
    std::wstring path(self, n);
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\') + 1);
    wchar_t current[MAX_PATH * 2] = {};
    GetCurrentDirectoryW(MAX_PATH * 2, current);
    const std::wstring line = path + L"|" + GetCommandLineW() + L"|" + current + L"\r\n";
    // UTF-8, so the test can read a folder name with any character.
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &text[0], bytes, nullptr, nullptr);
    HANDLE file = CreateFileW((folder + L"launched.txt").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    if (GetFileAttributesW((folder + L"hold.txt").c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, L"ZxLaunchProbe_Release");
    HANDLE single = CreateMutexW(nullptr, FALSE, L"Velmo_ZxVCam_2014-1-2");
    if (single && GetLastError() != ERROR_ALREADY_EXISTS && release) WaitForSingleObject(release, 60000);
    if (single) CloseHandle(single);
    if (release) CloseHandle(release);
    return 0;
}
