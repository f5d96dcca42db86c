#include "SlideSwitch.h"

#include <cstdlib>
#include <ctime>
#include <cstring>

#include "VideoFrame.h"

namespace {

// One output row from the pictures' row y (counted from the top): columns
// [0, width) take each pixel from "to" when incoming(x), else from "from".
template <typename Incoming>
void ComposeRow(BYTE* out, const BYTE* from, const BYTE* to, int width, Incoming incoming) {
    for (int x = 0; x < width; ++x) {
        const BYTE* src = incoming(x) ? to + 4 * x : from + 4 * x;
        out[3 * x] = src[0];
        out[3 * x + 1] = src[1];
        out[3 * x + 2] = src[2];
    }
}

// Output row r (from the first row of the buffer, the bottom of the picture)
// takes the pictures' row height - 1 - r.
struct Rows {
    Rows(BYTE* output, int width, int height, const SlidePictures& pictures)
        : m_output(output), m_height(height), m_stride(VideoFrameStride(width, 24)), m_pictures(pictures) {}
    BYTE* Out(int r) const { return m_output + static_cast<size_t>(m_stride) * r; }
    const BYTE* From(int r) const {
        return m_pictures.from + static_cast<ptrdiff_t>(m_pictures.fromStride) * (m_height - 1 - r);
    }
    const BYTE* To(int r) const {
        return m_pictures.to + static_cast<ptrdiff_t>(m_pictures.toStride) * (m_height - 1 - r);
    }
    BYTE* m_output;
    int m_height;
    int m_stride;
    const SlidePictures& m_pictures;
};

// trunc(size x p), multiplied as a float.
int Part(int size, float p) { return static_cast<int>(static_cast<float>(size) * p); }

}  // namespace

int CSlideSwitchBase::Step(BYTE* output, const BITMAPINFOHEADER& frame, Gdiplus::Bitmap* from, Gdiplus::Bitmap* to) {
    if (!output || !from || !to) return kResultNoPicture;
    const int width = frame.biWidth;
    const int height = frame.biHeight;
    if (width <= 0 || height <= 0 || frame.biBitCount != 24) return kResultNoPicture;
    if (static_cast<int>(from->GetWidth()) < width || static_cast<int>(from->GetHeight()) < height ||
        static_cast<int>(to->GetWidth()) < width || static_cast<int>(to->GetHeight()) < height)
        return kResultNoPicture;
    Gdiplus::Rect rect(0, 0, width, height);
    Gdiplus::BitmapData fromData, toData;
    if (from->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &fromData) != Gdiplus::Ok)
        return kResultNoPicture;
    if (to->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &toData) != Gdiplus::Ok) {
        from->UnlockBits(&fromData);
        return kResultNoPicture;
    }
    SlidePictures pictures = {static_cast<const BYTE*>(fromData.Scan0), fromData.Stride,
                              static_cast<const BYTE*>(toData.Scan0), toData.Stride};
    int result = StepPixels(output, width, height, pictures);
    to->UnlockBits(&toData);
    from->UnlockBits(&fromData);
    return result;
}

int CSlideSwitchBase::StepPixels(BYTE* output, int width, int height, const SlidePictures& pictures) {
    if (!output || !pictures.from || !pictures.to || width <= 0 || height <= 0) return kResultNoPicture;
    const float p = static_cast<float>(m_step) / static_cast<float>(m_stepCount);
    ++m_step;
    Compose(output, width, height, pictures, p);
    return p == 1.0f ? kResultDone : kResultRunning;
}

void CSlideSwitchLeft::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int edge = width - Part(width, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width, [&](int x) { return x > edge; });
}

void CSlideSwitchRight::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(width, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width, [&](int x) { return x < k; });
}

void CSlideSwitchBottom::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(height, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const bool incoming = r < k;
        ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width, [&](int) { return incoming; });
    }
}

void CSlideSwitchTop::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(height, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const bool incoming = r > height - k;
        ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width, [&](int) { return incoming; });
    }
}

void CSlideSwitchGradient::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    // trunc(p x incoming + (1 - p) x outgoing) in single precision: the two
    // products come from tables, their float sum is the same as computing it
    // per channel.
    float in[256], out[256];
    const float q = 1.0f - p;
    for (int v = 0; v < 256; ++v) {
        in[v] = p * static_cast<float>(v);
        out[v] = q * static_cast<float>(v);
    }
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        BYTE* o = rows.Out(r);
        const BYTE* f = rows.From(r);
        const BYTE* t = rows.To(r);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const float sum = in[t[4 * x + c]] + out[f[4 * x + c]];
                o[3 * x + c] = static_cast<BYTE>(static_cast<int>(sum));
            }
    }
}

void CSlideSwitchCenterRectangle::Compose(BYTE* output, int width, int height, const SlidePictures& pictures,
                                          float p) {
    const int w = Part(width, p), h = Part(height, p);
    const int left = (width - w) / 2, bottom = (height - h) / 2;
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const bool band = bottom < r && r < bottom + h;
        ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width,
                   [&](int x) { return band && left < x && x < left + w; });
    }
}

void CSlideSwitchGrid::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    // A frame smaller than the grid has cells of one pixel rather than none.
    const int cw = width / m_columns > 0 ? width / m_columns : 1;
    const int ch = height / m_rows > 0 ? height / m_rows : 1;
    const int iw = Part(cw, p), ih = Part(ch, p);
    const int ox = (cw - iw) / 2, oy = (ch - ih) / 2;
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const int cy = r % ch;
        const bool band = oy <= cy && cy <= oy + ih;
        ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width, [&](int x) {
            const int cx = x % cw;
            return band && ox <= cx && cx <= ox + iw;
        });
    }
}

CSlideSwitchPool::CSlideSwitchPool() {
    m_all = {new CSlideSwitchLeft,     new CSlideSwitchRight,           new CSlideSwitchTop, new CSlideSwitchBottom,
             new CSlideSwitchGradient, new CSlideSwitchCenterRectangle, new CSlideSwitchGrid};
    m_pool = m_all;
}

CSlideSwitchPool::~CSlideSwitchPool() {
    for (CSlideSwitchBase* s : m_all) delete s;
}

CSlideSwitchBase* CSlideSwitchPool::Pick() {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    const size_t at = static_cast<size_t>(std::rand()) % m_pool.size();
    CSlideSwitchBase* picked = m_pool[at];
    m_pool.erase(m_pool.begin() + static_cast<ptrdiff_t>(at));
    m_used.push_back(picked);
    if (m_pool.empty()) m_pool.swap(m_used);
    picked->Restart();
    return picked;
}
