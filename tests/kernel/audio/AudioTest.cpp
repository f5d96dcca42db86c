// The audio capture layer and module against the test microphone (a known tone) in the prefix.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "AudioCaptureDS.h"
#include "AudioProcess.h"
#include "TestDeviceSupport.h"
#include "TestSupport.h"
#include "ZxModConfig/ZxModConfig.h"

namespace {

const int kTone = 440, kAmplitude = 12000;

// Keeps every block the recorder would get.
class Recorder : public IAudioProcessEvent {
public:
    void OnAudioProcess(double time, BYTE* buffer, int length) override {
        std::lock_guard<std::mutex> g(m_lock);
        if (lengths.empty()) firstTime = time;
        lengths.push_back(length);
        const int16_t* s = reinterpret_cast<const int16_t*>(buffer);
        samples.insert(samples.end(), s, s + length / 2);
        threads.push_back(GetCurrentThreadId());
        m_changed.notify_all();
    }
    bool WaitSamples(size_t n, int ms = static_cast<int>(zxtest::kHangGuardMs)) {
        std::unique_lock<std::mutex> l(m_lock);
        return m_changed.wait_for(l, std::chrono::milliseconds(ms), [&] { return samples.size() >= n; });
    }
    void Clear() {
        std::lock_guard<std::mutex> g(m_lock);
        samples.clear();
        lengths.clear();
    }
    std::vector<int16_t> samples;
    std::vector<int> lengths;
    std::vector<DWORD> threads;
    double firstTime = -1;
    std::mutex m_lock;

private:
    std::condition_variable m_changed;
};

// The tone from the start of the stream, scaled as the capture scales.
std::vector<int16_t> Expected(size_t n, int channels, double factor) {
    std::vector<int16_t> out;
    for (size_t i = 0; out.size() < n; ++i) {
        int16_t s = TestMicrophoneSample(static_cast<long long>(i), 44100, kTone, kAmplitude);
        if (factor < 1.0) s = static_cast<int16_t>(s * factor);
        for (int c = 0; c < channels && out.size() < n; ++c) out.push_back(s);
    }
    return out;
}

class AudioTest : public testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_TRUE(devices.Ok());
        const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
        m_home = zxtest::RedirectUserFolders("audio_" + name);
        ZxConfigSetFile((m_home + "audio.ini").c_str());
        ASSERT_TRUE(devices.AddMicrophone(L"ZxTestMic0", L"Test Microphone", kTone, kAmplitude));
        ASSERT_TRUE(devices.AddMicrophone(L"ZxTestMic1", L"Second Microphone", kTone, kAmplitude));
    }
    void TearDown() override {
        ZxConfigSetFile(nullptr);
        CoUninitialize();
    }
    tdev::TestDevices devices;
    std::string m_home;
};

