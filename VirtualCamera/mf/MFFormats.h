// The video types the Media Foundation camera offers: NV12 first (what the
// Camera app and most Media Foundation clients take), then YUY2, then RGB32,
// each at the eight sizes of the DirectShow camera from 640 x 480 down to
// 80 x 60 (size code c is (c x 80) x (c x 60) pixels), all at 20 frames a
// second. Every picture is top-down with unpadded rows (a positive default
// stride), as Media Foundation cameras deliver them.
#pragma once

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>

#include <cstdint>

enum class MFPixels { Nv12 = 0, Yuy2 = 1, Rgb32 = 2 };

struct MFVideoFormat {
    MFPixels pixels = MFPixels::Nv12;
    int code = 8;  // size code, 1 to 8
    int Width() const { return code * 80; }
    int Height() const { return code * 60; }
    // Bytes of one picture, and of one row of the first plane.
    DWORD Bytes() const;
    LONG Stride() const;
};

constexpr int kMFSizeCodes = 8;
constexpr int kMFFormatCount = 3 * kMFSizeCodes;
constexpr UINT32 kMFFramesPerSecond = 20;
constexpr LONGLONG kMFFrameTime = 10000000 / kMFFramesPerSecond;  // 100 ns units

// The format offered at index (0 to kMFFormatCount - 1): NV12 640x480 first,
// the sizes of one pixel format from the largest down, then the next format.
MFVideoFormat MFFormatAt(int index);

// A new media type describing format (major type, subtype, size, rate, pixel
// aspect 1:1, progressive, independent fixed-size samples, sample size,
// default stride).
HRESULT MFMakeMediaType(const MFVideoFormat& format, IMFMediaType** type);

// The format a media type names: one of the three subtypes at one of the
// eight sizes. False for any other type.
bool MFFormatOf(IMFMediaType* type, MFVideoFormat& format);

// "NV12", "YUY2", "RGB32".
const wchar_t* MFPixelsName(MFPixels pixels);
