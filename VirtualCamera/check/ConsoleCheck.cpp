#include "ConsoleCheck.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <algorithm>
#include <string>

#include "CamCheck.h"
#include "MFCheck.h"
#include "ZxLib/Lang.h"

#include <strsafe.h>

namespace camcheck {

// One line on standard output, UTF-8, flushed at once so a script that
// reads the output sees each line as it happens.
void Line(const wchar_t* format, ...) {
    wchar_t text[2048];
    va_list args;
    va_start(args, format);
    // A line longer than the buffer is cut (STRSAFE_E_INSUFFICIENT_BUFFER
    // still leaves the text that fits).
    StringCchVPrintfW(text, sizeof(text) / sizeof(text[0]), format, args);
    va_end(args);
    const int n = static_cast<int>(wcslen(text));
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, n, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text, n, &utf8[0], bytes, nullptr, nullptr);
    utf8 += '\n';
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

const wchar_t* Running(bool running) { return running ? L"running" : L"not running"; }

double MeanLevel(const std::vector<uint8_t>& pixels) {
    if (pixels.empty()) return 0;
    unsigned long long sum = 0;
    for (uint8_t b : pixels) sum += b;
    return static_cast<double>(sum) / static_cast<double>(pixels.size());
}

// The usage and the argument errors are for a person and speak the user's
// language; the report lines ("key: value") are read by scripts and stay
// as they are in every language.
std::wstring UsageText() { return Lang::Text("console.usage"); }

std::wstring ConclusionText(int code) {
    switch (code) {
        case kExitOk: return Lang::Text("console.conclusion.ok");
        case kExitUsage: return Lang::Text("console.conclusion.size");
        case kExitNoCamera: return Lang::Text("console.conclusion.nocamera");
        case kExitGraph: return Lang::Text("console.conclusion.graph");
        case kExitNoFrames: return Lang::Text("console.conclusion.noframes");
        case kExitSave: return Lang::Text("console.conclusion.save");
        default: return std::wstring();
    }
}

bool ParseOptions(const std::vector<std::wstring>& args, Options& o, std::wstring& error) {
    auto number = [](const std::wstring& text, double& value) {
        wchar_t* end = nullptr;
        value = std::wcstod(text.c_str(), &end);
        return !text.empty() && end && *end == L'\0';
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == L"--help" || a == L"-h" || a == L"/?") {
            o.help = true;
        } else if (a == L"--console") {
            o.console = true;
        } else if (a == L"--mf") {
            o.console = o.mf = true;
        } else if (a == L"--list") {
            o.console = o.listOnly = true;
        } else if (a == L"--frames" && hasValue) {
            double n = 0;
            if (!number(args[++i], n) || n < 1 || n > 100000 || n != static_cast<int>(n)) {
                error = Lang::Text("console.err.frames");
                return false;
            }
            o.frames = static_cast<int>(n);
            o.console = true;
        } else if (a == L"--save" && hasValue) {
            o.savePath = args[++i];
            o.console = true;
        } else if (a == L"--size" && hasValue) {
            const std::wstring& v = args[++i];
            int w = 0, h = 0;
            wchar_t x = 0, extra = 0;
            if (std::swscanf(v.c_str(), L"%d%lc%d%lc", &w, &x, &h, &extra) != 3 || (x != L'x' && x != L'X') || w <= 0 ||
                h <= 0) {
                error = Lang::Text("console.err.size");
                return false;
            }
            o.width = w;
            o.height = h;
            o.console = true;
        } else if (a == L"--timeout" && hasValue) {
            double t = 0;
            if (!number(args[++i], t) || t <= 0 || t > 3600) {
                error = Lang::Text("console.err.timeout");
                return false;
            }
            o.timeoutSeconds = t;
            o.console = true;
        } else if (a == L"--device" && hasValue) {
            o.device = args[++i];
            o.console = true;
        } else {
            error = Lang::Format("console.err.argument", {a});
            return false;
        }
    }
    return true;
}

