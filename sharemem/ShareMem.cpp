#include "ShareMem.h"

#include <time.h>

#include <cstring>
#include <string>

#include "ZxLib/ObjectSecurity.h"
#include "ZxLib/ZxLib.h"

namespace {

// How long Read waits for a frame it has not read yet.
constexpr DWORD kReadWaitMs = 100;

// How often a waiting reader looks at the sequence number even without a
// signal: the read event wakes one waiter per signal, and a wake-up passed
// on by another reader may go to one that has seen the frame already.
constexpr DWORD kWaitSliceMs = 4;

// A copy of the largest frame takes well under this; a sequence number that
// stays odd longer belongs to a writer that stopped in the middle.
constexpr DWORD kWriterBusyMs = 20;
// A second writer waits this long for the first to finish a frame before it
// takes the channel over.
constexpr DWORD kWriterTakeOverMs = 200;

// "ZXSQ": a writer with sequence numbers has written.
constexpr LONG kMarker = 0x5153585A;

// Reads a word another process writes.
LONG LoadWord(volatile LONG* word) {
    const LONG value = *word;
    MemoryBarrier();
    return value;
}

// Creates the auto-reset, unsignalled event or opens the existing one. A
// process that may only wait on it (a sandboxed reader) opens it with the
// rights it has: waiting, and signalling when it is allowed to (a reader
// passes a wake-up on; without that right, waiting readers still look at the
// sequence number every few milliseconds).
HANDLE OpenChannelEvent(const char* name, SECURITY_ATTRIBUTES* security) {
    const std::wstring wide = Charset::String2WString(name);
    HANDLE event = CreateEventW(security, FALSE, FALSE, wide.c_str());
    if (event || GetLastError() != ERROR_ACCESS_DENIED) return event;
    event = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, wide.c_str());
    if (!event) event = OpenEventW(SYNCHRONIZE, FALSE, wide.c_str());
    return event;
}

}  // namespace

int ShareMemSizeCode(uint32_t imageSize) { return FrameSizeCode(imageSize); }

int32_t ShareMemNow() {
    // Seconds since 1970 (UTC) from the system time directly: the C
    // library's time() looks up the time zone on every call (on Wine a file
    // check and a server call), and this runs for every frame.
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    const uint64_t seconds = (ticks - 116444736000000000ull) / 10000000ull;
    return static_cast<int32_t>(static_cast<uint32_t>(seconds & 0xFFFFFFFFu));
}

bool ShareMemMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time) {
    return FrameMakeHeader(packet, imageSize, time);
}

bool ShareMemHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize) {
    return FrameHeaderValid(header, now, imageSize);
}

CShareMem::~CShareMem() { Close(); }

bool CShareMem::Open(const char* name, DWORD size) {
    return Open(name, size, kShareMemReadEvent, kShareMemWriteEvent);
}

