#include "VideoEffectText.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "AutoLock.h"
#include "IDataKernal.h"
#include "ZxLib/ZxLib.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"
#include "ZxMusicCore/ZxMusicCore.h"

namespace {

const char kLog[] = "ZxVVideoEffect.txt";
const char kModule[] = "CVideoEffectText";
const char kSection[] = "VEText";

// A text picture of up to this many pixels is rendered whole, once per
// change of the text or the font. Of a larger one (a long caption in a large
// font) only a window of columns is held, that many pixels or the visible
// part plus kWindowSlack on each side, and rendered again when the visible
// part leaves it. Rendering is what costs (Wine's GDI+ rasterises every glyph
// of a string however much of it is clipped away), so it is done as seldom
// as memory allows.
const int kMaxCoveragePixels = 4 << 20;
const int kWindowSlack = 1024;


// v / 255, rounded to nearest, for v in 0 to 255 * 255.
inline unsigned Div255(unsigned v) { return ((v + 128) * 257) >> 16; }

// A COLORREF (0x00BBGGRR, the high byte ignored) with an alpha as GDI+ colour.
Gdiplus::Color ToColor(BYTE alpha, COLORREF color) {
    return Gdiplus::Color(alpha, GetRValue(color), GetGValue(color), GetBValue(color));
}

IDataKernal* Kernel() { return static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL)); }

}  // namespace

CVideoEffectText::CVideoEffectText()
    : m_bInit(false),
      m_bEnable(false),
      m_text(L"维莫虚拟摄像头"),
      m_fontName(L"宋体"),
      m_fontSize(20),
      m_bBold(false),
      m_bUnderLine(false),
      m_bItalic(false),
      m_textColor(0xFFFFFFFF),
      m_bkColor(0xFF000000),
      m_moveDirection(VIDEOEFFECTTEXT_RIGHT_TO_LEFT),
      m_moveSpeed(100),
      m_textPos(0),
      m_bkAlpha(127),
      m_lastStepTime(0),
      m_pStringFormat(nullptr),
      m_pTextBrush(nullptr),
      m_pBkBrush(nullptr),
      m_pFont(nullptr),
      m_textWidth(0),
      m_textHeight(0),
      m_bandTop(0),
      m_textX(0),
      m_bPlaceOnJoin(false),
      m_bCoverageValid(false),
      m_bCoverageFailed(false),
      m_pictureWidth(0),
      m_pictureHeight(0),
      m_textMargin(0),
      m_coverageX0(0),
      m_coverageWidth(0) {
    // The lock lives as long as the object (not only from Init to UnInit),
    // so an operation reaching a module that never started, or has stopped,
    // still finds a valid lock.
    InitializeCriticalSection(&m_lock);
    ZeroMemory(&m_format, sizeof(m_format));
    UpdateBandTable();
}

CVideoEffectText::~CVideoEffectText() {
    UnInit();
    DeleteCriticalSection(&m_lock);
}

bool CVideoEffectText::Init() {
    if (m_bInit) return true;
    bool join = false;
    {
        CAutoLock lock(m_lock);
        LoadSettings();
        m_pStringFormat = new Gdiplus::StringFormat(0, 0);
        m_pTextBrush = new Gdiplus::SolidBrush(ToColor(255, m_textColor));
        m_pBkBrush = new Gdiplus::SolidBrush(ToColor(m_bkAlpha, m_bkColor));
        RebuildFont();
        UpdateBandTable();
        m_bInit = true;
        join = m_bEnable;
        if (join) {
            m_lastStepTime = GetNow();
            UpdateLayout();
            m_textX = StartX(m_moveDirection);
        }
    }
    AfxGetDataManager()->AddData(ZX_MOD_VIDEOEFFECTTEXT, this);
    if (join) JoinChain();
    return true;
}

