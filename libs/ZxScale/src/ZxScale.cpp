#include "ZxScale/ZxScale.h"

#include <algorithm>
#include <cmath>

#include "ZxScaleKernels.h"

namespace {

constexpr int kOne = 16384;  // weights in 14-bit fixed point
constexpr int kMaxSide = 8192;

// The weights of one axis of in samples onto out samples.
CZxScaler::Axis MakeAxis(int in, int out, ZxScaleFilter filter) {
    const double scale = static_cast<double>(in) / out;
    const double widen = std::max(scale, 1.0);
    const bool area = filter == ZxScaleFilter::Area && scale > 1.0;

    std::vector<std::vector<double>> raw(static_cast<size_t>(out));
    std::vector<int> first(static_cast<size_t>(out));
    int span = 1;
    for (int i = 0; i < out; ++i) {
        std::vector<double> w;
        int lo = 0;
        if (area) {
            // The mean of the source pixels whose centres lie in the
            // interval the destination pixel covers: each source pixel
            // counts once, whole (as PIL's box filter does).
            const double a = i * scale, b = (i + 1) * scale;
            lo = std::max(0, static_cast<int>(std::floor(a - 0.5)));
            const int hi = std::min(in, static_cast<int>(std::ceil(b)));
            for (int j = lo; j < hi; ++j) w.push_back(j + 0.5 >= a && j + 0.5 < b ? 1.0 : 0.0);
        } else {
            // A triangle around the centre, as wide as the scale when
            // shrinking; pixel centres at j + 0.5.
            const double centre = (i + 0.5) * scale;
            const double support = widen;
            lo = std::max(0, static_cast<int>(std::floor(centre - support)));
            const int hi = std::min(in, static_cast<int>(std::ceil(centre + support)));
            for (int j = lo; j < hi; ++j) w.push_back(std::max(0.0, 1.0 - std::fabs((j + 0.5 - centre) / widen)));
        }
        // Drop zero weights at both ends.
        size_t b = 0, e = w.size();
        while (b < e && w[b] <= 0.0) ++b;
        while (e > b && w[e - 1] <= 0.0) --e;
        if (b == e) {
            // Cannot happen for sizes of at least 1; keep the nearest pixel.
            w.assign(1, 1.0);
            lo = std::min(in - 1, std::max(0, static_cast<int>(std::floor((i + 0.5) * scale))));
            b = 0;
            e = 1;
        }
        raw[static_cast<size_t>(i)].assign(w.begin() + static_cast<long>(b), w.begin() + static_cast<long>(e));
        first[static_cast<size_t>(i)] = lo + static_cast<int>(b);
        span = std::max(span, static_cast<int>(e - b));
    }

    CZxScaler::Axis axis;
    // An even count lets the SSE2 path take the taps in pairs; never more
    // than the source has.
    axis.taps = std::min(in, span + (span & 1));
    axis.start.resize(static_cast<size_t>(out));
    axis.weights.assign(static_cast<size_t>(out) * static_cast<size_t>(axis.taps), 0);
    for (int i = 0; i < out; ++i) {
        const std::vector<double>& w = raw[static_cast<size_t>(i)];
        double sum = 0;
        for (double v : w) sum += v;
        int start = first[static_cast<size_t>(i)];
        if (start + axis.taps > in) start = in - axis.taps;
        const int offset = first[static_cast<size_t>(i)] - start;
        int16_t* dst = &axis.weights[static_cast<size_t>(i) * static_cast<size_t>(axis.taps)];
        int total = 0, largest = 0;
        for (size_t k = 0; k < w.size(); ++k) {
            const int q = static_cast<int>(std::lround(w[k] / sum * kOne));
            dst[offset + static_cast<int>(k)] = static_cast<int16_t>(q);
            total += q;
            if (q > dst[largest]) largest = offset + static_cast<int>(k);
        }
        // Exactly 16384 in all, so a flat picture stays exactly flat.
        dst[largest] = static_cast<int16_t>(dst[largest] + (kOne - total));
        axis.start[static_cast<size_t>(i)] = start;
    }
    return axis;
}

bool UsableSide(int n) { return n > 0 && n <= kMaxSide; }

}  // namespace

