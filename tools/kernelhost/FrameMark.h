// The mark the kernel host can put on every frame it publishes (--mark), and
// how a client reads it back: a row of black and white blocks along the top
// of the picture carrying a fixed guard pattern, the host's run number and
// the frame's number. A client that reads the mark knows which frames are
// distinct, which host run they came from, and whether a sample carries a
// live frame at all (a black or damaged picture has no valid mark).
//
// The blocks are 1/80 of the width by 1/60 of the height (8 x 8 pixels at
// 640 x 480), so they survive the filter's area scaling to any of its sizes:
// the centre of a block keeps its value. Pictures are 24-bit, rows bottom-up.
//
// The soak's processes (host, clients, ZxProcStat) stamp their lines with
// ZxLib's Clock::NowUs: the performance counter, the same in every process
// of the machine, so their lines can be put on one time line.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace framemark {

constexpr int kGuardBits = 8;
constexpr uint32_t kGuard = 0xB2;  // 1011 0010
constexpr int kRunBits = 16;
constexpr int kNumberBits = 32;
constexpr int kBits = kGuardBits + kRunBits + kNumberBits;  // 56 blocks, 7/10 of the width

struct Mark {
    bool valid = false;
    uint32_t run = 0;
    uint32_t number = 0;
};

inline size_t Stride(int width) { return static_cast<size_t>(((24 * width + 31) / 32) * 4); }

// The value of bit i (guard first, most significant bit first in each field).
inline bool BitOf(uint32_t run, uint32_t number, int i) {
    if (i < kGuardBits) return (kGuard >> (kGuardBits - 1 - i)) & 1u;
    i -= kGuardBits;
    if (i < kRunBits) return (run >> (kRunBits - 1 - i)) & 1u;
    i -= kRunBits;
    return (number >> (kNumberBits - 1 - i)) & 1u;
}

// Draws the mark into the top rows of a width x height picture.
inline void Put(uint8_t* picture, int width, int height, uint32_t run, uint32_t number) {
    const int blockW = width / 80, blockH = height / 60;
    if (!picture || blockW < 1 || blockH < 1) return;
    const size_t stride = Stride(width);
    for (int i = 0; i < kBits; ++i) {
        const uint8_t value = BitOf(run, number, i) ? 255 : 0;
        for (int row = height - blockH; row < height; ++row) {
            uint8_t* p = picture + stride * static_cast<size_t>(row) + 3 * static_cast<size_t>(i * blockW);
            for (int b = 0; b < 3 * blockW; ++b) p[b] = value;
        }
    }
}

// Reads the mark from the centre of each block; valid only when every block
// is clearly black or white and the guard pattern is there.
inline Mark Read(const uint8_t* picture, size_t bytes, int width, int height) {
    Mark m;
    const int blockW = width / 80, blockH = height / 60;
    if (!picture || blockW < 1 || blockH < 1) return m;
    const size_t stride = Stride(width);
    if (bytes < stride * static_cast<size_t>(height)) return m;
    const size_t row = static_cast<size_t>(height - 1 - blockH / 2);
    uint64_t bits = 0;
    for (int i = 0; i < kBits; ++i) {
        const uint8_t* p = picture + stride * row + 3 * static_cast<size_t>(i * blockW + blockW / 2);
        const bool high = p[0] > 192 && p[1] > 192 && p[2] > 192;
        const bool low = p[0] < 64 && p[1] < 64 && p[2] < 64;
        if (!high && !low) return m;
        bits = (bits << 1) | (high ? 1u : 0u);
    }
    if ((bits >> (kRunBits + kNumberBits)) != kGuard) return m;
    m.valid = true;
    m.run = static_cast<uint32_t>(bits >> kNumberBits) & 0xFFFFu;
    m.number = static_cast<uint32_t>(bits & 0xFFFFFFFFu);
    return m;
}

}  // namespace framemark
