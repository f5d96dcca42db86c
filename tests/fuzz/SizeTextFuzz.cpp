// The picture-size texts ("1280x720", lists "640x480|1280x720") on any text.
#include "FuzzCheck.h"
#include "ZxLib/ZxLib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int w = -1, h = -1;
    if (SizeText::Parse(text, w, h)) {
        FUZZ_CHECK(w >= 1 && w <= SizeText::kMaxSide && h >= 1 && h <= SizeText::kMaxSide);
        int w2 = 0, h2 = 0;
        FUZZ_CHECK(SizeText::Parse(SizeText::Format(w, h), w2, h2) && w2 == w && h2 == h);
    } else {
        FUZZ_CHECK(w == -1 && h == -1);
    }
    std::vector<int> widths, heights;
    SizeText::ParseList(text, widths, heights);
    FUZZ_CHECK(widths.size() == heights.size());
    // The list written again from what was read reads the same.
    std::string again;
    for (size_t i = 0; i < widths.size(); ++i) {
        FUZZ_CHECK(widths[i] >= 1 && widths[i] <= SizeText::kMaxSide);
        FUZZ_CHECK(heights[i] >= 1 && heights[i] <= SizeText::kMaxSide);
        again += (i ? "|" : "") + SizeText::Format(widths[i], heights[i]);
    }
    std::vector<int> w2, h2;
    SizeText::ParseList(again, w2, h2);
    FUZZ_CHECK(w2 == widths && h2 == heights);
    return 0;
}
