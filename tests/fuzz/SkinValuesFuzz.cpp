// The skin's attribute values on any text: numbers, lists of numbers (sizes,
// rectangles), booleans, colours and picture descriptions.
#include <cstdio>

#include "DuiLib/UIValueText.h"
#include "FuzzCheck.h"

namespace {

std::string Join(const int* v, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += (i ? "," : "") + std::to_string(v[i]);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // A list read from text is written back as text that reads the same.
    for (int count : {1, 2, 4}) {
        int v[4] = {0, 0, 0, 0};
        if (DuiLib::ParseIntList(text, v, count)) {
            int again[4] = {1, 1, 1, 1};
            FUZZ_CHECK(DuiLib::ParseIntList(Join(v, count), again, count));
            for (int i = 0; i < count; ++i) FUZZ_CHECK(again[i] == v[i]);
        }
    }
    int n = 0;
    if (DuiLib::ParseInt(text, n)) FUZZ_CHECK(DuiLib::ParseInt(std::to_string(n), n));
    bool b = false;
    if (DuiLib::ParseBool(text, b)) FUZZ_CHECK(text == "1" || text == "0" || text == "true" || text == "false");
    (void)DuiLib::ParseColor(text);
    // A colour written as "#AARRGGBB" (and opaque as "#RRGGBB") reads back.
    const uint32_t argb = static_cast<uint32_t>(fuzz::Number(text, 0, 4));
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%08X", static_cast<unsigned>(argb));
    FUZZ_CHECK(DuiLib::ParseColor(hex) == argb);
    std::snprintf(hex, sizeof hex, "#%06X", static_cast<unsigned>(argb & 0xFFFFFF));
    FUZZ_CHECK(DuiLib::ParseColor(hex) == (0xFF000000u | (argb & 0xFFFFFF)));
    // A picture description: a plain name is the file; otherwise every key and value is a piece of the text.
    const auto pairs = DuiLib::SplitImageString(text);
    if (text.find('\'') == std::string::npos) {
        FUZZ_CHECK(pairs.size() == 1 && pairs[0].first == "file" && pairs[0].second == text);
    } else {
        for (const auto& kv : pairs) {
            FUZZ_CHECK(text.find(kv.first) != std::string::npos);
            FUZZ_CHECK(text.find("'" + kv.second + "'") != std::string::npos);
        }
    }
    return 0;
}
