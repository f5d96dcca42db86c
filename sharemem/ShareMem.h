// The shared-memory frame channel between the kernel's frame writer and the
// capture filter in every client process.
//
// One named file mapping holds the newest frame: a 12-byte header followed by
// the pixels. The writer copies a whole packet in and signals the read event;
// readers wait at most 100 ms on that event and then copy out whatever the
// mapping holds, trusting only the header. There is no lock and no reply.
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
// Used by the 64-bit kernel and by the 32-bit and 64-bit filter, so nothing
// here depends on the pointer size.
#pragma once

#include <windows.h>

#include <cstdint>

// The channel's names (local object namespace, no prefix) and size.
inline constexpr char kShareMemFileName[] = "VCAM_SHARE_MEM_FILE_NAME";
// Auto-reset; the writer signals it after each frame, readers wait on it.
inline constexpr char kShareMemReadEvent[] = "ZXVCAM_READEVENT_INFORM";
// Auto-reset; both sides hold it open, nobody signals or waits on it.
inline constexpr char kShareMemWriteEvent[] = "ZXVCAM_WRITEEVENT_INFORM";
constexpr DWORD kShareMemSize = 4915300;
constexpr DWORD kShareMemHeaderSize = 12;
// The largest image a header of the real channel may announce.
constexpr DWORD kShareMemMaxImageSize = kShareMemSize - kShareMemHeaderSize;

// The size code of an image of imageSize bytes: (int)sqrt(imageSize / 14400)
// with an unsigned integer division and the root truncated. 8 for 921600.
int ShareMemSizeCode(uint32_t imageSize);

// The current calendar time in seconds, low 32 bits, as the header stores it.
int32_t ShareMemNow();

// Fills the first 12 bytes of packet with the header of an image of
// imageSize bytes stamped with time. Writes nothing and returns false when the
// size code would be 0 or less, or the image does not fit the channel.
bool ShareMemMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time);

// Checks a 12-byte header the way every reader does: both valid flags set, a
// positive size code, a non-zero time stamp equal to now, and an image size
// from 1 to kShareMemMaxImageSize that is exactly the 24-bit picture the code
// names ((code x 80) x (code x 60) pixels, code x code x 14400 bytes), so
// image size + 12 never exceeds the channel. On success sets imageSize to
// the stated image size.
bool ShareMemHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize);

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
    // already open (the first mapping stays), when size cannot hold a header,
    // or when any of the objects cannot be created or mapped.
    bool Open(const char* name, DWORD size);

    // The same with other event names, so that a private channel (a test, a
    // second instance) never shares its events with the real one.
    bool Open(const char* name, DWORD size, const char* readEventName, const char* writeEventName);

    // Closes the events, the view and the mapping. Does nothing when closed.
    void Close();

    // Copies length bytes to the start of the mapping and signals the read
    // event. A length larger than the mapping is refused: nothing is copied
    // and nothing signalled. The result is always false; callers ignore it.
    bool Write(const void* bytes, DWORD length);

    // Waits up to 100 ms on the read event (not when closed), then copies the
    // current packet, header included, to destination when its header is
    // valid at the current second (ShareMemHeaderValid) and header plus image
    // fit both the mapping and capacity bytes. On success lengthOut is image
    // size + 12 and the copied header is the one that was checked; on failure
    // lengthOut is 0 and nothing is copied.
    bool Read(void* destination, DWORD capacity, DWORD& lengthOut);

    // The same for a destination of kShareMemSize bytes.
    bool Read(void* destination, DWORD& lengthOut);

    bool IsOpen() const { return m_bOpen; }

private:
    HANDLE m_hMapping = nullptr;
    void* m_pView = nullptr;
    HANDLE m_hReadEvent = nullptr;
    HANDLE m_hWriteEvent = nullptr;
    bool m_bOpen = false;
    // Bytes in the view, so neither side copies past the mapping.
    DWORD m_viewSize = 0;
};
