#include "TestDeviceSupport.h"

#include <objbase.h>

#include <dshow.h>

#include "ZxLib/ZxLib.h"

namespace tdev {

namespace {

std::wstring GuidText(REFGUID guid) {
    wchar_t text[64] = {};
    StringFromGUID2(guid, text, 64);
    return text;
}

std::wstring InstanceKey(REFCLSID category, const std::wstring& key) {
    return L"CLSID\\" + GuidText(category) + L"\\Instance\\" + key;
}

IFilterMapper2* Mapper() {
    IFilterMapper2* mapper = nullptr;
    CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                     reinterpret_cast<void**>(&mapper));
    return mapper;
}

// Removes every device of the test classes a crashed test run may have left in the category.
void RemoveStaleDevices(REFCLSID category) {
    const std::wstring path = L"CLSID\\" + GuidText(category) + L"\\Instance";
    HKEY instances = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &instances) != ERROR_SUCCESS) return;
    std::vector<std::wstring> stale;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(instances, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        wchar_t clsid[64] = {};
        DWORD bytes = sizeof(clsid);
        if (RegGetValueW(instances, name, L"CLSID", RRF_RT_REG_SZ, nullptr, clsid, &bytes) != ERROR_SUCCESS) continue;
        if (_wcsicmp(clsid, GuidText(CLSID_ZxTestCamera).c_str()) == 0 ||
            _wcsicmp(clsid, GuidText(CLSID_ZxTestMicrophone).c_str()) == 0)
            stale.push_back(name);
    }
    for (const std::wstring& key : stale) RegDeleteTreeW(instances, key.c_str());
    RegCloseKey(instances);
}

// Runs regsvr32 /s (with /u to unregister) on a module; true on exit code 0.
bool RunRegsvr32(const std::string& dllPath, bool reg) {
    std::wstring cmd = std::wstring(L"regsvr32.exe /s ") + (reg ? L"" : L"/u ") + L"\"" +
                       Charset::String2WString(dllPath) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

}  // namespace

TestDevices::TestDevices() : m_ok(RunRegsvr32(Dir::GetCurrentPath() + "ZxTestDevices.dll", true)) {
    RemoveStaleDevices(CLSID_VideoInputDeviceCategory);
    RemoveStaleDevices(CLSID_AudioInputDeviceCategory);
}

TestDevices::~TestDevices() {
    RemoveAll();
    RunRegsvr32(Dir::GetCurrentPath() + "ZxTestDevices.dll", false);
}

bool TestDevices::Add(REFCLSID category, REFCLSID clsid, const std::wstring& key, const std::wstring& friendlyName,
                      const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IFilterMapper2* mapper = Mapper();
    bool ok = false;
    if (mapper) {
        REGPINTYPES types = {&MEDIATYPE_NULL, &MEDIASUBTYPE_NULL};
        wchar_t pinName[] = L"Capture";
        REGFILTERPINS pin = {pinName, FALSE, TRUE, FALSE, FALSE, &CLSID_NULL, nullptr, 1, &types};
        REGFILTER2 record = {};
        record.dwVersion = 1;
        record.dwMerit = MERIT_DO_NOT_USE;
        record.cPins = 1;
        record.rgPins = &pin;
        ok = SUCCEEDED(mapper->RegisterFilter(clsid, friendlyName.c_str(), nullptr, &category, key.c_str(), &record));
        mapper->Release();
    }
    if (ok) {
        HKEY hkey = nullptr;
        ok = RegOpenKeyExW(HKEY_CLASSES_ROOT, InstanceKey(category, key).c_str(), 0, KEY_SET_VALUE, &hkey) ==
             ERROR_SUCCESS;
        for (const auto& v : values) {
            if (!ok) break;
            ok = RegSetValueExW(hkey, v.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(v.second.c_str()),
                                static_cast<DWORD>((v.second.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        }
        if (hkey) RegCloseKey(hkey);
        m_devices.push_back(Device{category, clsid, key});
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return ok;
}

bool TestDevices::AddCamera(const std::wstring& key, const std::wstring& friendlyName, const std::wstring& caps,
                            bool devicePath) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    values.push_back(std::make_pair(std::wstring(ZXTEST_CAPS_VALUE), caps));
    if (devicePath) values.push_back(std::make_pair(std::wstring(L"DevicePath"), L"\\\\?\\zxtest#camera#" + key));
    return Add(CLSID_VideoInputDeviceCategory, CLSID_ZxTestCamera, key, friendlyName, values);
}

bool TestDevices::AddMicrophone(const std::wstring& key, const std::wstring& friendlyName, int toneHz,
                                int amplitude) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    values.push_back(std::make_pair(std::wstring(ZXTEST_TONE_VALUE), std::to_wstring(toneHz)));
    values.push_back(std::make_pair(std::wstring(ZXTEST_AMPLITUDE_VALUE), std::to_wstring(amplitude)));
    return Add(CLSID_AudioInputDeviceCategory, CLSID_ZxTestMicrophone, key, friendlyName, values);
}

void TestDevices::Remove(const std::wstring& key) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    for (size_t i = 0; i < m_devices.size(); ++i) {
        if (m_devices[i].key != key) continue;
        IFilterMapper2* mapper = Mapper();
        if (mapper) {
            mapper->UnregisterFilter(&m_devices[i].category, key.c_str(), m_devices[i].clsid);
            mapper->Release();
        }
        // What the mapper leaves (our own values) goes with the key.
        RegDeleteTreeW(HKEY_CLASSES_ROOT, InstanceKey(m_devices[i].category, key).c_str());
        m_devices.erase(m_devices.begin() + static_cast<ptrdiff_t>(i));
        break;
    }
    if (SUCCEEDED(init)) CoUninitialize();
}

void TestDevices::RemoveAll() {
    while (!m_devices.empty()) Remove(m_devices.back().key);
}

}  // namespace tdev