bool ReportPicture(const Options& o, const std::vector<uint8_t>* pixels, int width, int height, bool& black) {
    black = !pixels || IsBlack(*pixels);
    if (pixels) {
        Line(L"picture: %ls (mean level %.1f)", black ? L"black" : L"image", MeanLevel(*pixels));
    } else {
        Line(L"picture: none");
    }
    if (o.savePath.empty()) return true;
    if (pixels && SaveBmp(o.savePath, *pixels, width, height)) {
        Line(L"saved: %ls %dx%d", o.savePath.c_str(), width, height);
        return true;
    }
    Line(L"saved: failed to write %ls", o.savePath.c_str());
    Line(L"result: save failed");
    return false;
}

int RunConsole(const Options& o) {
    if (o.mf) return RunMFConsole(o);
    Line(L"check: ZxCamCheck %d-bit", static_cast<int>(sizeof(void*) * 8));

    HRESULT hr = S_OK;
    const std::vector<Device> devices = ListDevices(&hr);
    if (FAILED(hr)) {
        Line(L"devices: the system device enumerator failed (0x%08lX)", static_cast<unsigned long>(hr));
        Line(L"result: no camera");
        return kExitNoCamera;
    }
    Line(L"devices: %u", static_cast<unsigned>(devices.size()));
    bool found = false;
    for (const Device& d : devices) {
        Line(L"device: %ls", d.name.c_str());
        Line(L"device-path: %ls", d.devicePath.empty() ? L"(none)" : d.devicePath.c_str());
        if (d.name == o.device) found = true;
    }
    if (!found) {
        Line(L"camera: %ls not found among the video input devices", o.device.c_str());
        Line(L"result: no camera");
        return kExitNoCamera;
    }
    Line(L"camera: %ls found", o.device.c_str());
    const std::wstring folder = LaunchFolder();
    Line(L"launch-folder: %ls", folder.empty() ? L"(not set)" : folder.c_str());

    Client client;
    hr = client.Open(o.device);
    if (FAILED(hr)) {
        Line(L"open: failed (0x%08lX)", static_cast<unsigned long>(hr));
        Line(L"result: graph failed");
        return kExitGraph;
    }
    const std::vector<Format> formats = client.Formats();
    Line(L"formats: %u", static_cast<unsigned>(formats.size()));
    for (const Format& f : formats) {
        Line(L"format: %d %ls %dx%d %.2f fps (%.2f to %.2f)", f.index, SubtypeName(f.subtype).c_str(), f.width,
             f.height, FramesPerSecond(f.interval), FramesPerSecond(f.maxInterval), FramesPerSecond(f.minInterval));
    }
    Line(L"current-format: %ls", client.CurrentFormat().c_str());
    if (o.listOnly) {
        Line(L"program: %ls", Running(ProgramRunning()));
        Line(L"result: ok");
        return kExitOk;
    }

    hr = client.Select(o.width, o.height);
    if (hr == E_INVALIDARG) {
        Line(L"size: %dx%d RGB24 is not offered", o.width, o.height);
        Line(L"result: size not offered");
        return kExitUsage;
    }
    if (FAILED(hr)) {
        Line(L"size: %dx%d refused (0x%08lX)", o.width, o.height, static_cast<unsigned long>(hr));
        Line(L"result: graph failed");
        return kExitGraph;
    }
    if (FAILED(hr = client.Connect())) {
        Line(L"connect: failed (0x%08lX)", static_cast<unsigned long>(hr));
        Line(L"result: graph failed");
        return kExitGraph;
    }
    const Figures connected = client.Now();
    Line(L"size: %dx%d RGB24", connected.width, connected.height);

    // Before the graph runs: a camera opened with the program closed starts
    // it (the filter's launcher), which is worth seeing.
    const bool runningBefore = ProgramRunning();
    Line(L"program: %ls", Running(runningBefore));

    const double startUs = Clock::NowUs();
    const DWORD timeoutMs = static_cast<DWORD>(o.timeoutSeconds * 1000);
    auto elapsedMs = [&]() { return static_cast<DWORD>((Clock::NowUs() - startUs) / 1000); };
    if (FAILED(hr = client.Run())) {
        Line(L"run: failed (0x%08lX)", static_cast<unsigned long>(hr));
        Line(L"result: graph failed");
        return kExitGraph;
    }

    // Wait, sample by sample, for the program's frames: the program running
    // (when it was not) and its frames reaching the samples.
    bool running = runningBefore;
    bool live = false;
    uint64_t seen = 0;
    while (elapsedMs() < timeoutMs) {
        if (!running && ProgramRunning()) {
            running = true;
            Line(L"program: started after %.1f s", (Clock::NowUs() - startUs) / 1e6);
        }
        // A sample that arrived while frames are being published (by the
        // program, or by the kernel's console host) carries them.
        const Figures f = client.Now();
        if (f.publisherLive && f.samples > seen) {
            live = true;
            break;
        }
        seen = f.samples;
        const DWORD left = timeoutMs - std::min(timeoutMs, elapsedMs());
        client.WaitNextSample(seen, std::min<DWORD>(left, 200));
    }
    if (!running && ProgramRunning()) {
        running = true;
        Line(L"program: started after %.1f s", (Clock::NowUs() - startUs) / 1e6);
    }
    if (live) {
        Line(L"publisher: frames arriving after %.1f s", (Clock::NowUs() - startUs) / 1e6);
    } else {
        Line(L"publisher: no frames within %.0f s", o.timeoutSeconds);
    }

    // Count the frames asked for, from the next arrival on, timed from the
    // arrival before it (so there is one).
    client.WaitSamples(1, 5000);
    uint64_t firstCount = 0, lastCount = 0;
    double firstUs = 0, lastUs = 0;
    client.Clock(firstCount, firstUs);
    client.ResetAges();
    const uint64_t want = firstCount + static_cast<uint64_t>(o.frames);
    // The count has its own allowance: five times the time the frames take
    // at the camera's 20 per second, and five seconds more.
    const DWORD countMs = 5000 + static_cast<DWORD>(o.frames) * 250;
    const bool enough = client.WaitSamples(want, countMs);
    client.Clock(lastCount, lastUs);
    const uint64_t counted = lastCount - firstCount;
    const double spanS = lastUs > firstUs ? (lastUs - firstUs) / 1e6 : 0;
    Line(L"frames: %llu in %.2f s", static_cast<unsigned long long>(counted), spanS);
    // N arrivals after the one before the count: N intervals.
    Line(L"fps: %.1f", spanS > 0 ? static_cast<double>(counted) / spanS : 0.0);
    uint64_t aged = 0;
    double meanAge = 0, maxAge = 0;
    client.Ages(aged, meanAge, maxAge);
    const Figures end = client.Now();
    if (aged > 0) {
        Line(L"frame-age-ms: newest %.0f, mean %.0f, max %.0f", end.newestAgeMs, meanAge, maxAge);
    } else {
        Line(L"frame-age-ms: no frame published");
    }
    client.Stop();
    Line(L"program: %ls", Running(ProgramRunning()));

    std::vector<uint8_t> pixels;
    int width = 0, height = 0;
    const bool picture = client.NewestPicture(pixels, width, height);
    bool black = true;
    if (!ReportPicture(o, picture ? &pixels : nullptr, width, height, black)) return kExitSave;
    if (!enough) {
        Line(L"result: only %llu of %d frames within %.0f s", static_cast<unsigned long long>(counted), o.frames,
             o.timeoutSeconds);
        return kExitNoFrames;
    }
    if (!live || black) {
        Line(L"result: no picture from the program");
        return kExitNoFrames;
    }
    Line(L"result: ok");
    return kExitOk;
}

}  // namespace camcheck
