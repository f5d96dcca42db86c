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

// count pixels of a picture row into an output row. Short runs (the grid's
// cells are a few pixels wide) are copied inline: a library call per run
// cost more than the copy.
inline void Copy8(BYTE* out, const BYTE* src) {
    uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(out, &v, 8);
}

void CopyRun(BYTE* out, const BYTE* src, int count) {
    if (count <= 0) return;
    const size_t n = 3 * static_cast<size_t>(count);
    if (n >= 128) {
        std::memcpy(out, src, n);
    } else if (n >= 8) {
        // Whole words, the last one overlapping the one before it.
        for (size_t i = 0; i + 8 < n; i += 8) Copy8(out + i, src + i);
        Copy8(out + n - 8, src + n - 8);
    } else {
        // 3 or 6 bytes.
        for (size_t i = 0; i < n; ++i) out[i] = src[i];
    }
}

// One output row from the pictures' rows: the source flips between "from"
// and "to" at each of the n boundaries (in order, "from" first), and each
// run of pixels from one picture is copied at once. With many runs (the
// grid) the "from" row is copied whole first and only the "to" runs over it.
void ComposeRuns(BYTE* out, const BYTE* from, const BYTE* to, int width, const int* bounds, size_t n) {
    const bool fromFirst = n > 4;
    if (fromFirst) std::memcpy(out, from, 3 * static_cast<size_t>(width));
    int start = 0;
    bool in = false;
    for (size_t i = 0; i <= n; ++i) {
        int end = i < n ? bounds[i] : width;
        end = end < start ? start : (end > width ? width : end);
        if (in || !fromFirst) CopyRun(out + 3 * start, (in ? to : from) + 3 * start, end - start);
        start = end;
        in = !in;
    }
}

// Pixels [a, b) of the row from "to", the others from "from".
void ComposeInterval(BYTE* out, const BYTE* from, const BYTE* to, int width, int a, int b) {
    const int bounds[2] = {a < 0 ? 0 : a, b};
    ComposeRuns(out, from, to, width, bounds, 2);
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
    // Packed once a transition: its first step, or other bitmaps than the
    // ones packed.
    if (m_step == 1 || from != m_packedFrom || to != m_packedTo ||
        m_from.size() != static_cast<size_t>(width) * 3 * static_cast<size_t>(height)) {
        m_packedFrom = m_packedTo = nullptr;
        if (!Pack(from, width, height, m_from) || !Pack(to, width, height, m_to)) return kResultNoPicture;
        m_packedFrom = from;
        m_packedTo = to;
    }
    SlidePictures pictures = {m_from.data(), width * 3, m_to.data(), width * 3};
    const int result = StepPixels(output, width, height, pictures);
    if (result != kResultRunning) {
        std::vector<BYTE>().swap(m_from);
        std::vector<BYTE>().swap(m_to);
        m_packedFrom = m_packedTo = nullptr;
    }
    return result;
}

bool CSlideSwitchBase::Pack(Gdiplus::Bitmap* bitmap, int width, int height, std::vector<BYTE>& pixels) {
    Gdiplus::Rect rect(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (bitmap->LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return false;
    pixels.resize(static_cast<size_t>(width) * 3 * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) {
        const BYTE* in = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(data.Stride) * y;
        BYTE* out = pixels.data() + static_cast<size_t>(width) * 3 * static_cast<size_t>(y);
        // Blue, green and red of each pixel; the alpha byte is dropped.
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
    bitmap->UnlockBits(&data);
    return true;
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
    // Incoming where x > edge.
    for (int r = 0; r < height; ++r) ComposeInterval(rows.Out(r), rows.From(r), rows.To(r), width, edge + 1, width);
}

void CSlideSwitchRight::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(width, p);
    Rows rows(output, width, height, pictures);
    // Incoming where x < k.
    for (int r = 0; r < height; ++r) ComposeInterval(rows.Out(r), rows.From(r), rows.To(r), width, 0, k);
}

void CSlideSwitchBottom::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(height, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const bool incoming = r < k;
        CopyRun(rows.Out(r), incoming ? rows.To(r) : rows.From(r), width);
    }
}

void CSlideSwitchTop::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    const int k = Part(height, p);
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const bool incoming = r > height - k;
        CopyRun(rows.Out(r), incoming ? rows.To(r) : rows.From(r), width);
    }
}

