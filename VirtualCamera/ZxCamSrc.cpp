// The module ZxCamSrc: one filter class, "ZXVCam", registered as a COM class,
// as a DirectShow filter and as a video capture device; and the module's
// entry points.
#include <windows.h>
#include <objbase.h>

#include <dshow.h>

#include "DShowBase/ClassFactory.h"
#include "DShowBase/Register.h"
#include "VCam.h"
#include "VCamGuids.h"

namespace {

wchar_t g_pinName[] = L"Output";

// One pin in both records: an output of video, rendered by nobody in
// particular.
const REGPINTYPES kPinTypes = {&MEDIATYPE_Video, &GUID_NULL};
const REGFILTERPINS kPins = {
    g_pinName,   // name
    FALSE,       // rendered
    TRUE,        // output
    FALSE,       // zero instances allowed
    FALSE,       // many instances allowed
    &CLSID_NULL, // connects to filter
    nullptr,     // connects to pin
    1,           // media types
    &kPinTypes,
};

// The default filter category: never picked by intelligent connection.
const FilterSetup kSetup = {&CLSID_ZXVCam, ZXVCAM_NAME, MERIT_DO_NOT_USE, 1, &kPins};

const CFactoryTemplate kTemplates[] = {
    {ZXVCAM_NAME, &CLSID_ZXVCam, &CVCam::CreateInstance, &kSetup},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

// The device's own "DevicePath": programs that key capture devices on it
// (rather than on the friendly name) tell the camera apart from every other
// device by it. The form of a software device's moniker name in the video
// input category, with the filter's class identifier: unique, the same for
// the 64- and the 32-bit module and the same in every version.
const wchar_t kDevicePath[] =
    L"@device:sw:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\{69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}";

// Writes the device path into the registered device's property bag.
HRESULT WriteDevicePath(IMoniker* device) {
    IPropertyBag* bag = nullptr;
    HRESULT hr = device->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (FAILED(hr)) return hr;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(kDevicePath);
    hr = value.bstrVal ? bag->Write(L"DevicePath", &value) : E_OUTOFMEMORY;
    VariantClear(&value);
    bag->Release();
    return hr;
}

HRESULT CreateMapper(IFilterMapper2** mapper) {
    return CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                            reinterpret_cast<void**>(mapper));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    return DShowDllEntry(instance, reason);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return DShowGetClassObject(kTemplates, kTemplateCount, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return DShowCanUnloadNow(); }

STDAPI DllRegisterServer() {
    HRESULT hr = DShowRegisterServers(kTemplates, kTemplateCount, true);
    if (FAILED(hr)) return hr;
    CComInit com;
    IFilterMapper2* mapper = nullptr;
    hr = CreateMapper(&mapper);
    if (FAILED(hr)) return hr;
    // The record that makes the filter a video capture device.
    REGFILTER2 record = {};
    record.dwVersion = 1;
    record.dwMerit = MERIT_NORMAL;
    record.cPins = 1;
    record.rgPins = &kPins;
    // The device's moniker is asked for, to give it its device path.
    IMoniker* device = nullptr;
    hr = mapper->RegisterFilter(CLSID_ZXVCam, ZXVCAM_NAME, &device, &CLSID_VideoInputDeviceCategory, ZXVCAM_NAME,
                                &record);
    mapper->Release();
    if (SUCCEEDED(hr) && device) hr = WriteDevicePath(device);
    if (device) device->Release();
    return hr;
}

STDAPI DllUnregisterServer() {
    HRESULT hr = DShowRegisterServers(kTemplates, kTemplateCount, false);
    if (FAILED(hr)) return hr;
    CComInit com;
    IFilterMapper2* mapper = nullptr;
    hr = CreateMapper(&mapper);
    if (FAILED(hr)) return hr;
    hr = mapper->UnregisterFilter(&CLSID_VideoInputDeviceCategory, ZXVCAM_NAME, CLSID_ZXVCam);
    mapper->Release();
    return hr;
}
