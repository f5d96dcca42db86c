#include "ZxLib/ZxLib.h"

#include <windows.h>
#include <shlobj.h>

using Charset::String2WString;
using Charset::WString2String;

namespace Dir {
namespace {

std::string EnvPath(const wchar_t* name) {
    wchar_t buf[32768];
    DWORD n = GetEnvironmentVariableW(name, buf, static_cast<DWORD>(sizeof(buf) / sizeof(buf[0])));
    if (n == 0 || n >= sizeof(buf) / sizeof(buf[0])) return std::string();
    return WString2String(std::wstring(buf, n));
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    PWSTR p = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_CREATE, nullptr, &p)) && p) out = WString2String(p);
    CoTaskMemFree(p);
    return out;
}

// An override from the environment, else base folder + tail; created.
std::string UserFolder(const wchar_t* overrideVar, REFKNOWNFOLDERID base, const char* tail) {
    std::string path = EnvPath(overrideVar);
    if (path.empty()) {
        std::string root = KnownFolder(base);
        if (root.empty()) return std::string();
        path = WithSlash(root) + tail;
    }
    path = WithSlash(path);
    MakeDir(path);
    return path;
}

}  // namespace

std::string WithSlash(const std::string& path) {
    if (path.empty() || path.back() == '\\' || path.back() == '/') return path;
    return path + "\\";
}

std::string GetModulePath(const void* addressInModule) {
    HMODULE module = nullptr;
    if (addressInModule) {
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(addressInModule), &module);
    }
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return std::string();
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    size_t slash = buf.find_last_of(L"\\/");
    if (slash != std::wstring::npos) buf.resize(slash + 1);
    return WString2String(buf);
}

std::string GetCurrentPath() { return GetModulePath(nullptr); }

std::string GetZxPath(int type) {
    switch (type) {
        case kPathResource: {
            std::string res = EnvPath(L"ZXVCAM_RES_DIR");
            return res.empty() ? GetCurrentPath() : WithSlash(res);
        }
        case kPathUserData:
            return UserFolder(L"ZXVCAM_DATA_DIR", FOLDERID_RoamingAppData, "ZxVCam\\");
        case kPathThumbCache:
            return UserFolder(L"ZXVCAM_CACHE_DIR", FOLDERID_LocalAppData, "ZxVCam\\Cache\\");
        default:
            return std::string();
    }
}

std::string GetLogPath() { return UserFolder(L"ZXVCAM_LOG_DIR", FOLDERID_LocalAppData, "ZxVCam\\Log\\"); }

bool IsDirectory(const std::string& path) {
    if (path.empty()) return false;
    DWORD a = GetFileAttributesW(String2WString(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsWritableDir(const std::string& path) {
    if (!IsDirectory(path)) return false;
    // Access rights alone do not answer it (a read-only volume, a full disk,
    // a share), so a real file is created; delete-on-close removes it even
    // if the process dies here.
    static LONG counter = 0;
    const std::wstring probe = String2WString(WithSlash(path)) + L".zxvcam-write-" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(InterlockedIncrement(&counter)) + L".tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    CloseHandle(h);
    return true;
}

bool MakeDir(const std::string& path) {
    if (path.empty()) return false;
    std::wstring w = String2WString(path);
    for (auto& c : w)
        if (c == L'/') c = L'\\';
    while (w.size() > 3 && w.back() == L'\\') w.pop_back();
    DWORD a = GetFileAttributesW(w.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = w.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) {
        std::wstring parent = w.substr(0, slash);
        // A drive root ("C:") or a share root needs no creation.
        if (!(parent.size() == 2 && parent[1] == L':') && !MakeDir(WString2String(parent))) return false;
    }
    if (CreateDirectoryW(w.c_str(), nullptr)) return true;
    return GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

std::string GetLargestFreeBytesDisk() {
    wchar_t drives[512];
    DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(sizeof(drives) / sizeof(drives[0])), drives);
    if (n == 0 || n >= sizeof(drives) / sizeof(drives[0])) return std::string();
    std::string best;
    ULONGLONG bestFree = 0;
    for (const wchar_t* root = drives; *root; root += wcslen(root) + 1) {
        // Removable, network, optical and RAM drives come and go; only a
        // fixed drive that can be written to holds recordings.
        if (GetDriveTypeW(root) != DRIVE_FIXED) continue;
        DWORD flags = 0;
        if (GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
            (flags & FILE_READ_ONLY_VOLUME))
            continue;
        ULARGE_INTEGER available;
        if (!GetDiskFreeSpaceExW(root, &available, nullptr, nullptr)) continue;
        // The first of equally free drives wins, so the choice is stable.
        if (best.empty() || available.QuadPart > bestFree) {
            best = WString2String(root);
            bestFree = available.QuadPart;
        }
    }
    return best;
}

std::string GetLongPath(const std::string& path) {
    std::wstring wide = String2WString(path);
    DWORD n = GetLongPathNameW(wide.c_str(), nullptr, 0);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetLongPathNameW(wide.c_str(), &full[0], n);
    if (n == 0 || n >= full.size()) return path;
    full.resize(n);
    return WString2String(full);
}

}  // namespace Dir
