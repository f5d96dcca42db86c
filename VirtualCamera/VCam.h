// The virtual camera: the capture source filter CVCam with its one output
// pin CVCamStream, which fills every sample with the newest frame of the
// shared-memory channel, scaled to the size the client chose.
//
// The pin offers the eight sizes of VCamFormats.h (640 x 480 first chosen),
// takes exactly its current media type, and lets clients choose through
// IAMStreamConfig; IKsPropertySet tells them it is a capture pin. Every
// format operation writes its name to the debug log (VCamLog.h).
#pragma once

#include <windows.h>

#include <dshow.h>

#include "DShowBase/Source.h"
#include "FrameScaler.h"
#include "ShareMem.h"

class CVCamStream;

class CVCam : public CSource {
public:
    // The class factory's creation function.
    static CUnknown* CreateInstance(IUnknown* outer, HRESULT* result);

    CVCam(IUnknown* outer, HRESULT* result);
    ~CVCam() override;

    // IAMStreamConfig and IKsPropertySet asked of the filter are the pin's.
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

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
        DWORD imageSize = 0;           // most bytes a sample is filled with
        REFERENCE_TIME frameTime = 0;  // sample duration
    };
    void TakeFormat(const CMediaType& mt);
    StreamFormat CurrentFormat();

    CVCam* m_parent;
    CShareMem m_channel;
    CFrameScaler m_scaler;  // used by the streaming thread only
    // Two packet buffers: m_read takes the next packet from the channel;
    // m_output holds, from offset 12, the picture every sample is filled
    // from. A packet of the chosen size becomes the picture by swapping the
    // two, so the common case copies once from the channel and once into
    // the sample.
    BYTE* m_read = nullptr;
    BYTE* m_output = nullptr;
    int m_outputCode = 0;  // size code of the picture in m_output
    REFERENCE_TIME m_streamTime = 0;
    CCritSec m_formatLock;
    StreamFormat m_format;
};
