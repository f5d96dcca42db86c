// Registers the test devices module and adds test cameras and microphones as devices, removed again.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "TestDevices.h"

namespace tdev {

// Registers ZxTestDevices.dll while alive, then unregisters it and every device added.
class TestDevices {
public:
    TestDevices();
    ~TestDevices();
    TestDevices(const TestDevices&) = delete;
    TestDevices& operator=(const TestDevices&) = delete;
    bool Ok() const { return m_ok; }

    // A test camera under instance key key ("ZxTestCamera0" ...; devices
    // are enumerated in the order of their keys). With devicePath false
    // the device lacks "DevicePath". caps: see TestDevices.h.
    bool AddCamera(const std::wstring& key, const std::wstring& friendlyName,
                   const std::wstring& caps = ZXTEST_DEFAULT_CAPS, bool devicePath = true);
    bool AddMicrophone(const std::wstring& key, const std::wstring& friendlyName, int toneHz = 1000,
                       int amplitude = 8000);
    // Removes one device again.
    void Remove(const std::wstring& key);
    void RemoveAll();

private:
    bool Add(REFCLSID category, REFCLSID clsid, const std::wstring& key, const std::wstring& friendlyName,
             const std::vector<std::pair<std::wstring, std::wstring>>& values);
    struct Device {
        CLSID category;
        CLSID clsid;
        std::wstring key;
    };
    std::vector<Device> m_devices;
    bool m_ok;
};

}  // namespace tdev
