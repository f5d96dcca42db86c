#include "WndVideoShow.h"

#include <cstdio>
#include <cstring>

#include "DialogCommon.h"
#include "IDataCamera.h"
#include "IDataKernal.h"
#include "KernelModules.h"
#include "LangUi.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

using namespace DuiLib;

namespace {

const char kLog[] = "Speed.txt";
const char kModule[] = "CWndVideoShow";
const int kRowBytes = CWndVideoShow::kWidth * 3;
const int kButtonWidth = 150;
const int kButtonHeight = 50;
const char* const kButtonImages[3] = {"btn_VideoWnd_OpenCamera_1.png", "btn_VideoWnd_OpenCamera_2.png",
                                      "btn_VideoWnd_OpenCamera_3.png"};

}  // namespace

const RECT CWndVideoShow::kButtonRect = {165, 255, 315, 305};

CWndVideoShow::CWndVideoShow()
    : m_recordState(ZXV_RECORD_STOPPED),
      m_recordKind(ZXV_RECORD_VIDEO),
      m_recordSeconds(0),
      m_blink(false),
      m_buttonLook(LOOK_NORMAL),
      m_pressed(false),
      m_lastStreamType(VIDEO_STREAM_NONE),
      m_barFontTried(false),
      m_inChain(false) {
    std::memset(&m_previewInfo, 0, sizeof(m_previewInfo));
}

CWndVideoShow::~CWndVideoShow() {
    // Whatever happens to the main window, no frame or notification may
    // reach a destroyed object.
    m_recordLink.reset();
    if (m_inChain) {
        if (auto* kernal = KernelModule<IDataKernal>()) kernal->RemoveVideoDeal(this);
    }
    m_presenter.Release();
    ReleaseBarResources();
}

// --- frames (kernel's frame thread, chain lock held) ---------------------------------

bool CWndVideoShow::OnNotifyFrameSize(const VideoFrameFormat& format) {
    const BITMAPINFOHEADER& h = format.bmiHeader;
    m_scaler.Drop();
    m_composedValid = false;
    m_srcWidth = m_srcHeight = m_srcBitCount = 0;
    if (h.biWidth == kWidth && h.biHeight == kHeight) return true;
    // Any other size is scaled; an unknown bit count leaves no scaler, and
    // such frames are not shown.
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const bool bits = h.biBitCount == 24 || h.biBitCount == 32;
    if (bits && m_scaler.Build(h.biWidth, height, kWidth, kHeight, ZxScaleFilter::Area)) {
        m_srcWidth = h.biWidth;
        m_srcHeight = height;
        m_srcBitCount = h.biBitCount;
        if (h.biBitCount == 32) m_packed.assign(CZxScaler::PictureBytes(m_srcWidth, m_srcHeight), 0);
    } else if (h.biWidth > 0)
        YL_Log(kLog, 2, kModule, "OnNotifyFrameSize: no scaler for %ldx%ld at %d bits", static_cast<long>(h.biWidth),
               static_cast<long>(h.biHeight), h.biBitCount);
    return true;
}

