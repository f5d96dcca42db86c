// The pictures of the test writer: frame n is 640 x 480, 24-bit
// blue-green-red, rows bottom-up, in four flat quadrants. The top-left one
// is grey at a level that tells the frame's place in a cycle of 50
// (20 + 4 x (n mod 50)); the other three have fixed colours, so every
// conversion is checked on three chroma values. Flat areas survive any
// scaling unchanged, away from the quadrants' borders.
#pragma once

#include <cstdint>

namespace mftest {

constexpr int kPhases = 50;

struct Rgb {
    int r, g, b;
};

// The colour of quadrant q (0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right) of a frame in phase.
inline Rgb QuadrantColour(int q, int phase) {
    switch (q) {
        case 0: {
            const int grey = 20 + 4 * phase;
            return {grey, grey, grey};
        }
        case 1: return {200, 60, 40};
        case 2: return {40, 120, 210};
        default: return {90, 200, 110};
    }
}

// The phase of a top-left grey level; -1 when it is no level of the cycle.
inline int PhaseOfGrey(int grey) {
    const int step = grey - 20;
    if (step < -1 || step > 4 * (kPhases - 1) + 1) return -1;
    const int phase = (step + 2) / 4;
    return (step - 4 * phase >= -1 && step - 4 * phase <= 1) ? phase : -1;
}

// Fills the picture of frame n (921600 bytes).
inline void FillFrame(uint8_t* bgr, int n) {
    const int phase = n % kPhases;
    for (int row = 0; row < 480; ++row) {
        const bool top = row >= 240;  // rows are bottom-up
        for (int x = 0; x < 640; ++x) {
            const int q = (top ? 0 : 2) + (x >= 320 ? 1 : 0);
            const Rgb c = QuadrantColour(q, phase);
            uint8_t* p = bgr + (static_cast<size_t>(row) * 640 + x) * 3;
            p[0] = static_cast<uint8_t>(c.b);
            p[1] = static_cast<uint8_t>(c.g);
            p[2] = static_cast<uint8_t>(c.r);
        }
    }
}

}  // namespace mftest
