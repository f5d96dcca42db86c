// The audio module, "modAudioProcess": the audio input devices, the chosen
// device and input volume (section "AudioSetup"), and the microphone
// capture the recorder starts and stops; every captured block is passed on
// to the recorder.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "AudioCaptureDS.h"
#include "IDataAudioProcess.h"

// Receives the captured sound (the recorder).
class IAudioProcessEvent {
public:
    // On DirectShow's streaming thread: length bytes of 16-bit PCM.
    virtual void OnAudioProcess(double sampleTime, BYTE* buffer, int length) = 0;

protected:
    ~IAudioProcessEvent() {}
};

class CAudioProcess : public IAudioCaptureEvent, public IDataAudioProcess {
public:
    CAudioProcess();
    ~CAudioProcess() override;

    // The recorder's calls.
    bool Init(IAudioProcessEvent* sink);
    void UnInit();
    bool StartAudioCapture(int samplesPerSecond, int channels, int blockBytes);
    void StopAudioCapture();
    bool IsCapturing() const { return m_capturing; }

    // IDataAudioProcess
    const AudioInputDevMap* GetInputDevList(const AudioInputDevMap** out) override;
    std::string GetInputDevNameEx(int index) override { return GetInputDevName(index); }
    int GetInputDev() override { return m_currentDev; }
    void SetInputDev(int index) override;
    void SetInputVol(int percent) override;
    int GetInputVol() override { return m_volume; }
    void RefreshInputDevs() override;
    std::string GetInputDevName(int index) override;
    int FindInputDevByName(const std::string& name) override;

    // The format a capture restarted by a device change uses.
    static constexpr int kRestartRate = 44100;
    static constexpr int kRestartChannels = 2;
    static constexpr int kRestartBlockBytes = 4096;

private:
    CAudioProcess(const CAudioProcess&);
    CAudioProcess& operator=(const CAudioProcess&);

    // IAudioCaptureEvent
    void OnAudioCaptured(double sampleTime, BYTE* buffer, int length) override;

    CAudioCaptureDS m_oCapture;
    std::atomic<IAudioProcessEvent*> m_sink;
    bool m_capturing;
    AudioInputDevMap m_devices;
    int m_currentDev;
    int m_volume;
    bool m_inited;
};
