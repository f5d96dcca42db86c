// CPaintManagerUI: window messages to control events, states, timers,
// notifications, fonts and double-buffered painting.
#include "DuiLib/UIManager.h"

#include <commctrl.h>

#include <mutex>
#include <set>

#include "DuiLib/UIBase.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/UISkin.h"
#include "ZxLib/ZxLib.h"

namespace DuiLib {

namespace {

HINSTANCE g_hInstance = nullptr;

const UINT kMsgAsyncNotify = WM_APP + 0x3A0;
const UINT kMsgLayeredPaint = WM_APP + 0x3A1;

std::map<std::string, std::shared_ptr<TFontInfo>>& SharedFonts() {
    static auto* t = new std::map<std::string, std::shared_ptr<TFontInfo>>;
    return *t;
}

CControlUI* CALLBACK FindByName(CControlUI* p, void* data) {
    return p->GetName() == *static_cast<const std::string*>(data) ? p : nullptr;
}
CControlUI* CALLBACK FindByPoint(CControlUI* p, void* data) {
    return RectContains(p->GetPos(), *static_cast<POINT*>(data)) ? p : nullptr;
}
CControlUI* CALLBACK CollectFocusable(CControlUI* p, void* data) {
    if (p->IsFocusable()) static_cast<std::vector<CControlUI*>*>(data)->push_back(p);
    return nullptr;
}

// Builds the GDI+ font and its GDI twin of info at px pixels: the face
// asked for first, then faces that carry Chinese text on Windows and on the
// test machine, then any sans-serif face.
void BuildFont(const TFontInfo& info, int px, std::unique_ptr<Gdiplus::Font>& out, HFONT& hOut) {
    INT style = Gdiplus::FontStyleRegular;
    if (info.bold) style |= Gdiplus::FontStyleBold;
    if (info.italic) style |= Gdiplus::FontStyleItalic;
    if (info.underline) style |= Gdiplus::FontStyleUnderline;
    const char* fallbacks[] = {"Microsoft YaHei", "WenQuanYi Micro Hei", "SimSun", "Tahoma", "Arial"};
    std::vector<std::string> faces{info.face};
    for (const char* f : fallbacks) faces.emplace_back(f);
    for (const auto& f : faces) {
        if (f.empty()) continue;
        Gdiplus::FontFamily family(ToW(f).c_str());
        if (family.GetLastStatus() != Gdiplus::Ok || !family.IsAvailable()) continue;
        std::unique_ptr<Gdiplus::Font> font(
            new Gdiplus::Font(&family, static_cast<float>(px), style, Gdiplus::UnitPixel));
        if (font->GetLastStatus() != Gdiplus::Ok) continue;
        if (f != info.face) {
            static std::set<std::string>* warned = new std::set<std::string>;
            if (warned->insert(info.face).second)
                DuiLog(2, "CPaintManagerUI", "font face '%s' not found, using '%s'", info.face.c_str(), f.c_str());
        }
        out = std::move(font);
        hOut = CreateFontW(-px, 0, 0, 0, info.bold ? FW_BOLD : FW_NORMAL, info.italic, info.underline, FALSE,
                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                           DEFAULT_PITCH, ToW(f).c_str());
        return;
    }
    std::unique_ptr<Gdiplus::Font> font(new Gdiplus::Font(Gdiplus::FontFamily::GenericSansSerif(),
                                                          static_cast<float>(px), style, Gdiplus::UnitPixel));
    if (font->GetLastStatus() == Gdiplus::Ok) out = std::move(font);
    else DuiLog(2, "CPaintManagerUI", "no font at all for '%s' (is GDI+ started?)", info.face.c_str());
    hOut = CreateFontW(-px, 0, 0, 0, info.bold ? FW_BOLD : FW_NORMAL, info.italic, info.underline, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH,
                       nullptr);
}

std::shared_ptr<TFontInfo> MakeFont(const std::string& face, int size, bool bold, bool underline, bool italic) {
    auto info = std::make_shared<TFontInfo>();
    info->face = face;
    info->size = size > 0 ? size : 12;
    info->bold = bold;
    info->underline = underline;
    info->italic = italic;
    BuildFont(*info, info->size, info->font, info->hFont);
    return info;
}

// The font of info for a window of the given DPI.
const TFontInfo::TScaled* FontAt(TFontInfo* info, int dpi) {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    auto it = info->scaled.find(dpi);
    if (it != info->scaled.end()) return &it->second;
    TFontInfo::TScaled& s = info->scaled[dpi];
    BuildFont(*info, MulDiv(info->size, dpi, 96), s.font, s.hFont);
    return &s;
}

}  // namespace

TFontInfo::~TFontInfo() {
    if (hFont) DeleteObject(hFont);
    for (auto& kv : scaled)
        if (kv.second.hFont) DeleteObject(kv.second.hFont);
}

std::vector<CPaintManagerUI*>& CPaintManagerUI::Managers() {
    static auto* v = new std::vector<CPaintManagerUI*>;
    return *v;
}

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
    m_bDestroying = true;
    for (auto& t : m_timers)
        if (m_hWndPaint) ::KillTimer(m_hWndPaint, t.nativeId);
    m_timers.clear();
    m_asyncNotify.clear();
    FlushDelayedCleanup();
    delete m_pRoot;
    m_pRoot = nullptr;
    if (m_hwndTooltip) DestroyWindow(m_hwndTooltip);
    FreeBackBuffer();
    if (m_hDcPaint && m_hWndPaint) ReleaseDC(m_hWndPaint, m_hDcPaint);
    auto& all = Managers();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

void CPaintManagerUI::SetInstance(HINSTANCE hInst) { g_hInstance = hInst; }

HINSTANCE CPaintManagerUI::GetInstance() { return g_hInstance ? g_hInstance : GetModuleHandleW(nullptr); }

void CPaintManagerUI::MessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* pMsg) {
    if (!pMsg) return false;
    // Tab inside a native child (an edit box being edited) moves the focus
    // of the skinned window that holds it.
    if (pMsg->message == WM_KEYDOWN && pMsg->wParam == VK_TAB) {
        HWND parent = GetParent(pMsg->hwnd);
        for (CPaintManagerUI* pm : Managers()) {
            if (pm->m_hWndPaint && pm->m_hWndPaint == parent) {
                pm->SetNextTabControl(GetKeyState(VK_SHIFT) >= 0);
                return true;
            }
        }
    }
    return false;
}

