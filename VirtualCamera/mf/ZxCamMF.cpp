// The module ZxCamMF: the Media Foundation camera's COM class (creating its
// IMFActivate), and its registration under HKEY_LOCAL_MACHINE, where the
// Frame Server (a service of the machine) reads classes, with the threading
// model Both: the source is free-threaded.
#include <windows.h>
#include <objbase.h>

#include <mfapi.h>

#include <new>
#include <string>

#include "MFActivate.h"
#include "MFGuids.h"
#include "MFSource.h"

namespace {

HMODULE g_module = nullptr;
LONG g_locks = 0;

const std::wstring ClassKey() { return std::wstring(L"SOFTWARE\\Classes\\CLSID\\") + kZxCamMFClsidText; }

class CClassFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // One static factory: its life is the module's.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return CZxMFActivate::Create(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_locks);
        } else {
            InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }
};

CClassFactory g_factory;

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_ZxCamMF) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return (ZxMFObjectCount() == 0 && g_locks == 0) ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(g_module, path, sizeof(path) / sizeof(path[0]));
    if (n == 0 || n >= sizeof(path) / sizeof(path[0])) return E_FAIL;
    HKEY cls = nullptr, server = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassKey().c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &cls, nullptr);
    if (rc == ERROR_SUCCESS) rc = SetText(cls, nullptr, kZxCamMFName);
    if (rc == ERROR_SUCCESS)
        rc = RegCreateKeyExW(cls, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &server, nullptr);
    if (rc == ERROR_SUCCESS) rc = SetText(server, nullptr, path);
    if (rc == ERROR_SUCCESS) rc = SetText(server, L"ThreadingModel", L"Both");
    if (server) RegCloseKey(server);
    if (cls) RegCloseKey(cls);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

STDAPI DllUnregisterServer() {
    const LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
    return (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ? S_OK : HRESULT_FROM_WIN32(rc);
}
