#include "GdiPlusScaler.h"

#include <objidl.h>

#include <algorithm>
#include <cstring>

// The GDI+ headers expect min and max, which NOMINMAX removes.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

namespace {

size_t Stride(int width, int bits) { return static_cast<size_t>(((bits * width + 31) / 32) * 4); }

PixelFormat FormatOf(int bits) { return bits == 24 ? PixelFormat24bppRGB : PixelFormat32bppRGB; }

bool UsableSize(int width, int height) { return width > 0 && height > 0 && width <= 8192 && height <= 8192; }

// Copies height rows between two buffers of different strides.
void CopyRows(BYTE* to, size_t toStride, const BYTE* from, size_t fromStride, size_t rowBytes, int height) {
    for (int y = 0; y < height; ++y) {
        std::memcpy(to + toStride * static_cast<size_t>(y), from + fromStride * static_cast<size_t>(y), rowBytes);
    }
}

}  // namespace

CGdiPlusScaler::~CGdiPlusScaler() { Drop(); }

bool CGdiPlusScaler::Build(int srcWidth, int srcHeight, int srcBits, int dstWidth, int dstHeight, int dstBits) {
    Drop();
    if ((srcBits != 24 && srcBits != 32) || (dstBits != 24 && dstBits != 32)) return false;
    if (!UsableSize(srcWidth, srcHeight) || !UsableSize(dstWidth, dstHeight)) return false;

    GdiplusStartupInput input;
    if (GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Ok) {
        m_gdiplusToken = 0;
        return false;
    }
    GpBitmap* source = nullptr;
    GpBitmap* destination = nullptr;
    GpGraphics* graphics = nullptr;
    bool ok = GdipCreateBitmapFromScan0(srcWidth, srcHeight, 0, FormatOf(srcBits), nullptr, &source) == Ok &&
              GdipCreateBitmapFromScan0(dstWidth, dstHeight, 0, FormatOf(dstBits), nullptr, &destination) == Ok &&
              GdipGetImageGraphicsContext(destination, &graphics) == Ok;
    m_source = source;
    m_destination = destination;
    m_graphics = graphics;
    m_srcWidth = srcWidth;
    m_srcHeight = srcHeight;
    m_srcBits = srcBits;
    m_dstWidth = dstWidth;
    m_dstHeight = dstHeight;
    m_dstBits = dstBits;
    if (!ok) {
        Drop();
        return false;
    }
    m_ready = true;
    return true;
}

void CGdiPlusScaler::Drop() {
    if (m_graphics) GdipDeleteGraphics(static_cast<GpGraphics*>(m_graphics));
    if (m_destination) GdipDisposeImage(static_cast<GpBitmap*>(m_destination));
    if (m_source) GdipDisposeImage(static_cast<GpBitmap*>(m_source));
    m_graphics = m_destination = m_source = nullptr;
    if (m_gdiplusToken) GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
    m_ready = false;
    m_srcWidth = m_srcHeight = m_srcBits = m_dstWidth = m_dstHeight = m_dstBits = 0;
}

bool CGdiPlusScaler::Matches(int srcWidth, int srcHeight, int srcBits, int dstWidth, int dstHeight, int dstBits) const {
    return m_ready && m_srcWidth == srcWidth && m_srcHeight == srcHeight && m_srcBits == srcBits &&
           m_dstWidth == dstWidth && m_dstHeight == dstHeight && m_dstBits == dstBits;
}

size_t CGdiPlusScaler::SourceBytes() const { return Stride(m_srcWidth, m_srcBits) * static_cast<size_t>(m_srcHeight); }

size_t CGdiPlusScaler::DestinationBytes() const {
    return Stride(m_dstWidth, m_dstBits) * static_cast<size_t>(m_dstHeight);
}

bool CGdiPlusScaler::Scale(const BYTE* source, size_t sourceBytes, BYTE* destination, size_t destinationCapacity) {
    if (!m_ready || !source || !destination) return false;
    if (sourceBytes < SourceBytes() || destinationCapacity < DestinationBytes()) return false;
    auto* src = static_cast<GpBitmap*>(m_source);
    auto* dst = static_cast<GpBitmap*>(m_destination);

    const size_t srcStride = Stride(m_srcWidth, m_srcBits);
    const size_t srcRow = static_cast<size_t>(m_srcWidth) * static_cast<size_t>(m_srcBits / 8);
    GpRect srcRect(0, 0, m_srcWidth, m_srcHeight);
    BitmapData data = {};
    if (GdipBitmapLockBits(src, &srcRect, ImageLockModeWrite, FormatOf(m_srcBits), &data) != Ok) return false;
    if (data.Stride <= 0 || static_cast<size_t>(data.Stride) < srcRow) {
        GdipBitmapUnlockBits(src, &data);
        return false;
    }
    CopyRows(static_cast<BYTE*>(data.Scan0), static_cast<size_t>(data.Stride), source, srcStride, srcRow, m_srcHeight);
    GdipBitmapUnlockBits(src, &data);

    if (GdipDrawImageRectRect(static_cast<GpGraphics*>(m_graphics), src, 0.0f, 0.0f, static_cast<REAL>(m_dstWidth),
                              static_cast<REAL>(m_dstHeight), 0.0f, 0.0f, static_cast<REAL>(m_srcWidth),
                              static_cast<REAL>(m_srcHeight), UnitPixel, nullptr, nullptr, nullptr) != Ok) {
        return false;
    }

    const size_t dstStride = Stride(m_dstWidth, m_dstBits);
    const size_t dstRow = static_cast<size_t>(m_dstWidth) * static_cast<size_t>(m_dstBits / 8);
    GpRect dstRect(0, 0, m_dstWidth, m_dstHeight);
    data = BitmapData();
    if (GdipBitmapLockBits(dst, &dstRect, ImageLockModeRead, FormatOf(m_dstBits), &data) != Ok) return false;
    const bool fits = data.Stride > 0 && static_cast<size_t>(data.Stride) >= dstRow;
    if (fits) {
        CopyRows(destination, dstStride, static_cast<const BYTE*>(data.Scan0), static_cast<size_t>(data.Stride), dstRow,
                 m_dstHeight);
    }
    GdipBitmapUnlockBits(dst, &data);
    return fits;
}
