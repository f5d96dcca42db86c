// Bilinear scaling of 24- or 32-bit pictures to 24 bits in fixed point, for the preview
// window. The preview scales every frame on the kernel's frame thread while
// the chain lock is held, so this must cost well under a millisecond or two;
// GDI+'s DrawImage does the same job many times slower (see bench/).
//
// Rows are treated alike whatever their order: a bottom-up source gives a
// bottom-up result, since the sampling grid is symmetric (pixel centres map
// onto pixel centres).
#pragma once

#include <windows.h>

#include <vector>

class CPreviewScaler {
public:
    // Prepares the sampling tables for srcWidth x srcHeight at srcBitCount
    // (24 or 32) -> dstWidth x dstHeight at 24 bits. False (and unusable)
    // for empty sizes or another bit count.
    bool Build(int srcWidth, int srcHeight, int srcBitCount, int dstWidth, int dstHeight);
    bool IsBuilt() const { return m_dstWidth > 0; }
    void Reset();

    int SrcWidth() const { return m_srcWidth; }
    int SrcHeight() const { return m_srcHeight; }
    int SrcBitCount() const { return m_srcBytes * 8; }

    // Scales src (rows of srcStride bytes) into dst (rows of dstStride
    // bytes). Each output channel is the bilinear blend of the four nearest
    // source pixels with 8-bit weights, rounded to nearest. Source rows are
    // first blended across (each at most once per call), then pairs of
    // those rows are blended down.
    void Scale(const BYTE* src, int srcStride, BYTE* dst, int dstStride);

private:
    struct Tap {
        int offset;   // byte offset of the left (or lower) neighbour
        int weight;   // weight of the right (or upper) neighbour, 0..256
    };
    static void MakeTaps(int srcSize, int dstSize, int step, std::vector<Tap>& taps);

    int m_srcWidth = 0, m_srcHeight = 0, m_srcBytes = 0, m_dstWidth = 0, m_dstHeight = 0;
    std::vector<Tap> m_xTaps;   // offset in bytes within a row
    std::vector<Tap> m_yTaps;   // offset in rows
    // Two source rows blended across (x 256), and which rows they are.
    std::vector<unsigned short> m_rows[2];
    int m_rowIndex[2] = {-1, -1};
    void BlendAcross(const BYTE* row, unsigned short* out) const;
};