void CPaintManagerUI::Init(HWND hWnd) {
    if (m_hWndPaint == hWnd) return;
    if (m_hDcPaint && m_hWndPaint) ReleaseDC(m_hWndPaint, m_hDcPaint);
    m_hWndPaint = hWnd;
    m_hDcPaint = GetDC(hWnd);
    m_dpi = DpiOfWindow(hWnd);
    m_bRegionSet = false;
    ApplyRoundCorner();
    auto& all = Managers();
    if (std::find(all.begin(), all.end(), this) == all.end()) all.push_back(this);
}

void CPaintManagerUI::SetResourcePath(const std::string& path) {
    m_resourcePath = path;
    if (!m_resourcePath.empty() && m_resourcePath.back() != '\\' && m_resourcePath.back() != '/')
        m_resourcePath += '\\';
}

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_szInit = SIZE{cx, cy};
    if (m_hWndPaint && cx > 0 && cy > 0)
        SetWindowPos(m_hWndPaint, nullptr, 0, 0, Scale(cx), Scale(cy), SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

int CPaintManagerUI::DpiOfWindow(HWND hWnd) {
    // Looked up at run time: Windows before 10 (1607) has no per-window DPI.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = 0;
    if (hWnd && getDpiForWindow) dpi = getDpiForWindow(hWnd);
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi >= 48 && dpi <= 960 ? static_cast<int>(dpi) : 96;
}

void CPaintManagerUI::SetDpi(int dpi) {
    if (dpi < 48 || dpi > 960 || dpi == m_dpi) return;
    m_dpi = dpi;
    // Native edit boxes take the font of the new size when they open next;
    // one open now is closed (its text is kept).
    if (m_pFocus && m_pFocus->GetInterface("Edit")) SetFocus(nullptr);
    ApplyRoundCorner();
    if (m_pRoot) m_pRoot->NeedUpdate();
    m_bUpdateNeeded = true;
    if (m_hWndPaint) Invalidate(RECT{0, 0, 32767, 32767});
}

RECT CPaintManagerUI::Scale(const RECT& r) const {
    return RECT{Scale(static_cast<int>(r.left)), Scale(static_cast<int>(r.top)), Scale(static_cast<int>(r.right)),
                Scale(static_cast<int>(r.bottom))};
}

void CPaintManagerUI::SetRoundCorner(int cx, int cy) {
    m_szRound = SIZE{(std::max)(0, cx), (std::max)(0, cy)};
    ApplyRoundCorner();
}

void CPaintManagerUI::ApplyRoundCorner() {
    if (!m_hWndPaint || (GetWindowLongW(m_hWndPaint, GWL_STYLE) & WS_CHILD)) return;
    // The window's shape: a rounded rectangle of the window's current size,
    // made again at every size change. Maximised, it is square (the corners
    // would show the desktop at the screen's edges).
    if (m_szRound.cx <= 0 || m_szRound.cy <= 0 || IsZoomed(m_hWndPaint)) {
        if (m_bRegionSet) {
            SetWindowRgn(m_hWndPaint, nullptr, TRUE);
            m_bRegionSet = false;
        }
        return;
    }
    RECT rc;
    GetWindowRect(m_hWndPaint, &rc);
    const SIZE round = Scale(m_szRound);
    HRGN rgn = CreateRoundRectRgn(0, 0, RectWidth(rc) + 1, RectHeight(rc) + 1, round.cx, round.cy);
    if (!rgn) return;
    // The system owns the region once it is set.
    if (SetWindowRgn(m_hWndPaint, rgn, TRUE)) m_bRegionSet = true;
    else DeleteObject(rgn);
}

void CPaintManagerUI::ClearRoundCorners(const RECT& rcPaint) {
    // A layered window shows what its pixels say, whatever its region:
    // outside the rounded corners they are made fully transparent.
    if (m_szRound.cx <= 0 || m_szRound.cy <= 0 || !m_pBackBits) return;
    if (m_hWndPaint && IsZoomed(m_hWndPaint)) return;
    const int cx = m_szBack.cx, cy = m_szBack.cy;
    const SIZE round = Scale(m_szRound);
    const double rx = round.cx / 2.0, ry = round.cy / 2.0;
    const int nx = (std::min)(cx / 2, static_cast<int>(rx + 1)), ny = (std::min)(cy / 2, static_cast<int>(ry + 1));
    DWORD* bits = reinterpret_cast<DWORD*>(m_pBackBits);
    GdiFlush();
    for (int dy = 0; dy < ny; ++dy) {
        for (int dx = 0; dx < nx; ++dx) {
            // Distance of the pixel's centre from the corner ellipse's centre.
            const double ex = (rx - (dx + 0.5)) / rx, ey = (ry - (dy + 0.5)) / ry;
            if (dx + 0.5 >= rx || dy + 0.5 >= ry || ex * ex + ey * ey <= 1.0) continue;
            const POINT corners[4] = {{dx, dy}, {cx - 1 - dx, dy}, {dx, cy - 1 - dy}, {cx - 1 - dx, cy - 1 - dy}};
            for (const POINT& p : corners)
                if (RectContains(rcPaint, p)) bits[static_cast<size_t>(p.y) * cx + p.x] = 0;
        }
    }
}

void CPaintManagerUI::SetAlphaTranspanrent(int alpha) {
    m_alpha = (std::max)(0, (std::min)(255, alpha));
    if (m_hWndPaint) Invalidate(RECT{0, 0, 32767, 32767});
}

void CPaintManagerUI::SetLayerAttribute(bool layered) {
    m_bLayered = layered;
    if (!m_hWndPaint) return;
    LONG_PTR ex = GetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE);
    bool child = (GetWindowLongW(m_hWndPaint, GWL_STYLE) & WS_CHILD) != 0;
    if (layered && child) {
        // Child windows have no per-pixel alpha before Windows 8 and none
        // under Wine: stay an ordinary window.
        m_bLayered = false;
        DuiLog(2, "CPaintManagerUI", "a child window cannot be layered; painting it plainly");
        return;
    }
    if (layered) ex |= WS_EX_LAYERED;
    else ex &= ~static_cast<LONG_PTR>(WS_EX_LAYERED);
    SetWindowLongPtrW(m_hWndPaint, GWL_EXSTYLE, ex);
    Invalidate(RECT{0, 0, 32767, 32767});
}

