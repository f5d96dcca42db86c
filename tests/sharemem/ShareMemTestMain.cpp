// Test program entry. With --shm-reader it is instead a channel reader in a
// process of its own: it opens the named channel, reads until it gets a frame
// and exits with a code that says whether the frame held the expected
// picture.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "ShareMem.h"
#include "ShareMemTestSupport.h"

namespace shmtest {

int RunReaderProcess(int argc, char** argv) {
    if (argc != 6) return kReaderBadArgs;
    const uint32_t seed = static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10));
    CShareMem reader;
    if (!reader.Open(argv[2], kShareMemSize, argv[3], argv[4])) return kReaderOpenFailed;
    std::vector<uint8_t> buffer(kShareMemSize);
    // Each read waits at most 100 ms; the writer sends a frame every 50 ms,
    // so a few attempts suffice on any machine. The bound only keeps a broken
    // channel from hanging the test.
    for (const ULONGLONG start = GetTickCount64(); GetTickCount64() - start < 30000;) {
        DWORD length = 0;
        if (!reader.Read(buffer.data(), length)) continue;
        if (length != kFrameBytes + kShareMemHeaderSize) return kReaderWrongBytes;
        for (uint32_t i = 0; i < kFrameBytes; ++i) {
            if (buffer[kShareMemHeaderSize + i] != PatternByte(i, seed)) return kReaderWrongBytes;
        }
        return kReaderGotFrame;
    }
    return kReaderNoFrame;
}

}  // namespace shmtest

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc >= 2 && std::strcmp(argv[1], "--shm-reader") == 0) return shmtest::RunReaderProcess(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
