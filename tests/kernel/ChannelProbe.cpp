// Reads one frame from the shared-memory channel, as a capture filter in
// another process does, and writes what it found to a file:
//   ok=1 v1=1 v2=1 code=8 size=921600 age=0 pixel=RRGGBB
// Usage: ZxChannelProbe OUTFILE X Y   (pixel X, Y counted from the bottom-left)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "ShareMem.h"

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    CShareMem channel;
    bool open = channel.Open(kShareMemFileName, kShareMemSize);
    std::vector<BYTE> packet(kShareMemSize);
    DWORD length = 0;
    bool ok = false;
    // A few tries: the first wait may end just before a frame is written.
    for (int i = 0; i < 20 && open && !ok; ++i) ok = channel.Read(packet.data(), kShareMemSize, length);
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 3;
    if (!ok) {
        std::fprintf(out, "ok=0 open=%d\n", open ? 1 : 0);
    } else {
        const BYTE* h = packet.data();
        int32_t stamp;
        uint32_t size;
        memcpy(&stamp, h + 4, 4);
        memcpy(&size, h + 8, 4);
        int width = h[3] * 80;
        size_t stride = static_cast<size_t>(((24 * width + 31) / 32) * 4);
        const BYTE* p = h + 12 + stride * y + 3 * x;
        std::fprintf(out, "ok=1 v0=%d v1=%d v2=%d code=%d size=%u age=%d length=%lu pixel=%02X%02X%02X\n", h[0], h[1],
                     h[2], h[3], size, ShareMemNow() - stamp, static_cast<unsigned long>(length), p[2], p[1], p[0]);
    }
    std::fclose(out);
    return ok ? 0 : 1;
}
