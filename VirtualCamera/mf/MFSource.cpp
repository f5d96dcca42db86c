#include "MFSource.h"

#include <mferror.h>

#include <new>
#include <vector>

#include "MFGuids.h"

namespace {

LONG g_objects = 0;

template <class T>
void SafeRelease(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

// What a camera without a property set, method set or event set answers.
const HRESULT kKsNotFound = HRESULT_FROM_WIN32(ERROR_SET_NOT_FOUND);

// The event-generator calls of the source and of the stream: once the owner
// is shut down they answer MF_E_SHUTDOWN; else they go to the owner's queue
// under the owner's lock, except GetEvent, which may wait for an event and
// so waits outside it.
template <class Call>
HRESULT OnQueue(std::mutex& lock, const bool& shutdown, IMFMediaEventQueue* queue, Call call) {
    std::lock_guard<std::mutex> guard(lock);
    if (shutdown) return MF_E_SHUTDOWN;
    return call(queue);
}

HRESULT WaitOnQueue(std::mutex& lock, const bool& shutdown, IMFMediaEventQueue* queue, DWORD flags,
                    IMFMediaEvent** event) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (shutdown) return MF_E_SHUTDOWN;
        queue->AddRef();
    }
    const HRESULT hr = queue->GetEvent(flags, event);
    queue->Release();
    return hr;
}

}  // namespace

void ZxMFObjectCreated() { InterlockedIncrement(&g_objects); }
void ZxMFObjectDestroyed() { InterlockedDecrement(&g_objects); }
LONG ZxMFObjectCount() { return InterlockedCompareExchange(&g_objects, 0, 0); }

// ---------------------------------------------------------------- stream

CZxMFStream::CZxMFStream(CZxMFSource* source, IMFStreamDescriptor* descriptor, HRESULT& hr)
    : m_source(source), m_descriptor(descriptor) {
    ZxMFObjectCreated();
    m_source->AddRef();
    m_descriptor->AddRef();
    hr = MFCreateEventQueue(&m_queue);
}

CZxMFStream::~CZxMFStream() {
    // Shutdown has ended the worker and dropped every reference; a stream
    // released without it (its source failed to build) does the same here.
    StopWorker();
    for (IUnknown* token : m_tokens) {
        if (token) token->Release();
    }
    if (m_queue) m_queue->Shutdown();
    SafeRelease(m_queue);
    SafeRelease(m_descriptor);
    SafeRelease(m_source);
    ZxMFObjectDestroyed();
}

STDMETHODIMP CZxMFStream::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMFMediaEventGenerator || riid == IID_IMFMediaStream ||
        riid == IID_IZxMediaStream2) {
        *ppv = static_cast<IZxMediaStream2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CZxMFStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

STDMETHODIMP_(ULONG) CZxMFStream::Release() {
    const LONG n = InterlockedDecrement(&m_ref);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP CZxMFStream::GetEvent(DWORD flags, IMFMediaEvent** event) {
    return WaitOnQueue(m_lock, m_shutdown, m_queue, flags, event);
}

STDMETHODIMP CZxMFStream::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
    return OnQueue(m_lock, m_shutdown, m_queue, [&](IMFMediaEventQueue* q) { return q->BeginGetEvent(callback, state); });
}

STDMETHODIMP CZxMFStream::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
    return OnQueue(m_lock, m_shutdown, m_queue, [&](IMFMediaEventQueue* q) { return q->EndGetEvent(result, event); });
}

STDMETHODIMP CZxMFStream::QueueEvent(MediaEventType type, REFGUID extended, HRESULT status, const PROPVARIANT* value) {
    return OnQueue(m_lock, m_shutdown, m_queue,
                   [&](IMFMediaEventQueue* q) { return q->QueueEventParamVar(type, extended, status, value); });
}

STDMETHODIMP CZxMFStream::GetMediaSource(IMFMediaSource** source) {
    if (!source) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    *source = static_cast<IMFMediaSourceEx*>(m_source);
    (*source)->AddRef();
    return S_OK;
}

STDMETHODIMP CZxMFStream::GetStreamDescriptor(IMFStreamDescriptor** descriptor) {
    if (!descriptor) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    *descriptor = m_descriptor;
    m_descriptor->AddRef();
    return S_OK;
}

