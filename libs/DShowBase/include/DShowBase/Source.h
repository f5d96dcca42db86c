// A push source filter and its output pins.
//
// CSource is the filter: IBaseFilter (with IMediaFilter and IPersist), the
// stopped / paused / running state, the reference clock, the graph it joined,
// and the pins it owns. CSourceStream is one output pin with its own
// streaming thread: while the filter is paused or running the thread asks
// the allocator for a sample, lets the derived class fill it (FillBuffer)
// and delivers it to the connected input pin, until the filter stops.
//
// Connecting a pin negotiates a media type (the pin's own types and the
// receiving pin's, checked by CheckMediaType) and an allocator: the input
// pin's own if it offers one, else a memory allocator made here, sized by
// DecideBufferSize and announced with IMemInputPin::NotifyAllocator.
//
// Locking: the filter's state lock (pStateLock) serialises state changes,
// connections and format changes; client threads take it for those. The
// streaming thread never takes it, nor does anything a downstream filter may
// call back into while it receives a sample (QueryAccept,
// ConnectionMediaType, ConnectedTo, the media types, GetState, the pins):
// those take short locks of their own (a pin's type lock, the filter's info
// lock) that nobody holds while waiting. So a Stop that holds the state lock
// can wait for the thread to finish, and that wait is bounded: a thread that
// does not come back from the downstream filter in kStreamStopWaitMs is left
// to end by itself.
//
// Lifetime: a pin has no reference count of its own; its AddRef and Release
// are the filter's, so a client holding a pin keeps the filter alive. The
// filter deletes its pins when it is destroyed, which happens when the last
// reference is gone and no streaming thread runs any more: a last Release on
// a streaming thread (from inside the downstream filter), or one while a
// thread has not come back yet, leaves the deletion to that thread's end.
#pragma once

#include <windows.h>

#include <dshow.h>

#include <string>
#include <vector>

#include "DShowBase/ComBase.h"
#include "DShowBase/MediaType.h"

class CSourceStream;

class CSource : public CUnknown, public IBaseFilter {
public:
    CSource(const wchar_t* objectName, IUnknown* outer, REFCLSID clsid);
    ~CSource() override;

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // The last reference stops the pins; the filter is deleted then, or by
    // the end of the last streaming thread that still runs.
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // IPersist
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;

    // IMediaFilter. Pausing a stopped filter starts the streaming thread of
    // every connected pin; stopping ends them.
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME start) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* clock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override;

    // IBaseFilter
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** pins) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* info) override;

    // The pins, as the enumerator and FindPin see them.
    virtual int GetPinCount();
    virtual CSourceStream* GetPin(int index);
    // Changes whenever a pin is added or removed, so enumerators notice.
    LONG PinVersion();

    CCritSec* pStateLock() { return &m_stateLock; }
    // Held only briefly: the pins, the name, the graph and the state read.
    CCritSec* pInfoLock() { return &m_infoLock; }
    FILTER_STATE State();
    // The graph the filter has joined (not referenced: the graph owns the
    // filter), or null.
    IFilterGraph* Graph() const { return m_graph; }
    // The stream time now (the reference clock's time less the run's start)
    // while the filter runs with a clock; false otherwise. Safe on a
    // streaming thread: it never takes the state lock.
    bool StreamTime(REFERENCE_TIME* time);
    // The state, for a streaming thread (without the state lock).
    FILTER_STATE StreamState();
    // Sends an event to the graph's event sink; E_NOTIMPL outside a graph.
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);

protected:
    friend class CSourceStream;
    // Called by a pin's constructor and destructor.
    HRESULT AddPin(CSourceStream* pin);
    void RemovePin(CSourceStream* pin);
    // Stops every streaming thread and deletes the pins. A derived filter
    // whose pins use its members calls this in its own destructor; the
    // base destructor does it otherwise.
    void DeletePins();

    // Sets the state (under the state lock) so readers see it.
    void SetState(FILTER_STATE state);
    // One share of the object's life for the COM references and one for
    // each running streaming thread; the last one to go deletes the filter.
    void AddLife();
    void DropLife();

    CCritSec m_stateLock;
    CCritSec m_infoLock;
    FILTER_STATE m_state = State_Stopped;
    REFERENCE_TIME m_start = 0;

private:
    void SetRunning(bool running);
    // Guards the clock, the run's start and m_running for StreamTime.
    CCritSec m_timeLock;
    bool m_running = false;
    bool m_paused = false;

private:
    IReferenceClock* m_clock = nullptr;
    IFilterGraph* m_graph = nullptr;
    IMediaEventSink* m_sink = nullptr;
    std::wstring m_name;
    CLSID m_clsid;
    std::vector<CSourceStream*> m_pins;
    LONG m_pinVersion = 1;
    volatile LONG m_life = 1;
};

// How long stopping waits for a streaming thread to come back.
constexpr DWORD kStreamStopWaitMs = 5000;

