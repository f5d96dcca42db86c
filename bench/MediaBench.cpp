// Media benchmark: the cost of recording one 640 x 480 frame (H.264 + AAC at
// the recorder's values, with its 50 ms of sound) and of playing one back
// (decoding, conversion to DIB rows, sound), each as a share of one core at
// 20 frames a second (50 ms a frame).
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "BenchUtil.h"
#include "LibStream/LibStream.h"

namespace {

const int kW = 640, kH = 480, kFrames = 100;
const int kStride = ((24 * kW + 31) / 32) * 4;

double ProcessCpuUs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto us = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 10.0; };
    return us(kernel) + us(user);
}

// A picture with detail that moves: a sliding gradient, a moving square and
// a patch of changing noise, so the encoder has real work.
void MakeFrame(std::vector<unsigned char>& f, int i) {
    unsigned seed = 1234u + static_cast<unsigned>(i);
    for (int y = 0; y < kH; ++y) {
        unsigned char* row = f.data() + static_cast<size_t>(kStride) * y;
        for (int x = 0; x < kW; ++x) {
            int sq = (x - i * 5) % kW;
            bool square = sq >= 100 && sq < 200 && y >= 150 && y < 250;
            bool noise = x < 160 && y < 120;
            if (noise) seed = seed * 1103515245u + 12345u;
            row[3 * x + 0] = static_cast<unsigned char>(square ? 30 : noise ? (seed >> 16) : (x + i * 3));
            row[3 * x + 1] = static_cast<unsigned char>(square ? 40 : noise ? (seed >> 20) : (y + i));
            row[3 * x + 2] = static_cast<unsigned char>(square ? 220 : noise ? (seed >> 12) : ((x + y) / 4));
        }
    }
}

}  // namespace

int main() {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring wpath = std::wstring(tmp) + L"ZxMediaBench.flv";
    char utf8[MAX_PATH * 4];
    WideCharToMultiByte(CP_UTF8, 0, wpath.c_str(), -1, utf8, sizeof(utf8), nullptr, nullptr);
    std::string path = utf8;

    std::vector<std::vector<unsigned char>> frames(kFrames, std::vector<unsigned char>(static_cast<size_t>(kStride) * kH));
    for (int i = 0; i < kFrames; ++i) MakeFrame(frames[i], i);
    std::vector<unsigned char> pcm(2205 * 2);
    for (size_t i = 0; i < 2205; ++i) {
        short s = static_cast<short>(6000 * std::sin(i * 0.0627));
        std::memcpy(&pcm[2 * i], &s, 2);
    }

    LibRecorder rec;
    if (rec.FFVideoInit(path.c_str(), kW, kH, 20, 400000, 1, 44100, 128000, LIBSTREAM_CODEC_AAC, LIBSTREAM_CODEC_H264,
                        0, true, 3) != 0) {
        std::printf("cannot start the recording\n");
        return 1;
    }
    double cpu0 = ProcessCpuUs(), t0 = Clock::NowUs();
    for (int i = 0; i < kFrames; ++i) {
        rec.FFAppendVideo(frames[i].data(), static_cast<int>(frames[i].size()));
        rec.FFAppendAudio(pcm.data(), static_cast<int>(pcm.size()));
    }
    rec.FFUint();
    double encWall = (Clock::NowUs() - t0) / kFrames, encCpu = (ProcessCpuUs() - cpu0) / kFrames;

    LibReplay player;
    if (player.Init(path.c_str(), kW, kH, true, true) != 0) {
        std::printf("cannot play the recording\n");
        return 1;
    }
    std::vector<unsigned char> out(static_cast<size_t>(kStride) * kH);
    double cur = 0, total = 0;
    player.GetCurTm(cur, total);
    cpu0 = ProcessCpuUs();
    double start = Clock::NowUs();
    // Pull frames on the 50 ms grid as the video manager does, to the end.
    int pulled = 0;
    for (double next = start; cur < total - 0.01 && Clock::NowUs() - start < (total + 3) * 1e6;) {
        while (Clock::NowUs() < next) Sleep(1);
        next += 50000;
        if (player.QueryFrame(out.data(), static_cast<unsigned>(out.size())) > 0) ++pulled;
        player.GetCurTm(cur, total);
    }
    double decCpu = (ProcessCpuUs() - cpu0) / kFrames;
    player.Uint();
    DeleteFileW(wpath.c_str());

    std::printf("media, 640x480 at 20 frames a second (50 ms a frame), %d frames\n", kFrames);
    std::printf("  record (H.264 400 kb/s + AAC)  %8.0f us wall  %8.0f us cpu  %5.1f %% of one core\n", encWall,
                encCpu, encCpu / 500.0);
    std::printf("  play (decode, DIB, sound)      %8s           %8.0f us cpu  %5.1f %% of one core  (%d pulls)\n", "",
                decCpu, decCpu / 500.0, pulled);
    return 0;
}
