#include "ListFile.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "ZxLib/ZxLib.h"

namespace {

const char kHeader[6] = {'v', 'e', 'r', '1', '.', '0'};

bool ReadExactly(HANDLE file, void* buffer, DWORD length) {
    DWORD got = 0;
    return ReadFile(file, buffer, length, &got, nullptr) && got == length;
}

bool ReadU32(HANDLE file, uint32_t& value) {
    unsigned char b[4];
    if (!ReadExactly(file, b, 4)) return false;
    value = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    return true;
}

bool WriteU32(HANDLE file, uint32_t value) {
    unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                          static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    DWORD put = 0;
    return WriteFile(file, b, 4, &put, nullptr) && put == 4;
}

}  // namespace

void CListFile::Save(const std::string& file, const std::vector<std::string>& paths, eListFileLayout layout) {
    HANDLE h = CreateFileW(Charset::String2WString(file).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD put = 0;
    bool ok = WriteFile(h, kHeader, sizeof(kHeader), &put, nullptr) && put == sizeof(kHeader);
    if (ok && layout == LIST_FILE_WITH_COUNT) ok = WriteU32(h, static_cast<uint32_t>(paths.size()));
    if (ok) {
        for (const std::string& path : paths) {
            WriteU32(h, static_cast<uint32_t>(path.size()));
            if (!path.empty()) WriteFile(h, path.data(), static_cast<DWORD>(path.size()), &put, nullptr);
        }
    }
    CloseHandle(h);
}

bool CListFile::Load(const std::string& file, std::vector<std::string>& paths, eListFileLayout layout) {
    paths.clear();
    HANDLE h = CreateFileW(Charset::String2WString(file).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // Any six bytes are taken as the header.
    char header[sizeof(kHeader)];
    if (!ReadExactly(h, header, sizeof(header))) {
        CloseHandle(h);
        return false;
    }
    uint32_t count = 0;
    if (layout == LIST_FILE_WITH_COUNT && !ReadU32(h, count)) {
        CloseHandle(h);
        return false;
    }
    char buffer[kMaxPathBytes + 1];
    for (;;) {
        uint32_t length = 0;
        if (!ReadU32(h, length) || length > kMaxPathBytes) break;
        std::memset(buffer, 0, sizeof(buffer));
        if (length > 0 && !ReadExactly(h, buffer, length)) break;
        // The buffer is zeroed, so a path also ends at an embedded zero byte.
        paths.push_back(std::string(buffer));
    }
    CloseHandle(h);
    return layout == LIST_FILE_NO_COUNT || paths.size() == count;
}
