// Pieces shared by the channel tests and the reader they start in a second process.
#pragma once

#include <cstdint>
#include <vector>

namespace shmtest {

constexpr uint32_t kFrameBytes = 640 * 480 * 3;  // 921600

// The byte at offset i of a test picture; seed tells pictures apart.
inline uint8_t PatternByte(uint32_t i, uint32_t seed) {
    return static_cast<uint8_t>((i * 31u) ^ (i >> 9) ^ (seed * 97u));
}

// The pixels of a test picture.
inline std::vector<uint8_t> Pattern(uint32_t bytes, uint32_t seed) {
    std::vector<uint8_t> out(bytes);
    for (uint32_t i = 0; i < bytes; ++i) out[i] = PatternByte(i, seed);
    return out;
}

// Exit codes of the reader process.
enum ReaderExit { kReaderGotFrame = 0, kReaderBadArgs = 2, kReaderOpenFailed = 3, kReaderNoFrame = 4, kReaderWrongBytes = 5 };

// Entry of the reader process: --shm-reader MAPPING READEVENT WRITEEVENT SEED.
int RunReaderProcess(int argc, char** argv);

}  // namespace shmtest