bool CShareMem::Open(const char* name, DWORD size, const char* readEventName, const char* writeEventName) {
    if (m_bOpen) return false;
    if (!name || !readEventName || !writeEventName) return false;
    // Room for a header before the control block.
    if (size < kShareMemHeaderSize + kShareMemControlSize || ControlOffset(size) < kShareMemHeaderSize) return false;

    const std::wstring mappingName = Charset::String2WString(name);
    // Whoever comes first creates the objects with the user's descriptor
    // (ZxLib/ObjectSecurity.h): every process of the user opens them, elevated
    // or not, whichever side created them; a low-integrity or restricted
    // process of the user may read and wait.
    ObjectSecurity::SharedObjectSecurity mappingSecurity(ObjectSecurity::Kind::Mapping);
    ObjectSecurity::SharedObjectSecurity eventSecurity(ObjectSecurity::Kind::Event);
    // Backed by the paging file. When the mapping exists already this returns
    // a handle to it (with its own size) and reports ERROR_ALREADY_EXISTS;
    // that handle is as good as one from OpenFileMapping with all access and
    // cannot lose a race against the other side closing its last handle.
    bool readOnly = false;
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, mappingSecurity.Attributes(), PAGE_READWRITE, 0, size,
                                        mappingName.c_str());
    if (!mapping && GetLastError() == ERROR_ACCESS_DENIED) {
        // It exists, and this process may only read it (a sandboxed reader):
        // a reader needs no more.
        mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, mappingName.c_str());
        if (!mapping) return false;
        SetLastError(ERROR_ALREADY_EXISTS);
        readOnly = true;
    }
    if (!mapping) return false;

    // Fails when an existing mapping is smaller than size.
    void* view = MapViewOfFile(mapping, readOnly ? FILE_MAP_READ : FILE_MAP_ALL_ACCESS, 0, 0, size);
    if (!view) {
        CloseHandle(mapping);
        return false;
    }
    // The creator starts from an all-zero channel, which no reader accepts;
    // a later opener keeps the frame that is there. A new mapping backed by
    // the paging file is all zero already (the system guarantees it), so it
    // is not cleared here: clearing it touched every page of the channel,
    // megabytes of which a 640 x 480 picture never uses.

    HANDLE writeEvent = OpenChannelEvent(writeEventName, eventSecurity.Attributes());
    HANDLE readEvent = OpenChannelEvent(readEventName, eventSecurity.Attributes());
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
    m_bReadOnly = readOnly;
    m_bOpen = true;
    m_lastRead = 0;
    m_readAny = false;
    m_stuckOdd = 0;
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
    m_bReadOnly = false;
    m_bOpen = false;
}

DWORD CShareMem::FrameArea() const { return m_viewSize >= kShareMemHeaderSize + kShareMemControlSize ? ControlOffset(m_viewSize) : 0; }

volatile LONG* CShareMem::MarkerWord() const {
    return reinterpret_cast<volatile LONG*>(static_cast<uint8_t*>(m_pView) + ControlOffset(m_viewSize));
}

volatile LONG* CShareMem::SequenceWord() const { return MarkerWord() + 1; }

bool CShareMem::Write(const void* bytes, DWORD length) { return Write(bytes, length, nullptr, 0); }

bool CShareMem::Write(const void* header, DWORD headerLength, const void* pixels, DWORD pixelLength) {
    if (!m_bOpen || m_bReadOnly || !m_pView || !header || (pixelLength && !pixels)) return false;
    if (headerLength > FrameArea() || pixelLength > FrameArea() - headerLength) return false;
    volatile LONG* sequence = SequenceWord();

    // Take the channel: from an even number to the odd one after it. An odd
    // number belongs to another writer in the middle of a frame; one that
    // stays odd belongs to a writer that stopped there, and is taken over.
    LONG mine = 0;
    const DWORD start = GetTickCount();
    for (;;) {
        const LONG seen = LoadWord(sequence);
        if ((seen & 1) == 0) {
            if (InterlockedCompareExchange(sequence, seen + 1, seen) == seen) {
                mine = seen + 1;
                break;
            }
            continue;
        }
        if (GetTickCount() - start >= kWriterTakeOverMs) {
            if (InterlockedCompareExchange(sequence, seen + 2, seen) == seen) {
                mine = seen + 2;
                break;
            }
            continue;
        }
        Sleep(1);
    }
    std::memcpy(m_pView, header, headerLength);
    if (pixelLength) std::memcpy(static_cast<uint8_t*>(m_pView) + headerLength, pixels, pixelLength);
    // Both interlocked operations are full barriers: the pixels are in place
    // before the number is even again.
    InterlockedExchange(MarkerWord(), kMarker);
    InterlockedExchange(sequence, mine + 1);
    SetEvent(m_hReadEvent);
    // Nobody acts on the result of a write.
    return false;
}

uint32_t CShareMem::Sequence() const {
    if (!m_bOpen || !m_pView) return 0;
    return static_cast<uint32_t>(LoadWord(SequenceWord())) >> 1;
}

bool CShareMem::Numbered() const { return m_bOpen && m_pView && LoadWord(MarkerWord()) == kMarker; }

