#include "ZxScale/ZxRgbOut.h"

#include <cstring>
#include <vector>

#include "ZxScale/ZxScale.h"
#include "ZxScale/ZxYuv.h"

size_t ZxNv12Bytes(int width, int height) { return ZxI420Bytes(width, height); }

size_t ZxBgrxBytes(int width, int height) { return static_cast<size_t>(width) * static_cast<size_t>(height) * 4; }

bool ZxBgrToNv12(const uint8_t* bgr, int width, int height, uint8_t* destination) {
    // The planar conversion writes Y, U and V in place; the two chroma planes
    // are then woven into one. The luma plane is already where NV12 wants it.
    if (!ZxBgrToI420(bgr, width, height, destination)) return false;
    const size_t lumaBytes = static_cast<size_t>(width) * static_cast<size_t>(height);
    const size_t planeBytes = lumaBytes / 4;
    std::vector<uint8_t> chroma(destination + lumaBytes, destination + lumaBytes + 2 * planeBytes);
    uint8_t* uv = destination + lumaBytes;
    for (size_t i = 0; i < planeBytes; ++i) {
        uv[2 * i] = chroma[i];
        uv[2 * i + 1] = chroma[planeBytes + i];
    }
    return true;
}

bool ZxBgrToBgrxTopDown(const uint8_t* bgr, int width, int height, uint8_t* destination) {
    if (!bgr || !destination || width <= 0 || height <= 0 || width > 8192 || height > 8192) return false;
    const size_t stride = CZxScaler::Stride(width);
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = bgr + stride * static_cast<size_t>(height - 1 - y);
        uint8_t* d = destination + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
        for (int x = 0; x < width; ++x, s += 3, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 255;
        }
    }
    return true;
}
