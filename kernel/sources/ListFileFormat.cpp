// The list-file container on bytes alone: no file and no Win32 here, so the
// reader also builds natively for fuzzing.
#include <cstdint>
#include <cstring>

#include "ListFile.h"

namespace {

const char kHeader[6] = {'v', 'e', 'r', '1', '.', '0'};

void PutU32(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t GetU32(const std::string& bytes, size_t at) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

}  // namespace

std::string CListFile::Format(const std::vector<std::string>& paths, eListFileLayout layout) {
    std::string out(kHeader, sizeof(kHeader));
    if (layout == LIST_FILE_WITH_COUNT) PutU32(out, static_cast<uint32_t>(paths.size()));
    for (const std::string& path : paths) {
        PutU32(out, static_cast<uint32_t>(path.size()));
        out += path;
    }
    return out;
}

bool CListFile::Parse(const std::string& bytes, std::vector<std::string>& paths, eListFileLayout layout,
                      bool* whole) {
    paths.clear();
    if (whole) *whole = false;
    // Any six bytes are taken as the header.
    size_t at = sizeof(kHeader);
    if (bytes.size() < at) return false;
    uint32_t count = 0;
    if (layout == LIST_FILE_WITH_COUNT) {
        if (bytes.size() - at < 4) return false;
        count = GetU32(bytes, at);
        at += 4;
    }
    for (;;) {
        if (bytes.size() - at < 4) break;
        const uint32_t length = GetU32(bytes, at);
        if (length > kMaxPathBytes || bytes.size() - at - 4 < length) break;
        at += 4;
        // A path also ends at an embedded zero byte.
        const char* begin = bytes.data() + at;
        const void* zero = std::memchr(begin, 0, length);
        paths.push_back(std::string(begin, zero ? static_cast<const char*>(zero) : begin + length));
        at += length;
    }
    const bool counted = layout == LIST_FILE_NO_COUNT || paths.size() == count;
    if (whole) *whole = at == bytes.size() && counted;
    return counted;
}
