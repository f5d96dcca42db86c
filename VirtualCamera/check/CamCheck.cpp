#include "CamCheck.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include <strsafe.h>

namespace camcheck {

namespace {

void FreeType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    if (mt->cbFormat && mt->pbFormat) CoTaskMemFree(mt->pbFormat);
    if (mt->pUnk) mt->pUnk->Release();
    mt->pbFormat = nullptr;
    mt->cbFormat = 0;
    mt->pUnk = nullptr;
}

void DeleteType(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeType(mt);
    CoTaskMemFree(mt);
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE* mt) {
    if (mt->formattype == FORMAT_VideoInfo && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
        return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
    return nullptr;
}

std::wstring ReadBagString(IPropertyBag* bag, const wchar_t* name) {
    VARIANT v;
    VariantInit(&v);
    std::wstring text;
    if (SUCCEEDED(bag->Read(name, &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal) text = v.bstrVal;
    VariantClear(&v);
    return text;
}

// Calls visit(device, moniker) for every video input device until it
// returns true. The enumerator's result, S_FALSE for an empty category.
template <class Visit>
HRESULT ForEachDevice(Visit visit) {
    ICreateDevEnum* devices = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                  reinterpret_cast<void**>(&devices));
    if (FAILED(hr)) return hr;
    IEnumMoniker* monikers = nullptr;
    hr = devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    devices->Release();
    if (hr != S_OK) return hr;
    for (;;) {
        IMoniker* moniker = nullptr;
        if (monikers->Next(1, &moniker, nullptr) != S_OK) break;
        Device device;
        IPropertyBag* bag = nullptr;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)))) {
            device.name = ReadBagString(bag, L"FriendlyName");
            device.devicePath = ReadBagString(bag, L"DevicePath");
            device.clsid = ReadBagString(bag, L"CLSID");
            bag->Release();
        }
        const bool stop = visit(device, moniker);
        moniker->Release();
        if (stop) break;
    }
    monikers->Release();
    return S_OK;
}

}  // namespace

std::vector<Device> ListDevices(HRESULT* result) {
    std::vector<Device> list;
    const HRESULT hr = ForEachDevice([&](const Device& d, IMoniker*) {
        list.push_back(d);
        return false;
    });
    if (result) *result = hr;
    return list;
}

std::wstring SubtypeName(const GUID& subtype) {
    if (subtype == MEDIASUBTYPE_RGB24) return L"RGB24";
    if (subtype == MEDIASUBTYPE_RGB32) return L"RGB32";
    if (subtype == MEDIASUBTYPE_RGB555) return L"RGB555";
    if (subtype == MEDIASUBTYPE_RGB565) return L"RGB565";
    // FOURCC subtypes: the code followed by 0000-0010-8000-00AA00389B71.
    static const GUID kFourccBase = {0, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    if (subtype.Data2 == kFourccBase.Data2 && subtype.Data3 == kFourccBase.Data3 &&
        std::memcmp(subtype.Data4, kFourccBase.Data4, 8) == 0) {
        std::wstring code;
        for (int i = 0; i < 4; ++i) {
            const wchar_t c = static_cast<wchar_t>((subtype.Data1 >> (8 * i)) & 0xFF);
            code += (c >= 32 && c < 127) ? c : L'?';
        }
        return code;
    }
    wchar_t text[64] = {};
    StringFromGUID2(subtype, text, 64);
    return text;
}

double FramesPerSecond(REFERENCE_TIME interval) { return interval > 0 ? 1e7 / static_cast<double>(interval) : 0; }

bool ProgramRunning() {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kProgramMutex);
    if (!mutex) return GetLastError() == ERROR_ACCESS_DENIED;  // there, but not ours to open
    CloseHandle(mutex);
    return true;
}

std::wstring LaunchFolder() {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, L"SOFTWARE\\orbian\\ZXVCAM", L"Path", RRF_RT_REG_SZ, nullptr, text, &bytes) !=
        ERROR_SUCCESS)
        return {};
    return text;
}

// --- the channel -------------------------------------------------------------

PublishWatch::PublishWatch() {
    if (!m_channel.Open(kShareMemFileName, kShareMemSize)) return;
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_stop) m_thread = std::thread(&PublishWatch::Loop, this);
}

PublishWatch::~PublishWatch() {
    if (m_stop) SetEvent(m_stop);
    if (m_thread.joinable()) m_thread.join();
    if (m_stop) CloseHandle(m_stop);
    m_channel.Close();
}

void PublishWatch::Loop() {
    // The frame number of a writer that keeps one changes twice per frame
    // (odd while it copies, even when done); every change is a frame on its
    // way. A look every 5 ms gives the moment to within that.
    uint32_t last = m_channel.Sequence();
    while (WaitForSingleObject(m_stop, 5) == WAIT_TIMEOUT) {
        const uint32_t now = m_channel.Sequence();
        if (now != last && m_channel.Numbered()) {
            last = now;
            std::lock_guard<std::mutex> g(m_lock);
            m_lastChangeUs = Clock::NowUs();
        }
    }
}