void CPaintManagerUI::EnableBlur(bool enable) {
    m_bBlur = enable;
    if (!m_hWndPaint) return;
    // The blur behind the window comes from the desktop composition, where
    // the system has it; loaded at run time so the program starts without.
    struct BlurBehind {
        DWORD dwFlags;
        BOOL fEnable;
        HRGN hRgnBlur;
        BOOL fTransitionOnMaximized;
    };
    typedef HRESULT(WINAPI * PFN)(HWND, const BlurBehind*);
    HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    PFN fn = dwm ? reinterpret_cast<PFN>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmEnableBlurBehindWindow")))
                 : nullptr;
    HRESULT hr = E_NOTIMPL;
    if (fn) {
        BlurBehind bb{1 /* DWM_BB_ENABLE */, enable ? TRUE : FALSE, nullptr, FALSE};
        hr = fn(m_hWndPaint, &bb);
    }
    if (FAILED(hr)) {
        static bool logged = false;
        if (!logged) {
            logged = true;
            DuiLog(0, "CPaintManagerUI", "no blur behind windows on this system (0x%08lx); windows are drawn without",
                   static_cast<unsigned long>(hr));
        }
    }
}

bool CPaintManagerUI::AttachDialog(CControlUI* pRoot) {
    if (!pRoot) return false;
    if (m_pRoot && m_pRoot != pRoot) {
        CControlUI* old = m_pRoot;
        m_pRoot = nullptr;
        ReapObjects(old);
        AddDelayedCleanup(old);
    }
    m_pRoot = pRoot;
    m_pFocus = m_pEventHover = m_pEventClick = m_pEventKey = nullptr;
    InitControls(pRoot, nullptr);
    m_bUpdateNeeded = true;
    m_bFirstLayout = true;
    Invalidate(RECT{0, 0, 32767, 32767});
    return true;
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent) {
    if (!pControl) return false;
    pControl->SetManager(this, pParent ? pParent : pControl->GetParent(), true);
    return true;
}

bool CPaintManagerUI::IsUnder(const CControlUI* p, const CControlUI* ancestor) {
    for (; p; p = p->GetParent())
        if (p == ancestor) return true;
    return false;
}

void CPaintManagerUI::ReapObjects(CControlUI* pControl) {
    if (!pControl) return;
    if (IsUnder(m_pEventHover, pControl)) m_pEventHover = nullptr;
    if (IsUnder(m_pEventClick, pControl)) {
        m_pEventClick = nullptr;
        if (m_bMouseCapture) ReleaseCapture();
    }
    if (IsUnder(m_pEventKey, pControl)) m_pEventKey = nullptr;
    if (IsUnder(m_pFocus, pControl)) m_pFocus = nullptr;
    if (IsUnder(m_pTooltipControl, pControl)) {
        HideToolTip();
        m_pTooltipControl = nullptr;
    }
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (IsUnder(it->pControl, pControl)) {
            if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->nativeId);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_asyncNotify.begin(); it != m_asyncNotify.end();) {
        if (IsUnder(it->pSender, pControl)) it = m_asyncNotify.erase(it);
        else ++it;
    }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl) {
    if (!pControl) return;
    if (m_dispatchDepth == 0 && !m_bDestroying) {
        delete pControl;
        return;
    }
    m_delayedCleanup.push_back(pControl);
}

void CPaintManagerUI::FlushDelayedCleanup() {
    while (!m_delayedCleanup.empty()) {
        std::vector<CControlUI*> list;
        list.swap(m_delayedCleanup);
        for (CControlUI* p : list) delete p;
    }
}

CControlUI* CPaintManagerUI::FindControl(const std::string& name) const {
    if (!m_pRoot || name.empty()) return nullptr;
    return m_pRoot->FindControl(FindByName, const_cast<std::string*>(&name), 0);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* pParent, const std::string& name) const {
    if (!pParent || name.empty()) return nullptr;
    return pParent->FindControl(FindByName, const_cast<std::string*>(&name), 0);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    if (!m_pRoot) return nullptr;
    const_cast<CPaintManagerUI*>(this)->EnsureLayout();
    return m_pRoot->FindControl(FindByPoint, &pt, UIFIND_VISIBLE | UIFIND_HITTEST);
}

void CPaintManagerUI::Invalidate(const RECT& rcIn) {
    if (!m_hWndPaint) return;
    RECT client;
    GetClientRect(m_hWndPaint, &client);
    RECT rc = RectIntersect(rcIn, client);
    if (RectEmpty(rc)) return;
    if (m_bLayered) {
        m_rcLayeredDirty = RectUnion(m_rcLayeredDirty, rc);
        if (!m_bLayeredPending) {
            m_bLayeredPending = true;
            ::PostMessageW(m_hWndPaint, kMsgLayeredPaint, 0, 0);
        }
        return;
    }
    InvalidateRect(m_hWndPaint, &rc, FALSE);
}

void CPaintManagerUI::EnsureLayout() {
    if (!m_bUpdateNeeded || !m_pRoot || !m_hWndPaint) return;
    RECT client;
    GetClientRect(m_hWndPaint, &client);
    if (RectEmpty(client)) return;
    m_bUpdateNeeded = false;
    m_pRoot->SetPos(client);
    // Everything may have moved: the whole window is painted anew.
    m_bRepaintAll = true;
    Invalidate(client);
}

