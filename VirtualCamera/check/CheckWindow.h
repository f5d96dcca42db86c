// ZxCamCheck's window: the camera opened as the console mode opens it (the
// same Client, or with the second drop-down the same Media Foundation reader
// as --mf; the 64-bit check only, as the Media Foundation camera is 64-bit),
// every format it offers in a drop-down, and for the chosen
// size the live picture with its figures: frames per second, the age of the
// newest frame, the connected stream, and whether the main program runs
// (and whether the camera started it). Plain Win32, painted in the
// program's look (resources/skin/LOOK.md), per-monitor DPI aware.
//
// The controls carry fixed identifiers so that tests and support tools can
// read the figures (WM_GETTEXT) and pick a format (CB_SETCURSEL, then
// CBN_SELCHANGE to the window) from another process.
#pragma once

#include <windows.h>

namespace camcheck {

// The window's class name.
inline constexpr wchar_t kWindowClass[] = L"ZxCamCheckWindow";

enum : int {
    kIdVideo = 100,    // the picture (a child window of its own class)
    kIdFormats = 101,  // the drop-down of formats; item data = capability index
    kIdWay = 102,      // the way in: item 0 DirectShow, item 1 Media Foundation (64-bit)
    kIdTitle = 110,    // "ZXVCam" and what the window does
    kIdFps = 120,      // frames per second, "20.0" ("-" before two samples)
    kIdAge = 121,      // the newest frame's age, "35 ms" (or why there is none)
    kIdStream = 122,   // "RGB24 640 × 480 · 123 frames"
    kIdProgram = 123,  // "running", "not running", "started by the camera after 0.2 s"
    kIdFormatLabel = 130,
    kIdFpsLabel = 131,
    kIdAgeLabel = 132,
    kIdStreamLabel = 133,
    kIdProgramLabel = 134,
};

// Runs the window until it is closed; COM must be initialised on the
// calling thread. The process exit code: 0 after a clean close.
int RunWindow(HINSTANCE instance, int show);

}  // namespace camcheck
