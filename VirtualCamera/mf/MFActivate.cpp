#include "MFActivate.h"

#include <mferror.h>

#include <new>

#include "MFGuids.h"
#include "MFSource.h"

CZxMFActivate::CZxMFActivate() { ZxMFObjectCreated(); }

CZxMFActivate::~CZxMFActivate() {
    // A client may keep the source after letting the activation object go
    // (many do); the source then stays until the client shuts it down.
    if (m_source) m_source->Release();
    if (m_attributes) m_attributes->Release();
    ZxMFObjectDestroyed();
}

HRESULT CZxMFActivate::Create(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    CZxMFActivate* activate = new (std::nothrow) CZxMFActivate();
    if (!activate) return E_OUTOFMEMORY;
    HRESULT hr = MFCreateAttributes(&activate->m_attributes, 2);
    if (SUCCEEDED(hr)) hr = activate->m_attributes->SetString(MF_DEVSOURCE_ATTRIBUTE_FRIENDLY_NAME, kZxCamMFName);
    if (SUCCEEDED(hr))
        hr = activate->m_attributes->SetGUID(MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE, MF_DEVSOURCE_ATTRIBUTE_SOURCE_TYPE_VIDCAP_GUID);
    if (SUCCEEDED(hr)) hr = activate->QueryInterface(riid, ppv);
    activate->Release();
    return hr;
}

STDMETHODIMP CZxMFActivate::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMFAttributes || riid == IID_IMFActivate) {
        *ppv = static_cast<IMFActivate*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CZxMFActivate::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

STDMETHODIMP_(ULONG) CZxMFActivate::Release() {
    const LONG n = InterlockedDecrement(&m_ref);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

STDMETHODIMP CZxMFActivate::ActivateObject(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_source) {
        const HRESULT hr = CZxMFSource::Create(&m_source);
        if (FAILED(hr)) return hr;
    }
    return m_source->QueryInterface(riid, ppv);
}

STDMETHODIMP CZxMFActivate::ShutdownObject() {
    CZxMFSource* source = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        source = m_source;
        m_source = nullptr;
    }
    if (source) {
        source->Shutdown();
        source->Release();
    }
    return S_OK;
}

STDMETHODIMP CZxMFActivate::DetachObject() {
    CZxMFSource* source = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        source = m_source;
        m_source = nullptr;
    }
    // The client keeps the source and shuts it down itself.
    if (source) source->Release();
    return S_OK;
}
