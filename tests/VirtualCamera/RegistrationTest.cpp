// Registering the module makes "ZXVCam" a video capture device that clients
// find with the system device enumerator; unregistering removes it.
#include <windows.h>

#include <gtest/gtest.h>

#include <dshow.h>

#include <algorithm>

#include "DShowBase/Register.h"
#include "TestSupport.h"
#include "VCamGuids.h"
#include "VCamTestSupport.h"
#include "ZxLib/ZxLib.h"

namespace {

using vct::Ptr;

// Runs regsvr32 on the module, as a setup tool does; its exit code.
int RegSvr32(bool reg) {
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    return zxtest::RunProcess("\"" + Charset::WString2String(system) + "\\regsvr32.exe\" /s " + (reg ? "" : "/u ") + "\"" +
                              vct::FilterDllPath() + "\"");
}

std::wstring ReadString(const std::wstring& keyName, const wchar_t* value) {
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, keyName.c_str(), value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return text;
}

bool KeyExists(const std::wstring& keyName) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

size_t CountCameras() {
    const std::vector<std::wstring> names = vct::VideoInputDevices();
    return static_cast<size_t>(std::count(names.begin(), names.end(), std::wstring(L"ZXVCam")));
}

class Registration : public testing::Test {
protected:
    void SetUp() override {
        vct::RedirectFilterLog("registration");
        ASSERT_TRUE(com.Ok());
        vct::CallRegistration(false);
    }
    void TearDown() override { vct::CallRegistration(false); }
    vct::ComScope com{COINIT_APARTMENTTHREADED};
};

TEST_F(Registration, Regsvr32MakesTheCameraAppearWithOneOutputPinAndRemovesIt) {
    const std::wstring clsid = DShowGuidString(CLSID_ZXVCam);
    const std::wstring classKey = L"CLSID\\" + clsid;
    const std::wstring legacy = L"CLSID\\" + DShowGuidString(CLSID_LegacyAmFilterCategory) + L"\\Instance\\" + clsid;
    const std::wstring device = L"CLSID\\" + DShowGuidString(CLSID_VideoInputDeviceCategory) + L"\\Instance\\ZXVCam";
    EXPECT_EQ(0u, CountCameras());
    EXPECT_FALSE(KeyExists(classKey));

    ASSERT_EQ(0, RegSvr32(true));
    EXPECT_EQ(1u, CountCameras());
    EXPECT_EQ(L"ZXVCam", ReadString(classKey, nullptr));
    EXPECT_EQ(Charset::String2WString(vct::FilterDllPath()), ReadString(classKey + L"\\InprocServer32", nullptr));
    EXPECT_EQ(L"Both", ReadString(classKey + L"\\InprocServer32", L"ThreadingModel"));
    EXPECT_TRUE(KeyExists(legacy)) << "registered in the DirectShow filter category too";
    EXPECT_EQ(L"ZXVCam", ReadString(legacy, L"FriendlyName"));
    EXPECT_EQ(L"ZXVCam", ReadString(device, L"FriendlyName"));
    EXPECT_EQ(clsid, ReadString(device, L"CLSID"));
    // A device path of its own, for programs that key devices on it.
    EXPECT_EQ(L"@device:sw:" + DShowGuidString(CLSID_VideoInputDeviceCategory) + L"\\" + clsid,
              ReadString(device, L"DevicePath"));

    // A client binds the device's moniker to the filter.
    {
        Ptr<IBaseFilter> filter;
        ASSERT_EQ(S_OK, vct::BindDevice(L"ZXVCam", &filter));
        CLSID got = GUID_NULL;
        EXPECT_EQ(S_OK, filter->GetClassID(&got));
        EXPECT_EQ(CLSID_ZXVCam, got);
        Ptr<IEnumPins> pins;
        ASSERT_EQ(S_OK, filter->EnumPins(&pins));
        IPin* all[4] = {};
        ULONG fetched = 0;
        pins->Next(4, all, &fetched);
        ASSERT_EQ(1u, fetched);
        PIN_DIRECTION dir = PINDIR_INPUT;
        all[0]->QueryDirection(&dir);
        EXPECT_EQ(PINDIR_OUTPUT, dir);
        Ptr<IKsPropertySet> props;
        ASSERT_EQ(S_OK, all[0]->QueryInterface(IID_IKsPropertySet, props.out()));
        GUID category = GUID_NULL;
        DWORD returned = 0;
        EXPECT_EQ(S_OK, props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16, &returned));
        EXPECT_EQ(PIN_CATEGORY_CAPTURE, category);
        all[0]->Release();
    }

    // Registering again changes nothing.
    ASSERT_EQ(0, RegSvr32(true));
    EXPECT_EQ(1u, CountCameras());

    ASSERT_EQ(0, RegSvr32(false));
    EXPECT_EQ(0u, CountCameras());
    EXPECT_FALSE(KeyExists(classKey));
    EXPECT_FALSE(KeyExists(legacy));
    EXPECT_FALSE(KeyExists(device));
    void* gone = nullptr;
    EXPECT_EQ(REGDB_E_CLASSNOTREG, CoCreateInstance(CLSID_ZXVCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, &gone))
        << "the class is gone";
}

TEST_F(Registration, DirectCallsRegisterAndUnregisterToo) {
    ASSERT_EQ(S_OK, vct::CallRegistration(true));
    EXPECT_EQ(1u, CountCameras());
    Ptr<IBaseFilter> filter;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_ZXVCam, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.out()));
    filter.Reset();
    ASSERT_EQ(S_OK, vct::CallRegistration(false));
    EXPECT_EQ(0u, CountCameras());
}

}  // namespace
