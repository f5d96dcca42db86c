// What the fuzz targets share: a property that does not hold stops the run
// like a crash, with the reason on stderr (libFuzzer keeps the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(condition)                                                              \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

namespace fuzz {

// The input cut into pieces at a separator byte, at most max pieces (the last one keeps the rest).
inline std::vector<std::string> Split(const std::string& data, char separator, size_t max) {
    std::vector<std::string> out;
    size_t at = 0;
    while (out.size() + 1 < max) {
        size_t end = data.find(separator, at);
        if (end == std::string::npos) break;
        out.push_back(data.substr(at, end - at));
        at = end + 1;
    }
    out.push_back(data.substr(at));
    return out;
}

// Bytes as a little-endian number (missing bytes are zero).
inline uint64_t Number(const std::string& data, size_t at, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i)
        if (at + i < data.size()) v |= static_cast<uint64_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    return v;
}

}  // namespace fuzz
