#include "VideoEffectFaceThin.h"

#include <cstring>

#if defined(_M_X64) || defined(__x86_64__) || defined(__SSE2__)
#include <emmintrin.h>
#define ZX_FACETHIN_SSE2 1
#endif

#include "ChannelScale.h"
#include "IDataKernal.h"
#include "ZxLog/ZxLog.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kLog[] = "ZxVVideoEffect.txt";
const char kModule[] = "CVideoEffectFaceThin";
const char kSection[] = "VEFaceThin";

int ClampRatio(int ratio) { return ratio < 0 ? 0 : (ratio > 100 ? 100 : ratio); }

IDataKernal* Kernal() { return static_cast<IDataKernal*>(AfxGetDataManager()->GetData(ZX_MOD_KERNAL)); }

// out = (a x (256 - weight) + b x weight + 128) >> 8 for bytes bytes, weight
// 1 to 255: sixteen bytes at a time in 16-bit lanes (the sum stays below
// 65536, so the unsigned shift gives the same bytes), the rest one by one.
void BlendRows(const BYTE* a, const BYTE* b, unsigned weight, size_t bytes, BYTE* out) {
    const unsigned keep = 256 - weight;
    size_t i = 0;
#ifdef ZX_FACETHIN_SSE2
    const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi16(128);
    const __m128i wa = _mm_set1_epi16(static_cast<short>(keep)), wb = _mm_set1_epi16(static_cast<short>(weight));
    for (; i + 16 <= bytes; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(x, zero), wa),
                                                       _mm_mullo_epi16(_mm_unpacklo_epi8(y, zero), wb)), round);
        const __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(x, zero), wa),
                                                       _mm_mullo_epi16(_mm_unpackhi_epi8(y, zero), wb)), round);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(_mm_srli_epi16(lo, 8), _mm_srli_epi16(hi, 8)));
    }
#endif
    for (; i < bytes; ++i) out[i] = static_cast<BYTE>((a[i] * keep + b[i] * weight + 128) >> 8);
}

}  // namespace

CVideoEffectFaceThin::CVideoEffectFaceThin()
    : m_stretchRatio(0), m_bEnable(false), m_red(0), m_green(0), m_blue(0), m_skippedRatio(-1), m_skippedHeight(-1) {}

// The owner (the kernel) runs UnInit before destroying the module.
CVideoEffectFaceThin::~CVideoEffectFaceThin() {}

bool CVideoEffectFaceThin::Init() {
    AfxGetDataManager()->AddData(ZX_MOD_VIDEOEFFECTFACETHIN, this);
    IConfigManager* config = AfxGetConfigManager();
    int ratio = m_stretchRatio;
    if (config->GetInt(kSection, "StretchRatio", ratio) && ClampRatio(ratio) != ratio)
        YL_Log(kLog, 2, kModule, "Init::StretchRatio=%d is outside 0 to 100, %d is used", ratio, ClampRatio(ratio));
    m_stretchRatio = ClampRatio(ratio);
    bool enable = m_bEnable;
    config->GetBool(kSection, "Enable", enable);
    m_bEnable = enable;
    // The levels are used as read, also outside the range the setters
    // accept (150 scales by 2.5); they are only clamped per byte.
    const char* keys[] = {"Red", "Green", "Blue"};
    std::atomic<int>* levels[] = {&m_red, &m_green, &m_blue};
    for (int i = 0; i < 3; ++i) {
        int value = *levels[i];
        if (config->GetInt(kSection, keys[i], value) && (value < 0 || value > 100))
            YL_Log(kLog, 2, kModule, "Init::%s=%d is outside 0 to 100 and is used as read", keys[i], value);
        *levels[i] = value;
    }
    IDataKernal* kernel = Kernal();
    if (kernel) {
        kernel->AddVideoDeal(this);
    } else {
        YL_Log(kLog, 2, kModule, "Init::modKernal not found, the effect cannot join the chain");
    }
    return true;
}

void CVideoEffectFaceThin::UnInit() {
    if (IDataKernal* kernel = Kernal()) kernel->RemoveVideoDeal(this);
    if (AfxGetDataManager()->GetData(ZX_MOD_VIDEOEFFECTFACETHIN) == this)
        AfxGetDataManager()->RemoveData(ZX_MOD_VIDEOEFFECTFACETHIN);
}

