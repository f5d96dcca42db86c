// DuiLib: pictures, the process-wide image manager and the drawing helpers.
#pragma once

#include <map>
#include <memory>

#include "UIDefine.h"

namespace DuiLib {

// A loaded picture: 32-bit premultiplied BGRA pixels, rows top-down
// (stride nX * 4), and a GDI+ bitmap over those same pixels.
struct TImageInfo {
    int nX = 0;
    int nY = 0;
    bool bAlpha = false;            // some pixel is not fully opaque
    std::vector<BYTE> bits;
    std::string sPath;              // full path it was loaded from ("" when made in memory)
    unsigned serial = NextSerial(); // tells pictures apart (scaled copies are kept by it)
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
    BYTE* pBits() { return bits.data(); }
    static unsigned NextSerial();
    const BYTE* pBits() const { return bits.data(); }
};

// Process-wide table of pictures by name; a picture is loaded once and
// shared by every window that names it. Owned by the table.
class CImageMgr {
public:
    static TImageInfo* GetImage(const std::string& name);
    // Stores the picture under the name (replacing and freeing an older one
    // of that name). Takes ownership; a null picture is refused.
    static bool AddImage(const std::string& name, TImageInfo* image);
    // Makes a second name find the picture stored under name.
    static void AddAlias(const std::string& alias, const std::string& name);
    static void RemoveImage(const std::string& name);
    static void RemoveAll();
    static size_t GetCount();
};

// The surface a paint manager is painting into: its back buffer (32-bit
// premultiplied BGRA, top-down), the GDI device context over it, and the
// clip in force. While it is set, drawing aimed at its Graphics goes
// straight into the pixels (fills, pictures, and GDI text on opaque
// windows), which is several times faster than GDI+ under Wine and gives
// the same pixels; everything else goes through GDI+.
struct TPaintTarget {
    Gdiplus::Graphics* g = nullptr;
    DWORD* bits = nullptr;
    int cx = 0;
    int cy = 0;
    HDC hdc = nullptr;
    bool opaque = true;
    RECT clip{0, 0, 0, 0};
};

class CRenderEngine {
public:
    static void SetPaintTarget(TPaintTarget* target);
    static TPaintTarget* GetPaintTarget(Gdiplus::Graphics& g);
    // Narrows the clip to rc (within the current one); returns the clip to
    // give back to RestoreClip.
    static RECT PushClip(Gdiplus::Graphics& g, const RECT& rc);
    static void RestoreClip(Gdiplus::Graphics& g, const RECT& old);

    // Loads a picture file (PNG, JPEG, BMP, GIF: the first frame). Returns a
    // new picture the caller owns, or null with a log line.
    static TImageInfo* LoadFullPathImageFile(const std::string& path);
    static TImageInfo* LoadImageFromMemory(const void* data, size_t size, const std::string& name);
    // A picture from BGRA pixels (straight alpha, rows top-down).
    static TImageInfo* CreateImage(int cx, int cy, const DWORD* argbPixels);

    // The installed GDI+ encoder for a MIME type ("image/jpeg", "image/png",
    // "image/bmp"); false when there is none.
    static bool FindImageEncoder(const wchar_t* mime, CLSID& clsid);

    // "#AARRGGBB", "#RRGGBB", "0xAARRGGBB" or a decimal number.
    static DWORD GetColorValue(const std::string& text);

    static void DrawColor(Gdiplus::Graphics& g, const RECT& rc, DWORD argb);
    static void DrawBorder(Gdiplus::Graphics& g, const RECT& rc, int size, DWORD argb, SIZE round = SIZE{0, 0});
    // Draws one picture description into rcItem:
    //   "name.png" or "file='name.png' dest='l,t,r,b' source='l,t,r,b'
    //    corner='l,t,r,b' fade='0..255' hole='false'"
    // dest is relative to rcItem's top-left; source picks a part of the
    // picture; corner keeps the edges unscaled (nine-grid). Returns false when
    // the picture cannot be found (nothing is drawn). dest and corner are in
    // 96-DPI units of pManager's window; source and corner are in pixels of
    // the picture the skin names: drawn from its @1.5x or @2x variant, they
    // are taken that much larger in it.
    static bool DrawImageString(Gdiplus::Graphics& g, CPaintManagerUI* pManager, const RECT& rcItem,
                                const RECT& rcPaint, const std::string& imageString);
    // rcCorner: the nine-grid edges at the destination; rcSourceCorner
    // those in the picture (the same when null).
    static void DrawImage(Gdiplus::Graphics& g, TImageInfo* image, const RECT& rcDest, const RECT& rcSource,
                          const RECT& rcCorner, BYTE fade, const RECT* rcSourceCorner = nullptr);

    // Text flags for DrawText (the DT_* values of GDI are used).
    static void DrawText(Gdiplus::Graphics& g, CPaintManagerUI* pManager, const RECT& rc, const std::string& text,
                         DWORD argb, const std::string& font, UINT style);
    static SIZE MeasureText(CPaintManagerUI* pManager, const std::string& text, const std::string& font,
                            int maxWidth = 0);
};

}  // namespace DuiLib
