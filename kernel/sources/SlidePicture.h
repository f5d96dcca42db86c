// One picture of the slide show made ready to show: every frame drawn at the
// output size over the background colour, with its delay; and the picture's
// thumbnail in the thumbnail cache.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "GdiPlus.h"

struct SlideFrame {
    std::unique_ptr<Gdiplus::Bitmap> bitmap;  // 32-bit ARGB, exactly the frame size
    DWORD delayMs = 0;
};

class CSlidePicture {
public:
    CSlidePicture() : id(-1), width(0), height(0), shownIndex(-1), shownTick(0) {}

    // Opens the picture and draws each of its frames (one, or several along
    // the time dimension for an animated GIF) into a bitmap of width x height
    // filled with background; stretched over the whole frame when stretch is
    // set or the aspect ratios agree, else fitted and centred. False when the
    // file cannot be opened or decoded.
    bool Compose(const std::string& file, int frameWidth, int frameHeight, bool stretch, unsigned background);

    bool IsStill() const { return frames.size() == 1; }
    Gdiplus::Bitmap* First() const { return frames.empty() ? nullptr : frames.front().bitmap.get(); }
    Gdiplus::Bitmap* Last() const { return frames.empty() ? nullptr : frames.back().bitmap.get(); }

    std::string path;
    int id;
    std::string thumbPath;
    int width, height;  // the frame size the frames were composed for
    std::vector<SlideFrame> frames;
    int shownIndex;     // the frame shown, -1 before the first
    DWORD shownTick;    // when it was shown
};

// The thumbnail of a picture: <cache folder>ZxVCamSlideThumbnail\<MD5 of
// the path's UTF-8 bytes>.jpg. The same path always names the same file.
std::string SlideThumbnailPath(const std::string& picture);

// Makes the 80 x 60 JPEG thumbnail of a picture unless it exists already.
// False when the picture cannot be opened or the thumbnail not written.
bool MakeSlideThumbnail(const std::string& picture, std::string& thumbPath);

// Copies a 32-bit ARGB bitmap of the frame size into a 24-bit frame (rows
// bottom-up, the stride of the width). False when the sizes differ or the
// bitmap cannot be read.
bool DrawSlideBitmap(Gdiplus::Bitmap* bitmap, BYTE* frame, int width, int height);
