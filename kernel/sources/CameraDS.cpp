#include "CameraDS.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "ZxLib/ZxLib.h"

namespace {

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

void FreeMediaTypeBlock(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat) CoTaskMemFree(mt.pbFormat);
    mt.cbFormat = 0;
    mt.pbFormat = nullptr;
    if (mt.pUnk) mt.pUnk->Release();
    mt.pUnk = nullptr;
}

void DeleteMediaTypeBlock(AM_MEDIA_TYPE* mt) {
    if (!mt) return;
    FreeMediaTypeBlock(*mt);
    CoTaskMemFree(mt);
}

// The pin at position index of the filter's pin enumeration.
IPin* PinAt(IBaseFilter* filter, int index) {
    if (!filter) return nullptr;
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins)) || !pins) return nullptr;
    IPin* pin = nullptr;
    pins->Reset();
    if (index > 0) pins->Skip(static_cast<ULONG>(index));
    if (pins->Next(1, &pin, nullptr) != S_OK) pin = nullptr;
    pins->Release();
    return pin;
}

// Row bytes of a DIB of the given width and depth.
int DibStride(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

const int kMaxCandidates = 100;

// The (width, height) of every VideoInfo capability, in capability order.
void CapabilitySizes(IAMStreamConfig* config, std::vector<int>& widths, std::vector<int>& heights) {
    int count = 0, size = 0;
    if (FAILED(config->GetNumberOfCapabilities(&count, &size)) || size != sizeof(VIDEO_STREAM_CONFIG_CAPS)) return;
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE* mt = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps;
        if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || !mt) {
            DeleteMediaTypeBlock(mt);
            continue;
        }
        if (mt->formattype == FORMAT_VideoInfo && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
            const VIDEOINFOHEADER* vih = reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
            widths.push_back(vih->bmiHeader.biWidth);
            heights.push_back(vih->bmiHeader.biHeight);
        }
        DeleteMediaTypeBlock(mt);
    }
}

}  // namespace

int CCameraDS::s_openCount = 0;

// --- devices -------------------------------------------------------------------

bool ReadDeviceProperty(IMoniker* moniker, const wchar_t* name, std::string& value) {
    IPropertyBag* bag = nullptr;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag))) || !bag)
        return false;
    VARIANT var;
    VariantInit(&var);
    bool ok = false;
    if (bag->Read(name, &var, nullptr) == S_OK) {
        if (var.vt == VT_BSTR) {
            value = Charset::WString2String(var.bstrVal ? std::wstring(var.bstrVal, SysStringLen(var.bstrVal))
                                                        : std::wstring());
        } else {
            value.clear();
        }
        ok = true;
    }
    VariantClear(&var);
    bag->Release();
    return ok;
}

int EnumCaptureDevices(REFCLSID category, bool needDevicePath, int wanted, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    HRESULT init = CoInitialize(nullptr);
    ICreateDevEnum* devEnum = nullptr;
    int counted = 0;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                reinterpret_cast<void**>(&devEnum))) ||
        !devEnum) {
        if (SUCCEEDED(init)) CoUninitialize();
        return -1;
    }
    IEnumMoniker* monikers = nullptr;
    // S_FALSE: the category is empty.
    if (devEnum->CreateClassEnumerator(category, &monikers, 0) == S_OK && monikers) {
        monikers->Reset();
        IMoniker* m = nullptr;
        while (monikers->Next(1, &m, nullptr) == S_OK) {
            bool counts = true;
            if (needDevicePath) {
                std::string path;
                counts = ReadDeviceProperty(m, L"DevicePath", path);
            }
            if (counts) {
                if (counted == wanted && moniker) {
                    *moniker = m;
                    m = nullptr;
                }
                ++counted;
            }
            SafeRelease(m);
        }
        monikers->Release();
    }
    devEnum->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return counted;
}

// --- the grabber's callback ------------------------------------------------------

