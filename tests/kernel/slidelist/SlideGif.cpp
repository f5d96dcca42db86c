#include "SlideGif.h"

namespace slidegif {
namespace {

void Put16(std::string& out, int v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// LZW with 8-bit literals only: 9-bit codes and a clear code often enough
// that the decoder's table never grows past 9 bits.
std::string Compress(size_t count, uint8_t index) {
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
    emit(kClear);
    int run = 0;
    for (size_t i = 0; i < count; ++i) {
        if (run == kLiteralsPerClear) {
            emit(kClear);
            run = 0;
        }
        emit(index);
        ++run;
    }
    emit(kEnd);
    if (bits > 0) bytes.push_back(static_cast<char>(acc & 0xFF));
    std::string blocks(1, 8);  // minimum code size
    for (size_t at = 0; at < bytes.size(); at += 255) {
        size_t n = bytes.size() - at < 255 ? bytes.size() - at : 255;
        blocks.push_back(static_cast<char>(n));
        blocks.append(bytes, at, n);
    }
    blocks.push_back(0);
    return blocks;
}

}  // namespace

std::string Encode(int width, int height, const std::vector<uint32_t>& colours, const std::vector<int>& delays) {
    std::string out = "GIF89a";
    Put16(out, width);
    Put16(out, height);
    out.push_back(static_cast<char>(0xF7));  // global colour table of 256 entries
    out.push_back(0);
    out.push_back(0);
    for (int i = 0; i < 256; ++i) {
        uint32_t c = i < static_cast<int>(colours.size()) ? colours[static_cast<size_t>(i)] : 0;
        out.push_back(static_cast<char>((c >> 16) & 0xFF));
        out.push_back(static_cast<char>((c >> 8) & 0xFF));
        out.push_back(static_cast<char>(c & 0xFF));
    }
    if (colours.size() > 1) out += std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (size_t f = 0; f < colours.size(); ++f) {
        out += "\x21\xF9\x04";
        out.push_back(static_cast<char>(1 << 2));  // disposal: keep
        Put16(out, f < delays.size() ? delays[f] : 0);
        out.push_back(0);
        out.push_back(0);
        out.push_back(0x2C);
        Put16(out, 0);
        Put16(out, 0);
        Put16(out, width);
        Put16(out, height);
        out.push_back(0);
        out += Compress(static_cast<size_t>(width) * height, static_cast<uint8_t>(f));
    }
    out.push_back(0x3B);
    return out;
}

}  // namespace slidegif