double PublishWatch::NewestAgeMs() const {
    std::lock_guard<std::mutex> g(m_lock);
    return m_lastChangeUs < 0 ? -1 : (Clock::NowUs() - m_lastChangeUs) / 1000.0;
}

// --- the client --------------------------------------------------------------

Client::Client() {}

Client::~Client() { Close(); }

HRESULT Client::Open(const std::wstring& name) {
    Close();
    HRESULT bound = VFW_E_NOT_FOUND;
    HRESULT hr = ForEachDevice([&](const Device& d, IMoniker* moniker) {
        if (d.name != name) return false;
        bound = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&m_camera));
        return true;
    });
    if (FAILED(hr)) return hr;
    if (hr == S_FALSE) return VFW_E_NOT_FOUND;
    if (FAILED(bound)) return bound;

    hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          reinterpret_cast<void**>(&m_graph));
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                          reinterpret_cast<void**>(&m_builder));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_builder->SetFiltergraph(m_graph))) return hr;
    if (FAILED(hr = m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control)))) return hr;
    if (FAILED(hr = m_graph->AddFilter(m_camera, name.c_str()))) return hr;
    // A client finds the stream's configuration on the capture pin.
    hr = m_builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, m_camera, IID_IAMStreamConfig,
                                  reinterpret_cast<void**>(&m_config));
    if (FAILED(hr)) return hr;

    hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&m_grabberFilter));
    if (FAILED(hr)) return hr;
    if (FAILED(hr = m_grabberFilter->QueryInterface(ZX_IID_ISampleGrabber, reinterpret_cast<void**>(&m_grabber))))
        return hr;
    AM_MEDIA_TYPE wanted = {};
    wanted.majortype = MEDIATYPE_Video;
    wanted.subtype = MEDIASUBTYPE_RGB24;
    if (FAILED(hr = m_grabber->SetMediaType(&wanted))) return hr;
    m_grabber->SetBufferSamples(FALSE);
    if (FAILED(hr = m_grabber->SetCallback(this, 0))) return hr;
    if (FAILED(hr = m_graph->AddFilter(m_grabberFilter, L"Sample Grabber"))) return hr;
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&m_renderer));
    if (FAILED(hr)) return hr;
    return m_graph->AddFilter(m_renderer, L"Null Renderer");
}

std::vector<Format> Client::Formats() {
    std::vector<Format> list;
    if (!m_config) return list;
    int count = 0, size = 0;
    if (FAILED(m_config->GetNumberOfCapabilities(&count, &size)) || size < static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)))
        return list;
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps = {};
        if (m_config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || !mt) continue;
        Format f;
        f.index = i;
        f.subtype = mt->subtype;
        if (const VIDEOINFOHEADER* vih = VideoInfo(mt)) {
            f.width = vih->bmiHeader.biWidth;
            f.height = std::abs(vih->bmiHeader.biHeight);
            f.bits = vih->bmiHeader.biBitCount;
            f.interval = vih->AvgTimePerFrame;
        }
        f.minInterval = caps.MinFrameInterval;
        f.maxInterval = caps.MaxFrameInterval;
        DeleteType(mt);
        list.push_back(f);
    }
    return list;
}

HRESULT Client::Select(int width, int height) {
    if (!m_config) return E_UNEXPECTED;
    auto matches = [&](const AM_MEDIA_TYPE* mt) {
        const VIDEOINFOHEADER* vih = VideoInfo(mt);
        return mt->majortype == MEDIATYPE_Video && mt->subtype == MEDIASUBTYPE_RGB24 && vih &&
               vih->bmiHeader.biWidth == width && std::abs(vih->bmiHeader.biHeight) == height;
    };
    // A capability of that size, as video-call programs look first.
    for (const Format& f : Formats()) {
        if (f.subtype != MEDIASUBTYPE_RGB24 || f.width != width || f.height != height) continue;
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps = {};
        HRESULT hr = m_config->GetStreamCaps(f.index, &mt, reinterpret_cast<BYTE*>(&caps));
        if (hr != S_OK || !mt) return FAILED(hr) ? hr : E_FAIL;
        hr = m_config->SetFormat(mt);
        DeleteType(mt);
        return hr;
    }
    // The current format when it is that size already.
    AM_MEDIA_TYPE* current = nullptr;
    if (SUCCEEDED(m_config->GetFormat(&current)) && current) {
        const bool same = matches(current);
        DeleteType(current);
        if (same) return S_OK;
    }
    // Else a type the capture pin offers in its list.
    IPin* pin = nullptr;
    HRESULT hr = m_builder->FindPin(m_camera, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE, 0, &pin);
    if (FAILED(hr) || !pin) return E_INVALIDARG;
    IEnumMediaTypes* types = nullptr;
    hr = pin->EnumMediaTypes(&types);
    pin->Release();
    if (FAILED(hr) || !types) return E_INVALIDARG;
    hr = E_INVALIDARG;
    for (;;) {
        AM_MEDIA_TYPE* mt = nullptr;
        if (types->Next(1, &mt, nullptr) != S_OK || !mt) break;
        const bool same = matches(mt);
        if (same) hr = m_config->SetFormat(mt);
        DeleteType(mt);
        if (same) break;
    }
    types->Release();
    return hr;
}

