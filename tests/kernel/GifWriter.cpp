#include "GifWriter.h"

namespace gif {
namespace {

void Put16(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// LZW with 8-bit literals only: 9-bit codes and a clear code often enough
// that the decoder's table never grows to 10-bit codes.
std::string Compress(const std::vector<uint8_t>& pixels) {
    const int kClear = 256, kEnd = 257, kLiteralsPerClear = 250;
    std::string bytes;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += 9;
        while (bits >= 8) {
            bytes.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    };
    int run = 0;
    emit(kClear);
    for (uint8_t p : pixels) {
        if (run == kLiteralsPerClear) {
            emit(kClear);
            run = 0;
        }
        emit(p);
        ++run;
    }
    emit(kEnd);
    if (bits > 0) bytes.push_back(static_cast<char>(acc & 0xFF));

    std::string blocks;
    blocks.push_back(8);  // minimum code size
    for (size_t at = 0; at < bytes.size(); at += 255) {
        size_t n = bytes.size() - at < 255 ? bytes.size() - at : 255;
        blocks.push_back(static_cast<char>(n));
        blocks.append(bytes, at, n);
    }
    blocks.push_back(0);
    return blocks;
}

}  // namespace

std::string Encode(int width, int height, const std::vector<uint32_t>& palette, int transparent,
                   const std::vector<Frame>& frames) {
    std::string out = "GIF89a";
    Put16(out, width);
    Put16(out, height);
    out.push_back(static_cast<char>(0xF7));  // global colour table of 256 entries
    out.push_back(0);                         // background index
    out.push_back(0);                         // aspect
    for (int i = 0; i < 256; ++i) {
        uint32_t c = i < static_cast<int>(palette.size()) ? palette[static_cast<size_t>(i)] : 0;
        out.push_back(static_cast<char>((c >> 16) & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    if (frames.size() > 1) {
        out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    }
    for (const Frame& f : frames) {
        out += "\x21\xF9\x04";
        // Disposal "restore to background", transparency flag.
        out.push_back(static_cast<char>((2 << 2) | (transparent >= 0 ? 1 : 0)));
        Put16(out, f.delay);
        out.push_back(static_cast<char>(transparent >= 0 ? transparent : 0));
        out.push_back(0);
        out.push_back(0x2C);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, width);
        Put16(out, height);
        out.push_back(0);  // no local colour table, not interlaced
        out += Compress(f.pixels);
    }
    out.push_back(0x3B);
    return out;
}

Frame BandFrame(int width, int height, int band, uint8_t edge, int delay) {
    Frame f;
    f.delay = delay;
    f.pixels.assign(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (x < band || y < band || x >= width - band || y >= height - band)
                f.pixels[static_cast<size_t>(y) * width + x] = edge;
    return f;
}

Frame SolidFrame(int width, int height, uint8_t index, int delay) {
    Frame f;
    f.delay = delay;
    f.pixels.assign(static_cast<size_t>(width) * height, index);
    return f;
}

}  // namespace gif
