// Pictures and drawing: loading picture files into premultiplied 32-bit
// pixels, the shared image table, colours, borders, pictures with
// modifiers, and text through GDI+.
#include "DuiLib/UIRender.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <mutex>
#include <tuple>

#include "DuiLib/UIManager.h"

namespace DuiLib {

namespace {

std::mutex& ImageLock() {
    static std::mutex m;
    return m;
}
// The tables live until the process ends and are never destroyed: their
// GDI+ bitmaps must not be freed after the program has shut GDI+ down.
std::map<std::string, std::unique_ptr<TImageInfo>>& ImageTable() {
    static auto* t = new std::map<std::string, std::unique_ptr<TImageInfo>>;
    return *t;
}
std::map<std::string, std::string>& AliasTable() {
    static auto* t = new std::map<std::string, std::string>;
    return *t;
}

// Wraps the owned pixel bytes in a GDI+ bitmap; the alpha flag says whether
// any pixel is not opaque.
void FinishImage(TImageInfo* img) {
    img->bAlpha = false;
    for (size_t i = 3; i < img->bits.size(); i += 4)
        if (img->bits[i] != 255) { img->bAlpha = true; break; }
    img->bitmap.reset(new Gdiplus::Bitmap(img->nX, img->nY, img->nX * 4, PixelFormat32bppPARGB, img->bits.data()));
}

TImageInfo* FromGdiplusBitmap(Gdiplus::Bitmap* src, const std::string& name) {
    if (!src || src->GetLastStatus() != Gdiplus::Ok) return nullptr;
    const int w = static_cast<int>(src->GetWidth());
    const int h = static_cast<int>(src->GetHeight());
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384) return nullptr;
    std::unique_ptr<TImageInfo> img(new TImageInfo);
    img->nX = w;
    img->nY = h;
    img->bits.assign(static_cast<size_t>(w) * h * 4, 0);
    img->sPath = name;
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(w);
    data.Height = static_cast<UINT>(h);
    data.Stride = w * 4;
    data.PixelFormat = PixelFormat32bppPARGB;
    data.Scan0 = img->bits.data();
    Gdiplus::Rect rc(0, 0, w, h);
    if (src->LockBits(&rc, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf, PixelFormat32bppPARGB,
                      &data) != Gdiplus::Ok)
        return nullptr;
    src->UnlockBits(&data);
    FinishImage(img.get());
    return img.release();
}

Gdiplus::Graphics& MeasureGraphics() {
    static Gdiplus::Bitmap* bmp = new Gdiplus::Bitmap(1, 1, PixelFormat32bppPARGB);
    static Gdiplus::Graphics* g = new Gdiplus::Graphics(bmp);
    return *g;
}

void MakeFormat(Gdiplus::StringFormat& fmt, UINT style) {
    if (style & DT_CENTER) fmt.SetAlignment(Gdiplus::StringAlignmentCenter);
    else if (style & DT_RIGHT) fmt.SetAlignment(Gdiplus::StringAlignmentFar);
    else fmt.SetAlignment(Gdiplus::StringAlignmentNear);
    if (style & DT_VCENTER) fmt.SetLineAlignment(Gdiplus::StringAlignmentCenter);
    else if (style & DT_BOTTOM) fmt.SetLineAlignment(Gdiplus::StringAlignmentFar);
    else fmt.SetLineAlignment(Gdiplus::StringAlignmentNear);
    INT flags = 0;
    if (style & DT_SINGLELINE) flags |= Gdiplus::StringFormatFlagsNoWrap;
    if (!(style & DT_WORDBREAK)) flags |= Gdiplus::StringFormatFlagsNoWrap;
    fmt.SetFormatFlags(flags);
    fmt.SetTrimming((style & DT_END_ELLIPSIS) ? Gdiplus::StringTrimmingEllipsisCharacter
                                              : Gdiplus::StringTrimmingNone);
}

TPaintTarget* g_target = nullptr;

inline DWORD Premultiply(DWORD argb) {
    const DWORD a = argb >> 24;
    if (a == 255) return argb;
    const DWORD r = ((argb >> 16) & 0xFF) * a / 255, gg = ((argb >> 8) & 0xFF) * a / 255, b = (argb & 0xFF) * a / 255;
    return (a << 24) | (r << 16) | (gg << 8) | b;
}

// Source-over of one premultiplied pixel.
inline DWORD Blend(DWORD dst, DWORD src) {
    const DWORD a = src >> 24;
    if (a == 255) return src;
    if (a == 0) return dst;
    const DWORD inv = 255 - a;
    DWORD rb = ((dst & 0x00FF00FF) * inv + 0x00800080);
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    DWORD ag = (((dst >> 8) & 0x00FF00FF) * inv + 0x00800080);
    ag = (((ag + ((ag >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF) << 8;
    return src + rb + ag;
}

inline DWORD Scale(DWORD px, DWORD f) {
    DWORD rb = ((px & 0x00FF00FF) * f + 0x00800080);
    rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
    DWORD ag = (((px >> 8) & 0x00FF00FF) * f + 0x00800080);
    ag = (((ag + ((ag >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF) << 8;
    return rb | ag;
}

void FillDirect(TPaintTarget* t, const RECT& rcIn, DWORD argb) {
    RECT rc = RectIntersect(rcIn, t->clip);
    if (RectEmpty(rc)) return;
    const DWORD src = Premultiply(argb);
    for (LONG y = rc.top; y < rc.bottom; ++y) {
        DWORD* row = t->bits + static_cast<size_t>(y) * t->cx;
        if ((src >> 24) == 255) std::fill(row + rc.left, row + rc.right, src);
        else
            for (LONG x = rc.left; x < rc.right; ++x) row[x] = Blend(row[x], src);
    }
}

// Resampling along one axis: for each of n destination pixels the source
// pixels it covers and their weights. Shrinking averages what a pixel
// covers (every source pixel counts); growing interpolates linearly between
// the two nearest source pixels.
struct TTap {
    int first;
    std::vector<float> w;
};
std::vector<TTap> Taps(int srcLen, int n) {
    std::vector<TTap> taps(static_cast<size_t>(n));
    const double ratio = static_cast<double>(srcLen) / n;
    for (int i = 0; i < n; ++i) {
        TTap& t = taps[static_cast<size_t>(i)];
        if (ratio >= 1.0) {
            const double a = i * ratio, b = (i + 1) * ratio;
            t.first = static_cast<int>(a);
            const int last = (std::min)(srcLen - 1, static_cast<int>(std::ceil(b)) - 1);
            for (int k = t.first; k <= last; ++k)
                t.w.push_back(static_cast<float>(((std::min)(b, k + 1.0) - (std::max)(a, static_cast<double>(k))) / ratio));
        } else {
            const double c = (i + 0.5) * ratio - 0.5;
            int k = static_cast<int>(std::floor(c));
            const float f = static_cast<float>(c - k);
            if (k < 0) {
                t.first = 0;
                t.w = {1.0f};
            } else if (k >= srcLen - 1) {
                t.first = srcLen - 1;
                t.w = {1.0f};
            } else {
                t.first = k;
                t.w = {1.0f - f, f};
            }
        }
    }
    return taps;
}

// The part s of a picture resampled to w x h (premultiplied pixels).
std::vector<DWORD> Resample(const TImageInfo* img, const RECT& s, int w, int h) {
    const int sw = RectWidth(s), sh = RectHeight(s);
    const DWORD* src = reinterpret_cast<const DWORD*>(img->bits.data());
    const auto tx = Taps(sw, w), ty = Taps(sh, h);
    // Across first, into floats; then down.
    std::vector<float> mid(static_cast<size_t>(w) * sh * 4);
    for (int y = 0; y < sh; ++y) {
        const DWORD* row = src + static_cast<size_t>(s.top + y) * img->nX + s.left;
        float* out = &mid[static_cast<size_t>(y) * w * 4];
        for (int x = 0; x < w; ++x, out += 4) {
            const TTap& t = tx[static_cast<size_t>(x)];
            float acc[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < t.w.size(); ++k) {
                const DWORD px = row[t.first + static_cast<int>(k)];
                for (int c = 0; c < 4; ++c) acc[c] += t.w[k] * static_cast<float>((px >> (8 * c)) & 0xFF);
            }
            for (int c = 0; c < 4; ++c) out[c] = acc[c];
        }
    }
    std::vector<DWORD> outPx(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        const TTap& t = ty[static_cast<size_t>(y)];
        for (int x = 0; x < w; ++x) {
            float acc[4] = {0, 0, 0, 0};
            for (size_t k = 0; k < t.w.size(); ++k) {
                const float* in = &mid[(static_cast<size_t>(t.first + static_cast<int>(k)) * w + x) * 4];
                for (int c = 0; c < 4; ++c) acc[c] += t.w[k] * in[c];
            }
            DWORD v = 0;
            const float a = (std::min)(255.0f, acc[3] + 0.5f);
            for (int c = 0; c < 4; ++c) {
                // Premultiplied: no colour above its alpha.
                float f = (std::min)(c == 3 ? 255.0f : a, acc[c] + 0.5f);
                v |= static_cast<DWORD>(f < 0 ? 0 : f) << (8 * c);
            }
            outPx[static_cast<size_t>(y) * w + x] = v;
        }
    }
    return outPx;
}

// Scaled parts of pictures, kept while they are drawn again and again at
// the same size (a window's pictures at its scale, a stretched background):
// resampling is done once, drawing is then a copy.
struct TScaledKey {
    unsigned serial;
    LONG l, t, r, b;
    int w, h;
    bool operator<(const TScaledKey& o) const {
        return std::tie(serial, l, t, r, b, w, h) < std::tie(o.serial, o.l, o.t, o.r, o.b, o.w, o.h);
    }
};
const std::vector<DWORD>& ScaledPart(const TImageInfo* img, const RECT& s, int w, int h) {
    static std::mutex lock;
    static auto* cache = new std::map<TScaledKey, std::vector<DWORD>>;
    static size_t bytes = 0;
    std::lock_guard<std::mutex> guard(lock);
    const TScaledKey key{img->serial, s.left, s.top, s.right, s.bottom, w, h};
    auto it = cache->find(key);
    if (it != cache->end()) return it->second;
    const size_t need = static_cast<size_t>(w) * h * 4;
    if (bytes + need > (64u << 20)) {
        // Simple and bounded: start again when full (a window's set is far
        // smaller than this).
        cache->clear();
        bytes = 0;
    }
    bytes += need;
    return (*cache)[key] = Resample(img, s, w, h);
}

// One part of a picture into a destination rectangle: copied when the
// sizes match, resampled smoothly otherwise.
void BlitDirect(TPaintTarget* t, const TImageInfo* img, const RECT& d, const RECT& s, BYTE fade) {
    if (RectEmpty(d) || RectEmpty(s)) return;
    const int dw0 = RectWidth(d), dh0 = RectHeight(d);
    if ((dw0 != RectWidth(s) || dh0 != RectHeight(s)) && dw0 <= 8192 && dh0 <= 8192) {
        const std::vector<DWORD>& part = ScaledPart(img, s, dw0, dh0);
        RECT rc = RectIntersect(d, t->clip);
        for (LONG y = rc.top; y < rc.bottom; ++y) {
            const DWORD* srow = part.data() + static_cast<size_t>(y - d.top) * dw0 - d.left;
            DWORD* drow = t->bits + static_cast<size_t>(y) * t->cx;
            for (LONG x = rc.left; x < rc.right; ++x) {
                DWORD px = srow[x];
                if (fade != 255) px = Scale(px, fade);
                drow[x] = Blend(drow[x], px);
            }
        }
        return;
    }
    RECT rc = RectIntersect(d, t->clip);
    if (RectEmpty(rc)) return;
    const DWORD* src = reinterpret_cast<const DWORD*>(img->bits.data());
    const int dw = RectWidth(d), dh = RectHeight(d), sw = RectWidth(s), sh = RectHeight(s);
    const bool same = dw == sw && dh == sh;
    const bool opaqueCopy = same && fade == 255 && !img->bAlpha;
    for (LONG y = rc.top; y < rc.bottom; ++y) {
        const int sy = s.top + (same ? (y - d.top) : static_cast<int>((static_cast<long long>(y - d.top) * sh) / dh));
        const DWORD* srow = src + static_cast<size_t>(sy) * img->nX;
        DWORD* drow = t->bits + static_cast<size_t>(y) * t->cx;
        if (opaqueCopy) {
            memcpy(drow + rc.left, srow + s.left + (rc.left - d.left), static_cast<size_t>(RectWidth(rc)) * 4);
            continue;
        }
        for (LONG x = rc.left; x < rc.right; ++x) {
            const int sx = s.left + (same ? (x - d.left) : static_cast<int>((static_cast<long long>(x - d.left) * sw) / dw));
            DWORD px = srow[sx];
            if (fade != 255) px = Scale(px, fade);
            drow[x] = Blend(drow[x], px);
        }
    }
}

// Text through GDI: drawn white on black into a scratch surface, which then
// serves as the coverage of each pixel; the colour (with its alpha) is
// blended into the target by that coverage. The result is right on opaque
// and on layered (per-pixel alpha) windows alike.
void DrawTextDirect(TPaintTarget* t, const RECT& rc, const RECT& clip, const std::wstring& w, DWORD argb, HFONT hf,
                    UINT flags) {
    static HDC dc = nullptr;
    static HBITMAP bmp = nullptr;
    static DWORD* bits = nullptr;
    static int cap = 0, capH = 0;
    const int cw = RectWidth(clip), ch = RectHeight(clip);
    if (!dc || cw > cap || ch > capH) {
        if (bmp) DeleteObject(bmp);
        if (!dc) dc = CreateCompatibleDC(nullptr);
        cap = (std::max)(cw, cap);
        capH = (std::max)(ch, capH);
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = cap;
        bmi.bmiHeader.biHeight = -capH;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bmp = CreateDIBSection(dc, &bmi, DIB_RGB_COLORS, &p, nullptr, 0);
        if (!bmp) {
            bits = nullptr;
            cap = capH = 0;
            return;
        }
        bits = static_cast<DWORD*>(p);
        SelectObject(dc, bmp);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
    }
    GdiFlush();
    for (int y = 0; y < ch; ++y) std::fill(bits + static_cast<size_t>(y) * cap, bits + static_cast<size_t>(y) * cap + cw, 0u);
    HGDIOBJ old = SelectObject(dc, hf);
    RECT r{rc.left - clip.left, rc.top - clip.top, rc.right - clip.left, rc.bottom - clip.top};
    ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, flags);
    SelectObject(dc, old);
    GdiFlush();
    const DWORD ca = argb >> 24;
    const DWORD cr = (argb >> 16) & 0xFF, cg = (argb >> 8) & 0xFF, cb = argb & 0xFF;
    for (int y = 0; y < ch; ++y) {
        const DWORD* cov = bits + static_cast<size_t>(y) * cap;
        DWORD* dst = t->bits + static_cast<size_t>(clip.top + y) * t->cx + clip.left;
        for (int x = 0; x < cw; ++x) {
            const DWORD c = cov[x];
            if (!(c & 0x00FFFFFF)) continue;
            DWORD m = (std::max)((std::max)((c >> 16) & 0xFF, (c >> 8) & 0xFF), c & 0xFF);
            const DWORD a = m * ca / 255;
            const DWORD src = (a << 24) | ((cr * a / 255) << 16) | ((cg * a / 255) << 8) | (cb * a / 255);
            dst[x] = Blend(dst[x], src);
        }
    }
}

}  // namespace

void CRenderEngine::SetPaintTarget(TPaintTarget* target) { g_target = target; }

TPaintTarget* CRenderEngine::GetPaintTarget(Gdiplus::Graphics& g) {
    return (g_target && g_target->g == &g) ? g_target : nullptr;
}

RECT CRenderEngine::PushClip(Gdiplus::Graphics& g, const RECT& rc) {
    TPaintTarget* t = GetPaintTarget(g);
    RECT old;
    if (t) {
        old = t->clip;
    } else {
        Gdiplus::Rect r;
        g.GetClipBounds(&r);
        old = RECT{r.X, r.Y, r.X + r.Width, r.Y + r.Height};
    }
    RECT now = RectIntersect(old, rc);
    g.SetClip(Gdiplus::Rect(now.left, now.top, RectWidth(now), RectHeight(now)));
    if (t) t->clip = now;
    return old;
}

void CRenderEngine::RestoreClip(Gdiplus::Graphics& g, const RECT& old) {
    g.SetClip(Gdiplus::Rect(old.left, old.top, RectWidth(old), RectHeight(old)));
    if (TPaintTarget* t = GetPaintTarget(g)) t->clip = old;
}

unsigned TImageInfo::NextSerial() {
    static std::atomic<unsigned> next{1};
    return next++;
}

TImageInfo* CImageMgr::GetImage(const std::string& name) {
    std::lock_guard<std::mutex> lock(ImageLock());
    auto it = ImageTable().find(name);
    if (it != ImageTable().end()) return it->second.get();
    auto al = AliasTable().find(name);
    if (al == AliasTable().end()) return nullptr;
    it = ImageTable().find(al->second);
    return it == ImageTable().end() ? nullptr : it->second.get();
}

void CImageMgr::AddAlias(const std::string& alias, const std::string& name) {
    std::lock_guard<std::mutex> lock(ImageLock());
    if (alias != name) AliasTable()[alias] = name;
}

bool CImageMgr::AddImage(const std::string& name, TImageInfo* image) {
    if (!image || name.empty()) {
        delete image;
        return false;
    }
    std::lock_guard<std::mutex> lock(ImageLock());
    ImageTable()[name].reset(image);
    return true;
}

void CImageMgr::RemoveImage(const std::string& name) {
    std::lock_guard<std::mutex> lock(ImageLock());
    ImageTable().erase(name);
}

void CImageMgr::RemoveAll() {
    std::lock_guard<std::mutex> lock(ImageLock());
    ImageTable().clear();
    AliasTable().clear();
}

size_t CImageMgr::GetCount() {
    std::lock_guard<std::mutex> lock(ImageLock());
    return ImageTable().size();
}

bool CRenderEngine::FindImageEncoder(const wchar_t* mime, CLSID& clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0) return false;
    std::vector<BYTE> buffer(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, mime) == 0) {
            clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

TImageInfo* CRenderEngine::LoadFullPathImageFile(const std::string& path) {
    if (path.empty()) return nullptr;
    std::wstring wpath = ToW(path);
    if (GetFileAttributesW(wpath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DuiLog(2, "CRenderEngine", "picture file not found: %s", path.c_str());
        return nullptr;
    }
    // Read the bytes first so the file is not held open by GDI+.
    HANDLE h = CreateFileW(wpath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DuiLog(2, "CRenderEngine", "cannot open picture file: %s", path.c_str());
        return nullptr;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    if (size.QuadPart <= 0 || size.QuadPart > (256 << 20)) {
        CloseHandle(h);
        DuiLog(2, "CRenderEngine", "picture file empty or too large: %s", path.c_str());
        return nullptr;
    }
    std::vector<BYTE> data(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    BOOL ok = ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr);
    CloseHandle(h);
    if (!ok || got != data.size()) {
        DuiLog(2, "CRenderEngine", "cannot read picture file: %s", path.c_str());
        return nullptr;
    }
    TImageInfo* img = LoadImageFromMemory(data.data(), data.size(), path);
    if (!img) DuiLog(2, "CRenderEngine", "not a picture GDI+ can read: %s", path.c_str());
    return img;
}

TImageInfo* CRenderEngine::LoadImageFromMemory(const void* data, size_t size, const std::string& name) {
    if (!data || size == 0) return nullptr;
    HGLOBAL hMem = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!hMem) return nullptr;
    void* p = GlobalLock(hMem);
    memcpy(p, data, size);
    GlobalUnlock(hMem);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(hMem, TRUE, &stream) != S_OK) {
        GlobalFree(hMem);
        return nullptr;
    }
    TImageInfo* img = nullptr;
    {
        std::unique_ptr<Gdiplus::Bitmap> bmp(Gdiplus::Bitmap::FromStream(stream));
        img = FromGdiplusBitmap(bmp.get(), name);
    }
    stream->Release();
    return img;
}

TImageInfo* CRenderEngine::CreateImage(int cx, int cy, const DWORD* argb) {
    if (cx <= 0 || cy <= 0 || !argb) return nullptr;
    TImageInfo* img = new TImageInfo;
    img->nX = cx;
    img->nY = cy;
    img->bits.resize(static_cast<size_t>(cx) * cy * 4);
    for (size_t i = 0; i < static_cast<size_t>(cx) * cy; ++i) {
        DWORD c = argb[i];
        unsigned a = c >> 24;
        img->bits[i * 4 + 0] = static_cast<BYTE>((c & 0xFF) * a / 255);
        img->bits[i * 4 + 1] = static_cast<BYTE>(((c >> 8) & 0xFF) * a / 255);
        img->bits[i * 4 + 2] = static_cast<BYTE>(((c >> 16) & 0xFF) * a / 255);
        img->bits[i * 4 + 3] = static_cast<BYTE>(a);
    }
    FinishImage(img);
    return img;
}

DWORD CRenderEngine::GetColorValue(const std::string& text) { return ParseColor(text); }

void CRenderEngine::DrawColor(Gdiplus::Graphics& g, const RECT& rc, DWORD argb) {
    if ((argb >> 24) == 0 || RectEmpty(rc)) return;
    if (TPaintTarget* t = GetPaintTarget(g)) {
        FillDirect(t, rc, argb);
        return;
    }
    Gdiplus::SolidBrush brush{Gdiplus::Color(argb)};
    g.FillRectangle(&brush, static_cast<INT>(rc.left), static_cast<INT>(rc.top), RectWidth(rc), RectHeight(rc));
}

void CRenderEngine::DrawBorder(Gdiplus::Graphics& g, const RECT& rc, int size, DWORD argb, SIZE round) {
    if (size <= 0 || (argb >> 24) == 0 || RectEmpty(rc)) return;
    if (round.cx <= 0 && round.cy <= 0) {
        // Square borders as four filled bands: exact pixels, no antialiasing.
        DrawColor(g, RECT{rc.left, rc.top, rc.right, rc.top + size}, argb);
        DrawColor(g, RECT{rc.left, rc.bottom - size, rc.right, rc.bottom}, argb);
        DrawColor(g, RECT{rc.left, rc.top + size, rc.left + size, rc.bottom - size}, argb);
        DrawColor(g, RECT{rc.right - size, rc.top + size, rc.right, rc.bottom - size}, argb);
        return;
    }
    Gdiplus::GraphicsPath path;
    const float half = size / 2.0f;
    const float l = rc.left + half, t = rc.top + half, r = rc.right - half, b = rc.bottom - half;
    const float cx = static_cast<float>(round.cx), cy = static_cast<float>(round.cy);
    path.AddArc(l, t, cx, cy, 180, 90);
    path.AddArc(r - cx, t, cx, cy, 270, 90);
    path.AddArc(r - cx, b - cy, cx, cy, 0, 90);
    path.AddArc(l, b - cy, cx, cy, 90, 90);
    path.CloseFigure();
    Gdiplus::Pen pen(Gdiplus::Color(argb), static_cast<float>(size));
    Gdiplus::SmoothingMode old = g.GetSmoothingMode();
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.DrawPath(&pen, &path);
    g.SetSmoothingMode(old);
}

void CRenderEngine::DrawImage(Gdiplus::Graphics& g, TImageInfo* image, const RECT& rcDest, const RECT& rcSource,
                              const RECT& rcCorner, BYTE fade, const RECT* rcSourceCorner) {
    if (!image || !image->bitmap || RectEmpty(rcDest) || RectEmpty(rcSource)) return;
    Gdiplus::ImageAttributes attrs;
    Gdiplus::ImageAttributes* pAttrs = nullptr;
    // Clamp at the edges, so scaled parts do not bleed in from outside.
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    pAttrs = &attrs;
    if (fade < 255) {
        Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, fade / 255.0f, 0},
                                   {0, 0, 0, 0, 1}}};
        attrs.SetColorMatrix(&m);
    }
    TPaintTarget* target = GetPaintTarget(g);
    auto piece = [&](const RECT& d, const RECT& s) {
        if (RectEmpty(d) || RectEmpty(s)) return;
        if (target) {
            BlitDirect(target, image, d, s, fade);
            return;
        }
        if (fade == 255 && RectWidth(d) == RectWidth(s) && RectHeight(d) == RectHeight(s)) {
            // Unscaled: a plain copy, the fast path.
            g.DrawImage(image->bitmap.get(), static_cast<INT>(d.left), static_cast<INT>(d.top),
                        static_cast<INT>(s.left), static_cast<INT>(s.top), RectWidth(s), RectHeight(s),
                        Gdiplus::UnitPixel);
            return;
        }
        g.DrawImage(image->bitmap.get(), Gdiplus::Rect(d.left, d.top, RectWidth(d), RectHeight(d)),
                    static_cast<INT>(s.left), static_cast<INT>(s.top), RectWidth(s), RectHeight(s), Gdiplus::UnitPixel,
                    pAttrs);
    };
    const RECT& c = rcCorner;
    if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
        piece(rcDest, rcSource);
        return;
    }
    // Nine-grid: corners unscaled, edges stretched one way, middle both.
    const RECT& d = rcDest;
    const RECT& s = rcSource;
    const RECT& sc = rcSourceCorner ? *rcSourceCorner : rcCorner;
    LONG dx[4] = {d.left, d.left + c.left, d.right - c.right, d.right};
    LONG dy[4] = {d.top, d.top + c.top, d.bottom - c.bottom, d.bottom};
    LONG sx[4] = {s.left, s.left + sc.left, s.right - sc.right, s.right};
    LONG sy[4] = {s.top, s.top + sc.top, s.bottom - sc.bottom, s.bottom};
    for (int yi = 0; yi < 3; ++yi)
        for (int xi = 0; xi < 3; ++xi)
            piece(RECT{dx[xi], dy[yi], dx[xi + 1], dy[yi + 1]}, RECT{sx[xi], sy[yi], sx[xi + 1], sy[yi + 1]});
}

bool CRenderEngine::DrawImageString(Gdiplus::Graphics& g, CPaintManagerUI* pManager, const RECT& rcItem,
                                    const RECT& rcPaint, const std::string& imageString) {
    if (imageString.empty()) return false;
    std::string file;
    RECT rcDest = rcItem;
    RECT rcSource{0, 0, 0, 0};
    RECT rcCorner{0, 0, 0, 0};
    bool haveSource = false;
    int fade = 255;
    for (const auto& kv : SplitImageString(imageString)) {
        if (kv.first == "file") file = kv.second;
        else if (kv.first == "dest") {
            RECT r;
            if (ParseRect(kv.second, r)) {
                if (pManager) r = pManager->Scale(r);
                rcDest = RECT{rcItem.left + r.left, rcItem.top + r.top, rcItem.left + r.right, rcItem.top + r.bottom};
            }
        } else if (kv.first == "source") {
            haveSource = ParseRect(kv.second, rcSource);
        } else if (kv.first == "corner") {
            ParseRect(kv.second, rcCorner);
        } else if (kv.first == "fade") {
            ParseInt(kv.second, fade);
            fade = (std::max)(0, (std::min)(255, fade));
        }
    }
    if (file.empty()) return false;
    int scale = 100;   // of the picture drawn, in percent of the one named
    TImageInfo* img = pManager ? pManager->GetScaledImage(file, &scale) : CImageMgr::GetImage(file);
    if (!img) return false;
    auto inPicture = [scale](const RECT& r) {
        return scale == 100 ? r
                            : RECT{MulDiv(r.left, scale, 100), MulDiv(r.top, scale, 100), MulDiv(r.right, scale, 100),
                                   MulDiv(r.bottom, scale, 100)};
    };
    const RECT rcSourceCorner = inPicture(rcCorner);
    if (pManager) rcCorner = pManager->Scale(rcCorner);
    if (!haveSource) rcSource = RECT{0, 0, img->nX, img->nY};
    else rcSource = inPicture(rcSource);
    rcSource.right = (std::min)(rcSource.right, static_cast<LONG>(img->nX));
    rcSource.bottom = (std::min)(rcSource.bottom, static_cast<LONG>(img->nY));
    if (RectEmpty(RectIntersect(rcDest, rcPaint))) return true;
    DrawImage(g, img, rcDest, rcSource, rcCorner, static_cast<BYTE>(fade), &rcSourceCorner);
    return true;
}

void CRenderEngine::DrawText(Gdiplus::Graphics& g, CPaintManagerUI* pManager, const RECT& rc, const std::string& text,
                             DWORD argb, const std::string& font, UINT style) {
    if (text.empty() || RectEmpty(rc) || (argb >> 24) == 0) return;
    std::wstring w = ToW(text);
    TPaintTarget* t = GetPaintTarget(g);
    HFONT hf = pManager ? pManager->GetHFont(font) : nullptr;
    if (t && hf) {
        RECT clip = RectIntersect(rc, t->clip);
        if (RectEmpty(clip)) return;
        UINT flags = style | DT_NOPREFIX;
        if (!(style & DT_WORDBREAK)) flags |= DT_SINGLELINE;
        else flags &= ~static_cast<UINT>(DT_SINGLELINE | DT_VCENTER | DT_BOTTOM);
        DrawTextDirect(t, rc, clip, w, argb, hf, flags);
        return;
    }
    Gdiplus::Font* f = pManager ? pManager->GetFont(font) : nullptr;
    if (!f) return;
    Gdiplus::StringFormat fmt;
    MakeFormat(fmt, style);
    Gdiplus::SolidBrush brush{Gdiplus::Color(argb)};
    Gdiplus::RectF box(static_cast<float>(rc.left), static_cast<float>(rc.top), static_cast<float>(RectWidth(rc)),
                       static_cast<float>(RectHeight(rc)));
    g.DrawString(w.c_str(), static_cast<INT>(w.size()), f, box, &fmt, &brush);
}

SIZE CRenderEngine::MeasureText(CPaintManagerUI* pManager, const std::string& text, const std::string& font,
                                int maxWidth) {
    SIZE sz{0, 0};
    if (text.empty() || !pManager) return sz;
    std::wstring w = ToW(text);
    if (HFONT hf = pManager->GetHFont(font)) {
        // The GDI twin of the font, as the text is drawn with it on
        // ordinary windows.
        static HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, hf);
        RECT r{0, 0, maxWidth > 0 ? maxWidth : 100000, 0};
        ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                    DT_CALCRECT | DT_NOPREFIX | (maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
        SelectObject(dc, old);
        sz.cx = RectWidth(r) + 2;
        sz.cy = RectHeight(r);
        return sz;
    }
    Gdiplus::Font* f = pManager->GetFont(font);
    if (!f) return sz;
    Gdiplus::StringFormat fmt(Gdiplus::StringFormat::GenericTypographic());
    fmt.SetFormatFlags(fmt.GetFormatFlags() | Gdiplus::StringFormatFlagsMeasureTrailingSpaces |
                       (maxWidth > 0 ? 0 : Gdiplus::StringFormatFlagsNoWrap));
    Gdiplus::RectF layout(0, 0, maxWidth > 0 ? static_cast<float>(maxWidth) : 100000.0f, 100000.0f);
    Gdiplus::RectF box;
    MeasureGraphics().MeasureString(w.c_str(), static_cast<INT>(w.size()), f, layout, &fmt, &box);
    // A few pixels for the side bearings GDI+ adds when drawing.
    sz.cx = static_cast<LONG>(box.Width + 0.999f) + 4;
    sz.cy = static_cast<LONG>(box.Height + 0.999f);
    return sz;
}

}  // namespace DuiLib