bool CZxScaler::Build(int srcWidth, int srcHeight, int dstWidth, int dstHeight, ZxScaleFilter filter) {
    Drop();
    if (!UsableSide(srcWidth) || !UsableSide(srcHeight) || !UsableSide(dstWidth) || !UsableSide(dstHeight)) return false;
    m_x = MakeAxis(srcWidth, dstWidth, filter);
    m_y = MakeAxis(srcHeight, dstHeight, filter);
    m_xPairs.clear();
    if (m_x.taps % 2 == 0) {
        for (size_t i = 0; i + 1 < m_x.weights.size(); i += 2) {
            m_xPairs.push_back(static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(m_x.weights[i])) |
                                                    (static_cast<uint32_t>(static_cast<uint16_t>(m_x.weights[i + 1])) << 16)));
        }
    }
    m_row.assign(static_cast<size_t>(srcWidth) * 3 + 8, 0);
    m_rowPointers.assign(static_cast<size_t>(m_y.taps), nullptr);
    m_srcWidth = srcWidth;
    m_srcHeight = srcHeight;
    m_dstWidth = dstWidth;
    m_dstHeight = dstHeight;
    m_filter = filter;
    m_halve = filter == ZxScaleFilter::Area && srcWidth == 2 * dstWidth && srcHeight == 2 * dstHeight;
    // Area averaging to exactly half the width (1280 x 720 to 640 x 480):
    // each pixel the two below it at 8192 each, which the SSE2 path sums
    // directly instead of weighing pixel by pixel.
    m_pairsAcross = filter == ZxScaleFilter::Area && srcWidth == 2 * dstWidth && m_x.taps == 2;
    for (int x = 0; m_pairsAcross && x < dstWidth; ++x)
        m_pairsAcross = m_x.start[static_cast<size_t>(x)] == 2 * x && m_x.weights[2 * static_cast<size_t>(x)] == 8192 &&
                        m_x.weights[2 * static_cast<size_t>(x) + 1] == 8192;
    if (m_pairsAcross) m_pairBytes.assign(static_cast<size_t>(srcWidth) * 3 + 16, 0);
    if (m_halve) m_pairSums.assign(static_cast<size_t>(srcWidth) * 3, 0);
    m_ready = true;
    return true;
}

void CZxScaler::Drop() {
    m_ready = false;
    m_halve = false;
    m_pairsAcross = false;
    m_pairBytes.clear();
    m_pairSums.clear();
    m_srcWidth = m_srcHeight = m_dstWidth = m_dstHeight = 0;
    m_x = Axis();
    m_y = Axis();
    m_xPairs.clear();
    m_row.clear();
    m_rowPointers.clear();
}

bool CZxScaler::Matches(int srcWidth, int srcHeight, int dstWidth, int dstHeight, ZxScaleFilter filter) const {
    return m_ready && m_srcWidth == srcWidth && m_srcHeight == srcHeight && m_dstWidth == dstWidth &&
           m_dstHeight == dstHeight && m_filter == filter;
}

bool CZxScaler::UsesSse2() const {
    return !m_plain && m_x.taps % 2 == 0 && m_y.taps % 2 == 0 && zxscale::Sse2Available();
}

void CZxScaler::Halve(const uint8_t* source, uint8_t* destination) {
    const bool sse2 = !m_plain && zxscale::Sse2Available();
    const size_t srcStride = Stride(m_srcWidth), dstStride = Stride(m_dstWidth);
    const size_t rowBytes = static_cast<size_t>(m_srcWidth) * 3;
    uint16_t* sums = m_pairSums.data();
    for (int j = 0; j < m_dstHeight; ++j) {
        const uint8_t* a = source + srcStride * static_cast<size_t>(2 * j);
        const uint8_t* b = a + srcStride;
        // Down first, then across: pixel x takes the sums of source pixels
        // 2x and 2x + 1.
        if (sse2) zxscale::PairSumSse2(a, b, static_cast<int>(rowBytes), sums);
        else zxscale::PairSumPlain(a, b, static_cast<int>(rowBytes), sums);
        uint8_t* out = destination + dstStride * static_cast<size_t>(j);
        const uint16_t* p = sums;
        for (int x = 0; x < m_dstWidth; ++x, p += 6, out += 3) {
            out[0] = static_cast<uint8_t>((p[0] + p[3] + 2) >> 2);
            out[1] = static_cast<uint8_t>((p[1] + p[4] + 2) >> 2);
            out[2] = static_cast<uint8_t>((p[2] + p[5] + 2) >> 2);
        }
    }
}