void CWndVideoShow::DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) {
    m_lastStreamType = streamType;
    if (!frame || !format || m_previewBits.empty()) return;
    const BITMAPINFOHEADER& h = format->bmiHeader;
    // The composed picture depends on the frame and on what is drawn over
    // it; when neither changed (the default picture at rest) the picture is
    // kept, and Present alone decides whether to draw it again.
    const ComposeKey key{streamType, m_recordState.load(), m_recordKind.load(), m_recordSeconds.load(),
                         m_blink.load(), m_buttonLook.load()};
    const size_t frameBytes = h.biSizeImage;
    if (m_composedValid && key == m_composedKey && frameBytes == m_lastFrame.size() &&
        std::memcmp(frame, m_lastFrame.data(), frameBytes) == 0) {
        Present();
        return;
    }
    m_composedValid = false;
    if (h.biWidth == kWidth && h.biHeight == kHeight) {
        const DWORD size = h.biSizeImage < static_cast<DWORD>(kImageSize) ? h.biSizeImage : kImageSize;
        std::memcpy(m_previewBits.data(), frame, size);
    } else {
        const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        if (!m_scaler.IsReady() || m_srcWidth != h.biWidth || m_srcHeight != height || m_srcBitCount != h.biBitCount ||
            h.biSizeImage < static_cast<DWORD>(VideoFrameStride(*format)) * static_cast<DWORD>(height))
            return;
        const BYTE* source = frame;
        if (m_srcBitCount == 32) {
            // Blue, green and red of each 4-byte pixel, into padded 24-bit rows.
            const size_t inStride = static_cast<size_t>(VideoFrameStride(*format));
            const size_t outStride = CZxScaler::Stride(m_srcWidth);
            for (int y = 0; y < m_srcHeight; ++y) {
                const BYTE* in = frame + inStride * y;
                BYTE* out = m_packed.data() + outStride * y;
                for (int x = 0; x < m_srcWidth; ++x, in += 4, out += 3) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                }
            }
            source = m_packed.data();
        }
        // Rows are scaled in the order they come, so the picture stays
        // bottom-up like the frame.
        m_scaler.Scale(source, m_previewBits.data());
    }
    if (m_recordState == ZXV_RECORD_RECORDING) DrawRecordBar();
    if (streamType == VIDEO_STREAM_NONE) PaintOpenCameraButton();
    m_lastFrame.assign(frame, frame + frameBytes);
    m_composedKey = key;
    m_composedValid = true;
    Present();
}

void CWndVideoShow::ReleaseBarResources() {
    m_barFont.reset();
    m_barFamily.reset();
    m_barFontTried = false;
}

void CWndVideoShow::DrawRecordBar() {
    // A GDI+ bitmap over the picture's own rows (the last row in memory is
    // the top of the picture, hence the negative stride), so the drawing
    // lands in the picture. Wine's GdipCreateBitmapFromGdiDib draws into a
    // copy of the bits; this form works in place on Windows and Wine alike.
    BYTE* top = m_previewBits.data() + static_cast<size_t>(kHeight - 1) * kRowBytes;
    Gdiplus::Bitmap bitmap(kWidth, kHeight, -kRowBytes, PixelFormat24bppRGB, top);
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return;
    Gdiplus::Graphics g(&bitmap);
    g.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    Gdiplus::SolidBrush band(Gdiplus::Color(0x807D7873));
    g.FillRectangle(&band, 0, 0, kWidth, 25);
    Gdiplus::SolidBrush dot(Gdiplus::Color(m_blink ? 0xFFFF0000 : 0xFF00FF00));
    g.FillEllipse(&dot, 5, 5, 14, 14);

    const int kind = m_recordKind;
    const char* label = kind == ZXV_RECORD_VIDEO   ? "app.bar.video"
                        : kind == ZXV_RECORD_AUDIO ? "app.bar.audio"
                                                   : nullptr;
    if (!label) return;
    const unsigned seconds = m_recordSeconds;
    wchar_t time[32];
    swprintf(time, 32, L"%02d:%02d:%02d", static_cast<int>(seconds / 3600), static_cast<int>(seconds % 3600 / 60),
             static_cast<int>(seconds % 60));
    // Looked up at each frame (the tables are safe to read from this
    // thread), so the bar speaks the current language at once.
    const std::wstring wide = Lang::Format(label, {time});
    if (!m_barFontTried) {
        m_barFontTried = true;
        m_barFamily.reset(new Gdiplus::FontFamily(L"Times New Roman"));
        if (m_barFamily->GetLastStatus() == Gdiplus::Ok)
            m_barFont.reset(new Gdiplus::Font(m_barFamily.get(), 14, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel));
        if (!m_barFont || m_barFont->GetLastStatus() != Gdiplus::Ok) {
            m_barFont.reset();
            YL_Log(kLog, 2, kModule, "the recording bar's font Times New Roman is missing: no text");
        }
    }
    if (!m_barFont) return;
    Gdiplus::SolidBrush white(Gdiplus::Color(0xFFFFFFFF));
    // Wide enough for the longer English text on one line.
    const Gdiplus::RectF layout(25.0f, 5.0f, 300.0f, 25.0f);
    g.DrawString(wide.c_str(), static_cast<INT>(wide.size()), m_barFont.get(), layout, nullptr, &white);
}

