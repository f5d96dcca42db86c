// The video formats the camera offers and takes.
//
// Every size is 4:3 with a width that is a multiple of 80: size code c (1 to
// 8) is (c x 80) x (c x 60) pixels, the channel's codes (FrameSize.h). Each
// size comes in three pixel formats, offered in this order: 24-bit RGB (rows
// bottom-up, c x c x 14400 bytes), YUY2 (4:2:2 packed, 2 bytes a pixel) and
// I420 (4:2:0 planar, 1.5 bytes a pixel), the YUV ones BT.601 limited range,
// rows top-down as those formats always are.
#pragma once

#include <windows.h>

#include <dshow.h>

#include "DShowBase/MediaType.h"
#include "FrameSize.h"

constexpr int kVCamSizeCodes = 8;              // 80 x 60 to 640 x 480
constexpr int kVCamDefaultSizeCode = 8;        // 640 x 480
// The producer makes 20 frames a second; every offered type says so.
constexpr REFERENCE_TIME kVCamFrameTime = 500000;  // 50 ms in 100 ns units
// The frame intervals a client may ask for: 20 ms to 5 s.
constexpr REFERENCE_TIME kVCamMinFrameTime = 200000;
constexpr REFERENCE_TIME kVCamMaxFrameTime = 50000000;

enum class VCamPixels { Rgb24 = 0, Yuy2 = 1, I420 = 2 };
constexpr int kVCamPixelFormats = 3;
// GetMediaType's positions 1 to 24: the eight sizes of RGB24, then of YUY2,
// then of I420.
constexpr int kVCamMediaTypes = kVCamSizeCodes * kVCamPixelFormats;

inline int VCamWidth(int code) { return FrameCodeWidth(code); }
inline int VCamHeight(int code) { return FrameCodeHeight(code); }

// The Windows bitmap size rule: ((bit count x width + 31) / 32) x 4 bytes a
// row, times the height. 0 for sizes that make no picture.
DWORD VCamImageSize(LONG width, LONG height, WORD bitCount);

// The bytes of a picture of code in a pixel format.
DWORD VCamPictureBytes(VCamPixels pixels, int code);

// The size code of an RGB24 sample size: (int)sqrt(size / 14400), the
// division integral, the root truncated. 8 for 921600, 4 for 230400.
int VCamSizeCodeOfSampleSize(ULONG sampleSize);

// Offered RGB24 type of size code (1 to 8): MEDIATYPE_Video,
// MEDIASUBTYPE_RGB24, FORMAT_VideoInfo with a VIDEOINFOHEADER (empty
// rectangles, no bit rates, frameTime per frame, 24 bits, BI_RGB, image size
// by the bitmap rule), fixed-size samples of the image size, no temporal
// compression.
bool VCamMakeMediaType(int code, REFERENCE_TIME frameTime, CMediaType* mt);
// The same in any of the three pixel formats (YUY2: 16 bits, compression
// 'YUY2'; I420: 12 bits, compression 'I420').
bool VCamMakeMediaType(VCamPixels pixels, int code, REFERENCE_TIME frameTime, CMediaType* mt);

// The VIDEOINFOHEADER of a VideoInfo type whose format block holds one;
// null otherwise.
const VIDEOINFOHEADER* VCamVideoInfo(const AM_MEDIA_TYPE& mt);

// The pixel format and size code of a type the camera can deliver: video,
// one of the three subtypes with its bit count and compression, VideoInfo
// with a whole header, one of the eight sizes (RGB rows bottom-up, positive
// height for all), a positive frame time. Code 0 for any other type.
int VCamDeliverableCode(const AM_MEDIA_TYPE& mt, VCamPixels* pixels = nullptr);

// VCamDeliverableCode for a type whose sizes agree with its picture: the
// format's image size (biSizeImage) and the sample size (lSampleSize) are
// each 0 (not given) or exactly the bytes of the picture its width, height
// and bit count describe. Code 0 for any other type: the picture, and so
// every buffer it fills, is sized from the format block alone.
int VCamAgreeingCode(const AM_MEDIA_TYPE& mt, VCamPixels* pixels = nullptr);

// The image size of a type's format (bitmap rule over its header for RGB,
// the YUV format's own size for YUY2 and I420), or 0 when it has no usable
// VIDEOINFOHEADER.
DWORD VCamFormatImageSize(const AM_MEDIA_TYPE& mt);

// The frame interval the stream keeps for a requested one: within 20 ms to
// 5 s; 50 ms for none.
REFERENCE_TIME VCamPacedFrameTime(REFERENCE_TIME requested);
