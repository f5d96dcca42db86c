// The test camera and test microphone filters (see TestDevices.h).
#pragma once

#include <windows.h>

#include <dshow.h>
#include <ocidl.h>

#include <new>
#include <string>
#include <vector>

#include "DShowBase/Source.h"
#include "ZxLib/ZxLib.h"

// A filter that takes its settings from the device's property bag.
class CTestDeviceFilter : public CSource, public IPersistPropertyBag {
public:
    CTestDeviceFilter(const wchar_t* name, IUnknown* outer, REFCLSID clsid) : CSource(name, outer, clsid) {}

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { return CSource::GetClassID(clsid); }

    // IPersistPropertyBag
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

protected:
    // One setting read from the bag; value is left alone when missing.
    virtual void TakeSetting(const wchar_t* name, const std::wstring& value) = 0;
    virtual const wchar_t* const* SettingNames() = 0;
};

// A filter of this module with its one capture pin, a Pin(HRESULT*, CSource*).
// The pin joins the filter's pin list as it is made; the filter deletes it.
template <class Pin>
class CTestDeviceFilterWith : public CTestDeviceFilter {
protected:
    CTestDeviceFilterWith(const wchar_t* name, IUnknown* outer, REFCLSID clsid, HRESULT* result)
        : CTestDeviceFilter(name, outer, clsid) {
        m_pin = new (std::nothrow) Pin(result, this);
        if (!m_pin && result) *result = E_OUTOFMEMORY;
    }
    ~CTestDeviceFilterWith() override { DeletePins(); }

    Pin* m_pin = nullptr;
};

// Makes a filter for the class factory: Filter(IUnknown* outer, HRESULT*).
template <class Filter>
CUnknown* CreateTestDeviceFilter(IUnknown* outer, HRESULT* result) {
    Filter* filter = new (std::nothrow) Filter(outer, result);
    if (!filter && result) *result = E_OUTOFMEMORY;
    return filter;
}

// A capture pin whose format (m_mt) is chosen through IAMStreamConfig; category PIN_CATEGORY_CAPTURE.
class CTestCapturePin : public CSourceStream, public IAMStreamConfig, public IKsPropertySet {
public:
    CTestCapturePin(HRESULT* result, CSource* filter, const wchar_t* name) : CSourceStream(name, result, filter, name) {}

    DECLARE_IUNKNOWN
    HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // IAMStreamConfig
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** mt) override;

    // IKsPropertySet
    HRESULT STDMETHODCALLTYPE Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data,
                                  DWORD dataBytes, DWORD* returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;
};

CUnknown* CreateTestCamera(IUnknown* outer, HRESULT* result);
CUnknown* CreateTestMicrophone(IUnknown* outer, HRESULT* result);

// Waits until ZxLib's clock (Clock::NowMs) reaches the given time.
void TestDeviceWaitUntil(double ms);