std::wstring Client::CurrentFormat() {
    if (!m_config) return {};
    AM_MEDIA_TYPE* mt = nullptr;
    if (FAILED(m_config->GetFormat(&mt)) || !mt) return {};
    std::wstring text = SubtypeName(mt->subtype);
    if (const VIDEOINFOHEADER* vih = VideoInfo(mt)) {
        wchar_t size[64];
        StringCchPrintfW(size, 64, L" %ldx%ld %.2f fps", static_cast<long>(vih->bmiHeader.biWidth),
                 static_cast<long>(std::abs(vih->bmiHeader.biHeight)), FramesPerSecond(vih->AvgTimePerFrame));
        text += size;
    }
    DeleteType(mt);
    return text;
}

HRESULT Client::Connect() {
    if (!m_builder) return E_UNEXPECTED;
    // The capture pin, found as the capture graph builder finds it, goes
    // straight into the grabber, as most video-call programs connect it.
    // (Wine 8's RenderStream puts a Smart Tee between the two for the
    // capture category, which Windows only does for preview, and no sample
    // passes its capture pin there; connecting directly is the same graph
    // on both.)
    IPin* capture = nullptr;
    HRESULT hr = m_builder->FindPin(m_camera, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 0, &capture);
    if (FAILED(hr) || !capture) return FAILED(hr) ? hr : VFW_E_NOT_FOUND;
    IPin* grabIn = nullptr;
    IPin* grabOut = nullptr;
    IPin* renderIn = nullptr;
    hr = m_builder->FindPin(m_grabberFilter, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &grabIn);
    if (SUCCEEDED(hr)) hr = m_builder->FindPin(m_grabberFilter, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, &grabOut);
    if (SUCCEEDED(hr)) hr = m_builder->FindPin(m_renderer, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, &renderIn);
    if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(capture, grabIn, nullptr);
    if (SUCCEEDED(hr)) hr = m_graph->ConnectDirect(grabOut, renderIn, nullptr);
    SafeRelease(capture);
    SafeRelease(grabIn);
    SafeRelease(grabOut);
    SafeRelease(renderIn);
    if (FAILED(hr)) return hr;
    AM_MEDIA_TYPE mt = {};
    if (SUCCEEDED(m_grabber->GetConnectedMediaType(&mt))) {
        if (const VIDEOINFOHEADER* vih = VideoInfo(&mt)) {
            std::lock_guard<std::mutex> g(m_lock);
            m_width = vih->bmiHeader.biWidth;
            m_height = std::abs(vih->bmiHeader.biHeight);
        }
        FreeType(&mt);
    }
    return S_OK;
}

HRESULT Client::Run() {
    if (!m_control) return E_UNEXPECTED;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ClearFigures();
    }
    const HRESULT hr = m_control->Run();
    if (FAILED(hr)) return hr;
    OAFilterState state;
    // Only a guard against a graph that never gets there.
    return m_control->GetState(10000, &state) == VFW_S_STATE_INTERMEDIATE ? VFW_E_TIMEOUT : S_OK;
}

void Client::Stop() {
    if (m_control) m_control->Stop();
}

void Client::Close() {
    Stop();
    if (m_grabber) m_grabber->SetCallback(nullptr, 0);
    if (m_graph) {
        for (IBaseFilter* f : {m_camera, m_grabberFilter, m_renderer})
            if (f) m_graph->RemoveFilter(f);
    }
    SafeRelease(m_config);
    SafeRelease(m_grabber);
    SafeRelease(m_renderer);
    SafeRelease(m_grabberFilter);
    SafeRelease(m_camera);
    SafeRelease(m_control);
    SafeRelease(m_builder);
    SafeRelease(m_graph);
}

HRESULT STDMETHODCALLTYPE Client::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == ZX_IID_ISampleGrabberCB) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE Client::SampleCB(double, IMediaSample* sample) {
    BYTE* data = nullptr;
    const long length = sample->GetActualDataLength();
    const bool have = SUCCEEDED(sample->GetPointer(&data)) && data && length > 0;
    Record(have ? data : nullptr, have ? static_cast<size_t>(length) : 0);
    return S_OK;
}

