// The video frame and its format, shared by the kernel, the main program and
// every frame processor.
//
// A frame is image-size bytes of 24-bit pixels in the order blue, green, red;
// the first row in memory is the bottom row of the picture; each row is
// VideoFrameStride bytes.
#pragma once

#include <windows.h>

// The format record: a BITMAPINFO (header plus one colour-table entry that
// stays zero). The kernel's format is 640 x 480, 24 bits, BI_RGB, image size
// 921600.
typedef BITMAPINFO VideoFrameFormat;

enum eVideoStreamType {
    VIDEO_STREAM_NONE = 0,       // the default picture
    VIDEO_STREAM_MEDIAFILE = 1,  // the media-file playlist
    VIDEO_STREAM_SLIDE = 2,      // the slide show
    VIDEO_STREAM_CAMERA = 3,     // a real camera
};

inline int VideoFrameStride(int width, int bitCount) { return ((bitCount * width + 31) / 32) * 4; }

inline int VideoFrameStride(const VideoFrameFormat& format) {
    return VideoFrameStride(format.bmiHeader.biWidth, format.bmiHeader.biBitCount);
}

// Fills a format record for width x height at 24 bits, rows bottom-up.
inline void VideoFrameFormatInit(VideoFrameFormat& format, int width, int height) {
    ZeroMemory(&format, sizeof(format));
    format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 24;
    format.bmiHeader.biCompression = BI_RGB;
    format.bmiHeader.biSizeImage = static_cast<DWORD>(VideoFrameStride(width, 24) * height);
}
