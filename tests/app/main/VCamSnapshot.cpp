// A capture client in a process of its own, as a program that opens the
// camera does: "ZXVCam" from the device enumerator -> Sample Grabber ->
// Null Renderer. It waits for FRAMES samples and writes the last one as a
// 24-bit BMP file, exactly as the client received it.
// Usage: ZxVCamSnapshot OUTFILE.bmp FRAMES
// Exit codes: 0 written, 2 usage, 3 COM, 4 graph, 5 run, 6 no samples, 7 file.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "VCamTestSupport.h"

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const size_t frames = static_cast<size_t>(std::atoi(argv[2]));
    vct::ComScope com(COINIT_MULTITHREADED);
    if (!com.Ok()) return 3;
    int width = 0, height = 0;
    vct::Frame last;
    {
        vct::Graph graph;
        if (FAILED(graph.Build())) return 4;
        graph.ConnectedSize(width, height);
        if (FAILED(graph.Run())) return 5;
        const bool got = graph.collector.WaitFor(frames, 30000);
        last = graph.collector.Last();
        graph.Stop();
        if (!got || last.bytes.empty() || width <= 0 || height == 0) return 6;
    }
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = static_cast<DWORD>(last.bytes.size());
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 7;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
              std::fwrite(last.bytes.data(), 1, last.bytes.size(), out) == last.bytes.size();
    ok = std::fclose(out) == 0 && ok;
    return ok ? 0 : 7;
}
