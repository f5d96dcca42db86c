#include "OverlayBlend.h"

#include <algorithm>

void BlendPremultiplied(const UINT32* src, int count, BYTE* dst) {
    for (int i = 0; i < count; ++i, dst += 3) {
        const UINT32 p = src[i];
        const UINT32 a = p >> 24;
        if (a == 255) {
            dst[0] = static_cast<BYTE>(p);
            dst[1] = static_cast<BYTE>(p >> 8);
            dst[2] = static_cast<BYTE>(p >> 16);
        } else {
            // x / 255 rounded is (t + (t >> 8)) >> 8 with t = x + 128.
            const UINT32 keep = 255 - a;
            for (int c = 0; c < 3; ++c) {
                const UINT32 t = dst[c] * keep + 128;
                const UINT32 v = ((p >> (8 * c)) & 0xFF) + ((t + (t >> 8)) >> 8);
                dst[c] = static_cast<BYTE>(v > 255 ? 255 : v);
            }
        }
    }
}

void PremultipliedOverlay::Collect(const BYTE* rows, int stride, int w, int h) {
    spans.clear();
    pixels.clear();
    for (int y = 0; y < h; ++y) {
        const UINT32* row = reinterpret_cast<const UINT32*>(rows + static_cast<ptrdiff_t>(stride) * y);
        int x = 0;
        while (x < w) {
            while (x < w && (row[x] >> 24) == 0) ++x;
            const int start = x;
            while (x < w && (row[x] >> 24) != 0) ++x;
            if (x > start) {
                spans.push_back(Span{y, start, x - start, pixels.size()});
                pixels.insert(pixels.end(), row + start, row + x);
            }
        }
    }
    width = w;
    height = h;
}

void PremultipliedOverlay::BlendInto(BYTE* frame, int frameWidth, int frameHeight, int frameStride, int left,
                                     int top) const {
    for (const Span& span : spans) {
        const int y = top + span.y;
        if (y < 0 || y >= frameHeight) continue;
        const int from = std::max(left + span.x, 0), to = std::min(left + span.x + span.count, frameWidth);
        if (from >= to) continue;
        // Frame rows are bottom-up.
        BYTE* dst = frame + static_cast<ptrdiff_t>(frameStride) * (frameHeight - 1 - y) + 3 * from;
        BlendPremultiplied(&pixels[span.offset + static_cast<size_t>(from - left - span.x)], to - from, dst);
    }
}
