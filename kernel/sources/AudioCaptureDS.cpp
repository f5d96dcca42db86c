#include "AudioCaptureDS.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "CameraDS.h"

namespace {

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

void DeleteMediaTypeBlock(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    if (mt->cbFormat) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk) mt->pUnk->Release();
    CoTaskMemFree(mt);
}

IPin* FirstPin(IBaseFilter* filter) {
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || !pins) return nullptr;
    IPin* pin = nullptr;
    pins->Reset();
    if (pins->Next(1, &pin, nullptr) != S_OK) pin = nullptr;
    pins->Release();
    return pin;
}

}  // namespace

// --- devices ---------------------------------------------------------------------

int GetAudioDeviceCount() { return std::max(0, EnumCaptureDevices(CLSID_AudioInputDeviceCategory, false, -1, nullptr)); }

int GetAudioDeviceName(int index, char* buffer, int bufferSize) {
    HRESULT init = CoInitialize(nullptr);
    IMoniker* moniker = nullptr;
    EnumCaptureDevices(CLSID_AudioInputDeviceCategory, false, index, &moniker);
    std::string name;
    if (moniker && ReadDeviceProperty(moniker, L"FriendlyName", name) && buffer && bufferSize > 0) {
        size_t n = std::min(name.size(), static_cast<size_t>(bufferSize - 1));
        std::memcpy(buffer, name.data(), n);
        buffer[n] = 0;
    }
    if (moniker) moniker->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return 0;
}

// --- the grabber's callback ---------------------------------------------------------

HRESULT STDMETHODCALLTYPE CAudioSampleGrabberCB::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == ZX_IID_ISampleGrabberCB || riid == IID_IUnknown) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

CAudioSampleGrabberCB& CAudioSampleGrabberCB::Instance() {
    static CAudioSampleGrabberCB callback;
    return callback;
}

HRESULT STDMETHODCALLTYPE CAudioSampleGrabberCB::BufferCB(double sampleTime, BYTE* buffer, LONG length) {
    CAudioCaptureDS* target = m_target;
    if (target && buffer && length > 0) target->Deliver(sampleTime, buffer, length);
    return 0;
}

