// The test camera and microphone (ZxTestDevices.dll, never installed): each registered device is
// an instance key of its category with "FriendlyName", "DevicePath" and the settings below, which
// the filter reads from the moniker's property bag.
// Settings (REG_SZ values of the instance key):
//   camera     "ZxTestCaps": the capability list, "640x480,1280x720,640x480/32"
//              (a "/32" entry is RGB32, every other one RGB24); the first
//              entry is the current format of a fresh filter.
//   microphone "ZxTestTone": the tone in Hz (default 1000);
//              "ZxTestAmplitude": its peak value (default 8000).
#pragma once

#include <windows.h>

#include <cmath>
#include <cstdint>

// {762FB72C-9286-4F88-BF5A-B5943DAD21C2}
static const GUID CLSID_ZxTestCamera = {0x762fb72c, 0x9286, 0x4f88, {0xbf, 0x5a, 0xb5, 0x94, 0x3d, 0xad, 0x21, 0xc2}};
// {81A8BA92-8D7A-4E26-B904-9F5834EAE722}
static const GUID CLSID_ZxTestMicrophone = {0x81a8ba92, 0x8d7a, 0x4e26, {0xb9, 0x04, 0x9f, 0x58, 0x34, 0xea, 0xe7, 0x22}};

#define ZXTEST_CAMERA_CLASS L"ZxTestCamera"
#define ZXTEST_MICROPHONE_CLASS L"ZxTestMicrophone"
#define ZXTEST_CAPS_VALUE L"ZxTestCaps"
#define ZXTEST_TONE_VALUE L"ZxTestTone"
#define ZXTEST_AMPLITUDE_VALUE L"ZxTestAmplitude"
#define ZXTEST_DEFAULT_CAPS L"640x480,1280x720"

// Frames per second of the test camera.
const int kTestCameraFps = 25;

// The test camera's frame n at (x, y from the bottom), 0xRRGGBB: lower half red | green, upper
// blue | white, and in a grey top eighth a black bar (width/16) moving width/32 a frame.
inline uint32_t TestCameraPixel(int n, int width, int height, int x, int y) {
    if (y >= height - height / 8) {
        const int bar = width / 16 > 0 ? width / 16 : 1;
        const int step = width / 32 > 0 ? width / 32 : 1;
        const int at = static_cast<int>((static_cast<long long>(n) * step) % width);
        const int dx = (x - at + width) % width;
        return dx < bar ? 0x000000u : 0x808080u;
    }
    const bool right = x >= width / 2;
    if (y < height / 2) return right ? 0x00FF00u : 0xFF0000u;
    return right ? 0xFFFFFFu : 0x0000FFu;
}

// The test microphone's sample i (counted from the start of the stream) of every channel.
inline int16_t TestMicrophoneSample(long long i, int rate, int toneHz, int amplitude) {
    const double pi = 3.14159265358979323846;
    const double phase = 2.0 * pi * static_cast<double>(toneHz) * static_cast<double>(i % rate) / rate;
    return static_cast<int16_t>(std::lround(amplitude * std::sin(phase)));
}
