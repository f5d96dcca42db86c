// Stands in for a copy of the program that hangs: it holds the program's
// single-instance mutex and its marked main window, and never answers a
// message again (at most a minute). With the argument "recording" it also
// says that it records, as the program does while a recording runs. The
// tests start it under the name ZxVCam.exe.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Velmo_ZxVCam_2014-1-2");
    HANDLE recording = nullptr;
    if (argc > 1 && std::strcmp(argv[1], "recording") == 0)
        recording = CreateEventW(nullptr, TRUE, TRUE,
                                 (L"Velmo_ZxVCam_2014-1-2_Recording_" + std::to_wstring(GetCurrentProcessId())).c_str());
    HWND window = CreateWindowExW(0, L"STATIC", L"hung", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    SetPropW(window, L"ZxVCamMainWnd", reinterpret_cast<HANDLE>(1));
    Sleep(60000);   // the hang: no message is ever taken from the queue
    if (recording) CloseHandle(recording);
    if (mutex) CloseHandle(mutex);
    return 0;
}