TEST_F(AudioTest, ListsTheDevicesAndKeepsTheChosenOneAndTheVolume) {
    const int count = GetAudioDeviceCount();
    ASSERT_GE(count, 2);
    CAudioProcess audio;
    EXPECT_FALSE(audio.Init(nullptr)) << "no recorder, no module";
    Recorder recorder;
    ASSERT_TRUE(audio.Init(&recorder));
    EXPECT_EQ(AfxGetDataManager()->GetData("modAudioProcess"), static_cast<IDataAudioProcess*>(&audio));
    const AudioInputDevMap* out = nullptr;
    const AudioInputDevMap* list = audio.GetInputDevList(&out);
    EXPECT_EQ(list, out);
    ASSERT_EQ(static_cast<int>(list->size()), count);
    const int mic = audio.FindInputDevByName("Test Microphone");
    const int second = audio.FindInputDevByName("Second Microphone");
    ASSERT_GE(mic, 0);
    ASSERT_GE(second, 0);
    EXPECT_EQ(audio.GetInputDevName(second), "Second Microphone");
    EXPECT_EQ(audio.GetInputDevName(-1), "");
    EXPECT_EQ(audio.FindInputDevByName("No Such Microphone"), -1);
    char buffer[64] = "untouched";
    GetAudioDeviceName(count + 3, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(audio.GetInputDev(), 0);
    EXPECT_EQ(audio.GetInputVol(), 100);

    audio.SetInputDev(second);
    audio.SetInputVol(150);
    std::string name;
    AfxGetConfigManager()->GetString("AudioSetup", "AudioInputDev", name);
    EXPECT_EQ(name, "Second Microphone");
    int volume = 0;
    AfxGetConfigManager()->GetInt("AudioSetup", "AudioInputVol", volume);
    EXPECT_EQ(volume, 150) << "stored as given";
    audio.UnInit();
    EXPECT_EQ(AfxGetDataManager()->GetData("modAudioProcess"), nullptr);

    // A new module takes the stored device and volume.
    CAudioProcess again;
    ASSERT_TRUE(again.Init(&recorder));
    EXPECT_EQ(again.GetInputDev(), second);
    EXPECT_EQ(again.GetInputVol(), 150);
    // A stored name that is gone leaves the current device alone.
    again.SetInputDev(mic);
    AfxGetConfigManager()->SetString("AudioSetup", "AudioInputDev", "Unplugged Microphone", 0);
    again.RefreshInputDevs();
    EXPECT_EQ(again.GetInputDev(), mic);

    // No device: the capture does not start.
    again.SetInputDev(count + 5);
    AfxGetConfigManager()->GetString("AudioSetup", "AudioInputDev", name);
    EXPECT_EQ(name, "") << "an index without device stores an empty name";
    EXPECT_FALSE(again.StartAudioCapture(44100, 1, 4096));
    EXPECT_FALSE(again.IsCapturing());
    // A device that goes away after it was chosen.
    again.SetInputDev(second);
    devices.Remove(L"ZxTestMic1");
    devices.Remove(L"ZxTestMic0");
    again.RefreshInputDevs();
    EXPECT_EQ(again.FindInputDevByName("Second Microphone"), -1);
    if (again.GetInputDev() >= GetAudioDeviceCount()) {
        EXPECT_FALSE(again.StartAudioCapture(44100, 1, 4096));
    }
    again.StopAudioCapture();
    again.UnInit();
}

TEST_F(AudioTest, BlocksReachTheRecorderBitIdenticalAtFullVolumeHalvedAtHalfAndInStereoAfterADeviceChange) {
    Recorder recorder;
    CAudioProcess audio;
    ASSERT_TRUE(audio.Init(&recorder));
    audio.SetInputDev(audio.FindInputDevByName("Test Microphone"));
    audio.SetInputVol(150);  // above 100: the capture scales by 1.0
    ASSERT_TRUE(audio.StartAudioCapture(44100, 1, 4096));
    EXPECT_TRUE(audio.IsCapturing());
    ASSERT_TRUE(recorder.WaitSamples(44100 / 2));
    audio.StopAudioCapture();
    EXPECT_FALSE(audio.IsCapturing());
    {
        std::lock_guard<std::mutex> g(recorder.m_lock);
        EXPECT_EQ(recorder.firstTime, 0.0);
        for (int length : recorder.lengths) EXPECT_EQ(length, 4096) << "the block size asked for";
        const std::vector<int16_t> expect = Expected(recorder.samples.size(), 1, 1.0);
        EXPECT_TRUE(recorder.samples == expect) << "bit-identical at full volume";
        EXPECT_NE(recorder.threads.front(), GetCurrentThreadId()) << "delivered on the streaming thread";
    }
    const size_t delivered = recorder.samples.size();
    // Nothing announces that no block comes after the stop: more than three blocks' time passes before the count.
    Sleep(150);
    EXPECT_EQ(recorder.samples.size(), delivered) << "nothing after the stop";

    recorder.Clear();
    audio.SetInputVol(50);
    ASSERT_TRUE(audio.StartAudioCapture(44100, 1, 2048));
    ASSERT_TRUE(recorder.WaitSamples(8192));
    audio.StopAudioCapture();
    {
        std::lock_guard<std::mutex> g(recorder.m_lock);
        for (int length : recorder.lengths) EXPECT_EQ(length, 2048);
        EXPECT_TRUE(recorder.samples == Expected(recorder.samples.size(), 1, 0.5)) << "every sample halved";
    }

    // A device change while capturing restarts in stereo.
    recorder.Clear();
    audio.SetInputVol(100);
    ASSERT_TRUE(audio.StartAudioCapture(44100, 1, 1000));
    ASSERT_TRUE(recorder.WaitSamples(2000));
    audio.SetInputDev(audio.FindInputDevByName("Second Microphone"));
    EXPECT_TRUE(audio.IsCapturing());
    recorder.Clear();
    ASSERT_TRUE(recorder.WaitSamples(8192));
    audio.StopAudioCapture();
    std::lock_guard<std::mutex> g(recorder.m_lock);
    for (int length : recorder.lengths) EXPECT_EQ(length, CAudioProcess::kRestartBlockBytes);
    EXPECT_TRUE(recorder.samples == Expected(recorder.samples.size(), 2, 1.0)) << "the tone in both channels";
    audio.UnInit();
}

TEST_F(AudioTest, TheBufferLeftForTheRendererIsSilence) {
    // The grabber's callback as DirectShow calls it, on an open capture.
    struct Sink : IAudioCaptureEvent {
        void OnAudioCaptured(double, BYTE* buffer, int length) override {
            seen.assign(reinterpret_cast<int16_t*>(buffer), reinterpret_cast<int16_t*>(buffer) + length / 2);
        }
        std::vector<int16_t> seen;
    } sink;
    CAudioCaptureDS capture;
    capture.SetEventSink(&sink);
    capture.SetVolume(2.0);
    EXPECT_EQ(capture.GetVolume(), 1.0) << "clamped";
    capture.SetVolume(-1.0);
    EXPECT_EQ(capture.GetVolume(), 0.0);
    capture.SetVolume(0.25);
    int index = -1;
    for (int i = 0; i < GetAudioDeviceCount() && index < 0; ++i) {
        char name[64] = {};
        GetAudioDeviceName(i, name, sizeof(name));
        if (std::string(name) == "Test Microphone") index = i;
    }
    ASSERT_GE(index, 0);
    ASSERT_TRUE(capture.Open(index, 22050, 1, 512));
    int16_t block[5] = {1000, -1000, 3, -7, 32767};
    CAudioSampleGrabberCB::Instance().BufferCB(0.0, reinterpret_cast<BYTE*>(block), sizeof(block) - 1);
    EXPECT_EQ(sink.seen, (std::vector<int16_t>{250, -250, 0, -1})) << "scaled, integer part";
    const BYTE* bytes = reinterpret_cast<const BYTE*>(block);
    for (size_t i = 0; i + 1 < sizeof(block); ++i) EXPECT_EQ(bytes[i], 0) << "the renderer gets silence";
    EXPECT_EQ(bytes[sizeof(block) - 1], 0x7F) << "nothing beyond the buffer is touched";

    capture.Stop();
    sink.seen.clear();
    block[0] = 5;
    CAudioSampleGrabberCB::Instance().BufferCB(0.0, reinterpret_cast<BYTE*>(block), 2);
    EXPECT_TRUE(sink.seen.empty()) << "nothing is delivered after Stop";
    capture.Close();
    capture.Close();  // twice is harmless
}

}  // namespace
