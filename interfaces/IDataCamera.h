// "modCamera": the camera source. The main program lists the cameras and
// their frame sizes, chooses one, opens and closes it, and observes
// "modCamera_ob", which tells it when the camera opened or closed.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ObserverBase.h"
#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_CAMERA "modCamera"
#define ZX_MOD_CAMERA_OB "modCamera_ob"

// Notification types of "modCamera_ob".
enum eCameraMessage {
    // The camera opened (true) or closed (false); arguments (bool open).
    CAMERA_MSG_STATE = 0,
};

// One camera of the list: its device index and friendly name.
struct CameraEntry {
    int index;
    std::string name;
};

class IDataCamera : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_CAMERA;
    // Every video device but the system's own virtual camera ("ZXVCam"),
    // with its device index (indices may skip a number).
    virtual void GetCameraList(std::vector<CameraEntry>& cameras) = 0;
    // The chosen camera's device index, -1 for none.
    virtual int GetCurrentCamera() = 0;
    // Chooses the first camera whose name is exactly name. Always true.
    virtual bool SelectCameraByName(const std::string& name) = 0;
    // Chooses a camera by device index and stores its name; a running
    // camera is switched over. Always true.
    virtual bool SelectCamera(int index) = 0;
    // The device's name, empty when no device has the index. Always true.
    virtual bool GetCameraName(int index, std::string& name) = 0;
    // Appends the frame sizes the chosen camera offers, in its order.
    virtual void GetAllFrameSize(std::vector<int>& widths, std::vector<int>& heights) = 0;
    // The capture size asked of the camera; stored, and applied at once to
    // a running camera.
    virtual void SetFrameSize(int width, int height) = 0;
    virtual void GetFrameSize(int& width, int& height) = 0;
    // Opens the chosen camera and makes it the video source.
    virtual bool StartCamera() = 0;
    // Hands the picture back to the default source and closes the camera.
    virtual void StopCamera() = 0;
    // The chosen camera's own property pages, owned by the window.
    virtual void ShowPropertyPage(HWND owner) = 0;
};

// Observer of "modCamera_ob" for the main program.
class IDataCameraObserver : public IMessageObserver {
public:
    // The group this observer attaches to (see ObserverBase.h).
    static constexpr const char* kGroup = ZX_MOD_CAMERA_OB;
    using StateMsg = CNotification<IDataCameraObserver, CAMERA_MSG_STATE, bool>;

    void OnMessage(int type, const ArgList& args) override {
        if (type == StateMsg::kType) StateMsg::Call(args, this, &IDataCameraObserver::OnCameraState);
    }
    virtual void OnCameraState(bool open) = 0;
};
