// DuiLib: CPaintManagerUI, the owner of one window's control tree. It turns
// window messages into control events, keeps the hot, pushed, focused and
// captured controls, runs control timers, delivers notifications, holds the
// window's fonts and paints the tree double-buffered into a 32-bit surface.
#pragma once

#include <map>
#include <memory>

#include "UIDefine.h"
#include "UIRender.h"

namespace DuiLib {

struct TFontInfo {
    std::string face;
    int size = 12;   // pixels
    bool bold = false;
    bool underline = false;
    bool italic = false;
    std::unique_ptr<Gdiplus::Font> font;   // at 96 DPI (size pixels)
    HFONT hFont = nullptr;   // GDI twin, for native child windows (edit boxes)
    // The same font for windows of another DPI (size scaled), made on
    // first use.
    struct TScaled {
        std::unique_ptr<Gdiplus::Font> font;
        HFONT hFont = nullptr;
    };
    std::map<int, TScaled> scaled;
    ~TFontInfo();
};

// Painting figures of the last paint (for the benchmark and the tests).
struct TPaintStats {
    unsigned paints = 0;        // WM_PAINT / layered updates handled
    RECT lastRect{0, 0, 0, 0};  // area painted last
    double lastMs = 0;          // time of the last paint in milliseconds
    double totalMs = 0;
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();

    static void SetInstance(HINSTANCE hInst);
    static HINSTANCE GetInstance();
    // Runs the message loop of the thread until WM_QUIT.
    static void MessageLoop();
    // Keyboard pre-processing for skinned windows (Tab between controls);
    // true when the message was consumed.
    static bool TranslateMessage(const MSG* pMsg);

    void Init(HWND hWnd);

