#include "DShowBase/Source.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

#include "Enumerators.h"

CSourceStream::CSourceStream(const wchar_t* objectName, HRESULT* result, CSource* filter, const wchar_t* pinName)
    : CUnknown(objectName, nullptr), m_pFilter(filter), m_pLock(filter->pStateLock()) {
    InitializeCriticalSection(&m_cmdLock);
    InitializeConditionVariable(&m_cmdChanged);
    HRESULT hr = S_OK;
    try {
        m_pinName = pinName ? pinName : L"";
    } catch (...) {
        hr = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(hr)) hr = m_pFilter->AddPin(this);
    if (result && FAILED(hr)) *result = hr;
}

CSourceStream::~CSourceStream() {
    // The filter stops a pin before deleting it; this only guards a pin that
    // is deleted on its own. A pin deleted while connected lets go of the
    // downstream pin and of the allocator, which would otherwise keep the
    // other filter alive.
    {
        CAutoLock lock(m_pLock);
        Inactive();
        ReleaseConnection();
        BreakConnect();
    }
    // A thread left to end by itself has ended: only it can delete the filter
    // then, and it closes nothing after that.
    if (m_thread) CloseHandle(m_thread);
    m_thread = nullptr;
    m_pFilter->RemovePin(this);
    DeleteCriticalSection(&m_cmdLock);
}

HRESULT STDMETHODCALLTYPE CSourceStream::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG STDMETHODCALLTYPE CSourceStream::NonDelegatingAddRef() { return m_pFilter->GetOwner()->AddRef(); }

ULONG STDMETHODCALLTYPE CSourceStream::NonDelegatingRelease() { return m_pFilter->GetOwner()->Release(); }

// --- connection -------------------------------------------------------------

HRESULT STDMETHODCALLTYPE CSourceStream::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
    if (!receivePin) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_connected) return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->m_state != State_Stopped) return VFW_E_NOT_STOPPED;

    HRESULT hr = CheckConnect(receivePin);
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }

    // A complete type is tried alone; a partial one (or none) filters the
    // types both pins offer: the receiving pin's first, then this pin's.
    if (mt) {
        const CMediaType wanted(*mt);
        if (!wanted.IsPartiallySpecified()) {
            hr = AttemptConnection(receivePin, wanted);
            return SUCCEEDED(hr) ? S_OK : hr;
        }
    }
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    IEnumMediaTypes* theirs = nullptr;
    if (SUCCEEDED(receivePin->EnumMediaTypes(&theirs)) && theirs) {
        hr = TryMediaTypes(receivePin, theirs, mt);
        theirs->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
    }
    IEnumMediaTypes* ours = nullptr;
    if (SUCCEEDED(EnumMediaTypes(&ours)) && ours) {
        hr = TryMediaTypes(receivePin, ours, mt);
        ours->Release();
        if (SUCCEEDED(hr)) return S_OK;
        if (hr != VFW_E_NO_ACCEPTABLE_TYPES) last = hr;
    }
    BreakConnect();
    return last;
}

HRESULT CSourceStream::TryMediaTypes(IPin* receivePin, IEnumMediaTypes* types, const AM_MEDIA_TYPE* partial) {
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    // An enumerator of a misbehaving pin must not keep us here for ever.
    for (int guard = 0; guard < 10000; ++guard) {
        AM_MEDIA_TYPE* candidate = nullptr;
        ULONG fetched = 0;
        if (types->Next(1, &candidate, &fetched) != S_OK || fetched != 1 || !candidate) {
            if (candidate) DeleteMediaType(candidate);
            break;
        }
        const CMediaType type(*candidate);
        DeleteMediaType(candidate);
        if (partial && !type.MatchesPartial(*partial)) continue;
        const HRESULT hr = AttemptConnection(receivePin, type);
        if (SUCCEEDED(hr)) return S_OK;
        last = hr;
    }
    return last == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : last;
}

