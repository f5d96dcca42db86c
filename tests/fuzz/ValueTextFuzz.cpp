// The settings' value texts: every parser on any text, and the round trip of every number through its text.
#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "ValueText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    int i = 0;
    int64_t l = 0;
    uint32_t u = 0;
    double d = 0;
    bool b = false;
    // A number read from text is written back as text that reads the same.
    if (zxcfg::ParseInt(text, i)) {
        int again = 0;
        FUZZ_CHECK(zxcfg::ParseInt(zxcfg::FormatInt64(i), again) && again == i);
    }
    if (zxcfg::ParseInt64(text, l)) {
        int64_t again = 0;
        FUZZ_CHECK(zxcfg::ParseInt64(zxcfg::FormatInt64(l), again) && again == l);
    }
    if (zxcfg::ParseUInt(text, u)) {
        uint32_t again = 0;
        FUZZ_CHECK(zxcfg::ParseUInt(zxcfg::FormatUInt(u), again) && again == u);
    }
    if (zxcfg::ParseDouble(text, d)) {
        double again = 0;
        FUZZ_CHECK(zxcfg::ParseDouble(zxcfg::FormatDouble(d), again));
        FUZZ_CHECK(std::memcmp(&again, &d, sizeof d) == 0 || (std::isnan(d) && std::isnan(again)));
    }
    if (zxcfg::ParseBool(text, b)) {
        bool again = !b;
        FUZZ_CHECK(zxcfg::ParseBool(b ? "1" : "0", again) && again == b);
    }
    // Any number, taken from the input's bytes, survives its text.
    const uint64_t bits = fuzz::Number(text, 0, 8);
    FUZZ_CHECK(zxcfg::ParseInt64(zxcfg::FormatInt64(static_cast<int64_t>(bits)), l) && l == static_cast<int64_t>(bits));
    FUZZ_CHECK(zxcfg::ParseUInt(zxcfg::FormatUInt(static_cast<uint32_t>(bits)), u) && u == static_cast<uint32_t>(bits));
    double any;
    std::memcpy(&any, &bits, sizeof any);
    if (!std::isnan(any)) {
        FUZZ_CHECK(zxcfg::ParseDouble(zxcfg::FormatDouble(any), d));
        FUZZ_CHECK(std::memcmp(&any, &d, sizeof d) == 0);
    }
    return 0;
}