STDMETHODIMP CZxMFStream::RequestSample(IUnknown* token) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    if (!m_started) return MF_E_MEDIA_SOURCE_WRONGSTATE;
    // Requests wait in order; a slow client never makes the camera buffer
    // more than it asked for.
    if (token) token->AddRef();
    m_tokens.push_back(token);
    m_wake.notify_all();
    return S_OK;
}

STDMETHODIMP CZxMFStream::SetStreamState(MF_STREAM_STATE state) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_shutdown) return MF_E_SHUTDOWN;
        if (state == m_state) return S_OK;
    }
    switch (state) {
        case MF_STREAM_STATE_RUNNING: {
            PROPVARIANT now;
            PropVariantInit(&now);
            return Start(&now);
        }
        case MF_STREAM_STATE_STOPPED: return Stop();
        default: return MF_E_INVALID_STATE_TRANSITION;  // a live camera does not pause
    }
}

STDMETHODIMP CZxMFStream::GetStreamState(MF_STREAM_STATE* state) {
    if (!state) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    *state = m_state;
    return S_OK;
}

HRESULT CZxMFStream::Start(const PROPVARIANT* position) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    m_started = true;
    m_state = MF_STREAM_STATE_RUNNING;
    m_haveSlot = false;
    if (!m_worker.joinable()) {
        m_endWorker = false;
        try {
            m_worker = std::thread([this] { Deliver(); });
        } catch (...) {
            m_started = false;
            m_state = MF_STREAM_STATE_STOPPED;
            return E_OUTOFMEMORY;
        }
    }
    return m_queue->QueueEventParamVar(MEStreamStarted, GUID_NULL, S_OK, position);
}

HRESULT CZxMFStream::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_shutdown) return MF_E_SHUTDOWN;
        m_started = false;
        m_state = MF_STREAM_STATE_STOPPED;
        // Requests not answered are dropped: a stopped stream owes nothing.
        for (IUnknown* token : m_tokens) {
            if (token) token->Release();
        }
        m_tokens.clear();
    }
    StopWorker();
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    return m_queue->QueueEventParamVar(MEStreamStopped, GUID_NULL, S_OK, nullptr);
}

void CZxMFStream::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_shutdown) return;
        m_shutdown = true;
        m_started = false;
    }
    StopWorker();
    CZxMFSource* source = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (IUnknown* token : m_tokens) {
            if (token) token->Release();
        }
        m_tokens.clear();
        if (m_queue) m_queue->Shutdown();
        source = m_source;
        m_source = nullptr;
    }
    // The source's reference goes last, outside the lock (it may be the
    // last one).
    if (source) source->Release();
}

void CZxMFStream::StopWorker() {
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_endWorker = true;
        m_wake.notify_all();
        worker = std::move(m_worker);
    }
    if (!worker.joinable()) return;
    if (worker.get_id() == std::this_thread::get_id()) {
        // Only a client's callback on the worker itself can get here; the
        // thread ends on its own once it returns.
        worker.detach();
    } else {
        worker.join();
    }
}

bool CZxMFStream::WaitUntil(std::unique_lock<std::mutex>& lock, LONGLONG target) {
    for (;;) {
        if (m_endWorker) return false;
        const LONGLONG now = MFGetSystemTime();
        if (now >= target) return true;
        const LONGLONG ms = (target - now + 9999) / 10000;
        m_wake.wait_for(lock, std::chrono::milliseconds(ms));
    }
}

