// Scales one picture to another size with GDI+, as the capture filter once
// did; kept in the benchmark to compare our scaler with it. The source
// pixels go into a GDI+ bitmap of the source size, which is drawn stretched
// onto a bitmap of the destination size, whose pixels are copied out. Rows
// are copied as they are, so a bottom-up picture stays bottom-up.
//
// GDI+ is started when the scaler is built and shut down when it is
// dropped, so a scaler must not be built or dropped inside DllMain.
#pragma once

#include <windows.h>

#include <cstddef>

class CGdiPlusScaler {
public:
    CGdiPlusScaler() = default;
    ~CGdiPlusScaler();
    CGdiPlusScaler(const CGdiPlusScaler&) = delete;
    CGdiPlusScaler& operator=(const CGdiPlusScaler&) = delete;

    // Prepares for pictures of srcWidth x srcHeight at srcBits into
    // dstWidth x dstHeight at dstBits (24 or 32 each). Drops any previous
    // state first; false (not ready) when a size or bit count is unusable or
    // GDI+ refuses.
    bool Build(int srcWidth, int srcHeight, int srcBits, int dstWidth, int dstHeight, int dstBits);
    void Drop();

    bool IsReady() const { return m_ready; }
    // Ready for exactly these sizes and bit counts.
    bool Matches(int srcWidth, int srcHeight, int srcBits, int dstWidth, int dstHeight, int dstBits) const;

    // Bytes of one picture on either side (bitmap size rule).
    size_t SourceBytes() const;
    size_t DestinationBytes() const;

    // Scales the picture at source (at least SourceBytes()) into destination
    // (at least DestinationBytes()). False, with destination unchanged, when
    // the scaler is not ready, a buffer is too small, or GDI+ fails.
    bool Scale(const BYTE* source, size_t sourceBytes, BYTE* destination, size_t destinationCapacity);

private:
    bool m_ready = false;
    ULONG_PTR m_gdiplusToken = 0;
    void* m_source = nullptr;       // GpBitmap*
    void* m_destination = nullptr;  // GpBitmap*
    void* m_graphics = nullptr;     // GpGraphics* drawing onto m_destination
    int m_srcWidth = 0, m_srcHeight = 0, m_srcBits = 0;
    int m_dstWidth = 0, m_dstHeight = 0, m_dstBits = 0;
};
