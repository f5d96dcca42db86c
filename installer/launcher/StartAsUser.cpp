// ZxStartAsUser: starts a program as the interactive user, without the
// rights of the elevated installer that runs this.
//
//   ZxStartAsUser.exe PROGRAM
//
// An installer runs elevated, and a program it starts inherits its token:
// elevated, and with the administrator's account when a standard user typed
// an administrator's password. Such a program's named objects and files are
// out of the reach of the user's ordinary programs. So the program is
// started by the desktop shell instead, which runs un-elevated as the
// interactive user:
//   1. the shell itself opens it (IShellWindows: the desktop's view ->
//      IShellDispatch2::ShellExecute), exactly as a double click would;
//   2. failing that, it is created as a child of the shell's process, whose
//      token it then inherits (PROC_THREAD_ATTRIBUTE_PARENT_PROCESS);
//   3. failing that, nothing is started: never the installer's own rights.
// A process that is not elevated starts the program directly.
//
// Exit code: 0 started by the shell, 1 started as the shell's child,
// 2 started directly (not elevated), 3 not started, 4 bad arguments.
#include <windows.h>
#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

// shellapi.h maps ShellExecute to ShellExecuteW, which would rename the
// IShellDispatch2 method of that name; the function is called by its W name.
#undef ShellExecute

namespace {

enum Result { kByShell = 0, kShellChild = 1, kDirect = 2, kNotStarted = 3, kBadArgs = 4 };

bool IsElevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
    TOKEN_ELEVATION elevation{};
    DWORD length = 0;
    const BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &length);
    CloseHandle(token);
    // When the system cannot tell, assume the worst: go through the shell.
    return !ok || elevation.TokenIsElevated != 0;
}

template <class T>
void Release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// The desktop shell's own ShellExecute: the program runs in the shell's
// process context, as the interactive user, un-elevated.
bool StartThroughShell(const std::wstring& program, const std::wstring& folder) {
    IShellWindows* windows = nullptr;
    IDispatch* desktop = nullptr;
    IServiceProvider* provider = nullptr;
    IShellBrowser* browser = nullptr;
    IShellView* view = nullptr;
    IDispatch* background = nullptr;
    IShellFolderViewDual* folderView = nullptr;
    IDispatch* application = nullptr;
    IShellDispatch2* shell = nullptr;
    bool started = false;

    VARIANT location, root;
    VariantInit(&location);
    VariantInit(&root);
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    long hwnd = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                   reinterpret_cast<void**>(&windows))) &&
        windows->FindWindowSW(&location, &root, SWC_DESKTOP, &hwnd, SWFO_NEEDDISPATCH, &desktop) == S_OK && desktop &&
        SUCCEEDED(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&provider))) &&
        SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser))) &&
        SUCCEEDED(browser->QueryActiveShellView(&view)) &&
        SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background))) &&
        SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView))) &&
        SUCCEEDED(folderView->get_Application(&application)) && application &&
        SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)))) {
        BSTR file = SysAllocString(program.c_str());
        VARIANT args, dir, operation, show;
        VariantInit(&args);
        VariantInit(&dir);
        VariantInit(&operation);
        VariantInit(&show);
        dir.vt = VT_BSTR;
        dir.bstrVal = SysAllocString(folder.c_str());
        operation.vt = VT_BSTR;
        operation.bstrVal = SysAllocString(L"open");
        show.vt = VT_I4;
        show.lVal = SW_SHOWNORMAL;
        started = file && SUCCEEDED(shell->ShellExecute(file, args, dir, operation, show));
        VariantClear(&dir);
        VariantClear(&operation);
        SysFreeString(file);
    }
    Release(shell);
    Release(application);
    Release(folderView);
    Release(background);
    Release(view);
    Release(browser);
    Release(provider);
    Release(desktop);
    Release(windows);
    return started;
}

// Creates the program as a child of the shell's process: it inherits the
// shell's token, not ours.
bool StartAsShellChild(const std::wstring& program, const std::wstring& folder) {
    DWORD shellPid = 0;
    HWND shellWindow = GetShellWindow();
    if (!shellWindow || !GetWindowThreadProcessId(shellWindow, &shellPid) || !shellPid) return false;
    HANDLE shellProcess = OpenProcess(PROCESS_CREATE_PROCESS, FALSE, shellPid);
    if (!shellProcess) return false;
    SIZE_T bytes = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &bytes);
    std::vector<BYTE> buffer(bytes);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(buffer.data());
    bool started = false;
    if (bytes && InitializeProcThreadAttributeList(attributes, 1, 0, &bytes)) {
        if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &shellProcess,
                                      sizeof(shellProcess), nullptr, nullptr)) {
            STARTUPINFOEXW si{};
            si.StartupInfo.cb = sizeof(si);
            si.lpAttributeList = attributes;
            PROCESS_INFORMATION pi{};
            std::wstring commandLine = L"\"" + program + L"\"";
            if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, EXTENDED_STARTUPINFO_PRESENT,
                               nullptr, folder.c_str(), &si.StartupInfo, &pi)) {
                CloseHandle(pi.hThread);
                CloseHandle(pi.hProcess);
                started = true;
            }
        }
        DeleteProcThreadAttributeList(attributes);
    }
    CloseHandle(shellProcess);
    return started;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2 || !argv[1][0]) {
        std::fprintf(stderr, "usage: ZxStartAsUser PROGRAM\n");
        return kBadArgs;
    }
    const std::wstring program = argv[1];
    std::wstring folder = program;
    const size_t slash = folder.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);

    if (!IsElevated()) {
        // Our rights are the user's already.
        const auto code = reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, folder.c_str(), SW_SHOWNORMAL));
        std::printf("start: %s\n", code > 32 ? "directly (not elevated)" : "failed");
        return code > 32 ? kDirect : kNotStarted;
    }
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The shell may still be starting (right after logon, or a desktop that
    // a fresh Wine session brings up with the first program): a few tries,
    // half a second apart.
    Result result = kNotStarted;
    for (int attempt = 0; attempt < 20 && result == kNotStarted; ++attempt) {
        if (attempt) Sleep(500);
        if (StartThroughShell(program, folder))
            result = kByShell;
        else if (StartAsShellChild(program, folder))
            result = kShellChild;
    }
    if (SUCCEEDED(init)) CoUninitialize();
    std::printf("start: %s\n", result == kByShell      ? "by the shell"
                                : result == kShellChild ? "as the shell's child"
                                                        : "not started (no un-elevated shell)");
    return result;
}
