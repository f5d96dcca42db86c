// The Media Foundation camera: a live media source with one video stream.
//
// CZxMFSource implements IMFMediaSourceEx (with the attributes the Frame
// Server reads: the stream's category, id and sharing), IMFGetService and
// IKsControl (a camera without controls: every property, method and event
// set answers "not found"). CZxMFStream delivers one sample per
// RequestSample, each the newest whole frame of the program's channel in the
// stream's current type (read again for every sample, so a client may
// switch types without restarting), stamped with MFGetSystemTime when it is
// taken, at most 20 a second on a grid of 50 ms.
//
// Free-threaded: every method may come from any thread. Samples are made on
// a thread of the stream's own that exists only while the source is
// started. Stop, Start and Shutdown may come in any order, any number of
// times; after Shutdown every call answers MF_E_SHUTDOWN. The source and
// its stream hold each other until Shutdown, as Media Foundation's contract
// has it (every client shuts a source down before releasing it).
#pragma once

#include <windows.h>

#include <mfapi.h>
#include <mfidl.h>
#include <devicetopology.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "MFFrames.h"

class CZxMFSource;

// IMFMediaStream2 (the stream's running state, which the Frame Server sets),
// declared here with its documented identifier: the mingw headers lack it.
struct IZxMediaStream2 : public IMFMediaStream {
    virtual HRESULT STDMETHODCALLTYPE SetStreamState(MF_STREAM_STATE state) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStreamState(MF_STREAM_STATE* state) = 0;
};
inline constexpr GUID IID_IZxMediaStream2 = {0xc5bc37d6, 0x75c7, 0x46a1, {0xa1, 0x32, 0x81, 0xb5, 0xf7, 0x23, 0xc2, 0x0f}};

class CZxMFStream : public IZxMediaStream2 {
public:
    CZxMFStream(CZxMFSource* source, IMFStreamDescriptor* descriptor, HRESULT& hr);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD flags, IMFMediaEvent** event) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
    STDMETHODIMP QueueEvent(MediaEventType type, REFGUID extended, HRESULT status, const PROPVARIANT* value) override;
    // IMFMediaStream
    STDMETHODIMP GetMediaSource(IMFMediaSource** source) override;
    STDMETHODIMP GetStreamDescriptor(IMFStreamDescriptor** descriptor) override;
    STDMETHODIMP RequestSample(IUnknown* token) override;
    // IZxMediaStream2
    STDMETHODIMP SetStreamState(MF_STREAM_STATE state) override;
    STDMETHODIMP GetStreamState(MF_STREAM_STATE* state) override;

    // Called by the source.
    HRESULT Start(const PROPVARIANT* position);
    HRESULT Stop();
    void Shutdown();

private:
    virtual ~CZxMFStream();
    void StopWorker();
    void Deliver();
    // Waits until MFGetSystemTime reaches target or the worker is told to
    // end (lock held); false when it is to end.
    bool WaitUntil(std::unique_lock<std::mutex>& lock, LONGLONG target);

    LONG m_ref = 1;
    std::mutex m_lock;
    std::condition_variable m_wake;
    CZxMFSource* m_source = nullptr;  // held until Shutdown
    IMFStreamDescriptor* m_descriptor = nullptr;
    IMFMediaEventQueue* m_queue = nullptr;
    std::deque<IUnknown*> m_tokens;  // one per pending request (null allowed)
    bool m_started = false;
    bool m_shutdown = false;
    MF_STREAM_STATE m_state = MF_STREAM_STATE_STOPPED;
    std::thread m_worker;
    bool m_endWorker = false;
    LONGLONG m_nextSlot = 0;  // the grid of sample times
    bool m_haveSlot = false;
    CMFFrames m_frames;  // the worker's only
};

class CZxMFSource : public IMFMediaSourceEx, public IMFGetService, public IKsControl {
public:
    // A new source (reference count 1) with its stream and descriptors.
    static HRESULT Create(CZxMFSource** source);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IMFMediaEventGenerator
    STDMETHODIMP GetEvent(DWORD flags, IMFMediaEvent** event) override;
    STDMETHODIMP BeginGetEvent(IMFAsyncCallback* callback, IUnknown* state) override;
    STDMETHODIMP EndGetEvent(IMFAsyncResult* result, IMFMediaEvent** event) override;
    STDMETHODIMP QueueEvent(MediaEventType type, REFGUID extended, HRESULT status, const PROPVARIANT* value) override;
    // IMFMediaSource
    STDMETHODIMP GetCharacteristics(DWORD* characteristics) override;
    STDMETHODIMP CreatePresentationDescriptor(IMFPresentationDescriptor** descriptor) override;
    STDMETHODIMP Start(IMFPresentationDescriptor* descriptor, const GUID* timeFormat,
                       const PROPVARIANT* position) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Shutdown() override;
    // IMFMediaSourceEx
    STDMETHODIMP GetSourceAttributes(IMFAttributes** attributes) override;
    STDMETHODIMP GetStreamAttributes(DWORD streamId, IMFAttributes** attributes) override;
    STDMETHODIMP SetD3DManager(IUnknown* manager) override;
    // IMFGetService
    STDMETHODIMP GetService(REFGUID service, REFIID riid, void** ppv) override;
    // IKsControl
    STDMETHODIMP KsProperty(PKSPROPERTY property, ULONG propertyLength, void* data, ULONG dataLength,
                            ULONG* returned) override;
    STDMETHODIMP KsMethod(PKSMETHOD method, ULONG methodLength, void* data, ULONG dataLength,
                          ULONG* returned) override;
    STDMETHODIMP KsEvent(PKSEVENT event, ULONG eventLength, void* data, ULONG dataLength, ULONG* returned) override;

private:
    CZxMFSource() = default;
    virtual ~CZxMFSource();
    HRESULT Init();

    LONG m_ref = 1;
    std::mutex m_lock;
    IMFMediaEventQueue* m_queue = nullptr;
    IMFPresentationDescriptor* m_presentation = nullptr;
    IMFAttributes* m_sourceAttributes = nullptr;
    IMFAttributes* m_streamAttributes = nullptr;
    CZxMFStream* m_stream = nullptr;
    bool m_streamAnnounced = false;  // MENewStream sent once; later starts update it
    bool m_started = false;
    bool m_shutdown = false;
};

// Objects alive in this module (for DllCanUnloadNow).
void ZxMFObjectCreated();
void ZxMFObjectDestroyed();
LONG ZxMFObjectCount();