class CSourceStream : public CUnknown, public IPin, public IQualityControl {
public:
    // Joins filter as its next pin; result is set to a failure when that
    // was not possible.
    CSourceStream(const wchar_t* objectName, HRESULT* result, CSource* filter, const wchar_t* pinName);
    ~CSourceStream() override;

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // The filter's count: the pin lives as long as its filter.
    ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
    ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

    // IPin
    HRESULT STDMETHODCALLTYPE Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // IQualityControl: a source has nobody upstream to pass quality messages
    // to; SetSink remembers a sink (not referenced, as the interface asks).
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* self, Quality q) override;
    HRESULT STDMETHODCALLTYPE SetSink(IQualityControl* sink) override;

    // What a stream supplies.
    // The media type at position (0 first): S_OK, VFW_S_NO_MORE_ITEMS after
    // the last one, E_INVALIDARG below 0.
    virtual HRESULT GetMediaType(int position, CMediaType* mt) = 0;
    // S_OK when the pin can deliver mt.
    virtual HRESULT CheckMediaType(const CMediaType* mt) = 0;
    // Takes mt as the pin's current media type (the connection's).
    virtual HRESULT SetMediaType(const CMediaType* mt);
    // Sets the allocator's properties from request and checks what it
    // granted.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    // On the streaming thread: fills one sample. S_OK delivers it, S_FALSE
    // ends the stream, a failure ends it and reports EC_ERRORABORT.
    virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
    // On the streaming thread, when it starts (a failure stops the pause),
    // when it ends, and each time it starts delivering.
    virtual HRESULT OnThreadCreate() { return S_OK; }
    virtual HRESULT OnThreadDestroy() { return S_OK; }
    virtual HRESULT OnThreadStartPlay() { return S_OK; }

    // Called by the filter under its lock: Active when leaving the stopped
    // state (commits the allocator, starts the thread), Inactive when
    // stopping (decommits, ends the thread and waits for it).
    virtual HRESULT Active();
    virtual HRESULT Inactive();

    bool IsConnected() const { return m_connected != nullptr; }
    // The connected pin (not referenced), or null.
    IPin* GetConnected() const { return m_connected; }
    const std::wstring& Name() const { return m_pinName; }
    bool ThreadExists() const { return m_thread != nullptr; }
    // True on the pin's own streaming thread.
    bool OnStreamThread() const { return m_thread && GetCurrentThreadId() == m_threadId; }

protected:
    // Connection steps; the defaults do what every output pin needs.
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    // A memory allocator of the system's (CLSID_MemoryAllocator).
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    // On the streaming thread: waits up to milliseconds for a state change
    // (pause, run, stop) to be asked of the thread; true when one is
    // waiting. A FillBuffer that paces itself waits here, so a stop never
    // waits for its pace.
    bool WaitForCommand(DWORD milliseconds);

    HRESULT GetDeliveryBuffer(IMediaSample** sample);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();

    CSource* m_pFilter;
    CCritSec* m_pLock;  // the filter's state lock
    // Guards m_mt and m_connected for readers that must not wait for the
    // state lock; writers hold the state lock as well.
    CCritSec m_typeLock;
    CMediaType m_mt;    // the current media type
    IPin* m_connected = nullptr;
    IMemInputPin* m_input = nullptr;
    IMemAllocator* m_allocator = nullptr;
    IQualityControl* m_qualitySink = nullptr;
    std::wstring m_pinName;

private:
    enum Command { kCmdNone, kCmdInit, kCmdPause, kCmdRun, kCmdStop, kCmdExit };

    HRESULT AttemptConnection(IPin* receivePin, const CMediaType& mt);
    HRESULT TryMediaTypes(IPin* receivePin, IEnumMediaTypes* types, const AM_MEDIA_TYPE* partial);
    void ReleaseConnection();

    static DWORD WINAPI ThreadEntry(void* self);
    DWORD ThreadProc();
    void StreamLoop();
    // Client side: hands the thread one command and waits (at most
    // timeoutMs) for its reply; VFW_E_TIMEOUT when none came.
    HRESULT CallWorker(Command command, DWORD timeoutMs = kStreamStopWaitMs);
    // Thread side.
    Command WaitCommand();
    Command PeekCommand();
    void Reply(HRESULT result);

    HANDLE m_thread = nullptr;
    DWORD m_threadId = 0;
    CCritSec m_callLock;  // one command at a time
    CRITICAL_SECTION m_cmdLock;
    CONDITION_VARIABLE m_cmdChanged;
    Command m_cmd = kCmdNone;
    bool m_replied = false;
    bool m_threadEnded = false;  // the thread is past its last use of the pin
    HRESULT m_reply = S_OK;
};

// IKsPropertySet of a capture pin: the one property it answers is
// AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY, read only, PIN_CATEGORY_CAPTURE.
// A pin's Get and QuerySupported forward here.
HRESULT CapturePinCategoryGet(REFGUID set, DWORD id, LPVOID data, DWORD dataBytes, DWORD* returned);
HRESULT CapturePinCategorySupported(REFGUID set, DWORD id, DWORD* support);