bool CVideoEffectFaceThin::SetEnable(bool enable) {
    m_bEnable = enable;
    AfxGetConfigManager()->SetBool(kSection, "Enable", enable);
    return true;
}

void CVideoEffectFaceThin::SetStretchRatio(int ratio) {
    ratio = ClampRatio(ratio);
    m_stretchRatio = ratio;
    AfxGetConfigManager()->SetInt(kSection, "StretchRatio", ratio);
}

void CVideoEffectFaceThin::SetLevel(std::atomic<int>& level, int value, const char* key) {
    if (value < 0 || value > 100) {
        YL_Log(kLog, 2, kModule, "Set%s(%d) ignored: outside 0 to 100", key, value);
        return;
    }
    level = value;
    AfxGetConfigManager()->SetInt(kSection, key, value);
}

void CVideoEffectFaceThin::SetRed(int red) { SetLevel(m_red, red, "Red"); }
void CVideoEffectFaceThin::SetGreen(int green) { SetLevel(m_green, green, "Green"); }
void CVideoEffectFaceThin::SetBlue(int blue) { SetLevel(m_blue, blue, "Blue"); }

bool CVideoEffectFaceThin::OnNotifyFrameSize(const VideoFrameFormat& /*format*/) { return true; }

void CVideoEffectFaceThin::DealVideo(BYTE* frame, const VideoFrameFormat* format, int streamType) {
    // The chain passes camera frames only; the module holds to that itself
    // too, so no other source is ever changed.
    if (!frame || !format || streamType != VIDEO_STREAM_CAMERA) return;
    const int red = m_red, green = m_green, blue = m_blue;
    if (red > 0 || green > 0 || blue > 0)
        ScaleChannels(frame, *format, 1.0 + red / 100.0, 1.0 + green / 100.0, 1.0 + blue / 100.0);
    const int ratio = m_stretchRatio;
    if (m_bEnable && ratio > 0) Thin(frame, *format, ratio);
}

void CVideoEffectFaceThin::Thin(BYTE* frame, const VideoFrameFormat& format, int ratio) {
    const int width = format.bmiHeader.biWidth;
    const int height = format.bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || format.bmiHeader.biBitCount != 24) return;
    const int margin = 2 * ratio;
    const int band = height - 2 * margin;
    if (band <= 0) {
        // The band would have no rows: nothing sensible to stretch.
        if (ratio != m_skippedRatio || height != m_skippedHeight) {
            YL_Log(kLog, 2, kModule, "Thin::ratio %d leaves no rows of a %d-row frame, thinning skipped", ratio,
                   height);
            m_skippedRatio = ratio;
            m_skippedHeight = height;
        }
        return;
    }
    // The band is read from a copy: source and target would otherwise be the
    // same bytes, and rows already drawn would be read again.
    const size_t stride = static_cast<size_t>(VideoFrameStride(format));
    const size_t bytes = stride * static_cast<size_t>(height);
    m_source.resize(bytes);
    std::memcpy(m_source.data(), frame, bytes);
    // A vertical stretch of rows margin .. margin + band - 1 (counted from the
    // top, as GDI+ counts) onto the whole height: each target row samples the
    // band at its pixel centre and blends the two nearest source rows, the
    // same bilinear filter GDI+ applies, but on whole rows in fixed point.
    // GDI+'s DrawImage did the same at 20 to 40 ms a frame under Wine; this
    // takes about one.
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    const int lastRow = margin + band - 1;
    for (int target = 0; target < height; ++target) {
        double at = margin + (target + 0.5) * band / height - 0.5;
        if (at < margin) at = margin;
        if (at > lastRow) at = lastRow;
        const int upper = static_cast<int>(at);
        const int lower = upper < lastRow ? upper + 1 : upper;
        const unsigned weight = static_cast<unsigned>((at - upper) * 256.0 + 0.5);
        // Rows in memory run bottom-up.
        const BYTE* a = m_source.data() + stride * static_cast<size_t>(height - 1 - upper);
        const BYTE* b = m_source.data() + stride * static_cast<size_t>(height - 1 - lower);
        BYTE* out = frame + stride * static_cast<size_t>(height - 1 - target);
        if (weight == 0 || upper == lower) {
            std::memcpy(out, a, rowBytes);
        } else if (weight >= 256) {
            std::memcpy(out, b, rowBytes);
        } else {
            BlendRows(a, b, weight, rowBytes, out);
        }
    }
}