void CPaintManagerUI::UpdateNow() {
    if (!m_hWndPaint) return;
    if (m_bLayered) {
        if (m_bLayeredPending || m_bUpdateNeeded) {
            RECT client;
            GetClientRect(m_hWndPaint, &client);
            RECT rc = (m_bUpdateNeeded || m_bRepaintAll) ? client : m_rcLayeredDirty;
            m_rcLayeredDirty = RECT{0, 0, 0, 0};
            m_bLayeredPending = false;
            Paint(rc, nullptr);
        }
        return;
    }
    if (m_bUpdateNeeded) {
        RECT client;
        GetClientRect(m_hWndPaint, &client);
        InvalidateRect(m_hWndPaint, &client, FALSE);
    }
    UpdateWindow(m_hWndPaint);
}

DWORD CPaintManagerUI::GetBackBufferPixel(int x, int y) const {
    if (!m_pBackBits || x < 0 || y < 0 || x >= m_szBack.cx || y >= m_szBack.cy) return 0;
    GdiFlush();
    return reinterpret_cast<const DWORD*>(m_pBackBits)[static_cast<size_t>(y) * m_szBack.cx + x];
}

bool CPaintManagerUI::EnsureBackBuffer(int cx, int cy) {
    if (cx <= 0 || cy <= 0) return false;
    if (m_pBackBits && m_szBack.cx == cx && m_szBack.cy == cy) return true;
    FreeBackBuffer();
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_hBmpBack = CreateDIBSection(m_hDcPaint, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!m_hBmpBack || !bits) {
        DuiLog(2, "CPaintManagerUI", "cannot make a %dx%d back buffer", cx, cy);
        FreeBackBuffer();
        return false;
    }
    m_hDcBack = CreateCompatibleDC(m_hDcPaint);
    m_hOldBmp = SelectObject(m_hDcBack, m_hBmpBack);
    m_pBackBits = static_cast<BYTE*>(bits);
    m_szBack = SIZE{cx, cy};
    m_backBitmap.reset(new Gdiplus::Bitmap(cx, cy, cx * 4, PixelFormat32bppPARGB, m_pBackBits));
    return true;
}

void CPaintManagerUI::FreeBackBuffer() {
    m_backBitmap.reset();
    if (m_hDcBack) {
        SelectObject(m_hDcBack, m_hOldBmp);
        DeleteDC(m_hDcBack);
    }
    if (m_hBmpBack) DeleteObject(m_hBmpBack);
    m_hDcBack = nullptr;
    m_hBmpBack = nullptr;
    m_hOldBmp = nullptr;
    m_pBackBits = nullptr;
    m_szBack = SIZE{0, 0};
}

void CPaintManagerUI::Paint(const RECT& rcPaintIn, HDC hdcTarget) {
    RECT client;
    GetClientRect(m_hWndPaint, &client);
    if (RectEmpty(client) || !m_pRoot) return;
    const double t0 = Clock::NowMs();
    bool fresh = !m_pBackBits || m_szBack.cx != RectWidth(client) || m_szBack.cy != RectHeight(client);
    if (!EnsureBackBuffer(RectWidth(client), RectHeight(client))) return;
    EnsureLayout();
    if (m_bRepaintAll) {
        m_bRepaintAll = false;
        fresh = true;
    }
    // A new back buffer or a new layout holds nothing of the old picture.
    RECT rcPaint = fresh ? client : RectIntersect(rcPaintIn, client);
    if (RectEmpty(rcPaint)) return;
    {
        GdiFlush();
        Gdiplus::Graphics g(m_backBitmap.get());
        g.SetClip(Gdiplus::Rect(rcPaint.left, rcPaint.top, RectWidth(rcPaint), RectHeight(rcPaint)));
        TPaintTarget target;
        target.g = &g;
        target.bits = reinterpret_cast<DWORD*>(m_pBackBits);
        target.cx = m_szBack.cx;
        target.cy = m_szBack.cy;
        target.hdc = m_hDcBack;
        target.opaque = !m_bLayered;
        target.clip = rcPaint;
        CRenderEngine::SetPaintTarget(&target);
        const DWORD clear = m_bLayered ? 0 : (m_bkColor | 0xFF000000);
        for (LONG y = rcPaint.top; y < rcPaint.bottom; ++y) {
            DWORD* row = target.bits + static_cast<size_t>(y) * target.cx;
            std::fill(row + rcPaint.left, row + rcPaint.right, clear);
        }
        g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        g.SetInterpolationMode(Gdiplus::InterpolationModeBilinear);
        g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
        m_pRoot->DoPaint(g, rcPaint);
        g.Flush(Gdiplus::FlushIntentionSync);
        CRenderEngine::SetPaintTarget(nullptr);
    }
    if (m_bLayered) ClearRoundCorners(rcPaint);
    if (m_bLayered) {
        RECT rcWnd;
        GetWindowRect(m_hWndPaint, &rcWnd);
        POINT ptSrc{0, 0};
        SIZE sz{m_szBack.cx, m_szBack.cy};
        BLENDFUNCTION bf{AC_SRC_OVER, 0, static_cast<BYTE>(m_alpha), AC_SRC_ALPHA};
        if (!UpdateLayeredWindow(m_hWndPaint, nullptr, nullptr, &sz, m_hDcBack, &ptSrc, 0, &bf, ULW_ALPHA)) {
            DuiLog(2, "CPaintManagerUI", "UpdateLayeredWindow failed (error %lu); painting plainly",
                   GetLastError());
            SetLayerAttribute(false);
        }
    } else if (hdcTarget) {
        BitBlt(hdcTarget, rcPaint.left, rcPaint.top, RectWidth(rcPaint), RectHeight(rcPaint), m_hDcBack,
               rcPaint.left, rcPaint.top, SRCCOPY);
    }
    const double ms = Clock::NowMs() - t0;
    m_stats.paints++;
    m_stats.lastRect = rcPaint;
    m_stats.lastMs = ms;
    m_stats.totalMs += ms;
}

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl == m_pFocus) return;
    if (pControl && pControl->GetManager() != this) return;
    CControlUI* old = m_pFocus;
    m_pFocus = pControl;
    if (old) {
        TEventUI ev;
        ev.Type = UIEVENT_KILLFOCUS;
        ev.pSender = pControl;
        ev.dwTimestamp = GetTickCount();
        old->Event(ev);
    }
    if (pControl && m_pFocus == pControl) {
        if (m_hWndPaint && ::GetFocus() != m_hWndPaint && !IsChild(m_hWndPaint, ::GetFocus())) ::SetFocus(m_hWndPaint);
        TEventUI ev;
        ev.Type = UIEVENT_SETFOCUS;
        ev.pSender = old;
        ev.dwTimestamp = GetTickCount();
        pControl->Event(ev);
    }
}