HRESULT STDMETHODCALLTYPE CVideoSampleGrabberCB::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == ZX_IID_ISampleGrabberCB || riid == IID_IUnknown) {
        *ppv = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

CVideoSampleGrabberCB& CVideoSampleGrabberCB::Instance() {
    static CVideoSampleGrabberCB callback;
    return callback;
}

// --- the camera ------------------------------------------------------------------

CCameraDS::CCameraDS()
    : m_frame(nullptr),
      m_frameSize(0),
      m_connected(false),
      m_width(0),
      m_height(0),
      m_graph(nullptr),
      m_device(nullptr),
      m_control(nullptr),
      m_grabberFilter(nullptr),
      m_grabber(nullptr),
      m_grabberIn(nullptr),
      m_grabberOut(nullptr),
      m_cameraOut(nullptr),
      m_event(nullptr),
      m_null(nullptr),
      m_nullIn(nullptr),
      m_counted(false),
      m_comInit(false) {
    InitializeCriticalSection(&m_lock);
    m_comInit = SUCCEEDED(CoInitialize(nullptr));
}

CCameraDS::~CCameraDS() {
    CloseCamera();
    ReleaseGraph();
    if (m_comInit) CoUninitialize();
    DeleteCriticalSection(&m_lock);
}

int CCameraDS::GetCameraCount() { return std::max(0, EnumCaptureDevices(CLSID_VideoInputDeviceCategory, true, -1, nullptr)); }

bool CCameraDS::GetCameraName(int index, char* buffer, int bufferSize) {
    // COM stays up on this thread while the moniker is used.
    HRESULT init = CoInitialize(nullptr);
    IMoniker* moniker = nullptr;
    const int count = EnumCaptureDevices(CLSID_VideoInputDeviceCategory, true, index, &moniker);
    if (!moniker) {
        if (SUCCEEDED(init)) CoUninitialize();
        return count >= 0;
    }
    std::string name;
    if (ReadDeviceProperty(moniker, L"FriendlyName", name) && buffer && bufferSize > 0) {
        size_t n = std::min(name.size(), static_cast<size_t>(bufferSize - 1));
        std::memcpy(buffer, name.data(), n);
        buffer[n] = 0;
    }
    moniker->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    return true;
}

void CCameraDS::ChooseFrameSize(const int* widths, const int* heights, int count, int& width, int& height) {
    count = std::min(count, kMaxCandidates);
    for (int i = 0; i < count; ++i)
        if (widths[i] == width && heights[i] == height) return;
    int best = -1;
    for (int i = 0; i < count; ++i)
        if (best < 0 || std::abs(widths[i] - width) < std::abs(widths[best] - width)) best = i;
    if (best >= 0) {
        width = widths[best];
        height = heights[best];
    }
}

bool CCameraDS::OpenCamera(int index, int width, int height) {
    Lock();
    struct Unlocker {
        CCameraDS* self;
        ~Unlocker() { self->Unlock(); }
    } unlocker{this};

    if (index < 0 || index >= GetCameraCount() || m_connected) return false;
    if (m_counted) {
        // A previous open failed half-way: start again from nothing, under
        // the open this object already holds.
        ReleaseGraph();
    } else {
        m_counted = true;
        if (++s_openCount > 1) return true;
    }

    // 1. Graph, its control and events, the grabber and the null renderer.
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&m_graph))))
        return false;
    if (FAILED(m_graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&m_control)))) return false;
    if (FAILED(m_graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&m_event)))) return false;
    if (FAILED(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&m_grabberFilter))))
        return false;
    if (FAILED(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&m_null))))
        return false;
    if (FAILED(m_graph->AddFilter(m_null, L"NullRenderer"))) return false;

    // 2. The grabber takes RGB24 video.
    if (FAILED(m_grabberFilter->QueryInterface(ZX_IID_ISampleGrabber, reinterpret_cast<void**>(&m_grabber))))
        return false;
    AM_MEDIA_TYPE want;
    std::memset(&want, 0, sizeof(want));
    want.majortype = MEDIATYPE_Video;
    want.subtype = MEDIASUBTYPE_RGB24;
    want.formattype = FORMAT_VideoInfo;
    if (FAILED(m_grabber->SetMediaType(&want))) return false;
    if (FAILED(m_graph->AddFilter(m_grabberFilter, L"Grabber"))) return false;

    // 3. The camera.
    IMoniker* moniker = nullptr;
    EnumCaptureDevices(CLSID_VideoInputDeviceCategory, true, index, &moniker);
    if (!moniker) return false;
    HRESULT hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&m_device));
    moniker->Release();
    if (FAILED(hr) || !m_device) return false;
    if (FAILED(m_graph->AddFilter(m_device, nullptr))) return false;

    // 4. Pins.
    m_cameraOut = PinAt(m_device, 0);
    m_grabberIn = PinAt(m_grabberFilter, 0);
    m_grabberOut = PinAt(m_grabberFilter, 1);
    m_nullIn = PinAt(m_null, 0);
    if (!m_cameraOut || !m_grabberIn || !m_grabberOut || !m_nullIn) return false;

    // 5. A crossbar upstream: composite video in, video decoder out.
    ICaptureGraphBuilder2* builder = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICaptureGraphBuilder2, reinterpret_cast<void**>(&builder)))) {
        builder->SetFiltergraph(m_graph);
        IAMCrossbar* crossbar = nullptr;
        if (SUCCEEDED(builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, m_device, IID_IAMCrossbar,
                                             reinterpret_cast<void**>(&crossbar))) &&
            crossbar) {
            long outputs = 0, inputs = 0;
            crossbar->get_PinCounts(&outputs, &inputs);
            long in = 0, out = 0;
            for (long i = 0; i < inputs; ++i) {
                long related = 0, type = 0;
                if (SUCCEEDED(crossbar->get_CrossbarPinInfo(TRUE, i, &related, &type)) && type == PhysConn_Video_Composite) {
                    in = i;
                    break;
                }
            }
            for (long i = 0; i < outputs; ++i) {
                long related = 0, type = 0;
                if (SUCCEEDED(crossbar->get_CrossbarPinInfo(FALSE, i, &related, &type)) &&
                    type == PhysConn_Video_VideoDecoder) {
                    out = i;
                    break;
                }
            }
            if (crossbar->CanRoute(out, in) == S_OK) crossbar->Route(out, in);
            crossbar->Release();
        }
        builder->Release();
    }

    // 6. to 8. The frame size.
    IAMStreamConfig* config = nullptr;
    if (FAILED(m_cameraOut->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config))) || !config)
        return false;
    AM_MEDIA_TYPE* current = nullptr;
    if (config->GetFormat(&current) != S_OK || !current) {
        DeleteMediaTypeBlock(current);
        config->Release();
        return false;
    }
    std::vector<int> widths, heights;
    CapabilitySizes(config, widths, heights);
    ChooseFrameSize(widths.data(), heights.data(), static_cast<int>(widths.size()), width, height);
    m_width = width;
    m_height = height;
    bool formatOk = true;
    if (current->formattype == FORMAT_VideoInfo && current->pbFormat && current->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        BITMAPINFOHEADER& bmi = reinterpret_cast<VIDEOINFOHEADER*>(current->pbFormat)->bmiHeader;
        bmi.biWidth = width;
        bmi.biHeight = height;
        bmi.biSizeImage = static_cast<DWORD>(DibStride(width, bmi.biBitCount) * std::abs(height));
        current->lSampleSize = bmi.biSizeImage;
        formatOk = config->SetFormat(current) == S_OK;
    }
    DeleteMediaTypeBlock(current);
    config->Release();
    if (!formatOk) return false;

    // 9. Camera -> grabber -> null renderer; the renderer only keeps the
    // graph running, so its connection may fail.
    if (FAILED(m_graph->Connect(m_cameraOut, m_grabberIn))) return false;
    m_graph->Connect(m_grabberOut, m_nullIn);

    // A live source paces itself: the samples are rendered as they come,
    // without a reference clock. (This also keeps Wine 8's system clock out
    // of the graph: its advise thread can miss the wake-up at release when
    // it was started just before, and the graph's release then never
    // returns.)
    IMediaFilter* mediaFilter = nullptr;
    if (SUCCEEDED(m_graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mediaFilter))) && mediaFilter) {
        mediaFilter->SetSyncSource(nullptr);
        mediaFilter->Release();
    }

    // 10. The grabber keeps the newest sample.
    m_grabber->SetBufferSamples(TRUE);
    m_grabber->SetOneShot(FALSE);
    m_grabber->SetCallback(&CVideoSampleGrabberCB::Instance(), 1);

    // 11.
    AM_MEDIA_TYPE connected;
    std::memset(&connected, 0, sizeof(connected));
    if (FAILED(m_grabber->GetConnectedMediaType(&connected))) return false;
    FreeMediaTypeBlock(connected);

    m_connected = true;
    return true;
}

