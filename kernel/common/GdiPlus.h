// GDI+ for the kernel. The GDI+ headers expect min and max, which NOMINMAX
// removes, and the COM declarations that WIN32_LEAN_AND_MEAN leaves out.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <cwchar>
#include <vector>

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

// The installed GDI+ image encoder for a MIME type ("image/jpeg",
// "image/bmp", "image/png"); false when there is none.
inline bool FindImageEncoder(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    Gdiplus::ImageCodecInfo* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}