    // Screen scale. Skin files and the program's code give every length in
    // 96-DPI units; the window lays out, draws and sizes itself at its own
    // DPI (GetDpiForWindow when Init runs, then each WM_DPICHANGED). Every
    // length is turned into pixels by Scale (MulDiv(v, dpi, 96)), applied to
    // edges measured from a common origin so neighbours always meet.
    int GetDpi() const { return m_dpi; }
    // Lays the window out again at another DPI (fonts, pictures, sizes).
    void SetDpi(int dpi);
    int Scale(int v) const { return m_dpi == 96 ? v : MulDiv(v, m_dpi, 96); }
    SIZE Scale(SIZE s) const { return SIZE{Scale(static_cast<int>(s.cx)), Scale(static_cast<int>(s.cy))}; }
    RECT Scale(const RECT& r) const;
    // Pixels back to 96-DPI units, rounded up (a width measured in pixels
    // that must fit again once scaled).
    int Unscale(int px) const { return m_dpi == 96 ? px : (px * 96 + m_dpi - 1) / m_dpi; }
    // The DPI of a window (of the system when it has none), 96 on systems
    // without per-window DPI.
    static int DpiOfWindow(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    HDC GetPaintDC() const { return m_hDcPaint; }
    POINT GetMousePos() const { return m_ptLastMouse; }

    // Folder that relative picture names of this window are resolved in
    // (ends with a backslash).
    void SetResourcePath(const std::string& path);
    const std::string& GetResourcePath() const { return m_resourcePath; }
    // The skin file the tree was built from (for log lines).
    void SetSkinFile(const std::string& path) { m_skinFile = path; }
    const std::string& GetSkinFile() const { return m_skinFile; }

    // Window geometry from the skin.
    void SetInitSize(int cx, int cy);
    SIZE GetInitSize() const { return m_szInit; }
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    RECT GetCaptionRect() const { return m_rcCaption; }
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT GetSizeBox() const { return m_rcSizeBox; }
    void SetMinInfo(int cx, int cy) { m_szMin = SIZE{cx, cy}; }
    SIZE GetMinInfo() const { return m_szMin; }
    void SetMaxInfo(int cx, int cy) { m_szMax = SIZE{cx, cy}; }
    SIZE GetMaxInfo() const { return m_szMax; }
    // Rounded corners of the window (ellipse width and height): the window
    // region follows every size change; 0 = square.
    void SetRoundCorner(int cx, int cy);
    SIZE GetRoundCorner() const { return m_szRound; }

    // The look of the window: a layered window with per-pixel alpha, its
    // overall opacity, and the system blur behind it where there is one.
    void SetAlphaTranspanrent(int alpha);
    int GetAlphaTranspanrent() const { return m_alpha; }
    void SetLayerAttribute(bool layered);
    bool IsLayered() const { return m_bLayered; }
    void EnableBlur(bool enable);
    bool IsBlurEnabled() const { return m_bBlur; }

    // Control tree.
    bool AttachDialog(CControlUI* pRoot);
    CControlUI* GetRoot() const { return m_pRoot; }
    // Gives the control (and its children) this manager and parent.
    bool InitControls(CControlUI* pControl, CControlUI* pParent = nullptr);
    // Forgets every reference to a control that leaves the tree (hover,
    // capture, focus, timers, pending notifications).
    void ReapObjects(CControlUI* pControl);
    // Deletes the control once the current message is handled.
    void AddDelayedCleanup(CControlUI* pControl);

    CControlUI* FindControl(const std::string& name) const;
    CControlUI* FindControl(POINT pt) const;
    CControlUI* FindSubControlByName(CControlUI* pParent, const std::string& name) const;

    // Painting.
    void Invalidate(const RECT& rc);
    void NeedUpdate() { m_bUpdateNeeded = true; }
    bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
    // Lays out and paints what is pending now.
    void UpdateNow();
    // Lays the tree out now if it is due (positions are then current even
    // before the first paint, e.g. for a click on a window not shown yet).
    void EnsureLayout();
    // Pixel of the back buffer (0xAARRGGBB, premultiplied), 0 outside.
    DWORD GetBackBufferPixel(int x, int y) const;
    SIZE GetBackBufferSize() const { return m_szBack; }
    const TPaintStats& GetPaintStats() const { return m_stats; }
    void ResetPaintStats() { m_stats = TPaintStats(); }
    void SetBkColor(DWORD argb) { m_bkColor = argb; }

    // States.
    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* pControl);
    // Moves the keyboard focus to the next (or previous) control that takes
    // it, in tree order; false when no control takes the focus.
    bool SetNextTabControl(bool bForward = true);
    CControlUI* GetHover() const { return m_pEventHover; }
    CControlUI* GetCapture() const { return m_pEventClick; }
    void SetCapture();
    void ReleaseCapture();
    bool IsCaptured() const { return m_bMouseCapture; }

    // Control timers: ids are the control's own; WM_TIMER becomes
    // UIEVENT_TIMER on the control.
    bool SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse);
    bool KillTimer(CControlUI* pControl, UINT nTimerID);
    void KillTimer(CControlUI* pControl);
    bool HasTimer(CControlUI* pControl, UINT nTimerID) const;

    // Notifiers of the whole window.
    bool AddNotifier(INotifyUI* pNotifier);
    bool RemoveNotifier(INotifyUI* pNotifier);
    // Delivers a notification: first to the notifiers attached to the
    // sender and to each of its parents (CControlUI::AddNotifier), then to
    // the window's notifiers. Asynchronous ones are delivered after the
    // current message.
    void SendNotify(TNotifyUI& msg, bool bAsync = false);
    void SendNotify(CControlUI* pControl, const std::string& type, WPARAM wParam = 0, LPARAM lParam = 0,
                    bool bAsync = false);

    // Fonts by name ("tileItem.Font"); a font added to any window is also
    // found by every other window unless that window has its own of the name.
    void AddFont(const std::string& name, const std::string& face, int size, bool bold = false,
                 bool underline = false, bool italic = false);
    TFontInfo* GetFontInfo(const std::string& name) const;
    Gdiplus::Font* GetFont(const std::string& name) const;
    HFONT GetHFont(const std::string& name) const;
    void SetDefaultFont(const std::string& face, int size);
    static void RemoveAllSharedFonts();

