// GDI+ for the kernel. The GDI+ headers expect min and max, which NOMINMAX
// removes, and the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

#include "VideoFrame.h"

// A GDI+ bitmap over a frame's own bytes, so drawing changes the frame in
// place. Built from the scan lines (the last row in memory is the top row of
// the picture, hence the negative stride) rather than from the DIB header:
// Wine's GdipCreateBitmapFromGdiDib draws into a copy, Windows' into the
// frame; the scan-line form works in place on both.
inline Gdiplus::Bitmap* NewFrameBitmap(BYTE* frame, const VideoFrameFormat& format) {
    const int width = format.bmiHeader.biWidth;
    const int height = format.bmiHeader.biHeight;
    const int stride = VideoFrameStride(format);
    if (width <= 0 || height <= 0 || format.bmiHeader.biBitCount != 24) return nullptr;
    BYTE* top = frame + static_cast<ptrdiff_t>(stride) * (height - 1);
    return new Gdiplus::Bitmap(width, height, -stride, PixelFormat24bppRGB, top);
}
