// The test camera: the sizes of its capability list, the moving pattern at 25 frames a second.
#include <algorithm>
#include <cstring>
#include <new>

#include "DShowBase/MediaType.h"
#include "TestDevices.h"
#include "TestFilters.h"

namespace {

const REFERENCE_TIME kFrameTime = 10000000 / kTestCameraFps;

struct Cap {
    int width, height, bits;
};

int ImageSize(int width, int height, int bits) { return ((width * bits + 31) / 32) * 4 * std::abs(height); }

std::vector<Cap> ParseCaps(const std::wstring& text) {
    std::vector<Cap> caps;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find(L',', at);
        if (end == std::wstring::npos) end = text.size();
        std::wstring piece = text.substr(at, end - at);
        Cap cap = {0, 0, 24};
        wchar_t x = 0;
        int bits = 24;
        int n = swscanf(piece.c_str(), L"%d%lc%d/%d", &cap.width, &x, &cap.height, &bits);
        if (n >= 3 && (x == L'x' || x == L'X') && cap.width > 0 && cap.height > 0) {
            cap.bits = bits == 32 ? 32 : 24;
            caps.push_back(cap);
        }
        at = end + 1;
    }
    return caps;
}

bool MakeType(const Cap& cap, CMediaType* mt) {
    mt->Reset();
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    if (!vih) return false;
    vih->AvgTimePerFrame = kFrameTime;
    BITMAPINFOHEADER& bmi = vih->bmiHeader;
    bmi.biSize = sizeof(BITMAPINFOHEADER);
    bmi.biWidth = cap.width;
    bmi.biHeight = cap.height;
    bmi.biPlanes = 1;
    bmi.biBitCount = static_cast<WORD>(cap.bits);
    bmi.biCompression = BI_RGB;
    bmi.biSizeImage = static_cast<DWORD>(ImageSize(cap.width, cap.height, cap.bits));
    mt->SetType(MEDIATYPE_Video);
    mt->SetSubtype(cap.bits == 32 ? MEDIASUBTYPE_RGB32 : MEDIASUBTYPE_RGB24);
    mt->SetFormatType(FORMAT_VideoInfo);
    mt->SetTemporalCompression(FALSE);
    mt->SetSampleSize(bmi.biSizeImage);
    return true;
}

// The capability a media type names (size and depth), or false.
bool CapOf(const AM_MEDIA_TYPE& mt, Cap& cap) {
    if (mt.majortype != MEDIATYPE_Video || mt.formattype != FORMAT_VideoInfo || !mt.pbFormat ||
        mt.cbFormat < sizeof(VIDEOINFOHEADER))
        return false;
    const BITMAPINFOHEADER& bmi = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader;
    if (mt.subtype == MEDIASUBTYPE_RGB24 && bmi.biBitCount == 24) cap.bits = 24;
    else if (mt.subtype == MEDIASUBTYPE_RGB32 && bmi.biBitCount == 32) cap.bits = 32;
    else return false;
    cap.width = bmi.biWidth;
    cap.height = bmi.biHeight;
    return true;
}

class CTestCameraPin : public CTestCapturePin {
public:
    CTestCameraPin(HRESULT* result, CSource* filter) : CTestCapturePin(result, filter, L"Capture") {
        SetCaps(ZXTEST_DEFAULT_CAPS);
    }
    ~CTestCameraPin() override {
        CAutoLock lock(m_pLock);
        Inactive();
    }

    void SetCaps(const std::wstring& text) {
        CAutoLock lock(m_pLock);
        std::vector<Cap> caps = ParseCaps(text);
        if (caps.empty()) return;
        m_caps = caps;
        MakeType(m_caps[0], &m_mt);
    }

