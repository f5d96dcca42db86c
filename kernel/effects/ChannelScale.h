// Channel scaling: multiplies the red, green and blue bytes of every pixel of
// a 24-bit frame by three factors. Shared by the colour filter and the colour
// adjustment, so both give exactly the same bytes for the same factors.
#pragma once

#include <windows.h>

#include "VideoFrame.h"

// Scales every pixel of the frame in place: red = red x redFactor and so on,
// truncated and clamped to 0 to 255. Each factor is taken in fixed point, the
// smallest multiple of 1 / 2^s not below it (s = 15 below 2, one bit fewer
// for each doubling above), so a product is never below the exact one and at
// most 255 / 2^s above it: for factors of two decimals (every filter and
// every adjustment level) the bytes are the exact products truncated. A
// negative factor or one that is not a number scales to 0; a factor of 256
// or more gives 255 for every byte but 0.
//
// Rows are walked with the frame's stride (VideoFrameStride), so a width
// whose rows carry padding keeps its pixels in place and its padding bytes
// untouched. Frames that are not 24 bits per pixel, or have no width or
// height, are left unchanged. A negative height (a top-down frame) covers the
// same bytes as the positive one.
void ScaleChannels(BYTE* frame, const VideoFrameFormat& format, double redFactor, double greenFactor,
                   double blueFactor);
