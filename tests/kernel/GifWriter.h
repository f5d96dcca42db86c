// Writes small GIF files for the kernel tests, with exactly the frames,
// delays and transparency a test needs (GDI+ cannot write animated GIFs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gif {

struct Frame {
    std::vector<uint8_t> pixels;  // width x height palette indices, top row first
    int delay = 0;                // hundredths of a second
};

// Palette colours are 0xRRGGBB, at most 256. transparent is the palette index drawn transparent, or -1 for none.
std::string Encode(int width, int height, const std::vector<uint32_t>& palette, int transparent,
                   const std::vector<Frame>& frames);

// A width x height frame of index 0 with a band of `band` pixels along all four edges in colour index `edge`.
Frame BandFrame(int width, int height, int band, uint8_t edge, int delay);

// A width x height frame all of colour index `index`.
Frame SolidFrame(int width, int height, uint8_t index, int delay);

}  // namespace gif
