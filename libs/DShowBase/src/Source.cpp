#include "DShowBase/Source.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "Enumerators.h"

CSource::CSource(const wchar_t* objectName, IUnknown* outer, REFCLSID clsid)
    : CUnknown(objectName, outer), m_clsid(clsid) {}

CSource::~CSource() {
    DeletePins();
    if (m_clock) m_clock->Release();
}

void CSource::DeletePins() {
    std::vector<CSourceStream*> pins;
    {
        CAutoLock lock(&m_stateLock);
        // Nobody may be streaming from a pin while it is deleted.
        for (CSourceStream* pin : m_pins) pin->Inactive();
        SetState(State_Stopped);
        CAutoLock info(&m_infoLock);
        pins.swap(m_pins);
        ++m_pinVersion;
    }
    for (CSourceStream* pin : pins) delete pin;
}

ULONG STDMETHODCALLTYPE CSource::NonDelegatingRelease() {
    const LONG left = InterlockedDecrement(&m_ref);
    if (left > 0) return static_cast<ULONG>(left);
    if (left < 0) return 0;
    // A destructor that hands out and releases a temporary reference to
    // itself must not come here a second time.
    m_ref = 1;
    {
        // Stop the streaming threads (a thread that calls this from inside
        // the downstream filter, or one that does not come back in time, is
        // only told to end); the last of them to end deletes the filter.
        CAutoLock lock(&m_stateLock);
        std::vector<CSourceStream*> pins;
        {
            CAutoLock info(&m_infoLock);
            pins = m_pins;
        }
        for (CSourceStream* pin : pins) pin->Inactive();
        SetState(State_Stopped);
        SetRunning(false);
    }
    DropLife();
    return 0;
}

void CSource::AddLife() { InterlockedIncrement(&m_life); }

void CSource::DropLife() {
    if (InterlockedDecrement(&m_life) == 0) delete this;
}

void CSource::SetState(FILTER_STATE state) {
    CAutoLock info(&m_infoLock);
    m_state = state;
}

