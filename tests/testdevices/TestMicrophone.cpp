// The test microphone: the tone as 16-bit PCM in the chosen format and buffer size, paced in real time.
#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "DShowBase/MediaType.h"
#include "TestDevices.h"
#include "TestFilters.h"

namespace {

bool MakeType(int rate, int channels, CMediaType* mt) {
    mt->Reset();
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt->AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    if (!wfx) return false;
    wfx->wFormatTag = WAVE_FORMAT_PCM;
    wfx->nChannels = static_cast<WORD>(channels);
    wfx->nSamplesPerSec = static_cast<DWORD>(rate);
    wfx->wBitsPerSample = 16;
    wfx->nBlockAlign = static_cast<WORD>(channels * 2);
    wfx->nAvgBytesPerSec = static_cast<DWORD>(rate * channels * 2);
    wfx->cbSize = 0;
    mt->SetType(MEDIATYPE_Audio);
    mt->SetSubtype(MEDIASUBTYPE_PCM);
    mt->SetFormatType(FORMAT_WaveFormatEx);
    mt->SetTemporalCompression(FALSE);
    mt->SetSampleSize(wfx->nBlockAlign);
    return true;
}

// Rate and channels of a 16-bit PCM type this microphone can deliver.
bool FormatOf(const AM_MEDIA_TYPE& mt, int& rate, int& channels) {
    if (mt.majortype != MEDIATYPE_Audio || mt.subtype != MEDIASUBTYPE_PCM || mt.formattype != FORMAT_WaveFormatEx ||
        !mt.pbFormat || mt.cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD))
        return false;
    const WAVEFORMATEX* wfx = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    if (wfx->wFormatTag != WAVE_FORMAT_PCM || wfx->wBitsPerSample != 16) return false;
    if (wfx->nChannels < 1 || wfx->nChannels > 2 || wfx->nSamplesPerSec < 8000 || wfx->nSamplesPerSec > 96000)
        return false;
    rate = static_cast<int>(wfx->nSamplesPerSec);
    channels = wfx->nChannels;
    return true;
}

