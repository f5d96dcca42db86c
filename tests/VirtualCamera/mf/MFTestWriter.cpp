// Publishes the test pattern into the real channel at 20 a second until the event is set or time is up.
//   ZxMFTestWriter.exe STOP_EVENT_NAME SECONDS
#include <string>

#include <windows.h>

#include <cwchar>

#include "MFTestPattern.h"
#include "VCamTestSupport.h"

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) return 1;
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, argv[1]);
    const DWORD ms = static_cast<DWORD>(_wtoi(argv[2])) * 1000;
    vct::ChannelWriter writer(mftest::FillFrame, true);
    if (stop) {
        WaitForSingleObject(stop, ms);
        CloseHandle(stop);
    } else {
        Sleep(ms);
    }
    writer.Stop();
    return 0;
}