    // Default attribute lists by class name (<Default> in the skin).
    void AddDefaultAttributeList(const std::string& controlClass, const std::string& attributes);
    std::string GetDefaultAttributeList(const std::string& controlClass) const;

    // A picture by name: the image manager's entry, or the file found
    // relative to this window's resource folder, the skin root or as a full
    // path (loaded once into the image manager).
    TImageInfo* GetImage(const std::string& name);
    // The picture drawn for name at this window's scale: of the variants
    // "stem@2x.ext" and "stem@1.5x.ext" beside it, the smallest at least as
    // large as the window's scale (else the largest), else name itself, so
    // pictures are only ever scaled down. pScale receives the variant's
    // scale in percent (100 for name itself).
    TImageInfo* GetScaledImage(const std::string& name, int* pScale);

    // The tool tip window (created on first use) and the text it shows.
    HWND GetToolTipWindow() const { return m_hwndTooltip; }
    std::string GetToolTipText() const { return m_tooltipText; }

    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    static std::vector<CPaintManagerUI*>& Managers();

private:
    void Paint(const RECT& rcPaint, HDC hdcTarget);
    bool EnsureBackBuffer(int cx, int cy);
    void FreeBackBuffer();
    void DispatchMouse(int type, POINT pt, WPARAM wParam, CControlUI* pTarget);
    void ShowToolTip(CControlUI* pControl);
    void HideToolTip();
    void ApplyRoundCorner();
    void ClearRoundCorners(const RECT& rcPaint);
    void FlushAsyncNotify();
    void FlushDelayedCleanup();
    void DeliverNotify(TNotifyUI& msg);
    static bool IsUnder(const CControlUI* pControl, const CControlUI* pAncestor);

    HWND m_hWndPaint = nullptr;
    HDC m_hDcPaint = nullptr;
    int m_dpi = 96;
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventKey = nullptr;
    bool m_bMouseCapture = false;
    bool m_bMouseTracking = false;
    bool m_bUpdateNeeded = false;
    bool m_bFirstLayout = true;
    bool m_bRepaintAll = false;
    POINT m_ptLastMouse{-1, -1};

    std::string m_resourcePath;
    std::string m_skinFile;
    SIZE m_szInit{0, 0};
    SIZE m_szMin{0, 0};
    SIZE m_szMax{0, 0};
    SIZE m_szRound{0, 0};
    bool m_bRegionSet = false;
    RECT m_rcCaption{0, 0, 0, 0};
    RECT m_rcSizeBox{0, 0, 0, 0};
    DWORD m_bkColor = 0xFFFFFFFF;

    int m_alpha = 255;
    bool m_bLayered = false;
    bool m_bBlur = false;
    RECT m_rcLayeredDirty{0, 0, 0, 0};
    bool m_bLayeredPending = false;

    // The back buffer: a top-down 32-bit DIB section and a GDI+ bitmap over
    // its bits.
    HDC m_hDcBack = nullptr;
    HBITMAP m_hBmpBack = nullptr;
    HGDIOBJ m_hOldBmp = nullptr;
    BYTE* m_pBackBits = nullptr;
    SIZE m_szBack{0, 0};
    std::unique_ptr<Gdiplus::Bitmap> m_backBitmap;
    TPaintStats m_stats;

    struct TimerInfo {
        CControlUI* pControl;
        UINT localId;
        UINT_PTR nativeId;
        UINT elapse;
    };
    std::vector<TimerInfo> m_timers;
    UINT_PTR m_nextTimerId = 0x1000;

    std::vector<INotifyUI*> m_notifiers;
    std::vector<TNotifyUI> m_asyncNotify;
    std::vector<CControlUI*> m_delayedCleanup;
    int m_dispatchDepth = 0;

    std::map<std::string, std::shared_ptr<TFontInfo>> m_fonts;
    std::shared_ptr<TFontInfo> m_defaultFont;
    bool m_bDestroying = false;
    std::map<std::string, std::string> m_defaultAttrs;

    HWND m_hwndTooltip = nullptr;
    std::string m_tooltipText;
    CControlUI* m_pTooltipControl = nullptr;
};

}  // namespace DuiLib
