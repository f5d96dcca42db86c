// A data library that takes eight seconds to start, loaded beside the
// kernel (through ZXVCAM_DATA_LIBS) to make the program a slow starter:
// its main window appears only after the wait.
#include <windows.h>

extern "C" __declspec(dllexport) void ZxDllInit() { Sleep(8000); }
extern "C" __declspec(dllexport) void ZxDllExit() {}
