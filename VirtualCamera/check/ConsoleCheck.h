// ZxCamCheck's command line and its console mode.
//
//   ZxCamCheck.exe                          the window (live picture and figures)
//   ZxCamCheck.exe --console [options]      the console mode
//   options (any of them also selects the console mode):
//     --frames N       samples to count once the program's frames arrive (20)
//     --save FILE.bmp  save the newest sample as a 24-bit BMP
//     --size WxH       the RGB24 size to ask the camera for (640x480)
//     --list           list the devices and formats only, stream nothing
//     --timeout S      seconds to wait for the program's frames and the
//                      counted samples together (30)
//     --device NAME    the device to open ("ZXVCam")
//     --mf             open it the Media Foundation way (MFCheck.h)
//
// The console mode writes one "key: value" line per finding, in this order:
// check, devices, device and device-path per device, camera, launch-folder,
// formats, format per capability, size, program (before the graph runs),
// program: started after S s (when the camera started it), publisher,
// frames, fps, frame-age-ms, program (after), picture, saved, result.
// Exit codes: the kExit constants below.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace camcheck {

enum : int {
    kExitOk = 0,        // the camera delivered the program's picture
    kExitUsage = 1,     // bad arguments, or a size the camera does not offer
    kExitNoCamera = 2,  // no video input device of that name
    kExitGraph = 3,     // the graph could not be built or run
    kExitNoFrames = 4,  // too few samples in time, or only black ones
    kExitSave = 5,      // the picture could not be saved
};

struct Options {
    bool console = false;
    bool listOnly = false;
    int frames = 20;
    int width = 640, height = 480;
    double timeoutSeconds = 30;
    std::wstring savePath;
    std::wstring device = L"ZXVCam";
    bool help = false;
    bool mf = false;
};

// Parses the arguments (without the program name). False with a message in
// error for a bad argument.
bool ParseOptions(const std::vector<std::wstring>& args, Options& options, std::wstring& error);

// The usage text.
std::wstring UsageText();
// The report's one sentence for a person, in the user's language, by exit
// code (the report's "key: value" lines above it stay as they are: scripts
// and the installer read them).
std::wstring ConclusionText(int code);

// Runs the console mode; the exit code.
int RunConsole(const Options& options);

// One "key: value" line on standard output, UTF-8, flushed at once.
void Line(const wchar_t* format, ...);

// "running" or "not running".
const wchar_t* Running(bool running);

// The mean of a picture's bytes, 0 to 255: a figure for "it shows black".
double MeanLevel(const std::vector<uint8_t>& pixels);

// The "picture" line for the newest picture (null: none arrived; black
// tells whether it is all black) and, with --save, the picture saved and the
// "saved" line. False, after the "result" line, when it could not be saved.
bool ReportPicture(const Options& o, const std::vector<uint8_t>* pixels, int width, int height, bool& black);

}  // namespace camcheck