void CZxMFStream::Deliver() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_endWorker || !m_tokens.empty(); });
        if (m_endWorker) return;
        // One sample per 50 ms slot: the grid continues from the last
        // sample, and starts again from now when the client fell behind by
        // more than a slot (no burst to catch up).
        const LONGLONG now = MFGetSystemTime();
        if (!m_haveSlot || now > m_nextSlot + kMFFrameTime) m_nextSlot = now;
        m_haveSlot = true;
        if (!WaitUntil(lock, m_nextSlot)) return;
        m_nextSlot += kMFFrameTime;

        // The type is read at every sample: a client may change it while the
        // stream runs.
        IMFMediaTypeHandler* handler = nullptr;
        IMFMediaType* type = nullptr;
        MFVideoFormat format;
        bool usable = SUCCEEDED(m_descriptor->GetMediaTypeHandler(&handler)) &&
                      SUCCEEDED(handler->GetCurrentMediaType(&type)) && MFFormatOf(type, format);
        SafeRelease(type);
        SafeRelease(handler);
        if (!usable) format = MFFormatAt(0);

        lock.unlock();
        // A frame of the program not yet sent may be a few milliseconds
        // away: wait for it up to half a slot, so a client at the program's
        // rate gets every frame rather than one twice and the next never.
        m_frames.WaitForNewFrame(static_cast<DWORD>(kMFFrameTime / 20000));
        const LONGLONG stamp = MFGetSystemTime();
        IMFSample* sample = nullptr;
        IMFMediaBuffer* buffer = nullptr;
        HRESULT hr = MFCreateMemoryBuffer(format.Bytes(), &buffer);
        BYTE* data = nullptr;
        if (SUCCEEDED(hr)) hr = buffer->Lock(&data, nullptr, nullptr);
        if (SUCCEEDED(hr)) {
            // The picture is made straight into the sample's memory.
            CMFFrames::Taken taken;
            const bool filled = m_frames.Fill(format, data, taken);
            buffer->Unlock();
            hr = filled ? buffer->SetCurrentLength(format.Bytes()) : E_FAIL;
        }
        if (SUCCEEDED(hr)) hr = MFCreateSample(&sample);
        if (SUCCEEDED(hr)) hr = sample->AddBuffer(buffer);
        if (SUCCEEDED(hr)) hr = sample->SetSampleTime(stamp);
        if (SUCCEEDED(hr)) hr = sample->SetSampleDuration(kMFFrameTime);
        if (SUCCEEDED(hr)) hr = sample->SetUINT32(MFSampleExtension_CleanPoint, TRUE);
        SafeRelease(buffer);
        lock.lock();

        if (m_endWorker || !m_started || m_tokens.empty()) {
            // Stopped (or the request withdrawn) meanwhile: nobody wants it.
            SafeRelease(sample);
            continue;
        }
        IUnknown* token = m_tokens.front();
        m_tokens.pop_front();
        if (SUCCEEDED(hr) && token) hr = sample->SetUnknown(MFSampleExtension_Token, token);
        if (SUCCEEDED(hr)) {
            m_queue->QueueEventParamUnk(MEMediaSample, GUID_NULL, S_OK, sample);
        } else {
            // A sample that could not be made is reported as the stream's
            // error rather than left unanswered.
            m_queue->QueueEventParamVar(MEError, GUID_NULL, hr, nullptr);
        }
        if (token) token->Release();
        SafeRelease(sample);
    }
}

// ---------------------------------------------------------------- source

HRESULT CZxMFSource::Create(CZxMFSource** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    CZxMFSource* source = new (std::nothrow) CZxMFSource();
    if (!source) return E_OUTOFMEMORY;
    ZxMFObjectCreated();
    const HRESULT hr = source->Init();
    if (FAILED(hr)) {
        source->Shutdown();
        source->Release();
        return hr;
    }
    *out = source;
    return S_OK;
}

HRESULT CZxMFSource::Init() {
    // Only descriptions here: no thread, no channel, no picture until Start.
    HRESULT hr = MFCreateEventQueue(&m_queue);
    std::vector<IMFMediaType*> types;
    for (int i = 0; SUCCEEDED(hr) && i < kMFFormatCount; ++i) {
        IMFMediaType* type = nullptr;
        hr = MFMakeMediaType(MFFormatAt(i), &type);
        if (SUCCEEDED(hr)) types.push_back(type);
    }
    IMFStreamDescriptor* descriptor = nullptr;
    if (SUCCEEDED(hr)) hr = MFCreateStreamDescriptor(0, static_cast<DWORD>(types.size()), types.data(), &descriptor);
    IMFMediaTypeHandler* handler = nullptr;
    if (SUCCEEDED(hr)) hr = descriptor->GetMediaTypeHandler(&handler);
    if (SUCCEEDED(hr)) hr = handler->SetCurrentMediaType(types[0]);
    SafeRelease(handler);
    for (IMFMediaType* type : types) type->Release();
    // What the Frame Server looks for on a camera's stream: a capture pin,
    // stream 0, shared between clients, colour frames.
    if (SUCCEEDED(hr)) hr = MFCreateAttributes(&m_streamAttributes, 4);
    IMFAttributes* sets[] = {m_streamAttributes, descriptor};
    for (IMFAttributes* a : sets) {
        if (SUCCEEDED(hr)) hr = a->SetGUID(ZX_MF_DEVICESTREAM_STREAM_CATEGORY, ZX_PINNAME_VIDEO_CAPTURE);
        if (SUCCEEDED(hr)) hr = a->SetUINT32(ZX_MF_DEVICESTREAM_STREAM_ID, 0);
        if (SUCCEEDED(hr)) hr = a->SetUINT32(ZX_MF_DEVICESTREAM_FRAMESERVER_SHARED, 1);
        if (SUCCEEDED(hr)) hr = a->SetUINT32(ZX_MF_DEVICESTREAM_ATTRIBUTE_FRAMESOURCE_TYPES, kZxFrameSourceColor);
    }
    if (SUCCEEDED(hr)) hr = MFCreateAttributes(&m_sourceAttributes, 1);
    if (SUCCEEDED(hr)) hr = m_sourceAttributes->SetString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, kZxCamMFName);
    if (SUCCEEDED(hr)) hr = MFCreatePresentationDescriptor(1, &descriptor, &m_presentation);
    if (SUCCEEDED(hr)) hr = m_presentation->SelectStream(0);
    if (SUCCEEDED(hr)) {
        m_stream = new (std::nothrow) CZxMFStream(this, descriptor, hr);
        if (!m_stream) hr = E_OUTOFMEMORY;
    }
    SafeRelease(descriptor);
    return hr;
}

