// ZxTestDevices.dll's COM entry points; registration writes the two classes only (the devices
// are instance keys the tests add).
#include <windows.h>
#include <objbase.h>

#include "DShowBase/ClassFactory.h"
#include "DShowBase/Register.h"
#include "TestDevices.h"
#include "TestFilters.h"

namespace {

const CFactoryTemplate kTemplates[] = {
    {ZXTEST_CAMERA_CLASS, &CLSID_ZxTestCamera, &CreateTestCamera, nullptr},
    {ZXTEST_MICROPHONE_CLASS, &CLSID_ZxTestMicrophone, &CreateTestMicrophone, nullptr},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    return DShowDllEntry(instance, reason);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return DShowGetClassObject(kTemplates, kTemplateCount, clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() { return DShowCanUnloadNow(); }

STDAPI DllRegisterServer() { return DShowRegisterServers(kTemplates, kTemplateCount, true); }

STDAPI DllUnregisterServer() { return DShowRegisterServers(kTemplates, kTemplateCount, false); }