void CWndVideoShow::PaintOpenCameraButton() {
    const int look = m_buttonLook;
    const int index = look == LOOK_HOVER ? 1 : look == LOOK_PRESSED ? 2 : 0;
    std::lock_guard<std::mutex> lock(m_buttonLock);
    const std::vector<BYTE>& pixels = m_buttonPixels[index];
    if (pixels.empty()) return;
    // Picture row y (top-down) is buffer row 359 - y, since the picture is
    // bottom-up; the button's alpha was dropped, so it is drawn opaque.
    for (int y = kButtonRect.top; y < kButtonRect.bottom; ++y) {
        const BYTE* from = pixels.data() + static_cast<size_t>(y - kButtonRect.top) * kButtonWidth * 3;
        BYTE* to = m_previewBits.data() + static_cast<size_t>(kHeight - 1 - y) * kRowBytes + kButtonRect.left * 3;
        std::memcpy(to, from, kButtonWidth * 3);
    }
}

void CWndVideoShow::Present() {
    // A picture the same as the one last put on the screen (the default
    // picture at rest) is not drawn again, except once a second and after
    // the window was painted over, so the screen never keeps a stale
    // picture for long; drawing costs far more than the comparison.
    const bool same = m_shownValid && std::memcmp(m_shown.data(), m_previewBits.data(), kImageSize) == 0;
    const bool repaint = m_repaint.exchange(false);
    if (same && !repaint && ++m_unchangedFrames < kRefreshFrames) return;
    m_unchangedFrames = 0;
    // The picture at the window's real size: on a screen above 100 % the
    // view port is larger than the composed picture.
    const int cw = m_clientWidth, ch = m_clientHeight;
    m_outScaled = (cw != kWidth || ch != kHeight) && cw > 0 && ch > 0 && cw <= 4096 && ch <= 4096;
    if (m_outScaled && !m_outScaler.Matches(kWidth, kHeight, cw, ch, ZxScaleFilter::Bilinear)) {
        m_outScaled = m_outScaler.Build(kWidth, kHeight, cw, ch, ZxScaleFilter::Bilinear);
        m_outBits.assign(CZxScaler::PictureBytes(cw, ch), 0);
        VideoFrameFormatInit(m_outInfo, cw, ch);
    }
    if (m_outScaled) m_outScaler.Scale(m_previewBits.data(), m_outBits.data());
    const int pw = m_outScaled ? cw : kWidth, ph = m_outScaled ? ch : kHeight;
    if (pw != m_outWidth || ph != m_outHeight) {
        m_outWidth = pw;
        m_outHeight = ph;
        m_presenter.Create(m_hWnd, pw, ph, 0, 0);
    }
    if (!m_presenter.SetFrame(m_outScaled ? m_outBits.data() : m_previewBits.data(), pw, ph, 24)) return;
    bool shown = m_presenter.Draw();
    if (!shown) {
        m_presenter.RecreateIfDue();
        shown = DrawThroughGdi();
    }
    if (shown) {
        std::memcpy(m_shown.data(), m_previewBits.data(), kImageSize);
        m_shownValid = true;
    } else {
        m_shownValid = false;
    }
}

