// Channel scaling: multiplies the red, green and blue bytes of every pixel of
// a 24-bit frame by three factors. Shared by the colour filter and the colour
// adjustment, so both give exactly the same bytes for the same factors.
#pragma once

#include <windows.h>

#include "VideoFrame.h"

// Scales every pixel of the frame in place: red = red x redFactor and so on.
// Each factor is used in single precision; each product is computed in single
// precision, clamped to 0 to 255 and truncated toward zero. A factor beyond
// the range of a float saturates to the largest float of its sign, and a
// factor that is not a number scales to 0.
//
// Rows are walked with the frame's stride (VideoFrameStride), so a width
// whose rows carry padding keeps its pixels in place and its padding bytes
// untouched. Frames that are not 24 bits per pixel, or have no width or
// height, are left unchanged. A negative height (a top-down frame) covers the
// same bytes as the positive one.
void ScaleChannels(BYTE* frame, const VideoFrameFormat& format, double redFactor, double greenFactor,
                   double blueFactor);
