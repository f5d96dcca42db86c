// The frame-size rules the channel and the capture filter share.
//
// Every picture on the channel is 24-bit blue-green-red, rows bottom-up, 4:3
// with a width that is a multiple of 80: size code c names a picture of
// (c x 80) x (c x 60) pixels, whose rows need no padding (c x 240 bytes is a
// multiple of 4), so its image size is c x c x 14400 bytes. The channel's
// header stores the code beside the image size, and readers take only
// headers whose two fields agree.
//
// Header of a channel packet (integers little-endian):
//   0      reserved
//   1, 2   valid flags, non-zero
//   3      size code (signed 8-bit)
//   4..7   time stamp, low 32 bits of the calendar time in seconds
//   8..11  image size in bytes
#pragma once

#include <cmath>
#include <cstdint>

// Bytes of one size-code unit: 80 x 60 pixels at 3 bytes.
constexpr uint32_t kFrameCodeUnitBytes = 14400;
constexpr uint32_t kFrameHeaderBytes = 12;

// The channel's mapping: its size, and the control block at its end (a
// marker and the sequence number, 32 bits each, on an 8-byte boundary in the
// last 16 bytes).
constexpr uint32_t kFrameChannelBytes = 4915300;
constexpr uint32_t kFrameControlBytes = 16;
constexpr uint32_t FrameControlOffset(uint32_t mappingSize) {
    return (mappingSize - kFrameControlBytes) & ~static_cast<uint32_t>(7);
}
// The largest image a header of the real channel may announce: no packet
// reaches the control block.
constexpr uint32_t kFrameMaxImageBytes = FrameControlOffset(kFrameChannelBytes) - kFrameHeaderBytes;

// The size code of an image of imageSize bytes: (int)sqrt(imageSize / 14400)
// with an unsigned integer division and the root truncated. 8 for 921600,
// 4 for 230400, 0 below 14400.
inline int FrameSizeCode(uint32_t imageSize) {
    return static_cast<int>(std::sqrt(static_cast<double>(imageSize / kFrameCodeUnitBytes)));
}

inline int FrameCodeWidth(int code) { return code * 80; }
inline int FrameCodeHeight(int code) { return code * 60; }

// The bytes of the 24-bit picture of a positive size code.
inline uint32_t FrameCodePictureBytes(int code) {
    return static_cast<uint32_t>(code) * static_cast<uint32_t>(code) * kFrameCodeUnitBytes;
}

inline uint32_t FrameGetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
           (static_cast<uint32_t>(at[3]) << 24);
}

inline void FramePutU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}

// The fields of a packet header, as stored.
struct FrameHeader {
    uint8_t valid1 = 0, valid2 = 0;
    int code = 0;          // signed
    int32_t time = 0;      // seconds, low 32 bits
    uint32_t imageSize = 0;
};

inline FrameHeader FrameReadHeader(const uint8_t* header) {
    FrameHeader h;
    h.valid1 = header[1];
    h.valid2 = header[2];
    h.code = static_cast<int8_t>(header[3]);
    h.time = static_cast<int32_t>(FrameGetU32(header + 4));
    h.imageSize = FrameGetU32(header + 8);
    return h;
}

// Fills the first 12 bytes of packet with the header of an image of
// imageSize bytes stamped with time. Writes nothing and returns false when the
// size code would be 0 or less, or the image does not fit the channel.
bool FrameMakeHeader(uint8_t* packet, uint32_t imageSize, int32_t time);

// Checks a 12-byte header the way every reader does: both valid flags set, a
// positive size code, a non-zero time stamp of the second now or the one
// before, and an image size from 1 to kFrameMaxImageBytes that is exactly the
// 24-bit picture the code names ((code x 80) x (code x 60) pixels,
// code x code x 14400 bytes), so image size + 12 never exceeds the channel.
// On success sets imageSize to the stated image size.
bool FrameHeaderValid(const uint8_t* header, int32_t now, uint32_t& imageSize);