void CVideoEffectText::UnInit() {
    StopTextSaver();
    if (!m_bInit) return;
    // Whatever the enabled state says, make sure the chain no longer holds
    // this effect before its drawing objects go (removing a stranger is a
    // no-op for the chain).
    if (IDataKernal* kernel = Kernel()) kernel->RemoveVideoDeal(this);
    if (AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTTEXT) == this)
        AfxGetDataManager()->RemoveData(ZX_MOD_VIDEOEFFECTTEXT);
    CAutoLock lock(m_lock);
    delete m_pStringFormat;
    m_pStringFormat = nullptr;
    delete m_pBkBrush;
    m_pBkBrush = nullptr;
    delete m_pTextBrush;
    m_pTextBrush = nullptr;
    delete m_pFont;
    m_pFont = nullptr;
    m_drawnFamily.clear();
    InvalidateCoverage();
    m_bInit = false;
}

void CVideoEffectText::LoadSettings() {
    IConfigManager* config = AfxGetConfigManager();
    std::string text;
    config->GetBool(kSection, "Enable", m_bEnable);
    if (config->GetString(kSection, "Text", text)) m_text = Charset::String2WString(text);
    if (config->GetString(kSection, "Font", text)) m_fontName = Charset::String2WString(text);
    int size = 0;
    if (config->GetInt(kSection, "FontSize", size)) {
        if (size >= 1 && size <= 255)
            m_fontSize = static_cast<uint8_t>(size);
        else
            YL_Log(kLog, 2, kModule, "LoadSettings::FontSize=%d无效，使用默认值%d", size, m_fontSize);
    }
    config->GetBool(kSection, "Bold", m_bBold);
    config->GetBool(kSection, "UnderLine", m_bUnderLine);
    config->GetBool(kSection, "Italic", m_bItalic);
    uint32_t value = 0;
    if (config->GetUInt(kSection, "TextColor", value)) m_textColor = value;
    if (config->GetUInt(kSection, "BkColor", value)) m_bkColor = value;
    if (config->GetUInt(kSection, "MoveDirection", value)) {
        if (value <= VIDEOEFFECTTEXT_LEFT_TO_RIGHT)
            m_moveDirection = static_cast<int>(value);
        else
            YL_Log(kLog, 2, kModule, "LoadSettings::MoveDirection=%u无效，使用默认值%d", value, m_moveDirection);
    }
    if (config->GetUInt(kSection, "MoveSpeed", value)) {
        if (value <= 255)
            m_moveSpeed = static_cast<uint8_t>(value);
        else
            YL_Log(kLog, 2, kModule, "LoadSettings::MoveSpeed=%u无效，使用默认值%d", value, m_moveSpeed);
    }
    if (config->GetUInt(kSection, "TextPos", value)) {
        if (value <= 100)
            m_textPos = static_cast<int>(value);
        else
            YL_Log(kLog, 2, kModule, "LoadSettings::TextPos=%u无效，使用默认值%d", value, m_textPos);
    }
    if (config->GetUInt(kSection, "BkAlpha", value)) {
        if (value <= 255)
            m_bkAlpha = static_cast<uint8_t>(value);
        else
            YL_Log(kLog, 2, kModule, "LoadSettings::BkAlpha=%u无效，使用默认值%d", value, m_bkAlpha);
    }
}

void CVideoEffectText::RebuildFont() {
    int style = Gdiplus::FontStyleRegular;
    if (m_bBold) style |= Gdiplus::FontStyleBold;
    if (m_bItalic) style |= Gdiplus::FontStyleItalic;
    if (m_bUnderLine) style |= Gdiplus::FontStyleUnderline;
    const Gdiplus::REAL size = static_cast<Gdiplus::REAL>(m_fontSize);

    // A family no installed font has, or one that cannot give this style,
    // falls back to the generic sans-serif family.
    Gdiplus::Font* font = nullptr;
    Gdiplus::FontFamily family(m_fontName.c_str());
    if (family.GetLastStatus() == Gdiplus::Ok) {
        font = new Gdiplus::Font(&family, size, style, Gdiplus::UnitPixel);
        if (font->GetLastStatus() != Gdiplus::Ok) {
            delete font;
            font = nullptr;
        }
    }
    if (!font) {
        YL_Log(kLog, 2, kModule, "RebuildFont::字体(%s)不可用，改用无衬线字体",
               Charset::WString2String(m_fontName).c_str());
        const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
        if (generic && generic->GetLastStatus() == Gdiplus::Ok) {
            font = new Gdiplus::Font(generic, size, style, Gdiplus::UnitPixel);
            if (font->GetLastStatus() != Gdiplus::Ok) {
                delete font;
                font = nullptr;
            }
        }
        if (!font)
            YL_Log(kLog, 2, kModule, "RebuildFont::创建字体失败(size=%d;style=%d)，不显示字幕",
                   static_cast<int>(m_fontSize), style);
    }
    m_drawnFamily.clear();
    if (font) {
        Gdiplus::FontFamily drawn;
        WCHAR name[LF_FACESIZE] = {0};
        if (font->GetFamily(&drawn) == Gdiplus::Ok && drawn.GetFamilyName(name) == Gdiplus::Ok) m_drawnFamily = name;
    }
    delete m_pFont;
    m_pFont = font;
    InvalidateCoverage();
}