HRESULT CSourceStream::AttemptConnection(IPin* receivePin, const CMediaType& mt) {
    HRESULT hr = CheckMediaType(&mt);
    if (hr != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;

    {
        CAutoLock type(&m_typeLock);
        m_connected = receivePin;
        m_connected->AddRef();
    }
    hr = SetMediaType(&mt);
    if (SUCCEEDED(hr)) {
        hr = receivePin->ReceiveConnection(static_cast<IPin*>(this), &mt);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(receivePin);
            if (SUCCEEDED(hr)) return S_OK;
            receivePin->Disconnect();
        }
    }
    ReleaseConnection();
    BreakConnect();
    // A refusal of the type by either side is reported as such; other
    // failures (no allocator, out of memory) as they are.
    return (hr == E_FAIL || hr == S_FALSE || hr == VFW_E_TYPE_NOT_ACCEPTED) ? VFW_E_TYPE_NOT_ACCEPTED : hr;
}

HRESULT CSourceStream::CheckConnect(IPin* pin) {
    PIN_DIRECTION direction = PINDIR_OUTPUT;
    HRESULT hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    if (direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    IMemInputPin* input = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr) || !input) return FAILED(hr) ? hr : E_NOINTERFACE;
    input->Release();
    return S_OK;
}

HRESULT CSourceStream::CompleteConnect(IPin* receivePin) {
    IMemInputPin* input = nullptr;
    HRESULT hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr) || !input) return FAILED(hr) ? hr : E_NOINTERFACE;
    IMemAllocator* allocator = nullptr;
    hr = DecideAllocator(input, &allocator);
    if (FAILED(hr)) {
        input->Release();
        return hr;
    }
    if (m_input) m_input->Release();
    if (m_allocator) m_allocator->Release();
    m_input = input;
    m_allocator = allocator;
    return S_OK;
}

HRESULT CSourceStream::BreakConnect() {
    if (m_allocator) {
        m_allocator->Decommit();
        m_allocator->Release();
        m_allocator = nullptr;
    }
    if (m_input) {
        m_input->Release();
        m_input = nullptr;
    }
    return S_OK;
}

void CSourceStream::ReleaseConnection() {
    IPin* connected = nullptr;
    {
        CAutoLock type(&m_typeLock);
        connected = m_connected;
        m_connected = nullptr;
    }
    if (connected) connected->Release();
}

HRESULT CSourceStream::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES request = {};
    // What the input pin would like (alignment, prefix); it may not say.
    pin->GetAllocatorRequirements(&request);
    if (request.cbAlign <= 0) request.cbAlign = 1;

    // Sizes the allocator just obtained and announces it; drops it when
    // either step fails. hr ends as the result of the last step.
    HRESULT hr = S_OK;
    auto settle = [&](HRESULT got) {
        hr = got;
        if (SUCCEEDED(hr) && *allocator) {
            ALLOCATOR_PROPERTIES props = request;
            hr = DecideBufferSize(*allocator, &props);
            if (SUCCEEDED(hr)) hr = pin->NotifyAllocator(*allocator, FALSE);
            if (SUCCEEDED(hr)) return true;
        }
        if (*allocator) {
            (*allocator)->Release();
            *allocator = nullptr;
        }
        return false;
    };
    // The input pin's own allocator first, else one of our own.
    if (settle(pin->GetAllocator(allocator))) return S_OK;
    if (settle(InitAllocator(allocator))) return S_OK;
    return FAILED(hr) ? hr : VFW_E_NO_ALLOCATOR;
}

HRESULT CSourceStream::InitAllocator(IMemAllocator** allocator) {
    return CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER, IID_IMemAllocator,
                            reinterpret_cast<void**>(allocator));
}

HRESULT STDMETHODCALLTYPE CSourceStream::ReceiveConnection(IPin* /*connector*/, const AM_MEDIA_TYPE* /*mt*/) {
    // An output pin connects, it is never connected to.
    return E_UNEXPECTED;
}

