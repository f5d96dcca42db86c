// Conversion of 24-bit pictures (blue-green-red, rows bottom-up, padded to 4
// bytes) to the YUV formats capture clients ask for: YUY2 (4:2:2 packed,
// Y0 U Y1 V) and I420 (4:2:0 planar: Y, then U, then V at half width and half
// height). BT.601 with limited range (Y 16 to 235, U and V 16 to 240), rows
// top-down as those formats always are. Chroma is taken from the mean of the
// pixels it covers (2 for YUY2, 2 x 2 for I420).
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of a whole picture in each format (width and height even).
size_t ZxYuy2Bytes(int width, int height);
size_t ZxI420Bytes(int width, int height);

// Width and height must be even and positive; false otherwise, with nothing
// written. destination holds the Bytes of its format.
bool ZxBgrToYuy2(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination);
bool ZxBgrToI420(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination);
