#include "DShowBase/ClassFactory.h"

#include <new>

namespace {
volatile LONG g_serverLocks = 0;
HINSTANCE g_module = nullptr;
}  // namespace

CClassFactory::CClassFactory(const CFactoryTemplate* factoryTemplate)
    : CUnknown(L"class factory", nullptr), m_template(factoryTemplate) {}

HRESULT STDMETHODCALLTYPE CClassFactory::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IClassFactory) return GetInterface(static_cast<IClassFactory*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && riid != IID_IUnknown) return E_NOINTERFACE;

    HRESULT hr = S_OK;
    CUnknown* object = m_template->create(outer, &hr);
    if (!object) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    // The temporary reference keeps the object alive through the query and
    // deletes it when the query fails.
    object->NonDelegatingAddRef();
    hr = object->NonDelegatingQueryInterface(riid, ppv);
    object->NonDelegatingRelease();
    return hr;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
    if (lock) {
        InterlockedIncrement(&g_serverLocks);
    } else if (InterlockedDecrement(&g_serverLocks) < 0) {
        // More unlocks than locks: a client fault that must not keep the
        // module loaded for ever, nor let it unload while locked.
        InterlockedIncrement(&g_serverLocks);
    }
    return S_OK;
}

LONG CClassFactory::ServerLocks() { return InterlockedCompareExchange(&g_serverLocks, 0, 0); }

HRESULT DShowGetClassObject(const CFactoryTemplate* templates, int count, REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    for (int i = 0; i < count; ++i) {
        if (*templates[i].clsid != clsid) continue;
        CClassFactory* factory = new (std::nothrow) CClassFactory(&templates[i]);
        if (!factory) return E_OUTOFMEMORY;
        factory->NonDelegatingAddRef();
        const HRESULT hr = factory->NonDelegatingQueryInterface(riid, ppv);
        factory->NonDelegatingRelease();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT DShowCanUnloadNow() { return CUnknown::ActiveObjects() == 0 && CClassFactory::ServerLocks() == 0 ? S_OK : S_FALSE; }

BOOL DShowDllEntry(HINSTANCE instance, DWORD reason) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        // The filter has no per-thread state: no need to be called for every
        // thread the client starts.
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

HINSTANCE DShowModule() {
    if (g_module) return g_module;
    // Linked into a program (or no DllMain ran): the module holding this code.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&g_module), &self);
    return self;
}
