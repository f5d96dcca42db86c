// Writes small animated GIF files for the slide tests (GDI+ cannot write
// animated GIFs): every frame one solid palette colour, with its delay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace slidegif {

// colours are 0xRRGGBB, one per frame; delays in hundredths of a second.
std::string Encode(int width, int height, const std::vector<uint32_t>& colours, const std::vector<int>& delays);

}  // namespace slidegif
