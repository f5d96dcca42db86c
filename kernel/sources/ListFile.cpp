// The list files on disk: the bytes are read and written whole, through
// ZxLib's file helpers; the format itself is in ListFileFormat.cpp.
#include <windows.h>

#include <deque>
#include <mutex>
#include <utility>

#include "IDataKernal.h"
#include "ListFile.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

// Files set aside and not yet taken by the program, oldest first.
std::mutex g_setAsideLock;
std::deque<std::pair<std::string, std::string>> g_setAside;

// A name beside file that nothing has: "<file>.bad", then "<file>.1.bad",
// "<file>.2.bad", ...
std::string FreeCopyName(const std::string& file) {
    std::string name = file + ".bad";
    for (int n = 1; GetFileAttributesW(Charset::String2WString(name).c_str()) != INVALID_FILE_ATTRIBUTES; ++n)
        name = file + "." + std::to_string(n) + ".bad";
    return name;
}

}  // namespace

bool CListFile::TakeSetAside(std::string& file, std::string& copy) {
    std::lock_guard<std::mutex> lock(g_setAsideLock);
    if (g_setAside.empty()) return false;
    file = g_setAside.front().first;
    copy = g_setAside.front().second;
    g_setAside.pop_front();
    return true;
}

bool CListFile::Save(const std::string& file, const std::vector<std::string>& paths, eListFileLayout layout) {
    return File::WriteAllAtomic(file, Format(paths, layout));
}

bool CListFile::Load(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout) {
    paths.clear();
    std::string bytes;
    if (!File::ReadAll(file, bytes)) return false;
    return Parse(bytes, paths, layout);
}

void CListFile::LoadOrSetAside(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout,
                               const char* logName, const char* module) {
    paths.clear();
    File::RemoveStaleTemps(file);
    if (!File::IsExistFile(file)) return;
    std::string bytes;
    const bool read = File::ReadAll(file, bytes);
    bool whole = false;
    if (read) {
        Parse(bytes, paths, layout, &whole);
        if (whole) return;
        paths.clear();
    }
    // Kept for the user (and for a look at what went wrong) instead of being
    // overwritten by the next save of the empty list; an earlier copy stays
    // too (the move never replaces a file).
    const char* what = read ? "is damaged" : "cannot be read";
    const std::string bad = FreeCopyName(file);
    if (!MoveFileExW(Charset::String2WString(file).c_str(), Charset::String2WString(bad).c_str(),
                     MOVEFILE_WRITE_THROUGH)) {
        YL_Log(logName, 2, module, "%s %s and could not be moved to %s (error %lu); the list starts empty",
               file.c_str(), what, bad.c_str(), static_cast<unsigned long>(GetLastError()));
        return;
    }
    YL_Log(logName, 2, module, "%s %s; it was moved to %s and the list starts empty", file.c_str(), what,
           bad.c_str());
    {
        std::lock_guard<std::mutex> lock(g_setAsideLock);
        g_setAside.emplace_back(file, bad);
    }
    IDataKernalObserver::FileSetAsideMsg::Send(file, bad);
}
