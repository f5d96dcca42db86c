// A careless or hostile client: the filter from ZxCamSrc.dll's class factory connected straight
// to a pin whose samples end at a guard page (a write past a buffer kills this process).
// Usage: ZxHostileClient DLL CASE; exit 0 when the filter behaved, else 1 and a line on stderr.
//   sizes:<lSampleSize>:<biSizeImage>  a complete 640 x 480 RGB24 type with
//       these sizes: refused, or every sample exactly the picture's size
//   setformat-running     SetFormat while running: refused, nothing changes
//   setformat-refused     SetFormat to a type the peer refuses in QueryAccept
//   setformat-reconnect   ... that the peer accepts but does not connect with
//   stop-callback         Stop while the receiving pin calls back into ours
//   release-connected     the last Release of a camera still connected lets go of the pin
//                         and its allocator
#include <windows.h>

#include <dshow.h>
#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VCamFormats.h"
#include "VCamGuids.h"

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

// A sample whose buffer ends where a no-access page begins.
class GuardSample : public IMediaSample {
public:
    GuardSample(IMemAllocator* owner, long size) : m_owner(owner), m_size(size) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        const SIZE_T page = info.dwPageSize;
        const SIZE_T body = (static_cast<SIZE_T>(size) + page - 1) / page * page;
        m_base = static_cast<BYTE*>(VirtualAlloc(nullptr, body + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old = 0;
        if (m_base) VirtualProtect(m_base + body, page, PAGE_NOACCESS, &old);
        m_data = m_base ? m_base + body - size : nullptr;
    }
    ~GuardSample() {
        if (m_base) VirtualFree(m_base, 0, MEM_RELEASE);
    }
    std::atomic<LONG> refs{0};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IMediaSample) {
            *ppv = static_cast<IMediaSample*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = --refs;
        if (left == 0) m_owner->ReleaseBuffer(this);
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** p) override {
        *p = m_data;
        return m_data ? S_OK : E_OUTOFMEMORY;
    }
    long STDMETHODCALLTYPE GetSize() override { return m_size; }
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        *s = m_start;
        *e = m_end;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetTime(REFERENCE_TIME* s, REFERENCE_TIME* e) override {
        if (s) m_start = *s;
        if (e) m_end = *e;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsSyncPoint() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetSyncPoint(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsPreroll() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetPreroll(BOOL) override { return S_OK; }
    long STDMETHODCALLTYPE GetActualDataLength() override { return m_length; }
    HRESULT STDMETHODCALLTYPE SetActualDataLength(long n) override {
        if (n < 0 || n > m_size) return VFW_E_BUFFER_OVERFLOW;
        m_length = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMediaType(AM_MEDIA_TYPE** mt) override {
        *mt = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDiscontinuity() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE SetDiscontinuity(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetMediaTime(LONGLONG*, LONGLONG*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    HRESULT STDMETHODCALLTYPE SetMediaTime(LONGLONG*, LONGLONG*) override { return S_OK; }

private:
    IMemAllocator* m_owner;
    long m_size;
    BYTE* m_base = nullptr;
    BYTE* m_data = nullptr;
    long m_length = 0;
    REFERENCE_TIME m_start = 0, m_end = 0;
};

// Hands out guard samples of exactly the size the filter asked for.
class GuardAllocator : public IMemAllocator {
public:
    std::atomic<LONG> refs{0};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IMemAllocator) {
            *ppv = static_cast<IMemAllocator*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override {
        if (request->cbBuffer <= 0) return E_INVALIDARG;
        m_props = *request;
        m_props.cBuffers = 2;
        m_props.cbAlign = 1;
        m_props.cbPrefix = 0;
        *actual = m_props;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetProperties(ALLOCATOR_PROPERTIES* p) override {
        *p = m_props;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Commit() override {
        EnterCriticalSection(&m_lock);
        if (m_samples.empty()) {
            for (int i = 0; i < m_props.cBuffers; ++i) m_samples.push_back(new GuardSample(this, m_props.cbBuffer));
        }
        m_committed = true;
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Decommit() override {
        EnterCriticalSection(&m_lock);
        m_committed = false;
        WakeAllConditionVariable(&m_freed);
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBuffer(IMediaSample** out, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) override {
        *out = nullptr;
        EnterCriticalSection(&m_lock);
        for (;;) {
            if (!m_committed) break;
            for (GuardSample* s : m_samples) {
                if (s->refs == 0) {
                    s->refs = 1;
                    *out = s;
                    break;
                }
            }
            if (*out) break;
            SleepConditionVariableCS(&m_freed, &m_lock, INFINITE);
        }
        LeaveCriticalSection(&m_lock);
        return *out ? S_OK : VFW_E_NOT_COMMITTED;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(IMediaSample*) override {
        EnterCriticalSection(&m_lock);
        WakeAllConditionVariable(&m_freed);
        LeaveCriticalSection(&m_lock);
        return S_OK;
    }
    GuardAllocator() {
        InitializeCriticalSection(&m_lock);
        InitializeConditionVariable(&m_freed);
    }
    ALLOCATOR_PROPERTIES m_props = {};

private:
    CRITICAL_SECTION m_lock;
    CONDITION_VARIABLE m_freed;
    std::vector<GuardSample*> m_samples;
    bool m_committed = false;
};

LONG WidthOf(const AM_MEDIA_TYPE* mt) {
    const VIDEOINFOHEADER* vih = VCamVideoInfo(*mt);
    return vih ? vih->bmiHeader.biWidth : 0;
}

// The receiving pin: counts samples and checks each one's length against the picture of its connection type.
class SinkPin : public IPin, public IMemInputPin {
public:
    std::atomic<LONG> refs{0};
    GuardAllocator allocator;
    IPin* source = nullptr;  // our filter's pin, not referenced
    LONG refuseAccept = 0;   // width QueryAccept refuses
    LONG refuseConnect = 0;  // width ReceiveConnection refuses
    std::atomic<int> samples{0}, badSamples{0};
    HANDLE firstSample = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Stop-callback case: the next Receive waits for stopping, then calls
    // back into the source pin and records that it came back.
    HANDLE inCallBack = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE stopping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> callBack{false}, calledBack{false};
    AM_MEDIA_TYPE type = {};
    IPin* connected = nullptr;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IPin) {
            *ppv = static_cast<IPin*>(this);
        } else if (riid == IID_IMemInputPin) {
            *ppv = static_cast<IMemInputPin*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* from, const AM_MEDIA_TYPE* mt) override {
        if (connected) return VFW_E_ALREADY_CONNECTED;
        if (QueryAccept(mt) != S_OK || WidthOf(mt) == refuseConnect) return VFW_E_TYPE_NOT_ACCEPTED;
        connected = from;
        from->AddRef();
        CopyMediaType(&type, mt);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Disconnect() override {
        if (!connected) return S_FALSE;
        connected->Release();
        connected = nullptr;
        FreeMediaType(type);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** p) override {
        *p = connected;
        if (!connected) return VFW_E_NOT_CONNECTED;
        connected->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override { return CopyMediaType(mt, &type); }
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override {
        std::memset(info, 0, sizeof(*info));
        info->dir = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* d) override {
        *d = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override {
        return mt->majortype == MEDIATYPE_Video && WidthOf(mt) != refuseAccept ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOfStream() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE BeginFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndFlush() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return S_OK; }
    // IMemInputPin
    HRESULT STDMETHODCALLTYPE GetAllocator(IMemAllocator** a) override {
        *a = &allocator;
        allocator.AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE NotifyAllocator(IMemAllocator*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Receive(IMediaSample* sample) override {
        VCamPixels pixels = VCamPixels::Rgb24;
        const int code = VCamDeliverableCode(type, &pixels);
        if (code == 0 || sample->GetActualDataLength() != static_cast<long>(VCamPictureBytes(pixels, code))) ++badSamples;
        ++samples;
        SetEvent(firstSample);
        if (callBack.exchange(false)) {
            SetEvent(inCallBack);
            WaitForSingleObject(stopping, INFINITE);
            // Give the stop time to take its locks before calling back.
            Sleep(200);
            AM_MEDIA_TYPE mt = {};
            source->QueryAccept(&type);
            if (SUCCEEDED(source->ConnectionMediaType(&mt))) FreeMediaType(mt);
            IPin* peer = nullptr;
            if (SUCCEEDED(source->ConnectedTo(&peer))) peer->Release();
            calledBack = true;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveMultiple(IMediaSample** s, long n, long* done) override {
        for (*done = 0; *done < n; ++*done) Receive(s[*done]);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReceiveCanBlock() override { return S_OK; }
};

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);

// The camera's output pin in out, its filter in filter.
HRESULT MakeCamera(const wchar_t* dll, IBaseFilter** filter, IPin** out) {
    HMODULE module = LoadLibraryW(dll);
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    auto get = reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    HRESULT hr = get ? get(CLSID_ZXVCam, IID_IClassFactory, reinterpret_cast<void**>(&factory)) : E_FAIL;
    if (FAILED(hr)) return hr;
    hr = factory->CreateInstance(nullptr, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    factory->Release();
    if (FAILED(hr)) return hr;
    IEnumPins* pins = nullptr;
    hr = (*filter)->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    hr = pins->Next(1, out, nullptr);
    pins->Release();
    return hr == S_OK ? S_OK : E_FAIL;
}

bool WaitSamples(SinkPin& sink, int count) {
    for (int i = 0; i < 1000 && sink.samples < count; ++i) Sleep(10);
    return sink.samples >= count;
}

// The connection type and the configured type are both width w.
bool TypeIs(IPin* pin, IAMStreamConfig* config, LONG w) {
    AM_MEDIA_TYPE mt = {};
    AM_MEDIA_TYPE* chosen = nullptr;
    const bool ok = SUCCEEDED(pin->ConnectionMediaType(&mt)) && WidthOf(&mt) == w &&
                    SUCCEEDED(config->GetFormat(&chosen)) && WidthOf(chosen) == w;
    FreeMediaType(mt);
    if (chosen) DeleteMediaType(chosen);
    return ok;
}

int Run(const wchar_t* dll, const std::string& which) {
    SinkPin sink;
    sink.AddRef();
    IBaseFilter* filter = nullptr;
    IPin* out = nullptr;
    if (FAILED(MakeCamera(dll, &filter, &out))) return Fail("the filter was not made");
    sink.source = out;
    IAMStreamConfig* config = nullptr;
    out->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(&config));
    CMediaType mt;
    VCamMakeMediaType(VCamPixels::Rgb24, 8, kVCamFrameTime, &mt);

    if (which.rfind("sizes:", 0) == 0) {
        unsigned long sampleSize = 0, imageSize = 0;
        std::sscanf(which.c_str(), "sizes:%lu:%lu", &sampleSize, &imageSize);
        mt.lSampleSize = sampleSize;
        reinterpret_cast<VIDEOINFOHEADER*>(mt.pbFormat)->bmiHeader.biSizeImage = imageSize;
        const HRESULT hr = out->Connect(&sink, &mt);
        std::printf("connect 0x%08lx\n", static_cast<unsigned long>(hr));
        if (FAILED(hr)) return 0;  // refused: nothing more to check
        if (sink.allocator.m_props.cbBuffer != 921600) return Fail("the buffers are not the picture's size");
        filter->Run(0);
        const bool got = WaitSamples(sink, 5);
        filter->Stop();
        if (!got) return Fail("no samples");
        if (sink.badSamples) return Fail("samples of the wrong length");
    } else {
        if (FAILED(out->Connect(&sink, &mt))) return Fail("the plain type did not connect");
        CMediaType small;
        VCamMakeMediaType(VCamPixels::Rgb24, 4, kVCamFrameTime, &small);
        if (which == "setformat-running") {
            filter->Run(0);
            if (!WaitSamples(sink, 2)) return Fail("no samples");
            if (config->SetFormat(&small) != VFW_E_NOT_STOPPED) return Fail("SetFormat while running was taken");
            if (!TypeIs(out, config, 640)) return Fail("the type changed while running");
            const int before = sink.samples;
            if (!WaitSamples(sink, before + 3)) return Fail("no more samples");
            filter->Stop();
            if (sink.badSamples) return Fail("samples of the wrong length");
        } else if (which == "setformat-refused" || which == "setformat-reconnect") {
            (which == "setformat-refused" ? sink.refuseAccept : sink.refuseConnect) = 320;
            if (SUCCEEDED(config->SetFormat(&small))) return Fail("SetFormat succeeded with a refused type");
            if (!TypeIs(out, config, 640)) return Fail("the previous type did not stay");
            if (!sink.connected) return Fail("the pins are no longer connected");
            sink.refuseAccept = sink.refuseConnect = 0;
            if (config->SetFormat(&small) != S_OK || !TypeIs(out, config, 320)) return Fail("an accepted type failed");
        } else if (which == "stop-callback") {
            filter->Run(0);
            if (!WaitSamples(sink, 1)) return Fail("no samples");
            sink.callBack = true;
            WaitForSingleObject(sink.inCallBack, INFINITE);
            SetEvent(sink.stopping);
            if (FAILED(filter->Stop())) return Fail("Stop failed");
            if (!sink.calledBack) return Fail("Stop returned before the receiving pin's call came back");
        } else if (which == "release-connected") {
            if (sink.refs <= 1 || sink.allocator.refs == 0) return Fail("the connection holds nothing");
            // The receiving side goes away without disconnecting (its
            // filter was destroyed), then the client lets go of the camera.
            sink.connected->Release();
            sink.connected = nullptr;
            config->Release();
            out->Release();
            filter->Release();
            // The filter is gone: nothing of the sink is held any more.
            if (sink.refs != 1) return Fail("the receiving pin is still held");
            if (sink.allocator.refs != 0) return Fail("the allocator is still held");
            return 0;
        } else {
            return Fail("unknown case");
        }
    }
    if (config) config->Release();
    out->Disconnect();
    sink.Disconnect();
    out->Release();
    filter->Release();
    return 0;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) return Fail("usage: ZxHostileClient DLL CASE");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    char which[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, which, sizeof(which) - 1, nullptr, nullptr);
    const int result = Run(argv[1], which);
    std::fflush(stdout);
    // No clean-up of COM: the case's verdict is in, and the process ends.
    ExitProcess(static_cast<UINT>(result));
}
