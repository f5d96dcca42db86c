#include "PreviewScaler.h"

#include <utility>

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

void CPreviewScaler::BlendAcross(const BYTE* row, unsigned short* out) const {
    const int step = m_srcBytes;
    for (int x = 0; x < m_dstWidth; ++x) {
        const Tap tx = m_xTaps[static_cast<size_t>(x)];
        // The last column blends with itself (weight 0), so it reads no
        // pixel beyond the row.
        const int next = tx.weight ? step : 0;
        const int wx1 = tx.weight, wx0 = 256 - wx1;
        const BYTE* a = row + tx.offset;
        out[0] = static_cast<unsigned short>(a[0] * wx0 + a[next] * wx1);
        out[1] = static_cast<unsigned short>(a[1] * wx0 + a[next + 1] * wx1);
        out[2] = static_cast<unsigned short>(a[2] * wx0 + a[next + 2] * wx1);
        out += 3;
    }
}

void CPreviewScaler::Scale(const BYTE* src, int srcStride, BYTE* dst, int dstStride) {
    if (!IsBuilt() || !src || !dst) return;
    const size_t rowValues = static_cast<size_t>(m_dstWidth) * 3;
    for (auto& r : m_rows) r.resize(rowValues);
    m_rowIndex[0] = m_rowIndex[1] = -1;
    const int lastRow = m_srcHeight - 1;
    for (int y = 0; y < m_dstHeight; ++y) {
        const Tap ty = m_yTaps[static_cast<size_t>(y)];
        const int want[2] = {ty.offset, ty.offset < lastRow ? ty.offset + 1 : ty.offset};
        // Rows only move down the source, so the upper row of the last pair
        // is often the lower row of this one.
        if (m_rowIndex[0] != want[0]) {
            if (m_rowIndex[1] == want[0]) {
                m_rows[0].swap(m_rows[1]);
                std::swap(m_rowIndex[0], m_rowIndex[1]);
            } else {
                BlendAcross(src + static_cast<ptrdiff_t>(srcStride) * want[0], m_rows[0].data());
                m_rowIndex[0] = want[0];
            }
        }
        if (m_rowIndex[1] != want[1]) {
            BlendAcross(src + static_cast<ptrdiff_t>(srcStride) * want[1], m_rows[1].data());
            m_rowIndex[1] = want[1];
        }
        const unsigned wy1 = static_cast<unsigned>(ty.weight), wy0 = 256 - wy1;
        const unsigned short* r0 = m_rows[0].data();
        const unsigned short* r1 = m_rows[1].data();
        BYTE* out = dst + static_cast<ptrdiff_t>(dstStride) * y;
        for (size_t i = 0; i < rowValues; ++i) out[i] = static_cast<BYTE>((r0[i] * wy0 + r1[i] * wy1 + 32768) >> 16);
    }
}
