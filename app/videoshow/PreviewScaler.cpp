#include "PreviewScaler.h"

#include <cmath>

void CPreviewScaler::Reset() {
    m_srcWidth = m_srcHeight = m_srcBytes = m_dstWidth = m_dstHeight = 0;
    m_xTaps.clear();
    m_yTaps.clear();
}

void CPreviewScaler::MakeTaps(int srcSize, int dstSize, int step, std::vector<Tap>& taps) {
    taps.resize(static_cast<size_t>(dstSize));
    // Centre of destination pixel i in source coordinates, in 1/256 units:
    // (i + 0.5) * src / dst - 0.5, clamped to the outermost pixel centres.
    for (int i = 0; i < dstSize; ++i) {
        long long pos = ((2LL * i + 1) * srcSize * 256) / (2LL * dstSize) - 128;
        if (pos < 0) pos = 0;
        const long long last = static_cast<long long>(srcSize - 1) * 256;
        if (pos > last) pos = last;
        int index = static_cast<int>(pos >> 8);
        int weight = static_cast<int>(pos & 255);
        if (index >= srcSize - 1) {
            // The last pixel: blend it with itself.
            index = srcSize - 1;
            weight = 0;
        }
        taps[static_cast<size_t>(i)] = Tap{index * step, weight};
    }
}

bool CPreviewScaler::Build(int srcWidth, int srcHeight, int srcBitCount, int dstWidth, int dstHeight) {
    Reset();
    if (srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0) return false;
    if (srcBitCount != 24 && srcBitCount != 32) return false;
    m_srcBytes = srcBitCount / 8;
    MakeTaps(srcWidth, dstWidth, m_srcBytes, m_xTaps);
    MakeTaps(srcHeight, dstHeight, 1, m_yTaps);
    m_srcWidth = srcWidth;
    m_srcHeight = srcHeight;
    m_dstWidth = dstWidth;
    m_dstHeight = dstHeight;
    return true;
}

void CPreviewScaler::Scale(const BYTE* src, int srcStride, BYTE* dst, int dstStride) const {
    if (!IsBuilt() || !src || !dst) return;
    const int lastRow = m_srcHeight - 1;
    const int step = m_srcBytes;
    // The right neighbour's offset: one pixel on, except for the last column,
    // which blends with itself (weight 0), so reading it again is safe.
    for (int y = 0; y < m_dstHeight; ++y) {
        const Tap ty = m_yTaps[static_cast<size_t>(y)];
        const BYTE* r0 = src + static_cast<ptrdiff_t>(srcStride) * ty.offset;
        const BYTE* r1 = ty.offset < lastRow ? r0 + srcStride : r0;
        const int wy1 = ty.weight, wy0 = 256 - wy1;
        BYTE* out = dst + static_cast<ptrdiff_t>(dstStride) * y;
        for (int x = 0; x < m_dstWidth; ++x) {
            const Tap tx = m_xTaps[static_cast<size_t>(x)];
            const int next = tx.weight ? step : 0;
            const int wx1 = tx.weight, wx0 = 256 - wx1;
            const BYTE* a = r0 + tx.offset;
            const BYTE* b = r1 + tx.offset;
            for (int c = 0; c < 3; ++c) {
                const int top = a[c] * wx0 + a[c + next] * wx1;      // x 256
                const int bottom = b[c] * wx0 + b[c + next] * wx1;   // x 256
                const unsigned v = static_cast<unsigned>(top * wy0 + bottom * wy1 + 32768) >> 16;
                out[c] = static_cast<BYTE>(v);
            }
            out += 3;
        }
    }
}