void CVideoEffectText::UpdateLayout() {
    const int width = m_format.bmiHeader.biWidth;
    const int height = m_format.bmiHeader.biHeight;
    m_textWidth = 0;
    m_textHeight = 0;
    if (width > 0 && height > 0 && m_pFont) {
        Gdiplus::Bitmap scratch(width, height, PixelFormat24bppRGB);
        if (scratch.GetLastStatus() == Gdiplus::Ok) {
            Gdiplus::Graphics graphics(&scratch);
            Gdiplus::RectF box;
            if (graphics.MeasureString(m_text.c_str(), -1, m_pFont, Gdiplus::PointF(0, 0), &box) == Gdiplus::Ok) {
                m_textWidth = box.Width;
                m_textHeight = std::ceil(box.Height);
            }
        }
    }
    m_bandTop = static_cast<int>((1.0f - static_cast<float>(m_textPos) / 100.0f) *
                                 (static_cast<float>(height) - m_textHeight));

    // Room around the measured box for what glyphs draw outside it (the
    // slant of italics, overhanging strokes).
    const int margin = static_cast<int>(m_textHeight) / 2 + 2;
    const int pictureWidth = static_cast<int>(std::ceil(m_textWidth)) + 2 * margin;
    const int pictureHeight = static_cast<int>(m_textHeight) + 2 * margin;
    if (pictureWidth != m_pictureWidth || pictureHeight != m_pictureHeight) InvalidateCoverage();
    m_textMargin = margin;
    m_pictureWidth = pictureWidth;
    m_pictureHeight = pictureHeight;
}

void CVideoEffectText::UpdateLayoutAndCoverage() {
    UpdateLayout();
    PrepareVisibleCoverage();
}

void CVideoEffectText::PrepareVisibleCoverage() {
    // Rendered here, on the caller's thread, rather than on the next frame.
    if (!m_bCoverageValid) PrepareCoverage(-TextLeft(), m_format.bmiHeader.biWidth - TextLeft());
}

void CVideoEffectText::InvalidateCoverage() {
    m_bCoverageValid = false;
    m_bCoverageFailed = false;
    m_coverageX0 = 0;
    m_coverageWidth = 0;
    m_coverage.clear();
    m_rowFirst.clear();
    m_rowLast.clear();
}

int CVideoEffectText::TextLeft() const { return static_cast<int>(std::floor(m_textX + 0.5f)) - m_textMargin; }

bool CVideoEffectText::PrepareCoverage(int visibleFrom, int visibleTo) {
    if (m_bCoverageFailed || m_textWidth <= 0 || m_textHeight <= 0) return false;
    const bool whole = static_cast<long long>(m_pictureWidth) * m_pictureHeight <= kMaxCoveragePixels;
    if (!m_bCoverageValid) {
        m_bCoverageValid = true;
        if (whole) return RenderCoverage(0, m_pictureWidth);
    }
    if (whole) return m_coverageWidth > 0;
    visibleFrom = std::max(visibleFrom, 0);
    visibleTo = std::min(visibleTo, m_pictureWidth);
    if (visibleFrom >= visibleTo) return false;
    if (m_coverageWidth > 0 && visibleFrom >= m_coverageX0 && visibleTo <= m_coverageX0 + m_coverageWidth)
        return true;
    // The window is centred on the visible part.
    const int span = visibleTo - visibleFrom;
    const int window = std::max(span + 2 * kWindowSlack, kMaxCoveragePixels / std::max(m_pictureHeight, 1));
    const int to = std::min(m_pictureWidth, std::max(visibleFrom - (window - span) / 2, 0) + window);
    const int from = std::max(0, to - window);
    return RenderCoverage(from, to - from);
}

