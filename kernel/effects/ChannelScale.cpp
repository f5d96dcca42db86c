#include "ChannelScale.h"

#include <cfloat>
#include <cstdlib>

namespace {

// The factor as the float the product is computed with. Converting a double
// outside the float range is undefined, so such factors saturate; NaN has no
// meaningful product and becomes 0.
float ToSingle(double factor) {
    if (factor != factor) return 0.0f;
    if (factor > FLT_MAX) return FLT_MAX;
    if (factor < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(factor);
}

// table[v] = v x factor in single precision, clamped to 0..255, truncated.
// Computing the 256 possible results once per frame keeps floating point out
// of the per-pixel loop while giving exactly the same bytes.
void BuildTable(float factor, BYTE table[256]) {
    for (int v = 0; v < 256; ++v) {
        float product = static_cast<float>(v) * factor;
        // Negative products and NaN (which fails every comparison) become 0.
        if (!(product > 0.0f)) product = 0.0f;
        if (product > 255.0f) product = 255.0f;
        table[v] = static_cast<BYTE>(product);
    }
}

}  // namespace

void ScaleChannels(BYTE* frame, const VideoFrameFormat& format, double redFactor, double greenFactor,
                   double blueFactor) {
    const int width = format.bmiHeader.biWidth;
    const int height = std::abs(static_cast<int>(format.bmiHeader.biHeight));
    if (!frame || width <= 0 || height <= 0 || format.bmiHeader.biBitCount != 24) return;
    BYTE red[256], green[256], blue[256];
    BuildTable(ToSingle(redFactor), red);
    BuildTable(ToSingle(greenFactor), green);
    BuildTable(ToSingle(blueFactor), blue);
    const size_t stride = static_cast<size_t>(VideoFrameStride(width, 24));
    for (int i = 0; i < height; ++i) {
        BYTE* p = frame + stride * static_cast<size_t>(i);
        BYTE* const end = p + static_cast<size_t>(width) * 3;
        for (; p != end; p += 3) {
            p[0] = blue[p[0]];
            p[1] = green[p[1]];
            p[2] = red[p[2]];
        }
    }
}
