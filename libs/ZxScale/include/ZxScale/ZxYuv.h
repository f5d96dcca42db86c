// Conversion of 24-bit pictures (blue-green-red, rows bottom-up, padded to 4
// bytes) to the formats capture clients ask for: YUY2 (4:2:2 packed,
// Y0 U Y1 V), I420 (4:2:0 planar: Y, then U, then V at half width and half
// height), NV12 (4:2:0: Y, then U and V interleaved at half width and half
// height) and RGB32 (blue-green-red-alpha). The YUV formats are BT.601 with
// limited range (Y 16 to 235, U and V 16 to 240), rows top-down as those
// formats always are; chroma is taken from the mean of the pixels it covers
// (2 for YUY2, 2 x 2 for I420 and NV12). RGB32 keeps the rows in the order
// they come (a bottom-up picture stays bottom-up, as both bitmap formats
// are) and sets alpha to 255.
//
// Each conversion has vector paths (SSE2, always there on x64; SSSE3; AVX2
// for the YUV formats), each taken where the processor has it, which give
// exactly the bytes of the plain C path.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes of a whole picture in each format (width and height even for the
// YUV formats).
size_t ZxYuy2Bytes(int width, int height);
size_t ZxI420Bytes(int width, int height);
size_t ZxNv12Bytes(int width, int height);
size_t ZxRgb32Bytes(int width, int height);

// The widest path a conversion may take: the fastest the processor runs,
// at most SSSE3, at most SSE2, or the plain C one (for comparing them).
enum class ZxConvertPath { Best, Ssse3, Sse2, Plain };

// Whether Best takes the SSE2 path on this processor, the SSSE3 path
// (sixteen pixels at a time) before it, and the AVX2 path before that.
bool ZxConvertUsesSse2();
bool ZxConvertUsesSsse3();
bool ZxConvertUsesAvx2();

// For the YUV formats width and height must be even and positive, for RGB32
// positive; false otherwise, with nothing written. destination holds the
// Bytes of its format.
bool ZxBgrToYuy2(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination,
                 ZxConvertPath path = ZxConvertPath::Best);
bool ZxBgrToI420(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination,
                 ZxConvertPath path = ZxConvertPath::Best);
bool ZxBgrToNv12(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination,
                 ZxConvertPath path = ZxConvertPath::Best);
bool ZxBgrToRgb32(const uint8_t* bgr, int width, int height, uint8_t* destination,
                  ZxConvertPath path = ZxConvertPath::Best);
// RGB32 with the rows turned over: a bottom-up picture comes out top-down,
// as Media Foundation lays out a positive stride.
bool ZxBgrToRgb32TopDown(const uint8_t* bgrBottomUp, int width, int height, uint8_t* destination,
                         ZxConvertPath path = ZxConvertPath::Best);