bool CVideoEffectText::RenderCoverage(int x0, int width) {
    m_coverageX0 = x0;
    m_coverageWidth = 0;
    m_coverage.clear();
    m_rowFirst.clear();
    m_rowLast.clear();
    if (!m_pFont || !m_pStringFormat || width <= 0) return false;
    const int height = m_pictureHeight;
    Gdiplus::Bitmap picture(width, height, PixelFormat32bppARGB);
    if (picture.GetLastStatus() != Gdiplus::Ok) {
        YL_Log(kLog, 2, kModule, "RenderCoverage::创建%dx%d位图失败，不显示字幕", width, height);
        m_bCoverageFailed = true;
        return false;
    }
    {
        // White on a clear picture: the alpha of each pixel is the text's
        // coverage there, blended with the text colour on every frame.
        // Grey-scale anti-aliasing is asked for explicitly: ClearType, which
        // the system default may choose, needs an opaque background.
        Gdiplus::SolidBrush white(Gdiplus::Color(255, 255, 255, 255));
        Gdiplus::Graphics graphics(&picture);
        graphics.Clear(Gdiplus::Color(0, 0, 0, 0));
        graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
        graphics.DrawString(m_text.c_str(), -1, m_pFont,
                            Gdiplus::PointF(static_cast<Gdiplus::REAL>(m_textMargin - x0),
                                            static_cast<Gdiplus::REAL>(m_textMargin)),
                            m_pStringFormat, &white);
    }
    Gdiplus::Rect rect(0, 0, width, height);
    Gdiplus::BitmapData data;
    if (picture.LockBits(&rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
        YL_Log(kLog, 2, kModule, "RenderCoverage::LockBits失败，不显示字幕");
        m_bCoverageFailed = true;
        return false;
    }
    std::vector<BYTE> coverage(static_cast<size_t>(width) * height, 0);
    std::vector<int> rowFirst(height, width), rowLast(height, -1);
    for (int y = 0; y < height; ++y) {
        const BYTE* src = static_cast<const BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(data.Stride) * y;
        BYTE* dst = &coverage[static_cast<size_t>(y) * width];
        for (int x = 0; x < width; ++x) {
            const BYTE alpha = src[4 * x + 3];
            if (!alpha) continue;
            dst[x] = alpha;
            if (rowFirst[y] > x) rowFirst[y] = x;
            rowLast[y] = x;
        }
    }
    picture.UnlockBits(&data);
    m_coverage.swap(coverage);
    m_rowFirst.swap(rowFirst);
    m_rowLast.swap(rowLast);
    m_coverageWidth = width;
    return true;
}

void CVideoEffectText::UpdateBandTable() {
    const unsigned alpha = m_bkAlpha;
    const unsigned channel[3] = {GetBValue(m_bkColor), GetGValue(m_bkColor), GetRValue(m_bkColor)};
    for (int c = 0; c < 3; ++c)
        for (unsigned v = 0; v < 256; ++v)
            m_bandTable[c][v] = static_cast<BYTE>(Div255(channel[c] * alpha + v * (255 - alpha)));
}

float CVideoEffectText::StartX(int direction) const {
    switch (direction) {
    case VIDEOEFFECTTEXT_RIGHT_TO_LEFT:
        return static_cast<float>(m_format.bmiHeader.biWidth);
    case VIDEOEFFECTTEXT_STILL:
        return 0;
    case VIDEOEFFECTTEXT_LEFT_TO_RIGHT:
        return -m_textWidth;
    default:
        return m_textX;
    }
}

void CVideoEffectText::ScrollStep() {
    if (m_moveDirection == VIDEOEFFECTTEXT_STILL) return;
    if (m_moveSpeed == 0)
        m_moveSpeed = 1;
    else if (m_moveSpeed > 100)
        m_moveSpeed = 100;
    const DWORD now = GetNow();
    if (now - m_lastStepTime < static_cast<DWORD>(505 - 5 * m_moveSpeed)) return;
    m_lastStepTime = now;
    const float width = static_cast<float>(m_format.bmiHeader.biWidth);
    if (m_moveDirection == VIDEOEFFECTTEXT_RIGHT_TO_LEFT) {
        m_textX -= 2;
        if (m_textX + m_textWidth < 0) m_textX = width;
    } else if (m_moveDirection == VIDEOEFFECTTEXT_LEFT_TO_RIGHT) {
        m_textX += 2;
        if (m_textX > width) m_textX = -m_textWidth;
    }
}

void CVideoEffectText::BlendBand(BYTE* frame, int width, int height, int stride) {
    const int bottom = std::min(m_bandTop + static_cast<int>(m_textHeight), height);
    for (int y = std::max(m_bandTop, 0); y < bottom; ++y) {
        BYTE* p = frame + static_cast<ptrdiff_t>(stride) * (height - 1 - y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = m_bandTable[0][p[0]];
            p[1] = m_bandTable[1][p[1]];
            p[2] = m_bandTable[2][p[2]];
        }
    }
}

void CVideoEffectText::BlendText(BYTE* frame, int width, int height, int stride) {
    const int left = TextLeft();
    if (!PrepareCoverage(-left, width - left)) return;
    const int base = left + m_coverageX0;  // the frame column of held column 0
    const int top = m_bandTop - m_textMargin;
    const unsigned color[3] = {GetBValue(m_textColor), GetGValue(m_textColor), GetRValue(m_textColor)};
    const int rows = static_cast<int>(m_rowFirst.size());
    for (int row = 0; row < rows; ++row) {
        const int y = top + row;
        if (y < 0 || y >= height) continue;
        const int first = std::max(m_rowFirst[row], -base);
        const int last = std::min(m_rowLast[row], width - 1 - base);
        if (first > last) continue;
        const BYTE* coverage = &m_coverage[static_cast<size_t>(row) * m_coverageWidth];
        BYTE* line = frame + static_cast<ptrdiff_t>(stride) * (height - 1 - y);
        for (int col = first; col <= last; ++col) {
            const unsigned alpha = coverage[col];
            if (!alpha) continue;
            BYTE* p = line + 3 * static_cast<ptrdiff_t>(base + col);
            const unsigned rest = 255 - alpha;
            p[0] = static_cast<BYTE>(Div255(color[0] * alpha + p[0] * rest));
            p[1] = static_cast<BYTE>(Div255(color[1] * alpha + p[1] * rest));
            p[2] = static_cast<BYTE>(Div255(color[2] * alpha + p[2] * rest));
        }
    }
}

bool CVideoEffectText::OnNotifyFrameSize(const VideoFrameFormat& format) {
    CAutoLock lock(m_lock);
    m_format = format;
    UpdateLayout();
    if (m_bPlaceOnJoin) {
        m_bPlaceOnJoin = false;
        m_lastStepTime = GetNow();
        m_textX = StartX(m_moveDirection);
    }
    PrepareVisibleCoverage();
    return true;
}

void CVideoEffectText::DealVideo(BYTE* frame, const VideoFrameFormat* format, int /*streamType*/) {
    if (!frame || !format) return;
    CAutoLock lock(m_lock);
    ScrollStep();
    const int width = format->bmiHeader.biWidth;
    const int height = format->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || format->bmiHeader.biBitCount != 24) return;
    const int stride = VideoFrameStride(*format);
    BlendBand(frame, width, height, stride);
    BlendText(frame, width, height, stride);
}