void CSlideSwitchGradient::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    // p x incoming + (1 - p) x outgoing, truncated, with the weights in 8-bit
    // fixed point (256 in all, so the first and last steps give the pictures
    // exactly, and the middle step the exact half). A rounded weight is off
    // by at most half a unit, which moves a mix by less than half a level:
    // the bytes are within one level of the exact mix. Every product and
    // their sum fit in 16 bits (255 x 256), so eight bytes are mixed per
    // multiply.
    const int in = static_cast<int>(p * 256.0f + 0.5f);
    const int weightIn = in < 0 ? 0 : (in > 256 ? 256 : in), weightOut = 256 - weightIn;
    Rows rows(output, width, height, pictures);
    const int bytes = 3 * width;
    for (int r = 0; r < height; ++r) {
        BYTE* o = rows.Out(r);
        const BYTE* f = rows.From(r);
        const BYTE* t = rows.To(r);
        int i = 0;
#ifdef ZX_SLIDE_SSE2
        const __m128i zero = _mm_setzero_si128();
        const __m128i wi = _mm_set1_epi16(static_cast<short>(weightIn));
        const __m128i wo = _mm_set1_epi16(static_cast<short>(weightOut));
        for (; i + 16 <= bytes; i += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + i));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(f + i));
            const __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), wi),
                                             _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), wo));
            const __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), wi),
                                             _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), wo));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + i),
                             _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
        }
#endif
        for (; i < bytes; ++i) o[i] = static_cast<BYTE>((t[i] * weightIn + f[i] * weightOut) >> 8);
    }
}

void CSlideSwitchCenterRectangle::Compose(BYTE* output, int width, int height, const SlidePictures& pictures,
                                          float p) {
    const int w = Part(width, p), h = Part(height, p);
    const int left = (width - w) / 2, bottom = (height - h) / 2;
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        // Incoming inside the open rectangle: bottom < r < bottom + h and
        // left < x < left + w.
        const bool band = bottom < r && r < bottom + h;
        if (band)
            ComposeInterval(rows.Out(r), rows.From(r), rows.To(r), width, left + 1, left + w);
        else
            CopyRun(rows.Out(r), rows.From(r), width);
    }
}

void CSlideSwitchGrid::Compose(BYTE* output, int width, int height, const SlidePictures& pictures, float p) {
    // A frame smaller than the grid has cells of one pixel rather than none.
    const int cw = width / m_columns > 0 ? width / m_columns : 1;
    const int ch = height / m_rows > 0 ? height / m_rows : 1;
    const int iw = Part(cw, p), ih = Part(ch, p);
    const int ox = (cw - iw) / 2, oy = (ch - ih) / 2;
    // Where the columns inside their cell's square begin and end, worked out
    // once a step.
    m_columnBounds.clear();
    bool inside = false;
    for (int x = 0; x < width; ++x) {
        const int cx = x % cw;
        const bool in = ox <= cx && cx <= ox + iw;
        if (in != inside) m_columnBounds.push_back(x);
        inside = in;
    }
    Rows rows(output, width, height, pictures);
    for (int r = 0; r < height; ++r) {
        const int cy = r % ch;
        const bool band = oy <= cy && cy <= oy + ih;
        if (!band) {
            CopyRun(rows.Out(r), rows.From(r), width);
            continue;
        }
        ComposeRuns(rows.Out(r), rows.From(r), rows.To(r), width, m_columnBounds.data(), m_columnBounds.size());
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
