// The video formats the camera offers and takes.
//
// Every picture is 24-bit RGB, rows bottom-up, 4:3 with a width that is a
// multiple of 80: size code c (1 to 8) is (c x 80) x (c x 60) pixels, and
// its image size is c x c x 14400 bytes. The channel uses the same codes.
#pragma once

#include <windows.h>

#include <dshow.h>

#include "DShowBase/MediaType.h"

constexpr int kVCamSizeCodes = 8;              // 80 x 60 to 640 x 480
constexpr int kVCamDefaultSizeCode = 8;        // 640 x 480
constexpr REFERENCE_TIME kVCamFrameTime = 1000000;  // 100 ms in 100 ns units

inline int VCamWidth(int code) { return code * 80; }
inline int VCamHeight(int code) { return code * 60; }

// The Windows bitmap size rule: ((bit count x width + 31) / 32) x 4 bytes a
// row, times the height. 0 for sizes that make no picture.
DWORD VCamImageSize(LONG width, LONG height, WORD bitCount);

// The size code of a sample size: (int)sqrt(size / 14400), the division
// integral, the root truncated. 8 for 921600, 4 for 230400.
int VCamSizeCodeOfSampleSize(ULONG sampleSize);

// Offered type of size code (1 to 8): MEDIATYPE_Video, MEDIASUBTYPE_RGB24,
// FORMAT_VideoInfo with a VIDEOINFOHEADER (empty rectangles, no bit rates,
// frameTime per frame, 24 bits, BI_RGB, image size by the bitmap rule),
// fixed-size samples of the image size, no temporal compression.
bool VCamMakeMediaType(int code, REFERENCE_TIME frameTime, CMediaType* mt);

// The VIDEOINFOHEADER of a VideoInfo type whose format block holds one;
// null otherwise.
const VIDEOINFOHEADER* VCamVideoInfo(const AM_MEDIA_TYPE& mt);

// The size code of a type the camera can deliver: video, RGB24, VideoInfo
// with a whole header, one of the eight sizes (rows bottom-up), 24 bits,
// BI_RGB, a positive frame time. 0 for any other type.
int VCamDeliverableCode(const AM_MEDIA_TYPE& mt);

// The image size of a type's format (bitmap rule over its header), or 0
// when it has no usable VIDEOINFOHEADER.
DWORD VCamFormatImageSize(const AM_MEDIA_TYPE& mt);