bool CVideoEffectText::JoinChain() {
    IDataKernal* kernel = Kernel();
    if (!kernel) {
        YL_Log(kLog, 2, kModule, "JoinChain::modKernal不存在，字幕无法加入");
        return false;
    }
    if (!kernel->AddVideoDeal(this)) {
        YL_Log(kLog, 2, kModule, "JoinChain::AddVideoDeal失败");
        return false;
    }
    return true;
}

void CVideoEffectText::SetEnable(bool enable) {
    {
        CAutoLock lock(m_lock);
        if (enable == m_bEnable) return;
        m_bEnable = enable;
        m_bPlaceOnJoin = enable;
    }
    // The chain is called without the effect's lock held: the chain calls
    // back into this effect under its own lock.
    if (enable) {
        JoinChain();
        CAutoLock lock(m_lock);
        if (m_bPlaceOnJoin) {  // the chain did not call back (no kernel)
            m_bPlaceOnJoin = false;
            m_lastStepTime = GetNow();
            m_textX = StartX(m_moveDirection);
        }
    } else if (IDataKernal* kernel = Kernel()) {
        kernel->RemoveVideoDeal(this);
    }
    SaveBool("Enable", enable);
    IDataVideoEffectTextObserver::EnableMsg::Send(enable);
}

bool CVideoEffectText::GetEnable() { return Locked(m_bEnable); }

