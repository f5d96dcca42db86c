// ZxLogChild <log file> <tag> <count>: logs <count> lines "<tag> <i>" and
// returns at once, without LogFlush, the way a program ends right after its
// last log line.
#include <cstdlib>
#include <string>

#include "ZxLog/ZxLog.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const std::string tag = argv[2];
    const int count = std::atoi(argv[3]);
    LogInit(("Child-" + tag).c_str());
    for (int i = 0; i < count; ++i) YL_Log(argv[1], 0, "child", "%s %d", tag.c_str(), i);
    return 0;
}