bool CPaintManagerUI::SetNextTabControl(bool bForward) {
    if (!m_pRoot) return false;
    std::vector<CControlUI*> list;
    m_pRoot->FindControl(CollectFocusable, &list, UIFIND_VISIBLE | UIFIND_ENABLED);
    if (list.empty()) return false;
    auto it = std::find(list.begin(), list.end(), m_pFocus);
    size_t next;
    if (it == list.end()) next = bForward ? 0 : list.size() - 1;
    else {
        size_t i = static_cast<size_t>(it - list.begin());
        next = bForward ? (i + 1) % list.size() : (i + list.size() - 1) % list.size();
    }
    SetFocus(list[next]);
    return true;
}

void CPaintManagerUI::SetCapture() {
    if (!m_hWndPaint) return;
    ::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture() {
    // Cleared first: the WM_CAPTURECHANGED that follows is then ours.
    m_bMouseCapture = false;
    if (::GetCapture() == m_hWndPaint) ::ReleaseCapture();
}

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse) {
    if (!pControl || !m_hWndPaint) return false;
    for (auto& t : m_timers) {
        if (t.pControl == pControl && t.localId == nTimerID) {
            t.elapse = uElapse;
            return ::SetTimer(m_hWndPaint, t.nativeId, uElapse, nullptr) != 0;
        }
    }
    TimerInfo t{pControl, nTimerID, m_nextTimerId++, uElapse};
    if (!::SetTimer(m_hWndPaint, t.nativeId, uElapse, nullptr)) return false;
    m_timers.push_back(t);
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID) {
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (it->pControl == pControl && it->localId == nTimerID) {
            if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->nativeId);
            m_timers.erase(it);
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl) {
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->pControl == pControl) {
            if (m_hWndPaint) ::KillTimer(m_hWndPaint, it->nativeId);
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
}

bool CPaintManagerUI::HasTimer(CControlUI* pControl, UINT nTimerID) const {
    for (const auto& t : m_timers)
        if (t.pControl == pControl && t.localId == nTimerID) return true;
    return false;
}

bool CPaintManagerUI::AddNotifier(INotifyUI* p) {
    if (!p || std::find(m_notifiers.begin(), m_notifiers.end(), p) != m_notifiers.end()) return false;
    m_notifiers.push_back(p);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* p) {
    auto it = std::find(m_notifiers.begin(), m_notifiers.end(), p);
    if (it == m_notifiers.end()) return false;
    m_notifiers.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* pControl, const std::string& type, WPARAM wParam, LPARAM lParam,
                                 bool bAsync) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = pControl;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool bAsync) {
    if (msg.dwTimestamp == 0) msg.dwTimestamp = GetTickCount();
    if (msg.ptMouse.x == 0 && msg.ptMouse.y == 0) msg.ptMouse = m_ptLastMouse;
    if (bAsync && m_hWndPaint) {
        m_asyncNotify.push_back(msg);
        ::PostMessageW(m_hWndPaint, kMsgAsyncNotify, 0, 0);
        return;
    }
    DeliverNotify(msg);
}

void CPaintManagerUI::DeliverNotify(TNotifyUI& msg) {
    // Controls removed while the notifiers run are deleted only after the
    // delivery, so the sender and its parents stay valid throughout.
    ++m_dispatchDepth;
    struct Target {
        CControlUI* owner;
        INotifyUI* notifier;
    };
    std::vector<Target> targets;
    for (CControlUI* c = msg.pSender; c; c = c->GetParent())
        for (INotifyUI* n : c->GetNotifiers()) targets.push_back(Target{c, n});
    for (const Target& t : targets) {
        const auto& still = t.owner->GetNotifiers();
        if (std::find(still.begin(), still.end(), t.notifier) == still.end()) continue;
        t.notifier->Notify(msg);
    }
    std::vector<INotifyUI*> list = m_notifiers;
    for (INotifyUI* n : list) {
        if (std::find(m_notifiers.begin(), m_notifiers.end(), n) == m_notifiers.end()) continue;
        n->Notify(msg);
    }
    --m_dispatchDepth;
    if (m_dispatchDepth == 0) FlushDelayedCleanup();
}

void CPaintManagerUI::FlushAsyncNotify() {
    while (!m_asyncNotify.empty()) {
        TNotifyUI msg = m_asyncNotify.front();
        m_asyncNotify.erase(m_asyncNotify.begin());
        DeliverNotify(msg);
    }
}

void CPaintManagerUI::AddFont(const std::string& name, const std::string& face, int size, bool bold, bool underline,
                              bool italic) {
    auto info = MakeFont(face, size, bold, underline, italic);
    if (!name.empty()) {
        m_fonts[name] = info;
        auto& shared = SharedFonts();
        if (shared.find(name) == shared.end()) shared[name] = info;
    }
}

void CPaintManagerUI::SetDefaultFont(const std::string& face, int size) { m_defaultFont = MakeFont(face, size, false, false, false); }

void CPaintManagerUI::RemoveAllSharedFonts() { SharedFonts().clear(); }