void CVideoEffectText::SetText(const std::string& text) {
    std::wstring wide = Charset::String2WString(text);
    {
        CAutoLock lock(m_lock);
        m_text = wide;
        InvalidateCoverage();
        UpdateLayoutAndCoverage();
    }
    QueueTextSave(wide);
}

void CVideoEffectText::SetTextSaveDelay(DWORD ms) {
    std::lock_guard<std::mutex> lock(m_saveMutex);
    m_textSaveDelay = ms;
}

void CVideoEffectText::QueueTextSave(const std::wstring& text) {
    {
        std::lock_guard<std::mutex> lock(m_saveMutex);
        m_pendingText = text;
        m_bSavePending = true;
        ++m_textChanges;
        m_bSaverStop = false;
        if (!m_saver.joinable()) m_saver = std::thread(&CVideoEffectText::TextSaverLoop, this);
    }
    m_saveCv.notify_all();
}

void CVideoEffectText::TextSaverLoop() {
    std::unique_lock<std::mutex> lock(m_saveMutex);
    for (;;) {
        m_saveCv.wait(lock, [this] { return m_bSavePending || m_bSaverStop; });
        if (m_bSaverStop) return;   // StopTextSaver writes what is left
        // Wait for a pause in the typing: every new text starts the wait
        // again.
        const unsigned seen = m_textChanges;
        const auto delay = std::chrono::milliseconds(m_textSaveDelay);
        if (m_saveCv.wait_for(lock, delay, [&] { return m_bSaverStop || m_textChanges != seen; })) continue;
        const std::wstring text = m_pendingText;
        m_bSavePending = false;
        m_bSaving = true;
        lock.unlock();
        SaveString("Text", text);
        lock.lock();
        m_bSaving = false;
        m_saveCv.notify_all();
    }
}

void CVideoEffectText::StopTextSaver() {
    std::wstring text;
    bool write = false;
    {
        std::lock_guard<std::mutex> lock(m_saveMutex);
        m_bSaverStop = true;
    }
    m_saveCv.notify_all();
    if (m_saver.joinable()) m_saver.join();
    {
        std::lock_guard<std::mutex> lock(m_saveMutex);
        write = m_bSavePending;
        text = m_pendingText;
        m_bSavePending = false;
    }
    if (write) SaveString("Text", text);
    m_saveCv.notify_all();
}

bool CVideoEffectText::WaitTextSaved(DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(m_saveMutex);
    return m_saveCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return !m_bSavePending && !m_bSaving; });
}

std::string CVideoEffectText::GetText() {
    CAutoLock lock(m_lock);
    return Charset::WString2String(m_text);
}

void CVideoEffectText::SetFont(const std::string& fontName) {
    std::wstring wide = Charset::String2WString(fontName);
    {
        CAutoLock lock(m_lock);
        m_fontName = wide;
        RebuildFont();
        UpdateLayoutAndCoverage();
    }
    SaveString("Font", wide);
}

std::string CVideoEffectText::GetFont() {
    CAutoLock lock(m_lock);
    return Charset::WString2String(m_fontName);
}

void CVideoEffectText::SetFontSize(uint8_t size) {
    {
        CAutoLock lock(m_lock);
        m_fontSize = size;
        RebuildFont();
        UpdateLayoutAndCoverage();
    }
    Save("FontSize", size);
}

uint8_t CVideoEffectText::GetFontSize() { return Locked(m_fontSize); }