class CTestMicrophonePin : public CTestCapturePin, public IAMBufferNegotiation {
public:
    CTestMicrophonePin(HRESULT* result, CSource* filter) : CTestCapturePin(result, filter, L"Capture") {
        MakeType(44100, 1, &m_mt);
    }
    ~CTestMicrophonePin() override {
        CAutoLock lock(m_pLock);
        Inactive();
    }

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IAMBufferNegotiation) return GetInterface(static_cast<IAMBufferNegotiation*>(this), ppv);
        return CTestCapturePin::NonDelegatingQueryInterface(riid, ppv);
    }

    void SetTone(int hz, int amplitude) {
        if (hz > 0) m_tone = hz;
        if (amplitude >= 0) m_amplitude = std::min(amplitude, 32767);
    }

    HRESULT GetMediaType(int position, CMediaType* mt) override {
        if (!mt) return E_POINTER;
        CAutoLock lock(m_pLock);
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *mt = m_mt;
        return S_OK;
    }

    HRESULT CheckMediaType(const CMediaType* mt) override {
        if (!mt) return E_POINTER;
        CAutoLock lock(m_pLock);
        int r1, c1, r2, c2;
        if (!FormatOf(*mt, r1, c1) || !FormatOf(m_mt, r2, c2)) return E_INVALIDARG;
        return r1 == r2 && c1 == c2 ? S_OK : E_INVALIDARG;
    }

    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        if (!allocator || !request) return E_POINTER;
        CAutoLock lock(m_pLock);
        int rate = 0, channels = 0;
        if (!FormatOf(m_mt, rate, channels)) return E_FAIL;
        const int block = channels * 2;
        // The suggestion wins; else a tenth of a second in four buffers.
        request->cBuffers = m_suggested.cBuffers > 0 ? m_suggested.cBuffers : 4;
        long bytes = m_suggested.cbBuffer > 0 ? m_suggested.cbBuffer : rate / 10 * block;
        request->cbBuffer = std::max<long>(block, bytes / block * block);
        request->cbAlign = m_suggested.cbAlign > 0 ? m_suggested.cbAlign : 1;
        request->cbPrefix = m_suggested.cbPrefix > 0 ? m_suggested.cbPrefix : 0;
        HRESULT hr = allocator->SetProperties(request, &m_actual);
        if (FAILED(hr)) return hr;
        return m_actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
    }

    // The filter holds its state lock while it waits for the thread to start,
    // and the format cannot change while the thread runs: no lock here.
    HRESULT OnThreadCreate() override {
        FormatOf(m_mt, m_rate, m_channels);
        m_position = 0;
        m_startMs = Clock::NowMs();
        return S_OK;
    }

    HRESULT FillBuffer(IMediaSample* sample) override {
        if (!sample) return E_POINTER;
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data)) || !data) return E_FAIL;
        const int block = m_channels * 2;
        const long frames = sample->GetSize() / block;
        if (frames <= 0) return E_FAIL;
        // A buffer is handed over once the sound in it has been "recorded".
        TestDeviceWaitUntil(m_startMs + static_cast<double>(m_position + frames) * 1000.0 / m_rate);
        int16_t* out = reinterpret_cast<int16_t*>(data);
        for (long i = 0; i < frames; ++i) {
            const int16_t s = TestMicrophoneSample(m_position + i, m_rate, m_tone, m_amplitude);
            for (int c = 0; c < m_channels; ++c) *out++ = s;
        }
        sample->SetActualDataLength(static_cast<long>(frames * block));
        REFERENCE_TIME start = m_position * 10000000LL / m_rate;
        REFERENCE_TIME end = (m_position + frames) * 10000000LL / m_rate;
        sample->SetTime(&start, &end);
        sample->SetSyncPoint(TRUE);
        m_position += frames;
        return S_OK;
    }

    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* mt) override {
        if (!mt) return E_POINTER;
        int rate = 0, channels = 0;
        if (!FormatOf(*mt, rate, channels)) return VFW_E_INVALIDMEDIATYPE;
        CAutoLock lock(m_pLock);
        if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
        MakeType(rate, channels, &m_mt);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override {
        if (!count || !size) return E_POINTER;
        *count = 1;
        *size = sizeof(AUDIO_STREAM_CONFIG_CAPS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override {
        if (!mt || !caps) return E_POINTER;
        *mt = nullptr;
        if (index != 0) return S_FALSE;
        CMediaType type;
        if (!MakeType(44100, 1, &type)) return E_OUTOFMEMORY;
        *mt = CreateMediaType(&type);
        if (!*mt) return E_OUTOFMEMORY;
        AUDIO_STREAM_CONFIG_CAPS& c = *reinterpret_cast<AUDIO_STREAM_CONFIG_CAPS*>(caps);
        std::memset(&c, 0, sizeof(c));
        c.guid = MEDIATYPE_Audio;
        c.MinimumChannels = 1;
        c.MaximumChannels = 2;
        c.ChannelsGranularity = 1;
        c.MinimumBitsPerSample = c.MaximumBitsPerSample = 16;
        c.BitsPerSampleGranularity = 16;
        c.MinimumSampleFrequency = 8000;
        c.MaximumSampleFrequency = 96000;
        c.SampleFrequencyGranularity = 1;
        return S_OK;
    }

    // IAMBufferNegotiation
    HRESULT STDMETHODCALLTYPE SuggestAllocatorProperties(const ALLOCATOR_PROPERTIES* props) override {
        if (!props) return E_POINTER;
        CAutoLock lock(m_pLock);
        if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
        m_suggested = *props;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAllocatorProperties(ALLOCATOR_PROPERTIES* props) override {
        if (!props) return E_POINTER;
        CAutoLock lock(m_pLock);
        if (!IsConnected()) return VFW_E_NOT_CONNECTED;
        *props = m_actual;
        return S_OK;
    }

private:
    int m_tone = 1000;
    int m_amplitude = 8000;
    ALLOCATOR_PROPERTIES m_suggested = {0, 0, 0, 0};
    ALLOCATOR_PROPERTIES m_actual = {0, 0, 0, 0};
    // The streaming thread's state.
    int m_rate = 44100;
    int m_channels = 1;
    long long m_position = 0;
    double m_startMs = 0;
};

class CTestMicrophone : public CTestDeviceFilterWith<CTestMicrophonePin> {
public:
    CTestMicrophone(IUnknown* outer, HRESULT* result)
        : CTestDeviceFilterWith(ZXTEST_MICROPHONE_CLASS, outer, CLSID_ZxTestMicrophone, result) {}

protected:
    void TakeSetting(const wchar_t* name, const std::wstring& value) override {
        if (!m_pin) return;
        const int number = _wtoi(value.c_str());
        if (wcscmp(name, ZXTEST_TONE_VALUE) == 0) m_pin->SetTone(number, -1);
        if (wcscmp(name, ZXTEST_AMPLITUDE_VALUE) == 0) m_pin->SetTone(0, number);
    }
    const wchar_t* const* SettingNames() override {
        static const wchar_t* const names[] = {ZXTEST_TONE_VALUE, ZXTEST_AMPLITUDE_VALUE, nullptr};
        return names;
    }
};

}  // namespace

CUnknown* CreateTestMicrophone(IUnknown* outer, HRESULT* result) {
    return CreateTestDeviceFilter<CTestMicrophone>(outer, result);
}
