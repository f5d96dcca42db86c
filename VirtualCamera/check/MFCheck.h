// ZxCamCheck --mf: opens the camera the Media Foundation way and gives the
// same figures and the same "result: ok" rule as the DirectShow check.
//
// On Windows 11 the Frame Server's camera is found through
// MFEnumDeviceSources, as the Camera app finds it. Where the system lists no
// such camera (Windows 10, Wine, or the camera not added to the service) the
// check creates the media source itself, from its registered class or from
// ZxCamMF.dll beside the check, and reads it through a source reader, as
// every Media Foundation client reads a camera. It asks for RGB32 at the
// chosen size.
#pragma once

#include "ConsoleCheck.h"

namespace camcheck {

int RunMFConsole(const Options& options);

}  // namespace camcheck
