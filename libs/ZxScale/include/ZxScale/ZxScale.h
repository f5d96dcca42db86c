// Scaling of 24-bit pictures (blue-green-red, rows padded to 4 bytes), in
// fixed point, with an SSE2 path where the processor has it.
//
// Rows are scaled as they come, so a bottom-up picture stays bottom-up (the
// sampling is centred, so the result is the same either way up).
//
// Two filters: bilinear (a triangle filter, widened to the scale factor when
// shrinking so that every source pixel counts) and area averaging (each
// destination pixel is the mean of the source pixels whose centres lie in
// the area it covers, so every source pixel counts once; when enlarging it
// is bilinear). Both give what PIL's bilinear and box resize give, to a
// level.
// The weights are computed once per pair of sizes, so build a scaler once
// and keep it while the sizes stay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ZxScaleFilter { Bilinear, Area };

class CZxScaler {
public:
    // Bytes of one row of a 24-bit picture width pixels wide (padded to 4).
    static size_t Stride(int width) { return static_cast<size_t>(((24 * width + 31) / 32) * 4); }
    // Bytes of a whole picture.
    static size_t PictureBytes(int width, int height) { return Stride(width) * static_cast<size_t>(height); }

    // Prepares for srcWidth x srcHeight into dstWidth x dstHeight (each side
    // 1 to 8192 pixels). Drops any previous state first; false (not ready)
    // for an unusable size.
    bool Build(int srcWidth, int srcHeight, int dstWidth, int dstHeight, ZxScaleFilter filter);
    void Drop();

    bool IsReady() const { return m_ready; }
    bool Matches(int srcWidth, int srcHeight, int dstWidth, int dstHeight, ZxScaleFilter filter) const;

    // Scales the picture at source (PictureBytes of the source size, rows
    // padded) into destination (PictureBytes of the destination size). False
    // when the scaler is not ready or a pointer is null. Not to be called
    // from two threads at once on one scaler (it keeps a working row).
    bool Scale(const uint8_t* source, uint8_t* destination);

    // Use the plain C path even where SSE2 is there (for comparing the two).
    void SetPlain(bool plain) { m_plain = plain; }
    // Whether Scale uses the SSE2 path.
    bool UsesSse2() const;

    // The weights of one axis: for each destination position, the first
    // source position and taps weights (16384 in all).
    struct Axis {
        int taps = 0;              // even, the same for every position
        std::vector<int> start;    // first source position of each
        std::vector<int16_t> weights;  // taps per position
    };

private:
    // Area averaging to exactly half the size on both sides (640 x 480 to
    // 320 x 240, the commonest size clients ask for besides the full one):
    // each pixel the rounded mean of its 2 x 2 source pixels, done directly.
    void Halve(const uint8_t* source, uint8_t* destination);
    bool m_halve = false;
    std::vector<uint16_t> m_pairSums;   // one row of vertical pair sums

    // Area averaging to exactly half the width: the horizontal pass sums
    // neighbouring pixels (SSE2 path), through one row of bytes.
    bool m_pairsAcross = false;
    std::vector<uint8_t> m_pairBytes;

    bool m_ready = false;
    bool m_plain = false;
    int m_srcWidth = 0, m_srcHeight = 0, m_dstWidth = 0, m_dstHeight = 0;
    ZxScaleFilter m_filter = ZxScaleFilter::Bilinear;
    Axis m_x, m_y;
    // Pairs of horizontal weights packed for the SSE2 path (low half the
    // first of the pair).
    std::vector<int32_t> m_xPairs;
    // One source-width row after the vertical pass, 7 fractional bits per
    // sample, with room past the end for the SSE2 loads.
    std::vector<int16_t> m_row;
    std::vector<const uint8_t*> m_rowPointers;  // the source rows of one destination row
};