TFontInfo* CPaintManagerUI::GetFontInfo(const std::string& name) const {
    if (!name.empty()) {
        auto it = m_fonts.find(name);
        if (it != m_fonts.end()) return it->second.get();
        auto& shared = SharedFonts();
        auto sit = shared.find(name);
        if (sit != shared.end()) return sit->second.get();
        static std::set<std::string>* warned = new std::set<std::string>;
        if (warned->insert(name).second) DuiLog(2, "CPaintManagerUI", "unknown font name '%s'; using the default", name.c_str());
    }
    if (!m_defaultFont) {
        auto& shared = SharedFonts();
        auto sit = shared.find("default");
        const_cast<CPaintManagerUI*>(this)->m_defaultFont =
            sit != shared.end() ? sit->second : MakeFont("Microsoft YaHei", 12, false, false, false);
    }
    return m_defaultFont.get();
}

Gdiplus::Font* CPaintManagerUI::GetFont(const std::string& name) const {
    TFontInfo* f = GetFontInfo(name);
    if (!f) return nullptr;
    return m_dpi == 96 ? f->font.get() : FontAt(f, m_dpi)->font.get();
}

HFONT CPaintManagerUI::GetHFont(const std::string& name) const {
    TFontInfo* f = GetFontInfo(name);
    if (!f) return nullptr;
    return m_dpi == 96 ? f->hFont : FontAt(f, m_dpi)->hFont;
}

void CPaintManagerUI::AddDefaultAttributeList(const std::string& cls, const std::string& attributes) {
    m_defaultAttrs[cls] = attributes;
}

std::string CPaintManagerUI::GetDefaultAttributeList(const std::string& cls) const {
    auto it = m_defaultAttrs.find(cls);
    return it == m_defaultAttrs.end() ? std::string() : it->second;
}

TImageInfo* CPaintManagerUI::GetImage(const std::string& name) {
    if (name.empty()) return nullptr;
    if (TImageInfo* img = CImageMgr::GetImage(name)) return img;
    bool absolute = name.size() > 2 && (name[1] == ':' || (name[0] == '\\' && name[1] == '\\'));
    std::vector<std::string> candidates;
    if (absolute) candidates.push_back(name);
    else {
        if (!m_resourcePath.empty()) candidates.push_back(m_resourcePath + name);
        std::string root = CSkinMgr::GetSkinRootPath();
        if (!root.empty()) candidates.push_back(root + name);
    }
    for (const auto& full : candidates) {
        if (TImageInfo* img = CImageMgr::GetImage(full)) {
            CImageMgr::AddAlias(name, full);
            return img;
        }
        if (GetFileAttributesW(ToW(full).c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        TImageInfo* img = CRenderEngine::LoadFullPathImageFile(full);
        if (!img) break;
        CImageMgr::AddImage(full, img);
        if (!CImageMgr::GetImage(name)) CImageMgr::AddAlias(name, full);
        return img;
    }
    static std::set<std::string>* missing = new std::set<std::string>;
    if (missing->insert(name).second)
        DuiLog(2, "CPaintManagerUI", "picture '%s' not found (skin %s)", name.c_str(), m_skinFile.c_str());
    return nullptr;
}

TImageInfo* CPaintManagerUI::GetScaledImage(const std::string& name, int* pScale) {
    if (pScale) *pScale = 100;
    const size_t dot = name.find_last_of('.');
    const size_t slash = name.find_last_of("\\/");
    if (m_dpi <= 96 || dot == std::string::npos || (slash != std::string::npos && dot < slash)) return GetImage(name);
    const int want = MulDiv(100, m_dpi, 96);
    // Variants at least as large as the window's scale first, the smallest
    // of them first; then the larger of the smaller ones.
    int order[2] = {150, 200};
    if (want > 150) std::swap(order[0], order[1]);
    static std::mutex lock;
    static std::set<std::string>* absent = new std::set<std::string>;
    for (int sc : order) {
        const std::string variant = name.substr(0, dot) + (sc == 150 ? "@1.5x" : "@2x") + name.substr(dot);
        const std::string key = m_resourcePath + "|" + variant;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (absent->count(key)) continue;
        }
        TImageInfo* img = CImageMgr::GetImage(variant);
        if (!img) {
            // Look for the file quietly: most pictures have no variants.
            bool found = false;
            const bool absolute =
                variant.size() > 2 && (variant[1] == ':' || (variant[0] == '\\' && variant[1] == '\\'));
            std::vector<std::string> candidates;
            if (absolute) candidates.push_back(variant);
            else {
                if (!m_resourcePath.empty()) candidates.push_back(m_resourcePath + variant);
                const std::string root = CSkinMgr::GetSkinRootPath();
                if (!root.empty()) candidates.push_back(root + variant);
            }
            for (const auto& full : candidates)
                if (GetFileAttributesW(ToW(full).c_str()) != INVALID_FILE_ATTRIBUTES) found = true;
            if (found) img = GetImage(variant);
            if (!img) {
                std::lock_guard<std::mutex> guard(lock);
                absent->insert(key);
                continue;
            }
        }
        if (pScale) *pScale = sc;
        return img;
    }
    return GetImage(name);
}

void CPaintManagerUI::ShowToolTip(CControlUI* pControl) {
    if (!pControl || !m_hWndPaint) return;
    std::string text = pControl->GetToolTip();
    if (text.empty()) return;
    if (!m_hwndTooltip) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
        InitCommonControlsEx(&icc);
        m_hwndTooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hWndPaint,
                                        nullptr, GetInstance(), nullptr);
        if (!m_hwndTooltip) return;
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.uFlags = TTF_TRACK | TTF_ABSOLUTE;
        ti.hwnd = m_hWndPaint;
        ti.uId = 1;
        ti.lpszText = const_cast<wchar_t*>(L"");
        ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, 400);
    }
    std::wstring w = ToW(text);
    TOOLINFOW ti{};
    ti.cbSize = TTTOOLINFOW_V1_SIZE;
    ti.hwnd = m_hWndPaint;
    ti.uId = 1;
    ti.lpszText = const_cast<wchar_t*>(w.c_str());
    ::SendMessageW(m_hwndTooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    POINT pt = m_ptLastMouse;
    ClientToScreen(m_hWndPaint, &pt);
    ::SendMessageW(m_hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(pt.x + 12, pt.y + 20));
    ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&ti));
    m_tooltipText = text;
    m_pTooltipControl = pControl;
}

