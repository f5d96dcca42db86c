// The Variant's text rules: any text read as every type, and the round trip
// of a value through its text (a Variant to text and back).
#include <cmath>
#include <cstring>

#include "FuzzCheck.h"
#include "ZxMusicCore/Variant.h"

namespace {
enum eFuzzState { FUZZ_STATE_A, FUZZ_STATE_B = 7 };
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Variant v(text);
    FUZZ_CHECK(v.ToString() == text);
    FUZZ_CHECK(v.Get<std::string>() == text);
    const double d = v.ToDouble();
    const int i = v.Get<int>();
    const bool b = v.Get<bool>();
    const eFuzzState e = v.Get<eFuzzState>();
    (void)e;
    // Whole numbers in range come back as themselves.
    if (std::isfinite(d) && std::fabs(d) < 2e9 && d == std::trunc(d) && d >= -2147483648.0 && d <= 2147483647.0)
        FUZZ_CHECK(i == static_cast<int>(d));
    FUZZ_CHECK(b == (d != 0.0 && !std::isnan(d)));
    FUZZ_CHECK(v.Get<double>() == d || (std::isnan(d) && std::isnan(v.Get<double>())));

    // A value through its text and back.
    const uint64_t bits = fuzz::Number(text, 0, 8);
    const int n = static_cast<int>(static_cast<uint32_t>(bits));
    FUZZ_CHECK(Variant(Variant(n).ToString()).Get<int>() == n);
    FUZZ_CHECK(Variant(Variant(n).ToString()).Get<double>() == n);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    if (std::isfinite(x)) {
        // The text keeps what its form can: four decimals, or six digits in the exponent form, or the whole number.
        const double back = Variant(Variant(x).ToString()).Get<double>();
        FUZZ_CHECK(std::fabs(back - x) <= std::fmax(1e-4, std::fabs(x) * 1e-5));
        const Variant held(x);
        (void)held.Get<int>();
        (void)held.Get<eFuzzState>();
        (void)held.Get<bool>();
    }
    ArgList args;
    ArgAppender(args) << text << n << x << static_cast<bool>(bits & 1) << FUZZ_STATE_B;
    FUZZ_CHECK(ArgAt<std::string>(args, 0) == text);
    FUZZ_CHECK(ArgAt<int>(args, 1) == n);
    FUZZ_CHECK(ArgAt<eFuzzState>(args, 4) == FUZZ_STATE_B);
    FUZZ_CHECK(ArgAt<int>(args, 9) == 0);
    return 0;
}
