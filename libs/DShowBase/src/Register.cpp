#include "DShowBase/Register.h"

#include <string>

namespace {

bool NotThere(HRESULT hr) {
    return hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
}

HRESULT SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
    const LONG rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return HRESULT_FROM_WIN32(rc);
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(DShowModule(), &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

HRESULT RegisterClassKey(const CFactoryTemplate& t) {
    const std::wstring modulePath = ModulePath();
    if (modulePath.empty()) return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_INVALID_HANDLE);
    const std::wstring keyName = L"CLSID\\" + DShowGuidString(*t.clsid);

    HKEY classKey = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &classKey, nullptr);
    if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    HRESULT hr = SetString(classKey, nullptr, t.name ? t.name : L"");
    if (SUCCEEDED(hr)) {
        HKEY serverKey = nullptr;
        rc = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr, &serverKey, nullptr);
        hr = HRESULT_FROM_WIN32(rc);
        if (rc == ERROR_SUCCESS) {
            hr = SetString(serverKey, nullptr, modulePath);
            if (SUCCEEDED(hr)) hr = SetString(serverKey, L"ThreadingModel", L"Both");
            RegCloseKey(serverKey);
        }
    }
    RegCloseKey(classKey);
    return hr;
}

HRESULT UnregisterClassKey(const CFactoryTemplate& t) {
    const std::wstring keyName = L"CLSID\\" + DShowGuidString(*t.clsid);
    const LONG rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, keyName.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return S_OK;
    return HRESULT_FROM_WIN32(rc);
}

HRESULT RegisterFilter(const FilterSetup& setup, bool reg) {
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                                  reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    if (reg) {
        REGFILTER2 record = {};
        record.dwVersion = 1;
        record.dwMerit = setup.merit;
        record.cPins = setup.pinCount;
        record.rgPins = setup.pins;
        hr = mapper->RegisterFilter(*setup.clsid, setup.name, nullptr, &CLSID_LegacyAmFilterCategory, nullptr, &record);
    } else {
        hr = mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *setup.clsid);
        if (NotThere(hr)) hr = S_OK;
    }
    mapper->Release();
    return hr;
}

}  // namespace

std::wstring DShowGuidString(REFGUID guid) {
    wchar_t text[40] = {};
    if (StringFromGUID2(guid, text, 40) <= 0) return std::wstring();
    return text;
}

CComInit::CComInit() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // S_FALSE: already initialised here, and the count was raised all the
    // same. RPC_E_CHANGED_MODE: initialised in the other model; usable.
    m_mustUninit = SUCCEEDED(hr);
    m_ok = SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE;
}

CComInit::~CComInit() {
    if (m_mustUninit) CoUninitialize();
}

HRESULT DShowRegisterServers(const CFactoryTemplate* templates, int count, bool reg) {
    CComInit com;
    if (!com.Ok()) return E_UNEXPECTED;
    for (int i = 0; i < count; ++i) {
        const CFactoryTemplate& t = templates[i];
        HRESULT hr = S_OK;
        if (reg) {
            // The class first, so the mapper can look at it.
            hr = RegisterClassKey(t);
            if (SUCCEEDED(hr) && t.setup) hr = RegisterFilter(*t.setup, true);
        } else {
            if (t.setup) hr = RegisterFilter(*t.setup, false);
            if (SUCCEEDED(hr)) hr = UnregisterClassKey(t);
        }
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}
