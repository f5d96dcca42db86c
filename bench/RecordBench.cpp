// Recorder benchmark: the cost of one 640 x 480 frame through the recording
// module while it records a video (the frame appended to the H.264 encoder
// and its 50 ms of microphone sound to the AAC one), as a share of one core
// at 20 frames a second.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "BenchUtil.h"
#include "GdiPlus.h"
#include "IDataKernal.h"
#include "RecordList.h"
#include "TestDeviceSupport.h"
#include "VideoDealChain.h"
#include "ZxLib/ZxLib.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const int kW = 640, kH = 480, kFrames = 200;

// "modKernal" for the recorder: the chain it joins while it records.
class BenchKernal : public IDataKernal {
public:
    bool AddVideoDeal(IVideoDeal* deal) override { return chain.AddVideoDeal(deal); }
    void RemoveVideoDeal(IVideoDeal* deal) override { chain.RemoveVideoDeal(deal); }
    void RemoveAllVideoDeal() override { chain.RemoveAllVideoDeal(); }
    CVideoDealChain chain;
};

double ProcessCpuUs() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto us = [](const FILETIME& f) { return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 10.0; };
    return us(kernel) + us(user);
}

}  // namespace

int main() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    // Records and lists go to a scratch folder of the benchmark.
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    const std::string dir = Charset::WString2String(tmp) + "ZxRecordBench\\";
    Dir::MakeDir(dir);
    SetEnvironmentVariableW(L"ZXVCAM_DATA_DIR", Charset::String2WString(dir + "Data\\").c_str());
    SetEnvironmentVariableW(L"ZXVCAM_CACHE_DIR", Charset::String2WString(dir + "Cache\\").c_str());
    ZxConfigSetFile((dir + "ZxVCam.ini").c_str());
    AfxGetConfigManager()->SetString("VSRecord", "VideoDir", dir.c_str(), 0);

    BenchKernal kernal;
    AfxGetDataManager()->AddData(ZX_MOD_KERNAL, &kernal);
    VideoFrameFormat format;
    VideoFrameFormatInit(format, kW, kH);
    kernal.chain.OnFrameFormat(format);

    // A picture with moving detail, so the encoder has real work.
    std::vector<std::vector<BYTE>> frames(kFrames, std::vector<BYTE>(format.bmiHeader.biSizeImage));
    for (int i = 0; i < kFrames; ++i) {
        unsigned seed = 99u + static_cast<unsigned>(i);
        for (size_t p = 0; p < frames[i].size(); p += 3) {
            const int x = static_cast<int>((p / 3) % kW), y = static_cast<int>((p / 3) / kW);
            seed = seed * 1103515245u + 12345u;
            const bool noise = x < 160 && y < 120;
            frames[i][p] = static_cast<BYTE>(noise ? seed >> 16 : x + 3 * i);
            frames[i][p + 1] = static_cast<BYTE>(noise ? seed >> 20 : y + i);
            frames[i][p + 2] = static_cast<BYTE>((x - 5 * i) % kW > 100 && (x - 5 * i) % kW < 200 ? 220 : 40);
        }
    }
    std::vector<BYTE> pcm(2205 * 2);
    for (size_t i = 0; i < 2205; ++i) {
        short s = static_cast<short>(6000 * std::sin(static_cast<double>(i) * 0.0627));
        std::memcpy(&pcm[2 * i], &s, 2);
    }

    // The sound comes from the test microphone, registered for the run.
    tdev::TestDevices devices;
    if (!devices.Ok() || !devices.AddMicrophone(L"ZxTestMicrophone0", L"Bench Microphone")) {
        std::printf("the test microphone could not be registered\n");
        return 1;
    }
    AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "Bench Microphone", 0);
    CRecordList recorder;
    recorder.Init();
    if (recorder.StartRecord(ZXV_RECORD_VIDEO) != 0) {
        std::printf("recording did not start (no microphone?)\n");
        return 1;
    }
    const double cpu0 = ProcessCpuUs(), t0 = Clock::NowUs();
    for (int i = 0; i < kFrames; ++i) {
        kernal.chain.OnFrame(frames[i].data(), static_cast<int>(frames[i].size()), VIDEO_STREAM_CAMERA);
        recorder.OnAudioProcess(0, pcm.data(), static_cast<int>(pcm.size()));
    }
    const double wall = (Clock::NowUs() - t0) / kFrames, cpu = (ProcessCpuUs() - cpu0) / kFrames;
    const double s0 = Clock::NowUs();
    recorder.StopRecord();
    const double stop = (Clock::NowUs() - s0) / 1000.0;
    recorder.UnInit();
    AfxGetDataManager()->RemoveData(ZX_MOD_KERNAL);

    std::printf("recorder, 640x480 video with sound at 20 frames a second (50 ms a frame), %d frames\n", kFrames);
    std::printf("  frame + 50 ms of sound   %8.0f us wall  %8.0f us cpu  %5.1f %% of one core\n", wall, cpu,
                cpu / 500.0);
    std::printf("  stop and close           %8.1f ms\n", stop);
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
