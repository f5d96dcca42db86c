// DirectShow identifiers and interfaces that not every SDK's headers carry:
// the I420 video subtype, the Sample Grabber and the Null Renderer (qedit.dll) with their
// documented class identifiers, and the Sample Grabber's interfaces, which
// newer Windows SDKs no longer declare. Defined once, here.
//
// The interface blocks use the include guards of the SDK's qedit.h, so this
// header and qedit.h can meet in one translation unit in either order.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <dshow.h>

// {C1F400A0-3F08-11D3-9F0B-006008039E37}
DEFINE_GUID(ZX_CLSID_SampleGrabber, 0xC1F400A0, 0x3F08, 0x11D3, 0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37);
// {C1F400A4-3F08-11D3-9F0B-006008039E37}
DEFINE_GUID(ZX_CLSID_NullRenderer, 0xC1F400A4, 0x3F08, 0x11D3, 0x9F, 0x0B, 0x00, 0x60, 0x08, 0x03, 0x9E, 0x37);
// {6B652FFF-11FE-4FCE-92AD-0266B5D7C78F}
DEFINE_GUID(ZX_IID_ISampleGrabber, 0x6B652FFF, 0x11FE, 0x4FCE, 0x92, 0xAD, 0x02, 0x66, 0xB5, 0xD7, 0xC7, 0x8F);
// {0579154A-2B53-4994-B0D0-E773148EFF85}
DEFINE_GUID(ZX_IID_ISampleGrabberCB, 0x0579154A, 0x2B53, 0x4994, 0xB0, 0xD0, 0xE7, 0x73, 0x14, 0x8E, 0xFF, 0x85);

// The planar 4:2:0 video subtype "I420" (FOURCC subtypes are the FOURCC
// followed by 0000-0010-8000-00AA00389B71); mingw's headers lack it.
// {30323449-0000-0010-8000-00AA00389B71}
DEFINE_GUID(ZX_MEDIASUBTYPE_I420, 0x30323449, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

#define CLSID_SampleGrabber ZX_CLSID_SampleGrabber
#define CLSID_NullRenderer ZX_CLSID_NullRenderer

#ifndef __ISampleGrabberCB_INTERFACE_DEFINED__
#define __ISampleGrabberCB_INTERFACE_DEFINED__
// Called by the Sample Grabber on its streaming thread for every sample.
struct ISampleGrabberCB : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SampleCB(double sampleTime, IMediaSample* sample) = 0;
    virtual HRESULT STDMETHODCALLTYPE BufferCB(double sampleTime, BYTE* buffer, LONG length) = 0;
};
#endif

#ifndef __ISampleGrabber_INTERFACE_DEFINED__
#define __ISampleGrabber_INTERFACE_DEFINED__
struct ISampleGrabber : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetOneShot(BOOL oneShot) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL bufferThem) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentBuffer(LONG* bufferSize, LONG* buffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentSample(IMediaSample** sample) = 0;
    // which: 0 calls SampleCB, 1 BufferCB.
    virtual HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* callback, LONG which) = 0;
};
#endif