void Client::ClearFigures() {
    m_samples = 0;
    m_arrivals.clear();
    m_newestAgeMs = -1;
    m_ageCount = 0;
    m_ageSum = m_ageMax = 0;
    // A picture of an earlier run may have another size.
    m_picture.clear();
}

void Client::Restart(int width, int height) {
    std::lock_guard<std::mutex> g(m_lock);
    ClearFigures();
    m_width = width;
    m_height = height;
}

void Client::Record(const BYTE* picture, size_t length) {
    const double now = Clock::NowUs();
    const double age = m_watch.NewestAgeMs();
    std::lock_guard<std::mutex> g(m_lock);
    ++m_samples;
    m_arrivals.push_back(now);
    // Arrivals of the last two seconds are enough for the rate.
    while (m_arrivals.size() > 2 && now - m_arrivals.front() > 2e6) m_arrivals.erase(m_arrivals.begin());
    m_newestAgeMs = age;
    if (age >= 0) {
        ++m_ageCount;
        m_ageSum += age;
        m_ageMax = std::max(m_ageMax, age);
    }
    if (picture && length > 0) m_picture.assign(picture, picture + length);
    m_arrived.notify_all();
}

bool Client::WaitSamples(uint64_t count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> g(m_lock);
    return m_arrived.wait_for(g, std::chrono::milliseconds(timeoutMs), [&] { return m_samples >= count; });
}

bool Client::WaitNextSample(uint64_t after, DWORD timeoutMs) { return WaitSamples(after + 1, timeoutMs); }

Figures Client::Now() {
    Figures f;
    const double now = Clock::NowUs();
    std::lock_guard<std::mutex> g(m_lock);
    f.samples = m_samples;
    f.width = m_width;
    f.height = m_height;
    f.newestAgeMs = m_newestAgeMs;
    if (!m_arrivals.empty()) f.sinceSampleMs = (now - m_arrivals.back()) / 1000.0;
    // The rate over the arrivals of about the last second.
    size_t first = m_arrivals.size();
    while (first > 0 && now - m_arrivals[first - 1] <= 1.05e6) --first;
    if (m_arrivals.size() - first >= 2) {
        const double span = m_arrivals.back() - m_arrivals[first];
        if (span > 0) f.fps = static_cast<double>(m_arrivals.size() - first - 1) * 1e6 / span;
    }
    const double age = m_watch.NewestAgeMs();
    f.publisherLive = age >= 0 && age < 1000;
    return f;
}

void Client::Clock(uint64_t& samples, double& lastArrivalUs) {
    std::lock_guard<std::mutex> g(m_lock);
    samples = m_samples;
    lastArrivalUs = m_arrivals.empty() ? 0 : m_arrivals.back();
}

void Client::ResetAges() {
    std::lock_guard<std::mutex> g(m_lock);
    m_ageCount = 0;
    m_ageSum = m_ageMax = 0;
}

void Client::Ages(uint64_t& count, double& meanMs, double& maxMs) {
    std::lock_guard<std::mutex> g(m_lock);
    count = m_ageCount;
    meanMs = m_ageCount ? m_ageSum / static_cast<double>(m_ageCount) : 0;
    maxMs = m_ageMax;
}

bool Client::NewestPicture(std::vector<uint8_t>& pixels, int& width, int& height) {
    std::lock_guard<std::mutex> g(m_lock);
    width = m_width;
    height = m_height;
    if (m_picture.empty() || width <= 0 || height <= 0) return false;
    const size_t stride = ((static_cast<size_t>(width) * 24 + 31) / 32) * 4;
    if (m_picture.size() < stride * static_cast<size_t>(height)) return false;
    pixels.assign(m_picture.begin(), m_picture.begin() + static_cast<std::ptrdiff_t>(stride * height));
    return true;
}

// --- pictures ----------------------------------------------------------------

bool SaveBmp(const std::wstring& path, const std::vector<uint8_t>& pixels, int width, int height) {
    const DWORD stride = ((static_cast<DWORD>(width) * 24 + 31) / 32) * 4;
    const DWORD imageSize = stride * static_cast<DWORD>(height);
    if (width <= 0 || height <= 0 || pixels.size() < imageSize) return false;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + imageSize;
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;  // bottom-up, as DirectShow delivers RGB24
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;
    HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) && written == sizeof(file);
    ok = ok && WriteFile(out, &info, sizeof(info), &written, nullptr) && written == sizeof(info);
    ok = ok && WriteFile(out, pixels.data(), imageSize, &written, nullptr) && written == imageSize;
    CloseHandle(out);
    if (!ok) DeleteFileW(path.c_str());
    return ok;
}

bool IsBlack(const std::vector<uint8_t>& pixels) {
    return std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace camcheck
