// The list files on disk: the bytes are read and written whole, through
// ZxLib's file helpers; the format itself is in ListFileFormat.cpp.
#include <windows.h>

#include "ListFile.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

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
    // overwritten by the next save of the empty list.
    const std::string bad = file + ".bad";
    const char* what = read ? "is damaged" : "cannot be read";
    if (MoveFileExW(Charset::String2WString(file).c_str(), Charset::String2WString(bad).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        YL_Log(logName, 2, module, "%s %s; it was moved to %s and the list starts empty", file.c_str(), what,
               bad.c_str());
    } else {
        YL_Log(logName, 2, module, "%s %s and could not be moved to %s (error %lu); the list starts empty",
               file.c_str(), what, bad.c_str(), static_cast<unsigned long>(GetLastError()));
    }
}