HRESULT STDMETHODCALLTYPE CSource::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IBaseFilter) return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IMediaFilter) return GetInterface(static_cast<IMediaFilter*>(this), ppv);
    if (riid == IID_IPersist) return GetInterface(static_cast<IPersist*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CSource::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::Stop() {
    CAutoLock lock(&m_stateLock);
    HRESULT result = S_OK;
    if (m_state != State_Stopped) {
        for (CSourceStream* pin : m_pins) {
            const HRESULT hr = pin->Inactive();
            if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        }
    }
    SetState(State_Stopped);
    SetRunning(false);
    return result;
}

void CSource::SetRunning(bool running) {
    CAutoLock lock(&m_timeLock);
    m_running = running;
    m_paused = !running && m_state == State_Paused;
}

FILTER_STATE CSource::StreamState() {
    CAutoLock lock(&m_timeLock);
    return m_running ? State_Running : m_paused ? State_Paused : State_Stopped;
}

bool CSource::StreamTime(REFERENCE_TIME* time) {
    IReferenceClock* clock = nullptr;
    REFERENCE_TIME start = 0;
    {
        CAutoLock lock(&m_timeLock);
        if (!m_running || !m_clock) return false;
        clock = m_clock;
        clock->AddRef();
        start = m_start;
    }
    REFERENCE_TIME now = 0;
    const HRESULT hr = clock->GetTime(&now);
    clock->Release();
    if (FAILED(hr)) return false;
    *time = now - start;
    return true;
}

HRESULT STDMETHODCALLTYPE CSource::Pause() {
    CAutoLock lock(&m_stateLock);
    if (m_state == State_Stopped) {
        for (CSourceStream* pin : m_pins) {
            const HRESULT hr = pin->Active();
            if (FAILED(hr)) {
                // Leave no pin half started.
                for (CSourceStream* other : m_pins) other->Inactive();
                return hr;
            }
        }
    }
    SetState(State_Paused);
    SetRunning(false);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::Run(REFERENCE_TIME start) {
    CAutoLock lock(&m_stateLock);
    if (m_state == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    {
        CAutoLock time(&m_timeLock);
        m_start = start;
        m_running = true;
        m_paused = false;
    }
    SetState(State_Running);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::GetState(DWORD /*milliseconds*/, FILTER_STATE* state) {
    if (!state) return E_POINTER;
    CAutoLock lock(&m_infoLock);
    *state = m_state;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::SetSyncSource(IReferenceClock* clock) {
    CAutoLock lock(&m_stateLock);
    if (clock) clock->AddRef();
    IReferenceClock* old = nullptr;
    {
        CAutoLock time(&m_timeLock);
        old = m_clock;
        m_clock = clock;
    }
    if (old) old->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::GetSyncSource(IReferenceClock** clock) {
    if (!clock) return E_POINTER;
    CAutoLock lock(&m_timeLock);
    *clock = m_clock;
    if (m_clock) m_clock->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::EnumPins(IEnumPins** pins) {
    if (!pins) return E_POINTER;
    *pins = nullptr;
    CEnumPins* e = new (std::nothrow) CEnumPins(this, 0, PinVersion());
    if (!e) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IEnumPins*>(e), reinterpret_cast<void**>(pins));
}

HRESULT STDMETHODCALLTYPE CSource::FindPin(LPCWSTR id, IPin** pin) {
    if (!pin) return E_POINTER;
    *pin = nullptr;
    if (!id) return E_POINTER;
    CAutoLock lock(&m_infoLock);
    for (CSourceStream* p : m_pins) {
        if (p->Name() == id) return GetInterface(static_cast<IPin*>(p), reinterpret_cast<void**>(pin));
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE CSource::QueryFilterInfo(FILTER_INFO* info) {
    if (!info) return E_POINTER;
    CAutoLock lock(&m_infoLock);
    const size_t n = std::min<size_t>(m_name.size(), MAX_FILTER_NAME - 1);
    std::wmemcpy(info->achName, m_name.c_str(), n);
    info->achName[n] = L'\0';
    info->pGraph = m_graph;
    if (m_graph) m_graph->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
    CAutoLock lock(&m_stateLock);
    CAutoLock info(&m_infoLock);
    // Neither the graph nor its event sink is referenced: the graph holds
    // the filter, and a reference back would keep both alive for ever.
    m_graph = graph;
    m_sink = nullptr;
    if (graph) {
        IMediaEventSink* sink = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink))) && sink) {
            m_sink = sink;
            sink->Release();
        }
    }
    try {
        m_name = (graph && name) ? name : L"";
    } catch (...) {
        m_name.clear();
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CSource::QueryVendorInfo(LPWSTR* info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}

int CSource::GetPinCount() {
    CAutoLock lock(&m_infoLock);
    return static_cast<int>(m_pins.size());
}

CSourceStream* CSource::GetPin(int index) {
    CAutoLock lock(&m_infoLock);
    if (index < 0 || index >= static_cast<int>(m_pins.size())) return nullptr;
    return m_pins[static_cast<size_t>(index)];
}

LONG CSource::PinVersion() {
    CAutoLock lock(&m_infoLock);
    return m_pinVersion;
}

FILTER_STATE CSource::State() {
    CAutoLock lock(&m_infoLock);
    return m_state;
}

HRESULT CSource::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
    IMediaEventSink* sink = m_sink;
    if (!sink) return E_NOTIMPL;
    return sink->Notify(code, param1, param2);
}

HRESULT CSource::AddPin(CSourceStream* pin) {
    CAutoLock lock(&m_infoLock);
    try {
        m_pins.push_back(pin);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    ++m_pinVersion;
    return S_OK;
}

void CSource::RemovePin(CSourceStream* pin) {
    CAutoLock lock(&m_infoLock);
    auto it = std::find(m_pins.begin(), m_pins.end(), pin);
    if (it == m_pins.end()) return;
    m_pins.erase(it);
    ++m_pinVersion;
}

HRESULT CapturePinCategoryGet(REFGUID set, DWORD id, LPVOID data, DWORD dataBytes, DWORD* returned) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!data && !returned) return E_POINTER;
    if (returned) *returned = sizeof(GUID);
    if (!data) return S_OK;
    if (dataBytes < sizeof(GUID)) return E_UNEXPECTED;
    *static_cast<GUID*>(data) = PIN_CATEGORY_CAPTURE;
    return S_OK;
}

HRESULT CapturePinCategorySupported(REFGUID set, DWORD id, DWORD* support) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}
