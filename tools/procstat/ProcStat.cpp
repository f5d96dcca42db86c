// Figures of other processes for the soak script (scripts/soak.sh), and the
// small acts it needs inside the Wine prefix:
//   ZxProcStat stat PID...   one line per process: its handle count and its
//                            private memory (bytes), and where each came from
//   ZxProcStat signal NAME   sets the named event NAME
//   ZxProcStat kill PID      ends the process at once (TerminateProcess), as
//                            a crash would, and waits until it is gone
//   ZxProcStat now           the performance counter in microseconds, the
//                            clock every process here stamps its lines with
// Every line starts with the counter's time in microseconds.
//
// The handle count comes from GetProcessHandleCount. Wine 8 answers that
// with 0 for every process, so a count of 0 is taken from the system's
// handle table instead (NtQuerySystemInformation with the extended handle
// information, which Wine fills from its server's handle tables): the
// entries whose owner is the process. Private memory is PrivateUsage of
// GetProcessMemoryInfo; Windows reports the same commit charge as
// PagefileUsage, and Wine 8 fills only that one (from the Linux process:
// its resident anonymous memory plus swap), so PagefileUsage stands in when
// PrivateUsage is 0. Each line says which source answered.
#include <windows.h>

#include <psapi.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ZxLib/ZxLib.h"

namespace {


// The extended handle information of NtQuerySystemInformation (class 64).
struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};
struct HandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};
constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
typedef LONG(NTAPI* QuerySystemInformation)(ULONG, PVOID, ULONG, PULONG);

// The system's handle table, or an empty one when it cannot be read.
std::vector<BYTE> ReadHandleTable() {
    auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer;
    if (!query) return buffer;
    ULONG size = 1 << 20;
    for (int attempt = 0; attempt < 8; ++attempt) {
        buffer.assign(size, 0);
        ULONG needed = 0;
        const LONG status = query(kSystemExtendedHandleInformation, buffer.data(), size, &needed);
        if (status >= 0) return buffer;
        if (status != kStatusInfoLengthMismatch) break;
        // The table grows while it is read: ask for more than it needed.
        size = (needed > size ? needed : size * 2) + (64 << 10);
    }
    buffer.clear();
    return buffer;
}

long CountInTable(const std::vector<BYTE>& table, DWORD pid) {
    if (table.size() < sizeof(HandleTable)) return -1;
    const auto* t = reinterpret_cast<const HandleTable*>(table.data());
    const size_t room = (table.size() - offsetof(HandleTable, entries)) / sizeof(HandleEntry);
    long n = 0;
    for (size_t i = 0; i < t->count && i < room; ++i)
        if (t->entries[i].processId == pid) ++n;
    return n;
}

int Stat(int argc, char** argv) {
    std::vector<BYTE> table;
    bool tableRead = false;
    int result = 0;
    for (int i = 0; i < argc; ++i) {
        const DWORD pid = static_cast<DWORD>(std::strtoul(argv[i], nullptr, 10));
        HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
        if (!process) process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (!process) {
            std::printf("%.0f pid %lu: not open (error %lu)\n", Clock::NowUs(), static_cast<unsigned long>(pid),
                        GetLastError());
            result = 1;
            continue;
        }
        DWORD handles = 0;
        long count = -1;
        const char* handleSource = "GetProcessHandleCount";
        if (GetProcessHandleCount(process, &handles) && handles > 0) {
            count = static_cast<long>(handles);
        } else {
            if (!tableRead) {
                table = ReadHandleTable();
                tableRead = true;
            }
            count = CountInTable(table, pid);
            handleSource = "system-handle-table";
        }
        PROCESS_MEMORY_COUNTERS_EX memory = {};
        memory.cb = sizeof(memory);
        long long privateBytes = -1;
        const char* memorySource = "none";
        if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
            // Windows gives both the same (the commit charge); Wine 8 leaves
            // PrivateUsage 0 and, for another process, every counter.
            if (memory.PrivateUsage > 0) {
                privateBytes = static_cast<long long>(memory.PrivateUsage);
                memorySource = "PrivateUsage";
            } else if (memory.PagefileUsage > 0) {
                privateBytes = static_cast<long long>(memory.PagefileUsage);
                memorySource = "PagefileUsage";
            }
        }
        std::printf("%.0f pid %lu handles %ld via %s private %lld via %s\n", Clock::NowUs(), static_cast<unsigned long>(pid),
                    count, count >= 0 ? handleSource : "none", privateBytes, memorySource);
        if (count < 0) result = 1;
        CloseHandle(process);
    }
    return result;
}

int Signal(const char* name) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (!event) {
        std::printf("%.0f event %s: not open (error %lu)\n", Clock::NowUs(), name, GetLastError());
        return 1;
    }
    const BOOL ok = SetEvent(event);
    CloseHandle(event);
    std::printf("%.0f event %s set\n", Clock::NowUs(), name);
    return ok ? 0 : 1;
}

int Kill(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        std::printf("%.0f pid %lu: not open (error %lu)\n", Clock::NowUs(), static_cast<unsigned long>(pid), GetLastError());
        return 1;
    }
    const double at = Clock::NowUs();
    const BOOL ok = TerminateProcess(process, 9);
    const bool gone = ok && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    std::printf("%.0f pid %lu killed at %.0f us%s\n", Clock::NowUs(), static_cast<unsigned long>(pid), at,
                gone ? "" : ", still there");
    CloseHandle(process);
    return gone ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "stat") == 0) return Stat(argc - 2, argv + 2);
    if (argc == 3 && std::strcmp(argv[1], "signal") == 0) return Signal(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "kill") == 0) return Kill(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    if (argc == 2 && std::strcmp(argv[1], "now") == 0) {
        std::printf("%.0f\n", Clock::NowUs());
        return 0;
    }
    std::fprintf(stderr, "usage: ZxProcStat stat PID... | signal NAME | kill PID | now\n");
    return 2;
}