bool CZxScaler::Scale(const uint8_t* source, uint8_t* destination) {
    if (!m_ready || !source || !destination) return false;
    if (m_halve) {
        Halve(source, destination);
        return true;
    }
    const bool sse2 = UsesSse2();
    const size_t srcStride = Stride(m_srcWidth), dstStride = Stride(m_dstWidth);
    const int rowBytes = m_srcWidth * 3;
    const uint8_t** rows = m_rowPointers.data();
    for (int j = 0; j < m_dstHeight; ++j) {
        const int first = m_y.start[static_cast<size_t>(j)];
        for (int k = 0; k < m_y.taps; ++k) rows[k] = source + srcStride * static_cast<size_t>(first + k);
        const int16_t* wy = &m_y.weights[static_cast<size_t>(j) * static_cast<size_t>(m_y.taps)];
        uint8_t* out = destination + dstStride * static_cast<size_t>(j);
        if (sse2 && m_pairsAcross && m_y.taps == 2 && zxscale::Ssse3Available()) {
            // Whole rows (1280 x 720 to 640 x 480 takes one source row, then
            // two, in turn) straight from the source's bytes.
            if (wy[0] == kOne || wy[1] == kOne) {
                zxscale::PairsAcrossRowsSsse3<false>(rows[wy[0] == kOne ? 0 : 1], nullptr, m_dstWidth, out);
                continue;
            }
            if (wy[0] == kOne / 2 && wy[1] == kOne / 2) {
                zxscale::PairsAcrossRowsSsse3<true>(rows[0], rows[1], m_dstWidth, out);
                continue;
            }
        }
        if (sse2) {
            zxscale::VerticalSse2(rows, wy, m_y.taps, rowBytes, m_row.data());
            if (m_pairsAcross) {
                zxscale::PairsAcrossSse2(m_row.data(), m_dstWidth, m_pairBytes.data(), out);
                continue;
            }
            zxscale::HorizontalSse2(m_row.data(), m_x.start.data(), m_xPairs.data(), m_x.taps, m_dstWidth, out);
        } else {
            zxscale::VerticalPlain(rows, wy, m_y.taps, rowBytes, m_row.data());
            zxscale::HorizontalPlain(m_row.data(), m_x.start.data(), m_x.weights.data(), m_x.taps, m_dstWidth, out);
        }
    }
    return true;
}

namespace zxscale {

void PairSumPlain(const uint8_t* a, const uint8_t* b, int bytes, uint16_t* out) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint16_t>(a[i] + b[i]);
}

void VerticalPlain(const uint8_t* const* rows, const int16_t* weights, int taps, int bytes, int16_t* out) {
    for (int b = 0; b < bytes; ++b) {
        int32_t acc = 64;
        for (int k = 0; k < taps; ++k) acc += weights[k] * rows[k][b];
        out[b] = static_cast<int16_t>(acc >> 7);
    }
}

void HorizontalPlain(const int16_t* row, const int* start, const int16_t* weights, int taps, int dstWidth,
                     uint8_t* out) {
    for (int x = 0; x < dstWidth; ++x) {
        const int16_t* p = row + 3 * start[x];
        const int16_t* w = weights + static_cast<size_t>(x) * static_cast<size_t>(taps);
        int32_t b = 1 << 20, g = 1 << 20, r = 1 << 20;
        for (int t = 0; t < taps; ++t) {
            b += w[t] * p[3 * t];
            g += w[t] * p[3 * t + 1];
            r += w[t] * p[3 * t + 2];
        }
        out[3 * x] = static_cast<uint8_t>(std::min(255, std::max(0, b >> 21)));
        out[3 * x + 1] = static_cast<uint8_t>(std::min(255, std::max(0, g >> 21)));
        out[3 * x + 2] = static_cast<uint8_t>(std::min(255, std::max(0, r >> 21)));
    }
}

}  // namespace zxscale
