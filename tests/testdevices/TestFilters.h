// The test camera and test microphone filters (see TestDevices.h).
#pragma once

#include <windows.h>

#include <dshow.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "DShowBase/Source.h"

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

// A capture pin: IKsPropertySet names it PIN_CATEGORY_CAPTURE.
class CTestCapturePin : public CSourceStream, public IKsPropertySet {
public:
    CTestCapturePin(HRESULT* result, CSource* filter, const wchar_t* name) : CSourceStream(name, result, filter, name) {}
    HRESULT STDMETHODCALLTYPE Set(REFGUID, DWORD, LPVOID, DWORD, LPVOID, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceBytes, LPVOID data,
                                  DWORD dataBytes, DWORD* returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;
};

CUnknown* CreateTestCamera(IUnknown* outer, HRESULT* result);
CUnknown* CreateTestMicrophone(IUnknown* outer, HRESULT* result);

// Milliseconds of a steady clock.
double TestDeviceNowMs();
// Waits until the steady clock reaches the given time.
void TestDeviceWaitUntil(double ms);