bool CWndVideoShow::DrawThroughGdi() {
    if (!m_hWnd) return false;
    if (!m_gdiLogged) {
        m_gdiLogged = true;
        YL_Log(kLog, 2, kModule, "DirectDraw cannot show the preview; it is drawn through GDI");
    }
    HWND top = GetAncestor(m_hWnd, GA_ROOT);
    if (top && IsIconic(top)) return true;
    // A window's device context may be used from this (the frame) thread;
    // the picture is bottom-up, as the header says.
    HDC dc = GetDC(m_hWnd);
    if (!dc) return false;
    const int rows = m_outScaled ? SetDIBitsToDevice(dc, 0, 0, m_outWidth, m_outHeight, 0, 0, 0, m_outHeight,
                                                     m_outBits.data(), &m_outInfo, DIB_RGB_COLORS)
                                 : SetDIBitsToDevice(dc, 0, 0, kWidth, kHeight, 0, 0, 0, kHeight,
                                                     m_previewBits.data(), &m_previewInfo, DIB_RGB_COLORS);
    ReleaseDC(m_hWnd, dc);
    return rows > 0;
}

// --- recording observer (UI thread) -------------------------------------------------

void CWndVideoShow::OnRecordState(eZXVRecordState state, eZXVRecordType type) {
    m_recordKind = type;
    m_blink = true;
    if (state == ZXV_RECORD_STOPPED) m_recordSeconds = 0;
    m_recordState = state;
}

void CWndVideoShow::OnProgress(eZXVRecordType) {
    if (auto* records = KernelModule<IDataRecordList>()) {
        const int seconds = records->GetRecordTime();
        m_recordSeconds = seconds > 0 ? static_cast<unsigned>(seconds) : 0u;
    }
    m_blink = !m_blink;
}

// --- window ------------------------------------------------------------------------

bool CWndVideoShow::LoadButtonImages() {
    bool all = true;
    std::lock_guard<std::mutex> lock(m_buttonLock);
    m_composedValid = false;
    for (int i = 0; i < 3; ++i) {
        m_buttonPixels[i].clear();
        // The words are drawn into the pictures: one set per language. The
        // skin names the Chinese set; another is loaded at first use.
        const std::string name = LangUi::Picture(kButtonImages[i]);
        TImageInfo* image = CImageMgr::GetImage(name);
        if (!image && name != kButtonImages[i]) {
            image = CRenderEngine::LoadFullPathImageFile(ZxDlg::SkinFile(name.c_str()));
            if (image) CImageMgr::AddImage(name, image);
        }
        if (!image || image->nX < kButtonWidth || image->nY < kButtonHeight) {
            YL_Log(kLog, 2, kModule, "open-camera picture %s missing or smaller than 150x50", name.c_str());
            all = false;
            continue;
        }
        // The image manager's pixels are BGRA, rows top-down; keep blue,
        // green and red of the top-left 150 x 50.
        m_buttonPixels[i].resize(static_cast<size_t>(kButtonWidth) * kButtonHeight * 3);
        BYTE* to = m_buttonPixels[i].data();
        for (int y = 0; y < kButtonHeight; ++y) {
            const BYTE* from = image->pBits() + static_cast<size_t>(y) * image->nX * 4;
            for (int x = 0; x < kButtonWidth; ++x, from += 4, to += 3) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
    }
    return all;
}

void CWndVideoShow::OnCreate() {
    VideoFrameFormatInit(m_previewInfo, kWidth, kHeight);
    m_previewBits.assign(kImageSize, 0);
    LoadButtonImages();

    if (!m_presenter.Create(m_hWnd, kWidth, kHeight, 0, 0))
        YL_Log(kLog, 2, kModule, "DirectDraw not ready at creation; retried from the frames");

    if (auto* kernal = KernelModule<IDataKernal>()) {
        m_inChain = kernal->AddVideoDeal(this);
        if (!m_inChain) YL_Log(kLog, 2, kModule, "AddVideoDeal refused the preview");
    } else {
        YL_Log(kLog, 2, kModule, "no modKernal: the preview gets no frames");
    }
    m_recordLink.emplace(this);
}

void CWndVideoShow::Uninit() {
    m_recordLink.reset();
    if (m_inChain) {
        if (auto* kernal = KernelModule<IDataKernal>()) kernal->RemoveVideoDeal(this);
        m_inChain = false;
    }
    // No frame arrives any more: the frame thread's objects can go.
    m_presenter.Release();
    Close();
    m_scaler.Drop();
    ReleaseBarResources();
    std::vector<BYTE>().swap(m_previewBits);
}

bool CWndVideoShow::InButton(POINT pt) const {
    const int cw = m_clientWidth, ch = m_clientHeight;
    if (cw > 0 && ch > 0) pt = POINT{MulDiv(pt.x, kWidth, cw), MulDiv(pt.y, kHeight, ch)};
    return RectContains(kButtonRect, pt);
}

LRESULT CWndVideoShow::OnNcHitTest(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT CWndVideoShow::OnLButtonDown(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = FALSE;
    const POINT pt{LParamX(lParam), LParamY(lParam)};
    const bool inside = InButton(pt);
    m_buttonLook = inside ? LOOK_PRESSED : LOOK_NORMAL;
    m_pressed = inside;
    return 0;
}

LRESULT CWndVideoShow::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    bHandled = FALSE;
    const POINT pt{LParamX(lParam), LParamY(lParam)};
    if (!InButton(pt))
        m_buttonLook = LOOK_NORMAL;
    else
        m_buttonLook = ((wParam & MK_LBUTTON) && m_pressed) ? LOOK_PRESSED : LOOK_HOVER;
    return 0;
}

LRESULT CWndVideoShow::OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = FALSE;
    const POINT pt{LParamX(lParam), LParamY(lParam)};
    // A release ends the press whatever happens, so a later release that
    // follows a press somewhere else (outside this window) starts nothing.
    const bool pressed = m_pressed.exchange(false);
    if (!InButton(pt) || m_lastStreamType != VIDEO_STREAM_NONE) {
        m_buttonLook = LOOK_NORMAL;
        return 0;
    }
    m_buttonLook = LOOK_HOVER;
    if (!pressed) return 0;
    auto* camera = KernelModule<IDataCamera>();
    if (!camera || !camera->StartCamera()) {
        YL_Log(kLog, 2, kModule, "StartCamera from the preview button failed");
        ZxDlg::ShowMsgTip(GetParent(m_hWnd), Lang::TextUtf8("app.tip.camera_failed"));
    }
    return 0;
}