HRESULT STDMETHODCALLTYPE CSourceStream::Disconnect() {
    CAutoLock lock(m_pLock);
    if (m_pFilter->m_state != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!m_connected) return S_FALSE;
    ReleaseConnection();
    BreakConnect();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSourceStream::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    CAutoLock lock(&m_typeLock);
    *pin = m_connected;
    if (!m_connected) return VFW_E_NOT_CONNECTED;
    m_connected->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSourceStream::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    CAutoLock lock(&m_typeLock);
    if (!m_connected) {
        std::memset(mt, 0, sizeof(*mt));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(mt, &m_mt);
}

HRESULT STDMETHODCALLTYPE CSourceStream::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = static_cast<IBaseFilter*>(m_pFilter);
    info->pFilter->AddRef();
    info->dir = PINDIR_OUTPUT;
    const size_t n = std::min<size_t>(m_pinName.size(), MAX_PIN_NAME - 1);
    std::wmemcpy(info->achName, m_pinName.c_str(), n);
    info->achName[n] = L'\0';
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSourceStream::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSourceStream::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    const size_t bytes = (m_pinName.size() + 1) * sizeof(wchar_t);
    *id = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*id) return E_OUTOFMEMORY;
    std::memcpy(*id, m_pinName.c_str(), bytes);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSourceStream::QueryAccept(const AM_MEDIA_TYPE* mt) {
    if (!mt) return E_POINTER;
    const CMediaType type(*mt);
    return CheckMediaType(&type) == S_OK ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CSourceStream::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    *types = nullptr;
    CEnumMediaTypes* e = new (std::nothrow) CEnumMediaTypes(this, 0);
    if (!e) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumMediaTypes*>(e), reinterpret_cast<void**>(types));
}

HRESULT STDMETHODCALLTYPE CSourceStream::QueryInternalConnections(IPin** /*pins*/, ULONG* /*count*/) {
    return E_NOTIMPL;
}

// Data flows out of an output pin: these come only to input pins.
HRESULT STDMETHODCALLTYPE CSourceStream::EndOfStream() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CSourceStream::BeginFlush() { return E_UNEXPECTED; }
HRESULT STDMETHODCALLTYPE CSourceStream::EndFlush() { return E_UNEXPECTED; }

HRESULT STDMETHODCALLTYPE CSourceStream::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT STDMETHODCALLTYPE CSourceStream::Notify(IBaseFilter*, Quality) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CSourceStream::SetSink(IQualityControl* sink) {
    CAutoLock lock(m_pLock);
    m_qualitySink = sink;
    return S_OK;
}

HRESULT CSourceStream::SetMediaType(const CMediaType* mt) {
    if (!mt) return E_POINTER;
    CMediaType copy(*mt);
    if (mt->cbFormat && !copy.pbFormat) return E_OUTOFMEMORY;
    CAutoLock type(&m_typeLock);
    m_mt = copy;
    return m_mt.cbFormat == mt->cbFormat ? S_OK : E_OUTOFMEMORY;
}

// --- delivery ---------------------------------------------------------------

HRESULT CSourceStream::GetDeliveryBuffer(IMediaSample** sample) {
    *sample = nullptr;
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    return m_allocator->GetBuffer(sample, nullptr, nullptr, 0);
}

HRESULT CSourceStream::Deliver(IMediaSample* sample) {
    if (!m_input) return VFW_E_NOT_CONNECTED;
    return m_input->Receive(sample);
}

HRESULT CSourceStream::DeliverEndOfStream() {
    if (!m_connected) return VFW_E_NOT_CONNECTED;
    return m_connected->EndOfStream();
}

// --- state and the streaming thread -----------------------------------------