CZxMFSource::~CZxMFSource() {
    SafeRelease(m_queue);
    SafeRelease(m_presentation);
    SafeRelease(m_sourceAttributes);
    SafeRelease(m_streamAttributes);
    ZxMFObjectDestroyed();
}

STDMETHODIMP CZxMFSource::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMFMediaEventGenerator || riid == IID_IMFMediaSource ||
        riid == IID_IMFMediaSourceEx) {
        *ppv = static_cast<IMFMediaSourceEx*>(this);
    } else if (riid == IID_IMFGetService) {
        *ppv = static_cast<IMFGetService*>(this);
    } else if (riid == ZX_IID_IKsControl) {
        *ppv = static_cast<IKsControl*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CZxMFSource::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

STDMETHODIMP_(ULONG) CZxMFSource::Release() {
    const LONG n = InterlockedDecrement(&m_ref);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP CZxMFSource::GetEvent(DWORD flags, IMFMediaEvent** event) {
    return WaitOnQueue(m_lock, m_shutdown, m_queue, flags, event);
}

STDMETHODIMP CZxMFSource::BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) {
    return OnQueue(m_lock, m_shutdown, m_queue, [&](IMFMediaEventQueue* q) { return q->BeginGetEvent(callback, state); });
}

STDMETHODIMP CZxMFSource::EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) {
    return OnQueue(m_lock, m_shutdown, m_queue, [&](IMFMediaEventQueue* q) { return q->EndGetEvent(result, event); });
}

STDMETHODIMP CZxMFSource::QueueEvent(MediaEventType type, REFGUID extended, HRESULT status, const PROPVARIANT* value) {
    return OnQueue(m_lock, m_shutdown, m_queue,
                   [&](IMFMediaEventQueue* q) { return q->QueueEventParamVar(type, extended, status, value); });
}

STDMETHODIMP CZxMFSource::GetCharacteristics(DWORD* characteristics) {
    if (!characteristics) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    *characteristics = MFMEDIASOURCE_IS_LIVE;
    return S_OK;
}

STDMETHODIMP CZxMFSource::CreatePresentationDescriptor(IMFPresentationDescriptor** descriptor) {
    if (!descriptor) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    return m_presentation->Clone(descriptor);
}

