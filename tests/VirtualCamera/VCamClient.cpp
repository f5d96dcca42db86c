// A capture client in a process of its own, as a program that opens the
// camera does: the camera "ZXVCam" from the device enumerator -> Sample
// Grabber -> Null Renderer, run for a while. It writes nothing to its
// standard output (the tests check that the filter does not either) and
// puts one line per sample into OUTFILE:
//   first-byte uniform(0/1) start end received-microseconds
// Usage: ZxVCamClient OUTFILE SECONDS [RUNS] [reformat | changes=N]
//   RUNS      runs of SECONDS each, the graph stopped in between (1)
//   reformat  before the first run, choose 320 x 240 and then 640 x 480
//             again through IAMStreamConfig, each a reconnection
//   changes=N a run ends as soon as the picture has changed N times; SECONDS
//             is then only a guard against a hang, and reaching it ends the
//             program with 8
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VCamTestSupport.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const double seconds = std::atof(argv[2]);
    const int runs = argc > 3 ? std::atoi(argv[3]) : 1;
    const bool reformat = argc > 4 && std::strcmp(argv[4], "reformat") == 0;
    const size_t changes = argc > 4 && std::strncmp(argv[4], "changes=", 8) == 0
                               ? static_cast<size_t>(std::atoi(argv[4] + 8))
                               : 0;
    vct::ComScope com(COINIT_MULTITHREADED);
    if (!com.Ok()) return 3;
    int result = 0;
    {
        vct::Graph graph;
        HRESULT hr = graph.Build();
        if (FAILED(hr)) return 4;
        if (reformat) {
            vct::Ptr<IAMStreamConfig> config;
            if (FAILED(graph.cameraPin()->QueryInterface(IID_IAMStreamConfig, config.out()))) return 5;
            if (FAILED(vct::SelectCaps(config.get(), 0)) || FAILED(vct::SelectCaps(config.get(), 7))) return 5;
        }
        HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        for (int r = 0; r < runs && result == 0; ++r) {
            if (FAILED(graph.Run())) result = 6;
            if (changes > 0) {
                if (result == 0 && !graph.collector.WaitForChanges(changes, static_cast<DWORD>(seconds * 1000)))
                    result = 8;
            } else {
                // The run lasts its time; nothing ends it early.
                WaitForSingleObject(never, static_cast<DWORD>(seconds * 1000));
            }
            graph.Stop();
        }
        CloseHandle(never);
        FILE* out = std::fopen(argv[1], "w");
        if (!out) return 7;
        for (const vct::Frame& f : graph.collector.Since(0)) {
            std::fprintf(out, "%d %d %lld %lld %.0f\n", f.first, f.uniform ? 1 : 0, static_cast<long long>(f.start),
                         static_cast<long long>(f.end), f.receivedUs);
        }
        std::fclose(out);
    }
    return result;
}
