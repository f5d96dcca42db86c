#include "ZxCrashNames.h"

#include <cstdio>

#include "ZxLib/ZxLib.h"

namespace ZxCrash {

const char* const kReportProgram = "DumpReport.exe";

std::string DumpStamp(const SYSTEMTIME& t, const std::string& exeBase) {
    char digits[32];
    std::snprintf(digits, sizeof(digits), "%04u%02u%02u%02u%02u%02u%03u", t.wYear % 10000u, t.wMonth % 100u,
                  t.wDay % 100u, t.wHour % 100u, t.wMinute % 100u, t.wSecond % 100u, t.wMilliseconds % 1000u);
    return std::string(digits) + "_" + exeBase;
}

std::string DumpFileName(const SYSTEMTIME& t, const std::string& exeBase, const std::string& exeExt) {
    return DumpStamp(t, exeBase) + exeExt + ".dmp";
}

std::string ReportArgument(const SYSTEMTIME& t, const std::string& exeBase) {
    std::string arg = "\\" + DumpStamp(t, exeBase);
    if (arg.find(' ') != std::string::npos) arg = "\"" + arg + "\"";
    return arg;
}

std::string StampFromArgument(const std::string& argument) {
    std::string stamp = argument;
    if (!stamp.empty() && stamp[0] == '\\') stamp.erase(0, 1);
    if (stamp.size() < 19 || stamp[17] != '_') return std::string();
    for (size_t i = 0; i < 17; ++i)
        if (stamp[i] < '0' || stamp[i] > '9') return std::string();
    for (size_t i = 18; i < stamp.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(stamp[i]);
        if (c < 0x20 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos)
            return std::string();
    }
    return stamp;
}

std::string FindDump(const std::string& stamp, const std::vector<std::string>& folders) {
    if (stamp.empty()) return std::string();
    for (const std::string& folder : folders) {
        if (folder.empty()) continue;
        const std::string dir = Dir::WithSlash(folder);
        if (File::IsExistFile(dir + stamp + ".dmp")) return dir + stamp + ".dmp";
        std::vector<std::string> found;
        // The name the handler writes carries the program's extension
        // between the stamp and ".dmp".
        if (Dir::FindAllFiles(found, dir, stamp + ".*.dmp", Dir::kFindFiles) && !found.empty()) return found[0];
    }
    return std::string();
}

std::vector<std::string> DumpFolders(const std::string& programDir) {
    return {Dir::WithSlash(programDir), Dir::GetLogPath()};
}

std::string ChooseDumpFolder(const std::string& programDir) {
    if (!programDir.empty() && Dir::IsWritableDir(programDir)) return Dir::WithSlash(programDir);
    return Dir::GetLogPath();
}

bool IsDebugLogLevel(const std::string& value) { return value == "debug"; }

}  // namespace ZxCrash
