// ZxCamMFReg.exe: adds the Media Foundation camera to Windows 11's
// virtual-camera service (the Frame Server), or removes it.
//
//   ZxCamMFReg.exe --add      the camera "ZXVCam" for every user, kept across
//                             restarts; one left by an earlier install is
//                             removed first, so there is never a second one
//   ZxCamMFReg.exe --remove   the camera goes
//
// ZxCamMF.dll must be registered first (regsvr32): the service creates the
// media source from its class. The service's entry, MFCreateVirtualCamera in
// mfsensorgroup.dll, is looked up at run time; where it does not exist
// (Windows 10, Wine) the tool says so and exits 0, since the DirectShow
// camera serves every program there. Exit codes: 0 done or not applicable,
// 1 usage, 2 the service refused.
#include <windows.h>
#include <objbase.h>

#include <mfapi.h>
#include <mfidl.h>

#include <cstdio>
#include <string>

#include "MFGuids.h"

namespace {

// The service's interface (it extends IMFAttributes), in the order of its
// documented methods.
struct IZxVirtualCamera : public IMFAttributes {
    virtual HRESULT STDMETHODCALLTYPE AddDeviceSourceInfo(LPCWSTR deviceSourceInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddProperty(const void* key, ULONG type, const BYTE* data, ULONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddRegistryEntry(LPCWSTR name, LPCWSTR subkey, DWORD type, const BYTE* data,
                                                       ULONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE Start(IMFAsyncCallback* callback) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE Remove() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMediaSource(IMFMediaSource** source) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCameraProperty(REFGUID set, ULONG id, ULONG flags, void* payload,
                                                         ULONG payloadLength, void* data, ULONG dataLength,
                                                         ULONG* written) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSyncEvent(REFGUID set, ULONG id, ULONG flags, HANDLE event,
                                                      IUnknown** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateSyncSemaphore(REFGUID set, ULONG id, ULONG flags, HANDLE semaphore,
                                                          LONG adjustment, IUnknown** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
};

// The documented values of the three choices.
constexpr int kSoftwareCameraSource = 0;  // MFVirtualCameraType_SoftwareCameraSource
constexpr int kLifetimeSystem = 1;        // MFVirtualCameraLifetime_System
constexpr int kAccessAllUsers = 1;        // MFVirtualCameraAccess_AllUsers

typedef HRESULT(WINAPI* CreateVirtualCamera)(int type, int lifetime, int access, LPCWSTR friendlyName,
                                             LPCWSTR sourceId, const GUID* categories, ULONG categoryCount,
                                             IZxVirtualCamera** camera);

void Say(const char* text) {
    std::fputs(text, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void SayResult(const char* what, HRESULT hr) {
    std::printf("%s: %s (0x%08lX)\n", what, SUCCEEDED(hr) ? "done" : "failed", static_cast<unsigned long>(hr));
    std::fflush(stdout);
}

HRESULT Make(CreateVirtualCamera create, IZxVirtualCamera** camera) {
    return create(kSoftwareCameraSource, kLifetimeSystem, kAccessAllUsers, kZxCamMFName, kZxCamMFClsidText, nullptr,
                  0, camera);
}

// Removes the camera of this name and source, when there is one.
HRESULT RemoveCamera(CreateVirtualCamera create) {
    IZxVirtualCamera* camera = nullptr;
    HRESULT hr = Make(create, &camera);
    if (FAILED(hr)) return hr;
    hr = camera->Remove();
    camera->Shutdown();
    camera->Release();
    return hr;
}

HRESULT AddCamera(CreateVirtualCamera create) {
    // An earlier install's camera is the same name and source: removing it
    // first leaves exactly one. Its absence is no error.
    RemoveCamera(create);
    IZxVirtualCamera* camera = nullptr;
    HRESULT hr = Make(create, &camera);
    if (FAILED(hr)) return hr;
    hr = camera->Start(nullptr);
    // The camera stays registered (system lifetime) after this object goes.
    camera->Shutdown();
    camera->Release();
    return hr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc == 2 ? argv[1] : L"";
    if (mode != L"--add" && mode != L"--remove") {
        Say("usage: ZxCamMFReg --add | --remove");
        return 1;
    }
    HMODULE module = LoadLibraryW(L"mfsensorgroup.dll");
    const auto create =
        module ? reinterpret_cast<CreateVirtualCamera>(reinterpret_cast<void*>(GetProcAddress(module, "MFCreateVirtualCamera"))) : nullptr;
    if (!create) {
        Say("this Windows has no virtual-camera service (Windows 11 is needed); the DirectShow camera is installed");
        if (module) FreeLibrary(module);
        return 0;
    }
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    HRESULT hr = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET);
    if (SUCCEEDED(hr)) {
        if (mode == L"--add") {
            hr = AddCamera(create);
            SayResult("add ZXVCam to the virtual-camera service", hr);
        } else {
            hr = RemoveCamera(create);
            SayResult("remove ZXVCam from the virtual-camera service", hr);
        }
        MFShutdown();
    } else {
        SayResult("start Media Foundation", hr);
    }
    if (com) CoUninitialize();
    FreeLibrary(module);
    return SUCCEEDED(hr) ? 0 : 2;
}