int CCameraDS::StartCapture() {
    Lock();
    int result = 0;
    if (m_control && FAILED(m_control->Run())) result = -1;
    Unlock();
    return result;
}

int CCameraDS::StopCapture() {
    Lock();
    int result = 0;
    if (m_control && FAILED(m_control->Stop())) result = -1;
    Unlock();
    return result;
}

void CCameraDS::ReleaseGraph() {
    if (m_cameraOut) m_cameraOut->Disconnect();
    if (m_control) m_control->Stop();
    // The grabber must not call back into a graph that is being released.
    if (m_grabber) m_grabber->SetCallback(nullptr, 1);
    SafeRelease(m_nullIn);
    SafeRelease(m_null);
    SafeRelease(m_event);
    SafeRelease(m_grabberOut);
    SafeRelease(m_grabberIn);
    SafeRelease(m_cameraOut);
    SafeRelease(m_grabber);
    SafeRelease(m_grabberFilter);
    SafeRelease(m_control);
    SafeRelease(m_device);
    SafeRelease(m_graph);
    std::free(m_frame);
    m_frame = nullptr;
    m_frameSize = 0;
    m_connected = false;
    m_width = m_height = 0;
}

void CCameraDS::CloseCamera() {
    Lock();
    // Only an object that holds an open gives it back, so a close of a
    // closed object never moves the process-wide count.
    if (m_counted) {
        m_counted = false;
        if (--s_openCount < 1) {
            s_openCount = 0;
            ReleaseGraph();
        }
    }
    Unlock();
}

