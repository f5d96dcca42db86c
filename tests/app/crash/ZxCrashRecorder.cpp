// Stands in for the report program in the crash tests: copied into a test's
// program folder as DumpReport.exe, it writes its command line (UTF-8) to
// DumpReport.args beside itself and then sets the named event given in
// ZXCRASH_TEST_EVENT, so the test wakes the moment the report program runs.
#include <windows.h>

#include <string>

#include "ZxLib/ZxLib.h"

int main() {
    const std::string line = Charset::WString2String(GetCommandLineW());
    File::WriteAllAtomic(Dir::GetCurrentPath() + "DumpReport.args", line);
    wchar_t name[256] = {};
    if (GetEnvironmentVariableW(L"ZXCRASH_TEST_EVENT", name, 256) > 0) {
        if (HANDLE e = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
            SetEvent(e);
            CloseHandle(e);
        }
    }
    return 0;
}
