// Laying a prepared picture over 24-bit frames: the picture's pixels are
// premultiplied 32-bit blue-green-red-alpha (as GDI+ draws into a
// PixelFormat32bppPARGB bitmap), drawn once when the picture or the frame
// size changes; every frame then only blends them in.
#pragma once

#include <windows.h>

#include <vector>

// count pixels of src over the 24-bit pixels at dst, source over
// destination with premultiplied source: d = s + d x (255 - a) / 255,
// rounded; opaque pixels are copied, transparent ones leave d as it is.
void BlendPremultiplied(const UINT32* src, int count, BYTE* dst);

// The runs of visible pixels of a PARGB bitmap's rows, which is all the
// frame needs of it: the pixels of every run and where it goes.
struct PremultipliedOverlay {
    struct Span {
        int y;          // row, 0 = top
        int x;          // first column
        int count;      // pixels in the run
        size_t offset;  // index of the first pixel in pixels
    };
    int width = 0;
    int height = 0;
    std::vector<Span> spans;
    std::vector<UINT32> pixels;

    // Collects the runs of pixels that are not fully transparent from rows
    // of width PARGB pixels (stride bytes apart, top row first).
    void Collect(const BYTE* rows, int stride, int w, int h);
    // Blends every run into a bottom-up 24-bit frame (frameHeight rows of
    // frameStride bytes) with the overlay's top-left corner at (left, top)
    // counted from the frame's top-left; what falls outside is cut off.
    void BlendInto(BYTE* frame, int frameWidth, int frameHeight, int frameStride, int left, int top) const;
};
