// The virtual camera: the capture source filter CVCam with its one output
// pin CVCamStream, which fills every sample with the newest frame of the
// shared-memory channel, scaled to the size the client chose.
//
// The pin offers the eight sizes of VCamFormats.h in RGB24, YUY2 and I420
// (640 x 480 RGB24 at 20 frames a second first chosen), and lets clients
// choose through IAMStreamConfig (while the graph is stopped, the connected
// pin asked first); IKsPropertySet tells them it is a capture pin. Types
// whose sizes disagree with their picture are refused, and every buffer the
// picture fills is sized by the format block alone. Connections, formats and
// failures go to the filter's log (VCamLog.h); the calls hosts make by the
// thousand do not.
//
// The stream paces itself: one sample per frame interval of the chosen type,
// on a grid of real time (the graph's stream time when it runs with a clock,
// else the time since the first sample), each stamped with its place on
// that grid and carrying the newest whole frame of the channel.
// A sample that finds no frame newer than the last one waits a little (at
// most half an interval) for the next, so a client at the producer's rate
// sees every frame; with no writer the samples keep their pace, black or
// frozen. How often the writer signals never changes the pace. A paused
// graph gets no samples (a live source has nothing to cue); they start with
// the run.
#pragma once

#include <windows.h>

#include <dshow.h>

#include "DShowBase/Source.h"
#include "ShareMem.h"
#include "VCamFormats.h"
#include "ZxScale/ZxScale.h"

class CVCamStream;

class CVCam : public CSource {
public:
    // The class factory's creation function.
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* result);

    CVCam(IUnknown* outer, HRESULT* result);
    ~CVCam() override;

    // IAMStreamConfig and IKsPropertySet asked of the filter are the pin's.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // A paused camera delivers nothing until it runs: VFW_S_CANT_CUE, so
    // nobody waits for a paused graph to fill.
    HRESULT STDMETHODCALLTYPE GetState(DWORD milliseconds, FILTER_STATE* state) override;

    // One pin, handed out for any index.
    int GetPinCount() override;
    CSourceStream* GetPin(int index) override;

private:
    CVCamStream* m_stream = nullptr;
};

class CVCamStream : public CSourceStream, public IAMStreamConfig, public IKsPropertySet {
public:
    CVCamStream(HRESULT* result, CVCam* parent, const wchar_t* pinName);
    ~CVCamStream() override;

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // CSourceStream
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT FillBuffer(IMediaSample* sample) override;
    HRESULT OnThreadCreate() override;
    // Leaving the stopped state asks for the main program to be started
    // (VCamSource.h: on a thread of its own, rarely, when it does not run).
    HRESULT Active() override;
    HRESULT Inactive() override;

    // IQualityControl: the camera cannot change its rate.
    HRESULT STDMETHODCALLTYPE Notify(IBaseFilter* self, Quality q) override;

    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* mt) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** mt) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** mt, BYTE* caps) override;

    // IKsPropertySet: only AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY, read.
    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data,
                                  DWORD dataBytes) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data,
                                  DWORD dataBytes, DWORD* returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

private:
    // What the streaming thread needs of the current format, copied under
    // m_formatLock whenever SetMediaType changes it.
    struct StreamFormat {
        int code = 0;                  // size code of the picture delivered
        VCamPixels pixels = VCamPixels::Rgb24;
        DWORD imageSize = 0;           // most bytes a sample is filled with
        REFERENCE_TIME frameTime = 0;  // sample duration and pace, 20 ms to 5 s
    };
    void TakeFormat(const CMediaType& mt);
    // Connects this pin to peer again with type (through the graph when the
    // filter is in one); S_OK only when it is connected so.
    HRESULT Reconnect(IPin* peer, const CMediaType& type);
    StreamFormat CurrentFormat();
    // Elapsed real time in 100 ns units.
    static REFERENCE_TIME Now();
    // Makes the newest whole frame of the channel, when it is one this pin
    // has not taken yet, the picture in m_output (copied, or scaled to the
    // format's size, and converted to its pixel format); true when it did.
    bool TakeNewestFrame(const StreamFormat& format);
    // The 24-bit picture of the format's size in its YUV pixel format.
    static void Convert(const BYTE* bgr, const StreamFormat& format, BYTE* out);
    // Fills the sample from m_output.
    void FillSample(IMediaSample* sample, const StreamFormat& format);

    CVCam* m_parent;
    CShareMem m_channel;
    CZxScaler m_scaler;  // used by the streaming thread only
    // Two picture buffers in the format's pixel format (24-bit bottom-up,
    // or YUY2 or I420 top-down): m_read takes the next frame from the
    // channel, copied, scaled or converted straight out of it; m_output
    // holds the picture every sample is filled from. A frame that arrived
    // whole becomes the picture by swapping the two, so a frame is read
    // from the channel once, converted once however many samples repeat
    // it, and each sample is one copy.
    BYTE* m_read = nullptr;
    BYTE* m_output = nullptr;
    // The scaled 24-bit picture a YUV format is converted from, made when
    // first needed.
    BYTE* m_scaled = nullptr;
    int m_outputCode = 0;                         // size code of the picture in m_output
    VCamPixels m_outputPixels = VCamPixels::Rgb24;  // and its pixel format
    // Pacing, on the streaming thread: the grid's origin, the next slot on
    // it, the number of the frame taken last and when a new frame came.
    bool m_pacing = false;
    bool m_clocked = false;  // the grid is in the graph's stream time
    REFERENCE_TIME m_origin = 0;
    REFERENCE_TIME m_lastStreamTime = 0;   // the graph clock's last reading
    REFERENCE_TIME m_lastStreamAt = 0;     // and when it was taken (Now)
    LONGLONG m_slot = 0;
    bool m_tookFrame = false;
    uint32_t m_lastFrame = 0;
    REFERENCE_TIME m_lastFresh = 0;
    // A client chose the type through SetFormat: only that one connects
    // (guarded by m_typeLock).
    bool m_formatChosen = false;
    CCritSec m_formatLock;
    StreamFormat m_format;
};