bool CShareMem::WaitForFrame(uint32_t seen, DWORD timeoutMs) {
    if (!m_bOpen || !m_hReadEvent) return false;
    if (!Numbered()) {
        // A writer without numbers: its signal is all there is.
        return WaitForSingleObject(m_hReadEvent, timeoutMs) == WAIT_OBJECT_0;
    }
    const DWORD start = GetTickCount();
    for (;;) {
        if (Sequence() != seen) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        const DWORD slice = timeoutMs - elapsed < kWaitSliceMs ? timeoutMs - elapsed : kWaitSliceMs;
        if (WaitForSingleObject(m_hReadEvent, slice) == WAIT_OBJECT_0 && Sequence() != seen) {
            // The signal woke this reader only; pass it on to the next one.
            SetEvent(m_hReadEvent);
            return true;
        }
    }
}

bool CShareMem::BeginRead(ShareMemFrame& frame, int32_t now) {
    if (!m_bOpen || !m_pView) return false;
    const bool numbered = Numbered();
    LONG sequence = 0;
    if (numbered) {
        volatile LONG* word = SequenceWord();
        sequence = LoadWord(word);
        if (sequence & 1) {
            // The writer is copying a frame: that takes well under a
            // millisecond, unless it stopped in the middle.
            if (sequence == m_stuckOdd) return false;
            const DWORD start = GetTickCount();
            while ((sequence = LoadWord(word)) & 1) {
                if (GetTickCount() - start >= kWriterBusyMs) {
                    m_stuckOdd = sequence;
                    return false;
                }
                Sleep(0);
            }
        }
    }
    // The writer may overwrite the mapping at any moment: check a private
    // copy of the header and size everything by that copy alone.
    std::memcpy(frame.header, m_pView, kShareMemHeaderSize);
    uint32_t imageSize = 0;
    if (!ShareMemHeaderValid(frame.header, now, imageSize)) return false;
    if (imageSize + kShareMemHeaderSize > FrameArea()) return false;  // no overflow: imageSize is bounded
    frame.imageSize = imageSize;
    frame.code = static_cast<int8_t>(frame.header[3]);
    frame.pixels = static_cast<const uint8_t*>(m_pView) + kShareMemHeaderSize;
    frame.sequence = static_cast<uint32_t>(sequence) >> 1;
    frame.numbered = numbered;
    if (numbered) {
        // The header must belong to the same frame as the number.
        MemoryBarrier();
        if (LoadWord(SequenceWord()) != sequence) return false;
    }
    return true;
}

bool CShareMem::EndRead(const ShareMemFrame& frame) const {
    if (!m_bOpen || !m_pView) return false;
    if (!frame.numbered) return true;
    MemoryBarrier();
    return static_cast<uint32_t>(LoadWord(SequenceWord())) == frame.sequence << 1;
}

bool CShareMem::Read(void* destination, DWORD& lengthOut) { return Read(destination, kShareMemSize, lengthOut); }

bool CShareMem::Read(void* destination, DWORD capacity, DWORD& lengthOut) {
    lengthOut = 0;
    if (!m_bOpen) return false;
    // Released by a frame this reader has not tried yet, or after 100 ms in
    // any case. A frame that is in the channel when the reader first comes
    // is new to it.
    const uint32_t newest = Sequence();
    if (m_readAny || newest == 0 || !Numbered()) WaitForFrame(m_readAny ? m_lastRead : newest, kReadWaitMs);
    m_readAny = true;
    m_lastRead = Sequence();
    if (!m_pView || !destination) return false;

    // A frame overwritten while it was copied is read again (the newest one
    // then); a writer faster than three copies in a row gives nothing, and
    // then the pixels of destination may have been written.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ShareMemFrame frame;
        if (!BeginRead(frame, ShareMemNow())) return false;
        const DWORD total = frame.imageSize + kShareMemHeaderSize;
        if (total > capacity) return false;
        std::memcpy(static_cast<uint8_t*>(destination) + kShareMemHeaderSize, frame.pixels, frame.imageSize);
        if (!EndRead(frame)) continue;
        // Hand out the header that was checked, so the caller's copy always
        // agrees with the number of bytes it received.
        std::memcpy(destination, frame.header, kShareMemHeaderSize);
        lengthOut = total;
        m_lastRead = frame.sequence;
        return true;
    }
    return false;
}