void CAudioCaptureDS::Deliver(double sampleTime, BYTE* buffer, LONG length) {
    if (!m_delivering) return;
    IAudioCaptureEvent* sink = m_sink;
    if (sink) {
        const double factor = m_volume;
        if (factor < 1.0) {
            int16_t* samples = reinterpret_cast<int16_t*>(buffer);
            const LONG count = length / 2;
            for (LONG i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(samples[i] * factor);
        }
        sink->OnAudioCaptured(sampleTime, buffer, static_cast<int>(length));
    }
    // The renderer downstream plays silence: what was captured is never
    // heard through the output device.
    std::memset(buffer, 0, static_cast<size_t>(length));
}

// --- the capture object ---------------------------------------------------------------

CAudioCaptureDS::CAudioCaptureDS()
    : m_delivering(false),
      m_graphBuilt(false),
      m_graph(nullptr),
      m_builder(nullptr),
      m_basicAudio(nullptr),
      m_device(nullptr),
      m_control(nullptr),
      m_videoWindow(nullptr),
      m_grabberFilter(nullptr),
      m_grabber(nullptr),
      m_capturePin(nullptr),
      m_volume(1.0),
      m_bufferBytes(0),
      m_channels(1),
      m_deviceIndex(0),
      m_sampleRate(22050),
      m_sink(nullptr),
      m_comInit(false) {
    m_comInit = SUCCEEDED(CoInitialize(nullptr));
}

CAudioCaptureDS::~CAudioCaptureDS() {
    Close();
    if (m_comInit) CoUninitialize();
}

void CAudioCaptureDS::SetVolume(double factor) { m_volume = std::min(1.0, std::max(0.0, factor)); }

bool CAudioCaptureDS::Open(int deviceIndex, int sampleRate, int channels, int bufferBytes) {
    m_deviceIndex = deviceIndex;
    m_sampleRate = sampleRate;
    m_channels = static_cast<short>(channels);
    m_bufferBytes = bufferBytes;
    Close();

    // 1. The graph, the capture graph builder, the device, the grabber.
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&m_graph))))
        return false;
    m_graphBuilt = true;
    if (FAILED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                reinterpret_cast<void**>(&m_builder))))
        return false;
    if (FAILED(m_builder->SetFiltergraph(m_graph))) return false;
    if (FAILED(m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control)))) return false;
    if (FAILED(m_graph->QueryInterface(IID_IVideoWindow, reinterpret_cast<void**>(&m_videoWindow)))) return false;
    if (FAILED(m_graph->QueryInterface(IID_IBasicAudio, reinterpret_cast<void**>(&m_basicAudio)))) return false;
    IMoniker* moniker = nullptr;
    EnumCaptureDevices(CLSID_AudioInputDeviceCategory, false, deviceIndex, &moniker);
    if (!moniker) return false;
    std::string name;
    HRESULT hr = E_FAIL;
    if (ReadDeviceProperty(moniker, L"FriendlyName", name))
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&m_device));
    moniker->Release();
    if (FAILED(hr) || !m_device) return false;
    if (FAILED(m_graph->AddFilter(m_device, L"Capture Filter"))) return false;
    m_capturePin = FirstPin(m_device);
    if (!m_capturePin) return false;
    if (FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&m_grabberFilter))))
        return false;
    if (FAILED(m_grabberFilter->QueryInterface(ZX_IID_ISampleGrabber, reinterpret_cast<void**>(&m_grabber))))
        return false;

    // 2. The grabber takes PCM.
    AM_MEDIA_TYPE want;
    std::memset(&want, 0, sizeof(want));
    want.majortype = MEDIATYPE_Audio;
    want.subtype = MEDIASUBTYPE_PCM;
    if (FAILED(m_grabber->SetMediaType(&want))) return false;
    if (FAILED(m_graph->AddFilter(m_grabberFilter, L"Grabber"))) return false;

    // 3. The capture format: 16-bit PCM at the rate and channels asked for.
    IAMStreamConfig* config = nullptr;
    if (FAILED(m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, m_device, IID_IAMStreamConfig,
                                        reinterpret_cast<void**>(&config))) ||
        !config)
        return false;
    AM_MEDIA_TYPE* format = nullptr;
    AUDIO_STREAM_CONFIG_CAPS caps;
    bool formatOk = false;
    if (SUCCEEDED(config->GetStreamCaps(0, &format, reinterpret_cast<BYTE*>(&caps))) && format &&
        format->formattype == FORMAT_WaveFormatEx && format->pbFormat &&
        format->cbFormat >= sizeof(WAVEFORMATEX) - sizeof(WORD)) {
        WAVEFORMATEX* wfx = reinterpret_cast<WAVEFORMATEX*>(format->pbFormat);
        wfx->wFormatTag = WAVE_FORMAT_PCM;
        wfx->nChannels = static_cast<WORD>(channels);
        wfx->nSamplesPerSec = static_cast<DWORD>(sampleRate);
        wfx->wBitsPerSample = 16;
        wfx->nBlockAlign = static_cast<WORD>(channels * 2);
        wfx->nAvgBytesPerSec = static_cast<DWORD>(sampleRate) * wfx->nBlockAlign;
        format->subtype = MEDIASUBTYPE_PCM;
        format->lSampleSize = wfx->nBlockAlign;
        formatOk = SUCCEEDED(config->SetFormat(format));
    }
    DeleteMediaTypeBlock(format);
    config->Release();
    if (!formatOk) return false;

    // 4. Ten buffers of the block size.
    IAMBufferNegotiation* negotiation = nullptr;
    if (FAILED(m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, m_device, IID_IAMBufferNegotiation,
                                        reinterpret_cast<void**>(&negotiation))) ||
        !negotiation)
        return false;
    ALLOCATOR_PROPERTIES props = {10, bufferBytes, 2, 0};
    hr = negotiation->SuggestAllocatorProperties(&props);
    negotiation->Release();
    if (FAILED(hr)) return false;

    // 5. Device -> grabber -> the default audio renderer.
    if (FAILED(m_builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Audio, m_device, m_grabberFilter, nullptr)) &&
        FAILED(m_builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, m_device, m_grabberFilter, nullptr)))
        return false;

    // 6.
    AM_MEDIA_TYPE connected;
    std::memset(&connected, 0, sizeof(connected));
    if (FAILED(m_grabber->GetConnectedMediaType(&connected))) return false;
    if (connected.cbFormat) CoTaskMemFree(connected.pbFormat);
    if (connected.pUnk) connected.pUnk->Release();
    m_grabber->SetBufferSamples(FALSE);
    m_grabber->SetOneShot(FALSE);
    m_grabber->SetCallback(&CAudioSampleGrabberCB::Instance(), 1);

    // 7.
    CAudioSampleGrabberCB::Instance().SetTarget(this);
    m_delivering = true;
    return true;
}

int CAudioCaptureDS::Start() {
    if (!m_control) return 0;
    return FAILED(m_control->Run()) ? -1 : 0;
}

int CAudioCaptureDS::Stop() {
    m_delivering = false;
    if (!m_control) return 0;
    return FAILED(m_control->Stop()) ? -1 : 0;
}

void CAudioCaptureDS::Close() {
    m_delivering = false;
    TearDown();
}

void CAudioCaptureDS::TearDown() {
    if (m_capturePin) m_capturePin->Disconnect();
    if (m_control) m_control->Stop();
    if (m_videoWindow) {
        m_videoWindow->put_Visible(OAFALSE);
        m_videoWindow->put_Owner(0);
    }
    // The streaming thread has ended with the stop: nothing calls back now.
    CAudioSampleGrabberCB::Instance().ClearTarget(this);
    if (m_grabber) m_grabber->SetCallback(nullptr, 1);
    SafeRelease(m_capturePin);
    SafeRelease(m_grabber);
    SafeRelease(m_grabberFilter);
    SafeRelease(m_videoWindow);
    SafeRelease(m_control);
    SafeRelease(m_device);
    SafeRelease(m_basicAudio);
    SafeRelease(m_builder);
    SafeRelease(m_graph);
    m_graphBuilt = false;
    m_delivering = false;
}
