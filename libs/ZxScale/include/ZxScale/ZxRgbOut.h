// Conversions of 24-bit pictures (blue-green-red, rows bottom-up, padded to
// 4 bytes) to the two formats Media Foundation cameras deliver besides YUY2:
// NV12 (4:2:0, the Y plane followed by one plane of interleaved U and V at
// half width and half height; BT.601 limited range, the same values as
// ZxBgrToI420) and RGB32 (blue-green-red-255, 4 bytes a pixel). Both come out
// top-down, rows unpadded, as Media Foundation lays out a positive stride.
#pragma once

#include <cstddef>
#include <cstdint>

size_t ZxNv12Bytes(int width, int height);
size_t ZxBgrxBytes(int width, int height);

// Width and height even and positive (NV12) or positive (RGB32); false
// otherwise, with nothing written. destination holds the Bytes of its format.
bool ZxBgrToNv12(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination);
bool ZxBgrToBgrxTopDown(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination);
