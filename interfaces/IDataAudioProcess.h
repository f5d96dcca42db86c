// "modAudioProcess": the microphone side. The main program's setup dialog
// and volume control list the audio input devices, choose one and set the
// input volume; the recorder starts and stops the capture. It sends no
// notifications.
#pragma once

#include <map>
#include <string>

#include "ZxMusicCore/ZxMusicCore.h"

#define ZX_MOD_AUDIOPROCESS "modAudioProcess"

// One audio input device: its index in the audio input category and its
// friendly name.
struct AudioInputDev {
    int index;
    std::string name;
};

// The devices by index.
typedef std::map<int, AudioInputDev> AudioInputDevMap;

class IDataAudioProcess : public IData {
public:
    // The module's name on the bus (see KernelModules.h).
    static constexpr const char* kModule = ZX_MOD_AUDIOPROCESS;
    // The module's own device map, also stored in *out when out is given;
    // read only, valid until the next RefreshInputDevs or UnInit.
    virtual const AudioInputDevMap* GetInputDevList(const AudioInputDevMap** out) = 0;
    // The same as GetInputDevName.
    virtual std::string GetInputDevNameEx(int index) = 0;
    // The current device index.
    virtual int GetInputDev() = 0;
    // Makes index current and stores its name; a running capture moves to
    // the new device.
    virtual void SetInputDev(int index) = 0;
    // The input volume in percent, stored; the capture scales by
    // percent / 100, at most 1.
    virtual void SetInputVol(int percent) = 0;
    virtual int GetInputVol() = 0;
    // Lists the devices again and takes the stored device when it is there.
    virtual void RefreshInputDevs() = 0;
    // The device name, "" for an index without device.
    virtual std::string GetInputDevName(int index) = 0;
    // The first device, by ascending index, named exactly name; -1 if none.
    virtual int FindInputDevByName(const std::string& name) = 0;
};
