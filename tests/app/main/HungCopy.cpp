// Stands in for a copy of the program that hangs: it holds the program's
// single-instance mutex, shows no window and does nothing (at most a
// minute). The tests start it under the name ZxVCam.exe.
#include <windows.h>

int main() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Velmo_ZxVCam_2014-1-2");
    Sleep(60000);
    if (mutex) CloseHandle(mutex);
    return 0;
}