void CPaintManagerUI::HideToolTip() {
    if (m_hwndTooltip && !m_tooltipText.empty()) {
        TOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V1_SIZE;
        ti.hwnd = m_hWndPaint;
        ti.uId = 1;
        ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&ti));
    }
    m_tooltipText.clear();
    m_pTooltipControl = nullptr;
}

void CPaintManagerUI::DispatchMouse(int type, POINT pt, WPARAM wParam, CControlUI* pTarget) {
    if (!pTarget) return;
    TEventUI ev;
    ev.Type = type;
    ev.pSender = pTarget;
    ev.ptMouse = pt;
    ev.wParam = wParam;
    ev.wKeyState = static_cast<WORD>(type == UIEVENT_SCROLLWHEEL ? GET_KEYSTATE_WPARAM(wParam) : wParam);
    ev.dwTimestamp = GetTickCount();
    pTarget->Event(ev);
}

bool CPaintManagerUI::PreMessageHandler(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (!m_hWndPaint) return false;
    struct Depth {
        CPaintManagerUI* pm;
        explicit Depth(CPaintManagerUI* p) : pm(p) { ++pm->m_dispatchDepth; }
        ~Depth() {
            if (--pm->m_dispatchDepth == 0) pm->FlushDelayedCleanup();
        }
    } depth(this);
    const POINT pt{LParamX(lParam), LParamY(lParam)};
    switch (uMsg) {
    case kMsgAsyncNotify:
        FlushAsyncNotify();
        lRes = 0;
        return true;
    case kMsgLayeredPaint:
        UpdateNow();
        lRes = 0;
        return true;
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_PAINT: {
        if (m_bLayered) {
            ValidateRect(m_hWndPaint, nullptr);
            UpdateNow();
            lRes = 0;
            return true;
        }
        RECT rcUpdate;
        if (!GetUpdateRect(m_hWndPaint, &rcUpdate, FALSE) && !m_bUpdateNeeded) {
            lRes = 0;
            return true;
        }
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(m_hWndPaint, &ps);
        Paint(ps.rcPaint, hdc);
        EndPaint(m_hWndPaint, &ps);
        lRes = 0;
        return true;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(m_hWndPaint, &client);
        Paint(client, reinterpret_cast<HDC>(wParam));
        lRes = 0;
        return true;
    }
    case WM_DPICHANGED: {
        // Moved to a monitor of another scale, or the scale changed: lay out
        // at the new DPI and take the rectangle the system suggests.
        SetDpi(LOWORD(wParam));
        if (const RECT* rc = reinterpret_cast<const RECT*>(lParam))
            SetWindowPos(m_hWndPaint, nullptr, rc->left, rc->top, RectWidth(*rc), RectHeight(*rc),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        lRes = 0;
        return true;
    }
    case WM_DPICHANGED_AFTERPARENT:
        // A child window follows the DPI its top-level window took.
        SetDpi(DpiOfWindow(m_hWndPaint));
        return false;
    case WM_SIZE:
        ApplyRoundCorner();
        if (m_pRoot) {
            m_bUpdateNeeded = true;
            Invalidate(RECT{0, 0, 32767, 32767});
        }
        return false;
    case WM_MOVE:
        // An edit box being edited over a layered window is a window of its
        // own on the screen: it moves with this one.
        if (m_pFocus && m_pFocus->GetInterface("Edit")) m_pFocus->SetPos(m_pFocus->GetPos());
        return false;
    case WM_SHOWWINDOW:
        // Hidden, the window's editing ends (the text is kept).
        if (!wParam && m_pFocus && m_pFocus->GetInterface("Edit")) SetFocus(nullptr);
        return false;
    case WM_TIMER:
        for (const auto& t : m_timers) {
            if (t.nativeId == wParam) {
                TEventUI ev;
                ev.Type = UIEVENT_TIMER;
                ev.pSender = t.pControl;
                ev.wParam = t.localId;
                ev.dwTimestamp = GetTickCount();
                ev.ptMouse = m_ptLastMouse;
                t.pControl->Event(ev);
                lRes = 0;
                return true;
            }
        }
        return false;
    case WM_MOUSEMOVE: {
        if (!m_bMouseTracking) {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_HOVER, m_hWndPaint, 400};
            TrackMouseEvent(&tme);
            m_bMouseTracking = true;
        }
        m_ptLastMouse = pt;
        CControlUI* ctl = FindControl(pt);
        if (ctl != m_pEventHover) {
            HideToolTip();
            CControlUI* old = m_pEventHover;
            m_pEventHover = ctl;
            if (old) DispatchMouse(UIEVENT_MOUSELEAVE, pt, wParam, old);
            if (ctl && m_pEventHover == ctl) {
                DispatchMouse(UIEVENT_MOUSEENTER, pt, wParam, ctl);
                // Hovering anew starts the tool tip delay again.
                TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE | TME_HOVER, m_hWndPaint, 400};
                TrackMouseEvent(&tme);
            }
        }
        if (m_pEventClick) DispatchMouse(UIEVENT_MOUSEMOVE, pt, wParam, m_pEventClick);
        else if (m_pEventHover) DispatchMouse(UIEVENT_MOUSEMOVE, pt, wParam, m_pEventHover);
        lRes = 0;
        return true;
    }
    case WM_MOUSELEAVE: {
        m_bMouseTracking = false;
        HideToolTip();
        if (m_pEventHover && !m_pEventClick) {
            CControlUI* old = m_pEventHover;
            m_pEventHover = nullptr;
            DispatchMouse(UIEVENT_MOUSELEAVE, m_ptLastMouse, 0, old);
        }
        return false;
    }
    case WM_MOUSEHOVER:
        m_bMouseTracking = false;
        if (m_pEventHover) {
            ShowToolTip(m_pEventHover);
            DispatchMouse(UIEVENT_MOUSEHOVER, pt, wParam, m_pEventHover);
        }
        // Keep watching for the mouse leaving the window.
        {
            TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, m_hWndPaint, 0};
            TrackMouseEvent(&tme);
            m_bMouseTracking = true;
        }
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        HideToolTip();
        if (::GetFocus() != m_hWndPaint) ::SetFocus(m_hWndPaint);
        m_ptLastMouse = pt;
        CControlUI* ctl = FindControl(pt);
        if (!ctl || ctl->GetManager() != this) return false;
        if (m_pEventHover != ctl) {
            CControlUI* old = m_pEventHover;
            m_pEventHover = ctl;
            if (old) DispatchMouse(UIEVENT_MOUSELEAVE, pt, wParam, old);
            if (m_pEventHover == ctl) DispatchMouse(UIEVENT_MOUSEENTER, pt, wParam, ctl);
            if (m_pEventHover != ctl) return true;
        }
        m_pEventClick = ctl;
        SetCapture();
        if (ctl->IsEnabled()) SetFocus(ctl->IsFocusable() ? ctl : nullptr);
        if (m_pEventClick == ctl)
            DispatchMouse(uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, pt, wParam, ctl);
        lRes = 0;
        return true;
    }
    case WM_LBUTTONUP: {
        m_ptLastMouse = pt;
        CControlUI* ctl = m_pEventClick;
        m_pEventClick = nullptr;
        ReleaseCapture();
        if (!ctl) return false;
        DispatchMouse(UIEVENT_BUTTONUP, pt, wParam, ctl);
        lRes = 0;
        return true;
    }
    case WM_RBUTTONDOWN: {
        HideToolTip();
        if (::GetFocus() != m_hWndPaint) ::SetFocus(m_hWndPaint);
        m_ptLastMouse = pt;
        CControlUI* ctl = FindControl(pt);
        if (!ctl || ctl->GetManager() != this) return false;
        if (ctl->IsEnabled()) SetFocus(ctl->IsFocusable() ? ctl : nullptr);
        DispatchMouse(UIEVENT_RBUTTONDOWN, pt, wParam, ctl);
        lRes = 0;
        return true;
    }
    case WM_RBUTTONUP: {
        m_ptLastMouse = pt;
        CControlUI* ctl = FindControl(pt);
        if (!ctl || ctl->GetManager() != this) return false;
        DispatchMouse(UIEVENT_RBUTTONUP, pt, wParam, ctl);
        // The context menu comes from the button release at once, not from
        // the WM_CONTEXTMENU the default handling would send.
        ctl = FindControl(pt);
        if (ctl) DispatchMouse(UIEVENT_CONTEXTMENU, pt, wParam, ctl);
        lRes = 0;
        return true;
    }
    case WM_CONTEXTMENU: {
        // From the keyboard (menu key, Shift+F10): the focused control.
        if (lParam == -1 && m_pFocus) {
            const RECT& rc = m_pFocus->GetPos();
            POINT c{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
            DispatchMouse(UIEVENT_CONTEXTMENU, c, 0, m_pFocus);
        }
        lRes = 0;
        return true;
    }
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL: {
        POINT p = pt;
        ScreenToClient(m_hWndPaint, &p);
        m_ptLastMouse = p;
        CControlUI* ctl = FindControl(p);
        if (!ctl) ctl = m_pFocus;
        if (!ctl || ctl->GetManager() != this) return false;
        WPARAM wp = wParam;
        if (uMsg == WM_MOUSEHWHEEL) {
            // A tilt of the wheel reads as Shift+wheel: to the right (a
            // positive tilt) is Shift+wheel towards the user.
            const int delta = -GET_WHEEL_DELTA_WPARAM(wParam);
            wp = MAKEWPARAM(GET_KEYSTATE_WPARAM(wParam) | MK_SHIFT, static_cast<WORD>(static_cast<short>(delta)));
        }
        DispatchMouse(UIEVENT_SCROLLWHEEL, p, wp, ctl);
        lRes = 0;
        return true;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        if (uMsg == WM_KEYDOWN && wParam == VK_TAB) {
            SetNextTabControl(GetKeyState(VK_SHIFT) >= 0);
            lRes = 0;
            return true;
        }
        if (!m_pFocus) return false;
        TEventUI ev;
        ev.Type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : uMsg == WM_KEYUP ? UIEVENT_KEYUP : UIEVENT_CHAR;
        ev.pSender = m_pFocus;
        ev.chKey = static_cast<wchar_t>(wParam);
        ev.wParam = wParam;
        ev.lParam = lParam;
        ev.ptMouse = m_ptLastMouse;
        ev.dwTimestamp = GetTickCount();
        m_pFocus->Event(ev);
        m_pEventKey = m_pFocus;
        lRes = 0;
        return true;
    }
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        if (m_pEventHover && m_pEventHover->IsEnabled() && m_pEventHover->IsSetCursor()) {
            ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
            lRes = TRUE;
            return true;
        }
        if (m_pEventHover) {
            TEventUI ev;
            ev.Type = UIEVENT_SETCURSOR;
            ev.pSender = m_pEventHover;
            ev.ptMouse = m_ptLastMouse;
            ev.lParam = 0;
            m_pEventHover->Event(ev);
            if (ev.lParam) {
                lRes = TRUE;
                return true;
            }
        }
        return false;
    }
    case WM_CAPTURECHANGED:
        if (m_bMouseCapture && reinterpret_cast<HWND>(lParam) != m_hWndPaint) {
            // Capture taken away (another window, a system dialog): the
            // pressed control is released without a click.
            m_bMouseCapture = false;
            if (CControlUI* ctl = m_pEventClick) {
                m_pEventClick = nullptr;
                DispatchMouse(UIEVENT_BUTTONUP, POINT{-30000, -30000}, 0, ctl);
            }
        }
        return false;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        HWND child = reinterpret_cast<HWND>(lParam);
        if (!child || !CWindowWnd::FromHandle(child)) return false;
        lRes = ::SendMessageW(child, UIMSG_REFLECT + uMsg, wParam, lParam);
        return true;
    }
    case WM_DESTROY:
        HideToolTip();
        for (auto& t : m_timers) ::KillTimer(m_hWndPaint, t.nativeId);
        m_timers.clear();
        return false;
    default:
        break;
    }
    return false;
}

}  // namespace DuiLib
