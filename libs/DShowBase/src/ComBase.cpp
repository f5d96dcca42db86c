#include "DShowBase/ComBase.h"

namespace {
volatile LONG g_activeObjects = 0;
}

CUnknown::CUnknown(const wchar_t* /*objectName*/, IUnknown* outer)
    : m_owner(outer ? outer : reinterpret_cast<IUnknown*>(static_cast<INonDelegatingUnknown*>(this))) {
    InterlockedIncrement(&g_activeObjects);
}

CUnknown::~CUnknown() { InterlockedDecrement(&g_activeObjects); }

LONG CUnknown::ActiveObjects() { return InterlockedCompareExchange(&g_activeObjects, 0, 0); }

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) return GetInterface(InnerUnknown(), ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_ref)); }

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
    const LONG left = InterlockedDecrement(&m_ref);
    if (left == 0) {
        // A destructor that hands out and releases a temporary reference to
        // itself must not delete the object a second time.
        m_ref = 1;
        delete this;
        return 0;
    }
    return static_cast<ULONG>(left > 0 ? left : 0);
}

HRESULT GetInterface(IUnknown* unknown, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = unknown;
    unknown->AddRef();
    return S_OK;
}