void CVideoEffectText::SetFontStyle(bool& field, bool value, const char* key) {
    {
        CAutoLock lock(m_lock);
        field = value;
        RebuildFont();
        UpdateLayoutAndCoverage();
    }
    SaveBool(key, value);
}

void CVideoEffectText::SetBold(bool bold) { SetFontStyle(m_bBold, bold, "Bold"); }

bool CVideoEffectText::GetBold() { return Locked(m_bBold); }

void CVideoEffectText::SetUnderLine(bool underLine) { SetFontStyle(m_bUnderLine, underLine, "UnderLine"); }

bool CVideoEffectText::GetUnderLine() { return Locked(m_bUnderLine); }

void CVideoEffectText::SetItalic(bool italic) { SetFontStyle(m_bItalic, italic, "Italic"); }

bool CVideoEffectText::GetItalic() { return Locked(m_bItalic); }

void CVideoEffectText::SetTextColor(COLORREF color) {
    {
        CAutoLock lock(m_lock);
        m_textColor = color;
        if (m_pTextBrush) m_pTextBrush->SetColor(ToColor(255, color));
    }
    Save("TextColor", color);
}

COLORREF CVideoEffectText::GetTextColor() { return Locked(m_textColor); }

void CVideoEffectText::SetBkColor(COLORREF color) {
    {
        CAutoLock lock(m_lock);
        m_bkColor = color;
        if (m_pBkBrush) m_pBkBrush->SetColor(ToColor(m_bkAlpha, color));
        UpdateBandTable();
    }
    Save("BkColor", color);
}

COLORREF CVideoEffectText::GetBkColor() { return Locked(m_bkColor); }

void CVideoEffectText::SetMoveDirection(int direction) {
    {
        CAutoLock lock(m_lock);
        if (direction == m_moveDirection) return;
        // Leaving the still mode: the first step comes a full interval later.
        if (direction != VIDEOEFFECTTEXT_STILL && m_moveDirection == VIDEOEFFECTTEXT_STILL) m_lastStepTime = GetNow();
        m_moveDirection = direction;
        m_textX = StartX(direction);
    }
    Save("MoveDirection", static_cast<uint32_t>(direction));
}

int CVideoEffectText::GetMoveDirection() { return Locked(m_moveDirection); }

void CVideoEffectText::SetMoveSpeed(uint8_t speed) {
    {
        CAutoLock lock(m_lock);
        m_moveSpeed = speed;
    }
    Save("MoveSpeed", speed);
}

uint8_t CVideoEffectText::GetMoveSpeed() { return Locked(m_moveSpeed); }

void CVideoEffectText::SetTextPos(int pos) {
    Save("TextPos", static_cast<uint32_t>(pos));
    CAutoLock lock(m_lock);
    m_textPos = pos;
    UpdateLayoutAndCoverage();
}

int CVideoEffectText::GetTextPos() { return Locked(m_textPos); }

void CVideoEffectText::SetBkAlpha(uint8_t alpha) {
    Save("BkAlpha", alpha);
    CAutoLock lock(m_lock);
    m_bkAlpha = alpha;
    if (m_pBkBrush) m_pBkBrush->SetColor(ToColor(alpha, m_bkColor));
    UpdateBandTable();
}

uint8_t CVideoEffectText::GetBkAlpha() { return Locked(m_bkAlpha); }

float CVideoEffectText::GetTextWidth() { return Locked(m_textWidth); }

float CVideoEffectText::GetTextHeight() { return Locked(m_textHeight); }

int CVideoEffectText::GetBandTop() { return Locked(m_bandTop); }

float CVideoEffectText::GetTextX() { return Locked(m_textX); }

std::string CVideoEffectText::GetDrawnFontFamily() {
    CAutoLock lock(m_lock);
    return Charset::WString2String(m_drawnFamily);
}

void CVideoEffectText::Save(const char* key, uint32_t value) { AfxGetConfigManager()->SetUInt(kSection, key, value); }

void CVideoEffectText::SaveBool(const char* key, bool value) { AfxGetConfigManager()->SetBool(kSection, key, value); }

void CVideoEffectText::SaveString(const char* key, const std::wstring& value) {
    AfxGetConfigManager()->SetString(kSection, key, Charset::WString2String(value).c_str(), 0);
}
