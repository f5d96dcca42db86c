// The shared-memory frame channel between the kernel's frame writer and the
// capture filter in every client process.
//
// One named file mapping holds the newest frame: a 12-byte header followed by
// the pixels (FrameSize.h gives the header and the size rules). The writer
// copies a whole packet in and signals the read event; readers never lock the
// writer and never reply.
//
// Header (integers little-endian):
//   0      reserved, always 0
//   1      valid flag, 1
//   2      second valid flag, 1
//   3      size code (signed 8-bit): the picture is (code x 80) x (code x 60)
//          pixels at 24 bits, code = (int)sqrt(image size / 14400)
//   4..7   time stamp (signed 32-bit): low 32 bits of _time64 when written
//   8..11  image size in bytes (unsigned 32-bit)
//   12..   the pixels, blue-green-red, rows bottom-up
//
// Whole frames for every reader. The last 16 bytes of the mapping (beyond the
// largest picture a header may announce) hold a control block: a marker and a
// frame sequence number. The writer makes the number odd before it copies a
// packet and even again afterwards; a reader notes the (even) number, copies
// or scales the picture, and keeps what it made only when the number is
// still the same, so no reader ever hands on a frame that was overwritten
// while it copied. The number also tells each reader whether a frame is new
// to it, so every reader in any number of processes sees every frame: the
// auto-reset read event wakes only one waiter per signal, so a reader that it
// wakes for a frame new to it signals it again for the next waiter, and
// waiters look at the number at least every few milliseconds besides. A
// writer that never sets the marker (one without sequence numbers) is still
// read as before: every read takes the packet as it is.
//
// Staleness: the time stamp has whole seconds, so a frame of the current or
// the previous second is current (a frame written a millisecond before the
// second turned is not rejected), and one stamped two or more seconds ago
// is stale.
//
// Used by the 64-bit kernel and by the 32-bit and 64-bit filter, so nothing
// here depends on the pointer size.
#pragma once

#include <windows.h>

#include <cstdint>

#include "FrameSize.h"

// The channel's names (local object namespace, no prefix) and size.
inline constexpr char kShareMemFileName[] = "VCAM_SHARE_MEM_FILE_NAME";
// Auto-reset; the writer signals it after each frame, readers wait on it.
inline constexpr char kShareMemReadEvent[] = "ZXVCAM_READEVENT_INFORM";
// Auto-reset; both sides hold it open, nobody signals or waits on it.
inline constexpr char kShareMemWriteEvent[] = "ZXVCAM_WRITEEVENT_INFORM";
constexpr DWORD kShareMemSize = kFrameChannelBytes;
constexpr DWORD kShareMemHeaderSize = kFrameHeaderBytes;
// The control block at the end of every mapping (FrameSize.h).
constexpr DWORD kShareMemControlSize = kFrameControlBytes;
constexpr DWORD ControlOffset(DWORD mappingSize) { return FrameControlOffset(mappingSize); }
// The largest image a header of the real channel may announce: no packet
// reaches the control block.
constexpr DWORD kShareMemMaxImageSize = kFrameMaxImageBytes;

// The size code of an image of imageSize bytes: (int)sqrt(imageSize / 14400)
// with an unsigned integer division and the root truncated. 8 for 921600.
int ShareMemSizeCode(uint32_t imageSize);

// The current calendar time in seconds, low 32 bits, as the header stores it.
int32_t ShareMemNow();

// The header rules of FrameSize.h (FrameMakeHeader, FrameHeaderValid) under
// the channel's names.
bool ShareMemMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time);
bool ShareMemHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize);

// A frame found in the mapping by BeginRead: the checked copy of its header,
// and where its pixels lie in the view. What is read from pixels is whole
// only when EndRead says so.
struct ShareMemFrame {
    uint8_t header[kShareMemHeaderSize] = {};
    uint32_t imageSize = 0;
    int code = 0;
    const uint8_t* pixels = nullptr;
    uint32_t sequence = 0;  // the frame's number (0 from a writer without numbers)
    bool numbered = false;  // the writer keeps sequence numbers
};