void CWndVideoShow::OnLanguageChanged() {
    LoadButtonImages();
    m_repaint = true;
}

LRESULT CWndVideoShow::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    POINT pt;
    if (!GetCursorPos(&pt) || !ScreenToClient(m_hWnd, &pt)) return 0;
    if (InButton(pt) && m_lastStreamType == VIDEO_STREAM_NONE) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        bHandled = TRUE;
        return TRUE;
    }
    return 0;
}

LRESULT CWndVideoShow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    BOOL handled = FALSE;
    LRESULT result = 0;
    switch (uMsg) {
    case WM_CREATE:
        OnCreate();
        break;
    case WM_NCHITTEST:
        result = OnNcHitTest(uMsg, wParam, lParam, handled);
        break;
    case WM_LBUTTONDOWN:
        result = OnLButtonDown(uMsg, wParam, lParam, handled);
        break;
    case WM_LBUTTONUP:
        result = OnLButtonUp(uMsg, wParam, lParam, handled);
        break;
    case WM_MOUSEMOVE:
        result = OnMouseMove(uMsg, wParam, lParam, handled);
        break;
    case WM_SETCURSOR:
        result = OnSetCursor(uMsg, wParam, lParam, handled);
        break;
    case WM_SIZE:
        // The frame thread scales the picture to the new size.
        m_clientWidth = LOWORD(lParam);
        m_clientHeight = HIWORD(lParam);
        m_repaint = true;
        break;
    case WM_PAINT: {
        // The picture is put on the screen by the frame thread: the next
        // frame draws it again, changed or not.
        PAINTSTRUCT ps;
        BeginPaint(m_hWnd, &ps);
        EndPaint(m_hWnd, &ps);
        m_repaint = true;
        handled = TRUE;
        break;
    }
    default:
        break;
    }
    if (handled) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}