    HRESULT GetMediaType(int position, CMediaType* mt) override {
        if (!mt) return E_POINTER;
        CAutoLock lock(m_pLock);
        if (position < 0) return E_INVALIDARG;
        if (position > static_cast<int>(m_caps.size())) return VFW_S_NO_MORE_ITEMS;
        if (position == 0) {
            *mt = m_mt;
            return S_OK;
        }
        return MakeType(m_caps[position - 1], mt) ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT CheckMediaType(const CMediaType* mt) override {
        if (!mt) return E_POINTER;
        CAutoLock lock(m_pLock);
        Cap want, current;
        if (!CapOf(*mt, want) || !CapOf(m_mt, current)) return E_INVALIDARG;
        return want.width == current.width && want.height == current.height && want.bits == current.bits
                   ? S_OK
                   : E_INVALIDARG;
    }

    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        if (!allocator || !request) return E_POINTER;
        CAutoLock lock(m_pLock);
        Cap cap;
        if (!CapOf(m_mt, cap)) return E_FAIL;
        request->cBuffers = 2;
        request->cbBuffer = ImageSize(cap.width, cap.height, cap.bits);
        ALLOCATOR_PROPERTIES actual = {};
        HRESULT hr = allocator->SetProperties(request, &actual);
        if (FAILED(hr)) return hr;
        return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

    // The filter holds its state lock while it waits for the thread to start,
    // and the format cannot change while the thread runs: no lock here.
    HRESULT OnThreadCreate() override {
        m_frameNo = 0;
        m_startMs = Clock::NowMs();
        CapOf(m_mt, m_streamCap);
        m_rowsFor = -1;
        return S_OK;
    }

    HRESULT FillBuffer(IMediaSample* sample) override {
        if (!sample) return E_POINTER;
        const Cap cap = m_streamCap;
        const long long n = m_frameNo++;
        TestDeviceWaitUntil(m_startMs + static_cast<double>(n) * 1000.0 / kTestCameraFps);
        BYTE* data = nullptr;
        const int bytes = ImageSize(cap.width, cap.height, cap.bits);
        if (FAILED(sample->GetPointer(&data)) || !data || sample->GetSize() < bytes) return E_FAIL;
        FillPattern(static_cast<int>(n), cap, data);
        sample->SetActualDataLength(bytes);
        REFERENCE_TIME start = n * kFrameTime, end = start + kFrameTime;
        sample->SetTime(&start, &end);
        sample->SetSyncPoint(TRUE);
        return S_OK;
    }

    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* mt) override {
        if (!mt) return E_POINTER;
        Cap want;
        if (!CapOf(*mt, want)) return VFW_E_INVALIDMEDIATYPE;
        {
            CAutoLock lock(m_pLock);
            bool offered = false;
            for (const Cap& c : m_caps)
                offered = offered || (c.width == want.width && c.height == want.height && c.bits == want.bits);
            if (!offered) return VFW_E_INVALIDMEDIATYPE;
            MakeType(want, &m_mt);
        }
        if (IsConnected() && m_pFilter->Graph()) m_pFilter->Graph()->Reconnect(static_cast<IPin*>(this));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
        if (!count || !size) return E_POINTER;
        CAutoLock lock(m_pLock);
        *count = static_cast<int>(m_caps.size());
        *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override {
        if (!mt || !caps) return E_POINTER;
        *mt = nullptr;
        CAutoLock lock(m_pLock);
        if (index < 0 || index >= static_cast<int>(m_caps.size())) return S_FALSE;
        CMediaType type;
        if (!MakeType(m_caps[index], &type)) return E_OUTOFMEMORY;
        *mt = CreateMediaType(&type);
        if (!*mt) return E_OUTOFMEMORY;
        VIDEO_STREAM_CONFIG_CAPS& c = *reinterpret_cast<VIDEO_STREAM_CONFIG_CAPS*>(caps);
        std::memset(&c, 0, sizeof(c));
        c.guid = FORMAT_VideoInfo;
        c.InputSize.cx = c.MinCroppingSize.cx = c.MaxCroppingSize.cx = m_caps[index].width;
        c.InputSize.cy = c.MinCroppingSize.cy = c.MaxCroppingSize.cy = m_caps[index].height;
        c.MinOutputSize = c.MaxOutputSize = c.InputSize;
        c.MinFrameInterval = c.MaxFrameInterval = kFrameTime;
        c.MinBitsPerSecond = c.MaxBitsPerSecond =
            ImageSize(m_caps[index].width, m_caps[index].height, m_caps[index].bits) * 8 * kTestCameraFps;
        return S_OK;
    }

private:
    void FillPattern(int n, const Cap& cap, BYTE* data) {
        const int w = cap.width, h = std::abs(cap.height), px = cap.bits / 8;
        const int stride = ((w * cap.bits + 31) / 32) * 4;
        if (m_rowsFor != w * 100000 + cap.bits) {
            m_lower.assign(stride, 0);
            m_upper.assign(stride, 0);
            for (int x = 0; x < w; ++x) {
                Put(&m_lower[x * px], TestCameraPixel(0, w, h, x, 0), px);
                Put(&m_upper[x * px], TestCameraPixel(0, w, h, x, h / 2), px);
            }
            m_band.assign(stride, 0);
            m_rowsFor = w * 100000 + cap.bits;
        }
        for (int x = 0; x < w; ++x) Put(&m_band[x * px], TestCameraPixel(n, w, h, x, h - 1), px);
        const int bandFrom = h - h / 8;
        for (int y = 0; y < h; ++y) {
            const std::vector<BYTE>& row = y >= bandFrom ? m_band : (y < h / 2 ? m_lower : m_upper);
            std::memcpy(data + static_cast<size_t>(y) * stride, row.data(), stride);
        }
    }
    static void Put(BYTE* at, uint32_t rgb, int px) {
        at[0] = static_cast<BYTE>(rgb);
        at[1] = static_cast<BYTE>(rgb >> 8);
        at[2] = static_cast<BYTE>(rgb >> 16);
        if (px == 4) at[3] = 0;
    }

    std::vector<Cap> m_caps;
    // The streaming thread's state.
    Cap m_streamCap = {0, 0, 24};
    long long m_frameNo = 0;
    double m_startMs = 0;
    int m_rowsFor = -1;
    std::vector<BYTE> m_lower, m_upper, m_band;
};

class CTestCamera : public CTestDeviceFilterWith<CTestCameraPin> {
public:
    CTestCamera(IUnknown* outer, HRESULT* result)
        : CTestDeviceFilterWith(ZXTEST_CAMERA_CLASS, outer, CLSID_ZxTestCamera, result) {}

    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IAMStreamConfig && m_pin) return m_pin->QueryInterface(riid, ppv);
        return CTestDeviceFilter::NonDelegatingQueryInterface(riid, ppv);
    }

protected:
    void TakeSetting(const wchar_t* name, const std::wstring& value) override {
        if (wcscmp(name, ZXTEST_CAPS_VALUE) == 0 && m_pin) m_pin->SetCaps(value);
    }
    const wchar_t* const* SettingNames() override {
        static const wchar_t* const names[] = {ZXTEST_CAPS_VALUE, nullptr};
        return names;
    }
};

}  // namespace

CUnknown* CreateTestCamera(IUnknown* outer, HRESULT* result) {
    return CreateTestDeviceFilter<CTestCamera>(outer, result);
}
