#include "SingleInstance.h"

#include <string>

#include "DialogCommon.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"
#include "ZxVCamDlg.h"

namespace SingleInstance {

const wchar_t* const kMutexName = L"Velmo_ZxVCam_2014-1-2";

namespace {

// The running copy's process id, for a later start that finds no window.
const wchar_t kPidMapping[] = L"Velmo_ZxVCam_2014-1-2_Pid";

HANDLE g_pidMapping = nullptr;
HANDLE g_recording = nullptr;

std::wstring RecordingName(DWORD pid) {
    return std::wstring(L"Velmo_ZxVCam_2014-1-2_Recording_") + std::to_wstring(pid);
}

// The other copy's main window: a top-level window carrying the mark.
HWND FindMarkedWindow() {
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w && IsWindow(w); w = GetWindow(w, GW_HWNDNEXT))
        if (GetPropW(w, CZxVCamDlg::kWindowMark)) return w;
    return nullptr;
}

bool Answers(HWND w, DWORD ms) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, ms, &result) != 0;
}

// Opens (or makes) the shared process id; the handle stays open for the
// life of the process.
DWORD* PidSlot() {
    if (!g_pidMapping) {
        ObjectSecurity::SharedObjectSecurity security(ObjectSecurity::Kind::Mapping);
        g_pidMapping = CreateFileMappingW(INVALID_HANDLE_VALUE, security.Attributes(), PAGE_READWRITE, 0,
                                          sizeof(DWORD), kPidMapping);
    }
    if (!g_pidMapping) return nullptr;
    static DWORD* view = nullptr;
    if (!view) view = static_cast<DWORD*>(MapViewOfFile(g_pidMapping, FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
    return view;
}

void PublishThisCopy() {
    if (DWORD* slot = PidSlot()) InterlockedExchange(reinterpret_cast<volatile LONG*>(slot), GetCurrentProcessId());
}

DWORD PublishedPid() {
    DWORD* slot = PidSlot();
    return slot ? *slot : 0;
}

bool ProcessEnded(DWORD pid) {
    HANDLE h = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!h) return GetLastError() == ERROR_INVALID_PARAMETER;   // no such process
    const bool ended = WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

bool EndProcess(DWORD pid) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!h) return ProcessEnded(pid);
    TerminateProcess(h, 1);
    const bool ended = WaitForSingleObject(h, 5000) == WAIT_OBJECT_0;
    CloseHandle(h);
    return ended;
}

// The other copy hangs. It is ended unless it records; this start then runs.
Result EndHungCopy(DWORD pid, HANDLE mutex) {
    if (pid && IsRecording(pid)) {
        ZxDlg::Log(2, "main", "the copy %lu does not answer but records; it is left running",
                   static_cast<unsigned long>(pid));
        MessageBoxW(nullptr, Lang::Text("app.err.busy_recording").c_str(), Lang::Text("app.title").c_str(),
                    MB_OK | MB_ICONWARNING);
        if (mutex) CloseHandle(mutex);
        return kOtherCopyRefused;
    }
    ZxDlg::Log(2, "main", "the copy %lu does not answer; ending it", static_cast<unsigned long>(pid));
    // Without a known process (a copy that never published itself) every
    // other copy of this program is ended, as there is no other way to it.
    const bool ended = pid ? EndProcess(pid) : Process::KillOtherInstance();
    if (!ended) {
        MessageBoxW(nullptr, Lang::Text("app.err.still_running").c_str(),
                    Lang::Text("app.err.still_running_title").c_str(), MB_OK);
        if (mutex) CloseHandle(mutex);
        return kOtherCopyRefused;
    }
    // The mutex stays open through this start's handle: it is now the one copy.
    PublishThisCopy();
    ZxDlg::Log(0, "main", "the hung copy was ended; this start runs");
    return kRunThisCopy;
}

}  // namespace

Result Check(const Timing& timing) {
    // The user's descriptor (ZxLib/ObjectSecurity.h): every copy of this
    // user opens it, elevated or not, and no other account can take or
    // change it (a null DACL let any process hold or re-secure it).
    ObjectSecurity::SharedObjectSecurity security(ObjectSecurity::Kind::Mutex);
    HANDLE mutex = CreateMutexW(security.Attributes(), FALSE, kMutexName);
    const DWORD created = GetLastError();
    // Refused access means the mutex exists and belongs to a copy of another
    // account in this session: another copy runs, as with ERROR_ALREADY_EXISTS.
    if (created != ERROR_ALREADY_EXISTS && !(mutex == nullptr && created == ERROR_ACCESS_DENIED)) {
        PublishThisCopy();   // the mutex is kept open for the life of the process
        return kRunThisCopy;
    }

    const ULONGLONG waitEnd = GetTickCount64() + timing.startWaitMs;
    int unanswered = 0;
    for (;;) {
        if (HWND other = FindMarkedWindow()) {
            if (Answers(other, timing.answerMs)) {
                ShowWindow(other, SW_SHOWNORMAL);
                SetForegroundWindow(other);
                if (mutex) CloseHandle(mutex);
                return kOtherCopyShown;
            }
            if (!IsWindow(other)) continue;   // closed meanwhile: look again
            if (++unanswered >= timing.tries) {
                DWORD pid = 0;
                GetWindowThreadProcessId(other, &pid);
                return EndHungCopy(pid, mutex);
            }
            Sleep(timing.pauseMs);
            continue;
        }
        unanswered = 0;
        // No window yet: the other copy is starting (its kernel loads
        // before its window exists), or it has ended meanwhile.
        const DWORD pid = PublishedPid();
        const bool gone = pid ? ProcessEnded(pid) : Process::CountOtherInstances() == 0;
        if (gone) {
            PublishThisCopy();
            return kRunThisCopy;
        }
        if (GetTickCount64() >= waitEnd) return EndHungCopy(pid, mutex);
        Sleep(200);   // between two looks for the window
    }
}

void SetRecording(bool recording) {
    if (recording && !g_recording) {
        ObjectSecurity::SharedObjectSecurity security(ObjectSecurity::Kind::Event);
        g_recording = CreateEventW(security.Attributes(), TRUE, TRUE, RecordingName(GetCurrentProcessId()).c_str());
    } else if (!recording && g_recording) {
        CloseHandle(g_recording);
        g_recording = nullptr;
    }
}

bool IsRecording(DWORD pid) {
    HANDLE h = OpenEventW(SYNCHRONIZE, FALSE, RecordingName(pid).c_str());
    if (!h) return false;
    CloseHandle(h);
    return true;
}

}  // namespace SingleInstance
