// Picture-size texts; no Windows headers here, so this also builds natively.
#include "ZxLib/ZxLib.h"

namespace SizeText {
namespace {

// Decimal digits only, 1 to kMaxSide.
bool ParseSide(const std::string& text, size_t begin, size_t end, int& out) {
    if (begin >= end || end - begin > 5) return false;
    int value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1 || value > kMaxSide) return false;
    out = value;
    return true;
}

}  // namespace

std::string Format(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

bool Parse(const std::string& text, int& width, int& height) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    int w = 0, h = 0;
    if (!ParseSide(text, 0, x, w) || !ParseSide(text, x + 1, text.size(), h)) return false;
    width = w;
    height = h;
    return true;
}

void ParseList(const std::string& text, std::vector<int>& widths, std::vector<int>& heights) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('|', at);
        if (end == std::string::npos) end = text.size();
        int w = 0, h = 0;
        if (Parse(text.substr(at, end - at), w, h)) {
            widths.push_back(w);
            heights.push_back(h);
        }
        at = end + 1;
    }
}

}  // namespace SizeText
