// The class identifier of the ZXVCam capture filter. Fixed for good:
// registrations and client settings refer to it.
#pragma once

#include <windows.h>
#include <objbase.h>

// {69FB58B5-10C3-4597-8320-5F2DFC0A6A0B}
DEFINE_GUID(CLSID_ZXVCam, 0x69FB58B5, 0x10C3, 0x4597, 0x83, 0x20, 0x5F, 0x2D, 0xFC, 0x0A, 0x6A, 0x0B);

// The filter's name: COM class, factory, device friendly name, output pin.
#define ZXVCAM_NAME L"ZXVCam"