STDMETHODIMP CZxMFSource::Start(IMFPresentationDescriptor* descriptor, const GUID* timeFormat,
                                const PROPVARIANT* position) {
    if (!descriptor || !position) return E_INVALIDARG;
    if (timeFormat && *timeFormat != GUID_NULL) return MF_E_UNSUPPORTED_TIME_FORMAT;
    // A live source starts now, wherever the client asked it to.
    if (position->vt != VT_EMPTY && position->vt != VT_I8) return MF_E_UNSUPPORTED_TIME_FORMAT;
    BOOL selected = FALSE;
    IMFStreamDescriptor* streamDescriptor = nullptr;
    DWORD count = 0;
    HRESULT hr = descriptor->GetStreamDescriptorCount(&count);
    if (SUCCEEDED(hr) && count != 1) hr = E_INVALIDARG;
    if (SUCCEEDED(hr)) hr = descriptor->GetStreamDescriptorByIndex(0, &selected, &streamDescriptor);
    DWORD id = 1;
    if (SUCCEEDED(hr)) hr = streamDescriptor->GetStreamIdentifier(&id);
    SafeRelease(streamDescriptor);
    if (SUCCEEDED(hr) && id != 0) hr = E_INVALIDARG;
    if (FAILED(hr)) return hr;

    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    PROPVARIANT startTime;
    PropVariantInit(&startTime);
    startTime.vt = VT_I8;
    startTime.hVal.QuadPart = MFGetSystemTime();
    if (selected) {
        // The stream first appears as new; after a stop it is the same one.
        hr = m_queue->QueueEventParamUnk(m_streamAnnounced ? MEUpdatedStream : MENewStream, GUID_NULL, S_OK,
                                         static_cast<IZxMediaStream2*>(m_stream));
        m_streamAnnounced = true;
        if (SUCCEEDED(hr)) hr = m_stream->Start(&startTime);
    } else if (m_started) {
        hr = m_stream->Stop();
    }
    if (FAILED(hr)) {
        m_queue->QueueEventParamVar(MESourceStarted, GUID_NULL, hr, nullptr);
        return hr;
    }
    m_started = true;
    return m_queue->QueueEventParamVar(MESourceStarted, GUID_NULL, S_OK, &startTime);
}

STDMETHODIMP CZxMFSource::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    HRESULT hr = S_OK;
    if (m_started) hr = m_stream->Stop();
    m_started = false;
    m_queue->QueueEventParamVar(MESourceStopped, GUID_NULL, hr, nullptr);
    return hr;
}

STDMETHODIMP CZxMFSource::Pause() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    // A camera has nothing to hold still: it runs or it stops.
    return MF_E_INVALID_STATE_TRANSITION;
}

STDMETHODIMP CZxMFSource::Shutdown() {
    CZxMFStream* stream = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_shutdown) return MF_E_SHUTDOWN;
        m_shutdown = true;
        m_started = false;
        if (m_queue) m_queue->Shutdown();
        stream = m_stream;
        m_stream = nullptr;
    }
    // The stream's worker may be waiting for the stream's lock, never for
    // this one; the stream gives back its reference on the source last.
    if (stream) {
        stream->Shutdown();
        stream->Release();
    }
    return S_OK;
}

STDMETHODIMP CZxMFSource::GetSourceAttributes(IMFAttributes** attributes) {
    if (!attributes) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    *attributes = m_sourceAttributes;
    m_sourceAttributes->AddRef();
    return S_OK;
}

STDMETHODIMP CZxMFSource::GetStreamAttributes(DWORD streamId, IMFAttributes** attributes) {
    if (!attributes) return E_POINTER;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    if (streamId != 0) return MF_E_INVALIDSTREAMNUMBER;
    *attributes = m_streamAttributes;
    m_streamAttributes->AddRef();
    return S_OK;
}

STDMETHODIMP CZxMFSource::SetD3DManager(IUnknown* /*manager*/) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    // The pictures are made in system memory; a device manager changes
    // nothing for them.
    return S_OK;
}

STDMETHODIMP CZxMFSource::GetService(REFGUID /*service*/, REFIID /*riid*/, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    return MF_E_UNSUPPORTED_SERVICE;
}

STDMETHODIMP CZxMFSource::KsProperty(PKSPROPERTY property, ULONG propertyLength, void* /*data*/, ULONG /*dataLength*/,
                                     ULONG* returned) {
    if (!property || propertyLength < sizeof(KSPROPERTY) || !returned) return E_INVALIDARG;
    *returned = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    return kKsNotFound;
}

STDMETHODIMP CZxMFSource::KsMethod(PKSMETHOD method, ULONG methodLength, void* /*data*/, ULONG /*dataLength*/,
                                   ULONG* returned) {
    if (!method || methodLength < sizeof(KSMETHOD) || !returned) return E_INVALIDARG;
    *returned = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    return kKsNotFound;
}

STDMETHODIMP CZxMFSource::KsEvent(PKSEVENT event, ULONG eventLength, void* /*data*/, ULONG /*dataLength*/,
                                  ULONG* returned) {
    if (returned) *returned = 0;
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_shutdown) return MF_E_SHUTDOWN;
    // No event is ever enabled, so turning every event off succeeds.
    if (!event && eventLength == 0) return S_OK;
    if (!event || eventLength < sizeof(KSEVENT)) return E_INVALIDARG;
    return kKsNotFound;
}
