#include "TestFilters.h"

#include <algorithm>

HRESULT STDMETHODCALLTYPE CTestDeviceFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IPersistPropertyBag) return GetInterface(static_cast<IPersistPropertyBag*>(this), ppv);
    return CSource::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CTestDeviceFilter::Load(IPropertyBag* bag, IErrorLog* log) {
    if (!bag) return E_POINTER;
    for (const wchar_t* const* name = SettingNames(); *name; ++name) {
        VARIANT var;
        VariantInit(&var);
        var.vt = VT_BSTR;
        if (SUCCEEDED(bag->Read(*name, &var, log)) && var.vt == VT_BSTR && var.bstrVal)
            TakeSetting(*name, std::wstring(var.bstrVal, SysStringLen(var.bstrVal)));
        VariantClear(&var);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CTestCapturePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), ppv);
    if (riid == IID_IKsPropertySet) return GetInterface(static_cast<IKsPropertySet*>(this), ppv);
    return CSourceStream::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CTestCapturePin::GetFormat(AM_MEDIA_TYPE** mt) {
    if (!mt) return E_POINTER;
    CAutoLock lock(m_pLock);
    *mt = CreateMediaType(&m_mt);
    return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CTestCapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataBytes,
                                               DWORD* returned) {
    return CapturePinCategoryGet(set, id, data, dataBytes, returned);
}

HRESULT STDMETHODCALLTYPE CTestCapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    return CapturePinCategorySupported(set, id, support);
}

void TestDeviceWaitUntil(double ms) {
    for (;;) {
        const double left = ms - Clock::NowMs();
        if (left <= 0) return;
        Sleep(static_cast<DWORD>(std::min(left, 20.0)) + 1);
    }
}
