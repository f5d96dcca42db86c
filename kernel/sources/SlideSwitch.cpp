#include "SlideSwitch.h"

#include <cstdlib>
#include <ctime>
#include <cstdint>
#include <cstring>

#include "VideoFrame.h"

#if defined(_M_X64) || defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define ZX_SLIDE_SSE2 1
#endif

namespace {

// count pixels of a 32-bit picture row into a 24-bit one: a four-byte copy
// per pixel (its fourth byte is overwritten by the next pixel), the last
// pixel by three bytes so nothing past the run is written.
void CopyRun(BYTE* out, const BYTE* src, int count) {
    if (count <= 0) return;
    for (int i = 0; i + 1 < count; ++i) std::memcpy(out + 3 * i, src + 4 * i, 4);
    std::memcpy(out + 3 * (count - 1), src + 4 * (count - 1), 3);
}

// One output row from the pictures' row y (counted from the top): columns
// [0, width) take each pixel from "to" when incoming(x), else from "from";
// each run of pixels from one picture is copied at once.
template <typename Incoming>
void ComposeRow(BYTE* out, const BYTE* from, const BYTE* to, int width, Incoming incoming) {
    int start = 0;
    while (start < width) {
        const bool in = incoming(start);
        int end = start + 1;
        while (end < width && incoming(end) == in) ++end;
        CopyRun(out + 3 * start, (in ? to : from) + 4 * start, end - start);
        start = end;
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
    // p x incoming + (1 - p) x outgoing, truncated, with the weights in 14-bit
    // fixed point (16384 in all, so the first and last steps give the
    // pictures exactly). The rounded weight is off by at most half a unit,
    // which moves a mix by less than 128 units of 1 / 16384; adding 128
    // before truncating keeps mixes that are whole numbers whole, and every
    // other mix of a step k / 30 lies at least 1 / 30 from a whole number.
    // So the bytes are the truncated exact mix: the single-precision mix's,
    // or one level above where its rounding fell just short of a whole
    // number.
    const int in = static_cast<int>(p * 16384.0f + 0.5f);
    const int weightIn = in < 0 ? 0 : (in > 16384 ? 16384 : in), weightOut = 16384 - weightIn;
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        BYTE* o = rows.Out(r);
        const BYTE* f = rows.From(r);
        const BYTE* t = rows.To(r);
        int x = 0;
#ifdef ZX_SLIDE_SSE2
        // Four pixels at a time: incoming and outgoing bytes paired in 16-bit
        // lanes, both weights applied and summed by one multiply-add.
        const __m128i zero = _mm_setzero_si128();
        const __m128i weights = _mm_set1_epi32(weightOut << 16 | weightIn), half = _mm_set1_epi32(128);
        for (; x + 5 <= width; x += 4) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 4 * x));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + 4 * x));
            const __m128i alo = _mm_unpacklo_epi8(a, zero), ahi = _mm_unpackhi_epi8(a, zero);
            const __m128i blo = _mm_unpacklo_epi8(b, zero), bhi = _mm_unpackhi_epi8(b, zero);
            const __m128i s0 = _mm_srli_epi32(_mm_add_epi32(half, _mm_madd_epi16(_mm_unpacklo_epi16(alo, blo), weights)), 14);
            const __m128i s1 = _mm_srli_epi32(_mm_add_epi32(half, _mm_madd_epi16(_mm_unpackhi_epi16(alo, blo), weights)), 14);
            const __m128i s2 = _mm_srli_epi32(_mm_add_epi32(half, _mm_madd_epi16(_mm_unpacklo_epi16(ahi, bhi), weights)), 14);
            const __m128i s3 = _mm_srli_epi32(_mm_add_epi32(half, _mm_madd_epi16(_mm_unpackhi_epi16(ahi, bhi), weights)), 14);
            alignas(16) uint32_t mixed[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(mixed),
                            _mm_packus_epi16(_mm_packs_epi32(s0, s1), _mm_packs_epi32(s2, s3)));
            // Four bytes per pixel; the fifth pixel (there is one) follows.
            for (int k = 0; k < 4; ++k) std::memcpy(o + 3 * (x + k), &mixed[k], 4);
        }
#endif
        for (; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                o[3 * x + c] = static_cast<BYTE>((t[4 * x + c] * weightIn + f[4 * x + c] * weightOut + 128) >> 14);
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
    // Which columns lie inside their cell's square, worked out once a step.
    m_columnsIn.resize(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) {
        const int cx = x % cw;
        m_columnsIn[static_cast<size_t>(x)] = ox <= cx && cx <= ox + iw;
    }
    const std::vector<char>& columns = m_columnsIn;
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const int cy = r % ch;
        const bool band = oy <= cy && cy <= oy + ih;
        if (!band) {
            CopyRun(rows.Out(r), rows.From(r), width);
            continue;
        }
        ComposeRow(rows.Out(r), rows.From(r), rows.To(r), width,
                   [&](int x) { return columns[static_cast<size_t>(x)] != 0; });
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
