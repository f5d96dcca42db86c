#include "ShareMem.h"

#include <time.h>

#include <cmath>
#include <cstring>
#include <string>

#include "ZxLib/ZxLib.h"

namespace {

// Bytes of one size-code step: 80 x 60 pixels at 3 bytes.
constexpr uint32_t kCodeUnitBytes = 14400;

// How long a reader waits for the writer's signal before it reads anyway.
constexpr DWORD kReadWaitMs = 100;

void PutU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) |
           (static_cast<uint32_t>(at[2]) << 16) | (static_cast<uint32_t>(at[3]) << 24);
}

}  // namespace

int ShareMemSizeCode(uint32_t imageSize) {
    return static_cast<int>(std::sqrt(static_cast<double>(imageSize / kCodeUnitBytes)));
}

int32_t ShareMemNow() {
    const __time64_t now = _time64(nullptr);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(now) & 0xFFFFFFFFu));
}

bool ShareMemMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time) {
    if (!packet || imageSize > kShareMemMaxImageSize) return false;
    const int code = ShareMemSizeCode(imageSize);
    if (code <= 0) return false;
    packet[0] = 0;
    packet[1] = 1;
    packet[2] = 1;
    packet[3] = static_cast<uint8_t>(code);  // at most 18 for the channel's size
    PutU32(packet + 4, static_cast<uint32_t>(time));
    PutU32(packet + 8, imageSize);
    return true;
}

bool ShareMemHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize) {
    if (!header) return false;
    if (header[1] == 0 || header[2] == 0) return false;
    const int code = static_cast<int8_t>(header[3]);
    const int32_t time = static_cast<int32_t>(GetU32(header + 4));
    const uint32_t size = GetU32(header + 8);
    if (code <= 0 || time == 0 || size == 0) return false;
    // A frame written in another second is stale (the writer has stopped or
    // stalled); the time stamps are whole seconds, so "within one second"
    // means equal.
    if (time != now) return false;
    if (size > kShareMemMaxImageSize) return false;
    // The image must be exactly the 24-bit picture the size code names:
    // readers copy image-size bytes when the code is theirs and scale a
    // (code x 80) x (code x 60) picture otherwise, so a header whose two
    // fields disagree would make one of them read past the picture. (Codes
    // above 18 cannot pass: their picture is larger than the channel.)
    const uint32_t pictureBytes = static_cast<uint32_t>(code) * static_cast<uint32_t>(code) * kCodeUnitBytes;
    if (pictureBytes != size) return false;
    imageSize = size;
    return true;
}

CShareMem::~CShareMem() { Close(); }

bool CShareMem::Open(const char* name, DWORD size) {
    return Open(name, size, kShareMemReadEvent, kShareMemWriteEvent);
}

bool CShareMem::Open(const char* name, DWORD size, const char* readEventName, const char* writeEventName) {
    if (m_bOpen) return false;
    if (!name || !readEventName || !writeEventName || size < kShareMemHeaderSize) return false;

    const std::wstring mappingName = Charset::String2WString(name);
    // Backed by the paging file. When the mapping exists already this returns
    // a handle to it (with its own size) and reports ERROR_ALREADY_EXISTS;
    // that handle is as good as one from OpenFileMapping with all access and
    // cannot lose a race against the other side closing its last handle.
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, mappingName.c_str());
    if (!mapping) return false;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;

    // Fails when an existing mapping is smaller than size.
    void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    // The creator starts from an all-zero channel, which no reader accepts;
    // a later opener keeps the frame that is there.
    if (created) std::memset(view, 0, size);

    HANDLE writeEvent = CreateEventW(nullptr, FALSE, FALSE, Charset::String2WString(writeEventName).c_str());
    HANDLE readEvent = CreateEventW(nullptr, FALSE, FALSE, Charset::String2WString(readEventName).c_str());
    if (!writeEvent || !readEvent) {
        if (readEvent) CloseHandle(readEvent);
        if (writeEvent) CloseHandle(writeEvent);
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        return false;
    }

    m_hMapping = mapping;
    m_pView = view;
    m_hReadEvent = readEvent;
    m_hWriteEvent = writeEvent;
    m_viewSize = size;
    m_bOpen = true;
    return true;
}

void CShareMem::Close() {
    if (!m_bOpen) return;
    CloseHandle(m_hReadEvent);
    CloseHandle(m_hWriteEvent);
    UnmapViewOfFile(m_pView);
    CloseHandle(m_hMapping);
    m_hReadEvent = nullptr;
    m_hWriteEvent = nullptr;
    m_pView = nullptr;
    m_hMapping = nullptr;
    m_viewSize = 0;
    m_bOpen = false;
}

bool CShareMem::Write(const void* bytes, DWORD length) {
    if (m_bOpen && m_pView && bytes && length <= m_viewSize) {
        std::memcpy(m_pView, bytes, length);
        SetEvent(m_hReadEvent);
    }
    // Nobody acts on the result of a write.
    return false;
}

bool CShareMem::Read(void* destination, DWORD& lengthOut) { return Read(destination, kShareMemSize, lengthOut); }

bool CShareMem::Read(void* destination, DWORD capacity, DWORD& lengthOut) {
    lengthOut = 0;
    // Released by the writer's next frame, or after 100 ms in any case.
    if (m_hReadEvent) WaitForSingleObject(m_hReadEvent, kReadWaitMs);
    if (!m_bOpen || !m_pView || !destination) return false;

    // The writer may overwrite the mapping at any moment: check a private
    // copy of the header and size the copy by that copy alone.
    uint8_t header[kShareMemHeaderSize];
    std::memcpy(header, m_pView, kShareMemHeaderSize);
    uint32_t imageSize = 0;
    if (!ShareMemHeaderValid(header, ShareMemNow(), imageSize)) return false;
    const DWORD total = imageSize + kShareMemHeaderSize;  // no overflow: imageSize is bounded
    if (total > m_viewSize || total > capacity) return false;

    std::memcpy(destination, m_pView, total);
    // Hand out the header that was checked, so the caller's copy always
    // agrees with the number of bytes it received.
    std::memcpy(destination, header, kShareMemHeaderSize);
    lengthOut = total;
    return true;
}