// One side of the channel: the writer in the kernel or a reader in a filter.
class CShareMem {
public:
    CShareMem() = default;
    ~CShareMem();
    CShareMem(const CShareMem&) = delete;
    CShareMem& operator=(const CShareMem&) = delete;

    // Creates the mapping name of size bytes, or attaches to it when another
    // side created it first (then the content is kept; a creator zeroes the
    // view), and creates or opens both events. False when this object is
    // already open (the first mapping stays), when size cannot hold a header
    // and the control block, or when any of the objects cannot be created or
    // mapped. Objects it creates get the user's descriptor
    // (ZxLib/ObjectSecurity.h); existing ones this process may only read are
    // opened for reading (IsReadOnly).
    bool Open(const char* name, DWORD size);

    // The same with other event names, so that a private channel (a test, a
    // second instance) never shares its events with the real one.
    bool Open(const char* name, DWORD size, const char* readEventName, const char* writeEventName);

    // Closes the events, the view and the mapping. Does nothing when closed.
    void Close();

    // Copies length bytes to the start of the mapping, between the two steps
    // of the sequence number, and signals the read event. A length that
    // would reach the control block is refused: nothing is copied and
    // nothing signalled; so is every write of a read-only side. The result
    // is always false; callers ignore it.
    bool Write(const void* bytes, DWORD length);
    // The same with the packet in two parts, the header and then the
    // picture, so a writer hands its frame over without first copying it
    // behind a header of its own.
    bool Write(const void* header, DWORD headerLength, const void* pixels, DWORD pixelLength);

    // Waits up to 100 ms for a frame this reader has not read yet (not when
    // closed), then copies the newest whole packet, header included, to
    // destination when its header is valid (ShareMemHeaderValid) and header
    // plus image fit both the frame area and capacity bytes. On success
    // lengthOut is image size + 12 and the copied header is the one that was
    // checked; on failure lengthOut is 0 and nothing is copied.
    bool Read(void* destination, DWORD capacity, DWORD& lengthOut);

    // The same for a destination of kShareMemSize bytes.
    bool Read(void* destination, DWORD& lengthOut);

    // Reading in place, for readers that scale or convert straight from the
    // mapping: BeginRead finds the newest complete frame whose header is
    // valid at the second now (false when there is none, or the writer is
    // in the middle of a frame for longer than a copy takes); the caller
    // reads frame.pixels (frame.imageSize bytes); EndRead then tells whether
    // the writer left the frame alone meanwhile. What was read is to be
    // thrown away when EndRead is false.
    bool BeginRead(ShareMemFrame& frame, int32_t now);
    bool EndRead(const ShareMemFrame& frame) const;

    // The number of the newest frame published (it changes with every frame
    // of a writer with sequence numbers), and whether the writer keeps them.
    uint32_t Sequence() const;
    bool Numbered() const;

    // Waits until the newest frame's number differs from seen or timeoutMs
    // has passed; true when it differs. Without numbers (an older writer),
    // true when the read event was signalled. Does not wait when closed.
    bool WaitForFrame(uint32_t seen, DWORD timeoutMs);

    bool IsOpen() const { return m_bOpen; }
    // Opened for reading only: the objects existed and this process may only
    // read and wait (a low-integrity or restricted reader). Write does nothing.
    bool IsReadOnly() const { return m_bReadOnly; }

private:
    volatile LONG* SequenceWord() const;
    volatile LONG* MarkerWord() const;
    // Bytes a packet may take: the view up to the control block.
    DWORD FrameArea() const;

    HANDLE m_hMapping = nullptr;
    void* m_pView = nullptr;
    HANDLE m_hReadEvent = nullptr;
    HANDLE m_hWriteEvent = nullptr;
    bool m_bOpen = false;
    bool m_bReadOnly = false;
    // Bytes in the view, so neither side copies past the mapping.
    DWORD m_viewSize = 0;
    // The number of the frame Read returned last.
    uint32_t m_lastRead = 0;
    bool m_readAny = false;
    // A sequence number found odd for longer than a copy takes: a writer
    // that stopped in the middle of a frame. Not waited for again.
    LONG m_stuckOdd = 0;
};