BYTE* CCameraDS::QueryFrame(int& size) {
    Lock();
    size = 0;
    BYTE* result = m_frame;
    if (m_connected && m_grabber) {
        long bytes = 0;
        if (SUCCEEDED(m_grabber->GetCurrentBuffer(&bytes, nullptr)) && bytes > 0) {
            if (bytes != m_frameSize) {
                std::free(m_frame);
                m_frame = static_cast<BYTE*>(std::malloc(static_cast<size_t>(bytes)));
                m_frameSize = m_frame ? static_cast<int>(bytes) : 0;
            }
            if (m_frame && SUCCEEDED(m_grabber->GetCurrentBuffer(&bytes, reinterpret_cast<long*>(m_frame)))) {
                size = std::min(static_cast<int>(bytes), m_frameSize);
            }
        }
        result = m_frame;
    }
    Unlock();
    return result;
}

void CCameraDS::GetFrameSizes(std::string& out) {
    Lock();
    if (m_connected && m_cameraOut) {
        IAMStreamConfig* config = nullptr;
        if (SUCCEEDED(m_cameraOut->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config))) && config) {
            std::vector<int> widths, heights;
            CapabilitySizes(config, widths, heights);
            for (size_t i = 0; i < widths.size(); ++i) {
                if (!out.empty()) out += "|";
                out += SizeText::Format(widths[i], heights[i]);
            }
            config->Release();
        }
    }
    Unlock();
}

bool CCameraDS::ShowPropertyPage(HWND owner, int index) {
    if (!owner) return false;
    IBaseFilter* filter = nullptr;
    Lock();
    if (m_device) {
        filter = m_device;
        filter->AddRef();
    }
    Unlock();
    if (!filter) {
        IMoniker* moniker = nullptr;
        EnumCaptureDevices(CLSID_VideoInputDeviceCategory, true, index, &moniker);
        if (!moniker) return false;
        moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&filter));
        moniker->Release();
        if (!filter) return false;
    }
    bool shown = false;
    ISpecifyPropertyPages* pages = nullptr;
    if (SUCCEEDED(filter->QueryInterface(IID_ISpecifyPropertyPages, reinterpret_cast<void**>(&pages))) && pages) {
        CAUUID uuids = {0, nullptr};
        // A driver that names no page gets no empty frame.
        if (SUCCEEDED(pages->GetPages(&uuids)) && uuids.cElems > 0) {
            IUnknown* unknown = filter;
            shown = SUCCEEDED(
                OleCreatePropertyFrame(owner, 30, 30, nullptr, 1, &unknown, uuids.cElems, uuids.pElems, 0, 0, nullptr));
        }
        CoTaskMemFree(uuids.pElems);
        pages->Release();
    }
    filter->Release();
    return shown;
}
