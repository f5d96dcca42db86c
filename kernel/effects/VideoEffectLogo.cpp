#include "VideoEffectLogo.h"

#include "IDataKernal.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"

namespace {
const char kLog[] = "ZxVVideoEffect.txt";
const char kModule[] = "CVideoEffectLogo";
}  // namespace

CVideoEffectLogo::CVideoEffectLogo()
    : m_pImageLogo(nullptr), m_bLoadFailed(false), m_x(0), m_y(0), m_width(0), m_height(0), m_pAttributes(nullptr) {
    SetLogoAlpha(1.0f);
}

CVideoEffectLogo::~CVideoEffectLogo() {
    delete m_pImageLogo;
    delete m_pAttributes;
}

std::string CVideoEffectLogo::GetLogoPath() { return Dir::GetZxPath(Dir::kPathResource) + "Logo.png"; }

void CVideoEffectLogo::SetLogoAlpha(float alpha) {
    if (!m_pAttributes) m_pAttributes = new Gdiplus::ImageAttributes();
    Gdiplus::ColorMatrix matrix = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, alpha, 0}, {0, 0, 0, 0, 1}}};
    m_pAttributes->SetColorMatrix(&matrix, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeDefault);
}

bool CVideoEffectLogo::OnNotifyFrameSize(const VideoFrameFormat& format) {
    YL_Log(kLog, 0, kModule, "OnNotifyFrameSize::width=%d;height=%d;bitcount=%d",
           static_cast<int>(format.bmiHeader.biWidth), static_cast<int>(format.bmiHeader.biHeight),
           static_cast<int>(format.bmiHeader.biBitCount));
    if (!m_pImageLogo) {
        std::string path = GetLogoPath();
        // A failed image stays in place, so a missing logo is not looked for
        // again on every format change.
        m_pImageLogo = new Gdiplus::Image(Charset::String2WString(path).c_str());
        m_bLoadFailed = m_pImageLogo->GetLastStatus() != Gdiplus::Ok;
    }
    if (m_bLoadFailed) {
        YL_Log(kLog, 2, kModule, "OnNotifyFrameSize::加载logo图片(%s)失败", GetLogoPath().c_str());
        return false;
    }
    m_width = static_cast<float>(m_pImageLogo->GetWidth());
    m_height = static_cast<float>(m_pImageLogo->GetHeight());
    m_x = 5;
    m_y = static_cast<float>(format.bmiHeader.biHeight) - m_height - 5;
    if (!m_overlayReady) m_overlayReady = PrepareOverlay();
    return true;
}

bool CVideoEffectLogo::PrepareOverlay() {
    const int width = static_cast<int>(m_width), height = static_cast<int>(m_height);
    if (width <= 0 || height <= 0) return false;
    Gdiplus::Bitmap canvas(width, height, PixelFormat32bppPARGB);
    if (canvas.GetLastStatus() != Gdiplus::Ok) return false;
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        const Gdiplus::RectF dest(0, 0, m_width, m_height);
        if (graphics.DrawImage(m_pImageLogo, dest, 0, 0, m_width, m_height, Gdiplus::UnitPixel, m_pAttributes) !=
            Gdiplus::Ok)
            return false;
    }
    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok) return false;
    m_overlay.Collect(static_cast<const BYTE*>(data.Scan0), data.Stride, width, height);
    canvas.UnlockBits(&data);
    return true;
}

void CVideoEffectLogo::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    DrawLogo(frame, format);
}

void CVideoEffectLogo::DrawLogo(BYTE* frame, const VideoFrameFormat* format) {
    if (!m_pImageLogo) {
        YL_Log(kLog, 2, kModule, "DrawLogo时m_pImageLogo==NULL");
        return;
    }
    if (!frame || !format || m_bLoadFailed) return;
    const int width = format->bmiHeader.biWidth, height = format->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || format->bmiHeader.biBitCount != 24) return;
    if (m_overlayReady) {
        m_overlay.BlendInto(frame, width, height, VideoFrameStride(*format), static_cast<int>(m_x),
                            static_cast<int>(m_y));
        return;
    }
    // No prepared logo (GDI+ could not draw it into a bitmap of its own):
    // drawn straight over the frame.
    Gdiplus::Bitmap* bitmap = NewFrameBitmap(frame, *format);
    if (!bitmap) return;
    {
        Gdiplus::Graphics graphics(bitmap);
        Gdiplus::RectF dest(m_x, m_y, m_width, m_height);
        graphics.DrawImage(m_pImageLogo, dest, 0, 0, m_width, m_height, Gdiplus::UnitPixel, m_pAttributes);
    }
    delete bitmap;
}

bool CVideoEffectLogo::EnableLogo(bool enable) {
    IDataKernal* kernel = static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL));
    if (!kernel) return false;
    if (enable) return kernel->AddVideoDeal(this);
    kernel->RemoveVideoDeal(this);
    return true;
}
