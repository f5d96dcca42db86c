#include "Feedback.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>

#include "ZipWriter.h"
#include "ZxLib/Lang.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

#ifndef ZXVCAM_VERSION
#define ZXVCAM_VERSION "1.0.0"
#endif

namespace Feedback {

namespace {

// The files of folder matching any of the patterns, each under prefix.
void AddMatches(std::vector<std::pair<std::string, std::string>>& out, const std::string& folder,
                const std::vector<const char*>& patterns, const std::string& prefix) {
    std::vector<std::string> found;
    for (const char* pattern : patterns) Dir::FindAllFiles(found, folder, pattern, Dir::kFindFiles);
    for (const std::string& path : found) out.emplace_back(prefix + File::GetFileName(path), path);
}

std::string WindowsVersion() {
    // GetVersionEx lies to programs without a manifest entry for the
    // newest Windows; ntdll tells the truth.
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof(v);
    auto get = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!get || get(&v) != 0) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%lu.%lu.%lu", static_cast<unsigned long>(v.dwMajorVersion),
                  static_cast<unsigned long>(v.dwMinorVersion), static_cast<unsigned long>(v.dwBuildNumber));
    return text;
}

std::string VersionNote(const SYSTEMTIME& now) {
    char when[64];
    std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return std::string("ZxVCam ") + Version() + "\r\nbuilt: " + __DATE__ + "\r\nWindows: " + WindowsVersion() +
           "\r\nprogram folder: " + Dir::GetCurrentPath() + "\r\nmade: " + when + "\r\n";
}

}  // namespace

const char* Version() { return ZXVCAM_VERSION; }

std::vector<std::pair<std::string, std::string>> CollectFiles() {
    std::vector<std::pair<std::string, std::string>> files;
    AddMatches(files, Dir::GetLogPath(), {"*.txt", "*.log"}, "logs/");
    const std::string data = Dir::GetZxPath(Dir::kPathUserData);
    AddMatches(files, data, {"*.ini", "*.ini.bad", "*.ini.*.bad"}, "settings/");
    AddMatches(files, data, {"*.dat", "*.dat.bad", "*.dat.*.bad"}, "lists/");
    AddMatches(files, data + "Record\\Dat\\", {"*.dat", "*.dat.bad", "*.dat.*.bad"}, "lists/Record/Dat/");
    return files;
}

bool MakeZip(const std::string& folder, std::string& zipPath, std::string& error) {
    LogFlush(2000);   // the logs as they are now
    SYSTEMTIME now;
    GetLocalTime(&now);
    CZipWriter zip;
    zip.Add("version.txt", VersionNote(now), now);
    for (const auto& file : CollectFiles()) {
        std::string bytes;
        // A file that is gone or cannot be read is left out; the rest still
        // helps.
        if (!File::ReadAll(file.second, bytes, 32u << 20)) {
            YL_Log("Speed.txt", 2, "Feedback", "%s left out of the feedback: it cannot be read",
                   file.second.c_str());
            continue;
        }
        if (!zip.Add(file.first, bytes, now)) {
            error = Lang::TextUtf8("app.feedback.too_big");
            return false;
        }
    }
    char name[64];
    std::snprintf(name, sizeof name, "星河助手反馈_%04u%02u%02u_%02u%02u%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
    const std::string base = Dir::WithSlash(folder) + name;
    zipPath = base + ".zip";
    for (int n = 2; File::IsExistFile(zipPath); ++n) zipPath = base + "_" + std::to_string(n) + ".zip";
    if (!File::WriteAllAtomic(zipPath, zip.Finish())) {
        error = Lang::FormatUtf8("app.feedback.cannot_write", {zipPath});
        YL_Log("Speed.txt", 2, "Feedback", "the feedback zip %s could not be written (error %lu)", zipPath.c_str(),
               static_cast<unsigned long>(GetLastError()));
        return false;
    }
    YL_Log("Speed.txt", 0, "Feedback", "feedback zip %s written (%d files)", zipPath.c_str(), zip.Count());
    return true;
}

std::string DesktopFolder() {
    PWSTR path = nullptr;
    std::string out;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Desktop, KF_FLAG_CREATE, nullptr, &path)) && path)
        out = Dir::WithSlash(WString2String(path));
    CoTaskMemFree(path);
    return out;
}

}  // namespace Feedback