HRESULT CSourceStream::Active() {
    CAutoLock lock(m_pLock);
    // An unconnected pin has nothing to stream to and stays idle.
    if (!m_connected) return S_OK;
    if (m_thread) {
        // A thread that was told to end but had not come back yet.
        if (WaitForSingleObject(m_thread, kStreamStopWaitMs) != WAIT_OBJECT_0) return VFW_E_WRONG_STATE;
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (!m_allocator) return VFW_E_NO_ALLOCATOR;
    HRESULT hr = m_allocator->Commit();
    if (FAILED(hr)) return hr;

    {
        EnterCriticalSection(&m_cmdLock);
        m_cmd = kCmdNone;
        m_replied = false;
        m_threadEnded = false;
        LeaveCriticalSection(&m_cmdLock);
    }
    // The thread keeps the filter (and this pin) alive until it ends.
    m_pFilter->AddLife();
    m_thread = CreateThread(nullptr, 0, &CSourceStream::ThreadEntry, this, 0, &m_threadId);
    if (!m_thread) {
        hr = HRESULT_FROM_WIN32(GetLastError());
        m_pFilter->DropLife();
        m_allocator->Decommit();
        return FAILED(hr) ? hr : E_FAIL;
    }
    hr = CallWorker(kCmdInit);
    if (FAILED(hr)) {
        // The thread ends itself after a failed start (or is told to).
        Inactive();
        return hr;
    }
    return CallWorker(kCmdPause);
}

HRESULT CSourceStream::Inactive() {
    CAutoLock lock(m_pLock);
    // Decommitting first releases a thread that waits for a free sample.
    if (m_allocator) m_allocator->Decommit();
    if (!m_thread) return S_OK;
    if (GetCurrentThreadId() == m_threadId) {
        // Called from the streaming thread itself (a last Release from inside
        // the downstream filter): it ends when it is back in its loop.
        EnterCriticalSection(&m_cmdLock);
        m_cmd = kCmdExit;
        WakeAllConditionVariable(&m_cmdChanged);
        LeaveCriticalSection(&m_cmdLock);
        return S_OK;
    }
    // Nothing the thread can reach waits for the state lock, so it comes
    // back unless the downstream filter keeps it; then it is left to end by
    // itself, and keeps the filter alive until it has.
    const ULONGLONG until = GetTickCount64() + kStreamStopWaitMs;
    CallWorker(kCmdExit);
    const ULONGLONG now = GetTickCount64();
    const DWORD left = now < until ? static_cast<DWORD>(until - now) : 0;
    if (WaitForSingleObject(m_thread, left) != WAIT_OBJECT_0) return S_FALSE;
    CloseHandle(m_thread);
    m_thread = nullptr;
    return S_OK;
}

HRESULT CSourceStream::CallWorker(Command command, DWORD timeoutMs) {
    CAutoLock serial(&m_callLock);
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    EnterCriticalSection(&m_cmdLock);
    m_cmd = command;
    m_replied = false;
    WakeAllConditionVariable(&m_cmdChanged);
    HRESULT result = VFW_E_TIMEOUT;
    for (;;) {
        if (m_replied) {
            result = m_reply;
            m_replied = false;
            break;
        }
        if (m_threadEnded) break;
        const ULONGLONG now = GetTickCount64();
        if (now >= until) break;
        SleepConditionVariableCS(&m_cmdChanged, &m_cmdLock, static_cast<DWORD>(until - now));
    }
    LeaveCriticalSection(&m_cmdLock);
    return result;
}

CSourceStream::Command CSourceStream::WaitCommand() {
    EnterCriticalSection(&m_cmdLock);
    while (m_cmd == kCmdNone) SleepConditionVariableCS(&m_cmdChanged, &m_cmdLock, INFINITE);
    const Command command = m_cmd;
    LeaveCriticalSection(&m_cmdLock);
    return command;
}

bool CSourceStream::WaitForCommand(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    EnterCriticalSection(&m_cmdLock);
    for (;;) {
        if (m_cmd != kCmdNone) break;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds) break;
        SleepConditionVariableCS(&m_cmdChanged, &m_cmdLock, milliseconds - elapsed);
    }
    const bool pending = m_cmd != kCmdNone;
    LeaveCriticalSection(&m_cmdLock);
    return pending;
}

CSourceStream::Command CSourceStream::PeekCommand() {
    EnterCriticalSection(&m_cmdLock);
    const Command command = m_cmd;
    LeaveCriticalSection(&m_cmdLock);
    return command;
}

void CSourceStream::Reply(HRESULT result) {
    EnterCriticalSection(&m_cmdLock);
    m_cmd = kCmdNone;
    m_reply = result;
    m_replied = true;
    WakeAllConditionVariable(&m_cmdChanged);
    LeaveCriticalSection(&m_cmdLock);
}

DWORD WINAPI CSourceStream::ThreadEntry(void* self) {
    // The module stays loaded while the thread runs its code, even when the
    // thread outlives the filter's last reference.
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&CSourceStream::ThreadEntry),
                       &module);
    CSourceStream* pin = static_cast<CSourceStream*>(self);
    CSource* filter = pin->m_pFilter;
    const DWORD result = pin->ThreadProc();
    EnterCriticalSection(&pin->m_cmdLock);
    pin->m_threadEnded = true;
    WakeAllConditionVariable(&pin->m_cmdChanged);
    LeaveCriticalSection(&pin->m_cmdLock);
    // The thread's share of the filter's life; the filter (with the pin) may
    // be gone after this.
    filter->DropLife();
    if (module) FreeLibraryAndExitThread(module, result);
    return result;
}

DWORD CSourceStream::ThreadProc() {
    // The first command is always the start (an exit may come first when
    // the start was given up).
    for (;;) {
        const Command first = WaitCommand();
        if (first == kCmdInit) break;
        if (first == kCmdExit) {
            Reply(S_OK);
            return 1;
        }
        Reply(E_UNEXPECTED);
    }
    HRESULT hr = OnThreadCreate();
    if (FAILED(hr)) {
        OnThreadDestroy();
        // Told to end, it waits for that: whoever started it stops it.
        Reply(hr);
        while (WaitCommand() != kCmdExit) Reply(E_UNEXPECTED);
        Reply(S_OK);
        return 1;
    }
    Reply(S_OK);

    for (;;) {
        const Command command = WaitCommand();
        switch (command) {
            case kCmdPause:
            case kCmdRun:
                Reply(S_OK);
                StreamLoop();
                break;
            case kCmdStop:
                Reply(S_OK);
                break;
            case kCmdExit:
                OnThreadDestroy();
                Reply(S_OK);
                return 0;
            default:
                Reply(E_UNEXPECTED);
                break;
        }
    }
}

void CSourceStream::StreamLoop() {
    OnThreadStartPlay();
    bool delivering = true;
    for (;;) {
        // Pause and run keep the stream going; stop and exit end it and are
        // answered by the caller.
        Command command = PeekCommand();
        if (command == kCmdPause || command == kCmdRun) {
            Reply(S_OK);
            delivering = true;
            continue;
        }
        if (command != kCmdNone) return;
        if (!delivering) {
            // Nothing more to deliver until the filter changes state.
            WaitCommand();
            continue;
        }

        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample);
        if (FAILED(hr) || !sample) {
            // Only a decommitted or broken allocator refuses a sample; a
            // stop is on its way.
            delivering = false;
            continue;
        }
        hr = FillBuffer(sample);
        if (hr == S_OK) {
            hr = Deliver(sample);
            sample->Release();
            // The downstream filter refused the sample or is stopping: it
            // takes nothing more until the state changes.
            if (hr != S_OK) delivering = false;
        } else {
            sample->Release();
            DeliverEndOfStream();
            if (FAILED(hr)) m_pFilter->NotifyEvent(EC_ERRORABORT, static_cast<LONG_PTR>(hr), 0);
            delivering = false;
        }
    }
}
